// The TIFF directory parser: header test, directory bounds, malformed entries, values,
// sub-directories and the IFD1 thumbnail.
#include <gtest/gtest.h>

#include <functional>

#include "exif/Exif.h"
#include "support/ExifFixtures.h"

using namespace tess;
using namespace tess::fixtures;

namespace {

using enum TMetadataLoadError;

struct Dir {
  std::vector<TTiffTagInfo> tags;
  TMetadataLoadErrors errors;
};

Dir LoadDir(const Bytes& tiff, int64_t offset, bool big = false) {
  TMemoryStream s(tiff.data(), tiff.size());
  Dir d;
  LoadTagInfo(s, big ? TEndianness::BigEndian : TEndianness::SmallEndian, 0, offset, 0, d.tags, d.errors);
  return d;
}

}  // namespace

TEST(ExifTiff, HeaderByteOrders) {
  struct Case {
    uint8_t b2, b3;
    bool ok;
    TEndianness order;
  } pairs[] = {
      {0x2A, 0, true, TEndianness::SmallEndian},    {0x1A, 0, true, TEndianness::SmallEndian},
      {0x55, 0, true, TEndianness::SmallEndian},    {0x49, 0x4A, true, TEndianness::SmallEndian},
      {0x52, 0x4F, true, TEndianness::SmallEndian}, {0x52, 0x53, true, TEndianness::SmallEndian},
      {0, 0x2A, true, TEndianness::BigEndian},      {0, 0x1A, true, TEndianness::BigEndian},
      {0x4A, 0x49, true, TEndianness::BigEndian},   {0x4F, 0x52, true, TEndianness::BigEndian},
      {0x53, 0x52, true, TEndianness::BigEndian},   {0, 0x55, true, TEndianness::BigEndian},
      {0x2B, 0, false, {}},                         {0, 0, false, {}},
      {0x2A, 0x2A, false, {}},
  };
  for (uint8_t first : {0x49, 0x4D}) {
    for (const Case& c : pairs) {
      Bytes b{first, first, c.b2, c.b3};
      TMemoryStream s(b.data(), b.size());
      TEndianness e = c.order == TEndianness::SmallEndian ? TEndianness::BigEndian : TEndianness::SmallEndian;
      EXPECT_EQ(HasTiffHeader(s, e, true), c.ok) << int(first) << " " << int(c.b2) << " " << int(c.b3);
      if (c.ok) EXPECT_EQ(e, c.order) << int(first) << " " << int(c.b2);
      EXPECT_EQ(s.Position(), c.ok ? 4 : 0);
      s.SetPosition(0);
      HasTiffHeader(s, e, false);
      EXPECT_EQ(s.Position(), 0);
    }
  }
  for (Bytes b : {Bytes{'I', 'M', 0x2A, 0}, Bytes{'I', 'I', 0x2A}, Bytes{}}) {
    TMemoryStream s(b.data(), b.size());
    TEndianness e;
    EXPECT_FALSE(HasTiffHeader(s, e, true));
    EXPECT_EQ(s.Position(), 0);
  }
  // Byte order follows the second pair: MM with 2A 00 is little-endian.
  TiffBuilder mm(false);
  mm.AddDirectory({Short(274, 6)});
  mm.SetHeader({'M', 'M', 0x2A, 0});
  Bytes tiff = mm.Build();
  TMemoryStream s(tiff.data(), tiff.size());
  auto parser = TTiffParser::Create(s);
  EXPECT_EQ(parser->Endianness(), TEndianness::SmallEndian);
}

