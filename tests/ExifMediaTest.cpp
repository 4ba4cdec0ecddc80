// The containers read after JPEG, Photoshop and TIFF: HEIF/HEIC/AVIF, Canon CR3, MP4/MOV
// videos, ORF and RW2, PNG and WebP; their date rules and their hostile variants.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "browse/FileRecords.h"
#include "exif/Exif.h"
#include "exif/IsoMedia.h"
#include "platform/Text.h"
#include "support/ExifFixtures.h"
#include "support/MediaFixtures.h"

using namespace tess;
using namespace tess::fixtures;
using namespace std::string_literals;

namespace {

struct Read {
  bool recognised = false;
  std::string error;
  std::u16string make, model;
  std::string dateTime, original, digitized;
};

std::string Show(TDateTimeTagValue v) {
  return v.MissingOrInvalid() ? std::string() : ToUtf8(FormatDateTime(v, true));
}

Read LoadBytes(const Bytes& bytes) {
  Read r;
  TMemoryStream stream(bytes.data(), bytes.size());
  TExifData exif;
  try {
    r.recognised = exif.LoadFromGraphic(stream);
  } catch (const EReaderException& e) {
    r.error = e.what();
  }
  r.make = exif.CameraMake();
  r.model = exif.CameraModel();
  r.dateTime = Show(exif.DateTime());
  r.original = Show(exif.DateTimeOriginal());
  r.digitized = Show(exif.DateTimeDigitized());
  return r;
}

// The computer's zone in these tests: nine hours ahead of UTC, as in Japan.
bool TokyoTime(uint64_t fileTime, TDateTime& local) {
  local = FileTimeToDateTime(fileTime) + 9.0 / 24.0;
  return true;
}

Bytes Photo(const std::string& make, const std::string& model, const std::string& original,
            const std::string& dateTime = {}) {
  PhotoFields f;
  f.make = make;
  f.model = model;
  f.dateTimeOriginal = original;
  f.dateTime = dateTime;
  return PhotoTiff(f);
}

Bytes MainTiff(const std::string& make, const std::string& model, const std::string& dateTime) {
  TiffBuilder b;
  b.AddDirectory({Ascii(271, make), Ascii(272, model), Ascii(306, dateTime)});
  return b.Build();
}

struct Case {
  const char* name;
  Bytes file;
  std::u16string make, model;
  std::string original, dateTime = {};
};

class MediaRead : public ::testing::TestWithParam<int> {};

std::vector<Case> Cases() {
  const Bytes sony = Photo("SONY", "ILCE-7M4", "2023:04:05 06:07:08");
  MovieOptions phone;
  phone.brand = "qt  ";
  phone.creation = Seconds1904(2022, 7, 8, 0, 10, 11);
  phone.keys = {{"com.apple.quicktime.make", "Apple"},
                {"com.apple.quicktime.model", "iPhone 15"},
                {"com.apple.quicktime.creationdate", "2022-07-08T09:10:11+0900"}};
  MovieOptions phoneUdta = phone;
  phoneUdta.keysUnderUdta = true;
  phoneUdta.keys[2].second = "2022-07-08T01:10:11-07:00";  // its own wall clock, not converted
  MovieOptions plain;
  plain.creation = Seconds1904(2021, 3, 4, 5, 6, 7);
  MovieOptions plain64 = plain;
  plain64.mvhdVersion = 1;
  plain64.moovFirst = true;
  MovieOptions udta = plain;
  udta.udtaMake = "Panasonic";
  udta.udtaModel = "DC-GH6";
  MovieOptions ilst = plain;
  ilst.ilstMake = "GoPro";
  ilst.ilstModel = "HERO11 Black";
  MovieOptions canon = plain;  // a Canon MP4: the Exif block wins over the movie header
  canon.canonCmt1 = MainTiff("Canon", "EOS R6", "2020:10:11 12:13:14");
  canon.canonCmt2 = DetailsTiff("2020:10:11 12:13:14", "5");
  canon.udtaMake = "Other";
  MovieOptions zoneOverExif = canon;  // a zoned date still stands first
  zoneOverExif.keys = {{"com.apple.quicktime.creationdate", "2019-01-02T03:04:05Z"}};
  HeicOptions idat;
  idat.exifInIdat = true;
  HeicOptions split;
  split.extents = 3;
  split.ilocVersion = 0;
  HeicOptions v2;
  v2.ilocVersion = 2;
  v2.infeVersion = 3;
  HeicOptions avif;
  avif.brand = "avif";
  PhotoFields oly{"OLYMPUS IMAGING CORP.", "E-M1", "2018:01:01 10:00:00", "2018:01:02 11:00:00"};
  PhotoFields pana{"Panasonic", "DC-S5", "", "2019:02:03 04:05:06"};  // no IFD0 DateTime
  // An older RW2: make and model in its own directory, everything else in the JPEG preview.
  TiffBuilder rw2Preview;
  PhotoFields previewFields{"Panasonic", "DMC-GX7", "2014:05:06 07:08:09", "2014:05:06 07:08:10"};
  rw2Preview.SetHeader(Bytes{'I', 'I', 'U', 0});
  rw2Preview.AddDirectory({Undefined(0x2E, PhotoJpeg(previewFields)), Ascii(271, "Panasonic"), Ascii(272, "DMC-GX7")});
  return {
      {"heic", Heic(sony), u"SONY", u"ILCE-7M4", "2023/04/05 06:07:08.000"},
      {"heic_idat", Heic(sony, idat), u"SONY", u"ILCE-7M4", "2023/04/05 06:07:08.000"},
      {"heic_three_extents_iloc_v0", Heic(sony, split), u"SONY", u"ILCE-7M4", "2023/04/05 06:07:08.000"},
      {"heic_iloc_v2_infe_v3", Heic(sony, v2), u"SONY", u"ILCE-7M4", "2023/04/05 06:07:08.000"},
      {"avif", Heic(sony, avif), u"SONY", u"ILCE-7M4", "2023/04/05 06:07:08.000"},
      {"cr3", Cr3(MainTiff("Canon", "Canon EOS R5", "2021:05:06 07:08:09"), DetailsTiff("2021:05:06 07:08:09", "45")),
       u"Canon", u"Canon EOS R5", "2021/05/06 07:08:09.450", "2021/05/06 07:08:09.000"},
      {"mov_phone_keys", Movie(phone), u"Apple", u"iPhone 15", "2022/07/08 09:10:11.000"},
      {"mov_keys_under_udta", Movie(phoneUdta), u"Apple", u"iPhone 15", "2022/07/08 01:10:11.000"},
      {"mp4_mvhd_utc_to_local", Movie(plain), u"", u"", "2021/03/04 14:06:07.000"},
      {"mp4_mvhd_64bit_moov_first", Movie(plain64), u"", u"", "2021/03/04 14:06:07.000"},
      {"mov_udta_texts", Movie(udta), u"Panasonic", u"DC-GH6", "2021/03/04 14:06:07.000"},
      {"mp4_udta_ilst", Movie(ilst), u"GoPro", u"HERO11 Black", "2021/03/04 14:06:07.000"},
      {"mp4_canon_exif", Movie(canon), u"Canon", u"EOS R6", "2020/10/11 12:13:14.500", "2020/10/11 12:13:14.000"},
      {"mp4_zone_before_exif", Movie(zoneOverExif), u"Other", u"EOS R6", "2019/01/02 03:04:05.000",
       "2020/10/11 12:13:14.000"},
      {"png", Png({{"eXIf", sony}, {"IDAT", Bytes(30, 1)}}), u"SONY", u"ILCE-7M4", "2023/04/05 06:07:08.000"},
      {"png_exif_after_idat", Png({{"IDAT", Bytes(30, 1)}, {"eXIf", ExifBlock(sony)}}), u"SONY", u"ILCE-7M4",
       "2023/04/05 06:07:08.000"},
      {"webp", WebP({{"VP8L", Bytes(21, 2)}, {"EXIF", sony}}), u"SONY", u"ILCE-7M4", "2023/04/05 06:07:08.000"},
      {"webp_exif_header", WebP({{"VP8L", Bytes(20, 2)}, {"EXIF", ExifBlock(sony)}}), u"SONY", u"ILCE-7M4",
       "2023/04/05 06:07:08.000"},
      {"orf_iiro", RawTiff(Text("IIRO"), false, oly), u"OLYMPUS IMAGING CORP.", u"E-M1", "2018/01/02 11:00:00.000",
       "2018/01/01 10:00:00.000"},
      {"orf_iirs", RawTiff(Text("IIRS"), false, oly), u"OLYMPUS IMAGING CORP.", u"E-M1", "2018/01/02 11:00:00.000",
       "2018/01/01 10:00:00.000"},
      {"orf_mmor", RawTiff(Text("MMOR"), true, oly), u"OLYMPUS IMAGING CORP.", u"E-M1", "2018/01/02 11:00:00.000",
       "2018/01/01 10:00:00.000"},
      {"rw2_exif_in_preview", rw2Preview.Build(), u"Panasonic", u"DMC-GX7", "2014/05/06 07:08:10.000",
       "2014/05/06 07:08:09.000"},
      {"rw2", RawTiff(Bytes{'I', 'I', 'U', 0}, false, pana), u"Panasonic", u"DC-S5", "2019/02/03 04:05:06.000", ""},
  };
}

TEST_P(MediaRead, ReadsDateAndCameraTexts) {
  ScopedMovieTimeConversion tokyo(TokyoTime);
  const Case c = Cases()[size_t(GetParam())];
  SCOPED_TRACE(c.name);
  Read r = LoadBytes(c.file);
  EXPECT_TRUE(r.recognised);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.make, c.make);
  EXPECT_EQ(r.model, c.model);
  EXPECT_EQ(r.original, c.original);
  EXPECT_EQ(r.dateTime, c.dateTime);
}
INSTANTIATE_TEST_SUITE_P(All, MediaRead, ::testing::Range(0, int(Cases().size())),
                         [](const auto& info) { return std::string(Cases()[size_t(info.param)].name); });

