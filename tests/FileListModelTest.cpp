// The file list's decisions: which entries a listing shows, what a refresh keeps, what a
// row shows and the order after a column click, on made-up folders and photos.
#include <gtest/gtest.h>

#include "browse/FileListModel.h"
#include "platform/Text.h"
#include "support/RecordFakes.h"

using namespace tess;
using namespace tess::testing;

namespace {

class SeparatorLocale : public LocaleData {
 public:
  SeparatorLocale(std::u16string date, std::u16string time) : date_(std::move(date)), time_(std::move(time)) {}
  std::u16string DecodeAnsi(std::string_view) const override { return {}; }
  std::u16string ShortDayName(int) const override { return {}; }
  std::optional<EraDate> AltCalendarEra(int, int, int) const override { return std::nullopt; }
  LocaleLanguage Language() const override { return LocaleLanguage::Japanese; }
  std::u16string ThousandSeparator() const override { return u","; }
  std::u16string DateSeparator() const override { return date_; }
  std::u16string TimeSeparator() const override { return time_; }

 private:
  std::u16string date_, time_;
};

double Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  double v = 0;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, 0}, v));
  return v;
}

DirectoryEntry File(const char16_t* name) { return DirectoryEntry{name, 0x20, 1000, 0, 0}; }
DirectoryEntry Folder(const char16_t* name) { return DirectoryEntry{name, 0x10, 0, 0, 0}; }

class FileListModelTest : public ::testing::Test {
 protected:
  static std::vector<std::u16string> Names(const FileListModel& model) {
    std::vector<std::u16string> out;
    for (int i = 0; i < model.Count(); ++i) out.push_back(model.Record(i)->Name);
    return out;
  }
  void Photo(const std::u16string& name, double shot, const std::u16string& model = u"M",
             const std::u16string& make = u"K") {
    FakePhoto p;
    p.dateTimeOriginal = shot;
    p.model = model;
    p.make = make;
    metadata.photos[folder + name] = p;
  }

  const std::u16string folder = u"D:\\Photos\\";
  FakeDirectoryLister lister;
  FakeMetadataSource metadata;
};

}  // namespace

TEST(FileListRules, FilterMatchesNamesRegardlessOfCaseAndAlwaysShowsFolders) {
  struct Case { const char16_t* find; const char16_t* name; bool folder; bool passes; } cases[] = {
      {u"", u"anything.jpg", false, true},      {u"img", u"IMG_0001.JPG", false, true},
      {u"0001", u"IMG_0001.JPG", false, true},  {u"0002", u"IMG_0001.JPG", false, false},
      {u"0002", u"2012", true, true},           {u"é", u"CAFÉ.JPG", false, true},
      {u"ｊｐｇ", u"写真.ＪＰＧ", false, true}, {u"jpgx", u"a.jpg", false, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PassesFilter(c.find, c.name, c.folder), c.passes) << ToUtf8(c.find) << " in " << ToUtf8(c.name);
}

TEST(FileListRules, CaptionWithoutExtensionDropsOnlyTheLastOne) {
  EXPECT_EQ(RowCaption(u"IMG_0001.JPG", true), u"IMG_0001.JPG");
  EXPECT_EQ(RowCaption(u"IMG_0001.JPG", false), u"IMG_0001");
  EXPECT_EQ(RowCaption(u"2012.05", false), u"2012");
  EXPECT_EQ(RowCaption(u"a.tar.gz", false), u"a.tar");
  EXPECT_EQ(RowCaption(u"README", false), u"README");
}

TEST(FileListRules, DateCellUsesTheLocaleSeparatorsAndStaysEmptyWithoutADate) {
  SeparatorLocale dots(u".", u"-");
  FileRecord r;
  r.HasMetadata = true;
  r.ExifDateTimeOriginal = Date(2012, 5, 3, 14, 22, 1);
  EXPECT_EQ(RowDateText(r, dots), u"2012.05.03 14-22-01");
  SeparatorLocale slash(u"/", u":");
  EXPECT_EQ(RowDateText(r, slash), u"2012/05/03 14:22:01");
  r.ExifDateTimeOriginal = MissingDate;  // metadata without any date
  EXPECT_EQ(RowDateText(r, slash), u"");
  r.HasMetadata = false;  // no metadata at all, date 0
  r.ExifDateTimeOriginal = 0;
  EXPECT_EQ(RowDateText(r, slash), u"");
}

TEST_F(FileListModelTest, ListingShowsFoldersFirstAndEveryPhotoWithItsValues) {
  lister.folders[folder] = {File(u"b.jpg"), Folder(u"2012"), File(u"a.jpg"), File(u"notes.txt")};
  Photo(u"a.jpg", Date(2011, 1, 2, 3, 4, 5), u"EOS 5D", u"Canon");
  Photo(u"b.jpg", Date(2010, 1, 1), u"D70", u"NIKON");
  FileListModel model(lister, metadata);
  model.ListFolder(folder);
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"2012", u"a.jpg", u"b.jpg", u"notes.txt"}));
  SeparatorLocale slash(u"/", u":");
  EXPECT_EQ(model.CellText(1, ColumnName, slash), u"a.jpg");
  EXPECT_EQ(model.CellText(1, ColumnShotDate, slash), u"2011/01/02 03:04:05");
  EXPECT_EQ(model.CellText(1, ColumnModel, slash), u"EOS 5D");
  EXPECT_EQ(model.CellText(1, ColumnMake, slash), u"Canon");
  EXPECT_EQ(model.CellText(3, ColumnShotDate, slash), u"");
  EXPECT_EQ(model.CellText(4, ColumnName, slash), u"") << "a row at the record count has no record";
  EXPECT_EQ(model.CellText(1, FileColumnCount, slash), u"") << "no column beyond the table";
  model.SetDisplayExt(false);
  EXPECT_EQ(model.CellText(1, ColumnName, slash), u"a");
}

