#include "exif/Exif.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "exif/IsoMedia.h"
#include "platform/IntConv.h"
#include "platform/Locale.h"
#include "platform/Text.h"

namespace tess {

// --- tags and sections

std::shared_ptr<const uint8_t[]> TTagValueStore::Take(const TTiffTagInfo& entry, TTiffParser& parser) {
  const auto key = std::make_tuple(entry.DataOffset, entry.DataType, entry.ElementCount);
  if (auto it = FCopies.find(key); it != FCopies.end()) return it->second;
  const int32_t size = entry.DataSize();
  if (size > FBudget) return nullptr;
  FBudget -= size;
  auto bytes = std::make_shared<uint8_t[]>(static_cast<size_t>(size));
  parser.ReadTagData(entry, bytes.get());
  FCopies.emplace(key, bytes);
  return bytes;
}

TExifTag::TExifTag(TExifSection& section, const TTiffTagInfo& entry, TTiffParser& parser, TTagValueStore& values,
                   bool& overBudget)
    : FID(entry.ID), FSection(&section) {
  FWellFormed = entry.IsWellFormed();
  FDataType = FWellFormed ? entry.DataType : TTiffDataType(tdUndefined);
  FElementCount = FWellFormed && entry.ElementCount > 0 ? entry.ElementCount : 0;
  int32_t size = DataSize();
  // A value as small as the tag's own storage costs no more than the tag itself, however
  // many entries name it.
  if (size > int32_t(sizeof FInlineData)) {
    FSharedData = values.Take(entry, parser);
    if (!FSharedData) {
      overBudget = true;
      FWellFormed = false;
      FDataType = tdUndefined;
      FElementCount = 0;
      size = 0;
    }
  } else if (size > 0) {
    parser.ReadTagData(entry, FInlineData);
  }
  FDataLength = static_cast<size_t>(size);
  FOriginalDataOffset = entry.DataOffset;
  FOriginalDataSize = size;
}

TExifTag::TExifTag(TExifTag&& other) noexcept { *this = std::move(other); }

TExifTag& TExifTag::operator=(TExifTag&& other) noexcept {
  FAsStringCache = std::move(other.FAsStringCache);
  std::memcpy(FInlineData, other.FInlineData, sizeof FInlineData);
  FSharedData = std::move(other.FSharedData);
  FDataLength = other.FDataLength;
  FDataType = other.FDataType;
  FElementCount = other.FElementCount;
  FID = other.FID;
  FOriginalDataOffset = other.FOriginalDataOffset;
  FOriginalDataSize = other.FOriginalDataSize;
  FWellFormed = other.FWellFormed;
  FSection = other.FSection;
  return *this;
}

void TExifSection::Clear() {
  FTagList.clear();
  FLoadErrors = {};
  FFirstTagHeaderOffset = 0;
  FModified = false;
}

void TExifSection::LoadFromDirectory(const TFoundTiffDirectory& directory, bool tiffImageSource) {
  Clear();
  FLoadErrors = directory.LoadErrors();
  const auto& entries = directory.TagInfo();
  FFirstTagHeaderOffset = entries.empty() ? 0 : entries.front().HeaderOffset;
  bool overBudget = false;
  // Within a block load the copies are the block's; a section loaded on its own keeps its own.
  std::optional<TTagValueStore> ownValues;
  if (!FOwner || !FOwner->FTagValues) ownValues.emplace(INT64_MAX);
  TTagValueStore& values = ownValues ? *ownValues : *FOwner->FTagValues;
  FTagList.reserve(entries.size());
  for (const TTiffTagInfo& entry : entries) {
    if (tiffImageSource && FKind == TExifSectionKindEx::esGeneral && !IsTiffMainTagKept(entry.ID, entry.DataType))
      continue;
    FTagList.emplace_back(*this, entry, *directory.Parser(), values, overBudget);
  }
  if (overBudget) FLoadErrors.Include(TMetadataLoadError::leBadTagHeader);
  // Stable, so that of two entries with one number Find answers the first in the file.
  auto byID = [](const TExifTag& a, const TExifTag& b) { return a.ID() < b.ID(); };
  if (!std::is_sorted(FTagList.begin(), FTagList.end(), byID)) std::stable_sort(FTagList.begin(), FTagList.end(), byID);
  FModified = false;
}

bool TExifSection::Find(TTiffTagID id, const TExifTag*& tag) const {
  for (const TExifTag& t : FTagList) {
    if (t.ID() >= id) {
      if (t.ID() != id) return false;
      tag = &t;
      return true;
    }
  }
  return false;
}

std::string_view ExifTextBytes(std::span<const uint8_t> stored) {
  // Cameras pad their texts to a fixed field: with NULs ("Canon EOS 350D DIGITAL" and nine
  // NULs) or with blanks ("FinePix E500   "), and a date may carry two NULs after its 19
  // characters. The text ends at its first NUL, and what trails it of blanks and control
  // characters is dropped, so that a list column, a folder name and a date all see the text
  // the camera meant.
  const char* text = reinterpret_cast<const char*>(stored.data());
  size_t length = stored.size();
  if (const void* nul = std::memchr(text, 0, length)) length = static_cast<size_t>(static_cast<const char*>(nul) - text);
  while (length > 0 && static_cast<uint8_t>(text[length - 1]) <= 0x20) --length;
  return std::string_view(text, length);
}

std::u16string DecodeExifText(std::string_view bytes) {
  // Phones write Make and Model in UTF-8, Japanese cameras in their code page (932). Text
  // that is well-formed UTF-8 beyond ASCII is taken as UTF-8, as a Shift_JIS text almost
  // never is; everything else keeps its code-page meaning.
  if (IsNonAsciiUtf8(bytes)) return FromUtf8(bytes);
  return CurrentLocale().DecodeAnsi(bytes);
}

bool TExifSection::TryGetStringValue(TTiffTagID id, std::u16string& value) const {
  const TExifTag* tag;
  if (!Find(id, tag) || tag->DataType() != tdAscii || tag->ElementCount() <= 0) return false;
  value = DecodeExifText(ExifTextBytes(tag->Data().first(static_cast<size_t>(tag->ElementCount()))));
  return true;
}

std::u16string TExifSection::GetStringValue(TTiffTagID id, const std::u16string& defaultValue) const {
  std::u16string value;
  return TryGetStringValue(id, value) ? value : defaultValue;
}

TDateTimeTagValue TExifSection::GetDateTimeValue(TTiffTagID mainID, TTiffTagID subSecsID) const {
  TDateTime value;
  if (!ParseExifDateTime(GetStringValue(mainID), value)) return TDateTimeTagValue::CreateMissingOrInvalid();
  const TExifTag* subSecs;
  if (FOwner && subSecsID != 0 && FOwner->Section(esDetails).Find(subSecsID, subSecs) &&
      subSecs->DataType() == tdAscii && subSecs->ElementCount() > 1) {
    char s[3] = {'0', '0', '0'};
    std::memcpy(s, subSecs->Data().data(), std::min<size_t>(size_t(subSecs->ElementCount()) - 1, 3));
    int32_t ms;
    if (TryStrToInt(std::string_view(s, 3), ms)) value = IncMilliSecond(value, ms);
  }
  return TDateTimeTagValue{value};
}

bool ParseExifDateTime(std::u16string_view text, TDateTime& value) {
  if (text.size() != 19 || text[4] != u':' || text[7] != u':') return false;
  auto piece = [&](size_t at, size_t length, int min, int max, int& out) {
    int32_t v;
    if (!TryStrToInt(text.substr(at, length), v)) return false;
    out = static_cast<uint16_t>(v);  // a negative piece wraps out of range
    return out >= min && out <= max;
  };
  DateTimeParts p;
  if (!piece(0, 4, 1, 9999, p.year) || !piece(5, 2, 1, 12, p.month) || !piece(8, 2, 1, 31, p.day) ||
      p.day > DaysInMonth(p.year, p.month) || !piece(11, 2, 0, 23, p.hour) || !piece(14, 2, 0, 59, p.minute) ||
      !piece(17, 2, 0, 59, p.second))
    return false;
  return TryEncodeDateTime(p, value);
}

bool IsTiffMainTagKept(TTiffTagID id, TTiffDataType dataType) {
  switch (id) {
    case 270: case 271: case 272: case 274: case 282: case 283: case 296: case 305: case 306: case 315: case 318:
    case 319: case 529: case 531: case 532: case 33432: case 33723: case 34665: case 34853: case 50341:
      return true;
    case 18246: case 40091: case 40092: case 40093: case 40094: case 40095: case 59932:
      return dataType == tdByte;
    default:
      return false;
  }
}

// --- maker-note classes

namespace {

using MakerNoteTest = bool (*)(const TExifTag& tag, const std::u16string& make);

bool Begins(const TExifTag& tag, const char* bytes, size_t count) {
  return tag.Data().size() >= count && std::memcmp(tag.Data().data(), bytes, count) == 0;
}

struct TMakerNoteClass {
  const char* Name;
  MakerNoteTest FormatIsOK;
};

// In the order the classes register; they are tried from the last to the first.
const TMakerNoteClass kMakerNoteClasses[] = {
    {"TNikonType2MakerNote", [](const TExifTag&, const std::u16string& make) { return make.starts_with(u"NIKON"); }},
    {"TCanonMakerNote", [](const TExifTag&, const std::u16string& make) { return make == u"Canon"; }},
    {"TPentaxMakerNote",
     [](const TExifTag& t, const std::u16string&) { return t.ElementCount() > 4 && Begins(t, "AOC\0", 4); }},
    {"TSonyMakerNote",
     [](const TExifTag& t, const std::u16string&) { return t.ElementCount() > 12 && Begins(t, "SONY DSC", 8); }},
    {"TNikonType1MakerNote",
     [](const TExifTag& t, const std::u16string&) { return t.ElementCount() > 8 && Begins(t, "Nikon\0\x01\0", 8); }},
    {"TNikonType3MakerNote",
     [](const TExifTag& t, const std::u16string&) { return t.ElementCount() > 18 && Begins(t, "Nikon\0\x02", 7); }},
    {"TPanasonicMakerNote",
     [](const TExifTag& t, const std::u16string&) { return t.ElementCount() > 12 && Begins(t, "Panasonic\0\0\0", 12); }},
};

}  // namespace

void TCustomExifData::ChooseMakerNoteType() {
  const TExifTag* tag;
  if (!Section(esDetails).Find(ttMakerNote, tag)) return;
  FMakerNoteType = "THeaderlessMakerNote";
  if (tag->DataType() != tdUndefined || tag->ElementCount() <= 1) return;
  std::u16string make = CameraMake();
  for (auto it = std::rbegin(kMakerNoteClasses); it != std::rend(kMakerNoteClasses); ++it) {
    if (it->FormatIsOK(*tag, make)) {
      FMakerNoteType = it->Name;
      return;
    }
  }
}

// --- the metadata object

TCustomExifData::TCustomExifData() {
  static const TExifSectionKindEx kinds[] = {TExifSectionKindEx::esGeneral, TExifSectionKindEx::esDetails,
                                             TExifSectionKindEx::esInterop, TExifSectionKindEx::esGPS,
                                             TExifSectionKindEx::esThumbnail, TExifSectionKindEx::esMakerNote};
  for (int i = 0; i < kExifSectionCount; ++i) FSections[size_t(i)] = std::make_unique<TExifSection>(this, kinds[i]);
}

TCustomExifData::~TCustomExifData() = default;

void TCustomExifData::Changed() {
  FModified = true;
  if (FUpdateCount > 0) {
    FChangedWhileUpdating = true;
  } else if (OnChange) {
    OnChange();
  }
}

void TCustomExifData::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangedWhileUpdating) {
    FChangedWhileUpdating = false;
    if (OnChange) OnChange();
  }
}

