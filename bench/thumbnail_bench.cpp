// Thumbnails and dates against dates alone, on one folder of photos in one run: the time,
// the read requests the program makes (read calls), and the bytes the disk delivered with
// the caches dropped (root only; warm runs otherwise). The thumbnails are found and read as
// the thumbnail view does it, after the date read of the same file; decoding is the
// system codec's part and is not in this native run.
// Usage: thumbnail_bench [count] [size_kb]   (copies of the corpus's JPEGs, padded)
//        thumbnail_bench --folder DIR
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "browse/FileRecords.h"
#include "exif/Thumbnail.h"
#include "platform/DirectoryList.h"
#include "platform/Text.h"

using namespace tess;
namespace fs = std::filesystem;

namespace {

struct Io {
  long long syscr = 0, readBytes = 0;
};
Io ReadIo() {
  Io io;
  std::ifstream in("/proc/self/io");
  std::string key;
  long long value;
  while (in >> key >> value) {
    if (key == "syscr:") io.syscr = value;
    if (key == "read_bytes:") io.readBytes = value;
  }
  return io;
}

bool DropCaches() {
  sync();
  std::ofstream drop("/proc/sys/vm/drop_caches");
  if (!drop) return false;
  drop << "3\n";
  return bool(drop);
}

struct Run {
  double seconds;
  long long calls, bytes;
  int pictures;
};

Run Measure(const std::u16string& folder, const std::vector<DirectoryEntry>& entries, bool thumbnails, bool cold) {
  if (cold) DropCaches();
  const Io before = ReadIo();
  const auto t0 = std::chrono::steady_clock::now();
  int pictures = 0;
  for (const DirectoryEntry& e : entries) {
    const std::u16string path = folder + e.name;
    RecordMetadata metadata = ReadRecordMetadata(path, ExifMetadataSource());
    if (metadata.ExifDateTimeOriginal == 42) std::puts("");
    if (!thumbnails) continue;
    try {
      TFileStream stream(path);
      PictureLocation found = LocateStoredPicture(stream, 96);
      if (!ReadStoredPicture(stream, found.picture).empty()) ++pictures;
    } catch (...) {
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const Io after = ReadIo();
  return {seconds, after.syscr - before.syscr, after.readBytes - before.readBytes, pictures};
}

}  // namespace

int main(int argc, char** argv) {
  const bool existing = argc > 2 && std::string(argv[1]) == "--folder";
  const int count = existing ? 0 : (argc > 1 ? std::atoi(argv[1]) : 2000);
  const int sizeKiB = existing ? 0 : (argc > 2 ? std::atoi(argv[2]) : 1024);
  fs::path dir = existing ? fs::path(argv[2]) : fs::temp_directory_path() / ("tess_thumb_bench_" + std::to_string(getpid()));
  if (!existing) {
    const fs::path corpus = fs::path(TESSARINE_CORPUS_DIR) / "jpeg";
    if (!fs::exists(corpus)) {
      std::printf("no corpus at %s\n", corpus.string().c_str());
      return 1;
    }
    std::vector<std::vector<char>> photos;
    for (const auto& e : fs::directory_iterator(corpus)) {
      std::ifstream in(e.path(), std::ios::binary);
      photos.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::create_directories(dir);
    std::vector<char> pad(size_t(sizeKiB) * 1024, '\x5a');
    for (int i = 0; i < count; ++i) {
      const std::vector<char>& photo = photos[size_t(i) % photos.size()];
      char name[32];
      std::snprintf(name, sizeof name, "IMG_%05d.JPG", i);
      std::ofstream out(dir / name, std::ios::binary);
      out.write(photo.data(), std::streamsize(photo.size()));
      if (pad.size() > photo.size()) out.write(pad.data(), std::streamsize(pad.size() - photo.size()));
    }
  }
  const std::u16string folder = FromUtf8(dir.string()) + u"/";
  std::vector<DirectoryEntry> entries;
  PlatformDirectoryLister().List(folder, entries);
  std::erase_if(entries, [](const DirectoryEntry& e) { return e.name == u"." || e.name == u".."; });
  const bool cold = DropCaches();
  std::printf("photos: %zu, %s\n", entries.size(), cold ? "caches dropped before each run" : "warm (not root)");
  for (int round = 0; round < 2; ++round) {
    const Run dates = Measure(folder, entries, false, cold);
    const Run both = Measure(folder, entries, true, cold);
    const double n = double(entries.size());
    std::printf("dates alone:           %.3f s, %.2f read calls/photo, %.1f KiB read/photo\n", dates.seconds,
                dates.calls / n, dates.bytes / n / 1024);
    std::printf("dates + thumbnails:    %.3f s, %.2f read calls/photo, %.1f KiB read/photo (%d pictures) -> %.2fx\n",
                both.seconds, both.calls / n, both.bytes / n / 1024, both.pictures, both.seconds / dates.seconds);
  }
  std::error_code ec;
  if (!existing) fs::remove_all(dir, ec);
  return 0;
}
