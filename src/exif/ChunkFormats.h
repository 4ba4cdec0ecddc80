#pragma once
// PNG (the `eXIf` chunk) and WebP (the `EXIF` chunk of its RIFF container). Only chunk
// headers are read on the way; image data is skipped by seeking.
#include <cstdint>
#include <vector>

#include "exif/Streams.h"

namespace tess {

enum class TChunkContainer { None, Png, WebP };

// Recognises a PNG or WebP file at the stream's position and copies its Exif chunk (at
// most kMaxMediaBlockSize bytes) into exif, which stays empty when there is none or the walk
// met a fault first. Never raises on a damaged file.
TChunkContainer ReadChunkContainerExif(TStream& stream, std::vector<uint8_t>& exif);

}  // namespace tess
