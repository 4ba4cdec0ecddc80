#include "exif/IsoMedia.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "exif/Exif.h"
#include "platform/Text.h"

namespace tess {

namespace {

constexpr uint32_t FourCC(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
         uint32_t(uint8_t(s[3]));
}
constexpr uint32_t kCopyrightSign = 0xA9u << 24;  // the © that starts QuickTime's user-data names
constexpr uint32_t kMake = kCopyrightSign | (uint32_t('m') << 16) | (uint32_t('a') << 8) | 'k';
constexpr uint32_t kModel = kCopyrightSign | (uint32_t('m') << 16) | (uint32_t('o') << 8) | 'd';

// Canon's box under `moov` (and in some files at the top level) that holds CMT1 to CMT4.
const uint8_t kCanonUuid[16] = {0x85, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0,
                                0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};

// Metadata boxes are small; one larger than this is damage, not metadata.
constexpr int64_t kMaxSmallBox = 1 << 20;
// Box headers one walk may read. A real file needs a few dozen; a file of millions of tiny
// boxes must not cost a read each.
constexpr int kHeaderBudget = 4096;

uint16_t Be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
uint32_t Be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
uint64_t Be64(const uint8_t* p) { return (uint64_t(Be32(p)) << 32) | Be32(p + 4); }

struct Box {
  uint32_t type = 0;
  int64_t start = 0, payload = 0, end = 0;
  uint8_t uuid[16] = {};
  int64_t PayloadSize() const { return end - payload; }
};

// Box headers from the stream. Every size is checked against the end of the parent before
// it is used; a box that does not fit ends the walk of its level.
class BoxWalker {
 public:
  explicit BoxWalker(TStream& stream) : stream_(stream) {}

  // The box at pos inside a parent ending at limit; false at the end or on a fault.
  bool Next(int64_t pos, int64_t limit, Box& box) {
    if (limit - pos < 8 || budget_ <= 0) return false;
    --budget_;
    uint8_t h[16];
    stream_.SetPosition(pos);
    if (stream_.Read(h, 8) != 8) return false;
    uint64_t size = Be32(h);
    box.type = Be32(h + 4);
    int64_t header = 8;
    if (size == 1) {
      if (limit - pos < 16 || stream_.Read(h + 8, 8) != 8) return false;
      size = Be64(h + 8);
      header = 16;
    } else if (size == 0) {
      size = uint64_t(limit - pos);  // to the end of the parent
    }
    if (box.type == FourCC("uuid")) {
      if (stream_.Read(box.uuid, 16) != 16) return false;
      header += 16;
    }
    if (size < uint64_t(header) || size > uint64_t(limit - pos)) return false;
    box.start = pos;
    box.payload = pos + header;
    box.end = pos + int64_t(size);
    return true;
  }

  // The payload of a small box; false when it is larger than cap or cannot be read whole.
  bool ReadPayload(const Box& box, int64_t cap, std::vector<uint8_t>& out) {
    int64_t n = box.PayloadSize();
    if (n < 0 || n > cap) return false;
    out.resize(size_t(n));
    stream_.SetPosition(box.payload);
    return stream_.Read(out.data(), out.size()) == out.size();
  }

  // Up to count bytes of a box's payload (fewer when the box is smaller).
  size_t ReadHead(const Box& box, uint8_t* out, size_t count) {
    count = size_t(std::min<int64_t>(int64_t(count), box.PayloadSize()));
    stream_.SetPosition(box.payload);
    return stream_.Read(out, count);
  }

  TStream& Stream() { return stream_; }

