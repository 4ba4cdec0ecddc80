#include "cli/FolderFiles.h"

#include <algorithm>

#include "browse/FileRecords.h"

namespace tess {

bool ListFolderFiles(DirectoryLister& lister, const std::u16string& folder, std::vector<DirectoryEntry>& files) {
  std::vector<DirectoryEntry> entries;
  if (!lister.List(folder, entries)) return false;
  std::erase_if(entries, [](const DirectoryEntry& e) { return (e.attributes & FILE_ATTRIBUTE_DIRECTORY_) != 0; });
  SortEntriesAsListed(entries);
  files = std::move(entries);
  return true;
}

}  // namespace tess
