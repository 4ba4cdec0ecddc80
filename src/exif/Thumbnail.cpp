#include "exif/Thumbnail.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <set>

#include "platform/ImageDecode.h"

namespace tess {

namespace {

// Bounds on the walk: no camera stores more, and a hostile file cannot make it longer.
constexpr int kMaxDirectories = 16;
constexpr int kMaxEntries = 1000;
constexpr int kMaxSubDirectories = 8;
constexpr int kMaxCandidates = 8;
constexpr int kMaxBoxes = 256;
constexpr int kMaxJpegSegments = 64;
constexpr int64_t kMaxBoxRead = 1 << 20;
// The part of a JPEG that is read to find its frame header: the tables before it are small,
// an Exif segment inside a raw's preview may not be, and then the frame is not looked for.
constexpr int64_t kFrameProbeBytes = 64 * 1024;

bool ReadAt(TStream& stream, int64_t offset, void* buffer, size_t count) {
  if (offset < 0) return false;
  stream.SetPosition(offset);
  return stream.Read(buffer, count) == count;
}

// A stretch of bytes with the numbers of one byte order.
struct Bytes {
  std::span<const uint8_t> data;
  bool bigEndian = true;
  bool Has(uint64_t offset, uint64_t count) const { return offset <= data.size() && count <= data.size() - offset; }
  uint16_t U16(size_t at) const {
    return bigEndian ? static_cast<uint16_t>(data[at] << 8 | data[at + 1])
                     : static_cast<uint16_t>(data[at + 1] << 8 | data[at]);
  }
  uint32_t U32(size_t at) const {
    const uint32_t a = data[at], b = data[at + 1], c = data[at + 2], d = data[at + 3];
    return bigEndian ? a << 24 | b << 16 | c << 8 | d : d << 24 | c << 16 | b << 8 | a;
  }
  uint64_t UInt(size_t at, int size) const {
    uint64_t value = 0;
    for (int i = 0; i < size; ++i) value = value << 8 | data[at + static_cast<size_t>(i)];
    return value;
  }
};

bool InFile(int64_t fileSize, int64_t offset, int64_t length) {
  return offset >= 0 && length > 0 && offset <= fileSize && length <= fileSize - offset;
}

// Checks a candidate JPEG in the file: inside it, not too long, SOI first, and (when its
// frame header lies within the probe) of a believable size. Fills in its size.
bool CheckJpeg(TStream& stream, int64_t fileSize, StoredPicture& picture) {
  if (!InFile(fileSize, picture.offset, picture.length) || picture.length < 4 ||
      picture.length > kMaxStoredPictureBytes)
    return false;
  std::vector<uint8_t> head(static_cast<size_t>(std::min(picture.length, kFrameProbeBytes)));
  if (!ReadAt(stream, picture.offset, head.data(), head.size())) return false;
  if (head[0] != 0xFF || head[1] != 0xD8) return false;
  int width = 0, height = 0;
  if (!JpegFrameSize(head, width, height)) return false;
  picture.kind = StoredPictureKind::Jpeg;
  picture.width = width;
  picture.height = height;
  return true;
}

struct TiffWalk {
  TiffWalk(TStream& s, int64_t size, int64_t start) : stream(s), fileSize(size), base(start) {}
  TStream& stream;
  int64_t fileSize;
  int64_t base;  // where the TIFF header starts; offsets count from it
  bool bigEndian = false;
  int orientation = 1;
  std::vector<StoredPicture> candidates;  // unchecked: offsets from the file's start
  std::set<uint64_t> seen;
  int directories = 0;
};

bool ReadTiffHeader(TStream& stream, int64_t base, bool& bigEndian, uint32_t& first) {
  uint8_t header[8];
  if (!ReadAt(stream, base, header, sizeof header)) return false;
  if (header[0] == 'I' && header[1] == 'I')
    bigEndian = false;
  else if (header[0] == 'M' && header[1] == 'M')
    bigEndian = true;
  else
    return false;
  Bytes h{header, bigEndian};
  const uint16_t magic = h.U16(2);
  // 42 is TIFF; Olympus ("RO", "SR") and Panasonic (0x55) raws put their own mark there.
  if (magic != 42 && magic != 0x4F52 && magic != 0x5352 && magic != 0x55) return false;
  first = h.U32(4);
  return true;
}

void WalkDirectory(TiffWalk& walk, uint64_t offset, bool isFirst, bool wantThumbnailOnly);

// One directory's entries: the orientation (first directory), the JPEG it points at, and the
// sub-directories it names (raws keep their previews there).
void WalkDirectory(TiffWalk& walk, uint64_t offset, bool isFirst, bool thumbnailChainOnly) {
  if (offset == 0 || walk.directories >= kMaxDirectories || !walk.seen.insert(offset).second) return;
  ++walk.directories;
  const int64_t at = walk.base + static_cast<int64_t>(offset);
  if (offset > static_cast<uint64_t>(walk.fileSize) || !InFile(walk.fileSize, at, 2)) return;
  uint8_t countBytes[2];
  if (!ReadAt(walk.stream, at, countBytes, 2)) return;
  const uint16_t count = Bytes{countBytes, walk.bigEndian}.U16(0);
  if (count == 0 || count > kMaxEntries || !InFile(walk.fileSize, at + 2, int64_t{count} * 12 + 4)) return;
  std::vector<uint8_t> raw(static_cast<size_t>(count) * 12 + 4);
  if (!ReadAt(walk.stream, at + 2, raw.data(), raw.size())) return;
  Bytes entries{raw, walk.bigEndian};

  uint64_t jpegOffset = 0, jpegLength = 0, stripOffset = 0, stripLength = 0;
  uint32_t compression = 0, photometric = 0, stripCount = 0;
  std::vector<uint64_t> subDirectories;
  for (size_t i = 0; i < count; ++i) {
    const size_t e = i * 12;
    const uint16_t tag = entries.U16(e), type = entries.U16(e + 2);
    const uint32_t n = entries.U32(e + 4);
    // A SHORT's value sits in the first half of the field, a LONG's fills it.
    const uint32_t value = type == 3 ? entries.U16(e + 8) : entries.U32(e + 8);
    const bool single = n == 1 && (type == 3 || type == 4 || type == 13);
    switch (tag) {
      case 0x0112:
        if (isFirst && single && value >= 1 && value <= 8) walk.orientation = static_cast<int>(value);
        break;
      case 0x0201: if (single) jpegOffset = value; break;
      case 0x0202: if (single) jpegLength = value; break;
      case 0x0103: if (single) compression = value; break;
      case 0x0106: if (single) photometric = value; break;
      case 0x0111: if (single) stripOffset = value, stripCount = 1; else stripCount = n; break;
      case 0x0117: if (single) stripLength = value; break;
      case 0x002E:  // Panasonic's JpgFromRaw: a whole JPEG as an UNDEFINED value
        if (type == 7 && n > 4 && !thumbnailChainOnly)
          walk.candidates.push_back({StoredPictureKind::Jpeg, walk.base + static_cast<int64_t>(value), n});
        break;
      case 0x014A:
        if (thumbnailChainOnly || (type != 4 && type != 13)) break;
        if (n == 1) {
          subDirectories.push_back(value);
        } else if (n > 1) {
          const uint32_t take = std::min<uint32_t>(n, kMaxSubDirectories);
          std::vector<uint8_t> list(static_cast<size_t>(take) * 4);
          if (InFile(walk.fileSize, walk.base + int64_t{value}, static_cast<int64_t>(list.size())) &&
              ReadAt(walk.stream, walk.base + int64_t{value}, list.data(), list.size())) {
            Bytes l{list, walk.bigEndian};
            for (uint32_t k = 0; k < take; ++k) subDirectories.push_back(l.U32(size_t{k} * 4));
          }
        }
        break;
      default: break;
    }
  }
  if (jpegOffset && jpegLength)
    walk.candidates.push_back({StoredPictureKind::Jpeg, walk.base + static_cast<int64_t>(jpegOffset),
                               static_cast<int64_t>(jpegLength)});
  // A directory whose one strip is JPEG-compressed colour is a preview; a raw's own data
  // (colour filter array, linear raw) is not a picture even when it is JPEG-coded.
  if (!thumbnailChainOnly && (compression == 6 || compression == 7) && stripCount == 1 && stripOffset &&
      stripLength && photometric != 32803 && photometric != 34892)
    walk.candidates.push_back({StoredPictureKind::Jpeg, walk.base + static_cast<int64_t>(stripOffset),
                               static_cast<int64_t>(stripLength)});

  for (uint64_t sub : subDirectories) WalkDirectory(walk, sub, false, thumbnailChainOnly);
  const uint64_t next = entries.U32(static_cast<size_t>(count) * 12);
  WalkDirectory(walk, next, false, thumbnailChainOnly);
}

// The candidates that pass the checks; of them the smallest whose longer side reaches
// minSide, or else the largest.
StoredPicture ChooseCandidate(TiffWalk& walk, int minSide) {
  StoredPicture best, largest;
  int checked = 0;
  for (StoredPicture c : walk.candidates) {
    if (++checked > kMaxCandidates) break;
    if (!CheckJpeg(walk.stream, walk.fileSize, c)) continue;
    const int64_t area = int64_t{c.width} * c.height;
    if (std::max(c.width, c.height) >= minSide) {
      if (!best || area < int64_t{best.width} * best.height) best = c;
    } else if (!largest || area > int64_t{largest.width} * largest.height) {
      largest = c;
    }
  }
  return best ? best : largest;
}

PictureLocation LocateInTiff(TStream& stream, int64_t fileSize, int64_t base, int minSide, bool thumbnailOnly) {
  PictureLocation out;
  TiffWalk walk(stream, fileSize, base);
  uint32_t first = 0;
  if (!ReadTiffHeader(stream, base, walk.bigEndian, first)) return out;
  WalkDirectory(walk, first, true, thumbnailOnly);
  out.orientation = walk.orientation;
  out.picture = ChooseCandidate(walk, minSide);
  return out;
}

// A JPEG's Exif segment: the thumbnail its second directory points at.
PictureLocation LocateInJpeg(TStream& stream, int64_t fileSize, int minSide) {
  int64_t at = 2;
  for (int i = 0; i < kMaxJpegSegments; ++i) {
    uint8_t marker[4];
    if (!ReadAt(stream, at, marker, sizeof marker) || marker[0] != 0xFF) break;
    if (marker[1] == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker[1] == 0xD8 || marker[1] == 0x01 || (marker[1] >= 0xD0 && marker[1] <= 0xD7)) {
      at += 2;
      continue;
    }
    if (marker[1] == 0xDA || marker[1] == 0xD9) break;  // the image data: no metadata after it
    const int length = marker[2] << 8 | marker[3];
    if (length < 2) break;
    if (marker[1] == 0xE1 && length >= 2 + 6 + 8) {
      uint8_t id[6];
      if (ReadAt(stream, at + 4, id, sizeof id) && std::memcmp(id, "Exif\0\0", 6) == 0)
        return LocateInTiff(stream, fileSize, at + 10, minSide, true);
    }
    at += 2 + length;
  }
  return {};
}

// ISO media boxes ------------------------------------------------------------------------

struct Box {
  int64_t start = 0, contentStart = 0, end = 0;
  std::array<char, 4> type{};
};

// The boxes from begin to end, at most kMaxBoxes; stops at the first header that does not fit.
std::vector<Box> ReadBoxes(TStream& stream, int64_t begin, int64_t end) {
  std::vector<Box> boxes;
  int64_t at = begin;
  while (at + 8 <= end && static_cast<int>(boxes.size()) < kMaxBoxes) {
    uint8_t h[16];
    if (!ReadAt(stream, at, h, 8)) break;
    Bytes b{h};
    uint64_t size = b.U32(0);
    int64_t header = 8;
    if (size == 1) {
      if (at + 16 > end || !ReadAt(stream, at + 8, h + 8, 8)) break;
      size = b.UInt(8, 8);
      header = 16;
    } else if (size == 0) {
      size = static_cast<uint64_t>(end - at);
    }
    if (size < static_cast<uint64_t>(header) || size > static_cast<uint64_t>(end - at)) break;
    Box box;
    box.start = at;
    box.contentStart = at + header;
    box.end = at + static_cast<int64_t>(size);
    std::memcpy(box.type.data(), h + 4, 4);
    boxes.push_back(box);
    at = box.end;
  }
  return boxes;
}

bool IsType(const Box& box, const char* type) { return std::memcmp(box.type.data(), type, 4) == 0; }

// Canon's CR3 metadata box: uuid 85c0b687-820f-11e0-8111-f4ce462b6a48.
const uint8_t kCanonUuid[16] = {0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f, 0x11, 0xe0,
                                0x81, 0x11, 0xf4, 0xce, 0x46, 0x2b, 0x6a, 0x48};

PictureLocation LocateInCanonBox(TStream& stream, int64_t fileSize, const Box& uuid) {
  PictureLocation out;
  for (const Box& child : ReadBoxes(stream, uuid.contentStart + 16, uuid.end)) {
    if (IsType(child, "CMT1")) {
      out.orientation = LocateInTiff(stream, fileSize, child.contentStart, 0, true).orientation;
    } else if (IsType(child, "THMB")) {
      // version and flags, width, height, JPEG size, two reserved halves, then the JPEG.
      uint8_t h[16];
      if (child.end - child.contentStart < 16 || !ReadAt(stream, child.contentStart, h, sizeof h)) continue;
      StoredPicture picture{StoredPictureKind::Jpeg, child.contentStart + 16, Bytes{h}.U32(8)};
      if (picture.length > child.end - picture.offset) continue;
      if (CheckJpeg(stream, fileSize, picture)) out.picture = picture;
    }
  }
  return out;
}

// HEIF: the item that a `thmb` reference ties to the primary item, found through iinf,
// iref and iloc of the file-level meta box (read whole: it is a few kilobytes).
PictureLocation LocateInHeifMeta(TStream& stream, int64_t fileSize, const Box& meta) {
  PictureLocation out;
  const int64_t size = meta.end - meta.contentStart;
  if (size < 4 || size > kMaxBoxRead) return out;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!ReadAt(stream, meta.contentStart, bytes.data(), bytes.size())) return out;
  TMemoryStream inner(bytes.data(), bytes.size());
  Bytes b{bytes};

