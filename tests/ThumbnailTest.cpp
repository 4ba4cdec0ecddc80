// The stored-picture locator: where each container keeps its picture, files that lie about
// it, and the Exif orientations.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "exif/Thumbnail.h"
#include "support/PictureFixtures.h"

using namespace tess;
using namespace tess::fixtures;
namespace fs = std::filesystem;

namespace {

Bytes Be32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }
Bytes Be16(uint32_t v) { return {uint8_t(v >> 8), uint8_t(v)}; }
Bytes IsoBox(const char* type, const Bytes& content) {
  return Concat({Be32(uint32_t(content.size() + 8)), Text(type), content});
}

const uint8_t kCanonUuid[16] = {0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f, 0x11, 0xe0,
                                0x81, 0x11, 0xf4, 0xce, 0x46, 0x2b, 0x6a, 0x48};

// A CR3's head: ftyp, then moov holding Canon's uuid box with CMT1 (orientation) and THMB.
Bytes Cr3(int orientation, const Bytes& thumbnail, uint32_t claimedLength) {
  TiffBuilder cmt1;
  cmt1.AddDirectory({Short(0x112, uint16_t(orientation))});
  Bytes thmb = Concat({Bytes{0, 0, 0, 0}, Be16(160), Be16(120), Be32(claimedLength), Bytes{0, 0, 0, 0}, thumbnail});
  Bytes uuid = Concat({Bytes(kCanonUuid, kCanonUuid + 16), IsoBox("CMT1", cmt1.Build()), IsoBox("THMB", thmb)});
  return Concat({IsoBox("ftyp", Text("crx \0\0\0\1crx isom")), IsoBox("moov", IsoBox("uuid", uuid)),
                 IsoBox("mdat", Bytes(64, 0))});
}

// A HEIC's head: items 1 (primary) and 2 (its thumbnail, `thmb`), both in mdat.
Bytes Heic(const char* thumbnailType, uint32_t thumbnailShift = 0) {
  auto infe = [](uint16_t id, const char* type) {
    return IsoBox("infe", Concat({Bytes{2, 0, 0, 0}, Be16(id), Be16(0), Text(type), Bytes{0}}));
  };
  auto build = [&](uint32_t mdatData) {
    Bytes iloc = Concat({Bytes{0, 0, 0, 0, 0x44, 0x00}, Be16(2),  // offsets and lengths of 4 bytes, no base
                         Be16(1), Be16(0), Be16(1), Be32(mdatData), Be32(100),
                         Be16(2), Be16(0), Be16(1), Be32(mdatData + 100 + thumbnailShift), Be32(40)});
    Bytes meta = Concat({Bytes{0, 0, 0, 0}, IsoBox("hdlr", Concat({Bytes(8, 0), Text("pict"), Bytes(13, 0)})),
                         IsoBox("pitm", Concat({Bytes{0, 0, 0, 0}, Be16(1)})),
                         IsoBox("iinf", Concat({Bytes{0, 0, 0, 0}, Be16(2), infe(1, "hvc1"), infe(2, thumbnailType)})),
                         IsoBox("iref", Concat({Bytes{0, 0, 0, 0}, IsoBox("thmb", Concat({Be16(2), Be16(1), Be16(1)}))})),
                         IsoBox("iloc", iloc)});
    return Concat({IsoBox("ftyp", Text("heic\0\0\0\0mif1heic")), IsoBox("meta", meta)});
  };
  const uint32_t head = uint32_t(build(0).size()) + 8;
  return Concat({build(head), IsoBox("mdat", Bytes(140, 0x55))});
}

