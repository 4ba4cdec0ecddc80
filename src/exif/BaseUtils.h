#pragma once
// Byte-order reads, metadata blocks, and the two container walkers: the JPEG marker walk
// and the Photoshop image-resource walk.
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exif/Streams.h"

namespace tess {

enum class TEndianness { SmallEndian, BigEndian };

// 16- and 32-bit reads report a short read by returning false after moving the stream back
// by what they did read; the double read is exact.
bool ReadWord(TStream& stream, TEndianness endianness, uint16_t& value);
bool ReadLongInt(TStream& stream, TEndianness endianness, int32_t& value);
bool ReadLongWord(TStream& stream, TEndianness endianness, uint32_t& value);
double ReadDouble(TStream& stream, TEndianness endianness);

// Reads count bytes; true when all arrived and equal bytes. The position moves back by what
// was read when restore is true or the bytes did not match.
bool ProbeBytes(TStream& stream, const void* bytes, size_t count, bool restore);

// The base of every metadata block: a payload in memory and three identity tests.
class TMetadataBlock {
 public:
  virtual ~TMetadataBlock() = default;
  TMemoryStream& Data() { return *data_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  bool IsExifBlock(bool checkID = true) const;
  bool IsIPTCBlock(bool checkID = true) const;
  bool IsXMPBlock(bool checkID = true) const;

 protected:
  virtual bool ExifIDMatches() const { return false; }
  virtual bool IPTCIDMatches() const { return false; }
  virtual bool XMPIDMatches() const { return false; }
  // Replaces the payload; the data stream then views the new bytes.
  void SetBytes(std::vector<uint8_t> bytes);

 private:
  std::vector<uint8_t> bytes_;
  std::unique_ptr<TMemoryStream> data_ = std::make_unique<TMemoryStream>();
};
using IMetadataBlock = std::shared_ptr<TMetadataBlock>;

class TUserJPEGSegment : public TMetadataBlock {
 public:
  explicit TUserJPEGSegment(uint8_t markerNum) : FMarkerNum(markerNum) {}
  uint8_t MarkerNum() const { return FMarkerNum; }

 protected:
  bool ExifIDMatches() const override { return FMarkerNum == 0xE1; }
  bool IPTCIDMatches() const override { return FMarkerNum == 0xED; }
  bool XMPIDMatches() const override { return FMarkerNum == 0xE1; }
  uint8_t FMarkerNum;
};

// A segment as found in a stream; its payload (payloadSize bytes at the stream position)
// is read when it is created.
class TFoundJPEGSegment final : public TUserJPEGSegment {
 public:
  TFoundJPEGSegment(uint8_t markerNum, TStream& stream, uint16_t payloadSize);
  TFoundJPEGSegment(uint8_t markerNum) : TUserJPEGSegment(markerNum) {}
};

constexpr uint8_t jmSOS = 0xDA, jmEOI = 0xD9, jmApp1 = 0xE1;
using TJPEGMarkers = std::bitset<256>;

// Walks a JPEG marker by marker from the stream's position (which must hold FF D8) and
// reports the segments whose markers are asked for. A stream passed by reference stays the
// caller's; one passed as a unique_ptr is the walker's and goes when the walk ends.
class TJPEGHeaderParser {
 public:
  TJPEGHeaderParser(TStream& stream, const TJPEGMarkers& markersToLookFor);
  TJPEGHeaderParser(std::unique_ptr<TStream> ownedStream, const TJPEGMarkers& markersToLookFor);
  bool MoveNext();
  const std::shared_ptr<TFoundJPEGSegment>& Current() const { return FCurrent; }
  uint8_t LastMarker() const { return FLastMarker; }

 private:
  void Start();
  bool SearchForEndMarker();
  void ReleaseStream();

  TStream* FStream;
  std::unique_ptr<TStream> FOwnedStream;
  TJPEGMarkers FMarkersToLookFor;
  int64_t FStartPos = 0;
  int64_t FSavedPos = 0;
  uint8_t FLastMarker = 0;
  std::shared_ptr<TFoundJPEGSegment> FCurrent;
  std::vector<uint8_t> FReadAhead;  // for long runs of fill bytes only
};

// One Photoshop image resource.
class TAdobeBlock final : public TMetadataBlock {
 public:
  TAdobeBlock() = default;
  // Loads the block at the stream's position; never raises. A payload the stream holds whole
  // is read whole, also past end (a position; -1: the end of the stream); one that claims
  // more than the stream holds is cut at end and does not load cleanly.
  explicit TAdobeBlock(TStream& stream, int64_t end = -1) { LoadFromStream(stream, end); }
  void LoadFromStream(TStream& stream, int64_t end = -1);
  const std::string& Signature() const { return FSignature; }
  uint16_t TypeID() const { return FTypeID; }
  const std::string& Name() const { return FName; }
  bool LoadedCleanly() const { return FLoadedCleanly; }

 protected:
  bool ExifIDMatches() const override { return FTypeID == 0x0422; }
  bool IPTCIDMatches() const override { return FTypeID == 0x0404; }
  bool XMPIDMatches() const override { return FTypeID == 0x0424; }

 private:
  std::string FSignature = "    ";
  uint16_t FTypeID = 0;
  std::string FName;
  bool FLoadedCleanly = false;
};

// Walks Photoshop image resources from the stream's position. Owns the stream only when
// given it as a unique_ptr, and then lets it go when the walk ends.
class TAdobeResBlockEnumerator {
 public:
  explicit TAdobeResBlockEnumerator(TStream& stream);
  explicit TAdobeResBlockEnumerator(std::unique_ptr<TStream> ownedStream);
  virtual ~TAdobeResBlockEnumerator() = default;
  bool MoveNext();
  const std::shared_ptr<TAdobeBlock>& Current() const { return FCurrent; }

 protected:
  TStream* FStream;
  std::unique_ptr<TStream> FOwnedStream;
  int64_t FNextPos;
  int64_t FPosTooFar;
  std::shared_ptr<TAdobeBlock> FCurrent;
};

struct TPSDHeader {
  int32_t Width = 0, Height = 0;
  uint16_t Channels = 0, Depth = 0, ColorMode = 0;
  std::vector<uint8_t> PaletteData;
};
struct TPSDInfo {
  TPSDHeader Header;
  int64_t ResourceSectionSize = 0;
  int64_t LayersSectionSize = 0;
};

// Reads a PSD file header and walks its image resource section.
class TAdobeResBlockParser final : public TAdobeResBlockEnumerator {
 public:
  TAdobeResBlockParser(TStream& stream, TPSDInfo& info);
  TAdobeResBlockParser(std::unique_ptr<TStream> ownedStream, TPSDInfo& info);

 private:
  void ReadHeader(TPSDInfo& info);
};

extern const uint8_t kPSDSignature[12];

}  // namespace tess