  uint32_t primary = 0;
  std::vector<std::pair<uint32_t, std::array<char, 4>>> types;
  std::vector<std::pair<uint32_t, uint32_t>> thumbnailOf;  // (thumbnail item, item)
  struct Extent { uint32_t item; uint64_t offset, length; };
  std::vector<Extent> locations;

  for (const Box& box : ReadBoxes(inner, 4, size)) {
    const size_t c = static_cast<size_t>(box.contentStart);
    const size_t end = static_cast<size_t>(box.end);
    auto has = [&](size_t at, size_t n) { return at <= end && n <= end - at; };
    if (!has(c, 4)) continue;
    const int version = bytes[c];
    if (IsType(box, "pitm")) {
      if (version == 0 && has(c + 4, 2)) primary = b.U16(c + 4);
      else if (has(c + 4, 4)) primary = b.U32(c + 4);
    } else if (IsType(box, "iinf")) {
      const int64_t first = static_cast<int64_t>(c) + (version == 0 ? 6 : 8);
      for (const Box& infe : ReadBoxes(inner, first, box.end)) {
        const size_t i = static_cast<size_t>(infe.contentStart);
        if (!IsType(infe, "infe") || !has(i, 4)) continue;
        const int v = bytes[i];
        const size_t idSize = v >= 3 ? 4 : 2;
        if (v < 2 || !has(i + 4, idSize + 2 + 4)) continue;
        const uint32_t id = idSize == 4 ? b.U32(i + 4) : b.U16(i + 4);
        std::array<char, 4> type;
        std::memcpy(type.data(), &bytes[i + 4 + idSize + 2], 4);
        types.emplace_back(id, type);
      }
    } else if (IsType(box, "iref")) {
      const size_t idSize = version == 0 ? 2 : 4;
      for (const Box& ref : ReadBoxes(inner, static_cast<int64_t>(c) + 4, box.end)) {
        if (!IsType(ref, "thmb")) continue;
        size_t r = static_cast<size_t>(ref.contentStart);
        const size_t refEnd = static_cast<size_t>(ref.end);
        if (r + idSize + 2 > refEnd) continue;
        const uint32_t from = idSize == 4 ? b.U32(r) : b.U16(r);
        const uint16_t n = b.U16(r + idSize);
        r += idSize + 2;
        for (uint16_t k = 0; k < n && r + idSize <= refEnd; ++k, r += idSize)
          thumbnailOf.emplace_back(from, idSize == 4 ? b.U32(r) : b.U16(r));
      }
    } else if (IsType(box, "iloc")) {
      if (!has(c + 4, 4) || version > 2) continue;
      const int offsetSize = bytes[c + 4] >> 4, lengthSize = bytes[c + 4] & 15;
      const int baseSize = bytes[c + 5] >> 4, indexSize = version >= 1 ? bytes[c + 5] & 15 : 0;
      auto okSize = [](int s) { return s == 0 || s == 4 || s == 8; };
      if (!okSize(offsetSize) || !okSize(lengthSize) || !okSize(baseSize) || !okSize(indexSize)) continue;
      size_t at = c + 6;
      uint32_t items = 0;
      if (version < 2) {
        if (!has(at, 2)) continue;
        items = b.U16(at), at += 2;
      } else {
        if (!has(at, 4)) continue;
        items = b.U32(at), at += 4;
      }
      for (uint32_t k = 0; k < items && k < 4096; ++k) {
        const size_t idSize = version < 2 ? 2 : 4;
        if (!has(at, idSize)) break;
        const uint32_t id = idSize == 4 ? b.U32(at) : b.U16(at);
        at += idSize;
        int method = 0;
        if (version >= 1) {
          if (!has(at, 2)) break;
          method = b.U16(at) & 15, at += 2;
        }
        if (!has(at, 2 + static_cast<size_t>(baseSize) + 2)) break;
        at += 2;  // data reference index
        const uint64_t baseOffset = b.UInt(at, baseSize);
        at += static_cast<size_t>(baseSize);
        const uint16_t extents = b.U16(at);
        at += 2;
        const size_t extentSize = static_cast<size_t>(indexSize + offsetSize + lengthSize);
        if (!has(at, extentSize * extents)) break;
        if (extents == 1 && method == 0) {
          const uint64_t off = b.UInt(at + static_cast<size_t>(indexSize), offsetSize);
          const uint64_t len = b.UInt(at + static_cast<size_t>(indexSize + offsetSize), lengthSize);
          if (off <= UINT64_MAX - baseOffset) locations.push_back({id, baseOffset + off, len});
        }
        at += extentSize * extents;
      }
    }
  }

