#pragma once
// The file work of an EXIF rename: every source and its full destination path handed to
// the shell as one copy or move.
#include <string>

#include "platform/Shell.h"

namespace tess {

enum class BatchOperation { Copy, Move };

// Packed lists: full paths, each followed by one NUL, one more NUL after the last.
// True only when the shell finished the whole operation: a return of 0 with nothing
// aborted by the user.
bool BatchCopyMove(ShellServices& shell, WindowHandle owner, const std::u16string& packedFrom,
                   const std::u16string& packedTo, BatchOperation operation);

}  // namespace tess
