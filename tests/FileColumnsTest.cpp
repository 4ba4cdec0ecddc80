// The one column table: what each column shows and sorts by, and the widths every place
// takes from it.
#include <gtest/gtest.h>

#include "app/WindowSettings.h"
#include "browse/FileColumns.h"
#include "browse/FileRecords.h"
#include "platform/Locale.h"
#include "platform/UiTexts.h"

using namespace tess;

TEST(FileColumns, EachColumnShowsAndSortsByItsOwnValue) {
  FileRecord r;
  r.Name = u"IMG_0001.JPG";
  r.HasMetadata = true;
  TryEncodeDateTime({2012, 5, 3, 14, 22, 1, 0}, r.ExifDateTimeOriginal);
  r.ExifCameraModel = u"EOS 5D";
  r.ExifCameraMake = u"Canon";
  TryEncodeDateTime({2012, 5, 10, 8, 0, 30, 0}, r.ImportedAt);
  const LocaleData& locale = CurrentLocale();
  struct Case {
    int32_t column;
    const char16_t* caption;
    const char16_t* sortKey;
    bool needsMetadata;
  } cases[] = {
      {ColumnName, texts::kColumnName, u"IMG_0001.JPG", false},
      {ColumnShotDate, texts::kColumnShotDate, u"2012/05/03 14:22:01", true},
      {ColumnModel, texts::kColumnModel, u"EOS 5D", true},
      {ColumnMake, texts::kColumnMake, u"Canon", true},
      {ColumnImported, texts::kColumnImported, u"2012/05/10 08:00:30", true},
  };
  ASSERT_EQ(std::size(cases), size_t(FileColumnCount));
  for (const Case& c : cases) {
    EXPECT_EQ(std::u16string(kFileColumns[size_t(c.column)].caption), c.caption) << c.column;
    EXPECT_EQ(ColumnSortKey(r, c.column), c.sortKey) << c.column;
    EXPECT_EQ(ColumnNeedsMetadata(c.column), c.needsMetadata) << c.column;
  }
  EXPECT_EQ(ColumnText(r, ColumnName, false, locale), u"IMG_0001");
  EXPECT_EQ(ColumnText(r, ColumnShotDate, true, locale), RowDateText(r, locale));
  EXPECT_EQ(ColumnText(r, ColumnMake, true, locale), u"Canon");
  FileRecord asShot;
  asShot.HasMetadata = true;
  asShot.ExifDateTimeOriginal = r.ImportedAt;
  EXPECT_EQ(ColumnText(r, ColumnImported, true, locale), RowDateText(asShot, locale)) << "written as the shot date is";
  r.ImportedAt = 0;
  EXPECT_EQ(ColumnText(r, ColumnImported, true, locale), u"") << "not filed before: blank";
  EXPECT_EQ(ColumnText(r, FileColumnCount, true, locale), u"");
  EXPECT_EQ(ColumnSortKey(r, -1), u"");
  EXPECT_FALSE(ColumnNeedsMetadata(FileColumnCount));
}

TEST(FileColumns, TheSettingsDefaultsAreTheTablesWidths) {
  MainWindowSettings settings;
  for (int i = 0; i < FileColumnCount; ++i)
    EXPECT_EQ(settings.columnWidths[size_t(i)], kFileColumns[size_t(i)].defaultWidth) << i;
  EXPECT_TRUE(kFileColumns[ColumnShotDate].alignRight) << "dates line up on the right as the list creates them";
  EXPECT_EQ(kFileColumns[ColumnImported].defaultWidth, 0) << "the import date is off until asked for";
}
