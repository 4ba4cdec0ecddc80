#include "browse/FileColumns.h"

#include "browse/FileRecords.h"
#include "platform/Locale.h"
#include "platform/UiTexts.h"

namespace tess {

// Every column starts 180 wide, as the window has always opened: a shooting date with its
// time needs about 130 pixels.
const std::array<FileColumnSpec, FileColumnCount> kFileColumns = {{
    {texts::kColumnName, 180, false},
    {texts::kColumnShotDate, 180, true},
    {texts::kColumnModel, 180, false},
    {texts::kColumnMake, 180, false},
    // 取り込み日: off until asked for (表示 → 取り込み日).
    {texts::kColumnImported, 0, true},
}};

namespace {

std::u16string ReplaceSeparators(const std::u16string& text, const std::u16string& dateSep,
                                 const std::u16string& timeSep) {
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

std::u16string RowCaption(const std::u16string& name, bool displayExt) {
  if (displayExt) return name;
  size_t dot = name.find_last_of(u'.');
  return dot == std::u16string::npos ? name : name.substr(0, dot);
}

std::u16string RowDateText(const FileRecord& record, const LocaleData& locale) {
  if (!record.HasMetadata) return {};
  std::u16string text = FormatDateTime(record.ExifDateTimeOriginal);
  if (text == u"0000/00/00 00:00:00") return {};
  return ReplaceSeparators(text, locale.DateSeparator(), locale.TimeSeparator());
}

namespace {

std::u16string ImportedText(const FileRecord& record, const LocaleData& locale) {
  if (record.ImportedAt <= 0) return {};
  return ReplaceSeparators(FormatDateTime(record.ImportedAt), locale.DateSeparator(), locale.TimeSeparator());
}

}  // namespace

std::u16string ColumnText(const FileRecord& record, int32_t column, bool displayExt, const LocaleData& locale) {
  switch (column) {
    case ColumnName: return RowCaption(record.Name, displayExt);
    case ColumnShotDate: return RowDateText(record, locale);
    case ColumnModel: return record.ExifCameraModel;
    case ColumnMake: return record.ExifCameraMake;
    case ColumnImported: return ImportedText(record, locale);
    default: return {};
  }
}

std::u16string_view ColumnSortKey(const FileRecord& record, int32_t column, std::u16string& scratch) {
  switch (column) {
    case ColumnName: return record.Name;
    case ColumnShotDate: return scratch = FormatDateTime(record.ExifDateTimeOriginal);
    case ColumnModel: return record.ExifCameraModel;
    case ColumnMake: return record.ExifCameraMake;
    case ColumnImported: return scratch = record.ImportedAt > 0 ? FormatDateTime(record.ImportedAt) : std::u16string();
    default: return {};
  }
}

std::u16string ColumnSortKey(const FileRecord& record, int32_t column) {
  std::u16string scratch;
  return std::u16string(ColumnSortKey(record, column, scratch));
}

bool ColumnKeyIsStored(int32_t column) { return column != ColumnShotDate && column != ColumnImported; }

bool ColumnNeedsMetadata(int32_t column) { return IsFileColumn(column) && column != ColumnName; }

}  // namespace tess