TEST(ExifTiff, ParserCreationAndChain) {
  Bytes bad = Text("IIxx\x08\0\0\0");
  TMemoryStream s1(bad.data(), bad.size());
  try {
    TTiffParser::Create(s1);
    FAIL();
  } catch (const EInvalidTiffData& e) {
    EXPECT_STREQ(e.what(), "Invalid TIFF data");
  }
  // First offset 0: no directory at all.
  Bytes empty{'I', 'I', 0x2A, 0, 0, 0, 0, 0};
  TMemoryStream s2(empty.data(), empty.size());
  auto p2 = TTiffParser::Create(s2);
  auto e2 = p2->GetEnumerator();
  EXPECT_FALSE(e2.MoveNext());
  // Three directories in a chain; the last one's next offset points beyond the data.
  TiffBuilder b;
  b.AddDirectory({Short(274, 1)});
  b.AddDirectory({Short(274, 2)});
  b.AddDirectory({Short(274, 3)});
  b.SetChain({0, 1, 2});
  Bytes tiff = b.Build();
  uint32_t lastNext = b.DirectoryOffset(2) + 2 + 12;
  tiff[lastNext] = 0xF0;  // next offset 0xF0: beyond the data, the chain ends
  TMemoryStream s3(tiff.data(), tiff.size());
  auto p3 = TTiffParser::Create(s3);
  auto e3 = p3->GetEnumerator();
  std::vector<bool> more;
  while (e3.MoveNext()) {
    EXPECT_EQ(e3.Current()->Index(), int(more.size()));
    more.push_back(e3.Current()->MoreToFollow());
  }
  EXPECT_EQ(more, (std::vector<bool>{true, true, false}));
  // A bad first offset shows up as leBadOffset on IFD0.
  Bytes badFirst{'I', 'I', 0x2A, 0, 0xFF, 0, 0, 0};
  TMemoryStream s4(badFirst.data(), badFirst.size());
  auto p4 = TTiffParser::Create(s4);
  auto e4 = p4->GetEnumerator();
  ASSERT_TRUE(e4.MoveNext());
  EXPECT_EQ(e4.Current()->LoadErrors(), LoadErrors({leBadOffset}));
  EXPECT_EQ(e4.Current()->TagCount(), 0);
  EXPECT_FALSE(e4.MoveNext());
}

TEST(ExifTiff, DirectoryBoundsAndMalformedEntries) {
  auto build = [](std::vector<Entry> entries, std::optional<uint16_t> count = {}, size_t cutTo = 0) {
    TiffBuilder b;
    b.AddDirectory(std::move(entries));
    if (count) b.SetCountField(0, *count);
    Bytes t = b.Build();
    if (cutTo) t.resize(cutTo);
    return t;
  };
  const Entry good = Short(274, 1), good2 = Short(296, 2), good3 = Short(531, 1);
  struct Case {
    const char* name;
    Bytes tiff;
    int64_t offset;
    size_t entries;
    TMetadataLoadErrors errors;
    std::vector<bool> wellFormed;
  } cases[] = {
      {"count 100, room for 3", build({good, good2, good3}, 100, 8 + 2 + 36), 8, 3, LoadErrors({leBadTagCount}), {1, 1, 1}},
      {"type 0 then good", build({RawEntry(300, 0, 1, 0), good2}), 8, 2, LoadErrors({leBadTagHeader}), {0, 1}},
      {"type 14 then good", build({good, RawEntry(300, 14, 1, 0), good3}), 8, 3, LoadErrors({leBadTagHeader}), {1, 0, 1}},
      {"two malformed in a row", build({good, RawEntry(300, 0, 1, 0), RawEntry(301, 14, 1, 0), good3}), 8, 2,
       LoadErrors({leBadTagHeader, leBadTagCount}), {1, 0}},
      {"malformed first after the count was cut", build({RawEntry(300, 0, 1, 0), good2}, 50, 8 + 2 + 24), 8, 0,
       LoadErrors({leBadTagCount, leBadTagHeader}), {}},
      {"LONG count 2 at offset 4 lies outside", build({RawEntry(300, 4, 2, 4), good2}), 8, 2, LoadErrors({leBadTagHeader}),
       {0, 1}},
      {"value beyond the end", build({RawEntry(300, 2, 20, 30), good2}), 8, 2, LoadErrors({leBadTagHeader}), {0, 1}},
      {"size overflows 32 bits", build({RawEntry(300, 4, 0x40000000, 8), good2}), 8, 2, LoadErrors({leBadTagHeader}),
       {0, 1}},
      {"negative count", build({RawEntry(300, 1, 0x80000000, 8), good2}), 8, 2, LoadErrors({leBadTagHeader}), {0, 1}},
      {"offset negative", build({good}), -9, 0, LoadErrors({leBadOffset}), {}},
      {"one byte left at the offset", build({good}), 8 + 2 + 12 + 3, 0, LoadErrors({leBadOffset}), {}},
      {"count only, no entries", build({good}), 8 + 2 + 12 + 2, 0, LoadErrors({}), {}},
  };
  for (const Case& c : cases) {
    Dir d = LoadDir(c.tiff, c.offset);
    EXPECT_EQ(d.tags.size(), c.entries) << c.name;
    EXPECT_EQ(d.errors.bits, c.errors.bits) << c.name;
    for (size_t i = 0; i < d.tags.size() && i < c.wellFormed.size(); ++i)
      EXPECT_EQ(d.tags[i].IsWellFormed(), c.wellFormed[i]) << c.name << " entry " << i;
  }
  Dir outside = LoadDir(build({RawEntry(300, 4, 2, 4), good2}), 8);
  EXPECT_EQ(outside.tags[0].ElementCount, -1);
  EXPECT_EQ(outside.tags[0].DataSize(), 0);
}

