#pragma once
// `plan`, with the seams it reads and writes through, so tests can run it on fakes.
#include <cstdio>
#include <string>
#include <vector>

#include "browse/FileRecords.h"
#include "platform/DirectoryList.h"
#include "platform/FileSystem.h"
#include "platform/FileTransfer.h"
#include "platform/JournalFolder.h"
#include "rename/RunHistory.h"
#include "platform/SettingsKey.h"

namespace tess {

struct PlanEnvironment {
  DirectoryLister& directory;
  MetadataSource& metadata;
  FileSystem* files = nullptr;        // the machine's when null
  FileTransfer* transfer = nullptr;   // the machine's when null
  const CancelToken* cancel = nullptr;  // Ctrl+C in a console
  bool errIsTerminal = false;         // progress goes to `err` unasked
  JournalFolder* journals = nullptr;  // this user's when null and `files` is the machine's
  const HistoryPlace* history = nullptr;  // this user's import history when null and `files` is the machine's
  SettingsStore* settings = nullptr;  // where the cameras' clock rules are kept; this user's when null
};

int RunPlanCommandWith(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err,
                       const PlanEnvironment& environment);

}  // namespace tess