void TCustomExifData::Clear() {
  BeginUpdate();
  for (auto& s : FSections) s->Clear();
  FXMPBlock.reset();
  FMakerNoteType = nullptr;
  FMedia = {};
  Changed();
  EndUpdate();
}

bool TCustomExifData::Empty() const {
  for (const auto& s : FSections)
    if (s->Count() > 0) return false;
  return true;  // the thumbnail is never materialised (no value read here depends on it)
}

namespace {

// Ends a load's update without a notification, also when an exception passes.
struct LoadUpdateScope {
  TCustomExifData& data;
  bool& changedWhileUpdating;
  bool& modified;
  ~LoadUpdateScope() {
    changedWhileUpdating = false;
    data.EndUpdate();
    modified = false;
  }
};

}  // namespace

TCustomExifData::TagValuesScope::TagValuesScope(std::optional<TTagValueStore>& values, TStream& block)
    : values(values) {
  values.emplace(std::max<int64_t>(block.Size() - block.Position(), 0) + kTagValueSlack);
}

void TCustomExifData::LoadExifBlock(TStream& stream, bool tiffImageSource) {
  static const uint8_t exifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (ProbeBytes(stream, exifHeader, 6, false)) tiffImageSource = false;
  BeginUpdate();
  LoadUpdateScope scope{*this, FChangedWhileUpdating, FModified};
  // Copies of values stop at what the block holds plus room for values that overlap in a
  // real file; entries naming the same bytes cost nothing more.
  TagValuesScope valuesScope{FTagValues, stream};
  auto parser = TTiffParser::Create(stream);
  FEndianness = parser->Endianness();
  auto directories = parser->GetEnumerator();
  if (directories.MoveNext()) {
    const TFoundTiffDirectory& ifd0 = *directories.Current();
    Section(esGeneral).LoadFromDirectory(ifd0, tiffImageSource);
    // IPTC data is never read, so its block is not kept.
    std::shared_ptr<TFoundTiffTag> block;
    if ((tiffImageSource || !FXMPBlock) && ifd0.FindTagBlock(ttXMP, block) && block->IsXMPBlock(true))
      FXMPBlock = block;
    if (directories.MoveNext()) {
      const TFoundTiffDirectory& ifd1 = *directories.Current();
      // The thumbnail JPEG itself is not copied: nothing here reads it.
      if (!tiffImageSource || ifd1.IsThumbnailDirectory()) Section(esThumbnail).LoadFromDirectory(ifd1, tiffImageSource);
    }
  }
  LoadSubDirectory(*parser, esGeneral, ttExifOffset, esDetails, tiffImageSource);
  LoadSubDirectory(*parser, esGeneral, ttGPSOffset, esGPS, tiffImageSource);
  LoadSubDirectory(*parser, esDetails, ttInteropOffset, esInterop, tiffImageSource);
  ChooseMakerNoteType();
  Changed();
}

