#pragma once
// The metadata object: loads one image file's Exif block into sections of tags and answers
// the five values the program reads (three date-times, Make and Model).
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "exif/BaseUtils.h"
#include "exif/ExifErrors.h"
#include "exif/Streams.h"
#include "exif/TiffUtils.h"
#include "platform/DateTime.h"

namespace tess {

constexpr double MissingDate = -700000.0;

struct TDateTimeTagValue {
  double FValue = MissingDate;
  static TDateTimeTagValue CreateMissingOrInvalid() { return TDateTimeTagValue{MissingDate}; }
  bool MissingOrInvalid() const { return !(FValue >= -693593.0); }
  operator double() const { return FValue; }
};

enum class TExifSectionKindEx { esUserDefined, esGeneral, esDetails, esInterop, esGPS, esThumbnail, esMakerNote };
// The six sections every metadata object has (the sub-range without esUserDefined).
enum TExifSectionKind { esGeneral, esDetails, esInterop, esGPS, esThumbnail, esMakerNote };
constexpr int kExifSectionCount = 6;

enum TJPEGMetaDataKind { mkExif, mkIPTC, mkXMP };
using TJPEGMetaDataKinds = std::bitset<3>;

class TCustomExifData;
class TExifSection;

// Tag numbers the program reads.
enum : TTiffTagID {
  ttMake = 271, ttModel = 272, ttDateTime = 306, ttXMP = 700, ttIPTC = 33723, ttExifOffset = 34665,
  ttGPSOffset = 34853, ttDateTimeOriginal = 36867, ttDateTimeDigitized = 36868, ttMakerNote = 37500,
  ttSubsecTime = 37520, ttSubsecTimeOriginal = 37521, ttSubsecTimeDigitized = 37522, ttInteropOffset = 40965,
  ttOffsetTimeOriginal = 36881, ttBodySerialNumber = 42033
};

// The values of more than 8 bytes copied during one Exif block load. Entries that name the
// same bytes (ImageDescription and Make sharing one string, or thousands of hostile entries
// naming one stretch) share one copy; new copies stop at a budget, so that entries cannot
// multiply memory, while a value that is really in the block is always read.
class TTagValueStore {
 public:
  explicit TTagValueStore(int64_t budget) : FBudget(budget) {}
  // The entry's value in the machine's byte order; none when a new copy would pass the budget.
  std::shared_ptr<const uint8_t[]> Take(const TTiffTagInfo& entry, TTiffParser& parser);

 private:
  int64_t FBudget;
  std::map<std::tuple<uint32_t, TTiffDataType, int32_t>, std::shared_ptr<const uint8_t[]>> FCopies;
};

class TExifTag {
 public:
  // From a directory entry; reads its value (a malformed entry, or one past the load's
  // budget, keeps only its number).
  TExifTag(TExifSection& section, const TTiffTagInfo& entry, TTiffParser& parser, TTagValueStore& values,
           bool& overBudget);
  TExifTag(TExifTag&& other) noexcept;
  TExifTag& operator=(TExifTag&& other) noexcept;
  TTiffTagID ID() const { return FID; }
  TTiffDataType DataType() const { return FDataType; }
  int32_t ElementCount() const { return FElementCount; }
  int32_t DataSize() const { return TiffElementSize(FDataType) * FElementCount; }
  // The value bytes in the machine's byte order.
  std::span<const uint8_t> Data() const { return {FSharedData ? FSharedData.get() : FInlineData, FDataLength}; }
  int64_t OriginalDataOffset() const { return FOriginalDataOffset; }
  int32_t OriginalDataSize() const { return FOriginalDataSize; }
  bool WellFormed() const { return FWellFormed; }
  TExifSection& Section() const { return *FSection; }

 private:
  std::u16string FAsStringCache;
  // Values of up to 8 bytes live in the tag itself, larger ones in the load's shared copies.
  uint8_t FInlineData[8] = {};
  std::shared_ptr<const uint8_t[]> FSharedData;
  size_t FDataLength = 0;
  TTiffDataType FDataType;
  int32_t FElementCount;
  TTiffTagID FID;
  int64_t FOriginalDataOffset;
  int32_t FOriginalDataSize;
  bool FWellFormed;
  TExifSection* FSection;
};

class TExifSection {
 public:
  TExifSection(TCustomExifData* owner, TExifSectionKindEx kind) : FKind(kind), FOwner(owner) {}
  void LoadFromDirectory(const TFoundTiffDirectory& directory, bool tiffImageSource);
  void Clear();
  bool Find(TTiffTagID id, const TExifTag*& tag) const;
  // An ASCII tag with a count: its text (ExifTextBytes), decoded by DecodeExifText.
  bool TryGetStringValue(TTiffTagID id, std::u16string& value) const;
  std::u16string GetStringValue(TTiffTagID id, const std::u16string& defaultValue = {}) const;
  TDateTimeTagValue GetDateTimeValue(TTiffTagID mainID, TTiffTagID subSecsID) const;

  TExifSectionKindEx Kind() const { return FKind; }
  TMetadataLoadErrors LoadErrors() const { return FLoadErrors; }
  int64_t FirstTagHeaderOffset() const { return FFirstTagHeaderOffset; }
  int Count() const { return static_cast<int>(FTagList.size()); }
  const TExifTag& operator[](int i) const { return FTagList[static_cast<size_t>(i)]; }
  bool Modified() const { return FModified; }

