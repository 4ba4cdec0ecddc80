// The preview pane's picture: which picture it is made from, and the reads that serve only
// the latest ask.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "browse/Preview.h"
#include "support/PictureFixtures.h"

using namespace tess;
using namespace tess::fixtures;

namespace {

// Reads no picture format: the stored picture comes out at its stated frame size fitted to
// the box, a whole file as 4000 x 3000 fitted; it counts the whole-file decodes.
class FakeDecoder : public ImageDecoder {
 public:
  bool DecodeBytes(std::span<const uint8_t> bytes, int boxWidth, int boxHeight, Bitmap& out) override {
    int w = 0, h = 0;
    if (!JpegFrameSize(bytes, w, h) || !FitInBox(w, h, boxWidth, boxHeight, out.width, out.height)) return false;
    out.sourceWidth = w, out.sourceHeight = h;
    out.pixels.assign(size_t(out.width) * size_t(out.height), 1);
    return true;
  }
  bool DecodeFile(const std::u16string&, int boxWidth, int boxHeight, Bitmap& out) override {
    ++fileCalls;
    if (!decodesFiles || !FitInBox(4000, 3000, boxWidth, boxHeight, out.width, out.height)) return false;
    out.sourceWidth = 4000, out.sourceHeight = 3000;
    out.pixels.assign(size_t(out.width) * size_t(out.height), 2);
    return true;
  }
  bool decodesFiles = true;
  int fileCalls = 0;
};

}  // namespace

TEST(Preview, TakesTheStoredPictureOnlyWhenItFillsThePaneOrTheFileCannotBeDecoded) {
  const TempFolder folder("preview");
  WriteFile(folder + u"small.jpg", WithFrame(JpegWithThumbnail(1, JpegHeader(160, 120)), 4000, 3000));
  WriteFile(folder + u"large.jpg", WithFrame(JpegWithThumbnail(1, JpegHeader(1600, 1200)), 4000, 3000));
  WriteFile(folder + u"turned.jpg", WithFrame(JpegWithThumbnail(6, JpegHeader(1600, 1200)), 4000, 3000));
  // A raw whose codec may be missing: its stored picture, however small.
  WriteFile(folder + u"small.nef", JpegWithThumbnail(1, JpegHeader(160, 120)));
  WriteFile(folder + u"lying.jpg", WithFrame(JpegWithThumbnail(1, JpegHeader(60000, 60000)), 4000, 3000));
  struct Case {
    const char16_t* name;
    bool decodesFiles;
    ThumbnailOrigin origin;
    int width, height, pixelWidth, pixelHeight;
  } cases[] = {
      {u"small.jpg", true, ThumbnailOrigin::File, 400, 300, 4000, 3000},
      {u"small.jpg", false, ThumbnailOrigin::Stored, 160, 120, 160, 120},  // never enlarged
      {u"large.jpg", true, ThumbnailOrigin::Stored, 400, 300, 1600, 1200},
      {u"turned.jpg", true, ThumbnailOrigin::Stored, 225, 300, 1200, 1600},
      {u"small.nef", true, ThumbnailOrigin::Stored, 160, 120, 160, 120},
      {u"lying.jpg", true, ThumbnailOrigin::File, 400, 300, 4000, 3000},
      {u"lying.jpg", false, ThumbnailOrigin::None, 0, 0, 0, 0},
      {u"missing.jpg", true, ThumbnailOrigin::None, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)) + (c.decodesFiles ? "" : " (no codec)"));
    FakeDecoder decoder;
    decoder.decodesFiles = c.decodesFiles;
    const PreviewPicture picture = ReadPreview(folder + c.name, 400, 300, decoder);
    EXPECT_EQ(picture.origin, c.origin);
    EXPECT_EQ(picture.bitmap.width, c.width);
    EXPECT_EQ(picture.bitmap.height, c.height);
    EXPECT_EQ(picture.pixelWidth, c.pixelWidth);
    EXPECT_EQ(picture.pixelHeight, c.pixelHeight);
  }
}

TEST(Preview, AnAskReplacedWhileItIsReadIsDropped) {
  std::mutex m;
  std::condition_variable cv;
  bool firstStarted = false, releaseFirst = false;
  int readyCalls = 0;
  PreviewReads reads(
      [&](const std::u16string& path, int, int) {
        PreviewPicture p;
        p.pixelWidth = static_cast<int>(path.size());
        if (path == u"first") {
          std::unique_lock lock(m);
          firstStarted = true;
          cv.notify_all();
          cv.wait(lock, [&] { return releaseFirst; });
        }
        return p;
      },
      [&] {
        std::lock_guard lock(m);
        ++readyCalls;
        cv.notify_all();
      });
  reads.Ask(u"first", 10, 10);
  {
    std::unique_lock lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return firstStarted; }));
  }
  // The focus moves on twice while the first decode runs: only the last ask is answered.
  reads.Ask(u"second", 10, 10);
  const uint64_t last = reads.Ask(u"third!", 10, 10);
  {
    std::lock_guard lock(m);
    releaseFirst = true;
    cv.notify_all();
  }
  {
    std::unique_lock lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return readyCalls > 0; }));
  }
  std::optional<PreviewReads::Answer> answer = reads.Take();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->ask, last);
  EXPECT_EQ(answer->path, u"third!");
  EXPECT_FALSE(reads.Take()) << "one answer, taken once";

  reads.Ask(u"fourth", 10, 10);
  reads.Cancel();  // nothing to preview any more
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(reads.Take());
}