 private:
  TStream& stream_;
  int budget_ = kHeaderBudget;
};

// Reads numbers from bytes in memory; every read past the end fails and sticks.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : p_(data), n_(size) {}
  bool ok() const { return ok_; }
  size_t pos() const { return i_; }
  size_t left() const { return ok_ ? n_ - i_ : 0; }
  const uint8_t* here() const { return p_ + i_; }
  bool Skip(size_t k) {
    if (!ok_ || k > n_ - i_) return ok_ = false;
    i_ += k;
    return true;
  }
  uint64_t Uint(size_t bytes) {  // big-endian, 0 to 8 bytes
    if (!ok_ || bytes > n_ - i_) {
      ok_ = false;
      return 0;
    }
    uint64_t v = 0;
    for (size_t k = 0; k < bytes; ++k) v = (v << 8) | p_[i_ + k];
    i_ += bytes;
    return v;
  }
  uint8_t U8() { return uint8_t(Uint(1)); }
  uint16_t U16() { return uint16_t(Uint(2)); }
  uint32_t U32() { return uint32_t(Uint(4)); }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t i_ = 0;
  bool ok_ = true;
};

// Boxes inside bytes already in memory (the children of a small box).
struct MemBox {
  uint32_t type = 0;
  const uint8_t* payload = nullptr;
  size_t size = 0;
};
bool NextMemBox(Cursor& c, MemBox& box) {
  if (c.left() < 8) return false;
  const size_t available = c.left();
  uint64_t size = c.U32();
  box.type = c.U32();
  size_t header = 8;
  if (size == 1) {
    size = c.Uint(8);
    header = 16;
    if (!c.ok()) return false;
  } else if (size == 0) {
    size = available;
  }
  if (size < header || size > available) return false;
  box.payload = c.here();
  box.size = size_t(size) - header;
  c.Skip(box.size);
  return true;
}

// Texts end as camera texts do in Exif data: at a NUL, without trailing blanks.
std::u16string TextFrom(const uint8_t* p, size_t n) { return FromUtf8(ExifTextBytes({p, n})); }

// An iTunes-style `data` box: type indicator, locale, then the value. UTF-8 text only.
bool DataBoxText(const uint8_t* p, size_t n, std::u16string& out) {
  Cursor c(p, n);
  MemBox box;
  while (NextMemBox(c, box)) {
    if (box.type != FourCC("data") || box.size < 8) continue;
    uint32_t typeIndicator = Be32(box.payload) & 0xFFFFFF;
    if (typeIndicator != 1) continue;  // 1 = UTF-8
    out = TextFrom(box.payload + 8, box.size - 8);
    return true;
  }
  return false;
}

// The value of a user-data text box: either QuickTime's text records (length, language,
// text) or an iTunes-style `data` box.
std::u16string UserDataText(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  if (bytes.size() >= 8 && Be32(bytes.data() + 4) == FourCC("data")) {
    DataBoxText(bytes.data(), bytes.size(), text);
    return text;
  }
  if (bytes.size() < 4) return text;
  size_t length = Be16(bytes.data());
  length = std::min(length, bytes.size() - 4);
  return TextFrom(bytes.data() + 4, length);
}

class IsoWalk {
 public:
  IsoWalk(TStream& stream, TIsoMediaFindings& findings) : walker_(stream), found_(findings) {}

  void Run() {
    TStream& s = walker_.Stream();
    const int64_t start = s.Position();
    const int64_t limit = s.Size();
    Box box;
    bool seenMoov = false;
    for (int64_t pos = start; walker_.Next(pos, limit, box); pos = box.end) {
      switch (box.type) {
        case FourCC("moov"): Moov(box); seenMoov = true; break;
        case FourCC("meta"): HeifMeta(box); break;
        case FourCC("uuid"): CanonUuid(box); break;
        default: break;  // mdat, free, and anything else: skipped by seeking
      }
      // Everything a movie carries lives in its moov box; what follows is media data.
      if (seenMoov) break;
    }
    if (!hasVideo_) {
      found_.zonedDate.reset();
      found_.movieCreation = 0;
      found_.keysMake.clear();
      found_.keysModel.clear();
      found_.udtaMake.clear();
      found_.udtaModel.clear();
    }
  }

 private:
  void Moov(const Box& moov) {
    Box box;
    for (int64_t pos = moov.payload; walker_.Next(pos, moov.end, box); pos = box.end) {
      switch (box.type) {
        case FourCC("mvhd"): MovieHeader(box); break;
        case FourCC("trak"): if (!hasVideo_) hasVideo_ = IsVideoTrack(box); break;
        case FourCC("udta"): UserData(box); break;
        case FourCC("meta"): Meta(box); break;
        case FourCC("uuid"): CanonUuid(box); break;
        default: break;
      }
    }
  }

  void MovieHeader(const Box& box) {
    uint8_t h[12];
    size_t n = walker_.ReadHead(box, h, sizeof h);
    if (n >= 8 && h[0] == 0) found_.movieCreation = Be32(h + 4);
    else if (n >= 12 && h[0] == 1) found_.movieCreation = Be64(h + 4);
  }

