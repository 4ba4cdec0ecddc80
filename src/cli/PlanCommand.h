#pragma once
// `plan`, with the seams it reads and writes through, so tests can run it on fakes.
#include <cstdio>
#include <string>
#include <vector>

#include "browse/FileRecords.h"
#include "platform/DirectoryList.h"
#include "platform/FileSystem.h"
#include "platform/JournalFolder.h"
#include "platform/Shell.h"

namespace tess {

struct PlanEnvironment {
  DirectoryLister& directory;
  MetadataSource& metadata;
  ShellServices& shell;
  bool shellAvailable;  // false where no shell can copy or move (off Windows)
  FileSystem* files = nullptr;  // the machine's when null
  JournalFolder* journals = nullptr;  // this user's when null and `files` is the machine's
};

int RunPlanCommandWith(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err,
                       const PlanEnvironment& environment);

}  // namespace tess