  for (const auto& reference : thumbnailOf) {
    const uint32_t thumb = reference.first;
    if (reference.second != primary) continue;
    const auto type = std::find_if(types.begin(), types.end(), [&](const auto& t) { return t.first == thumb; });
    const auto place =
        std::find_if(locations.begin(), locations.end(), [&](const Extent& e) { return e.item == thumb; });
    if (type == types.end() || place == locations.end()) continue;
    if (place->offset > static_cast<uint64_t>(fileSize) || place->length == 0 ||
        place->length > static_cast<uint64_t>(kMaxStoredPictureBytes))
      continue;
    StoredPicture picture{StoredPictureKind::HeifItem, static_cast<int64_t>(place->offset),
                          static_cast<int64_t>(place->length)};
    if (!InFile(fileSize, picture.offset, picture.length)) continue;
    if (std::memcmp(type->second.data(), "jpeg", 4) == 0) {
      if (!CheckJpeg(stream, fileSize, picture)) continue;
    } else if (std::memcmp(type->second.data(), "hvc1", 4) != 0 && std::memcmp(type->second.data(), "av01", 4) != 0) {
      continue;
    }
    out.picture = picture;
    break;
  }
  return out;
}

PictureLocation LocateInIsoMedia(TStream& stream, int64_t fileSize) {
  for (const Box& box : ReadBoxes(stream, 0, fileSize)) {
    if (IsType(box, "meta")) {
      PictureLocation found = LocateInHeifMeta(stream, fileSize, box);
      if (found.picture) return found;
    } else if (IsType(box, "moov")) {
      for (const Box& child : ReadBoxes(stream, box.contentStart, box.end)) {
        uint8_t uuid[16];
        if (IsType(child, "uuid") && child.end - child.contentStart >= 16 &&
            ReadAt(stream, child.contentStart, uuid, sizeof uuid) && std::memcmp(uuid, kCanonUuid, 16) == 0)
          return LocateInCanonBox(stream, fileSize, child);
      }
    }
  }
  return {};
}

}  // namespace