TEST(MediaRead, FilesWithoutDateOrCameraTextAreNotRead) {
  ScopedMovieTimeConversion tokyo(TokyoTime);
  MovieOptions zero;  // mvhd creation 0: no date
  zero.creation = 0;
  MovieOptions audio;  // a music file: no video track, so its movie values do not count
  audio.creation = Seconds1904(2021, 3, 4, 5, 6, 7);
  audio.videoTrack = false;
  audio.keys = {{"com.apple.quicktime.creationdate", "2022-07-08T09:10:11+0900"}};
  TiffBuilder empty;
  empty.AddDirectory({Short(274, 1)});
  const struct {
    const char* name;
    Bytes file;
  } cases[] = {
      {"mvhd_zero", Movie(zero)},
      {"audio_only", Movie(audio)},
      {"heic_exif_without_values", Heic(empty.Build())},
      {"png_without_exif", Png({{"IDAT", Bytes(10, 0)}})},
      {"webp_without_exif", WebP({{"VP8L", Bytes(10, 0)}})},
      {"ftyp_alone", Ftyp("isom")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Read r = LoadBytes(c.file);
    EXPECT_FALSE(r.recognised);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.original, "");
  }
}

TEST(MediaRead, ZonedDatesParseAsTheirOwnWallClock) {
  const struct {
    const char* text;
    bool ok;
    int hour;
  } cases[] = {
      {"2022-07-08T09:10:11+0900", true, 9}, {"2022-07-08T09:10:11+09:00", true, 9},
      {"2022-07-08T09:10:11Z", true, 9},     {"2022-07-08T23:10:11-0700", true, 23},
      {"2022-07-08T09:10:11.123+09:00", true, 9}, {"2022-07-08 09:10:11", true, 9},
      {"2022-02-30T09:10:11+0900", false, 0}, {"2022-07-08T24:10:11+0900", false, 0},
      {"2022:07:08 09:10:11", false, 0},     {"2022-07-08T09:10", false, 0},
      {"2022-07-08T09:10:11 and more", false, 0}, {"0000-07-08T09:10:11Z", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    DateTimeParts p;
    EXPECT_EQ(ParseZonedDateTime(c.text, p), c.ok);
    if (c.ok) EXPECT_EQ(p.hour, c.hour);
  }
}

// Damaged and hostile files: "not read", or the values found before the fault; never a
// crash, a hang or a large allocation (the sanitizers watch the last).
Bytes Patched(Bytes b, size_t at, const Bytes& with) {
  std::copy(with.begin(), with.end(), b.begin() + int64_t(at));
  return b;
}

size_t Find(const Bytes& b, const std::string& what, size_t from = 0) {
  auto it = std::search(b.begin() + int64_t(from), b.end(), what.begin(), what.end());
  if (it == b.end()) throw std::runtime_error("fixture lacks " + what);
  return size_t(it - b.begin());
}

TEST(MediaRead, HostileBoxes) {
  ScopedMovieTimeConversion tokyo(TokyoTime);
  MovieOptions plain;
  plain.creation = Seconds1904(2021, 3, 4, 5, 6, 7);
  plain.moovFirst = true;
  const Bytes movie = Movie(plain);
  MovieOptions last = plain;
  last.moovFirst = false;
  const Bytes movieLast = Movie(last);
  const size_t mdatLast = Find(movieLast, "mdat") - 4;
  const size_t mvhd = Find(movie, "mvhd") - 4;
  const Bytes sony = Photo("SONY", "ILCE-7M4", "2023:04:05 06:07:08");
  const Bytes heic = Heic(sony);
  const size_t iloc = Find(heic, "iloc") + 4;  // version, flags, sizes, count, first item
  // Nesting far deeper than any real file.
  Bytes deep = Box("moov", {});
  for (int i = 0; i < 2000; ++i) deep = Box(i % 2 ? "moov" : "udta", deep);
  deep = Concat({Ftyp("isom"), deep});
  // Many tiny boxes before the movie box.
  Bytes tiny = Ftyp("isom");
  for (int i = 0; i < 20000; ++i) {
    Bytes free = Box("free", {});
    tiny.insert(tiny.end(), free.begin(), free.end());
  }
  tiny = Concat({tiny, Bytes(movie.begin() + int64_t(Find(movie, "moov") - 4), movie.end())});
  Bytes bigMdat = Concat({Ftyp("isom"), LargeBox("mdat", Bytes(32, 0)),
                          Bytes(movie.begin() + int64_t(Find(movie, "moov") - 4), movie.end())});

  const struct {
    const char* name;
    Bytes file;
    std::string original;
  } cases[] = {
      {"mdat_size_0_to_end_after_moov", Patched(movie, Find(movie, "mdat") - 4, Be32Bytes(0)), "2021/03/04 14:06:07.000"},
      {"mdat_size_0_before_moov", Patched(movieLast, mdatLast, Be32Bytes(0)), ""},
      {"mdat_64bit_size", bigMdat, "2021/03/04 14:06:07.000"},
      {"mdat_64bit_size_past_end", Patched(bigMdat, Find(bigMdat, "mdat") + 4, Be64Bytes(~0ull >> 1)), ""},
      {"mdat_64bit_size_huge", Patched(bigMdat, Find(bigMdat, "mdat") + 4, Be64Bytes(~0ull)), ""},
      {"mdat_size_past_end", Patched(movieLast, mdatLast, Be32Bytes(0xFFFFFFF0u)), ""},
      {"mvhd_size_past_moov", Patched(movie, mvhd, Be32Bytes(0x7FFFFFFF)), ""},
      {"mvhd_size_below_header", Patched(movie, mvhd, Be32Bytes(4)), ""},
      {"moov_size_1_cut", Patched(movie, Find(movie, "moov") - 4, Be32Bytes(1)), ""},
      {"deep_nesting", deep, ""},
      {"many_tiny_boxes", tiny, ""},
      {"iloc_count_huge", Patched(heic, iloc + 6, Bytes{0xFF, 0xFF}), "2023/04/05 06:07:08.000"},
      {"iloc_offset_size_bad", Patched(heic, iloc + 4, Bytes{0x33}), ""},
      {"heic_exif_header_offset_huge", Patched(heic, Find(heic, "Exif\0\0"s, Find(heic, "mdat")) - 4, Be32Bytes(0xFFFFFFF0u)), ""},
      {"webp_riff_size_huge", Patched(WebP({{"EXIF", sony}}), 4, Bytes{0xFF, 0xFF, 0xFF, 0xFF}), "2023/04/05 06:07:08.000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Read r = LoadBytes(c.file);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.original, c.original);
  }
}

// Every ISO media file starts with 00 00, which sends the classic detection to offset 320; a
// JPEG or TIFF signature that happens to lie there must not turn the video into a photo.
TEST(MediaRead, SignatureAtTheFixedOffsetDoesNotCount) {
  ScopedMovieTimeConversion tokyo(TokyoTime);
  MovieOptions plain;
  plain.creation = Seconds1904(2021, 3, 4, 5, 6, 7);
  plain.mdatBytes = 600;  // its payload covers offset 320
  const Bytes movie = Movie(plain);
  ASSERT_LT(Find(movie, "mdat"), 300u);
  for (const Bytes& signature : {Bytes{0xFF, 0xD8, 0xFF, 0xE1}, Text("II*\0"s), Text("MM\0*"s), Text("8BPS")}) {
    Read r = LoadBytes(Patched(movie, 320, signature));
    EXPECT_TRUE(r.recognised);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.original, "2021/03/04 14:06:07.000");
  }
}

// The iloc extents of the Exif item: outside the file, overlapping, or of length zero.
TEST(MediaRead, HostileExtents) {
  const Bytes sony = Photo("SONY", "ILCE-7M4", "2023:04:05 06:07:08");
  const Bytes heic = Heic(sony);
  // Version 1, sizes 0x44 0x00, count 2; item 1: id, method, dref, 1 extent (8 bytes);
  // item 2 (Exif): id, method, dref, extent count, then its offset and length.
  const size_t exifExtent = Find(heic, "iloc") + 4 + 4 + 2 + 2 + (2 + 2 + 2 + 2 + 8) + (2 + 2 + 2 + 2);
  const size_t exifAt = Find(heic, "Exif\0\0"s, Find(heic, "mdat")) - 4;
  const uint32_t itemSize = uint32_t(heic.size() - exifAt);
  const struct {
    const char* name;
    uint32_t offset, length;
    bool read;
  } cases[] = {
      {"as_built", uint32_t(exifAt), itemSize, true},
      {"length_zero_to_end", uint32_t(exifAt), 0, true},
      {"offset_past_end", uint32_t(heic.size() + 1), 10, false},
      {"length_past_end", uint32_t(exifAt), itemSize + 1, false},
      {"offset_and_length_wrap", 0xFFFFFFF0u, 0x20, false},
      {"length_huge", uint32_t(exifAt), 0xFFFFFFFFu, false},
      {"overlapping_the_ftyp", 0, itemSize, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = Patched(heic, exifExtent, Concat({Be32Bytes(c.offset), Be32Bytes(c.length)}));
    Read r = LoadBytes(file);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.original, c.read ? "2023/04/05 06:07:08.000" : "");
  }
}

TEST(MediaRead, HostileChunks) {
  const Bytes sony = Photo("SONY", "ILCE-7M4", "2023:04:05 06:07:08");
  Bytes png = Png({{"IDAT", Bytes(10, 0)}, {"eXIf", sony}});
  Bytes webp = WebP({{"VP8L", Bytes(10, 0)}, {"EXIF", sony}});
  const struct {
    const char* name;
    Bytes file;
  } cases[] = {
      {"png_idat_length_past_end", Patched(png, Find(png, "IDAT") - 4, Be32Bytes(0x7FFFFFF0u))},
      {"png_idat_length_top_bit", Patched(png, Find(png, "IDAT") - 4, Be32Bytes(0xFFFFFFFFu))},
      {"png_exif_length_past_end", Patched(png, Find(png, "eXIf") - 4, Be32Bytes(uint32_t(sony.size() + 20)))},
      {"png_exif_not_tiff", Patched(png, Find(png, "eXIf") + 4, Text("XXXX"))},
      {"webp_chunk_length_past_end", Patched(webp, Find(webp, "VP8L") + 4, Bytes{0xF0, 0xFF, 0xFF, 0x7F})},
      {"webp_exif_length_past_end", Patched(webp, Find(webp, "EXIF") + 4, Bytes{0xF0, 0xFF, 0xFF, 0xFF})},
      {"webp_riff_size_short", Patched(webp, 4, Bytes{20, 0, 0, 0})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Read r = LoadBytes(c.file);
    EXPECT_FALSE(r.recognised);
    EXPECT_EQ(r.error, "");
  }
}

// Every prefix of every kind of file: a file cut anywhere reads as "not read" or with what
// it holds, never with a fault.
TEST(MediaRead, CutAnywhere) {
  ScopedMovieTimeConversion tokyo(TokyoTime);
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    for (size_t n = 0; n < c.file.size(); ++n) {
      Bytes cut(c.file.begin(), c.file.begin() + int64_t(n));
      Read r = LoadBytes(cut);
      // Only the TIFF variants raise (their header promises a structure that is not there).
      if (!r.error.empty()) EXPECT_TRUE(std::string(c.name).starts_with("orf") || std::string(c.name).starts_with("rw2"));
    }
  }
}

// The file list's record: these files list with their date, model and maker, and count as
// having EXIF data for the rename.
TEST(MediaRead, RecordsOfMediaFiles) {
  ScopedMovieTimeConversion tokyo(TokyoTime);
  std::u16string folder = MakeTempFolder("media") + char16_t(std::filesystem::path::preferred_separator);
  MovieOptions phone;
  phone.brand = "qt  ";
  phone.keys = {{"com.apple.quicktime.creationdate", "2022-07-08T09:10:11+0900"},
                {"com.apple.quicktime.model", "iPhone 15"}};
  WriteFile(folder + u"IMG_0001.MOV", Movie(phone));
  WriteFile(folder + u"IMG_0002.HEIC", Heic(Photo("Apple", "iPhone 15", "2022:07:08 09:11:00")));
  WriteFile(folder + u"CLIP.MP4", Movie(MovieOptions{}));
  DirectoryEntry entry;
  entry.name = u"IMG_0001.MOV";
  auto mov = MakeFileRecord(entry, folder);
  EXPECT_TRUE(mov->HasMetadata);
  EXPECT_EQ(FormatDateTime(mov->ExifDateTimeOriginal), u"2022/07/08 09:10:11");
  EXPECT_EQ(mov->ExifCameraModel, u"iPhone 15");
  entry.name = u"IMG_0002.HEIC";
  auto heic = MakeFileRecord(entry, folder);
  EXPECT_TRUE(heic->HasMetadata);
  EXPECT_EQ(FormatDateTime(heic->ExifDateTimeOriginal), u"2022/07/08 09:11:00");
  EXPECT_EQ(heic->ExifCameraMake, u"Apple");
  entry.name = u"CLIP.MP4";  // no creation time, no texts: stays as today
  EXPECT_FALSE(MakeFileRecord(entry, folder)->HasMetadata);
  std::filesystem::remove_all(std::filesystem::path(folder));
}

}  // namespace

// A camera rule may say a video's header time is the camera's own clock: the reader keeps
// that time's figures as written beside the converted date, only for a date from the header.
TEST(MediaRead, KeepsTheMovieHeaderTimeAsWritten) {
  ScopedMovieTimeConversion tokyo(TokyoTime);
  MovieOptions plain;
  plain.creation = Seconds1904(2021, 3, 4, 5, 6, 7);
  MovieOptions phone = plain;
  phone.keys = {{"com.apple.quicktime.creationdate", "2022-07-08T09:10:11+0900"}};
  const struct {
    const char* name;
    Bytes file;
    const char* written;
  } cases[] = {
      {"mvhd", Movie(plain), "2021/03/04 05:06:07.000"},
      {"zoned_date", Movie(phone), "1899/12/30 00:00:00.000"},
      {"photo", Photo("Canon", "EOS R6", "2024:05:01 10:00:00"), "1899/12/30 00:00:00.000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryStream stream(c.file.data(), c.file.size());
    TExifData exif;
    ASSERT_TRUE(exif.LoadFromGraphic(stream));
    EXPECT_EQ(ToUtf8(FormatDateTime(exif.MovieHeaderTime(), true)), c.written);
  }
}