TEST_F(FileListModelTest, FilterKeepsFoldersAndMatchingFilesOnly) {
  lister.folders[folder] = {File(u"IMG_1.JPG"), File(u"dsc_2.jpg"), Folder(u"sub")};
  FileListModel model(lister, metadata);
  model.SetFindText(u"img");
  model.ListFolder(folder);
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"sub", u"IMG_1.JPG"}));
}

TEST_F(FileListModelTest, RefreshKeepsRecordsAppendsNewOnesAndDropsVanishedOnes) {
  lister.folders[folder] = {File(u"a.jpg"), File(u"b.jpg"), File(u"c.jpg")};
  Photo(u"a.jpg", Date(2001, 1, 1));
  FileListModel model(lister, metadata);
  model.ListFolder(folder);
  size_t loads = metadata.loadedPaths.size();

  // Behind the list's back: b.jpg is removed, 0.jpg added, and a.jpg's metadata changes.
  lister.folders[folder] = {File(u"a.jpg"), File(u"c.jpg"), File(u"0.jpg")};
  Photo(u"a.jpg", Date(2002, 2, 2));
  EXPECT_TRUE(model.Refresh(folder, false)) << "the new row is scrolled into view";
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"a.jpg", u"c.jpg", u"0.jpg"}));
  EXPECT_EQ(metadata.loadedPaths.size(), loads + 1) << "only the new file is read";
  EXPECT_EQ(model.Record(0)->ExifDateTimeOriginal, Date(2001, 1, 1)) << "kept records are not re-read";

  EXPECT_FALSE(model.Refresh(folder, true));
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"0.jpg", u"a.jpg", u"c.jpg"}));

  lister.folders[folder].clear();
  EXPECT_FALSE(model.Refresh(folder, false));
  EXPECT_EQ(model.Count(), 0);
}

TEST_F(FileListModelTest, RefreshDropsRecordsThatNoLongerPassTheFilter) {
  lister.folders[folder] = {File(u"IMG_1.JPG"), File(u"dsc_2.jpg"), Folder(u"sub")};
  FileListModel model(lister, metadata);
  model.ListFolder(folder);
  model.SetFindText(u"DSC");
  model.Refresh(folder, true);
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"sub", u"dsc_2.jpg"}));
  model.SetFindText(u"");
  model.Refresh(folder, true);
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"sub", u"dsc_2.jpg", u"IMG_1.JPG"}));
}

TEST_F(FileListModelTest, ColumnClicksAlternateDirectionAndFindTheSelectedName) {
  lister.folders[folder] = {File(u"old.jpg"), File(u"new.jpg"), Folder(u"dir"), File(u"mid.jpg")};
  Photo(u"old.jpg", Date(2001, 1, 1));
  Photo(u"mid.jpg", Date(2005, 1, 1));
  Photo(u"new.jpg", Date(2010, 1, 1));
  FileListModel model(lister, metadata);
  model.ListFolder(folder);
  std::u16string selected = u"mid.jpg";
  // First click on the date column: newest first, folders after every file.
  EXPECT_EQ(model.SortByColumn(1, &selected), 1);
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"new.jpg", u"mid.jpg", u"old.jpg", u"dir"}));
  EXPECT_EQ(model.SortByColumn(1, &selected), 2);
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"dir", u"old.jpg", u"mid.jpg", u"new.jpg"}));
  EXPECT_EQ(model.SortByColumn(0, nullptr), -1);
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"old.jpg", u"new.jpg", u"mid.jpg", u"dir"}));
  std::u16string gone = u"nothing.jpg";
  EXPECT_EQ(model.SortByColumn(0, &gone), -1);
}

TEST_F(FileListModelTest, TheOrderBelongsToEachModelAndSurvivesANewFolder) {
  lister.folders[folder] = {File(u"a.jpg"), File(u"b.jpg")};
  lister.folders[u"D:\\Other\\"] = {File(u"x.jpg"), File(u"y.jpg")};
  FileListModel model(lister, metadata), other(lister, metadata);
  model.ListFolder(folder);
  other.ListFolder(folder);
  model.SortByColumn(ColumnName, nullptr);
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"b.jpg", u"a.jpg"}));
  EXPECT_EQ(Names(other), (std::vector<std::u16string>{u"a.jpg", u"b.jpg"})) << "no order shared between models";
  model.ListFolder(u"D:\\Other\\");
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"y.jpg", u"x.jpg"}));
}

