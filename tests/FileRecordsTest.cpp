// File records: the owning lists, the filling of a record from a directory entry and the
// metadata, and the sort order of the file list.
#include <gtest/gtest.h>

#include <climits>

#include "browse/FileRecords.h"
#include "exif/Exif.h"
#include "support/RecordFakes.h"

using namespace tess;
using tess::testing::FakeDirectoryLister;
using tess::testing::FakeMetadataSource;
using tess::testing::FakePhoto;

namespace {

struct CountedRecord {
  static inline int alive = 0;
  CountedRecord() { ++alive; }
  ~CountedRecord() { --alive; }
};
using CountedList = OwningRecordList<CountedRecord>;

double Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  double v = 0;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, 0}, v));
  return v;
}

// Local time = the file time read as if it were local: independent of the machine.
bool FakeToLocal(uint64_t fileTime, TDateTime& local) {
  if (fileTime == 0) {
    local = 0;
    return false;
  }
  local = FileTimeToDateTime(fileTime);
  return true;
}

DirectoryEntry File(const std::u16string& name, uint64_t size = 100) {
  DirectoryEntry e;
  e.name = name;
  e.attributes = FILE_ATTRIBUTE_ARCHIVE_;
  e.size = size;
  return e;
}
DirectoryEntry Folder(const std::u16string& name) {
  DirectoryEntry e;
  e.name = name;
  e.attributes = FILE_ATTRIBUTE_DIRECTORY_;
  e.size = 12345;  // ignored for folders
  return e;
}

}  // namespace

TEST(RecordList, OwnsAndFreesItsRecords) {
  CountedRecord::alive = 0;
  {
    CountedList list;
    auto* a = new CountedRecord;
    auto* b = new CountedRecord;
    auto* c = new CountedRecord;
    EXPECT_EQ(list.Add(std::unique_ptr<CountedRecord>(a)), 0);
    EXPECT_EQ(list.Add(std::unique_ptr<CountedRecord>(b)), 1);
    EXPECT_EQ(list.Add(std::unique_ptr<CountedRecord>(c)), 2);
    EXPECT_EQ(list.Get(1), b);
    EXPECT_EQ(list.IndexOf(c), 2);

    // Remove of a record in the list: its position, and the record is freed.
    EXPECT_EQ(list.Remove(b), 1);
    EXPECT_EQ(CountedRecord::alive, 2);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.IndexOf(b), -1);

    // Remove of a record that is not in the list frees it all the same.
    auto* stray = new CountedRecord;
    EXPECT_EQ(CountedRecord::alive, 3);
    EXPECT_EQ(list.Remove(stray), -1);
    EXPECT_EQ(CountedRecord::alive, 2);
    EXPECT_EQ(list.Count(), 2);

    // Put hands back the record it replaces instead of freeing it.
    std::unique_ptr<CountedRecord> old = list.Put(0, std::make_unique<CountedRecord>());
    EXPECT_EQ(old.get(), a);
    EXPECT_EQ(CountedRecord::alive, 3);
    old.reset();

    list.Delete(1);  // c
    EXPECT_EQ(CountedRecord::alive, 1);
    EXPECT_EQ(list.Count(), 1);
    list.Add(std::make_unique<CountedRecord>());
    list.Clear();
    EXPECT_EQ(CountedRecord::alive, 0);
    EXPECT_EQ(list.Count(), 0);
    list.Add(std::make_unique<CountedRecord>());
    list.Add(std::make_unique<CountedRecord>());
  }
  EXPECT_EQ(CountedRecord::alive, 0);  // destruction clears
}

TEST(RecordList, IndexOutsideTheListRaisesTheIndexError) {
  OwningRecordList<SourceRecord> list;
  list.Add(std::make_unique<SourceRecord>());
  for (int index : {-1, 1, 5}) {
    try {
      list.Get(index);
      ADD_FAILURE() << index;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Index(), index);
      EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(index) + ")");
    }
    EXPECT_THROW(list.Delete(index), EListError);
    EXPECT_THROW((void)list.Put(index, nullptr), EListError);
  }
  EXPECT_EQ(list.Count(), 1);
}