  // trak → mdia → hdlr with the handler type `vide`.
  bool IsVideoTrack(const Box& trak) {
    Box mdia, hdlr;
    for (int64_t pos = trak.payload; walker_.Next(pos, trak.end, mdia); pos = mdia.end) {
      if (mdia.type != FourCC("mdia")) continue;
      for (int64_t p = mdia.payload; walker_.Next(p, mdia.end, hdlr); p = hdlr.end) {
        if (hdlr.type != FourCC("hdlr")) continue;
        uint8_t h[12];
        return walker_.ReadHead(hdlr, h, 12) == 12 && Be32(h + 8) == FourCC("vide");
      }
      return false;
    }
    return false;
  }

  void UserData(const Box& udta) {
    Box box;
    std::vector<uint8_t> bytes;
    for (int64_t pos = udta.payload; walker_.Next(pos, udta.end, box); pos = box.end) {
      if ((box.type == kMake || box.type == kModel) && walker_.ReadPayload(box, 4096, bytes)) {
        std::u16string text = UserDataText(bytes);
        std::u16string& target = box.type == kMake ? found_.udtaMake : found_.udtaModel;
        if (target.empty()) target = text;
      } else if (box.type == FourCC("meta")) {
        Meta(box);
      }
    }
  }

  // Where the children of a `meta` box begin: ISO's is a full box (version and flags
  // first), QuickTime's is not; QuickTime's begins with its `hdlr` box at once.
  int64_t MetaChildren(const Box& meta) {
    uint8_t h[8];
    if (walker_.ReadHead(meta, h, 8) == 8 && Be32(h + 4) == FourCC("hdlr")) return meta.payload;
    return meta.payload + 4;
  }

  // A `meta` box: QuickTime's (handler mdta: `keys` names the values of `ilst` by index;
  // under moov on a phone, under udta from other writers) or iTunes' (`ilst` items named
  // ©mak, ©mod).
  void Meta(const Box& meta) {
    Box box;
    std::vector<std::string> keys;
    std::vector<uint8_t> ilst;
    bool haveKeys = false, haveIlst = false;
    for (int64_t pos = MetaChildren(meta); walker_.Next(pos, meta.end, box); pos = box.end) {
      std::vector<uint8_t> bytes;
      if (box.type == FourCC("keys") && !haveKeys && walker_.ReadPayload(box, kMaxSmallBox, bytes)) {
        haveKeys = true;
        Cursor c(bytes.data(), bytes.size());
        c.Skip(4);  // version and flags
        uint32_t count = c.U32();
        for (uint32_t i = 0; i < count && c.ok() && c.left() >= 8; ++i) {
          uint32_t size = c.U32();
          c.Skip(4);  // namespace
          if (size < 8 || size - 8 > c.left()) break;
          keys.emplace_back(reinterpret_cast<const char*>(c.here()), size - 8);
          c.Skip(size - 8);
        }
      } else if (box.type == FourCC("ilst") && !haveIlst) {
        haveIlst = walker_.ReadPayload(box, kMaxSmallBox, ilst);
      }
    }
    if (!haveIlst) return;
    Cursor c(ilst.data(), ilst.size());
    MemBox item;
    while (NextMemBox(c, item)) {
      std::u16string text;
      if (haveKeys) {
        uint32_t index = item.type;  // 1-based key index
        if (index == 0 || index > keys.size() || !DataBoxText(item.payload, item.size, text)) continue;
        const std::string& key = keys[index - 1];
        if (key == "com.apple.quicktime.creationdate") {
          DateTimeParts parts;
          if (!found_.zonedDate && ParseZonedDateTime(ToUtf8(text), parts)) found_.zonedDate = parts;
        } else if (key == "com.apple.quicktime.make") {
          if (found_.keysMake.empty()) found_.keysMake = text;
        } else if (key == "com.apple.quicktime.model") {
          if (found_.keysModel.empty()) found_.keysModel = text;
        }
      } else if ((item.type == kMake || item.type == kModel) && DataBoxText(item.payload, item.size, text)) {
        std::u16string& target = item.type == kMake ? found_.udtaMake : found_.udtaModel;
        if (target.empty()) target = text;
      }
    }
  }

  void CanonUuid(const Box& uuid) {
    if (uuid.type != FourCC("uuid") || std::memcmp(uuid.uuid, kCanonUuid, 16) != 0) return;
    Box box;
    for (int64_t pos = uuid.payload; walker_.Next(pos, uuid.end, box); pos = box.end) {
      if (box.type == FourCC("CMT1") && found_.canonMain.empty())
        walker_.ReadPayload(box, kMaxMediaBlockSize, found_.canonMain) || (found_.canonMain.clear(), false);
      else if (box.type == FourCC("CMT2") && found_.canonDetails.empty())
        walker_.ReadPayload(box, kMaxMediaBlockSize, found_.canonDetails) || (found_.canonDetails.clear(), false);
    }
  }

