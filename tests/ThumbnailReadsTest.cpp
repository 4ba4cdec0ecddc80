// Thumbnails for the view: the turn of a decoded picture, the fit into a box, the slots that
// let the least recent go, the reads' order, and the picture read from a photo file.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "browse/FileRecords.h"
#include "browse/Thumbnails.h"
#include "platform/Text.h"
#include "support/PictureFixtures.h"

using namespace tess;
using namespace tess::fixtures;

namespace {

// A 3 x 2 bitmap whose pixels are 1..6 row by row.
Bitmap Numbered() {
  Bitmap b;
  b.width = 3, b.height = 2;
  b.pixels = {1, 2, 3, 4, 5, 6};
  return b;
}

// A decoder that reads no picture format: it answers with a bitmap of the stored picture's
// stated frame size filled with its length, and counts what it was asked.
class FakeDecoder : public ImageDecoder {
 public:
  bool DecodeBytes(std::span<const uint8_t> bytes, int boxWidth, int boxHeight, Bitmap& out) override {
    ++bytesCalls;
    int w = 0, h = 0;
    if (!JpegFrameSize(bytes, w, h) || !FitInBox(w, h, boxWidth, boxHeight, out.width, out.height)) return false;
    out.pixels.assign(size_t(out.width) * size_t(out.height), uint32_t(bytes.size()));
    return true;
  }
  bool DecodeFile(const std::u16string&, int boxWidth, int boxHeight, Bitmap& out) override {
    ++fileCalls;
    out.width = 8, out.height = 4;
    out.pixels.assign(32, 7);
    return true;
  }
  int bytesCalls = 0, fileCalls = 0;
};

}  // namespace