TEST(RecordList, RealListsFreeOnRemoveOfAStrayRecord) {
  // Under the leak checker a stray record that Remove did not free fails the run.
  FileRecordList files;
  EXPECT_EQ(files.Remove(new FileRecord), -1);
  OwningRecordList<SourceRecord> renames;
  EXPECT_EQ(renames.Remove(new SourceRecord), -1);
}

TEST(FileRecord, SizeInKiB) {
  struct Case { uint64_t bytes; int32_t kib; } cases[] = {
      {0, 0}, {1, 1}, {1023, 1}, {1024, 1}, {1025, 2},
      // Above 4 GiB the whole size counts: a long video keeps its size.
      {0x100000000ull, 4194304}, {0x100000001ull, 4194305}, {0x1000003FFull, 4194305},
      {uint64_t(INT32_MAX) * 1024, INT32_MAX}, {uint64_t(INT32_MAX) * 1024 + 1, INT32_MAX},
      {UINT64_MAX, INT32_MAX},
  };
  FakeMetadataSource none;
  for (const Case& c : cases) {
    EXPECT_EQ(SizeInKiB(c.bytes), c.kib) << c.bytes;
    EXPECT_EQ(MakeFileRecord(File(u"a.mov", c.bytes), u"C:\\", none, FakeToLocal)->Size, c.kib) << c.bytes;
  }
  EXPECT_EQ(MakeFileRecord(Folder(u"DCIM"), u"C:\\", none, FakeToLocal)->Size, -1);
}