  // meta → iinf (which item is `Exif`) and iloc (where its bytes lie: in the file or in
  // the meta box's `idat`).
  void HeifMeta(const Box& meta) {
    if (!found_.exifItem.empty()) return;
    Box box;
    std::vector<uint8_t> iinf, iloc;
    Box idat;
    bool haveIinf = false, haveIloc = false, haveIdat = false;
    for (int64_t pos = meta.payload + 4; walker_.Next(pos, meta.end, box); pos = box.end) {
      if (box.type == FourCC("iinf") && !haveIinf) haveIinf = walker_.ReadPayload(box, kMaxSmallBox, iinf);
      else if (box.type == FourCC("iloc") && !haveIloc) haveIloc = walker_.ReadPayload(box, kMaxSmallBox, iloc);
      else if (box.type == FourCC("idat") && !haveIdat) idat = box, haveIdat = true;
    }
    if (!haveIinf || !haveIloc) return;
    uint32_t exifId;
    if (!FindExifItem(iinf, exifId)) return;
    ReadItem(iloc, exifId, haveIdat ? &idat : nullptr);
  }

  static bool FindExifItem(const std::vector<uint8_t>& iinf, uint32_t& id) {
    Cursor c(iinf.data(), iinf.size());
    uint8_t version = c.U8();
    c.Skip(3);
    c.Skip(version == 0 ? 2 : 4);  // the entry count; the boxes themselves say how many there are
    MemBox infe;
    while (c.ok() && NextMemBox(c, infe)) {
      if (infe.type != FourCC("infe")) continue;
      Cursor e(infe.payload, infe.size);
      uint8_t v = e.U8();
      e.Skip(3);
      if (v < 2) continue;  // no item type before version 2
      uint32_t itemId = v == 2 ? e.U16() : e.U32();
      e.Skip(2);  // protection index
      uint32_t type = e.U32();
      if (e.ok() && type == FourCC("Exif")) {
        id = itemId;
        return true;
      }
    }
    return false;
  }

  void ReadItem(const std::vector<uint8_t>& iloc, uint32_t wanted, const Box* idat) {
    Cursor c(iloc.data(), iloc.size());
    uint8_t version = c.U8();
    c.Skip(3);
    uint8_t sizes = c.U8(), sizes2 = c.U8();
    size_t offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = sizes2 >> 4;
    size_t indexSize = version >= 1 ? sizes2 & 15 : 0;
    auto valid = [](size_t n) { return n == 0 || n == 4 || n == 8; };
    if (version > 2 || !valid(offsetSize) || !valid(lengthSize) || !valid(baseSize) || !valid(indexSize)) return;
    uint32_t count = version < 2 ? c.U16() : c.U32();
    TStream& s = walker_.Stream();
    const int64_t fileStart = fileStart_;
    const int64_t fileEnd = s.Size();
    for (uint32_t i = 0; i < count && c.ok(); ++i) {
      uint32_t id = version < 2 ? c.U16() : c.U32();
      uint16_t method = version >= 1 ? c.U16() & 15 : 0;
      c.Skip(2);  // data reference index
      uint64_t base = c.Uint(baseSize);
      uint16_t extents = c.U16();
      if (!c.ok()) return;
      if (id != wanted) {
        c.Skip(size_t(extents) * (indexSize + offsetSize + lengthSize));
        continue;
      }
      // Bytes of the item live in the file (method 0) or in idat (method 1).
      int64_t areaStart, areaEnd;
      if (method == 0) {
        areaStart = fileStart, areaEnd = fileEnd;
      } else if (method == 1 && idat) {
        areaStart = idat->payload, areaEnd = idat->end;
      } else {
        return;
      }
      std::vector<uint8_t> item;
      for (uint16_t k = 0; k < extents; ++k) {
        c.Skip(indexSize);
        uint64_t offset = c.Uint(offsetSize), length = c.Uint(lengthSize);
        if (!c.ok()) return;
        uint64_t area = uint64_t(areaEnd - areaStart);
        if (base > area || offset > area - base) return;
        uint64_t from = base + offset;
        if (length == 0) length = area - from;  // to the end
        if (length > area - from || length > kMaxMediaBlockSize - item.size()) return;
        size_t at = item.size();
        item.resize(at + size_t(length));
        s.SetPosition(areaStart + int64_t(from));
        if (s.Read(item.data() + at, size_t(length)) != length) return;
      }
      // The payload begins with the offset of the TIFF header behind it.
      if (item.size() < 4) return;
      uint64_t skip = 4 + uint64_t(Be32(item.data()));
      if (skip >= item.size()) return;
      found_.exifItem.assign(item.begin() + int64_t(skip), item.end());
      return;
    }
  }

