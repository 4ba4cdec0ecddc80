#pragma once
// The file list's columns in one table: caption, default width, alignment, what a row shows
// in each and what it sorts by. The window creates its columns from it, the settings take
// their default widths from it, and the sort reads its keys from it: a new column is one
// more row here.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tess {

class LocaleData;
struct FileRecord;

enum FileColumn : int32_t { ColumnName, ColumnShotDate, ColumnModel, ColumnMake, ColumnImported, FileColumnCount };
// The columns before the import history's: their widths and directions are stored in the
// groups they always were, so that settings from before it read as they did.
inline constexpr int32_t kFirstOptionalColumn = ColumnImported;

struct FileColumnSpec {
  const char16_t* caption;
  int32_t defaultWidth;  // 96-dpi pixels; 0 for a column shown only when asked for
  bool alignRight;
};
extern const std::array<FileColumnSpec, FileColumnCount> kFileColumns;

// True for an index of the table.
constexpr bool IsFileColumn(int32_t column) { return column >= 0 && column < FileColumnCount; }

// The name column: the name, or without its last extension (folders too).
std::u16string RowCaption(const std::u16string& name, bool displayExt);
// The date column: the shot date with the locale's separators, empty without a date.
std::u16string RowDateText(const FileRecord& record, const LocaleData& locale);
// The width the import date column takes when it is turned on (96-dpi pixels).
inline constexpr int32_t kImportedColumnWidth = 130;

// What a row shows in column; empty for a column outside the table.
std::u16string ColumnText(const FileRecord& record, int32_t column, bool displayExt, const LocaleData& locale);
// What a row sorts by in column: the name, the shot date as "yyyy/mm/dd hh:nn:ss" (a missing
// date sorts before an undated file, which sorts before every real date), the model, the
// make, the date the photo was filed; empty for a column outside the table.
std::u16string ColumnSortKey(const FileRecord& record, int32_t column);
// The same key without a copy where the record holds it as text (the sort compares a folder's
// rows many times over); a key that has to be built is built into scratch.
std::u16string_view ColumnSortKey(const FileRecord& record, int32_t column, std::u16string& scratch);
// Whether the record holds column's sort key as it is (no key has to be built to compare).
bool ColumnKeyIsStored(int32_t column);
// Whether the order by column depends on the photos' metadata.
bool ColumnNeedsMetadata(int32_t column);

// The order of the list: the column and each column's own direction (+1 ascending, -1
// descending). Every column starts ascending; a click negates before sorting, so the first
// click on a column sorts it descending.
struct FileSortState {
  int32_t SortColumn = ColumnName;
  std::array<int32_t, FileColumnCount> SortDirection = Ascending();

  // The direction of the sorted column; +1 for a column outside the table.
  int32_t Direction() const { return IsFileColumn(SortColumn) ? SortDirection[static_cast<size_t>(SortColumn)] : 1; }
  static constexpr std::array<int32_t, FileColumnCount> Ascending() {
    std::array<int32_t, FileColumnCount> all{};
    for (auto& d : all) d = 1;
    return all;
  }
};

}  // namespace tess
