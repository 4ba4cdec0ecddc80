// The metadata reader's container recognition and walks: the pre-positioning offsets, the
// JPEG marker walk and the Photoshop resource walk.
#include <gtest/gtest.h>

#include <algorithm>

#include "exif/Exif.h"
#include "support/ExifFixtures.h"

using namespace tess;
using namespace tess::fixtures;

namespace {

struct LoadResult {
  bool recognised = false;
  std::string error;  // the reader's exception message, UTF-8
  std::u16string make, model;
  double dateTime = 0, original = 0;
  TJPEGMetaDataKinds kinds;
  bool hasXmp = false;
};

LoadResult LoadBytes(const Bytes& bytes) {
  LoadResult r;
  TMemoryStream stream(bytes.data(), bytes.size());
  TExifData exif;
  try {
    r.recognised = exif.LoadFromGraphic(stream);
  } catch (const EReaderException& e) {
    r.error = e.what();
  }
  r.make = exif.CameraMake();
  r.model = exif.CameraModel();
  r.dateTime = exif.DateTime();
  r.original = exif.DateTimeOriginal();
  r.kinds = exif.MetadataInSource();
  r.hasXmp = exif.XMPBlock() != nullptr;
  return r;
}

Bytes MakeTiff(const std::string& make, bool big = false) {
  TiffBuilder b(big);
  b.AddDirectory({Ascii(271, make)});
  return b.Build();
}

// prefix bytes, zero padding up to `at`, then `tail`.
Bytes Placed(const Bytes& prefix, size_t at, const Bytes& tail) {
  Bytes out = prefix;
  out.resize(std::max(out.size(), at), 0);
  out.resize(at);
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

const char kReadError[] = "ストリームからの読み取りエラー";

}  // namespace

TEST(ExifContainer, PrePositioningByFirstTwoBytes) {
  const Bytes tiff = MakeTiff("Placed");
  const Bytes tiffBig = MakeTiff("Placed", true);
  struct Case {
    const char* name;
    Bytes file;
    bool recognised;
    const char16_t* make;
    const char* error;
  } cases[] = {
      {"00 00: from 320", Placed({0, 0}, 320, tiff), true, u"Placed", ""},
      {"00 00: JPEG at 320", Placed({0, 0}, 320, PhotoJpeg({.make = "J"})), true, u"J", ""},
      {"00 00: short file, no container", Placed({0, 0}, 100, {}), false, u"", ""},
      {"00 4D: from 48", Placed({0, 0x4D}, 48, tiff), true, u"Placed", ""},
      {"FU with II 2A 00 at 160", Placed({'F', 'U'}, 160, tiff), true, u"Placed", ""},
      {"FU with II but no 2A 00 at 160: back to 0", Placed({'F', 'U'}, 160, {0x49, 0x49, 0, 0x2A, 8, 0, 0, 0}), false, u"", ""},
      {"FU with MM 00 2A at 120", Placed({'F', 'U'}, 120, Concat({tiffBig, Bytes(64, 0)})), true, u"Placed", ""},
      {"FU with MM but other signature at 120", Placed({'F', 'U'}, 120, Concat({Bytes{0x4D, 0x4D, 0x2A, 0}, Bytes(64, 0)})),
       false, u"", ""},
      {"FU, short file", Bytes{'F', 'U', 0, 0}, false, u"", kReadError},
      {"FO with MM 00 2A at 272", Placed({'F', 'O'}, 272, tiffBig), true, u"Placed", ""},
      {"FO with MM 00 2A at 464", Placed({'F', 'O'}, 464, tiffBig), true, u"Placed", ""},
      {"FO with MM other at 272: back to 0", Placed({'F', 'O'}, 272, Concat({Bytes{0x4D, 0x4D, 0x2A, 0}, tiffBig})), false,
       u"", ""},
      {"FO with II 2A 00 at 808", Placed({'F', 'O'}, 808, tiff), true, u"Placed", ""},
      {"FO with II other at 808", Placed({'F', 'O'}, 808, Bytes{0x49, 0x49, 0, 0x2A, 0, 0, 0, 0}), false, u"", ""},
      {"FO, short before 808", Placed({'F', 'O'}, 500, {}), false, u"", kReadError},
      {"empty", Bytes{}, false, u"", ""},
      {"one byte", Bytes{0xFF}, false, u"", ""},
      {"JPEG SOI only", Bytes{0xFF, 0xD8}, false, u"", kReadError},
      {"plain text", Text("hello world, no image here"), false, u"", ""},
  };
  for (const Case& c : cases) {
    LoadResult r = LoadBytes(c.file);
    EXPECT_EQ(r.recognised, c.recognised) << c.name;
    EXPECT_EQ(r.error, c.error) << c.name;
    EXPECT_EQ(r.make, c.make) << c.name;
  }
}

TEST(ExifContainer, JpegSegments) {
  const Bytes exif = ExifBlock(PhotoTiff({.make = "Maker", .dateTimeOriginal = "2012:05:03 14:22:01"}));
  const Bytes otherExif = ExifBlock(PhotoTiff({.make = "Second"}));
  const Bytes onlyOrientation = ExifBlock([] {
    TiffBuilder b;
    b.AddDirectory({Short(274, 1)});
    return b.Build();
  }());
  Bytes fill = Jpeg({Segment(0xE1, exif)});
  fill.insert(fill.begin() + 2, {0xFF, 0xFF});  // FF FF FF E1
  Bytes cut = Concat({Bytes{0xFF, 0xD8}, Segment(0xE1, exif), Bytes{0xFF, 0xDB, 0x00}});
  Bytes cutPayload = Concat({Bytes{0xFF, 0xD8}, Segment(0xE1, exif)});
  cutPayload.resize(cutPayload.size() - 10);
  struct Case {
    const char* name;
    Bytes file;
    const char16_t* make;
    bool exifKind, xmpKind;
    const char* error;
  } cases[] = {
      {"no APP1", Jpeg({Segment(0xE0, Text("JFIF\0"))}), u"", false, false, ""},
      {"Exif in APP1", Jpeg({Segment(0xE1, exif)}), u"Maker", true, false, ""},
      {"XMP before Exif", Jpeg({Segment(0xE1, XmpPacket()), Segment(0xE1, exif)}), u"Maker", true, true, ""},
      {"two Exif segments: the first only", Jpeg({Segment(0xE1, onlyOrientation), Segment(0xE1, otherExif)}), u"", true,
       false, ""},
      {"Exif in APP2 is not looked at", Jpeg({Segment(0xE2, exif)}), u"", false, false, ""},
      {"fill bytes before the marker", fill, u"Maker", true, false, ""},
      {"cut after Exif, before SOS", cut, u"Maker", true, false, kReadError},
      {"cut inside the Exif payload", cutPayload, u"", false, false, kReadError},
      {"Exif header then FUJI", Jpeg({Segment(0xE1, Concat({Text("Exif"), Bytes{0, 0}, Text("FUJIFILM")}))}), u"", true,
       false, "Invalid TIFF data"},
      {"bare TIFF in APP1", Jpeg({Segment(0xE1, PhotoTiff({.make = "Bare"}))}), u"Bare", true, false, ""},
      {"header cut after the byte-order pair",
       Jpeg({Segment(0xE1, Concat({Text("Exif"), Bytes{0, 0, 'I', 'I', 0x2A, 0, 8, 0}}))}), u"", true, false,
       "Invalid TIFF data"},
  };
  for (const Case& c : cases) {
    LoadResult r = LoadBytes(c.file);
    EXPECT_EQ(r.recognised, c.error[0] == 0) << c.name;
    EXPECT_EQ(r.error, c.error) << c.name;
    EXPECT_EQ(r.make, c.make) << c.name;
    EXPECT_EQ(r.kinds.test(mkExif), c.exifKind) << c.name;
    EXPECT_EQ(r.kinds.test(mkXMP), c.xmpKind) << c.name;
    EXPECT_EQ(r.hasXmp, c.xmpKind) << c.name;
  }
  // A JPEG without metadata: recognised, every value missing.
  LoadResult r = LoadBytes(Jpeg({}));
  EXPECT_TRUE(r.recognised);
  EXPECT_EQ(r.dateTime, MissingDate);
  EXPECT_EQ(r.original, MissingDate);
}

TEST(ExifContainer, SegmentLengthsAreSixteenBit) {
  for (uint16_t length : {0, 1}) {
    Bytes file = Concat({Bytes{0xFF, 0xD8, 0xFF, 0xE2, 0, uint8_t(length)}, Bytes(70000, 0x55)});
    TMemoryStream s(file.data(), file.size());
    TJPEGMarkers markers;
    markers.set(0xE2);
    TJPEGHeaderParser walker(s, markers);
    ASSERT_TRUE(walker.MoveNext());
    EXPECT_EQ(walker.Current()->Bytes().size(), length == 0 ? 65534u : 65535u);
  }
  // Too few bytes behind such a length: the read error, before anything is allocated.
  Bytes shortFile{0xFF, 0xD8, 0xFF, 0xE2, 0, 0, 1, 2, 3};
  TMemoryStream s(shortFile.data(), shortFile.size());
  TJPEGMarkers markers;
  markers.set(0xE2);
  TJPEGHeaderParser walker(s, markers);
  EXPECT_THROW(walker.MoveNext(), EReadError);
}

TEST(ExifContainer, WalkerStates) {
  Bytes notJpeg{0x89, 'P', 'N', 'G'};
  TMemoryStream s1(notJpeg.data(), notJpeg.size());
  try {
    TJPEGHeaderParser w(s1, {});
    FAIL() << "no exception";
  } catch (const EInvalidJPEGHeader& e) {
    EXPECT_STREQ(e.what(), "JPEG header is not valid");
  }
  // The walk ends at the first non-FF byte after SOS and stays over.
  Bytes file = Jpeg({Segment(0xE1, Text("one")), Segment(0xE1, Text("two"))});
  TMemoryStream s2(file.data(), file.size());
  TJPEGMarkers app1;
  app1.set(jmApp1);
  TJPEGHeaderParser w(s2, app1);
  ASSERT_TRUE(w.MoveNext());
  EXPECT_EQ(w.Current()->Bytes(), Text("one"));
  ASSERT_TRUE(w.MoveNext());
  EXPECT_EQ(w.Current()->Bytes(), Text("two"));
  EXPECT_FALSE(w.MoveNext());
  EXPECT_EQ(w.LastMarker(), jmSOS);
  EXPECT_FALSE(w.MoveNext());
  EXPECT_EQ(w.Current(), nullptr);
}

TEST(ExifContainer, EndMarkerSearch) {
  const Bytes head = Concat({Bytes{0xFF, 0xD8}, Segment(0xDA, {1, 1, 0, 0, 0x3F, 0})});
  struct Case {
    const char* name;
    Bytes scan;    // entropy-coded bytes after the SOS header
    int64_t end;   // expected position after EOI within scan, -1 when not found
  } cases[] = {
      {"plain", {0x11, 0x22, 0xFF, 0x00, 0x33, 0xFF, 0xD9, 0x44}, 7},
      {"FF D9 right after the first byte is not examined", {0x11, 0xFF, 0xD9, 0x22}, -1},
      {"the byte after a failed candidate is no candidate", {0x11, 0x22, 0xFF, 0xFF, 0xD9}, -1},
      {"second candidate works", {0x11, 0x22, 0xFF, 0x01, 0xFF, 0xD9}, 6},
      {"FF at the very end", {0x11, 0x22, 0xFF}, -1},
      {"none", {0x11, 0x22, 0x33}, -1},
  };
  for (const Case& c : cases) {
    Bytes file = Concat({head, c.scan});
    TMemoryStream s(file.data(), file.size());
    TJPEGMarkers eoi;
    eoi.set(jmEOI);
    TJPEGHeaderParser w(s, eoi);
    bool found = w.MoveNext();
    EXPECT_EQ(found, c.end >= 0) << c.name;
    EXPECT_EQ(s.Position(), c.end >= 0 ? int64_t(head.size()) + c.end : int64_t(file.size())) << c.name;
    if (found) {
      EXPECT_EQ(w.Current()->MarkerNum(), jmEOI) << c.name;
      EXPECT_FALSE(w.MoveNext()) << c.name;
    }
  }
  // Larger than one search chunk, with the end marker across the chunk boundary.
  Bytes scan(70000, 0x11);
  scan[65537] = 0xFF;  // the search's first chunk ends between these two
  scan[65538] = 0xD9;
  Bytes file = Concat({head, scan});
  TMemoryStream s(file.data(), file.size());
  TJPEGMarkers eoi;
  eoi.set(jmEOI);
  TJPEGHeaderParser w(s, eoi);
  ASSERT_TRUE(w.MoveNext());
  EXPECT_EQ(s.Position(), int64_t(head.size()) + 65539);
}

namespace {

// Records the furthest byte read, to show what the walk touches.
class WatchedStream final : public TStream {
 public:
  explicit WatchedStream(const Bytes& bytes) : inner_(bytes.data(), bytes.size()) {}
  size_t Read(void* buffer, size_t count) override {
    inner_.SetPosition(position_);
    size_t n = inner_.Read(buffer, count);
    if (n) furthest = std::max(furthest, position_ + int64_t(n));
    position_ += int64_t(n);
    ++reads;
    return n;
  }
  int64_t Size() override { return inner_.Size(); }
  int64_t furthest = 0;
  int reads = 0;

