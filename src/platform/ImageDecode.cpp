#include "platform/ImageDecode.h"

#include <algorithm>

namespace tess {

bool PlausiblyEncoded(int64_t encodedBytes, int width, int height) {
  if (width <= 0 || height <= 0 || encodedBytes <= 0) return false;
  return int64_t{width} * height <= encodedBytes * 512;
}

bool FitInBox(int width, int height, int boxWidth, int boxHeight, int& fitWidth, int& fitHeight) {
  if (width <= 0 || height <= 0 || width > kMaxDecodeSide || height > kMaxDecodeSide ||
      int64_t{width} * height > kMaxDecodePixels || boxWidth <= 0 || boxHeight <= 0)
    return false;
  fitWidth = width, fitHeight = height;
  // The side that overflows the box more decides the scale; products in 64 bits.
  if (int64_t{width} * boxHeight >= int64_t{height} * boxWidth) {
    if (width > boxWidth) {
      fitWidth = boxWidth;
      fitHeight = static_cast<int>((int64_t{height} * boxWidth + width / 2) / width);
    }
  } else if (height > boxHeight) {
    fitHeight = boxHeight;
    fitWidth = static_cast<int>((int64_t{width} * boxHeight + height / 2) / height);
  }
  fitWidth = std::max(fitWidth, 1), fitHeight = std::max(fitHeight, 1);
  return true;
}

}  // namespace tess