 private:
  int64_t FFirstTagHeaderOffset = 0;
  TExifSectionKindEx FKind;
  TMetadataLoadErrors FLoadErrors;
  bool FModified = false;
  TCustomExifData* FOwner;
  std::vector<TExifTag> FTagList;
};

// The bytes of an ASCII value that make its text: up to the first NUL, without the blanks
// and control characters that trail it. Every text value read from a section goes through it.
std::string_view ExifTextBytes(std::span<const uint8_t> stored);
// A text value's characters: UTF-8 when its bytes are well-formed UTF-8 beyond ASCII, else
// the ANSI code page's.
std::u16string DecodeExifText(std::string_view bytes);
// "yyyy:mm:dd hh:nn:ss" (19 characters; only the colons at 5 and 8 are checked).
bool ParseExifDateTime(std::u16string_view text, TDateTime& value);
// Which tags of a whole TIFF file's first directory reach the general section.
bool IsTiffMainTagKept(TTiffTagID id, TTiffDataType dataType);

class TCustomExifData {
 public:
  TCustomExifData();
  virtual ~TCustomExifData();
  TCustomExifData(const TCustomExifData&) = delete;
  TCustomExifData& operator=(const TCustomExifData&) = delete;

  // Recognises the container at the stream's position and loads it; true for a JPEG, PSD
  // or TIFF container, whether or not it held metadata. Raises the reader's exceptions.
  bool LoadFromGraphic(TStream& stream);
  // An Exif block ("Exif\0\0" and a TIFF structure, or a bare TIFF structure).
  void LoadExifBlock(TStream& stream, bool tiffImageSource);
  void Clear();

  const TExifSection& Section(TExifSectionKind kind) const { return *FSections[kind]; }
  TExifSection& Section(TExifSectionKind kind) { return *FSections[kind]; }
  TEndianness Endianness() const { return FEndianness; }
  TJPEGMetaDataKinds MetadataInSource() const { return FMetadataInSource; }
  bool Empty() const;
  bool Modified() const { return FModified; }
  // The XMP block found in the source, kept unparsed (nothing here reads XMP).
  const IMetadataBlock& XMPBlock() const { return FXMPBlock; }
  // The class chosen to read the maker note; empty when there is none.
  std::string MakerNoteType() const { return FMakerNoteType ? FMakerNoteType : ""; }
  std::function<void()> OnChange;

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();

  TDateTimeTagValue DateTime() const;
  TDateTimeTagValue DateTimeOriginal() const;
  TDateTimeTagValue DateTimeDigitized() const;
  std::u16string CameraMake() const;
  std::u16string CameraModel() const;
  // The body's serial number (Exif BodySerialNumber), which tells two bodies of one model
  // apart; empty when the photo does not carry it.
  std::u16string CameraSerial() const;
  // The zone of DateTimeOriginal as the camera wrote it ("+09:00"); empty when not stored.
  // The wall-clock time stays as recorded: the zone is only shown.
  std::u16string OffsetTimeOriginal() const;
  // A video dated by its movie header: that time's figures as written, before they were
  // taken as UTC and converted to local time; 0 for every other file.
  TDateTime MovieHeaderTime() const { return FMedia.MovieHeaderTime; }

 protected:
  void Changed();

 private:
  friend class TExifSection;
  void LoadSubDirectory(TTiffParser& parser, TExifSectionKind source, TTiffTagID tag, TExifSectionKind target,
                        bool tiffImageSource);
  void ChooseMakerNoteType();
  // The containers after the classic four (ISO media, PNG, WebP), from the position the
  // load began at; true when a date or a camera text was found. MediaLoad.cpp.
  bool LoadMediaContainer(TStream& stream, int64_t start);
  // A Panasonic RW2/RWL without a date of its own: the Exif data of the JPEG preview its
  // first directory holds (tag 0x2E). Nothing for any other TIFF. MediaLoad.cpp.
  void LoadRawPreviewExif(TStream& stream, int64_t tiffStart);
  // A TIFF structure whose first directory goes into one section (Canon's CMT2).
  void LoadDirectoryBlock(TStream& stream, TExifSectionKind target);

  // A video's own values, which stand before the sections' when set.
  struct TMediaValues {
    TDateTime DateTimeOriginal = MissingDate;
    TDateTime MovieHeaderTime = 0;
    std::u16string CameraMake, CameraModel;
  };
  TMediaValues FMedia;

  std::array<std::unique_ptr<TExifSection>, kExifSectionCount> FSections;
  TEndianness FEndianness = TEndianness::SmallEndian;
  TJPEGMetaDataKinds FMetadataInSource;
  IMetadataBlock FXMPBlock;
  const char* FMakerNoteType = nullptr;
  int FUpdateCount = 0;
  bool FChangedWhileUpdating = false;
  bool FModified = false;
  // The copies of tag values during the current Exif block load (none outside one).
  std::optional<TTagValueStore> FTagValues;
  static constexpr int64_t kTagValueSlack = 64 * 1024;
  // Opens the value copies for one block read from the stream's position, and closes them
  // when it goes.
  struct TagValuesScope {
    TagValuesScope(std::optional<TTagValueStore>& values, TStream& block);
    ~TagValuesScope() { values.reset(); }
    std::optional<TTagValueStore>& values;
  };
};

class TExifData : public TCustomExifData {
 public:
  TExifData();
  ~TExifData() override;
  using TCustomExifData::LoadFromGraphic;
  // Opens the file for reading (others may read it too, none may write) and loads it; the
  // file is closed again also when an exception passes.
  bool LoadFromGraphic(const std::u16string& fileName);
};

}  // namespace tess
