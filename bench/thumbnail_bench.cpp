// One pass over a folder of photos as the thumbnail view makes it, in one of three ways, for
// bench/thumbnail_card.sh to set side by side (it counts the card's requests around each run):
//   dates       the date read alone (the details view);
//   thumbnails  the date read keeping the stored picture it fetched, the file read again only
//               for a photo whose picture was not in those bytes (the thumbnail view);
//   separate    the date read, then the thumbnail read on a file opened again (as before the
//               two shared their read).
// With --decode the pictures are decoded too (--files: and a photo that stores none, whole), by the system's codec (WIC: the Windows build,
// under Wine; natively nothing decodes). Threads take the files in turn, as the workers do.
// Prints: mode, seconds, read calls per photo (Linux, /proc/self/io; 0 elsewhere), photos
// with a picture.
// Usage: thumbnail_bench DIR dates|thumbnails|separate [--decode] [--files] [--threads N] [--box PX]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "browse/FileRecords.h"
#include "browse/Thumbnails.h"
#include "exif/Thumbnail.h"
#include "platform/DirectoryList.h"
#include "platform/ImageDecode.h"
#include "platform/Text.h"

using namespace tess;

namespace {

long long ReadCalls() {
  std::ifstream in("/proc/self/io");
  std::string key;
  long long value;
  while (in >> key >> value)
    if (key == "syscr:") return value;
  return 0;
}

enum class Mode { Dates, Thumbnails, Separate };

// One photo as the mode reads it; true when it has a picture.
bool ReadPhoto(const std::u16string& path, Mode mode, bool decode, bool files, int box) {
  if (mode == Mode::Dates) {
    RecordMetadata metadata = ReadRecordMetadata(path, ExifMetadataSource());
    return metadata.ExifDateTimeOriginal == 42;  // never: keeps the read from being dropped
  }
  ImageDecoder& decoder = SystemImageDecoder();
  if (mode == Mode::Thumbnails) {
    HeadPicture head;
    ReadRecordMetadata(path, ExifMetadataSource(), head, box);
    if (!head.jpeg.empty()) {
      if (!decode) return true;
      if (!DecodeStoredPicture(head.jpeg, head.orientation, box, decoder).bitmap.Empty()) return true;
    }
  } else {
    ReadRecordMetadata(path, ExifMetadataSource());
  }
  if (decode) return !ReadThumbnail(path, box, decoder, files).bitmap.Empty();
  try {
    TFileStream stream(path);
    const PictureLocation found = LocateStoredPicture(stream, box);
    return !ReadStoredPicture(stream, found.picture).empty();
  } catch (...) {
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: thumbnail_bench DIR dates|thumbnails|separate [--decode] [--threads N] [--box PX]\n");
    return 2;
  }
  const std::string modeName = argv[2];
  const Mode mode = modeName == "dates" ? Mode::Dates : modeName == "separate" ? Mode::Separate : Mode::Thumbnails;
  bool decode = false, files = false;
  int threads = 4, box = 96;
  for (int i = 3; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--decode")) decode = true;
    if (!std::strcmp(argv[i], "--files")) decode = files = true;  // and photos without one decoded whole
    if (!std::strcmp(argv[i], "--threads") && i + 1 < argc) threads = std::max(1, std::atoi(argv[++i]));
    if (!std::strcmp(argv[i], "--box") && i + 1 < argc) box = std::max(16, std::atoi(argv[++i]));
  }
  std::u16string folder = FromUtf8(argv[1]);
  if (folder.back() != u'/' && folder.back() != u'\\') folder += folder.find(u'\\') != std::u16string::npos ? u'\\' : u'/';
  std::vector<DirectoryEntry> entries;
  PlatformDirectoryLister().List(folder, entries);
  std::erase_if(entries, [](const DirectoryEntry& e) { return e.name == u"." || e.name == u".."; });

  const long long calls0 = ReadCalls();
  const auto t0 = std::chrono::steady_clock::now();
  std::atomic<size_t> next{0};
  std::atomic<int> pictures{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < entries.size();)
        if (ReadPhoto(folder + entries[i].name, mode, decode, files, box)) ++pictures;
    });
  for (std::thread& w : workers) w.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double n = entries.empty() ? 1.0 : double(entries.size());
  std::printf("%s %.3f %.2f %d %zu\n", modeName.c_str(), seconds, double(ReadCalls() - calls0) / n, pictures.load(),
              entries.size());
  return 0;
}
