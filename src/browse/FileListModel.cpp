#include "browse/FileListModel.h"

#include <unordered_map>

#include "browse/FolderPaths.h"
#include "platform/Text.h"

namespace tess {

bool RefreshLocked = false;

namespace {

std::u16string ReplaceSeparators(std::u16string text, const std::u16string& dateSep, const std::u16string& timeSep) {
  std::u16string out;
  out.reserve(text.size() + 4);
  for (char16_t c : text) {
    if (c == u'/') out += dateSep;
    else if (c == u':') out += timeSep;
    else out += c;
  }
  return out;
}

}  // namespace

std::u16string UpperCaseText(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = UpperCaseLetter(c);
  return out;
}

bool PassesFilter(std::u16string_view findText, std::u16string_view name, bool isFolder) {
  if (findText.empty() || isFolder) return true;
  return UpperCaseText(name).find(UpperCaseText(findText)) != std::u16string::npos;
}

std::u16string RowCaption(const std::u16string& name, bool displayExt) {
  if (displayExt) return name;
  size_t dot = name.find_last_of(u'.');
  return dot == std::u16string::npos ? name : name.substr(0, dot);
}

std::u16string RowDateText(const TplFileDataListItem& record, const LocaleData& locale) {
  if (!record.IsExifExist) return {};
  std::u16string text = FormatDateTime(record.ExifDateTimeOriginal);
  if (text == u"0000/00/00 00:00:00") return {};
  return ReplaceSeparators(std::move(text), locale.DateSeparator(), locale.TimeSeparator());
}

FileListModel::FileListModel(DirectoryLister& lister, MetadataSource& metadata) : lister_(lister), metadata_(metadata) {}

void FileListModel::ListFolder(const std::u16string& folder) {
  FileDataList.Clear();
  std::vector<DirectoryEntry> entries;
  // No folder yet (no root set): an empty path would enumerate the process's current folder.
  if (!folder.empty() && lister_.List(folder, entries)) {
    for (const auto& entry : entries) {
      if (IsDotEntry(entry.name)) continue;
      if (!PassesFilter(FindText, entry.name, (entry.attributes & FILE_ATTRIBUTE_DIRECTORY_) != 0)) continue;
      FileDataList.Add(MakeFileRecord(entry, folder, DeferMetadata ? nullptr : &metadata_));
    }
    SortFileDataList(FileDataList);
  }
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
    SortFileDataList(FileDataList);
    return false;
  }
  return true;
}

bool FileListModel::Row(int index, FileRowTexts& out, const LocaleData& locale) const {
  out = FileRowTexts{};
  // Rows are numbered from 0: a row at Count or beyond has no record.
  if (index < 0 || index >= FileDataList.Count()) return false;
  const TplFileDataListItem& record = *FileDataList.Get(index);
  out.caption = RowCaption(record.Name, DisplayExt);
  out.date = RowDateText(record, locale);
  out.model = record.ExifCameraModel;
  out.make = record.ExifCameraMake;
  out.image = record.IconIndex;
  return true;
}

std::vector<MetadataReads::Job> FileListModel::PendingReads(const std::u16string& folder) const {
  std::vector<MetadataReads::Job> jobs;
  for (const auto& record : FileDataList.Items())
    if (record->MetadataPending) jobs.push_back({record.get(), folder + record->Name});
  return jobs;
}

bool FileListModel::SortNeedsMetadata() const { return SortColumn >= 1 && SortColumn <= 3; }

int FileListModel::SortByColumn(int column, const std::u16string* selectedName) {
  if (column < 0 || column > 3) return -1;
  SortColumn = column;
  SortDirection[static_cast<size_t>(column)] = -SortDirection[static_cast<size_t>(column)];
  SortFileDataList(FileDataList);
  if (!selectedName) return -1;
  for (int i = 0; i < FileDataList.Count(); ++i)
    if (FileDataList.Get(i)->Name == *selectedName) return i;
  return -1;
}

}  // namespace tess