 public:
  int64_t fileStart_ = 0;

 private:
  BoxWalker walker_;
  TIsoMediaFindings& found_;
  bool hasVideo_ = false;
};

bool TwoDigits(std::string_view s, size_t at, int& out) {
  if (at + 2 > s.size() || s[at] < '0' || s[at] > '9' || s[at + 1] < '0' || s[at + 1] > '9') return false;
  out = (s[at] - '0') * 10 + (s[at + 1] - '0');
  return true;
}

}  // namespace

bool HasIsoMediaHeader(TStream& stream) {
  uint8_t h[12];
  size_t n = stream.Read(h, sizeof h);
  stream.Seek(-int64_t(n));
  if (n < 12 || Be32(h + 4) != FourCC("ftyp")) return false;
  uint32_t size = Be32(h);
  return size == 1 || size == 0 || size >= 16;
}

void ReadIsoMedia(TStream& stream, TIsoMediaFindings& findings) {
  IsoWalk walk(stream, findings);
  walk.fileStart_ = stream.Position();
  walk.Run();
}

bool ParseZonedDateTime(std::string_view s, DateTimeParts& p) {
  // yyyy-mm-ddThh:mm:ss, then perhaps fractions and a zone, which are not used.
  if (s.size() < 19 || s[4] != '-' || s[7] != '-' || (s[10] != 'T' && s[10] != ' ') || s[13] != ':' ||
      s[16] != ':')
    return false;
  int hi, lo;
  if (!TwoDigits(s, 0, hi) || !TwoDigits(s, 2, lo)) return false;
  p = DateTimeParts{};
  p.year = hi * 100 + lo;
  if (!TwoDigits(s, 5, p.month) || !TwoDigits(s, 8, p.day) || !TwoDigits(s, 11, p.hour) ||
      !TwoDigits(s, 14, p.minute) || !TwoDigits(s, 17, p.second))
    return false;
  std::string_view rest = s.substr(19);
  if (!rest.empty() && rest[0] == '.') {
    size_t k = 1;
    while (k < rest.size() && rest[k] >= '0' && rest[k] <= '9') ++k;
    rest = rest.substr(k);
  }
  if (!(rest.empty() || rest == "Z" || ((rest[0] == '+' || rest[0] == '-') && rest.size() <= 6))) return false;
  TDateTime check;
  return p.year >= 1 && p.second <= 59 && TryEncodeDateTime(p, check);
}

namespace {
TUtcToLocal& UtcToLocalSlot() {
  static TUtcToLocal slot = PlatformUtcToLocal;
  return slot;
}
}  // namespace

ScopedMovieTimeConversion::ScopedMovieTimeConversion(TUtcToLocal conversion) : previous_(UtcToLocalSlot()) {
  UtcToLocalSlot() = conversion;
}
ScopedMovieTimeConversion::~ScopedMovieTimeConversion() { UtcToLocalSlot() = previous_; }

bool MovieTimeToLocal(uint64_t secondsSince1904, TDateTime& local) {
  // Seconds from 1601-01-01 to 1904-01-01.
  constexpr uint64_t k1601To1904 = 9561628800ull;
  constexpr uint64_t kMaxSeconds = 2000000000000ull;  // far beyond year 9999; refuses garbage
  if (secondsSince1904 == 0 || secondsSince1904 > kMaxSeconds) return false;
  return UtcToLocalSlot()((secondsSince1904 + k1601To1904) * 10000000ull, local);
}

bool MovieTimeAsWritten(uint64_t secondsSince1904, TDateTime& written) {
  constexpr uint64_t k1601To1904 = 9561628800ull;
  constexpr uint64_t kMaxSeconds = 2000000000000ull;
  if (secondsSince1904 == 0 || secondsSince1904 > kMaxSeconds) return false;
  written = FileTimeToDateTime((secondsSince1904 + k1601To1904) * 10000000ull);
  return true;
}

}  // namespace tess
