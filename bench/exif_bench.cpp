// Measures reading the five EXIF values of every file in a folder against the I/O floor
// (open, read the first 64 KiB, close, each file), and optionally against exiv2 reading
// the same five keys. Warm cache: every pass runs once unmeasured first.
//
//   exif_bench --make DIR --from CORPUS_JPEG_DIR [--count 2000] [--size-mb 4]
//       writes COUNT whole-size camera JPEGs: each corpus file's metadata segments
//       followed by MB of entropy-coded-like data and an end marker.
//   exif_bench --make-media DIR [--count 10] [--small]
//       writes COUNT files of each newer kind (HEIC, AVIF, CR3, a camera MP4 with its moov
//       after the media data, a phone MOV, ORF, RW2, PNG, WebP) with real-sized media data,
//       and one sparse 4.5 GB MP4 whose moov sits at its end. --small: a few KiB of media
//       data each and no large MP4 (seeds for the fuzzer).
//   exif_bench DIR [--rounds 5] [--limit N] [--exiv2] [--exiftool]
//       --exiftool also times `exiftool -fast2` reading the same five values.
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
#include "support/MediaFixtures.h"

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

// Writes head, fill bytes and tail; with growLastBox the fill belongs to head's last box
// (the media data box that ends the file), whose size field grows by it.
void WriteBytes(const std::string& path, std::vector<uint8_t> head, size_t fill, const std::vector<uint8_t>& tail,
                const char* growLastBox = nullptr) {
  if (growLastBox) {
    std::string type = growLastBox;
    auto it = std::find_end(head.begin(), head.end(), type.begin(), type.end());
    size_t at = size_t(it - head.begin()) - 4;
    uint32_t size = (uint32_t(head[at]) << 24 | uint32_t(head[at + 1]) << 16 | uint32_t(head[at + 2]) << 8 | head[at + 3]) + uint32_t(fill);
    for (int k = 0; k < 4; ++k) head[at + size_t(k)] = uint8_t(size >> (24 - 8 * k));
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
  std::string body(fill, '\x5A');
  out << body;
  out.write(reinterpret_cast<const char*>(tail.data()), std::streamsize(tail.size()));
}

int MakeMedia(const std::string& dir, int count, bool small) {
  using namespace tess::fixtures;
  std::filesystem::create_directories(dir);
  PhotoFields f{"Canon", "Canon EOS R5", "2021:05:06 07:08:09", "2021:05:06 07:08:09", "2021:05:06 07:08:09", "45"};
  const Bytes tiff = PhotoTiff(f);
  // Media data goes where each writer puts it: split off the fixture's own (small) data and
  // pad it to a real size.
  auto splitAt = [](const Bytes& file, const std::string& what) {
    auto it = std::search(file.begin(), file.end(), what.begin(), what.end());
    return size_t(it - file.begin());
  };
  // Scaled media data sizes: 1 MiB each at full size.
  auto mib = [small](size_t n) { return small ? n << 10 : n << 20; };
  for (int i = 0; i < count; ++i) {
    char n[16];
    std::snprintf(n, sizeof n, "%04d", i);
    std::string p = dir + "/";
    WriteBytes(p + "IMG_" + n + ".HEIC", Heic(tiff), mib(2), {}, "mdat");
    HeicOptions avif;
    avif.brand = "avif";
    WriteBytes(p + "IMG_" + n + ".AVIF", Heic(tiff, avif), mib(1), {}, "mdat");
    WriteBytes(p + "IMG_" + n + ".CR3", Cr3(PhotoTiff({"Canon", "Canon EOS R5", "2021:05:06 07:08:09"}),
                                            DetailsTiff("2021:05:06 07:08:09", "45")), mib(8), {}, "mdat");
    // A camera MP4: ftyp, mdat (large), then moov, as most cameras write.
    MovieOptions camera;
    camera.creation = Seconds1904(2021, 3, 4, 5, 6, 7);
    camera.mdatBytes = 0;
    Bytes mp4 = Movie(camera);
    size_t moov = splitAt(mp4, "moov") - 4;
    Bytes head(mp4.begin(), mp4.begin() + int64_t(moov)), tail(mp4.begin() + int64_t(moov), mp4.end());
    size_t mdatSize = mib(16);
    size_t mdatAt = splitAt(head, "mdat") - 4;
    Bytes size = Be32Bytes(uint32_t(mdatSize + 8));
    std::copy(size.begin(), size.end(), head.begin() + int64_t(mdatAt));
    WriteBytes(p + "MVI_" + n + ".MP4", head, mdatSize, tail);
    MovieOptions phone = camera;
    phone.brand = "qt  ";
    phone.keys = {{"com.apple.quicktime.make", "Apple"}, {"com.apple.quicktime.model", "iPhone 15"},
                  {"com.apple.quicktime.creationdate", "2022-07-08T09:10:11+0900"}};
    Bytes mov = Movie(phone);
    moov = splitAt(mov, "moov") - 4;
    head.assign(mov.begin(), mov.begin() + int64_t(moov));
    tail.assign(mov.begin() + int64_t(moov), mov.end());
    mdatAt = splitAt(head, "mdat") - 4;
    std::copy(size.begin(), size.end(), head.begin() + int64_t(mdatAt));
    WriteBytes(p + "IMG_" + n + ".MOV", head, mdatSize, tail);
    PhotoFields oly{"OLYMPUS CORPORATION", "E-M1MarkII", "2018:01:01 10:00:00", "2018:01:02 11:00:00"};
    WriteBytes(p + "P_" + n + ".ORF", RawTiff(Text("IIRO"), false, oly), mib(4), {});
    WriteBytes(p + "P_" + n + ".RW2", RawTiff(Bytes{'I', 'I', 'U', 0}, false, oly), mib(4), {});
    // An older RW2, whose Exif data lives only in its JPEG preview.
    TiffBuilder old;
    old.SetHeader(Bytes{'I', 'I', 'U', 0});
    old.AddDirectory({Undefined(0x2E, PhotoJpeg({"Panasonic", "DMC-GX7", "2014:05:06 07:08:09", "2014:05:06 07:08:10"})),
                      Ascii(271, "Panasonic"), Ascii(272, "DMC-GX7")});
    WriteBytes(p + "P_" + n + "_OLD.RW2", old.Build(), mib(4), {});
    // PNG and WebP: Exif before the image data, which is split in 64 KiB chunks as encoders do.
    Bytes png = Png({{"eXIf", tiff}});
    Bytes iend(png.end() - 12, png.end());
    png.resize(png.size() - 12);
    for (int k = 0; k < 16; ++k) png = Concat({png, PngChunk("IDAT", Bytes(mib(1) / 16, uint8_t(k)))});
    WriteBytes(p + "IMG_" + n + ".PNG", Concat({png, iend}), 0, {});
    WriteBytes(p + "IMG_" + n + ".WEBP", WebP({{"VP8L", Bytes(mib(1) / 2, 7)}, {"EXIF", tiff}}), 0, {});
  }
  // One video beyond 4 GB: a 64-bit mdat, the moov at the very end, the rest a hole.
  if (!small) {
    MovieOptions big;
    big.creation = Seconds1904(2021, 3, 4, 5, 6, 7);
    big.moovFirst = true;
    Bytes mp4 = Movie(big);
    size_t moov = splitAt(mp4, "moov") - 4;
    Bytes moovBox(mp4.begin() + int64_t(moov), mp4.begin() + int64_t(splitAt(mp4, "mdat") - 4));
    uint64_t mdat = 4500ull << 20;
    Bytes head = Concat({Bytes(mp4.begin(), mp4.begin() + int64_t(moov)), Be32Bytes(1), Text("mdat"), Be64Bytes(mdat)});
    std::ofstream out(dir + "/BIG_4_5GB.MP4", std::ios::binary);
    out.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
    out.seekp(std::streamoff(head.size() - 16 + mdat));
    out.write(reinterpret_cast<const char*>(moovBox.data()), std::streamsize(moovBox.size()));
  }
  std::printf("wrote %d files of each kind%s to %s\n", count, small ? "" : " and one 4.5 GB MP4", dir.c_str());
  return 0;
}

// Counts what a load asks of the file.
class CountingStream final : public tess::TStream {
 public:
  explicit CountingStream(tess::TStream& inner) : inner_(inner) {}
  size_t Read(void* buffer, size_t count) override {
    inner_.SetPosition(Position());
    size_t n = inner_.Read(buffer, count);
    SetPosition(Position() + int64_t(n));
    bytes += n;
    ++reads;
    return n;
  }
  int64_t Size() override { return inner_.Size(); }
  uint64_t bytes = 0, reads = 0;

 private:
  tess::TStream& inner_;
};

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

double ExiftoolPass(const std::vector<std::string>& files) {
  // One exiftool process for all files, as a user would run it on a folder.
  auto t0 = Clock::now();
  std::string cmd = "exiftool -fast2 -q -q -s -s -s -ModifyDate -DateTimeOriginal -CreateDate -CreationDate -Make -Model";
  for (const std::string& f : files) cmd += " '" + f + "'";
  cmd += " >/dev/null 2>&1";
  if (std::system(cmd.c_str()) == -1) return -1;
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
  if (args.size() >= 2 && args[0] == "--make-media") {
    int count = 10;
    bool small = false;
    for (size_t i = 2; i < args.size(); ++i) {
      if (args[i] == "--count" && i + 1 < args.size()) count = std::atoi(args[++i].c_str());
      else if (args[i] == "--small") small = true;
    }
    return MakeMedia(args[1], count, small);
  }
  if (args.empty() || args[0] == "--help") {
    std::fputs("usage: exif_bench DIR [--rounds N] [--limit N] [--exiv2] | exif_bench --make ...\n", stderr);
    return 2;
  }
  int rounds = 5;
  size_t limit = 0;
  bool exiv2 = false, exiftool = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--rounds" && i + 1 < args.size()) rounds = std::atoi(args[++i].c_str());
    else if (args[i] == "--limit" && i + 1 < args.size()) limit = size_t(std::atol(args[++i].c_str()));
    else if (args[i] == "--exiv2") exiv2 = true;
    else if (args[i] == "--exiftool") exiftool = true;
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
  std::vector<double> exiftoolT;
  if (exiftool) {
    ExiftoolPass(files);
    for (int r = 0; r < std::max(1, rounds / 2); ++r) exiftoolT.push_back(ExiftoolPass(files));
  }
  // What each load reads, by kind of file (the largest per kind).
  std::vector<std::pair<std::string, std::pair<uint64_t, uint64_t>>> perKind;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string ext = files[i].substr(files[i].find_last_of('.') + 1);
    try {
      tess::TFileStream file(wide[i]);
      CountingStream counting(file);
      tess::TExifData data;
      data.LoadFromGraphic(counting);
      auto it = std::find_if(perKind.begin(), perKind.end(), [&](const auto& k) { return k.first == ext; });
      if (it == perKind.end()) perKind.push_back({ext, {counting.bytes, counting.reads}});
      else it->second = {std::max(it->second.first, counting.bytes), std::max(it->second.second, counting.reads)};
    } catch (...) {
    }
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
  if (!exiftoolT.empty()) {
    double et = Median(exiftoolT);
    std::printf("exiftool -fast2 (same values):    %8.1f us/file  -> reader is %.1fx faster\n", et / n * 1e6, et / rd);
  }
  for (const auto& [ext, c] : perKind)
    std::printf("  %-5s read at most %6llu bytes in %3llu reads per file\n", ext.c_str(), (unsigned long long)c.first,
                (unsigned long long)c.second);
  std::printf("peak RSS: %ld KiB (at start %ld KiB)\n", PeakRssKb(), rssBefore);
  return 0;
}