TEST_F(FileListModelTest, AStoredOrderIsCheckedBeforeItApplies) {
  lister.folders[folder] = {File(u"a.jpg"), File(u"b.jpg"), Folder(u"dir")};
  FileListModel model(lister, metadata);
  model.ListFolder(folder);
  struct Case { int32_t column; int32_t nameDirection; int32_t wantColumn; int32_t wantDirection; } cases[] = {
      {ColumnName, -1, ColumnName, -1},
      {ColumnMake, -1, ColumnMake, -1},
      {FileColumnCount, -1, ColumnName, -1},  // a column from a later version with more columns
      {-3, 1, ColumnName, 1},
      {ColumnName, 7, ColumnName, 1},          // a direction that is neither -1 nor +1
  };
  for (const Case& c : cases) {
    FileSortState stored;
    stored.SortColumn = c.column;
    stored.SortDirection[ColumnName] = c.nameDirection;
    model.SetSortState(stored);
    EXPECT_EQ(model.SortState().SortColumn, c.wantColumn) << c.column;
    EXPECT_EQ(model.SortState().SortDirection[ColumnName], c.wantDirection) << c.nameDirection;
  }
  FileSortState descending;
  descending.SortDirection[ColumnName] = -1;
  model.SetSortState(descending);
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"b.jpg", u"a.jpg", u"dir"})) << "sorted at once";
}

TEST_F(FileListModelTest, RefreshKeepsOneRowForANameWhoseCaseChangedOnDisk) {
  // Renamed elsewhere to other letter case only: the file system still finds the record's
  // path, so the entry is the kept record and must not come back as a second row.
  lister.ignoreCase = true;
  lister.folders[folder] = {File(u"café.jpg"), File(u"photo.jpg"), File(u"Ωmega.jpg")};
  FileListModel model(lister, metadata);
  model.ListFolder(folder);
  lister.folders[folder] = {File(u"CAFÉ.JPG"), File(u"PHOTO.JPG"), File(u"ωMEGA.jpg")};
  model.Refresh(folder, true);
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"café.jpg", u"photo.jpg", u"Ωmega.jpg"}));
}

TEST_F(FileListModelTest, NoFolderYetListsNothingRatherThanTheCurrentFolder) {
  // The system resolves an empty folder against the process's current folder.
  lister.folders[u""] = {File(u"stray.txt")};
  FileListModel model(lister, metadata);
  model.ListFolder(u"");
  EXPECT_EQ(model.Count(), 0);
  model.SetFindText(u"x");  // a filter change refreshes
  EXPECT_FALSE(model.Refresh(u"", false));
  EXPECT_EQ(model.Count(), 0);
}

// A screenful of photos asks the shell for one icon per type, not one per file (a look-up by
// path costs milliseconds a row under Wine); programs, icons and shortcuts keep their own.
TEST(SharedIconKey, TypesShareAnIconOwnIconsAndCustomisedFoldersDoNot) {
  struct Case { const char16_t* name; uint32_t attributes; const char16_t* key; } cases[] = {
      {u"IMG_0001.JPG", FILE_ATTRIBUTE_ARCHIVE_, u".JPG"},
      {u"img_0002.jpg", FILE_ATTRIBUTE_ARCHIVE_, u".JPG"},
      {u"movie.Mov", FILE_ATTRIBUTE_ARCHIVE_, u".MOV"},
      {u"README", FILE_ATTRIBUTE_ARCHIVE_, u"."},
      {u"setup.exe", FILE_ATTRIBUTE_ARCHIVE_, u""},
      {u"Card.lnk", FILE_ATTRIBUTE_ARCHIVE_, u""},
      {u"app.ICO", FILE_ATTRIBUTE_ARCHIVE_, u""},
      {u"site.url", FILE_ATTRIBUTE_ARCHIVE_, u""},
      {u"archive.exe.txt", FILE_ATTRIBUTE_ARCHIVE_, u".TXT"},
      {u"DCIM", FILE_ATTRIBUTE_DIRECTORY_, u"\\"},
      {u"photos.jpg", FILE_ATTRIBUTE_DIRECTORY_, u"\\"},
      {u"Customised", FILE_ATTRIBUTE_DIRECTORY_ | FILE_ATTRIBUTE_READONLY_, u""},
      {u"System", FILE_ATTRIBUTE_DIRECTORY_ | FILE_ATTRIBUTE_SYSTEM_, u""},
  };
  for (const Case& c : cases) {
    FileRecord record;
    record.Name = c.name;
    record.Attrib = c.attributes;
    EXPECT_EQ(SharedIconKey(record), c.key) << ToUtf8(c.name);
  }
}