TEST(ExifTiff, ValuesInlineAndOutOfLine) {
  for (bool big : {false, true}) {
    TiffBuilder b(big);
    b.AddDirectory({
        AsciiRaw(270, Text("abcd")),          // 4 bytes: inline
        AsciiRaw(271, Text("abcde")),         // 5 bytes: out of line
        Long(273, 0x01020304),                // LONG inline
        Entry{274, 13, 1, {}, {77}, {}, -1},  // IFD inline
        Short(296, 5),
        Entry{282, 5, 1, {}, {72, 1}, {}, -1},
        Entry{283, 8, 2, {}, {0xFFFE, 3}, {}, -1},
    });
    Bytes tiff = b.Build();
    TMemoryStream s(tiff.data(), tiff.size());
    auto parser = TTiffParser::Create(s);
    auto en = parser->GetEnumerator();
    ASSERT_TRUE(en.MoveNext());
    const auto& tags = en.Current()->TagInfo();
    ASSERT_EQ(tags.size(), 7u);
    EXPECT_EQ(tags[0].DataOffset, tags[0].HeaderOffset + 8);
    EXPECT_NE(tags[1].DataOffset, tags[1].HeaderOffset + 8);
    EXPECT_EQ(tags[2].DataOffset, tags[2].HeaderOffset + 8);
    EXPECT_EQ(tags[3].DataOffset, tags[3].HeaderOffset + 8);
    char text[5];
    parser->ReadTagData(tags[1], text);
    EXPECT_EQ(std::string(text, 5), "abcde");
    uint32_t l;
    parser->ReadTagData(tags[2], &l);
    EXPECT_EQ(l, 0x01020304u);
    uint16_t w;
    parser->ReadTagData(tags[4], &w);
    EXPECT_EQ(w, 5);  // big-endian 00 05 reads as 5
    uint32_t r[2];
    parser->ReadTagData(tags[5], r);
    EXPECT_EQ(r[0], 72u);
    EXPECT_EQ(r[1], 1u);
    int16_t ss[2];
    parser->ReadTagData(tags[6], ss);
    EXPECT_EQ(ss[0], -2);
    EXPECT_EQ(ss[1], 3);
  }
}

TEST(ExifTiff, SubDirectories) {
  // A pointer to a directory that is cut off: refused with 2 entries, accepted with 3.
  for (int kept : {2, 3}) {
    TiffBuilder b;
    b.AddDirectory({Pointer(34665, 1)});
    b.AddDirectory({Short(33434, 1), Short(33437, 2), Short(34850, 3), Short(34855, 4)});
    b.SetCountField(1, 40);
    Bytes tiff = b.Build();
    tiff.resize(b.DirectoryOffset(1) + 2 + 12 * size_t(kept));
    TMemoryStream s(tiff.data(), tiff.size());
    auto parser = TTiffParser::Create(s);
    std::shared_ptr<TFoundTiffDirectory> dir;
    bool opened = parser->OpenSubDirectory(34665, 4, 1, b.DirectoryOffset(1), nullptr, dir);
    EXPECT_EQ(opened, kept == 3);
    if (opened) {
      EXPECT_EQ(dir->LoadErrors(), LoadErrors({leBadTagCount}));
      EXPECT_EQ(dir->Index(), 34665);
    }
  }
  struct Case {
    uint16_t id, type;
    int32_t count;
    bool canPoint;
  } cases[] = {
      {34665, 4, 1, true},  {34665, 13, 1, true}, {34665, 3, 1, false}, {34665, 4, 2, false}, {256, 4, 1, false},
      {257, 4, 1, false},   {273, 4, 1, false},   {279, 4, 1, false},   {324, 4, 1, false},   {325, 4, 1, false},
      {513, 4, 1, false},   {514, 4, 1, false},   {40962, 4, 1, false}, {40963, 4, 1, false}, {513, 13, 1, true},
      {700, 4, 1, true},
  };
  for (const Case& c : cases) EXPECT_EQ(CanPointToDirectory(c.id, c.type, c.count), c.canPoint) << c.id << "/" << c.type;
}