TEST(ThumbnailReads, TurnsAsShot) {
  // Each orientation's picture as a person sees it, row by row.
  struct Case {
    int orientation, width, height;
    std::vector<uint32_t> pixels;
  } cases[] = {
      {1, 3, 2, {1, 2, 3, 4, 5, 6}}, {2, 3, 2, {3, 2, 1, 6, 5, 4}}, {3, 3, 2, {6, 5, 4, 3, 2, 1}},
      {4, 3, 2, {4, 5, 6, 1, 2, 3}}, {5, 2, 3, {1, 4, 2, 5, 3, 6}}, {6, 2, 3, {4, 1, 5, 2, 6, 3}},
      {7, 2, 3, {6, 3, 5, 2, 4, 1}}, {8, 2, 3, {3, 6, 2, 5, 1, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orientation);
    const Bitmap turned = TurnBitmap(Numbered(), TurnForOrientation(c.orientation));
    EXPECT_EQ(turned.width, c.width);
    EXPECT_EQ(turned.height, c.height);
    EXPECT_EQ(turned.pixels, c.pixels);
  }
}

TEST(ThumbnailReads, FitsTheBox) {
  struct Case {
    int width, height, boxWidth, boxHeight;
    bool ok;
    int fitWidth, fitHeight;
  } cases[] = {
      {160, 120, 96, 96, true, 96, 72},     {120, 160, 96, 96, true, 72, 96},   {50, 40, 96, 96, true, 50, 40},
      {6000, 10, 96, 96, true, 96, 1},      {4000, 3000, 400, 100, true, 133, 100},
      {0, 10, 96, 96, false, 0, 0},         {60000, 60000, 96, 96, false, 0, 0},
      {20000, 20000, 96, 96, false, 0, 0},  // 400 megapixels
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    int w = 0, h = 0;
    EXPECT_EQ(FitInBox(c.width, c.height, c.boxWidth, c.boxHeight, w, h), c.ok);
    if (c.ok) {
      EXPECT_EQ(w, c.fitWidth);
      EXPECT_EQ(h, c.fitHeight);
    }
  }
}

TEST(ThumbnailReads, SlotsLetTheLeastRecentGo) {
  ThumbnailSlots slots(2);
  int a = 1, b = 2, c = 3;
  EXPECT_EQ(slots.Find(&a), -1);
  const int slotA = slots.Take(&a), slotB = slots.Take(&b);
  EXPECT_NE(slotA, slotB);
  EXPECT_EQ(slots.Find(&a), slotA);  // a is now the most recent: b goes
  EXPECT_EQ(slots.Take(&c), slotB);
  EXPECT_EQ(slots.Find(&b), -1);
  EXPECT_EQ(slots.Find(&a), slotA);
  EXPECT_EQ(slots.Size(), 2);
}

TEST(ThumbnailReads, ReadsThePictureAPhotoStores) {
  const TempFolder folder("thumbs");
  WriteFile(folder + u"turned.jpg", JpegWithThumbnail(6, JpegHeader(160, 120)));
  WriteFile(folder + u"plain.jpg", WithFrame(Jpeg({}), 800, 400));
  WriteFile(folder + u"lying.jpg", JpegWithThumbnail(1, JpegHeader(60000, 60000)));
  // A frame claiming far more pixels than the file's bytes carry: a codec that decodes on
  // opening would allocate gigabytes.
  WriteFile(folder + u"bomb.jpg", WithFrame(Jpeg({}), 49157, 27397));
  struct Case {
    const char16_t* name;
    bool decodeFile;
    ThumbnailOrigin origin;
    int width, height, fileCalls;
  } cases[] = {
      {u"turned.jpg", true, ThumbnailOrigin::Stored, 72, 96, 0},  // 96 x 72 stored, a quarter turn
      {u"plain.jpg", false, ThumbnailOrigin::None, 0, 0, 0},
      {u"plain.jpg", true, ThumbnailOrigin::File, 8, 4, 1},
      {u"lying.jpg", false, ThumbnailOrigin::None, 0, 0, 0},
      {u"bomb.jpg", true, ThumbnailOrigin::None, 0, 0, 0},
      {u"missing.jpg", true, ThumbnailOrigin::None, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
    FakeDecoder decoder;
    const ThumbnailPicture picture = ReadThumbnail(folder + c.name, 96, decoder, c.decodeFile);
    EXPECT_EQ(picture.origin, c.origin);
    EXPECT_EQ(picture.bitmap.width, c.width);
    EXPECT_EQ(picture.bitmap.height, c.height);
    EXPECT_EQ(decoder.fileCalls, c.fileCalls);
  }
}

TEST(ThumbnailReads, NewestAsksFirstFilesAfterStoredPicturesAndANewFolderDrops) {
  std::mutex mutex;
  std::condition_variable changed;
  bool open = false;
  std::vector<std::u16string> order;
  ThumbnailReads reads(
      [&](const std::u16string& path, int, bool decodeFile) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return open; });
        order.push_back(path + (decodeFile ? u"+file" : u""));
        ThumbnailPicture picture;
        if (path.find(u"stored") != std::u16string::npos || decodeFile) {
          picture.origin = decodeFile ? ThumbnailOrigin::File : ThumbnailOrigin::Stored;
          picture.bitmap.width = picture.bitmap.height = 1;
          picture.bitmap.pixels = {1};
        }
        return picture;
      },
      nullptr, 1);
  int keys[4];
  reads.Start(u"old\\", 96);
  reads.Ask(&keys[0], u"dropped.jpg");
  reads.Start(u"F\\", 96);
  // The one worker may take the first ask before the others come: hold it until all are in.
  reads.Ask(&keys[1], u"stored1.jpg");
  reads.Ask(&keys[2], u"none.png");
  reads.Ask(&keys[3], u"stored2.jpg");
  {
    std::lock_guard lock(mutex);
    open = true;
  }
  changed.notify_all();
  std::vector<ThumbnailReads::Result> results;
  for (int i = 0; i < 500 && results.size() < 3; ++i) {
    for (auto& r : reads.Take()) results.push_back(std::move(r));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(results.size(), 3u);
  std::lock_guard lock(mutex);
  // The worker may have taken the first ask before the later ones came, or the dropped one.
  std::vector<std::u16string> seen;
  for (const auto& p : order)
    if (p.find(u"old\\") == std::u16string::npos) seen.push_back(p);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen.back(), u"F\\none.png+file");  // the whole file last
  // Asked after none.png, stored2 was read before it.
  EXPECT_LT(std::find(seen.begin(), seen.end(), u"F\\stored2.jpg") - seen.begin(),
            std::find(seen.begin(), seen.end(), u"F\\none.png") - seen.begin());
  for (const auto& r : results) EXPECT_NE(r.key, &keys[0]);
}

