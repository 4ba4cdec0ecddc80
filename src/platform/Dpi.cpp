#include "platform/Dpi.h"

#include <cstdint>

namespace tess {
namespace {

int MulDivRound(int value, int numerator, int denominator) {
  if (denominator <= 0) return value;
  int64_t product = static_cast<int64_t>(value) * numerator;
  int64_t half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : -((-product + half) / denominator));
}

// A DPI the system cannot mean (0 before a window exists) is taken as the design DPI.
int Sane(int dpi) { return dpi > 0 ? dpi : kDesignDpi; }

}  // namespace

int ScaleToDpi(int designPixels, int dpi) { return MulDivRound(designPixels, Sane(dpi), kDesignDpi); }
int UnscaleFromDpi(int pixels, int dpi) { return MulDivRound(pixels, kDesignDpi, Sane(dpi)); }
int RescaleDpi(int pixels, int fromDpi, int toDpi) { return MulDivRound(pixels, Sane(toDpi), Sane(fromDpi)); }

}  // namespace tess
