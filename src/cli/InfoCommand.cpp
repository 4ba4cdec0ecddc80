// `tessarine-cli info PATH...`: each photo's EXIF dates, make and model as TSV.
#include <cstdio>

#include "cli/Cli.h"
#include "cli/InfoFormat.h"
#include "exif/Exif.h"
#include "platform/DateTime.h"
#include "platform/DirList.h"
#include "platform/Text.h"

namespace tess {
namespace {

const char kInfoUsage[] =
    "usage: tessarine-cli info PATH...\n"
    "\n"
    "Reads each file's EXIF metadata as the file list does and prints TSV: a header line\n"
    "  path  exif  datetime  original  digitized  shot  make  model\n"
    "then one line per file, in the order given. A folder stands for its files (one level,\n"
    "sorted by name).\n"
    "  exif       1 = JPEG, PSD or TIFF container read; 0 = not recognised;\n"
    "             E = the reader refused the file (its message goes to stderr)\n"
    "  dates      yyyy/mm/dd hh:nn:ss.zzz, empty when missing or invalid\n"
    "  shot       original, else datetime, else digitized\n"
    "  make/model UTF-8; tab, newline, CR and other control characters written as\n"
    "             \\t \\n \\r \\0 \\xNN, a backslash as \\\\\n"
    "Exit status 0, or 1 when a PATH cannot be read at all (missing or unreadable).\n";

std::string DateField(double value) { return value > 0 ? ToUtf8(FormatDateTime(value, true)) : std::string(); }

}  // namespace

std::string InfoHeaderLine() { return "path\texif\tdatetime\toriginal\tdigitized\tshot\tmake\tmodel\n"; }

std::string EscapeInfoText(std::u16string_view text) {
  std::string out;
  size_t runStart = 0;
  auto flush = [&](size_t end) {
    if (end > runStart) out += ToUtf8(text.substr(runStart, end - runStart));
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= 0x20 && c != 0x7F && c != u'\\') continue;
    flush(i);
    runStart = i + 1;
    switch (c) {
      case u'\\': out += "\\\\"; break;
      case u'\t': out += "\\t"; break;
      case u'\n': out += "\\n"; break;
      case u'\r': out += "\\r"; break;
      case 0: out += "\\0"; break;
      default: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", unsigned(c));
        out += buf;
      }
    }
  }
  flush(text.size());
  return out;
}

std::string FormatInfoRow(const InfoRow& row) {
  const bool loaded = row.state == InfoExifState::Loaded;
  double shot = -700000.0;
  for (double v : {row.original, row.dateTime, row.digitized}) {
    if (v > 0) {
      shot = v;
      break;
    }
  }
  std::string line = ToUtf8(row.path);
  line += row.state == InfoExifState::Loaded ? "\t1" : row.state == InfoExifState::NotRecognised ? "\t0" : "\tE";
  for (double v : {row.dateTime, row.original, row.digitized, shot}) line += "\t" + (loaded ? DateField(v) : "");
  line += "\t" + (loaded ? EscapeInfoText(row.make) : "");
  line += "\t" + (loaded ? EscapeInfoText(row.model) : "");
  return line + "\n";
}

int RunInfoCommand(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err) {
  for (const auto& a : args) {
    if (a == u"--help" || a == u"-h") {
      std::fputs(kInfoUsage, out);
      return 0;
    }
  }
  if (args.empty()) {
    std::fputs(kInfoUsage, err);
    return 2;
  }
  int status = 0;
  std::fputs(InfoHeaderLine().c_str(), out);
  // Reads one file; false when it could not be opened at all.
  auto readOne = [&](const std::u16string& path, bool reportOpenError) {
    InfoRow row;
    row.path = path;
    TExifData exif;
    try {
      if (exif.LoadFromGraphic(path)) {
        row.state = InfoExifState::Loaded;
        row.dateTime = exif.DateTime();
        row.original = exif.DateTimeOriginal();
        row.digitized = exif.DateTimeDigitized();
        row.make = exif.CameraMake();
        row.model = exif.CameraModel();
      }
    } catch (const EFOpenError& e) {
      if (reportOpenError) {
        std::fprintf(err, "%s: %s\n", ToUtf8(path).c_str(), e.what());
        status = 1;
      }
      return false;
    } catch (const std::exception& e) {
      row.state = InfoExifState::Failed;
      std::fprintf(err, "%s: %s\n", ToUtf8(path).c_str(), e.what());
    }
    std::fputs(FormatInfoRow(row).c_str(), out);
    return true;
  };
  for (const auto& path : args) {
    // Files are the common case: a folder is asked about only when it did not open as one.
    if (readOne(path, false)) continue;
    if (!IsFolder(path)) {
      readOne(path, true);
      continue;
    }
    auto names = ListFolderFiles(path);
    if (!names) {
      std::fprintf(err, "%s: the folder cannot be listed\n", ToUtf8(path).c_str());
      status = 1;
      continue;
    }
    for (const auto& name : *names) readOne(JoinPath(path, name), true);
  }
  return status;
}

}  // namespace tess
