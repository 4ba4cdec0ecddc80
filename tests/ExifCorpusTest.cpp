// The reader over the photo corpus: every JPEG, TIFF and PSD compared with a reference
// reading made with exiftool, and every hostile file read without a fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "cli/InfoFormat.h"
#include "exif/Exif.h"
#include "platform/DateTime.h"
#include "platform/Locale.h"
#include "platform/Text.h"

using namespace tess;
namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = fs::path(TESSARINE_CORPUS_DIR);

// Why this reader differs from the reference on a file. Each rule has its own fixture test
// (ExifValues.MalformedEntriesAndDates). Camera texts and dates padded with NULs or blanks
// read as the reference reads them (ExifValues.StringTails, ExifValues.DateTexts).
const char kTwoMalformed[] =
    "two malformed entries in a row end the directory, so the entries after them are not read";
const char kOneMalformed[] =
    "a single malformed entry is kept and the directory goes on (the reference abandons the directory "
    "at its first unreadable value)";

struct Difference {
  const char* file;
  const char* field;
  const char* ours;
  const char* rule;
};

const Difference kDifferences[] = {
      {"jpeg/ImageTestSuite__c3018ebe53d0046eecb58858ca869a99.jpg", "datetime", "", kTwoMalformed},
      {"jpeg/ImageTestSuite__c3018ebe53d0046eecb58858ca869a99.jpg", "shot", "", kTwoMalformed},
      {"tiff/ImageTestSuite__m12-42c19f8e79e582bef107f372f18a074b.tif", "datetime", "2008/06/13 10:53:40.000", kOneMalformed},
      {"tiff/ImageTestSuite__m12-42c19f8e79e582bef107f372f18a074b.tif", "shot", "2008/06/13 10:53:40.000", kOneMalformed},
      {"tiff/ImageTestSuite__m16-42c19f8e79e582bef107f372f18a074b.tif", "datetime", "", kTwoMalformed},
      {"tiff/ImageTestSuite__m16-42c19f8e79e582bef107f372f18a074b.tif", "shot", "", kTwoMalformed},
      {"tiff/ImageTestSuite__m17-42c19f8e79e582bef107f372f18a074b.tif", "datetime", "", kTwoMalformed},
      {"tiff/ImageTestSuite__m17-42c19f8e79e582bef107f372f18a074b.tif", "shot", "", kTwoMalformed},
      {"tiff/ImageTestSuite__m2-42c19f8e79e582bef107f372f18a074b.tif", "datetime", "2008/06/13 10:53:40.000", kOneMalformed},
      {"tiff/ImageTestSuite__m2-42c19f8e79e582bef107f372f18a074b.tif", "shot", "2008/06/13 10:53:40.000", kOneMalformed},
      {"tiff/ImageTestSuite__m3-42c19f8e79e582bef107f372f18a074b.tif", "datetime", "2008/06/13 10:53:40.000", kOneMalformed},
      {"tiff/ImageTestSuite__m3-42c19f8e79e582bef107f372f18a074b.tif", "shot", "2008/06/13 10:53:40.000", kOneMalformed},
};

// Corrupt JPEGs the reader refuses (the reference reads no values from them either).
const std::map<std::string, std::string> kRefused = {
    // APP0 length FF CA 01 C4 runs past the end; a segment that ends beyond the file raises.
    {"jpeg/ImageTestSuite__754664a12e36abff7950e796c906ae39.jpg", "ストリームからの読み取りエラー"},
    // APP0 length 1 (16-bit arithmetic: 65535 bytes to skip) runs past the end.
    {"jpeg/ImageTestSuite__a7326ba8f3f4559991126474dd30083d.jpg", "ストリームからの読み取りエラー"},
};

// Files whose container is not one the reader knows (the reference reads no values either).
const std::map<std::string, std::string> kNotRecognised = {
    {"psd/AssertionError.PsdReader.extract.psd", "large-document PSB (version 2): not the PSD signature"},
    {"tiff/BigTIFF__BigTIFF.tif", "BigTIFF (II 2B 00) is not a TIFF signature the reader knows"},
    {"tiff/BigTIFF__BigTIFFLong.tif", "BigTIFF"},
    {"tiff/BigTIFF__BigTIFFLong8.tif", "BigTIFF"},
    {"tiff/BigTIFF__BigTIFFLong8Tiles.tif", "BigTIFF"},
    {"tiff/BigTIFF__BigTIFFMotorola.tif", "BigTIFF (MM 00 2B)"},
    {"tiff/BigTIFF__BigTIFFSubIFD4.tif", "BigTIFF"},
    {"tiff/BigTIFF__BigTIFFSubIFD8.tif", "BigTIFF"},
    {"tiff/ImageTestSuite__m13-42c19f8e79e582bef107f372f18a074b.tif", "BigTIFF (MM 00 2B)"},
    {"tiff/ImageTestSuite__m6-d1d366d7965db766c19a66c7a2ccbb6b.tif", "MM 00 42: unknown signature"},
    {"tiff/ImageTestSuite__m8-336db1cd76254717eb50a8602b651fbf.tif", "49 DB: not a byte-order mark"},
};

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> out;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, '\t')) out.push_back(cell);
  if (!line.empty() && line.back() == '\t') out.push_back("");
  return out;
}

