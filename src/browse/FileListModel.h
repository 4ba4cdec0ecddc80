#pragma once
// The decisions of the file list, apart from the control that draws them: which entries a
// listing keeps (the name filter), which records stay after a refresh and which are new,
// what a row shows, and the order after a column click with the selection kept by name.
#include <string>
#include <string_view>

#include "browse/FileRecords.h"
#include "browse/MetadataReads.h"
#include "platform/DirectoryList.h"
#include "platform/Locale.h"

namespace tess {

// While set, a refresh on request of the list or the tree does nothing (a file is being
// opened or a name edited in place).
extern bool RefreshLocked;

// Upper-cases letters the way the locale's upper-casing treats file names: ASCII, Latin-1,
// Latin Extended-A, Greek, Cyrillic and the full-width Latin letters.
std::u16string UpperCaseText(std::u16string_view text);
// An entry passes when there is no filter, when it is a folder, or when its name contains
// the filter text regardless of case.
bool PassesFilter(std::u16string_view findText, std::u16string_view name, bool isFolder);
// The name column: the name, or without its last extension (folders too).
std::u16string RowCaption(const std::u16string& name, bool displayExt);
// The date column: the shot date with the locale's separators, empty without a date.
std::u16string RowDateText(const TplFileDataListItem& record, const LocaleData& locale);

struct FileRowTexts {
  std::u16string caption, date, model, make;
  int image = -1;
};

class FileListModel {
 public:
  explicit FileListModel(DirectoryLister& lister = PlatformDirectoryLister(),
                         MetadataSource& metadata = ExifMetadataSource());

  std::u16string FindText;  // empty: no filter
  bool DisplayExt = true;
  // Records are listed without their metadata, which the caller reads (PendingReads) and
  // puts in as it comes: a folder of a slow card shows its rows at once.
  bool DeferMetadata = false;

  // Lists folder afresh into FileDataList: every entry that passes the filter, sorted.
  void ListFolder(const std::u16string& folder);
  // Brings FileDataList in line with folder: records whose entry is gone or that no longer
  // pass the filter are dropped, kept records are not re-read, new entries are appended (then
  // sorted in when sort is set). True when the caller should scroll the last row into view.
  bool Refresh(const std::u16string& folder, bool sort);

  int Count() const { return FileDataList.Count(); }
  // The texts of row index; false (and empty texts) for a row beyond the records.
  bool Row(int index, FileRowTexts& out, const LocaleData& locale) const;
  // A column click: the column's direction is negated and the records sorted. Answers the
  // index of the first record named selectedName exactly (nothing remembered: -1).
  int SortByColumn(int column, const std::u16string* selectedName);

  // The files whose metadata is still to read, in row order (the key is the record).
  std::vector<MetadataReads::Job> PendingReads(const std::u16string& folder) const;
  // Whether the order depends on the metadata (a date or camera column is sorted).
  bool SortNeedsMetadata() const;

  DirectoryLister& Lister() { return lister_; }

 private:
  DirectoryLister& lister_;
  MetadataSource& metadata_;
};

}  // namespace tess