TEST(ExifTiff, ThumbnailDirectory) {
  Bytes thumb = {0xFF, 0xD8, 0xFF, 0xDB, 0, 4, 1, 2, 0xFF, 0xDA, 0, 2, 0x11, 0x22, 0xFF, 0xD9};
  auto make = [&](std::vector<Entry> ifd1, bool third) {
    TiffBuilder b;
    b.AddDirectory({Short(274, 1)});
    b.AddDirectory(std::move(ifd1));
    if (third) b.AddDirectory({Short(274, 1)});
    b.SetChain(third ? std::vector<int>{0, 1, 2} : std::vector<int>{0, 1});
    return b;
  };
  struct Case {
    const char* name;
    std::vector<Entry> ifd1;
    bool third;
    bool thumbnail;
  } cases[] = {
      {"JPEG offset LONG", {Long(513, 0), Long(514, 16)}, false, true},
      {"JPEG offset SHORT", {Short(513, 0), Long(514, 16)}, false, true},
      {"followed by a further directory", {Long(513, 0), Long(514, 16)}, true, false},
      {"with strips", {Long(273, 0), Long(513, 0)}, false, false},
      {"with tiles", {Long(324, 0), Long(513, 0)}, false, false},
      {"no JPEG offset", {Long(514, 16)}, false, false},
      {"JPEG offset count 2", {Entry{513, 4, 2, {}, {0, 0}, {}, -1}}, false, false},
  };
  for (const Case& c : cases) {
    TiffBuilder b = make(c.ifd1, c.third);
    Bytes tiff = b.Build();
    TMemoryStream s(tiff.data(), tiff.size());
    auto parser = TTiffParser::Create(s);
    auto en = parser->GetEnumerator();
    ASSERT_TRUE(en.MoveNext());
    ASSERT_TRUE(en.MoveNext()) << c.name;
    EXPECT_EQ(en.Current()->IsThumbnailDirectory(), c.thumbnail) << c.name;
  }
  // The JPEG is measured by its end marker; trailing bytes stay out.
  TiffBuilder b = make({Long(513, 0), Long(514, 16)}, false);
  Bytes tiff = b.Build();
  uint32_t at = uint32_t(tiff.size());
  tiff.insert(tiff.end(), thumb.begin(), thumb.end());
  tiff.insert(tiff.end(), {1, 2, 3});
  b = make({Long(513, at), Long(514, 16)}, false);
  Bytes tiff2 = b.Build();
  tiff2.resize(at);
  tiff2.insert(tiff2.end(), thumb.begin(), thumb.end());
  tiff2.insert(tiff2.end(), {1, 2, 3});
  TMemoryStream s(tiff2.data(), tiff2.size());
  auto parser = TTiffParser::Create(s);
  auto en = parser->GetEnumerator();
  en.MoveNext();
  en.MoveNext();
  std::vector<uint8_t> sink;
  ASSERT_TRUE(en.Current()->CopyThumbnailTo(sink));
  EXPECT_EQ(sink, thumb);
  // Not a JPEG at that offset: false, no exception.
  tiff2[at] = 0;
  TMemoryStream s2(tiff2.data(), tiff2.size());
  auto p2 = TTiffParser::Create(s2);
  auto e2 = p2->GetEnumerator();
  e2.MoveNext();
  e2.MoveNext();
  EXPECT_FALSE(e2.Current()->CopyThumbnailTo(sink));
}

// Offsets count from the TIFF header and cannot go back before it, even where the stream
// holds bytes there (a camera format's preamble, the "Exif\0\0" prefix).
TEST(ExifTiff, NegativeDirectoryOffsetsAreBad) {
  // A directory that would parse well, eight bytes before the header.
  TiffBuilder b;
  b.AddDirectory({Short(274, 1)});
  Bytes tiff = b.Build();
  Bytes file = Concat({Bytes(tiff.begin() + 8, tiff.end()), tiff});
  const int64_t base = int64_t(tiff.size()) - 8;
  TMemoryStream s(file.data(), file.size());
  std::vector<TTiffTagInfo> tags;
  TMetadataLoadErrors errors;
  LoadTagInfo(s, TEndianness::SmallEndian, base, -base, 0, tags, errors);
  EXPECT_EQ(errors, LoadErrors({leBadOffset}));
  EXPECT_TRUE(tags.empty());

  // Through a whole load: a file whose TIFF data starts at 160 and whose first directory
  // offset points back into the preamble, where a directory with a Make lies.
  Bytes placed(160, 0);
  placed[0] = 'F';
  placed[1] = 'U';
  const Bytes preambleDir = {1, 0, 0x0F, 0x01, 2, 0, 4, 0, 0, 0, 'B', 'a', 'd', 0, 0, 0, 0, 0};
  std::copy(preambleDir.begin(), preambleDir.end(), placed.begin() + 20);
  const uint32_t back = uint32_t(20 - 160);
  placed.insert(placed.end(), {'I', 'I', 0x2A, 0, uint8_t(back), uint8_t(back >> 8), uint8_t(back >> 16),
                               uint8_t(back >> 24)});
  placed.resize(placed.size() + 32, 0);
  TMemoryStream fs(placed.data(), placed.size());
  TExifData exif;
  ASSERT_TRUE(exif.LoadFromGraphic(fs));
  EXPECT_EQ(exif.CameraMake(), u"");
  EXPECT_EQ(exif.Section(esGeneral).LoadErrors(), LoadErrors({leBadOffset}));
}