 private:
  TMemoryStream inner_;
};

}  // namespace

TEST(ExifContainer, ImageDataIsNotRead) {
  Bytes file = PhotoJpeg({.make = "M"});
  size_t scanStart = file.size() - 7;  // Jpeg() ends with 7 bytes of scan data and EOI
  file.insert(file.end() - 2, 100000, 0x42);
  WatchedStream s(file);
  TExifData exif;
  ASSERT_TRUE(exif.LoadFromGraphic(s));
  EXPECT_EQ(exif.CameraMake(), u"M");
  EXPECT_EQ(s.furthest, int64_t(scanStart) + 1);  // one byte of scan data ends the walk
  EXPECT_LT(s.reads, 20);
}

TEST(ExifContainer, PhotoshopResources) {
  const Bytes tiff = PhotoTiff({.make = "PsdMaker"});
  struct Case {
    const char* name;
    std::vector<PsdResource> resources;
    const char16_t* make;
    bool xmp;
  } cases[] = {
      {"bare TIFF in 0x0422", {{"8BIM", 0x0422, "", tiff}}, u"PsdMaker", false},
      {"Exif header in 0x0422", {{"8BIM", 0x0422, "", ExifBlock(tiff)}}, u"PsdMaker", false},
      {"other signature still walked", {{"MeSa", 0x03ED, "ab", Bytes(9, 1)}, {"8BIM", 0x0422, "x", tiff}}, u"PsdMaker", false},
      {"XMP resource", {{"8BIM", 0x0424, "", Text("<?xpacket begin='' ?><x/>")}, {"8BIM", 0x0422, "", tiff}}, u"PsdMaker",
       true},
      {"Exif in another resource", {{"8BIM", 0x0421, "", tiff}}, u"", false},
  };
  for (const Case& c : cases) {
    LoadResult r = LoadBytes(Psd(c.resources));
    EXPECT_TRUE(r.recognised) << c.name;
    EXPECT_EQ(r.error, "") << c.name;
    EXPECT_EQ(r.make, c.make) << c.name;
    EXPECT_EQ(r.hasXmp, c.xmp) << c.name;
  }
}

TEST(ExifContainer, PhotoshopHeaderErrors) {
  Bytes good = Psd({{"8BIM", 0x0422, "", PhotoTiff({.make = "P"})}});
  auto expectHeaderError = [](Bytes file, const char* name) {
    TMemoryStream s(file.data(), file.size());
    TPSDInfo info;
    try {
      TAdobeResBlockParser p(s, info);
      ADD_FAILURE() << name << ": no exception";
    } catch (const EInvalidPSDHeader& e) {
      EXPECT_STREQ(e.what(), "Photoshop (PSD) file header is not valid") << name;
    }
  };
  Bytes version2 = good;
  version2[5] = 2;
  expectHeaderError(version2, "version 2");
  Bytes negativePalette = good;
  negativePalette[26] = 0x80;
  expectHeaderError(negativePalette, "negative colour data length");
  Bytes negativeResources = good;
  negativeResources[30] = 0xFF;
  expectHeaderError(negativeResources, "negative resource length");
  Bytes cutLayers(good.begin(), good.end() - 18);
  expectHeaderError(cutLayers, "layer length cut off");
  // A colour data length beyond the file: the read error, nothing allocated.
  Bytes hugePalette = good;
  hugePalette[26] = 0x7F;
  EXPECT_EQ(LoadBytes(hugePalette).error, kReadError);
  // A resource block longer than the section: it is the last one looked at.
  Bytes cutBlock = Psd({{"8BIM", 0x0400, "", Bytes(10, 7)}, {"8BIM", 0x0422, "", PhotoTiff({.make = "P"})}});
  cutBlock[34 + 8] = 0x7F;  // first block's size: huge
  LoadResult r = LoadBytes(cutBlock);
  EXPECT_TRUE(r.recognised);
  EXPECT_EQ(r.make, u"");
  // Info fields.
  TMemoryStream s(good.data(), good.size());
  TPSDInfo info;
  TAdobeResBlockParser p(s, info);
  EXPECT_EQ(info.Header.Channels, 3);
  EXPECT_EQ(info.Header.Height, 4);
  EXPECT_EQ(info.Header.Width, 8);
  EXPECT_EQ(info.LayersSectionSize, 4);
  ASSERT_TRUE(p.MoveNext());
  EXPECT_EQ(p.Current()->Signature(), "8BIM");
  EXPECT_EQ(p.Current()->TypeID(), 0x0422);
  EXPECT_TRUE(p.Current()->LoadedCleanly());
  EXPECT_FALSE(p.MoveNext());
}

TEST(ExifContainer, BlockIdentity) {
  struct Case {
    Bytes payload;
    bool exif, xmp;
  } cases[] = {
      {Concat({Text("Exif"), Bytes{0, 0, 'I', 'I', 0x2A, 0, 8, 0}}), true, false},
      {Bytes{'M', 'M', 0, 0x2A, 0, 0, 0, 8}, true, false},
      {Bytes{'I', 'I', 0x52, 0x4F, 0, 0, 0, 0}, true, false},
      {Bytes{'M', 'M', 0x55, 0, 0, 0, 0, 0}, true, false},
      {Bytes{0, 0, 0, 0x18, 0, 0, 0, 0}, true, false},
      {Bytes{'F', 'U', 'J', 'I', 0, 0, 0, 0}, true, false},
      {Bytes{'U', 'F', 'I', 'J', 0, 0, 0, 0}, true, false},
      {Bytes{0, 'M', 'R', 'M', 0, 0, 0, 0}, true, false},
      {Bytes{'M', 0, 'M', 'R', 0, 0, 0, 0}, true, false},
      {Bytes{'I', 'I', 0x2A, 0, 0, 0, 0}, false, false},  // 7 bytes: too short
      {Concat({Text("Exif"), Bytes{0, 0, 'I', 'I'}}), false, false},
      {Bytes{'I', 'I', 0x2B, 0, 0, 0, 0, 0}, false, false},
      {Bytes{'I', 'M', 0x2A, 0, 0, 0, 0, 0}, false, false},
      {XmpPacket(), false, true},
      {Text("<?xpacket begin='' id=''?>"), false, true},
      {Text("<?xpacket"), false, false},
      {Text("<?xpacketXbegin='' id=''?>"), false, false},
  };
  int i = 0;
  for (const Case& c : cases) {
    TUserJPEGSegment app1(0xE1), app2(0xE2);
    struct Filled : TUserJPEGSegment {
      Filled(uint8_t m, std::vector<uint8_t> b) : TUserJPEGSegment(m) { SetBytes(std::move(b)); }
    };
    Filled a(0xE1, c.payload), b(0xE2, c.payload);
    EXPECT_EQ(a.IsExifBlock(true), c.exif) << i;
    EXPECT_EQ(a.IsXMPBlock(true), c.xmp) << i;
    EXPECT_FALSE(b.IsExifBlock(true)) << i;
    EXPECT_EQ(b.IsExifBlock(false), c.exif) << i;
    EXPECT_EQ(b.IsXMPBlock(false), c.xmp) << i;
    ++i;
  }
}

TEST(ExifContainer, LongFillRunsAreReadInGrowingChunks) {
  // A megabyte of fill bytes before a marker, and of stuffed bytes after SOS: the walk reads
  // them in growing chunks, not one read per byte, and still sees the markers exactly.
  Bytes exif = Segment(0xE1, ExifBlock(PhotoTiff({.make = "AfterFill"})));
  Bytes file = Concat({Bytes{0xFF, 0xD8}, Bytes(1 << 20, 0xFF), Bytes{0xE1}, Bytes(exif.begin() + 2, exif.end()),
                       Segment(0xDA, {1, 1, 0, 0, 0x3F, 0})});
  for (int i = 0; i < (1 << 19); ++i) file.insert(file.end(), {0xFF, 0x00});
  const int64_t walkEnd = int64_t(file.size()) + 1;  // just after the first byte that is not FF
  file.insert(file.end(), 1 << 20, 0x12);
  file.insert(file.end(), {0xFF, 0xD9});
  WatchedStream s(file);
  TExifData data;
  ASSERT_TRUE(data.LoadFromGraphic(s));
  EXPECT_EQ(data.CameraMake(), u"AfterFill");
  EXPECT_LT(s.reads, 200);
  // Read ahead of the walk by at most one chunk, far from the rest of the image data.
  EXPECT_LE(s.furthest, walkEnd + 65536);
}

// A resource whose size runs past the end of the file is damaged: it is not read beyond the
// resource section (into the image data that follows), the walk ends there, and what lay
// inside the section is still used.
TEST(ExifContainer, PhotoshopResourceStaysInsideItsSection) {
  const Bytes tiff = PhotoTiff({.make = "P"});
  Bytes file = Psd({{"8BIM", 0x0422, "", tiff}});
  const size_t sectionEnd = 34 + ((size_t(file[30]) << 24) | (size_t(file[31]) << 16) | (size_t(file[32]) << 8) | file[33]);
  file[42] = 0x00;  // the block's size: 0x00300000, beyond the file
  file[43] = 0x30;
  file[44] = 0x00;
  file[45] = 0x00;
  file.insert(file.end(), 400000, 0x42);  // image data
  WatchedStream s(file);
  TExifData exif;
  ASSERT_TRUE(exif.LoadFromGraphic(s));
  EXPECT_EQ(exif.CameraMake(), u"P");
  EXPECT_LE(s.furthest, int64_t(sectionEnd) + 4);  // the section, then the layer length field

  TMemoryStream ms(file.data(), file.size());
  TPSDInfo info;
  TAdobeResBlockParser blocks(ms, info);
  ASSERT_TRUE(blocks.MoveNext());
  EXPECT_FALSE(blocks.Current()->LoadedCleanly());
  EXPECT_EQ(blocks.Current()->Bytes().size(), sectionEnd - 46);
  EXPECT_FALSE(blocks.MoveNext());
}

// A section length a few bytes short of its last resource: the resource is read as far as
// the file holds it, here whole, and the Exif block in it gives every value.
TEST(ExifContainer, PhotoshopSectionShortOfItsLastResource) {
  const Bytes tiff = PhotoTiff({.make = "P", .dateTime = "2012:05:03 14:22:01", .dateTimeOriginal = "2012:05:03 14:22:02"});
  for (uint32_t shortBy : {2u, 6u}) {
    Bytes file = Psd({{"8BIM", 0x0400, "", Bytes(10, 7)}, {"8BIM", 0x0422, "", ExifBlock(tiff)}});
    file.resize(file.size() - 16);  // no image data: the file ends after the layer length
    uint32_t r = (uint32_t(file[30]) << 24) | (uint32_t(file[31]) << 16) | (uint32_t(file[32]) << 8) | file[33];
    r -= shortBy;
    file[30] = uint8_t(r >> 24), file[31] = uint8_t(r >> 16), file[32] = uint8_t(r >> 8), file[33] = uint8_t(r);
    TMemoryStream s(file.data(), file.size());
    TExifData exif;
    ASSERT_TRUE(exif.LoadFromGraphic(s)) << shortBy;
    EXPECT_EQ(exif.CameraMake(), u"P") << shortBy;
    double expected;
    ASSERT_TRUE(TryEncodeDateTime({2012, 5, 3, 14, 22, 1, 0}, expected));
    EXPECT_NEAR(exif.DateTime(), expected, 1e-9) << shortBy;
    EXPECT_GT(exif.DateTimeOriginal(), exif.DateTime()) << shortBy;

    TMemoryStream ms(file.data(), file.size());
    TPSDInfo info;
    TAdobeResBlockParser blocks(ms, info);
    ASSERT_TRUE(blocks.MoveNext());
    ASSERT_TRUE(blocks.MoveNext());
    EXPECT_TRUE(blocks.Current()->LoadedCleanly()) << shortBy;
    EXPECT_EQ(blocks.Current()->Bytes().size(), tiff.size() + 6) << shortBy;
    EXPECT_FALSE(blocks.MoveNext());
  }
}

// The resource walk reads a further block only while more than 12 bytes of the section
// remain, and ends at a block whose size is negative.
TEST(ExifContainer, PhotoshopWalkEnds) {
  const Bytes first = {'8', 'B', 'I', 'M', 0x04, 0x00, 0, 0, 0, 0, 0, 2, 7, 7};  // 14 bytes
  auto psdWithSection = [&](const Bytes& section) {
    uint32_t r = uint32_t(section.size());
    return Concat({Bytes(kPSDSignature, kPSDSignature + 12), Bytes{0, 3, 0, 0, 0, 4, 0, 0, 0, 8, 0, 8, 0, 3},
                   Bytes{0, 0, 0, 0}, Bytes{uint8_t(r >> 24), uint8_t(r >> 16), uint8_t(r >> 8), uint8_t(r)}, section,
                   Bytes{0, 0, 0, 0}});
  };
  const Bytes empty12 = {'8', 'B', 'I', 'M', 0x04, 0x01, 0, 0, 0, 0, 0, 0};
  const Bytes negative = {'8', 'B', 'I', 'M', 0x04, 0x01, 0, 0, 0xFF, 0xFF, 0xFF, 0xF0, 1, 2, 3, 4};
  struct Case {
    const char* name;
    Bytes section;
    std::vector<bool> clean;  // one per block walked
  } cases[] = {
      {"12 bytes left: not read", Concat({first, empty12}), {true}},
      {"13 bytes left: read", Concat({first, empty12, Bytes{0}}), {true, true}},
      {"negative size ends the walk", Concat({first, negative, first}), {true, false}},
      {"odd size has a pad byte", Concat({Bytes{'8', 'B', 'I', 'M', 0x04, 0x00, 0, 0, 0, 0, 0, 1, 9, 0}, first}), {true, true}},
      {"odd name length has no pad byte",
       Concat({Bytes{'8', 'B', 'I', 'M', 0x04, 0x00, 1, 'n', 0, 0, 0, 2, 7, 7}, first}), {true, true}},
  };
  for (const Case& c : cases) {
    Bytes file = psdWithSection(c.section);
    TMemoryStream s(file.data(), file.size());
    TPSDInfo info;
    TAdobeResBlockParser blocks(s, info);
    std::vector<bool> clean;
    while (blocks.MoveNext()) clean.push_back(blocks.Current()->LoadedCleanly());
    EXPECT_EQ(clean, c.clean) << c.name;
  }
}
