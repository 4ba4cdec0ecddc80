#include "exif/TiffUtils.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tess {

namespace {

constexpr bool kHostIsBigEndian = std::endian::native == std::endian::big;

uint16_t Get16(const uint8_t* p, TEndianness e) {
  return e == TEndianness::BigEndian ? uint16_t((p[0] << 8) | p[1]) : uint16_t(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p, TEndianness e) {
  return e == TEndianness::BigEndian ? (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]
                                     : (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

// Puts units of unitSize bytes, stored in the file's byte order, into the machine's.
void ToMachineOrder(uint8_t* data, size_t size, size_t unitSize, TEndianness e) {
  bool fileIsBig = e == TEndianness::BigEndian;
  if (unitSize < 2 || fileIsBig == kHostIsBigEndian) return;
  for (size_t i = 0; i + unitSize <= size; i += unitSize) std::reverse(data + i, data + i + unitSize);
}

}  // namespace

int TiffElementSize(TTiffDataType type) {
  static const int sizes[14] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type >= 1 && type <= 13 ? sizes[type] : 0;
}

bool TTiffTagInfo::IsWellFormed() const {
  int size = TiffElementSize(DataType);
  if (size == 0) return false;
  int64_t total = int64_t(ElementCount) * size;
  return total >= 0 && total <= INT32_MAX;
}

TMetadataLoadErrors LoadErrors(std::initializer_list<TMetadataLoadError> errors) {
  TMetadataLoadErrors result;
  for (auto e : errors) result.Include(e);
  return result;
}

bool HasTiffHeader(TStream& stream, TEndianness& endianness, bool consume) {
  uint8_t b[4];
  size_t n = stream.Read(b, 4);
  bool ok = false;
  if (n == 4 && ((b[0] == 0x49 && b[1] == 0x49) || (b[0] == 0x4D && b[1] == 0x4D))) {
    // The byte order comes from the second pair alone, whichever of II or MM came first.
    static const uint8_t small[][2] = {{0x2A, 0}, {0x1A, 0}, {0x55, 0}, {0x49, 0x4A}, {0x52, 0x4F}, {0x52, 0x53}};
    static const uint8_t big[][2] = {{0, 0x2A}, {0, 0x1A}, {0x4A, 0x49}, {0x4F, 0x52}, {0x53, 0x52}, {0, 0x55}};
    for (auto& p : small)
      if (b[2] == p[0] && b[3] == p[1]) ok = true, endianness = TEndianness::SmallEndian;
    for (auto& p : big)
      if (b[2] == p[0] && b[3] == p[1]) ok = true, endianness = TEndianness::BigEndian;
  }
  if (!(ok && consume)) stream.Seek(-static_cast<int64_t>(n));
  return ok;
}

void LoadTagInfo(TStream& stream, TEndianness endianness, int64_t basePosition, int64_t offset, int64_t internalOffset,
                 std::vector<TTiffTagInfo>& tags, TMetadataLoadErrors& loadErrors) {
  using enum TMetadataLoadError;
  loadErrors = {};
  tags.clear();
  const int64_t dirPos = basePosition + offset;
  const int64_t size = stream.Size();
  // Offsets count from the header: a negative one is bad even where the stream holds bytes
  // before the header.
  if (offset < 0 || dirPos < 0 || dirPos + 2 > size) {
    stream.SetPosition(size);
    loadErrors.Include(leBadOffset);
    return;
  }
  const int64_t maxCount = (size - dirPos - 2) / 12;
  stream.SetPosition(dirPos);
  uint16_t count;
  if (!ReadWord(stream, endianness, count)) throw EReadError();
  int64_t n = count;
  if (n > maxCount) {
    n = maxCount;
    loadErrors.Include(leBadTagCount);
  }
  // The whole table in one read; the cap above makes sure it is there.
  std::vector<uint8_t> raw(static_cast<size_t>(n) * 12);
  stream.ReadBuffer(raw.data(), raw.size());
  tags.reserve(static_cast<size_t>(n));
  bool previousWellFormed = true;
  int64_t i = 0;
  for (; i < n; ++i) {
    const uint8_t* e = raw.data() + i * 12;
    TTiffTagInfo info;
    info.HeaderOffset = static_cast<uint32_t>(dirPos + 2 + i * 12 - basePosition);
    info.ID = Get16(e, endianness);
    info.DataType = Get16(e + 2, endianness);
    info.ElementCount = static_cast<int32_t>(Get32(e + 4, endianness));
    if (info.DataSize() <= 4) {
      info.DataOffset = info.HeaderOffset + 8;
    } else {
      int64_t off = int64_t(Get32(e + 8, endianness)) + internalOffset;
      if (off < 8 || basePosition + off < 0 || basePosition + off + info.DataSize() > size)
        info.ElementCount = -1;
      else
        info.DataOffset = static_cast<uint32_t>(off);
    }
    if (info.IsWellFormed()) {
      tags.push_back(info);
      previousWellFormed = true;
      continue;
    }
    if (previousWellFormed) {
      loadErrors.Include(leBadTagHeader);
      if (i == 0 && loadErrors.Has(leBadTagCount)) {
        tags.clear();
        ++i;
        break;
      }
      tags.push_back(info);
      previousWellFormed = false;
      continue;
    }
    loadErrors.Include(leBadTagCount);
    ++i;
    break;
  }
  // Just after the last entry read, where the next-directory offset follows.
  stream.SetPosition(dirPos + 2 + i * 12);
}

bool CanPointToDirectory(TTiffTagID id, TTiffDataType dataType, int32_t elementCount) {
  if (elementCount != 1) return false;
  if (dataType == tdSubDirectory) return true;
  if (dataType != tdLongWord) return false;
  switch (id) {
    case 256: case 257: case 273: case 279: case 324: case 325: case 513: case 514: case 40962: case 40963:
      return false;
    default:
      return true;
  }
}

// --- parser

TTiffParser::TTiffParser(TStream& stream, std::unique_ptr<TStream> ownedStream)
    : FStream(&stream), FOwnedStream(std::move(ownedStream)) {
  FBasePosition = stream.Position();
  // An owned stream was given away with the call: it goes with the failed parser.
  if (!HasTiffHeader(stream, FEndianness, true) || !ReadLongInt(stream, FEndianness, FFirstDirOffset))
    throw EInvalidTiffData();
  FMaxOffsetValue = stream.Size() - FBasePosition - 4;
}

TTiffParser::~TTiffParser() = default;

std::shared_ptr<TTiffParser> TTiffParser::Create(TStream& stream) {
  return std::shared_ptr<TTiffParser>(new TTiffParser(stream, nullptr));
}

std::shared_ptr<TTiffParser> TTiffParser::Create(std::unique_ptr<TStream> ownedStream) {
  TStream& stream = *ownedStream;
  return std::shared_ptr<TTiffParser>(new TTiffParser(stream, std::move(ownedStream)));
}

TTiffParser::Enumerator::Enumerator(std::shared_ptr<TTiffParser> source)
    : FSource(std::move(source)), FMaxPossibleOffset(FSource->FMaxOffsetValue), FNextOffset(FSource->FFirstDirOffset) {}

bool TTiffParser::Enumerator::MoveNext() {
  if (FNextOffset == 0) return false;
  FCurrent = std::make_shared<TFoundTiffDirectory>(FSource, nullptr, FNextIndex, FNextOffset);
  int32_t next;
  bool more = ReadLongInt(*FSource->FStream, FSource->FEndianness, next) && next != 0 && int64_t(next) <= FMaxPossibleOffset;
  FCurrent->FMoreToFollow = more;
  if (more) {
    ++FNextIndex;
    FNextOffset = next;
  } else {
    FNextOffset = 0;
  }
  return true;
}

void TTiffParser::ReadTagData(const TTiffTagInfo& info, void* dest) {
  const int32_t size = info.DataSize();
  if (size == 0) return;
  FStream->SetPosition(FBasePosition + info.DataOffset);
  FStream->ReadBuffer(dest, static_cast<size_t>(size));
  size_t unit = 1;
  switch (info.DataType) {
    case tdWord: case tdSmallInt: unit = 2; break;
    case tdDouble: unit = 8; break;
    case tdByte: case tdAscii: case tdShortInt: case tdUndefined: unit = 1; break;
    default: unit = 4; break;  // LONG, SLONG, FLOAT, IFD, and the two halves of each fraction
  }
  ToMachineOrder(static_cast<uint8_t*>(dest), static_cast<size_t>(size), unit, FEndianness);
}

bool TTiffParser::OpenSubDirectory(TTiffTagID id, TTiffDataType dataType, int32_t elementCount, uint32_t value,
                                   const void* parent, std::shared_ptr<TFoundTiffDirectory>& directory) {
  if (!CanPointToDirectory(id, dataType, elementCount)) return false;
  return TFoundTiffDirectory::TryCreate(shared_from_this(), parent, id, value, directory);
}

// --- directories

TFoundTiffDirectory::TFoundTiffDirectory(std::shared_ptr<TTiffParser> parser, const void* parent, int32_t index,
                                         int64_t offset)
    : FIndex(index), FParent(parent), FParser(std::move(parser)) {
  LoadTagInfo(FParser->Stream(), FParser->Endianness(), FParser->BasePosition(), offset, 0, FTags, FLoadErrors);
}

bool TFoundTiffDirectory::TryCreate(const std::shared_ptr<TTiffParser>& parser, const void* parent, int32_t index,
                                    int64_t offset, std::shared_ptr<TFoundTiffDirectory>& directory) {
  auto candidate = std::make_shared<TFoundTiffDirectory>(parser, parent, index, offset);
  if (!candidate->FLoadErrors.Empty() && candidate->FTags.size() <= 2) return false;
  directory = std::move(candidate);
  return true;
}

const TTiffTagInfo* TFoundTiffDirectory::FindTag(TTiffTagID id) const {
  for (const TTiffTagInfo& t : FTags) {
    if (t.ID >= id) return t.ID == id ? &t : nullptr;
  }
  return nullptr;
}

bool TFoundTiffDirectory::FindTagBlock(TTiffTagID id, std::shared_ptr<TFoundTiffTag>& block) const {
  const TTiffTagInfo* t = FindTag(id);
  if (!t) return false;
  block = std::make_shared<TFoundTiffTag>(*this, *t);
  return true;
}

bool TFoundTiffDirectory::TagExists(TTiffTagID id, std::initializer_list<TTiffDataType> validTypes, int32_t minCount,
                                    int32_t maxCount) const {
  const TTiffTagInfo* t = FindTag(id);
  return t && std::find(validTypes.begin(), validTypes.end(), t->DataType) != validTypes.end() &&
         t->ElementCount >= minCount && t->ElementCount <= maxCount;
}

namespace {
const std::initializer_list<TTiffDataType> kAnyValidType = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
}

bool TFoundTiffDirectory::IsThumbnailDirectory() const {
  return FIndex == 1 && !FMoreToFollow && TagExists(513, {tdWord, tdLongWord, tdSubDirectory}, 1, 1) &&
         !TagExists(273, kAnyValidType, 1) && !TagExists(324, kAnyValidType, 1);
}

bool TFoundTiffDirectory::CopyThumbnailTo(std::vector<uint8_t>& sink) const {
  const TTiffTagInfo* t = FindTag(513);
  if (!t || !TagExists(513, {tdWord, tdLongWord, tdSubDirectory}, 1, 1)) return false;
  try {
    TStream& stream = FParser->Stream();
    uint32_t offset = 0;
    if (t->DataType == tdWord) {
      uint16_t v;
      FParser->ReadTagData(*t, &v);
      offset = v;
    } else {
      FParser->ReadTagData(*t, &offset);
    }
    const int64_t start = FParser->BasePosition() + offset;
    stream.SetPosition(start);
    const uint8_t soi[2] = {0xFF, 0xD8};
    if (!ProbeBytes(stream, soi, 2, true)) return false;
    TJPEGMarkers eoiOnly;
    eoiOnly.set(jmEOI);
    TJPEGHeaderParser walker(stream, eoiOnly);
    int64_t end = stream.Size();
    while (walker.MoveNext()) {
      if (walker.Current()->MarkerNum() == jmEOI) end = stream.Position();
    }
    if (end <= start) return false;
    sink.resize(static_cast<size_t>(end - start));
    stream.SetPosition(start);
    stream.ReadBuffer(sink.data(), sink.size());
    return true;
  } catch (const EReaderException&) {
    sink.clear();
    return false;
  }
}

TFoundTiffTag::TFoundTiffTag(const TFoundTiffDirectory& directory, const TTiffTagInfo& info) : FInfo(info) {
  std::vector<uint8_t> bytes(static_cast<size_t>(info.DataSize()));
  directory.Parser()->ReadTagData(info, bytes.data());
  SetBytes(std::move(bytes));
}

}  // namespace tess