// A TIFF-based raw: IFD0 (orientation, two previews in SubIFDs: a large JPEG and the raw
// data, JPEG-coded colour filter array) and IFD1, the 160x120 Exif thumbnail.
Bytes Raw(int orientation, uint8_t rawFrame = 0xC3) {
  const Bytes large = JpegHeader(1600, 1200), thumb = JpegHeader(160, 120), raw = JpegHeader(6000, 4000, rawFrame);
  auto build = [&](uint32_t data, uint32_t listAt) {
    TiffBuilder tiff;
    tiff.AddDirectory({Short(0x112, uint16_t(orientation)), RawEntry(0x14A, 4, 2, listAt)});
    tiff.AddDirectory({Short(0x103, 6), Long(0x201, data + uint32_t(large.size())), Long(0x202, uint32_t(thumb.size()))});
    tiff.AddDirectory({Short(0x103, 6), Short(0x106, 6), Long(0x111, data), Long(0x117, uint32_t(large.size()))});
    tiff.AddDirectory({Short(0x103, 7), Short(0x106, 32803), Long(0x111, data + uint32_t(large.size() + thumb.size())),
                       Long(0x117, uint32_t(raw.size()))});
    tiff.SetChain({0, 1});
    return tiff;
  };
  // The SubIFDs list sits after the directories, the pictures after it.
  const uint32_t listAt = uint32_t(build(0, 0).Build().size());
  TiffBuilder tiff = build(listAt + 8, listAt);
  const Bytes out = tiff.Build();
  Bytes list(8);
  for (int k = 0; k < 2; ++k) {
    const uint32_t v = tiff.DirectoryOffset(2 + k);
    for (int b = 0; b < 4; ++b) list[size_t(k * 4 + b)] = uint8_t(v >> (8 * b));
  }
  return Concat({out, list, large, thumb, raw});
}

PictureLocation Locate(const Bytes& file, int minSide = 160) {
  TMemoryStream stream(file.data(), file.size());
  return LocateStoredPicture(stream, minSide);
}

}  // namespace

TEST(Thumbnail, FindsThePictureEachContainerStores) {
  const Bytes thumb = JpegHeader(160, 120);
  struct Case {
    const char* name;
    Bytes file;
    int minSide;
    StoredPictureKind kind;
    int width, height, orientation;
  } cases[] = {
      {"JPEG, Exif thumbnail", JpegWithThumbnail(6, thumb), 160, StoredPictureKind::Jpeg, 160, 120, 6},
      {"JPEG, big-endian Exif", JpegWithThumbnail(8, thumb, true), 160, StoredPictureKind::Jpeg, 160, 120, 8},
      {"JPEG, no orientation", JpegWithThumbnail(0, thumb), 160, StoredPictureKind::Jpeg, 160, 120, 1},
      {"JPEG, orientation out of range", JpegWithThumbnail(9, thumb), 160, StoredPictureKind::Jpeg, 160, 120, 1},
      {"JPEG without Exif", Jpeg({}), 160, StoredPictureKind::None, 0, 0, 1},
      {"raw: the thumbnail is big enough", Raw(3), 160, StoredPictureKind::Jpeg, 160, 120, 3},
      {"raw: a bigger box takes the preview", Raw(3), 1000, StoredPictureKind::Jpeg, 1600, 1200, 3},
      {"raw: nothing reaches the box, the largest", Raw(5), 4000, StoredPictureKind::Jpeg, 1600, 1200, 5},
      // A baseline-coded raw strip is still the raw: its photometric says so.
      {"raw: a baseline-coded CFA is no preview", Raw(1, 0xC0), 4000, StoredPictureKind::Jpeg, 1600, 1200, 1},
      {"CR3 thumbnail box", Cr3(8, thumb, uint32_t(thumb.size())), 160, StoredPictureKind::Jpeg, 160, 120, 8},
      {"HEIC thmb item", Heic("hvc1"), 160, StoredPictureKind::HeifItem, 0, 0, 1},
      {"AVIF thmb item", Heic("av01"), 160, StoredPictureKind::HeifItem, 0, 0, 1},
      {"HEIF thmb of an unknown coding", Heic("zzzz"), 160, StoredPictureKind::None, 0, 0, 1},
      {"PNG", Concat({Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10}, Bytes(32, 0)}), 160, StoredPictureKind::None, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PictureLocation found = Locate(c.file, c.minSide);
    EXPECT_EQ(found.picture.kind, c.kind);
    EXPECT_EQ(found.picture.width, c.width);
    EXPECT_EQ(found.picture.height, c.height);
    EXPECT_EQ(found.orientation, c.orientation);
    if (c.kind == StoredPictureKind::Jpeg) {
      TMemoryStream stream(c.file.data(), c.file.size());
      const std::vector<uint8_t> bytes = ReadStoredPicture(stream, found.picture);
      ASSERT_GE(bytes.size(), 4u);
      EXPECT_EQ(bytes[0], 0xFF);
      EXPECT_EQ(bytes[1], 0xD8);
    }
  }
}

