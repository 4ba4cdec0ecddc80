#include "PictureFixtures.h"

namespace tess::fixtures {

Bytes JpegHeader(int width, int height, uint8_t frameMarker) {
  Bytes frame{8, uint8_t(height >> 8), uint8_t(height), uint8_t(width >> 8), uint8_t(width), 1, 1, 0x11, 0};
  return Concat({Bytes{0xFF, 0xD8}, Segment(frameMarker, frame), Bytes{0xFF, 0xD9}});
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

}  // namespace tess::fixtures
