#pragma once
// The metadata object: loads one image file's Exif block and answers the five values the
// program reads. (Placeholder API; the reader fills it in.)
#include <string>

namespace tess {

constexpr double MissingDate = -700000.0;

struct TDateTimeTagValue {
  double FValue = MissingDate;
  static TDateTimeTagValue CreateMissingOrInvalid() { return TDateTimeTagValue{MissingDate}; }
  bool MissingOrInvalid() const { return !(FValue >= -693593.0); }
  operator double() const { return FValue; }
};

class TExifData {
 public:
  TExifData();
  ~TExifData();
  // Opens the file for reading (others may read it too). True when a JPEG, PSD or TIFF
  // container was recognised. Raises the reader's exceptions.
  bool LoadFromGraphic(const std::u16string& fileName);
  TDateTimeTagValue DateTime() const;
  TDateTimeTagValue DateTimeOriginal() const;
  TDateTimeTagValue DateTimeDigitized() const;
  std::u16string CameraMake() const;
  std::u16string CameraModel() const;
};

}  // namespace tess
