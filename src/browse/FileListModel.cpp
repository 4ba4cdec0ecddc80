#include "browse/FileListModel.h"

#include <algorithm>
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

std::u16string SharedIconKey(const FileRecord& record) {
  if (record.IsFolder())
    return (record.Attrib & (FILE_ATTRIBUTE_READONLY_ | FILE_ATTRIBUTE_SYSTEM_)) ? std::u16string() : u"\\";
  static const char16_t* const kOwnIcon[] = {u".EXE", u".ICO", u".CUR", u".ANI", u".LNK", u".URL",
                                             u".PIF", u".SCR", u".CPL", u".MSC", u".DLL"};
  std::u16string ext = UpperCaseText(ExtractFileExt(record.Name));
  for (const char16_t* own : kOwnIcon)
    if (ext == own) return {};
  return ext.empty() ? u"." : ext;
}

FileListModel::FileListModel(DirectoryLister& lister, MetadataSource& metadata) : lister_(lister), metadata_(metadata) {}

void FileListModel::ListFolder(const std::u16string& folder) {
  std::vector<DirectoryEntry> entries;
  // No folder yet (no root set): an empty path would enumerate the process's current folder.
  const bool listed = !folder.empty() && lister_.List(folder, entries);
  ShowListing(folder, entries, listed);
}

void FileListModel::ShowListing(const std::u16string& folder, const std::vector<DirectoryEntry>& entries, bool listed) {
  records_.Clear();
  if (folder.empty() || !listed) return;
  for (const auto& entry : entries) {
    if (IsDotEntry(entry.name)) continue;
    if (!PassesFilter(findText_, entry.name, (entry.attributes & FILE_ATTRIBUTE_DIRECTORY_) != 0)) continue;
    records_.Add(MakeFileRecord(entry, folder, deferMetadata_ ? nullptr : &metadata_));
  }
  Sort();
}

void FileListModel::AddListed(std::vector<RecordBatch> runs, const FileSortState& made) {
  const bool sameOrder = made.SortColumn == sort_.SortColumn && made.Direction() == sort_.Direction();
  for (auto& run : runs) {
    if (!sameOrder) SortRecords(run, sort_);
    MergeSortedRecords(records_.Items(), std::move(run), sort_);
  }
}

bool FileListModel::Refresh(const std::u16string& folder, bool sort) {
  RecordBatch listed;
  // Nothing is listed before a root is set; a relative look-up would find stray entries. A
  // folder that cannot be read keeps no rows.
  if (!folder.empty()) {
    lister_.Enumerate(folder, [&](const DirectoryEntry& entry) {
      if (!IsDotEntry(entry.name) &&
          PassesFilter(findText_, entry.name, (entry.attributes & FILE_ATTRIBUTE_DIRECTORY_) != 0))
        listed.push_back(MakeFileRecord(entry, folder, nullptr));
      return true;
    });
  }
  return ApplyRefresh(folder, std::move(listed), sort);
}

bool FileListModel::ApplyRefresh(const std::u16string& folder, RecordBatch listed, bool sort) {
  // Each entry on disk keeps one record of its name; views into the listed records, which
  // stay where they are until they are handed on.
  std::vector<bool> taken(listed.size());
  std::unordered_multimap<std::u16string_view, size_t> byName;
  byName.reserve(listed.size());
  for (size_t i = 0; i < listed.size(); ++i) byName.emplace(listed[i]->Name, i);
  auto& items = records_.Items();
  std::vector<bool> keep(items.size());
  std::vector<size_t> unmatched;
  for (size_t k = 0; k < items.size(); ++k) {
    const FileRecord& record = *items[k];
    if (!PassesFilter(findText_, record.Name, record.IsFolder())) continue;
    auto range = byName.equal_range(record.Name);
    auto it = std::find_if(range.first, range.second, [&](const auto& entry) { return !taken[entry.second]; });
    if (it != range.second) {
      taken[it->second] = keep[k] = true;
    } else {
      unmatched.push_back(k);
    }
  }
  if (!unmatched.empty()) {
    // A name whose case changed on disk is still the same entry (the system finds it under
    // either spelling): its record stays, and no second row comes.
    std::unordered_multimap<std::u16string, size_t> byFolded;
    for (size_t i = 0; i < listed.size(); ++i)
      if (!taken[i]) byFolded.emplace(UpperCaseText(listed[i]->Name), i);
    for (size_t k : unmatched) {
      auto range = byFolded.equal_range(UpperCaseText(items[k]->Name));
      auto it = std::find_if(range.first, range.second, [&](const auto& entry) { return !taken[entry.second]; });
      if (it == range.second) continue;
      taken[it->second] = keep[k] = true;
    }
  }
  size_t kept = 0;
  for (size_t k = 0; k < items.size(); ++k)
    if (keep[k]) items[kept++] = std::move(items[k]);
  items.resize(kept);
  for (size_t i = 0; i < listed.size(); ++i) {
    if (taken[i]) continue;
    if (!deferMetadata_) ApplyRecordMetadata(*listed[i], ReadRecordMetadata(folder + listed[i]->Name, metadata_));
    items.push_back(std::move(listed[i]));
  }
  if (items.empty()) return false;
  if (sort) {
    Sort();
    return false;
  }
  return true;
}

std::u16string FileListModel::CellText(int row, int column, const LocaleData& locale) const {
  // Rows are numbered from 0: a row at Count or beyond has no record.
  const FileRecord* record = Record(row);
  return record ? ColumnText(*record, column, displayExt_, locale) : std::u16string();
}

int FileListModel::RowOfName(const std::u16string& name) const {
  for (int i = 0; i < records_.Count(); ++i)
    if (records_.Get(i)->Name == name) return i;
  return -1;
}

MetadataReads::Jobs FileListModel::PendingReads() const {
  MetadataReads::Jobs jobs;
  for (const auto& record : records_.Items())
    if (record->MetadataPending) jobs.Add(record.get(), record->Name);
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
