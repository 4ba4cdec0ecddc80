// libFuzzer target: the metadata reader over arbitrary bytes. Only the reader's own
// exceptions are expected; anything else (or a sanitizer report) is a finding.
#include <cstddef>
#include <cstdint>

#include "exif/Exif.h"
#include "exif/Thumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tess::TMemoryStream stream(data, size);
  tess::TExifData exif;
  try {
    if (exif.LoadFromGraphic(stream)) {
      (void)exif.DateTime();
      (void)exif.DateTimeOriginal();
      (void)exif.DateTimeDigitized();
      (void)exif.CameraMake();
      (void)exif.CameraModel();
    }
  } catch (const tess::EReaderException&) {
  }
  // The thumbnail copy is not part of a load; exercise it on its own.
  try {
    stream.SetPosition(0);
    tess::TEndianness order;
    if (tess::HasTiffHeader(stream, order)) {
      auto parser = tess::TTiffParser::Create(stream);
      auto directories = parser->GetEnumerator();
      for (int i = 0; i < 2 && directories.MoveNext(); ++i) {
        std::vector<uint8_t> thumbnail;
        directories.Current()->CopyThumbnailTo(thumbnail);
      }
    }
  } catch (const tess::EReaderException&) {
  }
  // The stored-picture locator never raises; whatever it finds must lie inside the input.
  for (int minSide : {0, 160, 100000}) {
    const tess::PictureLocation found = tess::LocateStoredPicture(stream, minSide);
    if (found.picture && (found.picture.offset < 0 || found.picture.length <= 0 ||
                          found.picture.offset + found.picture.length > static_cast<int64_t>(size)))
      __builtin_trap();
    (void)tess::ReadStoredPicture(stream, found.picture);
  }
  // The same input as the head of a larger file, as the date's read hands it over.
  const tess::HeadPicture head = tess::StoredPictureInHead({data, size}, int64_t(size) + 1000000, 96);
  if (head.jpeg.size() > size) __builtin_trap();
  // The claimed size that decides whether a whole file goes to the codec never raises, and a
  // size it reports has pixels.
  int width = 0, height = 0;
  if (tess::ClaimedPictureSize(stream, width, height) == tess::PictureClaim::Known && (width <= 0 || height <= 0))
    __builtin_trap();
  (void)tess::WorthDecodingWhole(stream);
  return 0;
}
