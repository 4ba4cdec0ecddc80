#include "PictureFixtures.h"

#include <algorithm>

namespace tess::fixtures {

Bytes JpegHeader(int width, int height, uint8_t frameMarker) {
  Bytes frame{8, uint8_t(height >> 8), uint8_t(height), uint8_t(width >> 8), uint8_t(width), 1, 1, 0x11, 0};
  // Bytes standing for the image data, as many as the flattest real picture of that size
  // needs (up to a segment's most), so that the size is believed.
  const int64_t pixels = int64_t{width} * height;
  const Bytes data(static_cast<size_t>(std::min<int64_t>(pixels / 256 + 1, 65000)), 0);
  return Concat({Bytes{0xFF, 0xD8}, Segment(frameMarker, frame), Segment(0xFE, data), Bytes{0xFF, 0xD9}});
}

Bytes JpegWithThumbnail(int orientation, const Bytes& thumbnail, bool bigEndian, int64_t thumbnailOffsetShift,
                        std::optional<uint32_t> thumbnailLength) {
  auto build = [&](uint32_t offset) {
    TiffBuilder tiff(bigEndian);
    std::vector<Entry> first = {Ascii(271, "Tessarine")};
    if (orientation) first.push_back(Short(0x112, uint16_t(orientation)));
    tiff.AddDirectory(first);
    tiff.AddDirectory({Short(0x103, 6), Long(0x201, offset),
                       Long(0x202, thumbnailLength ? *thumbnailLength : uint32_t(thumbnail.size()))});
    tiff.SetChain({0, 1});
    return tiff.Build();
  };
  const uint32_t at = uint32_t(build(0).size());
  return Jpeg({Segment(0xE1, ExifBlock(Concat({build(uint32_t(int64_t(at) + thumbnailOffsetShift)), thumbnail})))});
}

Bytes WithFrame(const Bytes& jpeg, int width, int height) {
  const Bytes frame = JpegHeader(width, height);
  Bytes out = jpeg;
  out.insert(out.begin() + 2, frame.begin() + 2, frame.end() - 2);
  return out;
}

}  // namespace tess::fixtures
