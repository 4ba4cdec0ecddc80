#include "exif/ChunkFormats.h"

#include <cstring>

#include "exif/IsoMedia.h"

namespace tess {

namespace {

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Chunk headers one walk may read: a PNG of many small IDAT chunks ends well within it,
// a file of millions of empty chunks does not cost a read each.
constexpr int kChunkBudget = 100000;

bool ReadChunk(TStream& stream, int64_t at, int64_t length, std::vector<uint8_t>& out) {
  if (length <= 0 || length > int64_t(kMaxMediaBlockSize)) return false;
  out.resize(size_t(length));
  stream.SetPosition(at);
  if (stream.Read(out.data(), out.size()) == out.size()) return true;
  out.clear();
  return false;
}

void PngExif(TStream& stream, int64_t pos, std::vector<uint8_t>& exif) {
  const int64_t end = stream.Size();
  for (int budget = kChunkBudget; budget > 0 && end - pos >= 12; --budget) {
    uint8_t h[8];
    stream.SetPosition(pos);
    if (stream.Read(h, 8) != 8) return;
    int64_t length = (int64_t(h[0]) << 24) | (h[1] << 16) | (h[2] << 8) | h[3];
    if (length > end - pos - 12) return;  // the chunk and its CRC must fit
    if (std::memcmp(h + 4, "eXIf", 4) == 0) {
      ReadChunk(stream, pos + 8, length, exif);
      return;
    }
    if (std::memcmp(h + 4, "IEND", 4) == 0) return;
    pos += 12 + length;
  }
}

void WebPExif(TStream& stream, int64_t start, uint32_t riffSize, std::vector<uint8_t>& exif) {
  const int64_t end = std::min<int64_t>(stream.Size(), start + 8 + int64_t(riffSize));
  int64_t pos = start + 12;
  for (int budget = kChunkBudget; budget > 0 && end - pos >= 8; --budget) {
    uint8_t h[8];
    stream.SetPosition(pos);
    if (stream.Read(h, 8) != 8) return;
    int64_t length = int64_t(h[4]) | (int64_t(h[5]) << 8) | (int64_t(h[6]) << 16) | (int64_t(h[7]) << 24);
    if (length > end - pos - 8) return;
    if (std::memcmp(h, "EXIF", 4) == 0) {
      ReadChunk(stream, pos + 8, length, exif);
      return;
    }
    pos += 8 + length + (length & 1);  // chunks are padded to an even length
  }
}

}  // namespace

TChunkContainer ReadChunkContainerExif(TStream& stream, std::vector<uint8_t>& exif) {
  exif.clear();
  const int64_t start = stream.Position();
  uint8_t h[12];
  size_t n = stream.Read(h, 12);
  if (n >= 8 && std::memcmp(h, kPngSignature, 8) == 0) {
    PngExif(stream, start + 8, exif);
    return TChunkContainer::Png;
  }
  if (n == 12 && std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WEBP", 4) == 0) {
    uint32_t riffSize = uint32_t(h[4]) | (uint32_t(h[5]) << 8) | (uint32_t(h[6]) << 16) | (uint32_t(h[7]) << 24);
    WebPExif(stream, start, riffSize, exif);
    return TChunkContainer::WebP;
  }
  stream.SetPosition(start);
  return TChunkContainer::None;
}

}  // namespace tess
