#pragma once
// A tiny JPEG with an Exif block (make, model and the three dates), written in code for the
// command-line tests of the rename.
#include <string>

namespace tess::testing {

struct RenameFixturePhoto {
  std::string make = "FixtureCam";
  std::string model = "FC-1";
  std::string dateTime;           // "YYYY:MM:DD HH:MM:SS"; empty leaves the tag out
  std::string dateTimeOriginal;
  std::string dateTimeDigitized;
};

// The bytes of the JPEG: SOI, APP1 Exif (little-endian TIFF: IFD0 with Make, Model,
// DateTime and the Exif pointer; Exif IFD with the original and digitized dates), EOI.
std::string MakeRenameFixtureJpeg(const RenameFixturePhoto& photo);

}  // namespace tess::testing
