// Listing a folder of 10,000 photos through the file list's listing code, against the
// metadata reader alone on the same files: time per file and peak memory.
// Usage: list_bench [count]        (default 10000; the photos go to a fresh temporary folder)
//        list_bench --folder DIR   (an existing folder of photos, left as it is)
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "browse/FileListModel.h"
#include "browse/FileRecords.h"
#include "platform/DirectoryList.h"
#include "platform/Text.h"

using namespace tess;
using Bytes = std::vector<uint8_t>;

namespace {

void Put16(Bytes& b, uint16_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); }
void Put32(Bytes& b, uint32_t v) { Put16(b, uint16_t(v)); Put16(b, uint16_t(v >> 16)); }

// A little-endian TIFF: IFD0 with Make, Model, DateTime and the Exif pointer; the Exif
// directory with DateTimeOriginal and DateTimeDigitized.
Bytes PhotoTiff(const std::string& make, const std::string& model, const std::string& date) {
  struct Text { uint16_t tag; std::string value; };
  std::vector<Text> ifd0 = {{271, make}, {272, model}, {306, date}};
  std::vector<Text> exif = {{36867, date}, {36868, date}};
  const uint32_t ifd0Offset = 8;
  const uint32_t ifd0Size = 2 + 12 * 4 + 4;
  const uint32_t exifOffset = ifd0Offset + ifd0Size;
  const uint32_t exifSize = 2 + 12 * 2 + 4;
  uint32_t data = exifOffset + exifSize;
  Bytes out = {'I', 'I', 42, 0};
  Put32(out, ifd0Offset);
  Bytes values;
  auto entry = [&](Bytes& dir, const Text& t) {
    Put16(dir, t.tag);
    Put16(dir, 2);
    Put32(dir, uint32_t(t.value.size() + 1));
    Put32(dir, data + uint32_t(values.size()));
    values.insert(values.end(), t.value.begin(), t.value.end());
    values.push_back(0);
  };
  Put16(out, 4);
  for (const auto& t : ifd0) entry(out, t);
  Put16(out, 34665);
  Put16(out, 4);
  Put32(out, 1);
  Put32(out, exifOffset);
  Put32(out, 0);
  Put16(out, 2);
  for (const auto& t : exif) entry(out, t);
  Put32(out, 0);
  out.insert(out.end(), values.begin(), values.end());
  return out;
}

Bytes PhotoJpeg(const Bytes& tiff) {
  Bytes out = {0xFF, 0xD8, 0xFF, 0xE1};
  uint16_t len = uint16_t(tiff.size() + 6 + 2);
  out.push_back(uint8_t(len >> 8));
  out.push_back(uint8_t(len));
  for (char c : std::string("Exif\0\0", 6)) out.push_back(uint8_t(c));
  out.insert(out.end(), tiff.begin(), tiff.end());
  // A small quantisation table, then the scan with a few bytes of data and the end.
  Bytes dqt = {0xFF, 0xDB, 0x00, 0x43, 0x00};
  for (int i = 0; i < 64; ++i) dqt.push_back(1);
  out.insert(out.end(), dqt.begin(), dqt.end());
  Bytes sos = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x12, 0x34, 0x56, 0xFF, 0xD9};
  out.insert(out.end(), sos.begin(), sos.end());
  return out;
}

long PeakRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  const bool existing = argc > 2 && std::string(argv[1]) == "--folder";
  int count = existing ? 0 : (argc > 1 ? std::atoi(argv[1]) : 10000);
  std::filesystem::path dir =
      existing ? std::filesystem::path(argv[2])
               : std::filesystem::temp_directory_path() / ("tess_list_bench_" + std::to_string(getpid()));
  if (existing) {
    for (const auto& e : std::filesystem::directory_iterator(dir)) count += e.is_regular_file() ? 1 : 0;
  } else {
    std::filesystem::create_directories(dir);
  }
  const char* makes[] = {"Canon", "NIKON CORPORATION", "FUJIFILM", "OLYMPUS IMAGING CORP."};
  const char* models[] = {"Canon EOS 5D", "NIKON D70", "X-T2", "E-M5"};
  for (int i = 0; i < count && !existing; ++i) {
    char date[32];
    std::snprintf(date, sizeof date, "20%02d:%02d:%02d %02d:%02d:%02d", 10 + i % 10, 1 + i % 12, 1 + i % 28, i % 24,
                  i % 60, (i * 7) % 60);
    Bytes jpeg = PhotoJpeg(PhotoTiff(makes[i % 4], models[i % 4], date));
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%05d.JPG", i);
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
  }
  std::u16string folder = FromUtf8(dir.string()) + u"/";
  long rssStart = PeakRssKiB();

  // The reader alone: one reader per file, the five values read.
  std::vector<DirectoryEntry> entries;
  PlatformDirectoryLister().List(folder, entries);
  double readerBest = 1e9;
  for (int round = 0; round < 3; ++round) {
    auto t0 = std::chrono::steady_clock::now();
    double sink = 0;
    for (const auto& e : entries) {
      auto reader = ExifMetadataSource().CreateReader();
      try {
        if (reader->LoadFromGraphic(folder + e.name)) {
          sink += reader->DateTime() + reader->DateTimeOriginal() + reader->DateTimeDigitized();
          sink += double(reader->CameraModel().size() + reader->CameraMake().size());
        }
      } catch (...) {
      }
    }
    readerBest = std::min(readerBest, Seconds(std::chrono::steady_clock::now() - t0));
    if (sink == 42) std::puts("");
  }
  long rssAfterReader = PeakRssKiB();

  // The listing: enumeration, records, filter test and sort.
  FileListModel model;
  double listBest = 1e9;
  for (int round = 0; round < 3; ++round) {
    auto t0 = std::chrono::steady_clock::now();
    model.ListFolder(folder);
    listBest = std::min(listBest, Seconds(std::chrono::steady_clock::now() - t0));
  }
  int records = model.Count();
  // Where the listing's own time goes: the enumeration and the sort, each alone.
  double enumBest = 1e9, sortBest = 1e9;
  for (int round = 0; round < 3; ++round) {
    std::vector<DirectoryEntry> again;
    auto t1 = std::chrono::steady_clock::now();
    PlatformDirectoryLister().List(folder, again);
    enumBest = std::min(enumBest, Seconds(std::chrono::steady_clock::now() - t1));
    t1 = std::chrono::steady_clock::now();
    model.SortByColumn(ColumnName, nullptr);
    sortBest = std::min(sortBest, Seconds(std::chrono::steady_clock::now() - t1));
  }
  long rssAfterList = PeakRssKiB();
  auto t0 = std::chrono::steady_clock::now();
  model.Refresh(folder, true);
  double refresh = Seconds(std::chrono::steady_clock::now() - t0);

  std::printf("files: %d (records listed: %d)\n", count, records);
  std::printf("reader alone:   %.2f us per file (%.3f s)\n", readerBest * 1e6 / count, readerBest);
  std::printf("listing:        %.2f us per file (%.3f s)\n", listBest * 1e6 / count, listBest);
  std::printf("listing adds:   %.1f %% to the reading\n", (listBest - readerBest) * 100.0 / readerBest);
  std::printf("  of which enumeration %.2f us, sort %.2f us per file\n", enumBest * 1e6 / count, sortBest * 1e6 / count);
  std::printf("refresh (no change, sorted): %.2f us per file\n", refresh * 1e6 / count);
  std::printf("peak RSS: start %ld KiB, after reader %ld KiB, after listing %ld KiB (+%ld KiB for %d records)\n",
              rssStart, rssAfterReader, rssAfterList, rssAfterList - rssAfterReader, records);
  std::error_code ec;
  if (!existing) std::filesystem::remove_all(dir, ec);
  return 0;
}