PictureLocation LocateStoredPicture(TStream& stream, int minSide) {
  try {
    const int64_t fileSize = stream.Size();
    uint8_t head[12];
    if (fileSize < 12 || !ReadAt(stream, 0, head, sizeof head)) return {};
    if (head[0] == 0xFF && head[1] == 0xD8) return LocateInJpeg(stream, fileSize, minSide);
    if ((head[0] == 'I' && head[1] == 'I') || (head[0] == 'M' && head[1] == 'M'))
      return LocateInTiff(stream, fileSize, 0, minSide, false);
    if (std::memcmp(head + 4, "ftyp", 4) == 0) return LocateInIsoMedia(stream, fileSize);
  } catch (const std::exception&) {
    // A stream that fails to read (a card pulled out) has no picture to show.
  }
  return {};
}

std::vector<uint8_t> ReadStoredPicture(TStream& stream, const StoredPicture& picture) {
  std::vector<uint8_t> bytes;
  try {
    if (!picture || picture.length <= 0 || picture.length > kMaxStoredPictureBytes) return {};
    if (!InFile(stream.Size(), picture.offset, picture.length)) return {};
    bytes.resize(static_cast<size_t>(picture.length));
    if (!ReadAt(stream, picture.offset, bytes.data(), bytes.size())) return {};
    if (picture.kind == StoredPictureKind::Jpeg) {
      int width = 0, height = 0;
      if (bytes[0] != 0xFF || bytes[1] != 0xD8 || !JpegFrameSize(bytes, width, height) ||
          !PlausiblyEncoded(static_cast<int64_t>(bytes.size()), width, height))
        return {};
    }
  } catch (const std::exception&) {
    return {};
  }
  return bytes;
}

