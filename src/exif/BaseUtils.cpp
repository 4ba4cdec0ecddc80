#include "exif/BaseUtils.h"

#include <algorithm>
#include <cstring>

namespace tess {

const uint8_t kPSDSignature[12] = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};

namespace {

template <class T>
bool ReadOrdered(TStream& stream, TEndianness endianness, T& value) {
  uint8_t b[sizeof(T)];
  size_t n = stream.Read(b, sizeof b);
  if (n != sizeof b) {
    stream.Seek(-static_cast<int64_t>(n));
    return false;
  }
  using U = std::make_unsigned_t<T>;
  U v = 0;
  for (size_t i = 0; i < sizeof b; ++i) {
    size_t k = endianness == TEndianness::BigEndian ? i : sizeof b - 1 - i;
    v = static_cast<U>((v << 8) | b[k]);
  }
  value = static_cast<T>(v);
  return true;
}

bool StartsWith(const std::vector<uint8_t>& data, size_t at, const void* bytes, size_t count) {
  return at <= data.size() && count <= data.size() - at && std::memcmp(data.data() + at, bytes, count) == 0;
}

const uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
const char kXMPSignature[] = "http://ns.adobe.com/xap/1.0/";  // 28 characters, then a NUL

}  // namespace

bool ReadWord(TStream& stream, TEndianness endianness, uint16_t& value) { return ReadOrdered(stream, endianness, value); }
bool ReadLongInt(TStream& stream, TEndianness endianness, int32_t& value) { return ReadOrdered(stream, endianness, value); }
bool ReadLongWord(TStream& stream, TEndianness endianness, uint32_t& value) { return ReadOrdered(stream, endianness, value); }

double ReadDouble(TStream& stream, TEndianness endianness) {
  uint8_t b[8];
  stream.ReadBuffer(b, 8);
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 8) | b[endianness == TEndianness::BigEndian ? i : 7 - i];
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

bool ProbeBytes(TStream& stream, const void* bytes, size_t count, bool restore) {
  uint8_t buf[16];
  std::vector<uint8_t> big;
  uint8_t* p = buf;
  if (count > sizeof buf) {
    big.resize(count);
    p = big.data();
  }
  size_t n = stream.Read(p, count);
  bool ok = n == count && std::memcmp(p, bytes, count) == 0;
  if (restore || !ok) stream.Seek(-static_cast<int64_t>(n));
  return ok;
}

// --- blocks

void TMetadataBlock::SetBytes(std::vector<uint8_t> bytes) {
  bytes_ = std::move(bytes);
  data_ = std::make_unique<TMemoryStream>(bytes_.data(), bytes_.size());
}

bool TMetadataBlock::IsExifBlock(bool checkID) const {
  if (checkID && !ExifIDMatches()) return false;
  if (bytes_.size() < 8) return false;
  size_t at = StartsWith(bytes_, 0, kExifHeader, 6) ? 6 : 0;
  if (bytes_.size() - at < 4) return false;
  const uint8_t* w = bytes_.data() + at;
  auto is = [](const uint8_t* p, uint8_t a, uint8_t b) { return p[0] == a && p[1] == b; };
  if (is(w, 0x49, 0x49) || is(w, 0x4D, 0x4D)) {
    return is(w + 2, 0x2A, 0) || is(w + 2, 0, 0x2A) || is(w + 2, 0x1A, 0) || is(w + 2, 0, 0x1A) ||
           is(w + 2, 0x55, 0) || is(w + 2, 0, 0x55) || is(w + 2, 0x52, 0x4F);
  }
  if (is(w, 0, 0)) return is(w + 2, 0, 0x18);
  if (is(w, 0x46, 0x55) || is(w, 0x55, 0x46)) return is(w + 2, 0x4A, 0x49) || is(w + 2, 0x49, 0x4A);
  if (is(w, 0, 0x4D) || is(w, 0x4D, 0)) return is(w + 2, 0x52, 0x4D) || is(w + 2, 0x4D, 0x52);
  return false;
}

bool TMetadataBlock::IsIPTCBlock(bool checkID) const {
  // The IPTC data is never read, so its identity is all that is asked.
  return !checkID || IPTCIDMatches();
}

bool TMetadataBlock::IsXMPBlock(bool checkID) const {
  if (checkID && !XMPIDMatches()) return false;
  if (bytes_.size() < 20) return false;
  size_t at = StartsWith(bytes_, 0, kXMPSignature, 29) ? 29 : 0;
  return StartsWith(bytes_, at, "<?xpacket ", 10);
}

TFoundJPEGSegment::TFoundJPEGSegment(uint8_t markerNum, TStream& stream, uint16_t payloadSize)
    : TUserJPEGSegment(markerNum) {
  if (payloadSize == 0) return;
  // Refuse before allocating when the stream cannot hold the payload.
  if (stream.Remaining() < payloadSize) throw EReadError();
  std::vector<uint8_t> bytes(payloadSize);
  stream.ReadBuffer(bytes.data(), payloadSize);
  SetBytes(std::move(bytes));
}

