// Measures reading the five EXIF values of every file in a folder against the I/O floor
// (open, read the first 64 KiB, close, each file), and optionally against exiv2 reading
// the same five keys. Warm cache: every pass runs once unmeasured first.
//
//   exif_bench --make DIR --from CORPUS_JPEG_DIR [--count 2000] [--size-mb 4]
//       writes COUNT whole-size camera JPEGs: each corpus file's metadata segments
//       followed by MB of entropy-coded-like data and an end marker.
//   exif_bench DIR [--rounds 5] [--limit N] [--exiv2]
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "exif/Exif.h"
#include "platform/Text.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> ListFiles(const std::string& dir) {
  std::vector<std::string> files;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      std::string path = dir + "/" + name;
      struct stat st;
      if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) files.push_back(path);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

int Make(const std::string& dir, const std::string& from, int count, int sizeMb) {
  std::vector<std::string> sources;
  for (const std::string& f : ListFiles(from)) {
    std::string lower = f;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    if (lower.size() > 4 && lower.substr(lower.size() - 4) == ".jpg") sources.push_back(f);
  }
  if (sources.empty()) {
    std::fprintf(stderr, "no JPEG files in %s\n", from.c_str());
    return 1;
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    std::fprintf(stderr, "cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
    return 1;
  }
  // Entropy-coded data never holds a bare FF: stuff every FF with 00, as encoders do.
  std::mt19937 rng(42);
  std::string body(size_t(sizeMb) << 20, '\0');
  for (char& c : body) c = char(rng() % 255);
  for (int i = 0; i < count; ++i) {
    const std::string& src = sources[size_t(i) % sources.size()];
    std::ifstream in(src, std::ios::binary);
    std::string head((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The corpus files end with an appended end marker just after the start of the image data.
    if (head.size() >= 2 && uint8_t(head[head.size() - 2]) == 0xFF && uint8_t(head.back()) == 0xD9) head.resize(head.size() - 2);
    char name[64];
    std::snprintf(name, sizeof name, "/IMG_%05d.JPG", i);
    std::ofstream out(dir + name, std::ios::binary);
    out << head << body << "\xFF\xD9";
    if (!out.flush()) {
      std::fprintf(stderr, "cannot write %s%s\n", dir.c_str(), name);
      return 1;
    }
  }
  std::printf("wrote %d files of about %d MiB to %s\n", count, sizeMb, dir.c_str());
  return 0;
}

double FloorPass(const std::vector<std::string>& files) {
  static std::vector<char> buf(65536);
  auto t0 = Clock::now();
  size_t total = 0;
  for (const std::string& f : files) {
    int fd = open(f.c_str(), O_RDONLY);
    if (fd < 0) continue;
    ssize_t n = read(fd, buf.data(), buf.size());
    if (n > 0) total += size_t(n);
    close(fd);
  }
  if (total == 0) std::fprintf(stderr, "floor read nothing\n");
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

double ReaderPass(const std::vector<std::u16string>& files, int& recognised) {
  auto t0 = Clock::now();
  recognised = 0;
  double sink = 0;
  size_t textLen = 0;
  for (const std::u16string& f : files) {
    try {
      tess::TExifData data;
      if (data.LoadFromGraphic(f)) {
        ++recognised;
        sink += data.DateTime() + data.DateTimeOriginal() + data.DateTimeDigitized();
        textLen += data.CameraMake().size() + data.CameraModel().size();
      }
    } catch (...) {
    }
  }
  if (sink == 12345.678 && textLen == 7) std::puts("");  // keep the work observable
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

double Exiv2Pass(const std::vector<std::string>& files) {
  // exiv2 takes many files per call; batches keep the command line short.
  auto t0 = Clock::now();
  for (size_t i = 0; i < files.size(); i += 200) {
    std::string cmd =
        "exiv2 -q -K Exif.Image.DateTime -K Exif.Photo.DateTimeOriginal -K Exif.Photo.DateTimeDigitized "
        "-K Exif.Image.Make -K Exif.Image.Model -Pv";
    for (size_t j = i; j < std::min(files.size(), i + 200); ++j) cmd += " '" + files[j] + "'";
    cmd += " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) == -1) return -1;
  }
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long PeakRssKb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 1 && args[0] == "--make") {
    std::string dir = args.size() > 1 ? args[1] : "";
    std::string from;
    int count = 2000, sizeMb = 4;
    for (size_t i = 2; i + 1 < args.size(); i += 2) {
      if (args[i] == "--from") from = args[i + 1];
      else if (args[i] == "--count") count = std::atoi(args[i + 1].c_str());
      else if (args[i] == "--size-mb") sizeMb = std::atoi(args[i + 1].c_str());
    }
    if (dir.empty() || from.empty()) {
      std::fputs("usage: exif_bench --make DIR --from CORPUS_JPEG_DIR [--count N] [--size-mb MB]\n", stderr);
      return 2;
    }
    return Make(dir, from, count, sizeMb);
  }
  if (args.empty() || args[0] == "--help") {
    std::fputs("usage: exif_bench DIR [--rounds N] [--limit N] [--exiv2] | exif_bench --make ...\n", stderr);
    return 2;
  }
  int rounds = 5;
  size_t limit = 0;
  bool exiv2 = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--rounds" && i + 1 < args.size()) rounds = std::atoi(args[++i].c_str());
    else if (args[i] == "--limit" && i + 1 < args.size()) limit = size_t(std::atol(args[++i].c_str()));
    else if (args[i] == "--exiv2") exiv2 = true;
  }
  std::vector<std::string> files = ListFiles(args[0]);
  if (limit && files.size() > limit) files.resize(limit);
  std::vector<std::u16string> wide;
  for (const std::string& f : files) wide.push_back(tess::FromUtf8(f));
  if (files.empty()) {
    std::fprintf(stderr, "no files in %s\n", args[0].c_str());
    return 1;
  }
  long rssBefore = PeakRssKb();
  int recognised = 0;
  FloorPass(files);
  ReaderPass(wide, recognised);
  std::vector<double> floorT, readerT, exivT;
  for (int r = 0; r < rounds; ++r) {
    floorT.push_back(FloorPass(files));
    readerT.push_back(ReaderPass(wide, recognised));
  }
  if (exiv2) {
    Exiv2Pass(files);
    for (int r = 0; r < std::max(1, rounds / 2); ++r) exivT.push_back(Exiv2Pass(files));
  }
  double n = double(files.size());
  double fl = Median(floorT), rd = Median(readerT);
  std::printf("files: %zu (recognised %d), rounds: %d, warm cache, one thread\n", files.size(), recognised, rounds);
  std::printf("floor (open, read 64 KiB, close): %8.1f us/file\n", fl / n * 1e6);
  std::printf("reader (load + five values):      %8.1f us/file  = %.2fx the floor\n", rd / n * 1e6, rd / fl);
  if (!exivT.empty()) {
    double ex = Median(exivT);
    std::printf("exiv2 (same five keys):           %8.1f us/file  -> reader is %.1fx faster\n", ex / n * 1e6, ex / rd);
  }
  std::printf("peak RSS: %ld KiB (at start %ld KiB)\n", PeakRssKb(), rssBefore);
  return 0;
}
