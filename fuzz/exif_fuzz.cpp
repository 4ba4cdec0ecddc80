// libFuzzer target: the metadata reader over arbitrary bytes. Only the reader's own
// exceptions are expected; anything else (or a sanitizer report) is a finding.
#include <cstddef>
#include <cstdint>

#include "exif/Exif.h"

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
  return 0;
}
