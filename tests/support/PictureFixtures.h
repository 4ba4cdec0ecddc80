#pragma once
// Photos with a stored picture, for the thumbnail locator and the thumbnail view.
#include <cstdint>
#include <optional>

#include "ExifFixtures.h"

namespace tess::fixtures {

// SOI, a frame header (SOF0 unless told) of the given size, EOI: enough JPEG for the
// thumbnail locator, not for a decoder.
Bytes JpegHeader(int width, int height, uint8_t frameMarker = 0xC0);
// A JPEG of fixtures given a frame header of its own (first, after SOI): the main picture,
// which a codec would decode whole.
Bytes WithFrame(const Bytes& jpeg, int width, int height);
// A JPEG whose Exif block holds an Orientation (0: none) in IFD0 and the given thumbnail in
// IFD1; thumbnailOffsetShift moves the stored offset off the real one (a lying file), and
// thumbnailLength, when set, replaces the stored length.
Bytes JpegWithThumbnail(int orientation, const Bytes& thumbnail, bool bigEndian = false,
                        int64_t thumbnailOffsetShift = 0, std::optional<uint32_t> thumbnailLength = {});

}  // namespace tess::fixtures
