#pragma once
// The `info` command's TSV lines, kept apart from the command so that other readers of a
// photo's values can print the same format.
#include <string>
#include <string_view>

namespace tess {

enum class InfoExifState { Loaded, NotRecognised, Failed };

struct InfoRow {
  std::u16string path;
  InfoExifState state = InfoExifState::NotRecognised;
  double dateTime = -700000.0, original = -700000.0, digitized = -700000.0;
  std::u16string make, model;
  std::u16string offset;  // the shot's zone as the camera wrote it
};

// "path\texif\tdatetime\toriginal\tdigitized\tshot\tmake\tmodel\toffset\n"
std::string InfoHeaderLine();
// One line, newline included. Dates not greater than 0 are empty; shot is the first of
// original, datetime, digitized that is greater than 0.
std::string FormatInfoRow(const InfoRow& row);
// UTF-8 with \t, \n, \r, \0, \xNN for the other controls (and DEL), and \\ for a backslash.
std::string EscapeInfoText(std::u16string_view text);

}  // namespace tess
