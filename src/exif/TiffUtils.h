#pragma once
// The TIFF directory parser: header test, the chain of main directories, one directory's
// entries with every bound check, tag values, sub-directories and the IFD1 thumbnail.
#include <cstdint>
#include <climits>
#include <initializer_list>
#include <memory>
#include <vector>

#include "exif/BaseUtils.h"

namespace tess {

using TTiffTagID = uint16_t;
using TTiffDataType = uint16_t;

enum : TTiffDataType {
  tdByte = 1, tdAscii, tdWord, tdLongWord, tdLongWordFraction, tdShortInt, tdUndefined, tdSmallInt,
  tdLongInt, tdLongIntFraction, tdSingle, tdDouble, tdSubDirectory
};

// Element size of a type code; 0 for a code outside 1 to 13.
int TiffElementSize(TTiffDataType type);

struct TTiffTagInfo {
  uint32_t HeaderOffset = 0;
  uint32_t DataOffset = 0;
  TTiffTagID ID = 0;
  TTiffDataType DataType = 0;
  int32_t ElementCount = 0;
  bool IsWellFormed() const;
  int32_t DataSize() const { return IsWellFormed() ? TiffElementSize(DataType) * ElementCount : 0; }
};

enum class TMetadataLoadError { leBadOffset, leBadTagCount, leBadTagHeader };
struct TMetadataLoadErrors {
  uint8_t bits = 0;
  bool Has(TMetadataLoadError e) const { return bits & (1u << int(e)); }
  void Include(TMetadataLoadError e) { bits = uint8_t(bits | (1u << int(e))); }
  bool Empty() const { return bits == 0; }
  bool operator==(const TMetadataLoadErrors&) const = default;
};
TMetadataLoadErrors LoadErrors(std::initializer_list<TMetadataLoadError> errors);

// The TIFF header test: four bytes at the position. The stream moves back unless the test
// passed and consume was asked for.
bool HasTiffHeader(TStream& stream, TEndianness& endianness, bool consume = false);

void LoadTagInfo(TStream& stream, TEndianness endianness, int64_t basePosition, int64_t offset, int64_t internalOffset,
                 std::vector<TTiffTagInfo>& tags, TMetadataLoadErrors& loadErrors);

bool CanPointToDirectory(TTiffTagID id, TTiffDataType dataType, int32_t elementCount);

class TTiffParser;
class TFoundTiffDirectory;
class TFoundTiffTag;

class TTiffParser : public std::enable_shared_from_this<TTiffParser> {
 public:
  // Raises EInvalidTiffData on a bad header. Created through Create so that directories can
  // share it. A stream passed by reference stays the caller's; one passed as a unique_ptr
  // goes with the parser (or with the failed creation).
  static std::shared_ptr<TTiffParser> Create(TStream& stream);
  static std::shared_ptr<TTiffParser> Create(std::unique_ptr<TStream> ownedStream);
  ~TTiffParser();
  int64_t BasePosition() const { return FBasePosition; }
  TEndianness Endianness() const { return FEndianness; }
  TStream& Stream() const { return *FStream; }
  int64_t MaxOffsetValue() const { return FMaxOffsetValue; }

  class Enumerator {
   public:
    explicit Enumerator(std::shared_ptr<TTiffParser> source);
    bool MoveNext();
    const std::shared_ptr<TFoundTiffDirectory>& Current() const { return FCurrent; }

   private:
    std::shared_ptr<TTiffParser> FSource;
    int64_t FMaxPossibleOffset;
    int32_t FNextIndex = 0;
    int32_t FNextOffset;
    std::shared_ptr<TFoundTiffDirectory> FCurrent;
  };
  Enumerator GetEnumerator() { return Enumerator(shared_from_this()); }

  // Reads the value into dest (DataSize bytes) in the machine's byte order.
  void ReadTagData(const TTiffTagInfo& info, void* dest);
  // Opens the directory a pointer tag (its number, type, count and value) names; false when
  // the tag cannot point to one or the directory is refused.
  bool OpenSubDirectory(TTiffTagID id, TTiffDataType dataType, int32_t elementCount, uint32_t value,
                        const void* parent, std::shared_ptr<TFoundTiffDirectory>& directory);

 private:
  TTiffParser(TStream& stream, std::unique_ptr<TStream> ownedStream);
  TStream* FStream;
  std::unique_ptr<TStream> FOwnedStream;
  int64_t FBasePosition;
  TEndianness FEndianness = TEndianness::SmallEndian;
  int32_t FFirstDirOffset = 0;
  int64_t FMaxOffsetValue;
};

class TFoundTiffDirectory {
 public:
  TFoundTiffDirectory(std::shared_ptr<TTiffParser> parser, const void* parent, int32_t index, int64_t offset);
  static bool TryCreate(const std::shared_ptr<TTiffParser>& parser, const void* parent, int32_t index,
                        int64_t offset, std::shared_ptr<TFoundTiffDirectory>& directory);

  const std::shared_ptr<TTiffParser>& Parser() const { return FParser; }
  const std::vector<TTiffTagInfo>& TagInfo() const { return FTags; }
  TMetadataLoadErrors LoadErrors() const { return FLoadErrors; }
  int32_t Index() const { return FIndex; }
  int TagCount() const { return static_cast<int>(FTags.size()); }
  bool MoreToFollow() const { return FMoreToFollow; }
  // The entry with this tag number, found as TIFF's ascending order allows.
  const TTiffTagInfo* FindTag(TTiffTagID id) const;
  bool FindTagBlock(TTiffTagID id, std::shared_ptr<TFoundTiffTag>& block) const;
  bool TagExists(TTiffTagID id, std::initializer_list<TTiffDataType> validTypes, int32_t minCount = 1,
                 int32_t maxCount = INT32_MAX) const;
  bool IsThumbnailDirectory() const;
  // Gives the IFD1 JPEG thumbnail's bytes to sink; false when missing, not JPEG or failing.
  bool CopyThumbnailTo(std::vector<uint8_t>& sink) const;

 private:
  friend class TTiffParser;
  int32_t FIndex;
  TMetadataLoadErrors FLoadErrors;
  const void* FParent;  // the directory or section holding the pointer tag; none for the chain
  std::shared_ptr<TTiffParser> FParser;
  std::vector<TTiffTagInfo> FTags;
  bool FMoreToFollow = false;
};

// One directory entry whose value has been read into the payload.
class TFoundTiffTag final : public TMetadataBlock {
 public:
  TFoundTiffTag(const TFoundTiffDirectory& directory, const TTiffTagInfo& info);
  const TTiffTagInfo& Info() const { return FInfo; }

 protected:
  bool IPTCIDMatches() const override { return FInfo.ID == 33723; }
  bool XMPIDMatches() const override { return FInfo.ID == 700; }

 private:
  TTiffTagInfo FInfo;
};

}  // namespace tess