TEST(ThumbnailReads, RawJpegPairsByStem) {
  JpegPairs pairs;
  for (const char16_t* name : {u"IMG_0001.CR2", u"IMG_0001.JPG", u"img_0002.nef", u"IMG_0002.jpeg", u"IMG_0003.ARW",
                               u"IMG_0003.PNG", u"DSC.1.dng", u"dsc.1.JPG"})
    pairs.Add(name);
  struct Case {
    const char16_t* raw;
    const char16_t* pair;
  } cases[] = {
      {u"IMG_0001.CR2", u"IMG_0001.JPG"},
      {u"img_0002.nef", u"IMG_0002.jpeg"},  // stems compared without case
      {u"IMG_0003.ARW", u""},               // a PNG is no pair
      {u"DSC.1.dng", u"dsc.1.JPG"},         // the stem ends at the last dot
      {u"IMG_0001.JPG", u""},               // only a raw has a pair
      {u"IMG_0009.CR2", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(pairs.PairOf(c.raw), c.pair) << ToUtf8(c.raw);
}

TEST(ThumbnailReads, APictureReadWithTheDateAndARawsJpegStandIn) {
  // The file reader answers only for the names that store a picture; it logs every read.
  std::mutex mutex;
  std::vector<std::u16string> fileReads;
  ThumbnailReads reads(
      [&](const std::u16string& path, int, bool) {
        std::lock_guard lock(mutex);
        fileReads.push_back(path);
        ThumbnailPicture picture;
        if (path.find(u"stores") != std::u16string::npos) {
          picture.origin = ThumbnailOrigin::Stored;
          picture.bitmap.width = picture.bitmap.height = 1;
          picture.bitmap.pixels = {2};
        }
        return picture;
      },
      nullptr, 1,
      [](std::span<const uint8_t> jpeg, int orientation, int) {
        ThumbnailPicture picture;
        if (jpeg.size() == 3) {  // the good picture of the test
          picture.origin = ThumbnailOrigin::Stored;
          picture.orientation = orientation;
          picture.bitmap.width = picture.bitmap.height = 1;
          picture.bitmap.pixels = {1};
        }
        return picture;
      });
  auto head = [](size_t size) {
    auto picture = std::make_shared<HeadPicture>();
    picture->jpeg.assign(size, 0xFF);
    picture->orientation = 6;
    return std::shared_ptr<const HeadPicture>(picture);
  };
  int keys[4];
  reads.Start(u"F/", 96);
  reads.AskDecode(&keys[0], u"good.jpg", head(3));            // from the date's bytes: no read
  reads.AskDecode(&keys[1], u"bad-stores.jpg", head(5));      // bytes that fail: the file's way
  reads.Ask(&keys[2], u"a.cr2", u"a-stores.jpg");              // a raw without: its JPEG's
  reads.Ask(&keys[3], u"b.cr2");                              // neither: decoded whole at last
  std::vector<ThumbnailReads::Result> results;
  for (int i = 0; i < 500 && results.size() < 4; ++i) {
    for (auto& r : reads.Take()) results.push_back(std::move(r));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(results.size(), 4u);
  std::map<const void*, ThumbnailPicture> byKey;
  for (auto& r : results) byKey[r.key] = std::move(r.picture);
  EXPECT_EQ(byKey[&keys[0]].bitmap.pixels, std::vector<uint32_t>{1});
  EXPECT_EQ(byKey[&keys[0]].orientation, 6);
  EXPECT_EQ(byKey[&keys[1]].bitmap.pixels, std::vector<uint32_t>{2});
  EXPECT_EQ(byKey[&keys[2]].bitmap.pixels, std::vector<uint32_t>{2});
  EXPECT_TRUE(byKey[&keys[3]].bitmap.Empty());
  std::lock_guard lock(mutex);
  EXPECT_EQ(std::count(fileReads.begin(), fileReads.end(), u"F/good.jpg"), 0) << "read once, with its date";
  EXPECT_EQ(std::count(fileReads.begin(), fileReads.end(), u"F/a-stores.jpg"), 1);
  // b.cr2 and nothing else: the stored pass, then the whole file.
  EXPECT_EQ(std::count(fileReads.begin(), fileReads.end(), u"F/b.cr2"), 2);
}

TEST(ThumbnailReads, TheDateReadKeepsThePictureItFetched) {
  const TempFolder folder("headpictures");
  const Bytes thumb = JpegHeader(160, 120);
  Bytes big = thumb;
  big.insert(big.end() - 2, 70000, 0);  // past the 64 KiB the date's read fetches
  WriteFile(folder + u"small.jpg", JpegWithThumbnail(6, thumb));
  WriteFile(folder + u"big.jpg", JpegWithThumbnail(3, big));
  WriteFile(folder + u"plain.jpg", Jpeg({}));
  struct Case {
    const char16_t* name;
    size_t bytes;
    int orientation;
  } cases[] = {{u"small.jpg", thumb.size(), 6}, {u"big.jpg", 0, 1}, {u"plain.jpg", 0, 1}, {u"missing.jpg", 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.name));
    HeadPicture picture;
    ReadRecordMetadata(folder + c.name, ExifMetadataSource(), picture, 96);
    EXPECT_EQ(picture.jpeg.size(), c.bytes);
    EXPECT_EQ(picture.orientation, c.orientation);
    if (c.bytes) EXPECT_EQ(picture.jpeg, thumb);
  }
}

TEST(ThumbnailReads, AFileClaimingMorePixelsThanItsBytesCarryIsNotDecoded) {
  struct Case {
    int64_t bytes;
    int width, height;
    bool decoded;
  } cases[] = {
      {2'500'000, 6000, 4000, true},   // a real 24-megapixel JPEG
      {50'000, 4000, 3000, true},      // one flat colour compresses this far, no further
      {5'649, 4640, 3480, false},      // a camera's header over image data cut away
      {1'000, 160, 120, true},         // a stored thumbnail
      {0, 160, 120, false},
      {1'000'000, 0, 120, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PlausiblyEncoded(c.bytes, c.width, c.height), c.decoded) << c.bytes << " " << c.width << "x" << c.height;
}