bool JpegFrameSize(std::span<const uint8_t> bytes, int& width, int& height) {
  if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
  size_t at = 2;
  for (int i = 0; i < kMaxJpegSegments * 4 && at + 4 <= bytes.size(); ++i) {
    if (bytes[at] != 0xFF) return false;
    const uint8_t marker = bytes[at + 1];
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
      at += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return false;  // image data before any frame
    const size_t length = static_cast<size_t>(bytes[at + 2] << 8 | bytes[at + 3]);
    if (length < 2) return false;
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      // Baseline, extended and progressive Huffman frames only: WIC decodes no other.
      if (marker != 0xC0 && marker != 0xC1 && marker != 0xC2) return false;
      if (length < 8 || at + 2 + length > bytes.size()) return false;
      height = bytes[at + 5] << 8 | bytes[at + 6];
      width = bytes[at + 7] << 8 | bytes[at + 8];
      return width > 0 && height > 0 && width <= kMaxStoredPictureSide && height <= kMaxStoredPictureSide;
    }
    at += 2 + length;
  }
  return false;
}

namespace {

uint32_t Big16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
uint32_t Big32(const uint8_t* p) { return Big16(p) << 16 | Big16(p + 2); }
uint32_t Little16(const uint8_t* p) { return static_cast<uint32_t>(p[1]) << 8 | p[0]; }
uint32_t Little24(const uint8_t* p) { return static_cast<uint32_t>(p[2]) << 16 | Little16(p); }
uint32_t Little32(const uint8_t* p) { return static_cast<uint32_t>(p[3]) << 24 | Little24(p); }

PictureClaim Claim(int64_t width, int64_t height, int& outWidth, int& outHeight) {
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return PictureClaim::Damaged;
  outWidth = static_cast<int>(width), outHeight = static_cast<int>(height);
  return PictureClaim::Known;
}

// A JPEG's frame header, its segments walked by their lengths (a camera's Exif and maker
// segments may take the first 64 KiB and more).
PictureClaim JpegClaim(TStream& stream, int& width, int& height) {
  int64_t at = 2;
  for (int i = 0; i < kMaxJpegSegments * 4; ++i) {
    uint8_t m[9];
    if (!ReadAt(stream, at, m, 4)) return PictureClaim::Damaged;
    if (m[0] != 0xFF) return PictureClaim::Damaged;
    const uint8_t marker = m[1];
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
      at += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return PictureClaim::Damaged;  // image data before any frame
    const uint32_t length = Big16(m + 2);
    if (length < 2) return PictureClaim::Damaged;
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (length < 8 || !ReadAt(stream, at, m, 9)) return PictureClaim::Damaged;
      // A height of 0 is given later (DNL): no size to judge by, and no camera writes it.
      return Claim(Big16(m + 7), Big16(m + 5), width, height);
    }
    at += 2 + length;
  }
  return PictureClaim::Damaged;
}

}  // namespace

