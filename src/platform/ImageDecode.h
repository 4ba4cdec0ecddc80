#pragma once
// Pictures decoded by the system's codecs behind a small seam: the program hands over an
// encoded picture (a stored thumbnail, or a whole photo file) and a box, and gets back a
// bitmap that fits the box. The codec never decodes a picture whose claimed size passes
// the caps, so a file cannot make it allocate without bound.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tess {

// 32-bit pixels, blue, green, red, alpha in memory order, rows top to bottom without gaps.
struct Bitmap {
  int width = 0, height = 0;
  // The picture's own size, before it was fitted to the box (0 when not decoded here).
  int sourceWidth = 0, sourceHeight = 0;
  std::vector<uint32_t> pixels;
  bool Empty() const { return width <= 0 || height <= 0; }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
};

// The largest picture the codec is asked to decode: a side (a photo is far below it) and
// pixels in all (a 200-megapixel file is the most any camera makes).
constexpr int kMaxDecodeSide = 30000;
constexpr int64_t kMaxDecodePixels = 250'000'000;

// The size of a width x height picture shrunk to fit boxWidth x boxHeight with its
// proportions kept (never enlarged; at least one pixel each way). False for a size of no
// pixels or past the caps.
bool FitInBox(int width, int height, int boxWidth, int boxHeight, int& fitWidth, int& fitHeight);

// Whether encoded bytes could hold a width x height picture: even a picture of one flat
// colour takes a byte per few hundred pixels. A file that claims far more pixels than its
// bytes could carry (a photo whose image data was cut away) is not decoded: the codec would
// allocate the whole claimed picture for nothing.
bool PlausiblyEncoded(int64_t encodedBytes, int width, int height);

class ImageDecoder {
 public:
  virtual ~ImageDecoder() = default;
  // Decodes the picture in bytes scaled to fit the box; false when it is no picture the
  // codec reads, or larger than the caps. Safe on any thread.
  virtual bool DecodeBytes(std::span<const uint8_t> bytes, int boxWidth, int boxHeight, Bitmap& out) = 0;
  // The same for the file at path (a photo without a stored picture).
  virtual bool DecodeFile(const std::u16string& path, int boxWidth, int boxHeight, Bitmap& out) = 0;
};

// The system's codecs (WIC on Windows; none elsewhere, where nothing is decoded).
ImageDecoder& SystemImageDecoder();

}  // namespace tess