TEST(FileRecord, MetadataAndShotDateFallback) {
  const double dt = Date(2024, 5, 1, 10), orig = Date(2024, 5, 1, 9, 3, 7), dig = Date(2024, 5, 1, 9, 3, 8);
  FakeMetadataSource meta;
  const std::u16string folder = u"D:\\Photos\\";
  meta.photos[folder + u"all.jpg"] = {true, dt, orig, dig, u"X100", u"FUJIFILM"};
  meta.photos[folder + u"digitized.jpg"] = {true, MissingDate, MissingDate, dig, u"", u""};
  meta.photos[folder + u"datetime.jpg"] = {true, dt, MissingDate, dig, u"", u""};
  meta.photos[folder + u"nodates.jpg"] = {true, MissingDate, MissingDate, MissingDate, u"M", u"K"};
  meta.photos[folder + u"noexif.jpg"] = {};  // a JPEG without an Exif block
  meta.photos[folder + u"throws.jpg"] = {true, dt, orig, dig, u"M", u"K", true, false};
  meta.photos[folder + u"valuethrows.jpg"] = {true, dt, orig, dig, u"M", u"K", false, true};
  meta.photos[folder + u"notphoto.txt"] = {false, dt, orig, dig, u"M", u"K"};

  struct Case {
    const char16_t* name;
    bool folder;
    bool exif;
    double shot, dateTime, digitized;
    const char16_t* model;
  } cases[] = {
      {u"all.jpg", false, true, orig, dt, dig, u"X100"},
      {u"digitized.jpg", false, true, dig, MissingDate, dig, u""},
      {u"datetime.jpg", false, true, dt, dt, dig, u""},
      {u"nodates.jpg", false, true, MissingDate, MissingDate, MissingDate, u"M"},
      {u"noexif.jpg", false, true, MissingDate, MissingDate, MissingDate, u""},
      {u"throws.jpg", false, false, 0, 0, 0, u""},
      // A failure after the load keeps what was stored before it.
      {u"valuethrows.jpg", false, true, 0, 0, 0, u""},
      {u"notphoto.txt", false, false, 0, 0, 0, u""},
      {u"unknown.bin", false, false, 0, 0, 0, u""},
      {u"DCIM", true, false, 0, 0, 0, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
    DirectoryEntry e = c.folder ? Folder(c.name) : File(c.name);
    e.creationTime = 133590000000000000ull;
    e.lastWriteTime = 133590000010000000ull;
    auto r = MakeFileRecord(e, folder, meta, FakeToLocal);
    EXPECT_EQ(meta.loadedPaths.back(), folder + c.name);
    EXPECT_EQ(meta.readersAlive, 0);
    EXPECT_EQ(r->Name, c.name);
    EXPECT_EQ(r->IconIndex, -1);
    EXPECT_EQ(r->Attrib, e.attributes);
    EXPECT_EQ(r->HasMetadata, c.exif);
    EXPECT_EQ(r->ExifDateTimeOriginal, c.shot);
    EXPECT_EQ(r->ExifDateTime, c.dateTime);
    EXPECT_EQ(r->ExifDateTimeDigitized, c.digitized);
    EXPECT_EQ(r->ExifCameraModel, c.model);
    EXPECT_EQ(r->CreateDate, FileTimeToDateTime(e.creationTime));
    EXPECT_EQ(r->ModifyDate, FileTimeToDateTime(e.lastWriteTime));
  }
  EXPECT_EQ(MakeFileRecord(File(u"all.jpg"), folder, meta, FakeToLocal)->ExifCameraMake, u"FUJIFILM");
}

TEST(FileRecord, FailedTimeConversionGivesZero) {
  FakeMetadataSource none;
  DirectoryEntry e = File(u"a.jpg");
  e.creationTime = 0;  // the fake conversion fails on 0
  e.lastWriteTime = 133590000000000000ull;
  auto r = MakeFileRecord(e, u"C:\\", none, FakeToLocal);
  EXPECT_EQ(r->CreateDate, 0);
  EXPECT_GT(r->ModifyDate, 0);
}

TEST(FileRecord, PlatformLocalTimeRoundsTripsAWholeSecond) {
  // The local offset is the machine's; only the time of day modulo whole minutes is fixed.
  TDateTime local;
  ASSERT_TRUE(FileTimeToLocalDateTime(133590000000000000ull + 7 * 10000000ull + 2500000, local));
  DateTimeParts p;
  ASSERT_TRUE(DecodeDateTime(local, p));
  EXPECT_EQ(p.second, 7);
  EXPECT_EQ(p.millisecond, 250);
  EXPECT_GE(p.year, 2024);
}

TEST(FileRecord, AddFileRecordAppendsToTheGivenList) {
  FileRecordList list;
  FakeMetadataSource none;
  FileRecord* r = AddFileRecord(list, File(u"a.jpg"), u"C:\\", none, FakeToLocal);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Get(0), r);
}

// The size and the serial go along: the import history knows a photo by them.
TEST(FileRecord, RenameItemCopiesNameFolderSizeAndMetadataOnly) {
  FileRecord r;
  r.Name = u"IMG.JPG";
  r.Size = 5;
  r.ByteSize = 5000;
  r.CreateDate = 3;
  r.ModifyDate = 4;
  r.IconIndex = 9;
  r.Attrib = 0x20;
  r.HasMetadata = true;
  r.ExifDateTime = 1;
  r.ExifDateTimeOriginal = 2;
  r.ExifDateTimeDigitized = 3;
  r.ExifCameraModel = u"M";
  r.ExifCameraMake = u"K";
  r.ExifCameraSerial = u"S1";
  auto item = MakeRenameItem(r, u"C:\\DCIM\\");
  EXPECT_EQ(item->Name, u"IMG.JPG");
  EXPECT_EQ(item->Folder, u"C:\\DCIM\\");
  EXPECT_TRUE(item->HasMetadata);
  EXPECT_EQ(item->ExifDateTime, 1);
  EXPECT_EQ(item->ExifDateTimeOriginal, 2);
  EXPECT_EQ(item->ExifDateTimeDigitized, 3);
  EXPECT_EQ(item->ExifCameraModel, u"M");
  EXPECT_EQ(item->ExifCameraMake, u"K");
  EXPECT_EQ(item->ExifCameraSerial, u"S1");
  EXPECT_EQ(item->Size, 5);
  EXPECT_EQ(item->ByteSize, 5000u);
  EXPECT_EQ(item->CreateDate, 0);
  EXPECT_EQ(item->ModifyDate, 0);
  EXPECT_EQ(item->IconIndex, 0);
  EXPECT_EQ(item->Attrib, 0u);
}

