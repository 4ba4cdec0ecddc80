#include "platform/BrowseFolder.h"

#include <cstddef>

namespace tess {

int SpecialDirCsidl(SpecialFolder dir) {
  static const int kCsidl[] = {
      0,  0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 16, 17, 18, 19,
      20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39,
      40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 53, 54, 55, 56, 57, 58, 59, 61, 62,
  };
  static_assert(sizeof kCsidl / sizeof kCsidl[0] == 59, "one CSIDL per special folder");
  auto i = static_cast<size_t>(dir);
  return i < sizeof kCsidl / sizeof kCsidl[0] ? kCsidl[i] : 0;
}

uint32_t BrowseFlags(const BrowseOptions& options) {
  static const uint32_t kFlags[] = {0x1,  0x2,   0x4,   0x8,    0x10,   0x20,   0x40,   0x50,
                                    0x80, 0x100, 0x200, 0x400, 0x1000, 0x2000, 0x4000, 0x8000};
  uint32_t flags = 0;
  for (unsigned i = 0; i < sizeof kFlags / sizeof kFlags[0]; ++i)
    if (options.Has(static_cast<BrowseOption>(i))) flags |= kFlags[i];
  return flags;
}

BrowsePlacement PlaceBrowseDialog(int formLeft, int formTop, int formWidth, int formHeight, int screenWidth,
                                  int screenHeight) {
  BrowsePlacement p{formLeft, formTop, BrowseWidth(formWidth), BrowseHeight(formHeight)};
  if (formLeft == 0 && formTop == 0) {
    p.left = (screenWidth - p.width) / 2;
    p.top = (screenHeight - p.height) / 2;
  }
  return p;
}

}  // namespace tess
