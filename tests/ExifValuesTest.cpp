// The metadata object's sections and the five values: text tails, date texts, sub-seconds,
// the TIFF main-tag filter, sub-directory pointers, maker-note class choice, errors.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "exif/Exif.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "support/ExifFixtures.h"

using namespace tess;
using namespace tess::fixtures;

namespace {

// The Exif block as the JPEG path gives it.
std::unique_ptr<TExifData> LoadJpegTiff(const Bytes& tiff) {
  auto exif = std::make_unique<TExifData>();
  Bytes file = Jpeg({Segment(0xE1, ExifBlock(tiff))});
  TMemoryStream s(file.data(), file.size());
  EXPECT_TRUE(exif->LoadFromGraphic(s));
  return exif;
}

double Expected(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  double v;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, ms}, v));
  return v;
}

}  // namespace

TEST(ExifValues, StringTails) {
  auto jp = MakeJapaneseLocale();
  ScopedLocaleOverride locale(*jp);
  struct Case {
    const char* name;
    Entry make;
    std::u16string expected;
  } cases[] = {
      {"count 6 with NUL", AsciiRaw(271, Text(std::string("Canon\0", 6))), u"Canon"},
      {"count 5 without NUL", AsciiRaw(271, Text("Canon")), u"Canon"},
      {"count 8 with three NULs", AsciiRaw(271, Text(std::string("Canon\0\0\0", 8))), u"Canon"},
      {"Canon EOS 350D: NULs to a 32-byte field",
       AsciiRaw(271, Concat({Text("Canon EOS 350D DIGITAL"), Bytes(10, 0)})), u"Canon EOS 350D DIGITAL"},
      {"trailing blank", AsciiRaw(271, Text("Canon ")), u"Canon"},
      {"two trailing blanks", AsciiRaw(271, Text("Canon  ")), u"Canon"},
      {"FinePix E500: blanks, then a NUL", Ascii(271, "FinePix E500   "), u"FinePix E500"},
      {"blanks after the NUL", AsciiRaw(271, Text(std::string("EX-S1\0  ", 8))), u"EX-S1"},
      {"leading and inner blanks stay", Ascii(271, "  PENTAX  K10D  "), u"  PENTAX  K10D"},
      {"trailing tab", AsciiRaw(271, Text("Canon\t")), u"Canon"},
      {"blank, CR and LF", AsciiRaw(271, Text("Canon \r\n")), u"Canon"},
      {"control inside", AsciiRaw(271, Text("Ca\x01non")), u"Ca\x01non"},
      {"ends at the first NUL", AsciiRaw(271, Text(std::string("AB\0CD\0", 6))), u"AB"},
      {"blanks only", Ascii(271, "    "), u""},
      {"NUL first", AsciiRaw(271, Text(std::string("\0Canon", 6))), u""},
      {"code page 932", AsciiRaw(271, Bytes{0x93, 0xFA, 0x96, 0x7B, 0}), u"日本"},
      {"code page 932, half-width kana", AsciiRaw(271, Bytes{0xB6, 0xD2, 0xD7, 0}), u"ｶﾒﾗ"},
      {"UTF-8 of a phone", AsciiRaw(271, Text("HUAWEI P30 Pro \xE2\x80\x93 \xE5\x86\x99\xE7\x9C\x9F")),
       u"HUAWEI P30 Pro – 写真"},
      {"UTF-8 beyond the BMP", AsciiRaw(271, Text("\xF0\x9F\x93\xB7")), u"\U0001F4F7"},
      {"type UNDEFINED", Undefined(271, Text(std::string("Canon\0", 6))), u""},
      {"count 0", Entry{271, 2, 0, {}, {}, {}, -1}, u""},
  };
  for (const Case& c : cases) {
    TiffBuilder b;
    b.AddDirectory({c.make});
    auto exif = LoadJpegTiff(b.Build());
    EXPECT_EQ(exif->CameraMake(), c.expected) << c.name;
  }
}

