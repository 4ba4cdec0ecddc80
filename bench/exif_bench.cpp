// Measures the metadata reader against the I/O floor: for every file, open it, read its first
// 64 KiB and close it (floor), then load it with the reader and take the five values.
// usage: exif_bench FILE_OR_FOLDER... [--rounds N]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "exif/Exif.h"
#include "platform/Text.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  std::vector<std::string> files;
  int rounds = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::atoi(argv[++i]);
    } else if (fs::is_directory(argv[i])) {
      for (const auto& e : fs::directory_iterator(argv[i]))
        if (e.is_regular_file()) files.push_back(e.path().string());
    } else {
      files.push_back(argv[i]);
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "usage: exif_bench FILE_OR_FOLDER... [--rounds N]\n");
    return 2;
  }
  std::vector<std::u16string> wide;
  for (const auto& f : files) wide.push_back(tess::FromUtf8(f));
  static char buffer[65536];
  double bestFloor = 1e9, bestReader = 1e9;
  long checksum = 0;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    for (const auto& f : files) {
      int fd = ::open(f.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      checksum += ::read(fd, buffer, sizeof buffer);
      ::close(fd);
    }
    auto t1 = Clock::now();
    for (const auto& f : wide) {
      tess::TExifData exif;
      try {
        if (exif.LoadFromGraphic(f)) {
          double v = exif.DateTime() + exif.DateTimeOriginal() + exif.DateTimeDigitized();
          checksum += long(v) + long(exif.CameraMake().size() + exif.CameraModel().size());
        }
      } catch (const tess::EReaderException&) {
      }
    }
    auto t2 = Clock::now();
    bestFloor = std::min(bestFloor, std::chrono::duration<double>(t1 - t0).count());
    bestReader = std::min(bestReader, std::chrono::duration<double>(t2 - t1).count());
  }
  std::printf("files %zu, best of %d rounds\n", files.size(), rounds);
  std::printf("floor  (open, read 64 KiB, close): %8.2f ms  %6.2f us/file\n", bestFloor * 1e3, bestFloor * 1e6 / double(files.size()));
  std::printf("reader (load + five values):       %8.2f ms  %6.2f us/file\n", bestReader * 1e3, bestReader * 1e6 / double(files.size()));
  std::printf("ratio reader/floor: %.2f   (checksum %ld)\n", bestReader / bestFloor, checksum);
  return 0;
}