namespace {

// Counts its own destruction, to show who frees an owned stream and when.
class CountedStream final : public TStream {
 public:
  CountedStream(const Bytes& bytes, int& freed) : inner_(bytes.data(), bytes.size()), freed_(freed) {}
  ~CountedStream() override { ++freed_; }
  size_t Read(void* buffer, size_t count) override {
    inner_.SetPosition(position_);
    size_t n = inner_.Read(buffer, count);
    position_ += int64_t(n);
    return n;
  }
  int64_t Size() override { return inner_.Size(); }

 private:
  TMemoryStream inner_;
  int& freed_;
};

}  // namespace

// A stream handed over as a unique_ptr is freed exactly once: when the walk ends, when the
// parser goes, or when its creation fails (the caller gave it away and keeps no claim on it).
// A stream passed by reference is never freed by the walker.
TEST(ExifTiff, OwnedStreamsAreFreedOnce) {
  const Bytes junk = Text("not an image at all");
  const Bytes jpeg = Jpeg({Segment(0xE1, Text("x"))});
  const Bytes psd = Psd({{"8BIM", 0x0400, "", Bytes(4, 1)}});
  const Bytes tiff = PhotoTiff({.make = "M"});
  TJPEGMarkers app1;
  app1.set(jmApp1);
  TPSDInfo info;
  struct Case {
    const char* name;
    std::function<void(int&)> run;
    int freedAfterWalk;  // -1: creation fails
  } cases[] = {
      {"JPEG, bad header", [&](int& f) { TJPEGHeaderParser p(std::make_unique<CountedStream>(junk, f), app1); }, -1},
      {"PSD, bad header", [&](int& f) { TAdobeResBlockParser p(std::make_unique<CountedStream>(junk, f), info); }, -1},
      {"TIFF, bad header", [&](int& f) { TTiffParser::Create(std::make_unique<CountedStream>(junk, f)); }, -1},
      {"JPEG walk", [&](int& f) {
         TJPEGHeaderParser p(std::make_unique<CountedStream>(jpeg, f), app1);
         while (p.MoveNext()) {}
         EXPECT_EQ(f, 1) << "freed when the walk ends";
       }, 1},
      {"PSD walk", [&](int& f) {
         TAdobeResBlockParser p(std::make_unique<CountedStream>(psd, f), info);
         while (p.MoveNext()) {}
         EXPECT_EQ(f, 1) << "freed when the walk ends";
       }, 1},
      {"TIFF parser", [&](int& f) {
         auto p = TTiffParser::Create(std::make_unique<CountedStream>(tiff, f));
         EXPECT_EQ(f, 0);
       }, 1},
      // By reference the stream stays the caller's: here one on the stack, gone with the lambda.
      {"JPEG walk by reference", [&](int& f) {
         CountedStream s(jpeg, f);
         TJPEGHeaderParser p(s, app1);
         while (p.MoveNext()) {}
         EXPECT_EQ(f, 0);
       }, 1},
      {"PSD walk by reference", [&](int& f) {
         CountedStream s(psd, f);
         TAdobeResBlockParser p(s, info);
         while (p.MoveNext()) {}
         EXPECT_EQ(f, 0);
       }, 1},
      {"TIFF parser by reference", [&](int& f) {
         CountedStream s(tiff, f);
         { auto p = TTiffParser::Create(s); }
         EXPECT_EQ(f, 0);
       }, 1},
  };
  for (const Case& c : cases) {
    int freed = 0;
    try {
      c.run(freed);
      EXPECT_GE(c.freedAfterWalk, 0) << c.name << ": no exception";
    } catch (const EReaderException&) {
      EXPECT_EQ(c.freedAfterWalk, -1) << c.name;
    }
    EXPECT_EQ(freed, 1) << c.name;
  }
}