void TCustomExifData::LoadSubDirectory(TTiffParser& parser, TExifSectionKind source, TTiffTagID tag,
                                       TExifSectionKind target, bool tiffImageSource) {
  const TExifTag* pointer;
  if (!Section(source).Find(tag, pointer) || pointer->Data().size() < 4) return;
  uint32_t offset;
  std::memcpy(&offset, pointer->Data().data(), 4);
  std::shared_ptr<TFoundTiffDirectory> directory;
  if (parser.OpenSubDirectory(pointer->ID(), pointer->DataType(), pointer->ElementCount(), offset, &Section(source),
                              directory))
    Section(target).LoadFromDirectory(*directory, tiffImageSource);
}

bool TCustomExifData::LoadFromGraphic(TStream& stream) {
  FMetadataInSource.reset();
  BeginUpdate();
  LoadUpdateScope scope{*this, FChangedWhileUpdating, FModified};
  for (auto& s : FSections) s->Clear();
  FXMPBlock.reset();
  FMakerNoteType = nullptr;
  FMedia = {};
  const int64_t start = stream.Position();

  auto probe = [&](uint8_t a, uint8_t b) {
    const uint8_t bytes[2] = {a, b};
    return ProbeBytes(stream, bytes, 2, true);
  };
  auto readPair = [&](uint8_t a, uint8_t b) {
    uint8_t got[2];
    stream.ReadBuffer(got, 2);
    return got[0] == a && got[1] == b;
  };
  // An ISO media file begins with its ftyp box, so with 00 00: never let the fixed offset
  // below find a JPEG or TIFF signature by chance inside its boxes or media data.
  if (probe(0x00, 0x00) && HasIsoMediaHeader(stream)) return LoadMediaContainer(stream, start);
  // Some camera formats carry their TIFF or JPEG data at a fixed offset, told by their
  // first two bytes.
  if (probe(0x00, 0x00)) stream.SetPosition(320);
  if (probe(0x46, 0x55)) {
    stream.SetPosition(160);
    if (readPair(0x49, 0x49)) {
      stream.SetPosition(readPair(0x2A, 0x00) ? 160 : 0);
    } else {
      stream.SetPosition(120);
      if (readPair(0x4D, 0x4D))
        stream.SetPosition(readPair(0x00, 0x2A) ? 120 : 0);
      else
        stream.SetPosition(0);
    }
  }
  if (probe(0x00, 0x4D)) stream.SetPosition(48);
  if (probe(0x46, 0x4F)) {
    int64_t found = -1;
    for (int64_t at : {272, 464}) {
      stream.SetPosition(at);
      if (readPair(0x4D, 0x4D)) {
        found = readPair(0x00, 0x2A) ? at : 0;
        break;
      }
    }
    if (found < 0) {
      stream.SetPosition(808);
      found = readPair(0x49, 0x49) && readPair(0x2A, 0x00) ? 808 : 0;
    }
    stream.SetPosition(found);
  }

  TEndianness endianness;
  const uint8_t soi[2] = {0xFF, 0xD8};
  auto takeBlock = [&](const std::shared_ptr<TMetadataBlock>& block) {
    if (!FMetadataInSource.test(mkExif) && block->IsExifBlock(true)) {
      FMetadataInSource.set(mkExif);
      LoadExifBlock(block->Data(), false);
    } else if (!FMetadataInSource.test(mkXMP) && block->IsXMPBlock(true)) {
      FMetadataInSource.set(mkXMP);
      FXMPBlock = block;  // kept unparsed
    }
  };
  if (ProbeBytes(stream, soi, 2, true)) {
    TJPEGMarkers app1;
    app1.set(jmApp1);
    TJPEGHeaderParser segments(stream, app1);
    while (segments.MoveNext()) takeBlock(segments.Current());
    return true;
  }
  if (ProbeBytes(stream, kPSDSignature, sizeof kPSDSignature, true)) {
    TPSDInfo info;
    TAdobeResBlockParser blocks(stream, info);
    while (blocks.MoveNext()) takeBlock(blocks.Current());
    return true;
  }
  if (HasTiffHeader(stream, endianness, false)) {
    const int64_t tiffStart = stream.Position();
    LoadExifBlock(stream, true);
    LoadRawPreviewExif(stream, tiffStart);
    if (!Empty()) FMetadataInSource.set(mkExif);
    if (FXMPBlock) FMetadataInSource.set(mkXMP);
    return true;
  }
  return LoadMediaContainer(stream, start);
}

