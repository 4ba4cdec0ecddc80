#include "browse/FolderFiles.h"

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

namespace {

constexpr int kMaxDepth = 64;  // deeper than any card; stops a loop the attributes do not show

void AddTree(DirectoryLister& lister, const std::u16string& folder, char16_t separator, int depth,
             std::vector<DirectoryEntry>& entries, std::vector<FolderTreeFile>& files) {
  SortEntriesAsListed(entries);
  for (const DirectoryEntry& e : entries)
    if ((e.attributes & FILE_ATTRIBUTE_DIRECTORY_) == 0) files.push_back({folder, e});
  if (depth >= kMaxDepth) return;
  constexpr uint32_t kSkipped = FILE_ATTRIBUTE_HIDDEN_ | FILE_ATTRIBUTE_SYSTEM_ | FILE_ATTRIBUTE_REPARSE_POINT_;
  for (const DirectoryEntry& e : entries) {
    if ((e.attributes & FILE_ATTRIBUTE_DIRECTORY_) == 0 || (e.attributes & kSkipped) != 0) continue;
    std::u16string sub = folder + e.name + separator;
    std::vector<DirectoryEntry> inside;
    if (!lister.List(sub, inside)) continue;
    AddTree(lister, sub, separator, depth + 1, inside, files);
  }
}

}  // namespace

bool ListFolderTreeFiles(DirectoryLister& lister, const std::u16string& folder, char16_t separator,
                         std::vector<FolderTreeFile>& files) {
  std::vector<DirectoryEntry> entries;
  if (!lister.List(folder, entries)) return false;
  AddTree(lister, folder, separator, 0, entries, files);
  return true;
}

}  // namespace tess
