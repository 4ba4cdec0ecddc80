#include "browse/FileListModel.h"

#include <unordered_map>

#include "browse/FolderPaths.h"
#include "platform/Text.h"

namespace tess {

std::u16string UpperCaseText(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = UpperCaseLetter(c);
  return out;
}

bool PassesFilter(std::u16string_view findText, std::u16string_view name, bool isFolder) {
  if (findText.empty() || isFolder) return true;
  return UpperCaseText(name).find(UpperCaseText(findText)) != std::u16string::npos;
}

FileListModel::FileListModel(DirectoryLister& lister, MetadataSource& metadata) : lister_(lister), metadata_(metadata) {}

void FileListModel::ListFolder(const std::u16string& folder) {
  std::vector<DirectoryEntry> entries;
  // No folder yet (no root set): an empty path would enumerate the process's current folder.
  const bool listed = !folder.empty() && lister_.List(folder, entries);
  ShowListing(folder, entries, listed);
}

void FileListModel::ShowListing(const std::u16string& folder, const std::vector<DirectoryEntry>& entries, bool listed) {
  FileDataList.Clear();
  if (folder.empty() || !listed) return;
  for (const auto& entry : entries) {
    if (IsDotEntry(entry.name)) continue;
    if (!PassesFilter(FindText, entry.name, (entry.attributes & FILE_ATTRIBUTE_DIRECTORY_) != 0)) continue;
    FileDataList.Add(MakeFileRecord(entry, folder, DeferMetadata ? nullptr : &metadata_));
  }
  Sort();
}

bool FileListModel::Refresh(const std::u16string& folder, bool sort) {
  if (folder.empty()) {
    // Nothing is listed before a root is set; a relative look-up would find stray entries.
    FileDataList.Clear();
    return false;
  }
  // Names of the records that stay, folded as the file system folds names (a name whose
  // case changed on disk is still the same entry); each disk entry cancels one.
  std::unordered_map<std::u16string, int> kept;
  for (int i = FileDataList.Count() - 1; i >= 0; --i) {
    const TplFileDataListItem* record = FileDataList.Get(i);
    if (PassesFilter(FindText, record->Name, record->IsFolder()) && lister_.Find(folder + record->Name)) {
      ++kept[UpperCaseText(record->Name)];
    } else {
      FileDataList.Delete(i);
    }
  }
  std::vector<DirectoryEntry> entries;
  if (lister_.List(folder, entries)) {
    for (const auto& entry : entries) {
      if (IsDotEntry(entry.name)) continue;
      auto it = kept.find(UpperCaseText(entry.name));
      if (it != kept.end() && it->second > 0) {
        --it->second;
        continue;
      }
      if (!PassesFilter(FindText, entry.name, (entry.attributes & FILE_ATTRIBUTE_DIRECTORY_) != 0)) continue;
      FileDataList.Add(MakeFileRecord(entry, folder, DeferMetadata ? nullptr : &metadata_));
    }
  }
  if (FileDataList.Count() == 0) return false;
  if (sort) {
    Sort();
    return false;
  }
  return true;
}

std::u16string FileListModel::CellText(int row, int column, const LocaleData& locale) const {
  // Rows are numbered from 0: a row at Count or beyond has no record.
  const TplFileDataListItem* record = Record(row);
  return record ? ColumnText(*record, column, DisplayExt, locale) : std::u16string();
}

int FileListModel::RowOfName(const std::u16string& name) const {
  for (int i = 0; i < FileDataList.Count(); ++i)
    if (FileDataList.Get(i)->Name == name) return i;
  return -1;
}

std::vector<MetadataReads::Job> FileListModel::PendingReads(const std::u16string& folder) const {
  std::vector<MetadataReads::Job> jobs;
  for (const auto& record : FileDataList.Items())
    if (record->MetadataPending) jobs.push_back({record.get(), folder + record->Name});
  return jobs;
}

bool FileListModel::SortNeedsMetadata() const { return ColumnNeedsMetadata(sort_.SortColumn); }

void FileListModel::SetSortState(const FileSortState& sort) {
  sort_ = FileSortState{};
  if (IsFileColumn(sort.SortColumn)) sort_.SortColumn = sort.SortColumn;
  for (size_t i = 0; i < sort_.SortDirection.size(); ++i) sort_.SortDirection[i] = sort.SortDirection[i] == -1 ? -1 : 1;
  Sort();
}

int FileListModel::SortByColumn(int column, const std::u16string* selectedName) {
  if (!IsFileColumn(column)) return -1;
  sort_.SortColumn = column;
  sort_.SortDirection[static_cast<size_t>(column)] = -sort_.SortDirection[static_cast<size_t>(column)];
  Sort();
  return selectedName ? RowOfName(*selectedName) : -1;
}

}  // namespace tess