// --- JPEG walk

TJPEGHeaderParser::TJPEGHeaderParser(TStream& stream, const TJPEGMarkers& markersToLookFor)
    : FStream(&stream), FMarkersToLookFor(markersToLookFor) {
  Start();
}

TJPEGHeaderParser::TJPEGHeaderParser(std::unique_ptr<TStream> ownedStream, const TJPEGMarkers& markersToLookFor)
    : FStream(ownedStream.get()), FOwnedStream(std::move(ownedStream)), FMarkersToLookFor(markersToLookFor) {
  Start();
}

void TJPEGHeaderParser::Start() {
  FStartPos = FStream->Position();
  uint8_t soi[2];
  FStream->ReadBuffer(soi, 2);
  if (soi[0] != 0xFF || soi[1] != 0xD8) throw EInvalidJPEGHeader();
  FSavedPos = FStartPos + 2;
}

void TJPEGHeaderParser::ReleaseStream() {
  FStream = nullptr;
  FOwnedStream.reset();
}

bool TJPEGHeaderParser::MoveNext() {
  FCurrent.reset();
  if (!FStream || FLastMarker == jmEOI) return false;
  int64_t pos = FSavedPos;
  // Marker headers are read four bytes at a time (FF, code, length) instead of byte by
  // byte; inside entropy-coded data (after SOS or a restart marker) one byte at a time, so
  // that no image data beyond the byte that ends the walk is read. A long run of fill or
  // stuffed bytes doubles the read each time, so a hostile file cannot cost a read per byte,
  // while what is read ahead never exceeds what the walk has already consumed.
  uint8_t small[4];
  uint8_t* buf = small;
  size_t bufLen = 0, bufIdx = 0, chunk = 0;
  auto nextByte = [&]() -> uint8_t {
    if (bufIdx == bufLen) {
      if (chunk == 0) {
        bool inEntropyData = FLastMarker == jmSOS || FLastMarker <= 0x01 || (FLastMarker >= 0xD0 && FLastMarker <= 0xD7);
        // Before the first marker FLastMarker is 0, but there we are right after SOI.
        if (FLastMarker == 0 && pos == FStartPos + 2) inEntropyData = false;
        chunk = inEntropyData ? 1 : 4;
      } else {
        chunk = std::min<size_t>(chunk * 2, 1 << 16);
      }
      if (chunk > sizeof small) {
        if (FReadAhead.size() < chunk) FReadAhead.resize(chunk);
        buf = FReadAhead.data();
      } else {
        buf = small;
      }
      FStream->SetPosition(pos);
      bufLen = FStream->Read(buf, chunk);
      bufIdx = 0;
      if (bufLen == 0) throw EReadError();
    }
    ++pos;
    return buf[bufIdx++];
  };
  for (;;) {
    if (nextByte() != 0xFF) break;
    uint8_t marker;
    do marker = nextByte();
    while (marker == 0xFF);
    FLastMarker = marker;
    uint16_t payloadSize = 0;
    if (!(marker <= 0x01 || (marker >= 0xD0 && marker <= 0xD9))) {
      uint8_t hi = nextByte();
      uint8_t lo = nextByte();
      payloadSize = static_cast<uint16_t>(((hi << 8) | lo) - 2);
    }
    if (FMarkersToLookFor.test(marker)) {
      FStream->SetPosition(pos);
      FCurrent = std::make_shared<TFoundJPEGSegment>(marker, *FStream, payloadSize);
      FSavedPos = FStream->Position();
      return true;
    }
    if (marker == jmEOI) break;
    if (payloadSize > 0) {
      pos += payloadSize;
      bufLen = bufIdx = chunk = 0;
    }
  }
  FStream->SetPosition(pos);
  if (FLastMarker == jmSOS && FMarkersToLookFor.test(jmEOI) && SearchForEndMarker()) return true;
  ReleaseStream();
  return false;
}

bool TJPEGHeaderParser::SearchForEndMarker() {
  const int64_t start = FStream->Position();
  const int64_t size = FStream->Size();
  const int64_t n = size - start;
  // Scanned in chunks: the rest of a large file is never held in memory at once.
  std::vector<uint8_t> chunk;
  int64_t chunkStart = 0, chunkLen = 0;
  auto at = [&](int64_t i) -> int {
    if (i < chunkStart || i >= chunkStart + chunkLen) {
      int64_t want = std::min<int64_t>(n - i, 1 << 16);
      chunk.resize(static_cast<size_t>(want));
      FStream->SetPosition(start + i);
      chunkStart = i;
      chunkLen = static_cast<int64_t>(FStream->Read(chunk.data(), chunk.size()));
      if (chunkLen == 0) return -1;
    }
    return chunk[static_cast<size_t>(i - chunkStart)];
  };
  for (int64_t i = 1; i + 1 < n;) {
    int b = at(i);
    if (b < 0) break;
    if (b != 0xFF) {
      ++i;
      continue;
    }
    int next = at(i + 1);
    if (next < 0) break;
    if (next == jmEOI) {
      FStream->SetPosition(start + i + 2);
      FCurrent = std::make_shared<TFoundJPEGSegment>(jmEOI);
      FLastMarker = jmEOI;
      return true;
    }
    i += 2;
  }
  FStream->SetPosition(std::max(size, start));
  return false;
}

