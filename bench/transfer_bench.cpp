// What verifying every copy costs: the program's verified copy (each copy written under a
// temporary name, synced, read back past the cache and compared with the hash taken while
// the source was read) against the same copy without the read-back, and against `cp -r`
// (and `mv` for moves). Not a test: it prints seconds and ratios.
//
//   transfer_bench --make DIR [--count 2000] [--size-kb 1024]
//   transfer_bench --from DIR --to DIR [--move] [--drop-caches] [--modes cp,plain,verified]
//                  [--repeat N]
//
// Each mode runs N times (3 unless told) and the best time counts: on a shared machine the
// slow runs measure the neighbours. --drop-caches (root) empties the page cache before every timed run, so that each run
// reads its sources from the device (a throttled card, for example).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FileTransfer.h"
#include "platform/Text.h"
#include "rename/VerifiedTransfer.h"

namespace fs = std::filesystem;
using namespace tess;

namespace {

void Make(const fs::path& dir, int count, size_t sizeKb) {
  fs::create_directories(dir);
  std::mt19937_64 random(42);
  std::vector<uint64_t> block(sizeKb * 1024 / 8 + 1);
  for (int i = 0; i < count; ++i) {
    for (uint64_t& w : block) w = random();
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d.JPG", i);
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(block.data()), std::streamsize(sizeKb * 1024));
  }
  std::printf("made %d files of %zu KB in %s\n", count, sizeKb, dir.c_str());
}

void DropCaches(bool drop) {
  if (!drop) return;
  if (std::system("sync; echo 3 > /proc/sys/vm/drop_caches") != 0) std::fprintf(stderr, "could not drop caches\n");
}

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

double Seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  fs::path make, from, to;
  int count = 2000;
  size_t sizeKb = 1024;
  bool move = false, drop = false;
  int repeat = 3;
  std::string modes = "cp,plain,verified";
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string { return i + 1 < args.size() ? args[++i] : std::string(); };
    if (a == "--make") make = value();
    else if (a == "--count") count = std::atoi(value().c_str());
    else if (a == "--size-kb") sizeKb = size_t(std::atoll(value().c_str()));
    else if (a == "--from") from = value();
    else if (a == "--to") to = value();
    else if (a == "--move") move = true;
    else if (a == "--drop-caches") drop = true;
    else if (a == "--modes") modes = value();
    else if (a == "--repeat") repeat = std::max(1, std::atoi(value().c_str()));
    else {
      std::fprintf(stderr, "usage: transfer_bench --make DIR [--count N] [--size-kb K]\n"
                           "       transfer_bench --from DIR --to DIR [--move] [--drop-caches] [--modes cp,plain,verified]\n");
      return 2;
    }
  }
  if (!make.empty()) {
    Make(make, count, sizeKb);
    return 0;
  }
  if (from.empty() || to.empty()) return 2;

  std::vector<fs::path> names;
  uint64_t bytes = 0;
  for (const auto& e : fs::directory_iterator(from))
    if (e.is_regular_file()) {
      names.push_back(e.path().filename());
      bytes += e.file_size();
    }
  std::sort(names.begin(), names.end());
  std::printf("%zu files, %.1f MB, %s %s -> %s%s\n", names.size(), double(bytes) / 1e6, move ? "move" : "copy",
              from.c_str(), to.c_str(), drop ? ", caches dropped before each run" : "");
  std::fflush(stdout);
  fs::create_directories(to);

  double baseline = 0, synced = 0;
  std::stringstream list(modes);
  for (std::string mode; std::getline(list, mode, ',');) {
    double best = 0;
    for (int run = 0; run < repeat; ++run) {
      const fs::path out = to / ("bench-" + mode);
      fs::remove_all(out);
      // A move takes its sources away: it moves a fresh copy of them, made untimed on the
      // sources' own volume.
      fs::path source = from;
      if (move) {
        source = from.parent_path() / (from.filename().string() + ".staging");
        fs::remove_all(source);
        if (std::system(("cp -r " + Quote(from) + " " + Quote(source)).c_str()) != 0) return 1;
      }
      DropCaches(drop);
      auto start = std::chrono::steady_clock::now();
      if (mode == "cp" || mode == "cp+sync") {
        // cp+sync: until the copies are on the disk, as a verified copy's are when it reads them back.
        std::string command = (move ? "mv " : "cp -r ") + Quote(source) + " " + Quote(out) + (mode == "cp" ? "" : " && sync");
        if (std::system(command.c_str()) != 0) return 1;
      } else {
        std::vector<TransferPair> pairs;
        for (const fs::path& n : names) pairs.push_back({FromUtf8((source / n).string()), FromUtf8((out / n).string())});
        TransferOptions options;
        options.verify = mode == "verified";
        std::vector<PairResult> results = TransferFiles(pairs, move ? TransferAction::Move : TransferAction::Copy,
                                                        PlatformFileSystem(), PlatformFileTransfer(), options);
        for (PairResult r : results)
          if (r != PairResult::Done) {
            std::fprintf(stderr, "a file was not done\n");
            return 1;
          }
      }
      double s = Seconds(start);
      if (run == 0 || s < best) best = s;
      if (move) fs::remove_all(source);
    }
    std::string label = mode == "cp" ? (move ? "mv" : "cp -r") : mode == "cp+sync" ? (move ? "mv+sync" : "cp -r+sync") : mode;
    if (mode == "cp") baseline = best;
    if (mode == "cp+sync") synced = best;
    char ratio[96] = "";
    if (baseline > 0 && mode != "cp" && mode != "cp+sync") {
      int n = std::snprintf(ratio, sizeof ratio, "  %.2fx %s", best / baseline, move ? "mv" : "cp -r");
      if (synced > 0 && n > 0)
        std::snprintf(ratio + n, sizeof ratio - size_t(n), ", %.2fx %s", best / synced, move ? "mv+sync" : "cp -r+sync");
    }
    std::printf("  %-11s %7.2f s  %7.1f MB/s%s\n", label.c_str(), best, double(bytes) / 1e6 / best, ratio);
    std::fflush(stdout);
  }
  return 0;
}