namespace {

std::unique_ptr<FileRecord> Rec(const std::u16string& name, bool folder = false, double shot = 0,
                                         const std::u16string& model = u"", const std::u16string& make = u"") {
  auto r = std::make_unique<FileRecord>();
  r->Name = name;
  r->Attrib = folder ? FILE_ATTRIBUTE_DIRECTORY_ : FILE_ATTRIBUTE_ARCHIVE_;
  r->ExifDateTimeOriginal = shot;
  r->ExifCameraModel = model;
  r->ExifCameraMake = make;
  return r;
}

std::vector<std::u16string> SortedNames(int column, int direction, std::vector<std::unique_ptr<FileRecord>> records) {
  FileRecordList list;
  for (auto& r : records) list.Add(std::move(r));
  FileSortState sort;
  sort.SortColumn = column;
  sort.SortDirection[size_t(column)] = direction;
  SortFileDataList(list, sort);
  std::vector<std::u16string> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.Get(i)->Name);
  return names;
}

std::vector<std::unique_ptr<FileRecord>> Mixed() {
  std::vector<std::unique_ptr<FileRecord>> v;
  v.push_back(Rec(u"b.jpg"));
  v.push_back(Rec(u"Zdir", true));
  v.push_back(Rec(u"a.jpg"));
  v.push_back(Rec(u"adir", true));
  v.push_back(Rec(u"C.jpg"));
  return v;
}

}  // namespace

TEST(CompareFileData, FoldersFirstAscendingAndLastDescending) {
  using V = std::vector<std::u16string>;
  EXPECT_EQ(SortedNames(0, 1, Mixed()), (V{u"adir", u"Zdir", u"a.jpg", u"b.jpg", u"C.jpg"}));
  EXPECT_EQ(SortedNames(0, -1, Mixed()), (V{u"C.jpg", u"b.jpg", u"a.jpg", u"Zdir", u"adir"}));
}

TEST(CompareFileData, KeysAndCaseFolding) {
  const FileSortState byName;
  struct Case { const char16_t* a; const char16_t* b; int sign; } cases[] = {
      {u"IMG.jpg", u"img.JPG", 0},
      {u"\u00e9", u"\u00c9", 1},  // only ASCII folds: é (E9) after É (C9)
      {u"ab", u"abc", -1},
      {u"abc", u"ab", 1},
      {u"_", u"a", 1},            // '_' (5F) against 'A' (41) after folding
      {u"", u"", 0},
  };
  for (const Case& c : cases) {
    auto a = Rec(c.a), b = Rec(c.b);
    int r = CompareFileData(a.get(), b.get(), byName);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << std::string(c.a, c.a + 1);
  }
  // The first difference decides by its numeric size.
  auto x = Rec(u"a"), y = Rec(u"c");
  EXPECT_EQ(CompareFileData(x.get(), y.get(), byName), 'A' - 'C');
}

