// What the import history costs: the look-up of a batch in a large history, the recording of
// a batch, and the database's size per 100,000 photos.
//   history_bench [ROWS [BATCH]]   (defaults: 500000 rows, a batch of 2000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "history/ImportHistory.h"
#include "platform/Text.h"

using namespace tess;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

PhotoIdentity PhotoNumber(long i) {
  PhotoIdentity p;
  p.make = u"Canon";
  p.model = i % 3 == 0 ? u"EOS R6" : u"EOS 5D Mark IV";
  p.serial = u"0123456789";
  p.name = FromUtf8("IMG_" + std::to_string(10000 + i % 10000).substr(1) + ".CR3");
  p.size = 4'000'000 + static_cast<uint64_t>(i * 7919 % 2'000'000);
  p.shot = 44000.0 + double(i) / 86400.0;  // one photo a second
  return p;
}

ImportEntry EntryNumber(long i) {
  PhotoIdentity p = PhotoNumber(i);
  return ImportEntry{p, u"E:\\DCIM\\100CANON\\" + p.name, u"D:\\Photos\\2020\\" + p.name,
                     FromUtf8("run" + std::to_string(i / 2000)), u"2026-12-10 14:05:03"};
}

}  // namespace

int main(int argc, char** argv) {
  long rows = argc > 1 ? std::atol(argv[1]) : 500000;
  long batch = argc > 2 ? std::atol(argv[2]) : 2000;
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "tessarine-history-bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::u16string path = (dir / "history.sqlite3").u16string();
  std::vector<std::u16string> notices;
  auto history = ImportHistory::Open(path, notices);
  if (!history) return 1;

  auto start = Clock::now();
  for (long done = 0; done < rows; done += batch) {
    std::vector<ImportEntry> entries;
    for (long i = done; i < std::min(rows, done + batch); ++i) entries.push_back(EntryNumber(i));
    if (history->Record(entries) != HistoryStatus::Ok) return 1;
  }
  double fill = Ms(start);
  history.reset();
  history = ImportHistory::Open(path, notices);  // the database as a later start opens it
  auto open = Clock::now();
  history = ImportHistory::Open(path, notices);
  double openMs = Ms(open);

  // Half of the batch filed before (spread over the history), half new.
  std::vector<PhotoIdentity> lookup;
  for (long i = 0; i < batch; ++i) lookup.push_back(i % 2 ? PhotoNumber(i * (rows / batch)) : PhotoNumber(rows + i));
  std::vector<std::optional<FoundImport>> found;
  double best = 1e9;
  size_t known = 0;
  for (int round = 0; round < 5; ++round) {
    auto t = Clock::now();
    if (history->Find(lookup, found) != HistoryStatus::Ok) return 1;
    best = std::min(best, Ms(t));
  }
  for (const auto& f : found) known += f.has_value();

  std::vector<ImportEntry> more;
  for (long i = 0; i < batch; ++i) more.push_back(EntryNumber(rows + i));
  auto record = Clock::now();
  // As a run records: about once a second, here in tens.
  for (long i = 0; i < batch; i += 100)
    history->Record(std::vector<ImportEntry>(more.begin() + i, more.begin() + std::min(batch, i + 100)));
  double recordMs = Ms(record);
  history.reset();

  uintmax_t bytes = fs::file_size(dir / "history.sqlite3");
  std::error_code ignored;
  if (fs::exists(dir / "history.sqlite3-wal")) bytes += fs::file_size(dir / "history.sqlite3-wal", ignored);
  std::printf("rows %ld: filled in %.0f ms; open %.2f ms\n", rows, fill, openMs);
  std::printf("look-up of %ld photos: %.2f ms (best of 5), %zu known\n", batch, best, known);
  std::printf("recording %ld photos in %ld commits: %.1f ms\n", batch, batch / 100, recordMs);
  std::printf("database: %.1f MB, %.1f MB per 100,000 photos\n", bytes / 1e6, bytes / 1e6 * 100000.0 / double(rows + batch));
  fs::remove_all(dir, ignored);
  return 0;
}