std::string DateField(double v) { return v > 0 ? ToUtf8(FormatDateTime(v, true)) : ""; }

}  // namespace

TEST(ExifCorpus, AgreesWithReference) {
  if (!fs::exists(kCorpus / "expected.tsv")) GTEST_SKIP() << "no photo corpus at " << kCorpus.string();
  auto jp = MakeJapaneseLocale();
  ScopedLocaleOverride locale(*jp);
  std::map<std::pair<std::string, std::string>, const Difference*> listed;
  for (const Difference& d : kDifferences) listed[{d.file, d.field}] = &d;
  std::ifstream in(kCorpus / "expected.tsv");
  std::string line;
  std::getline(in, line);
  const char* fields[] = {"make", "model", "datetime", "original", "digitized", "shot"};
  int files = 0, agreeing = 0;
  std::set<std::string> seen;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    auto cells = Split(line);
    ASSERT_EQ(cells.size(), 7u) << line;
    const std::string& file = cells[0];
    seen.insert(file);
    ++files;
    TExifData exif;
    std::string error;
    bool loaded = false;
    try {
      loaded = exif.LoadFromGraphic(fs::path(kCorpus / fs::path(file)).u16string());
    } catch (const EReaderException& e) {
      error = e.what();
    }
    auto refused = kRefused.find(file);
    EXPECT_EQ(error, refused == kRefused.end() ? "" : refused->second) << file;
    EXPECT_EQ(loaded || !error.empty(), kNotRecognised.count(file) == 0) << file << ": recognised or not";
    std::string ours[6];
    if (loaded) {
      double original = exif.DateTimeOriginal(), dateTime = exif.DateTime(), digitized = exif.DateTimeDigitized();
      double shot = original > 0 ? original : dateTime > 0 ? dateTime : digitized;
      ours[0] = EscapeInfoText(exif.CameraMake());
      ours[1] = EscapeInfoText(exif.CameraModel());
      ours[2] = DateField(dateTime);
      ours[3] = DateField(original);
      ours[4] = DateField(digitized);
      ours[5] = DateField(shot);
    }
    bool all = true;
    for (int i = 0; i < 6; ++i) {
      auto it = listed.find({file, fields[i]});
      if (ours[i] == cells[size_t(i) + 1]) {
        EXPECT_TRUE(it == listed.end()) << file << " " << fields[i] << ": listed as a difference but agrees";
        continue;
      }
      all = false;
      if (it == listed.end()) {
        ADD_FAILURE() << file << " " << fields[i] << ": ours \"" << ours[i] << "\", reference \"" << cells[size_t(i) + 1] << "\"";
      } else {
        EXPECT_EQ(ours[i], it->second->ours) << file << " " << fields[i];
      }
    }
    agreeing += all ? 1 : 0;
  }
  // Every photo of the three folders has a reference line.
  for (const char* folder : {"jpeg", "tiff", "psd"}) {
    for (const auto& entry : fs::directory_iterator(kCorpus / folder)) {
      std::string name = std::string(folder) + "/" + ToUtf8(entry.path().filename().u16string());
      EXPECT_TRUE(seen.count(name)) << name << " has no reference line";
    }
  }
  std::printf("[ corpus   ] %d files, %d agree on all six values, %zu listed differences\n", files, agreeing,
              std::size(kDifferences));
}

TEST(ExifCorpus, HostileFilesAreReadSafely) {
  if (!fs::exists(kCorpus / "hostile")) GTEST_SKIP() << "no photo corpus at " << kCorpus.string();
  int files = 0, recognised = 0, refused = 0;
  for (const auto& entry : fs::directory_iterator(kCorpus / "hostile")) {
    ++files;
    TExifData exif;
    try {
      recognised += exif.LoadFromGraphic(entry.path().u16string()) ? 1 : 0;
      exif.DateTime();
      exif.DateTimeOriginal();
      exif.DateTimeDigitized();
      exif.CameraMake();
      exif.CameraModel();
    } catch (const EReaderException&) {
      ++refused;
    } catch (const std::exception& e) {
      ADD_FAILURE() << entry.path().string() << ": " << e.what();
    }
  }
  std::printf("[ hostile  ] %d files: %d recognised, %d refused by the reader\n", files, recognised, refused);
}
