#pragma once
// Ctrl+C in a console stops a file run cleanly instead of killing the process in the
// middle of a copy.
#include "platform/FileTransfer.h"

namespace tess {

// From the first call on, Ctrl+C (and Ctrl+Break) cancels the token returned, which is
// the same on every call, instead of ending the process.
const CancelToken& CancelOnInterrupt();

// Whether the standard error stream is a terminal (a console window on Windows).
bool StandardErrorIsTerminal();

}  // namespace tess
