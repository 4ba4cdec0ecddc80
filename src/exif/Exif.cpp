#include "exif/Exif.h"

namespace tess {
TExifData::TExifData() = default;
TExifData::~TExifData() = default;
bool TExifData::LoadFromGraphic(const std::u16string&) { return false; }
TDateTimeTagValue TExifData::DateTime() const { return {}; }
TDateTimeTagValue TExifData::DateTimeOriginal() const { return {}; }
TDateTimeTagValue TExifData::DateTimeDigitized() const { return {}; }
std::u16string TExifData::CameraMake() const { return {}; }
std::u16string TExifData::CameraModel() const { return {}; }
}  // namespace tess
