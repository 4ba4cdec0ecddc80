#pragma once
// The file list apart from the control that draws it: the records of the shown folder and
// their order, which entries a listing keeps (the name filter), which records stay after a
// refresh and which are new, what a row shows, and the order after a column click with the
// selection kept by name.
#include <string>
#include <string_view>
#include <vector>

#include "browse/FileColumns.h"
#include "browse/FileRecords.h"
#include "browse/MetadataReads.h"
#include "platform/DirectoryList.h"
#include "platform/Locale.h"

namespace tess {

// Upper-cases letters the way the locale's upper-casing treats file names: ASCII, Latin-1,
// Latin Extended-A, Greek, Cyrillic and the full-width Latin letters.
std::u16string UpperCaseText(std::u16string_view text);
// An entry passes when there is no filter, when it is a folder, or when its name contains
// the filter text regardless of case.
bool PassesFilter(std::u16string_view findText, std::u16string_view name, bool isFolder);
// Files whose icon is their own (a program's, an icon file's, a shortcut's target's) are
// asked for by path; every other file shows the icon of its type, and a folder without the
// marks of a customised one (read-only or system) the plain folder's. The key of that shared
// icon (the upper-cased extension, "." without one, "\\" for a plain folder), or empty when
// the item's own icon is needed.
std::u16string SharedIconKey(const FileRecord& record);

class FileListModel {
 public:
  explicit FileListModel(DirectoryLister& lister = PlatformDirectoryLister(),
                         MetadataSource& metadata = ExifMetadataSource());
  FileListModel(const FileListModel&) = delete;
  FileListModel& operator=(const FileListModel&) = delete;

  // The records the rows show, in row order.
  const FileRecordList& Records() const { return records_; }
  // The filter on the names shown; empty: no filter.
  const std::u16string& FindText() const { return findText_; }
  void SetFindText(std::u16string text) { findText_ = std::move(text); }
  // Whether names are shown with their extensions.
  bool DisplayExt() const { return displayExt_; }
  void SetDisplayExt(bool value) { displayExt_ = value; }
  // Records are listed without their metadata, which the caller reads (PendingReads) and
  // puts in as it comes: a folder of a slow card shows its rows at once.
  void SetDeferMetadata(bool value) { deferMetadata_ = value; }

  // Lists folder afresh: every entry that passes the filter, sorted.
  void ListFolder(const std::u16string& folder);
  // The same from a listing taken elsewhere (off the window's thread); listed false: the
  // folder could not be read, and no rows are shown.
  void ShowListing(const std::u16string& folder, const std::vector<DirectoryEntry>& entries, bool listed);
  // Puts the runs of a listing taken elsewhere, each in the order made, among the rows (a
  // column clicked meanwhile has changed the order: such runs are sorted again first).
  void AddListed(std::vector<RecordBatch> runs, const FileSortState& made);
  // Brings the records in line with folder: records whose entry is gone or that no longer
  // pass the filter are dropped, kept records are not re-read, new entries are appended (then
  // sorted in when sort is set). True when the caller should scroll the last row into view.
  bool Refresh(const std::u16string& folder, bool sort);
  // The same from the records of a listing of folder taken elsewhere (the entries that pass
  // the filter); the ones already shown are dropped.
  bool ApplyRefresh(const std::u16string& folder, RecordBatch listed, bool sort);

  int Count() const { return records_.Count(); }
  // The record of row, or null for a row beyond the records.
  FileRecord* Record(int row) const { return row >= 0 && row < Count() ? records_.Get(row) : nullptr; }
  // What row shows in column; empty for a row beyond the records or a column outside the table.
  std::u16string CellText(int row, int column, const LocaleData& locale) const;
  // The row of the first record named name exactly; -1 when none is.
  int RowOfName(const std::u16string& name) const;

  // The order: kept across folders (and, by the window, across restarts).
  const FileSortState& SortState() const { return sort_; }
  // A stored order: a column outside the table and a direction other than -1 give the
  // default. The records are sorted again.
  void SetSortState(const FileSortState& sort);
  // A column click: the column's direction is negated and the records sorted. Answers the
  // index of the first record named selectedName exactly (nothing remembered: -1).
  int SortByColumn(int column, const std::u16string* selectedName);
  // Sorts the records by the current order (after their metadata came in).
  void Sort() { SortFileDataList(records_, sort_); }

  // The files whose metadata is still to read, in row order (the key is the record).
  MetadataReads::Jobs PendingReads() const;
  // Whether the order depends on the metadata (a date or camera column is sorted).
  bool SortNeedsMetadata() const;

  DirectoryLister& Lister() { return lister_; }

 private:
  // The records the rows show, in row order.
  FileRecordList records_;
  std::u16string findText_;
  bool displayExt_ = true;
  bool deferMetadata_ = false;
  DirectoryLister& lister_;
  MetadataSource& metadata_;
  FileSortState sort_;
};

}  // namespace tess