// The sort orders by the comparator itself: for every column and direction each record
// compares not greater than the next.
TEST(CompareFileData, TheSortFollowsTheComparator) {
  for (int column = 0; column < FileColumnCount; ++column) {
    for (int direction : {1, -1}) {
      FileRecordList list;
      for (auto& r : Mixed()) list.Add(std::move(r));
      list.Add(Rec(u"real", false, Date(2024, 5, 1, 9), u"b-model", u"A-make"));
      list.Add(Rec(u"missing", false, MissingDate, u"C-model", u"c-make"));
      list.Add(Rec(u"Nometa", false, 0, u"a-model", u"B-make"));
      FileSortState sort;
      sort.SortColumn = column;
      sort.SortDirection[size_t(column)] = direction;
      SortFileDataList(list, sort);
      for (int i = 0; i + 1 < list.Count(); ++i)
        EXPECT_LE(CompareFileData(list[i], list[i + 1], sort), 0) << column << " " << direction << " at " << i;
    }
  }
}

TEST(CompareFileData, OtherColumns) {
  using V = std::vector<std::u16string>;
  auto dated = [] {
    std::vector<std::unique_ptr<FileRecord>> v;
    v.push_back(Rec(u"real", false, Date(2024, 5, 1, 9), u"b-model", u"A-make"));
    v.push_back(Rec(u"missing", false, MissingDate, u"C-model", u"c-make"));
    v.push_back(Rec(u"nometa", false, 0, u"a-model", u"B-make"));
    return v;
  };
  // "0000/00/00" of MissingDate, then "1899/12/30" of no metadata, then real dates.
  EXPECT_EQ(SortedNames(1, 1, dated()), (V{u"missing", u"nometa", u"real"}));
  EXPECT_EQ(SortedNames(2, 1, dated()), (V{u"nometa", u"real", u"missing"}));
  EXPECT_EQ(SortedNames(3, -1, dated()), (V{u"missing", u"nometa", u"real"}));
  // A column outside the table compares every pair of files as equal.
  FileSortState outside;
  outside.SortColumn = 7;
  auto a = Rec(u"a"), b = Rec(u"b"), d = Rec(u"d", true);
  EXPECT_EQ(CompareFileData(a.get(), b.get(), outside), 0);
  EXPECT_LT(CompareFileData(d.get(), a.get(), outside), 0);
}

// Runs of a listing merged one by one give what one stable sort of all of them would, in
// every column and direction, ties (same names, same dates, bursts) keeping the rows already
// there first.
TEST(CompareFileData, MergedRunsMatchOneStableSort) {
  auto all = [] {
    std::vector<std::unique_ptr<FileRecord>> v = Mixed();
    v.push_back(Rec(u"burst1", false, Date(2024, 5, 1, 9), u"M", u"K"));
    v.push_back(Rec(u"IMG.jpg", false, Date(2023, 1, 1), u"m", u"k"));
    v.push_back(Rec(u"burst2", false, Date(2024, 5, 1, 9), u"M", u"K"));
    v.push_back(Rec(u"img.JPG", false, MissingDate, u"M", u"K"));
    v.push_back(Rec(u"Nometa"));
    return v;
  };
  for (int column = 0; column < FileColumnCount; ++column) {
    for (int direction : {1, -1}) {
      FileSortState sort;
      sort.SortColumn = column;
      sort.SortDirection[size_t(column)] = direction;
      std::vector<std::unique_ptr<FileRecord>> whole = all();
      SortRecords(whole, sort);
      for (size_t split : {size_t(1), size_t(3), size_t(7)}) {
        std::vector<std::unique_ptr<FileRecord>> records = all(), merged;
        while (!records.empty()) {
          RecordBatch run;
          for (size_t i = 0; i < split && !records.empty(); ++i) {
            run.push_back(std::move(records.front()));
            records.erase(records.begin());
          }
          SortRecords(run, sort);
          MergeSortedRecords(merged, std::move(run), sort);
        }
        ASSERT_EQ(merged.size(), whole.size());
        for (size_t i = 0; i < whole.size(); ++i)
          EXPECT_EQ(merged[i]->Name, whole[i]->Name) << column << " " << direction << " runs of " << split << " at " << i;
      }
    }
  }
}
