// The metadata load of the containers that come after JPEG, Photoshop and TIFF: ISO base
// media (HEIF/HEIC/AVIF, CR3, MP4/MOV/M4V/3GP), PNG and WebP. Their Exif data goes through
// the same TIFF and section code as a JPEG's; a video's own date and camera texts stand
// before the sections' values where they apply.
#include <algorithm>

#include "exif/ChunkFormats.h"
#include "exif/Exif.h"
#include "exif/IsoMedia.h"

namespace tess {

namespace {

bool AnyDate(const TCustomExifData& data) {
  return !data.DateTimeOriginal().MissingOrInvalid() || !data.DateTime().MissingOrInvalid() ||
         !data.DateTimeDigitized().MissingOrInvalid();
}

const std::u16string& FirstNonEmpty(std::initializer_list<const std::u16string*> texts) {
  static const std::u16string none;
  for (const std::u16string* t : texts)
    if (!t->empty()) return *t;
  return none;
}

}  // namespace

void TCustomExifData::LoadDirectoryBlock(TStream& stream, TExifSectionKind target) {
  TagValuesScope valuesScope{FTagValues, stream};
  auto parser = TTiffParser::Create(stream);
  auto directories = parser->GetEnumerator();
  if (directories.MoveNext()) Section(target).LoadFromDirectory(*directories.Current(), false);
}

void TCustomExifData::LoadRawPreviewExif(TStream& stream, int64_t tiffStart) {
  static const uint8_t panasonic[4] = {'I', 'I', 'U', 0};
  stream.SetPosition(tiffStart);
  if (AnyDate(*this) || !ProbeBytes(stream, panasonic, 4, true)) return;
  constexpr TTiffTagID ttJpgFromRaw = 0x2E;
  // Older Panasonic raws keep their whole Exif data in the preview only. A fault in it
  // leaves the values read from the raw's own directory.
  try {
    auto parser = TTiffParser::Create(stream);
    auto directories = parser->GetEnumerator();
    if (!directories.MoveNext()) return;
    const TTiffTagInfo* preview = directories.Current()->FindTag(ttJpgFromRaw);
    if (!preview || preview->DataSize() <= 4) return;
    stream.SetPosition(parser->BasePosition() + preview->DataOffset);
    TJPEGMarkers app1;
    app1.set(jmApp1);
    TJPEGHeaderParser segments(stream, app1);
    while (segments.MoveNext()) {
      if (segments.Current()->IsExifBlock(true)) {
        LoadExifBlock(segments.Current()->Data(), false);
        return;
      }
    }
  } catch (const EReaderException&) {
  }
}

bool TCustomExifData::LoadMediaContainer(TStream& stream, int64_t start) {
  stream.SetPosition(start);
  // A damaged Exif block inside one of these files spoils only itself: the values found
  // before the fault, and the container's own, still count.
  auto loadBlock = [&](const std::vector<uint8_t>& bytes, bool detailsOnly) {
    if (bytes.empty()) return;
    TMemoryStream block(bytes.data(), bytes.size());
    try {
      if (detailsOnly)
        LoadDirectoryBlock(block, esDetails);
      else
        LoadExifBlock(block, false);
      FMetadataInSource.set(mkExif);
    } catch (const EReaderException&) {
    }
  };

  if (HasIsoMediaHeader(stream)) {
    TIsoMediaFindings found;
    ReadIsoMedia(stream, found);
    if (!found.exifItem.empty()) {
      loadBlock(found.exifItem, false);
    } else {
      loadBlock(found.canonMain, false);
      loadBlock(found.canonDetails, true);
    }
    // A video's date: one that carries its own zone, else the Exif data's, else the movie
    // header's UTC time in local time.
    bool fromMovie = false;
    TDateTime value;
    if (found.zonedDate && TryEncodeDateTime(*found.zonedDate, value)) {
      FMedia.DateTimeOriginal = value, fromMovie = true;
    } else if (!AnyDate(*this) && MovieTimeToLocal(found.movieCreation, value)) {
      FMedia.DateTimeOriginal = value, fromMovie = true;
      if (MovieTimeAsWritten(found.movieCreation, value)) FMedia.MovieHeaderTime = value;
    }
    // Make and model from where the date came from, else from the movie's keys and user data.
    std::u16string exifMake = Section(esGeneral).GetStringValue(ttMake);
    std::u16string exifModel = Section(esGeneral).GetStringValue(ttModel);
    if (fromMovie) {
      FMedia.CameraMake = FirstNonEmpty({&found.keysMake, &found.udtaMake});
      FMedia.CameraModel = FirstNonEmpty({&found.keysModel, &found.udtaModel});
    } else {
      if (exifMake.empty()) FMedia.CameraMake = FirstNonEmpty({&found.keysMake, &found.udtaMake});
      if (exifModel.empty()) FMedia.CameraModel = FirstNonEmpty({&found.keysModel, &found.udtaModel});
    }
  } else {
    std::vector<uint8_t> exif;
    if (ReadChunkContainerExif(stream, exif) == TChunkContainer::None) return false;
    loadBlock(exif, false);
  }
  return AnyDate(*this) || !CameraMake().empty() || !CameraModel().empty();
}

}  // namespace tess