TDateTimeTagValue TCustomExifData::DateTime() const { return Section(esGeneral).GetDateTimeValue(ttDateTime, ttSubsecTime); }
TDateTimeTagValue TCustomExifData::DateTimeOriginal() const {
  if (FMedia.DateTimeOriginal != MissingDate) return TDateTimeTagValue{FMedia.DateTimeOriginal};
  return Section(esDetails).GetDateTimeValue(ttDateTimeOriginal, ttSubsecTimeOriginal);
}
TDateTimeTagValue TCustomExifData::DateTimeDigitized() const {
  return Section(esDetails).GetDateTimeValue(ttDateTimeDigitized, ttSubsecTimeDigitized);
}
std::u16string TCustomExifData::CameraMake() const {
  return FMedia.CameraMake.empty() ? Section(esGeneral).GetStringValue(ttMake) : FMedia.CameraMake;
}
std::u16string TCustomExifData::CameraModel() const {
  return FMedia.CameraModel.empty() ? Section(esGeneral).GetStringValue(ttModel) : FMedia.CameraModel;
}

std::u16string TCustomExifData::CameraSerial() const { return Section(esDetails).GetStringValue(ttBodySerialNumber); }
std::u16string TCustomExifData::OffsetTimeOriginal() const {
  std::u16string offset = Section(esDetails).GetStringValue(ttOffsetTimeOriginal);
  // Only "+hh:mm" or "-hh:mm" is a zone; anything else (blanks, "   :  ") is none.
  auto digit = [&](size_t i) { return offset[i] >= u'0' && offset[i] <= u'9'; };
  if (offset.size() != 6 || (offset[0] != u'+' && offset[0] != u'-') || offset[3] != u':' || !digit(1) || !digit(2) ||
      !digit(4) || !digit(5))
    return {};
  return offset;
}

TExifData::TExifData() = default;
TExifData::~TExifData() = default;

bool TExifData::LoadFromGraphic(const std::u16string& fileName) {
  TFileStream file(fileName);
  return TCustomExifData::LoadFromGraphic(file);
}

}  // namespace tess