// --- Photoshop resources

void TAdobeBlock::LoadFromStream(TStream& stream, int64_t end) {
  SetBytes({});
  FSignature = "    ";
  FTypeID = 0;
  FName.clear();
  FLoadedCleanly = false;
  uint8_t head[7];
  if (stream.Read(head, 7) != 7) return;
  FSignature.assign(reinterpret_cast<const char*>(head), 4);
  FTypeID = static_cast<uint16_t>((head[4] << 8) | head[5]);
  uint8_t nameLength = head[6];
  char name[256];
  size_t got = stream.Read(name, nameLength);
  FName.assign(name, got);
  bool whole = got == nameLength;
  uint8_t pad;
  if (nameLength % 2 == 0 && stream.Read(&pad, 1) != 1) whole = false;
  int32_t size;
  if (!ReadLongInt(stream, TEndianness::BigEndian, size)) return;
  if (size < 0) return;
  if (size > 0) {
    // Never more than the stream still holds, whatever the size field says. Some writers
    // put the section length a few bytes short of its last resource, so a resource the file
    // holds whole is read whole; a size beyond the file is damaged, and then nothing past
    // the section is read, so that it does not pull the image data into memory.
    int64_t available = stream.Remaining();
    if (end >= 0 && size > available) available = std::min(available, std::max<int64_t>(end - stream.Position(), 0));
    size_t want = static_cast<size_t>(std::min<int64_t>(size, available));
    std::vector<uint8_t> bytes(want);
    if (stream.Read(bytes.data(), want) != static_cast<size_t>(size)) whole = false;
    SetBytes(std::move(bytes));
    if (size % 2 == 1 && stream.Read(&pad, 1) != 1) whole = false;
  }
  FLoadedCleanly = whole;
}

TAdobeResBlockEnumerator::TAdobeResBlockEnumerator(TStream& stream)
    : FStream(&stream), FNextPos(stream.Position()), FPosTooFar(stream.Size()) {}

TAdobeResBlockEnumerator::TAdobeResBlockEnumerator(std::unique_ptr<TStream> ownedStream)
    : TAdobeResBlockEnumerator(*ownedStream) {
  FOwnedStream = std::move(ownedStream);
}

bool TAdobeResBlockEnumerator::MoveNext() {
  FCurrent.reset();
  if (FStream && FNextPos < FPosTooFar - 12) {
    FStream->SetPosition(FNextPos);
    auto block = std::make_shared<TAdobeBlock>(*FStream, FPosTooFar);
    FNextPos = block->LoadedCleanly() ? FStream->Position() : FPosTooFar;
    FCurrent = std::move(block);
    return true;
  }
  FStream = nullptr;
  FOwnedStream.reset();
  return false;
}

TAdobeResBlockParser::TAdobeResBlockParser(TStream& stream, TPSDInfo& info) : TAdobeResBlockEnumerator(stream) {
  ReadHeader(info);
}

TAdobeResBlockParser::TAdobeResBlockParser(std::unique_ptr<TStream> ownedStream, TPSDInfo& info)
    : TAdobeResBlockEnumerator(std::move(ownedStream)) {
  ReadHeader(info);
}

void TAdobeResBlockParser::ReadHeader(TPSDInfo& info) {
  TStream& stream = *FStream;
  if (!ProbeBytes(stream, kPSDSignature, sizeof kPSDSignature, false)) throw EInvalidPSDHeader();
  auto word = [&]() {
    uint16_t v;
    if (!ReadWord(stream, TEndianness::BigEndian, v)) throw EReadError();
    return v;
  };
  auto longInt = [&]() {
    int32_t v;
    if (!ReadLongInt(stream, TEndianness::BigEndian, v)) throw EReadError();
    return v;
  };
  auto length = [&]() {
    int32_t v;
    if (!ReadLongInt(stream, TEndianness::BigEndian, v) || v < 0) throw EInvalidPSDHeader();
    return v;
  };
  info.Header.Channels = word();
  info.Header.Height = longInt();
  info.Header.Width = longInt();
  info.Header.Depth = word();
  info.Header.ColorMode = word();
  int32_t paletteLength = length();
  if (stream.Remaining() < paletteLength) throw EReadError();
  info.Header.PaletteData.resize(static_cast<size_t>(paletteLength));
  stream.ReadBuffer(info.Header.PaletteData.data(), info.Header.PaletteData.size());
  int32_t resources = length();
  info.ResourceSectionSize = int64_t(resources) + 4;
  FNextPos = stream.Position();
  FPosTooFar = std::min(stream.Size(), FNextPos + resources);
  stream.Seek(resources);
  info.LayersSectionSize = int64_t(length()) + 4;
}

}  // namespace tess