TEST(ExifValues, OnlyWellFormedUtf8IsTakenAsUtf8) {
  struct Case {
    const char* name;
    std::string bytes;
    bool utf8;
  } cases[] = {
      {"ASCII", "Canon", false},
      {"two-byte", "Caf\xC3\xA9", true},
      {"three-byte", "\xE5\x86\x99", true},
      {"four-byte", "\xF0\x9F\x93\xB7", true},
      {"Shift_JIS kanji", "\x93\xFA\x96\x7B", false},
      {"Shift_JIS kana", "\x83\x4A\x83\x81\x83\x89", false},
      {"half-width kana", "\xB6\xD2\xD7", false},
      {"overlong NUL", "A\xC0\x80", false},
      {"overlong three-byte", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", false},
      {"cut at the end", "\xE5\x86", false},
      {"lone continuation", "\x80", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsNonAsciiUtf8(c.bytes), c.utf8) << c.name;
}

TEST(ExifValues, DateTexts) {
  const double base = Expected(2012, 5, 3, 14, 22, 1);
  struct Case {
    std::string text;  // stored as these bytes exactly (count = size)
    double expected;
  } cases[] = {
      {std::string("2012:05:03 14:22:01\0", 20), base},
      {"2012:05:03 14:22:01", base},
      {"2012:05:03T14:22:01", base},
      {"2012:05:03 14.22.01", base},
      {"2012-05-03 14:22:01", MissingDate},
      {"2012:02:30 10:00:00", MissingDate},
      {"2012:02:29 10:00:00", Expected(2012, 2, 29, 10, 0, 0)},
      {"2011:02:29 10:00:00", MissingDate},
      {"2012:05:03 24:00:00", MissingDate},
      {"2012:05:03 23:60:00", MissingDate},
      {"2012:05:03 23:00:60", MissingDate},
      {"0000:00:00 00:00:00", MissingDate},
      {"    :  :     :  :  ", MissingDate},
      {"2012:05:03  4:05:06", Expected(2012, 5, 3, 4, 5, 6)},
      {std::string("2012:05:03 14:22:01\0\0", 21), base},  // FinePix 4900Zoom
      {std::string("2012:05:03 14:22:01 \0", 21), base},
      {"2012:05:03 14:22:01 ", base},
      {"2012:05:03 14:22:01   ", base},
      {std::string("2012:05:03 14:22:01\0junk", 24), base},
      {std::string("2012:05:03\0 14:22:01", 20), MissingDate},
      {std::string("2012:05:03 14:22:0\0\0", 20), MissingDate},
      {" 2012:05:03 14:22:01", MissingDate},  // a leading blank stays, so 20 characters
      {"2012:05:03 14:22", MissingDate},
      {"2012:-5:03 14:22:01", MissingDate},
      {"2012:x5:03 14:22:01", Expected(2012, 5, 3, 14, 22, 1)},
      {"1899:12:29 06:00:00", -1.25},
      {"0001:01:01 00:00:00", -693593.0},
      {"2012:05:03 14:22:0a", MissingDate},
  };
  for (const Case& c : cases) {
    TiffBuilder b;
    b.AddDirectory({AsciiRaw(306, Text(c.text))});
    auto exif = LoadJpegTiff(b.Build());
    EXPECT_NEAR(exif->DateTime(), c.expected, 1e-9) << c.text;
    TDateTime direct;
    if (c.expected == MissingDate && c.text.size() == 19) EXPECT_FALSE(ParseExifDateTime(FromUtf8(c.text), direct)) << c.text;
  }
  EXPECT_TRUE(TDateTimeTagValue::CreateMissingOrInvalid().MissingOrInvalid());
  EXPECT_TRUE(TDateTimeTagValue{std::nan("")}.MissingOrInvalid());
  EXPECT_FALSE(TDateTimeTagValue{-693593.0}.MissingOrInvalid());
}

TEST(ExifValues, SubSeconds) {
  const double base = Expected(2012, 5, 3, 14, 22, 1);
  struct Case {
    Bytes subsec;
    int ms;
  } cases[] = {
      {Text(std::string("45\0", 3)), 450},   {Text(std::string("5\0", 2)), 500},
      {Text(std::string("123456\0", 7)), 123}, {Text(std::string("abc\0", 4)), 0},
      {Text(std::string("-5\0", 3)), -50},   {Text(std::string("4\0\0", 3)), 4},
      {Text("45"), 400},                      {Text(std::string("\0", 1)), 0},
      {Text(std::string(" 7\0", 3)), 70},
  };
  for (const Case& c : cases) {
    TiffBuilder b;
    b.AddDirectory({Ascii(306, "2012:05:03 14:22:01"), Pointer(34665, 1)});
    b.AddDirectory({Ascii(36867, "2012:05:03 14:22:01"), Ascii(36868, "2012:05:03 14:22:01"), AsciiRaw(37520, c.subsec),
                    AsciiRaw(37521, c.subsec), AsciiRaw(37522, c.subsec)});
    auto exif = LoadJpegTiff(b.Build());
    double expected = base + c.ms / 86400000.0;
    EXPECT_NEAR(exif->DateTimeOriginal(), expected, 1e-9) << c.ms;
    EXPECT_NEAR(exif->DateTimeDigitized(), expected, 1e-9) << c.ms;
    EXPECT_NEAR(exif->DateTime(), expected, 1e-9) << c.ms;
  }
  // SubsecTime stored as a number is not used.
  TiffBuilder b;
  b.AddDirectory({Pointer(34665, 1)});
  b.AddDirectory({Ascii(36867, "2012:05:03 14:22:01"), Short(37521, 5)});
  EXPECT_NEAR(LoadJpegTiff(b.Build())->DateTimeOriginal(), base, 1e-9);
}

TEST(ExifValues, BodySerialAndZoneOfTheShot) {
  struct Case {
    const char* name;
    std::vector<Entry> details;
    std::u16string serial, offset;
  } cases[] = {
      {"both", {Ascii(36881, "+09:00"), Ascii(42033, "012345678901")}, u"012345678901", u"+09:00"},
      {"negative zone", {Ascii(36881, "-05:30")}, u"", u"-05:30"},
      {"zone left blank", {Ascii(36881, "   :  ")}, u"", u""},
      {"zone not a zone", {Ascii(36881, "09:00")}, u"", u""},
      {"serial padded with NULs", {AsciiRaw(42033, Text(std::string("4021\0\0\0", 7)))}, u"4021", u""},
      {"neither", {Ascii(36867, "2012:05:03 14:22:01")}, u"", u""},
  };
  for (const Case& c : cases) {
    TiffBuilder b;
    b.AddDirectory({Pointer(34665, 1)});
    b.AddDirectory(c.details);
    auto exif = LoadJpegTiff(b.Build());
    EXPECT_EQ(exif->CameraSerial(), c.serial) << c.name;
    EXPECT_EQ(exif->OffsetTimeOriginal(), c.offset) << c.name;
  }
}

TEST(ExifValues, SectionsAndPointers) {
  // DateTime missing in IFD0, DateTimeOriginal in the Exif sub-directory.
  {
    auto exif = LoadJpegTiff(PhotoTiff({.make = "M", .dateTimeOriginal = "2012:05:03 14:22:01"}));
    EXPECT_EQ(exif->DateTime(), MissingDate);
    EXPECT_NEAR(exif->DateTimeOriginal(), Expected(2012, 5, 3, 14, 22, 1), 1e-9);
  }
  // Pointer of type SHORT is not followed; of type IFD it is.
  for (uint16_t type : {3, 13}) {
    TiffBuilder b;
    b.AddDirectory({Pointer(34665, 1, type)});
    b.AddDirectory({Ascii(36867, "2012:05:03 14:22:01")});
    auto exif = LoadJpegTiff(b.Build());
    EXPECT_EQ(exif->Section(esDetails).Count(), type == 3 ? 0 : 1);
    EXPECT_EQ(exif->DateTimeOriginal() == MissingDate, type == 3);
  }
  // GPS and interoperability directories.
  {
    TiffBuilder b;
    b.AddDirectory({Pointer(34665, 1), Pointer(34853, 2)});
    b.AddDirectory({Pointer(40965, 3)});
    b.AddDirectory({Short(0, 2), Short(5, 0)});
    b.AddDirectory({Ascii(1, "R98")});
    auto exif = LoadJpegTiff(b.Build());
    EXPECT_EQ(exif->Section(esGPS).Count(), 2);
    EXPECT_EQ(exif->Section(esInterop).Count(), 1);
  }
  // The same tag twice is kept twice; the first in the file is the one found.
  {
    TiffBuilder b;
    b.AddDirectory({Ascii(272, "First"), Ascii(271, "Make"), Ascii(272, "Second")});
    auto exif = LoadJpegTiff(b.Build());
    EXPECT_EQ(exif->Section(esGeneral).Count(), 3);
    EXPECT_EQ(exif->CameraModel(), u"First");
    EXPECT_EQ(exif->CameraMake(), u"Make");
  }
}

TEST(ExifValues, WholeTiffFiles) {
  // IFD0 of a TIFF file keeps only descriptive tags; Make stays, ImageWidth goes.
  TiffBuilder b;
  b.AddDirectory({Long(256, 640), Ascii(271, "TiffMake"), Entry{18246, 3, 1, {}, {3}, {}, -1},
                  Entry{40091, 1, 2, Bytes{1, 2}, {}, {}, -1}});
  b.AddDirectory({Long(256, 160), Long(273, 100)});  // IFD1 with strips: not a thumbnail
  b.SetChain({0, 1});
  Bytes tiff = b.Build();
  TMemoryStream s(tiff.data(), tiff.size());
  TExifData exif;
  ASSERT_TRUE(exif.LoadFromGraphic(s));
  EXPECT_EQ(exif.CameraMake(), u"TiffMake");
  const TExifSection& general = exif.Section(esGeneral);
  ASSERT_EQ(general.Count(), 2);
  EXPECT_EQ(general[0].ID(), 271);
  EXPECT_EQ(general[1].ID(), 40091);
  EXPECT_EQ(exif.Section(esThumbnail).Count(), 0);
  EXPECT_TRUE(exif.MetadataInSource().test(mkExif));
  // The same structure inside a JPEG keeps everything, IFD1 included.
  auto inJpeg = LoadJpegTiff(tiff);
  EXPECT_EQ(inJpeg->Section(esGeneral).Count(), 4);
  EXPECT_EQ(inJpeg->Section(esThumbnail).Count(), 2);

  struct Kept {
    uint16_t id, type;
    bool kept;
  } table[] = {{270, 2, true},    {271, 7, true},    {273, 4, false},   {274, 3, true},    {282, 5, true},
               {305, 2, true},    {306, 2, true},    {315, 2, true},    {33432, 2, true},  {33723, 7, true},
               {34665, 4, true},  {34853, 4, true},  {50341, 7, true},  {18246, 1, true},  {18246, 3, false},
               {40095, 1, true},  {40095, 7, false}, {59932, 1, true},  {59932, 7, false}, {256, 4, false},
               {700, 1, false},   {273, 3, false},   {529, 5, true},    {532, 5, true}};
  for (const Kept& k : table) EXPECT_EQ(IsTiffMainTagKept(k.id, k.type), k.kept) << k.id;
}

TEST(ExifValues, MakerNoteClass) {
  struct Case {
    std::string make;
    Entry note;
    const char* type;
  } cases[] = {
      {"Canon", Undefined(37500, Bytes(20, 0)), "TCanonMakerNote"},
      {"NIKON CORPORATION", Undefined(37500, Bytes(20, 0)), "TNikonType2MakerNote"},
      {"Nikon", Undefined(37500, Bytes(20, 0)), "THeaderlessMakerNote"},
      {"X", Undefined(37500, Concat({Text("Nikon"), Bytes{0, 2}, Bytes(12, 0)})), "TNikonType3MakerNote"},
      {"X", Undefined(37500, Concat({Text("Nikon"), Bytes{0, 2}, Bytes(11, 0)})), "THeaderlessMakerNote"},
      {"X", Undefined(37500, Concat({Text("Nikon"), Bytes{0, 1, 0}, Bytes(1, 0)})), "TNikonType1MakerNote"},
      {"X", Undefined(37500, Concat({Text("SONY DSC "), Bytes(4, 0)})), "TSonyMakerNote"},
      {"X", Undefined(37500, Concat({Text("AOC"), Bytes{0, 1}})), "TPentaxMakerNote"},
      {"X", Undefined(37500, Concat({Text("Panasonic"), Bytes(4, 0)})), "TPanasonicMakerNote"},
      {"Canon", Entry{37500, 1, 20, Bytes(20, 0), {}, {}, -1}, "THeaderlessMakerNote"},
      {"Canon", Undefined(37500, Bytes{0}), "THeaderlessMakerNote"},
      {"Canon", Short(1, 1), ""},
  };
  for (const Case& c : cases) {
    TiffBuilder b;
    b.AddDirectory({Ascii(271, c.make), Pointer(34665, 1)});
    b.AddDirectory({c.note});
    EXPECT_EQ(LoadJpegTiff(b.Build())->MakerNoteType(), c.type) << c.make;
  }
}

// Entries that name bytes other entries name too: every value that is in the block is read.
TEST(ExifValues, ValuesSharingBytesAreAllRead) {
  const Bytes make = Concat({Text("Canon"), Bytes(55, 0)});  // a 60-byte field
  const uint32_t dataStart = 8 + 2 + 3 * 12 + 4;             // after the one directory
  struct Case {
    const char* name;
    Entry make;
  } cases[] = {
      {"Make names ImageDescription's bytes", RawEntry(271, 2, 60, dataStart)},
      {"Make names the start of them", RawEntry(271, 2, 6, dataStart)},
  };
  for (const Case& c : cases) {
    TiffBuilder b;
    b.AddDirectory({AsciiRaw(270, make), c.make, Ascii(306, "2012:05:03 14:22:01")});
    Bytes file = Concat({Bytes{0xFF, 0xD8}, Segment(0xE1, ExifBlock(b.Build())), Bytes{0xFF, 0xD9}});
    TMemoryStream s(file.data(), file.size());
    TExifData exif;
    ASSERT_TRUE(exif.LoadFromGraphic(s)) << c.name;
    EXPECT_EQ(exif.CameraMake(), u"Canon") << c.name;
    EXPECT_NEAR(exif.DateTime(), Expected(2012, 5, 3, 14, 22, 1), 1e-9) << c.name;
    EXPECT_TRUE(exif.Section(esGeneral).LoadErrors().Empty()) << c.name;
  }
}

TEST(ExifValues, RepeatedValuesCannotMultiplyMemory) {
  // Thousands of entries in a 60000-byte block, each naming 20000 bytes: the same bytes
  // every time (one copy, shared by all), or stretches that overlap (copies stop at what the
  // block holds, with a little room, and the entries past that keep no value).
  struct Case {
    const char* name;
    uint32_t step;  // between the offsets of two entries' values
    bool allRead;
  } cases[] = {{"same bytes", 0, true}, {"overlapping stretches", 2, false}};
  for (const Case& c : cases) {
    std::vector<Entry> entries;
    for (uint32_t i = 0; i < 3000; ++i) entries.push_back(RawEntry(uint16_t(1000 + i), 7, 20000, 8 + i * c.step));
    TiffBuilder b;
    b.AddDirectory(entries);
    Bytes tiff = b.Build();
    tiff.resize(60000);
    Bytes file = Jpeg({Segment(0xE1, ExifBlock(tiff))});
    TMemoryStream s(file.data(), file.size());
    TExifData exif;
    ASSERT_TRUE(exif.LoadFromGraphic(s)) << c.name;
    const TExifSection& g = exif.Section(esGeneral);
    std::set<const uint8_t*> copies;
    size_t held = 0;
    int withData = 0;
    for (int i = 0; i < g.Count(); ++i) {
      if (g[i].Data().empty()) continue;
      ++withData;
      if (copies.insert(g[i].Data().data()).second) held += g[i].Data().size();
    }
    EXPECT_EQ(g.Count(), 3000) << c.name;
    EXPECT_LE(held, 60000u + 64 * 1024) << c.name;
    EXPECT_GE(withData, 1) << c.name;
    EXPECT_EQ(withData == 3000, c.allRead) << c.name;
    EXPECT_EQ(g.LoadErrors().Has(TMetadataLoadError::leBadTagHeader), !c.allRead) << c.name;
  }
}

TEST(ExifValues, ExceptionMessages) {
  struct Case {
    std::function<void()> raise;
    const char16_t* message;
  } cases[] = {
      {[] { throw EReadError(); }, u"ストリームからの読み取りエラー"},
      {[] { throw EInvalidJPEGHeader(); }, u"JPEG header is not valid"},
      {[] { throw EInvalidPSDHeader(); }, u"Photoshop (PSD) file header is not valid"},
      {[] { throw EInvalidTiffData(); }, u"Invalid TIFF data"},
      {[] { throw EFOpenError(u"C:\\a.jpg", u"理由"); }, u"ファイル C:\\a.jpg は開けません。 理由 "},
  };
  for (const Case& c : cases) {
    try {
      c.raise();
      FAIL();
    } catch (const EReaderException& e) {
      EXPECT_EQ(e.Message(), c.message);
      EXPECT_EQ(std::string(e.what()), ToUtf8(c.message));
    }
  }
  EXPECT_TRUE((std::is_base_of_v<EVexlExifException, EInvalidJPEGHeader>));
  EXPECT_TRUE((std::is_base_of_v<EVexlExifException, EInvalidPSDHeader>));
  EXPECT_TRUE((std::is_base_of_v<EVexlExifException, EInvalidTiffData>));
}

TEST(ExifValues, Files) {
  std::u16string folder = MakeTempFolder("exiffiles");
  std::u16string photo = (std::filesystem::path(folder) / "photo.jpg").u16string();
  WriteFile(photo, PhotoJpeg({.make = "FileMake", .model = "FileModel", .dateTime = "2020:01:02 03:04:05",
                              .dateTimeOriginal = "2020:01:02 03:04:06", .subsecTimeOriginal = "25", .bigEndian = true}));
  TExifData exif;
  ASSERT_TRUE(exif.LoadFromGraphic(photo));
  EXPECT_EQ(exif.CameraMake(), u"FileMake");
  EXPECT_EQ(exif.CameraModel(), u"FileModel");
  EXPECT_NEAR(exif.DateTimeOriginal(), Expected(2020, 1, 2, 3, 4, 6, 250), 1e-9);
  EXPECT_EQ(exif.Endianness(), TEndianness::BigEndian);
  // A second load starts from a cleared object.
  std::u16string bare = (std::filesystem::path(folder) / "bare.jpg").u16string();
  WriteFile(bare, Jpeg({}));
  ASSERT_TRUE(exif.LoadFromGraphic(bare));
  EXPECT_EQ(exif.CameraMake(), u"");
  EXPECT_TRUE(exif.Empty());
  // Empty and one-byte files: not recognised, no exception.
  std::u16string empty = (std::filesystem::path(folder) / "empty.jpg").u16string();
  WriteFile(empty, {});
  EXPECT_FALSE(exif.LoadFromGraphic(empty));
  WriteFile(empty, {0xFF});
  EXPECT_FALSE(exif.LoadFromGraphic(empty));
  // Missing file and folder: the file-open error naming the file.
  for (const std::u16string& path : {(std::filesystem::path(folder) / "missing.jpg").u16string(), folder}) {
    try {
      exif.LoadFromGraphic(path);
      ADD_FAILURE() << "no exception";
    } catch (const EFOpenError& e) {
      std::u16string prefix = u"ファイル " + path + u" は開けません。 ";
      EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix);
      EXPECT_GT(e.Message().size(), prefix.size() + 1);
      EXPECT_EQ(e.Message().back(), u' ');
    }
  }
  std::filesystem::remove_all(std::filesystem::path(folder));
}

// The directory rules that make this reader differ from others on damaged photos: one
// malformed entry is skipped over, two in a row end the directory.
TEST(ExifValues, MalformedEntriesAndDates) {
  struct Case {
    const char* name;
    std::vector<Entry> entries;
    bool dateRead;
  } cases[] = {
      {"one value outside the data", {Short(274, 1), RawEntry(282, 5, 1, 0xFFFF), Ascii(306, "2012:05:03 14:22:01")}, true},
      {"two in a row", {Short(274, 1), RawEntry(282, 5, 1, 0xFFFF), RawEntry(283, 5, 1, 0xFFFF), Ascii(306, "2012:05:03 14:22:01")},
       false},
      {"bad type then bad size", {RawEntry(282, 99, 1, 0), RawEntry(296, 3, 0x80000000, 0), Ascii(306, "2012:05:03 14:22:01")},
       false},
  };
  for (const Case& c : cases) {
    TiffBuilder b;
    b.AddDirectory(c.entries);
    auto exif = LoadJpegTiff(b.Build());
    EXPECT_EQ(exif->DateTime() != MissingDate, c.dateRead) << c.name;
  }
}