PictureClaim ClaimedPictureSize(TStream& stream, int& width, int& height) {
  try {
    uint8_t h[30] = {};
    const size_t got = stream.Size() > 0 ? std::min<size_t>(sizeof h, static_cast<size_t>(std::min<int64_t>(stream.Size(), 30))) : 0;
    if (got < 2 || !ReadAt(stream, 0, h, got)) return PictureClaim::Unknown;
    if (h[0] == 0xFF && h[1] == 0xD8) return JpegClaim(stream, width, height);
    if (got >= 8 && std::memcmp(h, "\x89PNG\r\n\x1a\n", 8) == 0) {
      if (got < 24 || std::memcmp(h + 12, "IHDR", 4) != 0) return PictureClaim::Damaged;
      return Claim(Big32(h + 16), Big32(h + 20), width, height);
    }
    if (got >= 6 && (std::memcmp(h, "GIF87a", 6) == 0 || std::memcmp(h, "GIF89a", 6) == 0)) {
      if (got < 10) return PictureClaim::Damaged;
      return Claim(Little16(h + 6), Little16(h + 8), width, height);
    }
    if (h[0] == 'B' && h[1] == 'M') {
      if (got < 26) return PictureClaim::Damaged;
      const uint32_t header = Little32(h + 14);
      if (header == 12) return Claim(Little16(h + 18), Little16(h + 20), width, height);
      const int64_t w = static_cast<int32_t>(Little32(h + 18)), ht = static_cast<int32_t>(Little32(h + 22));
      return Claim(w, ht < 0 ? -ht : ht, width, height);  // a negative height: rows top down
    }
    if (got >= 16 && std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WEBP", 4) == 0) {
      if (got < 30) return PictureClaim::Damaged;
      if (std::memcmp(h + 12, "VP8X", 4) == 0) return Claim(Little24(h + 24) + 1, Little24(h + 27) + 1, width, height);
      if (std::memcmp(h + 12, "VP8 ", 4) == 0) return Claim(Little16(h + 26) & 0x3FFF, Little16(h + 28) & 0x3FFF, width, height);
      if (std::memcmp(h + 12, "VP8L", 4) == 0) {
        const uint32_t bits = Little32(h + 21);
        return Claim((bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1, width, height);
      }
      return PictureClaim::Damaged;
    }
  } catch (const std::exception&) {
    return PictureClaim::Damaged;
  }
  return PictureClaim::Unknown;
}

bool WorthDecodingWhole(TStream& stream) {
  int width = 0, height = 0;
  switch (ClaimedPictureSize(stream, width, height)) {
    case PictureClaim::Unknown: return true;
    case PictureClaim::Damaged: return false;
    case PictureClaim::Known: break;
  }
  int fitWidth = 0, fitHeight = 0;
  return FitInBox(width, height, 1, 1, fitWidth, fitHeight) && PlausiblyEncoded(stream.Size(), width, height);
}

HeadPicture StoredPictureInHead(std::span<const uint8_t> head, int64_t fileSize, int minSide, size_t maxBytes) {
  HeadPicture out;
  if (head.empty()) return out;
  TMemoryStream stream(head.data(), head.size());
  const PictureLocation location = LocateStoredPicture(stream, minSide);
  const StoredPicture& picture = location.picture;
  // The memory stream ends with the head: the locator has checked the picture against it.
  if (picture.kind != StoredPictureKind::Jpeg || picture.length <= 0 || static_cast<uint64_t>(picture.length) > maxBytes)
    return out;
  // A JPEG stores one picture, its Exif thumbnail; a raw's smaller preview in the head may
  // stand before a fitting one further on.
  const bool wholeFile = fileSize >= 0 && static_cast<uint64_t>(fileSize) <= head.size();
  const bool jpeg = head.size() >= 2 && head[0] == 0xFF && head[1] == 0xD8;
  if (!wholeFile && !jpeg && std::max(picture.width, picture.height) < minSide) return out;
  out.jpeg = ReadStoredPicture(stream, picture);
  if (!out.jpeg.empty()) out.orientation = location.orientation;
  return out;
}

OrientationTurn TurnForOrientation(int orientation) {
  switch (orientation) {
    case 2: return {0, true};
    case 3: return {2, false};
    case 4: return {2, true};
    case 5: return {3, true};
    case 6: return {1, false};
    case 7: return {1, true};
    case 8: return {3, false};
    default: return {0, false};
  }
}

}  // namespace tess