TEST(Thumbnail, AFileThatLiesAboutItsPictureHasNone) {
  const Bytes thumb = JpegHeader(160, 120);
  const Bytes whole = JpegWithThumbnail(1, thumb);
  struct Case {
    const char* name;
    Bytes file;
  } cases[] = {
      {"length past the end", JpegWithThumbnail(1, thumb, false, 0, 1u << 30)},
      {"length of zero", JpegWithThumbnail(1, thumb, false, 0, 0)},
      {"offset outside the file", JpegWithThumbnail(1, thumb, false, 1 << 20)},
      {"offset wrapping past 4 GiB", JpegWithThumbnail(1, thumb, false, -100000)},
      {"not a JPEG", JpegWithThumbnail(1, Bytes(200, 0x42))},
      {"a frame of 60000 x 60000", JpegWithThumbnail(1, JpegHeader(60000, 60000))},
      {"a lossless frame", JpegWithThumbnail(1, JpegHeader(160, 120, 0xC3))},
      {"a frame of no pixels", JpegWithThumbnail(1, JpegHeader(0, 120))},
      {"offset pointing a byte early", JpegWithThumbnail(1, thumb, false, -1)},
      {"CR3 box claiming more than it holds", Cr3(1, thumb, 1u << 20)},
      {"HEIC item past the end", Heic("hvc1", 1 << 20)},
      {"cut inside the thumbnail", Bytes(whole.begin(), whole.begin() + (4 + (whole[4] << 8 | whole[5]) - 5))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PictureLocation found = Locate(c.file);
    TMemoryStream stream(c.file.data(), c.file.size());
    EXPECT_FALSE(found.picture && !ReadStoredPicture(stream, found.picture).empty());
  }
}

TEST(Thumbnail, DirectoriesThatPointAtEachOtherEnd) {
  // IFD1's next pointer leads back to IFD0: the walk visits each once.
  TiffBuilder tiff;
  tiff.AddDirectory({Short(0x112, 6)});
  tiff.AddDirectory({Long(0x201, 4000), Long(0x202, 100)});
  tiff.SetChain({0, 1, 0});
  const Bytes file = tiff.Build();
  EXPECT_FALSE(Locate(file).picture);
  EXPECT_EQ(Locate(file).orientation, 6);
}

TEST(Thumbnail, OrientationTurns) {
  // How each Exif orientation takes the stored top-left pixel to the shown picture: the
  // stored picture is mirrored first, then turned clockwise.
  struct Case {
    int orientation, quarterTurns;
    bool mirror, swaps;
  } cases[] = {{1, 0, false, false}, {2, 0, true, false}, {3, 2, false, false}, {4, 2, true, false},
               {5, 3, true, true},   {6, 1, false, true}, {7, 1, true, true},   {8, 3, false, true},
               {0, 0, false, false}, {9, 0, false, false}, {-1, 0, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orientation);
    const OrientationTurn turn = TurnForOrientation(c.orientation);
    EXPECT_EQ(turn.quarterTurns, c.quarterTurns);
    EXPECT_EQ(turn.mirror, c.mirror);
    EXPECT_EQ(turn.SwapsSides(), c.swaps);
  }
}

TEST(Thumbnail, CorpusJpegsAsTheReferenceReadsThem) {
  const fs::path corpus = fs::path(TESSARINE_CORPUS_DIR);
  if (!fs::exists(corpus / "jpeg")) GTEST_SKIP() << "no photo corpus at " << corpus.string();
  // Offsets and lengths as exiftool gives them (ThumbnailOffset, ThumbnailLength, Orientation).
  struct Case {
    const char* file;
    int64_t offset, length;
    int orientation;
  } cases[] = {
      {"Canon EOS 5D.jpg", 1020, 8579, 1},    {"Apple iPhone 4S.jpg", 700, 11486, 6},
      {"Nikon D40.jpg", 36280, 6833, 6},      {"Nikon D100.jpg", 24296, 10339, 1},
      {"Sony Ericsson U10i.jpg", 52684, 7053, 1}, {"Samsung GT-I9100 (Galaxy SII).jpg", 872, 51601, 6},
      {"Nikon D1X.jpg", 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::ifstream in(corpus / "jpeg" / c.file, std::ios::binary);
    ASSERT_TRUE(in) << "missing from the corpus";
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const PictureLocation found = Locate(file);
    EXPECT_EQ(found.picture.offset, c.offset);
    EXPECT_EQ(found.picture.length, c.length);
    EXPECT_EQ(found.orientation, c.orientation);
  }
}

TEST(Thumbnail, CorpusFilesNeverFault) {
  const fs::path corpus = fs::path(TESSARINE_CORPUS_DIR);
  if (!fs::exists(corpus / "hostile")) GTEST_SKIP() << "no photo corpus at " << corpus.string();
  for (const char* folder : {"hostile", "tiff", "jpeg", "psd"}) {
    for (const auto& entry : fs::directory_iterator(corpus / folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      TMemoryStream stream(file.data(), file.size());
      const PictureLocation found = LocateStoredPicture(stream);
      const std::vector<uint8_t> bytes = ReadStoredPicture(stream, found.picture);
      EXPECT_LE(int64_t(bytes.size()), kMaxStoredPictureBytes);
    }
  }
}

TEST(Thumbnail, PictureInTheHeadOnlyWhenItLiesWhollyThere) {
  const Bytes thumb = JpegHeader(160, 120);
  const Bytes jpeg = JpegWithThumbnail(6, thumb);
  const Bytes raw = Raw(5);
  const int64_t more = 1 << 20;  // the file goes on past the head
  const size_t thumbEnd = size_t(std::search(jpeg.begin(), jpeg.end(), thumb.begin(), thumb.end()) - jpeg.begin()) + thumb.size();
  struct Case {
    const char* name;
    Bytes head;
    int64_t fileSize;
    int minSide;
    size_t maxBytes;
    size_t expectedBytes;  // 0: none
    int orientation;
  } cases[] = {
      {"JPEG, the whole file", jpeg, int64_t(jpeg.size()), 96, 65536, thumb.size(), 6},
      {"JPEG, more after the head", jpeg, int64_t(jpeg.size()) + more, 96, 65536, thumb.size(), 6},
      // A JPEG stores one picture: a box larger than it still takes it.
      {"JPEG, a box above the thumbnail", jpeg, int64_t(jpeg.size()) + more, 400, 65536, thumb.size(), 6},
      {"JPEG, the head ends inside the thumbnail", Bytes(jpeg.begin(), jpeg.begin() + long(thumbEnd) - 3), int64_t(jpeg.size()), 96,
       65536, 0, 1},
      {"JPEG, a thumbnail over the cap", jpeg, int64_t(jpeg.size()), 96, thumb.size() - 1, 0, 1},
      {"raw, the preview that fits", raw, int64_t(raw.size()) + more, 1000, 65536, JpegHeader(1600, 1200).size(), 5},
      // The largest in the head is short of the box: a fitting one may lie further on.
      {"raw, nothing fits in the head", raw, int64_t(raw.size()) + more, 4000, 65536, 0, 1},
      {"raw, nothing fits in the whole file", raw, int64_t(raw.size()), 4000, 65536, JpegHeader(1600, 1200).size(), 5},
      {"no head", Bytes{}, 1000, 96, 65536, 0, 1},
      {"not a picture", Text("plain text, nothing stored here"), 31, 96, 65536, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const HeadPicture found = StoredPictureInHead(c.head, c.fileSize, c.minSide, c.maxBytes);
    EXPECT_EQ(found.jpeg.size(), c.expectedBytes);
    EXPECT_EQ(found.orientation, c.orientation);
  }
}

TEST(Thumbnail, AWholeFileIsDecodedOnlyWhenItsClaimedSizeIsBelievable) {
  auto bytes = [](std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out.push_back(uint8_t(v));
    return out;
  };
  auto padded = [](Bytes b, size_t size) {
    b.resize(std::max(b.size(), size), 0);
    return b;
  };
  // PNG signature and IHDR of width x height.
  auto png = [&](uint32_t w, uint32_t h) {
    return bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', int(w >> 24), int(w >> 16 & 255),
                  int(w >> 8 & 255), int(w & 255), int(h >> 24), int(h >> 16 & 255), int(h >> 8 & 255), int(h & 255), 8, 6, 0, 0, 0});
  };
  // A progressive frame behind a segment longer than a first read (a camera's Exif).
  const Bytes progressive = JpegHeader(4000, 3000, 0xC2);
  const Bytes farFrame = Concat({Bytes{0xFF, 0xD8}, Segment(0xE1, Bytes(60000, 0)), Bytes(progressive.begin() + 2, progressive.end())});
  // 613 bytes claiming 49157 x 27397 pixels (a fuzzed file that cost Wine's codec 3.5 GB)
  const Bytes giga = Concat({Bytes{0xFF, 0xD8}, Segment(0xC2, bytes({8, 0x6B, 0x05, 0xC0, 0x05, 1, 1, 0x11, 0}))});
  struct Case {
    const char* what;
    Bytes file;
    PictureClaim claim;
    int width, height;
    bool decoded;
  } cases[] = {
      {"jpeg, frame after 60 KB of Exif", farFrame, PictureClaim::Known, 4000, 3000, true},
      {"jpeg, a few bytes claiming gigapixels", padded(giga, 613), PictureClaim::Known, 49157, 27397, false},
      {"jpeg, scan before any frame", Concat({Bytes{0xFF, 0xD8}, Segment(0xDA, Bytes(10, 0)), Bytes{0xFF, 0xD9}}),
       PictureClaim::Damaged, 0, 0, false},
      {"jpeg, segment running past the end", Concat({Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xF0}, Bytes(100, 0)}),
       PictureClaim::Damaged, 0, 0, false},
      {"jpeg, height to come later", Concat({Bytes{0xFF, 0xD8}, Segment(0xC0, bytes({8, 0, 0, 0, 16, 1, 1, 0x11, 0}))}),
       PictureClaim::Damaged, 0, 0, false},
      {"png", padded(png(640, 480), 2000), PictureClaim::Known, 640, 480, true},
      {"png, 100 bytes claiming 50000 x 50000", padded(png(50000, 50000), 100), PictureClaim::Known, 50000, 50000, false},
      {"png, no header chunk", padded(bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'i', 'D', 'A', 'T'}), 40),
       PictureClaim::Damaged, 0, 0, false},
      {"gif", padded(bytes({'G', 'I', 'F', '8', '9', 'a', 0x40, 0x01, 0xF0, 0x00}), 1000), PictureClaim::Known, 320, 240, true},
      {"bmp, rows top down", padded(bytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0x20, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF}), 3200),
       PictureClaim::Known, 32, 16, true},
      {"webp, lossy", padded(bytes({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', ' ', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x02, 0xE0, 0x01}), 2000),
       PictureClaim::Known, 640, 480, true},
      {"webp, extended", padded(bytes({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'X', 10, 0, 0, 0, 0, 0, 0, 0, 0x7F, 0x02, 0, 0xDF, 0x01, 0}), 2000),
       PictureClaim::Known, 640, 480, true},
      {"webp, lossless", padded(bytes({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'L', 0, 0, 0, 0, 0x2F, 0x7F, 0xC2, 0x77, 0, 0, 0, 0, 0, 0}), 2000),
       PictureClaim::Known, 640, 480, true},
      {"tiff (left to its codec)", padded(bytes({'I', 'I', 42, 0, 8, 0, 0, 0}), 100), PictureClaim::Unknown, 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TMemoryStream stream(c.file.data(), c.file.size());
    int width = 0, height = 0;
    EXPECT_EQ(ClaimedPictureSize(stream, width, height), c.claim);
    if (c.claim == PictureClaim::Known) {
      EXPECT_EQ(width, c.width);
      EXPECT_EQ(height, c.height);
    }
    EXPECT_EQ(WorthDecodingWhole(stream), c.decoded);
  }
}
