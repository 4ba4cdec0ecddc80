#pragma once
// `undo`, with the seams it reads and writes through, so tests can run it on fakes.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FileTransfer.h"
#include "platform/JournalFolder.h"
#include "rename/RunHistory.h"

namespace tess {

struct UndoEnvironment {
  JournalFolder& journals;
  FileSystem& files;
  FileTransfer& transfer;
  const HistoryPlace* history = nullptr;  // forgets what the undo restored; none when null
};

int RunUndoCommandWith(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err,
                       const UndoEnvironment& environment);

}  // namespace tess
