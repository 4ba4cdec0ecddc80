// What verifying every copy costs: the program's verified copy (each copy written under a
// temporary name, read back from the destination and compared with the hash taken while
// the source was read) against the same copy without the read-back, and against the plain
// copy of the platform: `cp -r` (`mv` for moves) off Windows, the shell's one copy or move
// of the whole list (as the rename run once made) on Windows and under Wine. Not a test: it
// prints seconds and ratios.
//
//   transfer_bench --make DIR [--count 2000] [--size-kb 1024]
//   transfer_bench --from DIR --to DIR [--move] [--drop-caches] [--modes plain-copy,verified]
//                  [--repeat N] [--block-kb K]
//
// Modes: plain-copy (cp -r / the shell), plain-copy+sync (and until the copies are on the
// disk), unverified (the program's copy without the read-back), verified, run (the rename
// run as the dialog and the command-line tool make it: plan, check, journal, import history
// and the verified copy) and run+backup (the same with a second copy into --backup DIR).
// Every mode but the plain copy ends with a sync, so that all are timed until the copies
// are on the disk. --device NAME (off Windows: a block device such as loop0) also prints
// the read requests the device completed during each run: the card's reads.
// The modes take turns, N rounds (3 unless told), and each mode's best time counts: on a
// shared machine the slow runs measure the neighbours, and taking turns gives each mode the
// same neighbours. --drop-caches (root, off Windows) writes out and empties the page cache
// before every timed run, so that each run reads its sources from the device (a throttled
// card, for example); under Wine the script around it does that between runs of one round
// each.
//
// --make writes photos the rename run accepts: a JPEG with a shooting date, the rest of
// its size random bytes (one date a minute, so that a plan files them by day).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FileTransfer.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "platform/JournalFolder.h"
#include "rename/BatchCopyMove.h"
#include "rename/RenameRun.h"
#include "rename/RunHistory.h"
#include "rename/VerifiedTransfer.h"
#include "support/ExifFixtures.h"

namespace fs = std::filesystem;
using namespace tess;

namespace {

std::u16string U16(const fs::path& p) { return p.u16string(); }

void Make(const fs::path& dir, int count, size_t sizeKb) {
  fs::create_directories(dir);
  std::mt19937_64 random(42);
  std::vector<uint64_t> block(sizeKb * 1024 / 8 + 1);
  for (int i = 0; i < count; ++i) {
    char date[32];
    std::snprintf(date, sizeof date, "2024:%02d:%02d %02d:%02d:00", 1 + i / (28 * 24 * 60) % 12, 1 + i / (24 * 60) % 28,
                  i / 60 % 24, i % 60);
    fixtures::PhotoFields fields;
    fields.make = "Canon";
    fields.model = "Canon EOS R6";
    fields.dateTime = fields.dateTimeOriginal = fields.dateTimeDigitized = date;
    fixtures::Bytes photo = fixtures::PhotoJpeg(fields);
    for (uint64_t& w : block) w = random();
    const size_t size = std::max(photo.size(), sizeKb * 1024);
    const auto* bytes = reinterpret_cast<const uint8_t*>(block.data());
    photo.insert(photo.end(), bytes, bytes + (size - photo.size()));
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d.JPG", i);
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(photo.data()), std::streamsize(size));
  }
  std::printf("made %d photos of %zu KB in %s\n", count, sizeKb, dir.string().c_str());
}

void DropCaches(bool drop) {
#ifndef _WIN32
  if (drop && std::system("sync; echo 3 > /proc/sys/vm/drop_caches") != 0) std::fprintf(stderr, "could not drop caches\n");
#else
  (void)drop;
#endif
}

#ifndef _WIN32
std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }
#endif

double Seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The platform's own copy or move of the whole list.
bool PlainCopy(const fs::path& source, const fs::path& out, const std::vector<fs::path>& names, bool move, bool sync) {
#ifdef _WIN32
  std::vector<std::u16string> from, to;
  for (const fs::path& n : names) {
    from.push_back(U16(source / n));
    to.push_back(U16(out / n));
  }
  (void)sync;
  return BatchCopyMove(PlatformShell(), 0, PackPaths(from), PackPaths(to),
                       move ? BatchOperation::Move : BatchOperation::Copy);
#else
  (void)names;
  std::string command = (move ? "mv " : "cp -r ") + Quote(source) + " " + Quote(out) + (sync ? " && sync" : "");
  return std::system(command.c_str()) == 0;
#endif
}

// Read requests a block device completed so far (its first field in sysfs); 0 unknown.
uint64_t DeviceReads(const std::string& device) {
  if (device.empty()) return 0;
  std::ifstream stat("/sys/block/" + device + "/stat");
  uint64_t reads = 0;
  stat >> reads;
  return reads;
}

void SyncAll() {
#ifndef _WIN32
  if (std::system("sync") != 0) std::fprintf(stderr, "sync failed\n");
#endif
}

// The rename run over the photos as the dialog makes it: every photo with metadata (read
// for real would only add the listing's work, which is not measured here), kept names.
bool RenameRun(const fs::path& source, const std::vector<fs::path>& names, const fs::path& out,
               const fs::path& backup, bool move) {
  RenameJob job;
  for (const fs::path& n : names) {
    SourceRecord record;
    record.Name = n.u16string();
    record.Folder = U16(source);
    record.HasMetadata = true;
    job.photos.push_back({U16(source / n), record});
  }
  job.action = move ? RenameAction::Move : RenameAction::Copy;
  job.folderTemplate = U16(out);
  job.nameTemplate = u"@file";
  if (!backup.empty()) job.backupFolderTemplate = U16(backup);
  job.mode = RenameMode::Real;
  job.includeImported = true;  // each round files the same photos again
  RenameRunControl control;
  control.journal = &PlatformJournalFolder();
  HistoryPlace history = PlatformHistoryPlace();
  control.history = &history;
  RecordedRenameLog log;
  return RunRenameJob(job, log, control).outcome == RenameOutcome::Done;
}

bool Staging(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::copy(from, to, fs::copy_options::recursive, error);
  return !error;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  fs::path make, from, to, backupRoot;
  std::string device;
  int count = 2000;
  size_t sizeKb = 1024;
  bool move = false, drop = false;
  int repeat = 3;
  size_t blockKb = 0;  // the program's own unless told
  std::string modes = "plain-copy,unverified,verified";
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string { return i + 1 < args.size() ? args[++i] : std::string(); };
    if (a == "--make") make = fs::path(value());
    else if (a == "--count") count = std::atoi(value().c_str());
    else if (a == "--size-kb") sizeKb = size_t(std::atoll(value().c_str()));
    else if (a == "--from") from = fs::path(value());
    else if (a == "--to") to = fs::path(value());
    else if (a == "--move") move = true;
    else if (a == "--drop-caches") drop = true;
    else if (a == "--modes") modes = value();
    else if (a == "--block-kb") blockKb = size_t(std::atoll(value().c_str()));
    else if (a == "--repeat") repeat = std::max(1, std::atoi(value().c_str()));
    else if (a == "--backup") backupRoot = fs::path(value());
    else if (a == "--device") device = value();
    else {
      std::fprintf(stderr, "usage: transfer_bench --make DIR [--count N] [--size-kb K]\n"
                           "       transfer_bench --from DIR --to DIR [--move] [--drop-caches] [--repeat N]\n"
                           "                      [--modes plain-copy,plain-copy+sync,unverified,verified,run,run+backup]\n"
                           "                      [--backup DIR] [--device NAME]\n");
      return 2;
    }
  }
  if (!make.empty()) {
    Make(make, count, sizeKb);
    return 0;
  }
  if (from.empty() || to.empty()) return 2;
  from = fs::absolute(from);
  to = fs::absolute(to);

  std::vector<fs::path> names;
  uint64_t bytes = 0;
  for (const auto& e : fs::directory_iterator(from))
    if (e.is_regular_file()) {
      names.push_back(e.path().filename());
      bytes += e.file_size();
    }
  std::sort(names.begin(), names.end());
  std::printf("%zu files, %.1f MB, %s %s -> %s%s\n", names.size(), double(bytes) / 1e6, move ? "move" : "copy",
              from.string().c_str(), to.string().c_str(), drop ? ", caches dropped before each run" : "");
  std::fflush(stdout);
  fs::create_directories(to);

  std::vector<std::string> list;
  std::stringstream modeText(modes);
  for (std::string mode; std::getline(modeText, mode, ',');) list.push_back(mode);
  std::map<std::string, double> best;
  for (int round = 0; round < repeat; ++round)
    for (const std::string& mode : list) {
      const fs::path out = to / ("bench-" + mode);
      fs::remove_all(out);
      // A move takes its sources away: it moves a fresh copy of them, made untimed on the
      // sources' own volume.
      fs::path source = from;
      if (move) {
        source = from.parent_path() / (from.filename().string() + ".staging");
        fs::remove_all(source);
        if (!Staging(from, source)) return 1;
      }
      const fs::path backupOut = backupRoot.empty() ? fs::path() : backupRoot / ("bench-" + mode);
      if (!backupOut.empty()) fs::remove_all(backupOut);
      DropCaches(drop);
      const uint64_t readsBefore = DeviceReads(device);
      auto start = std::chrono::steady_clock::now();
      if (mode == "plain-copy" || mode == "plain-copy+sync") {
        if (!PlainCopy(source, out, names, move, mode != "plain-copy")) {
          std::fprintf(stderr, "the plain copy failed\n");
          return 1;
        }
      } else if (mode == "unverified" || mode == "verified") {
        std::vector<TransferPair> pairs;
        for (const fs::path& n : names) pairs.push_back({U16(source / n), U16(out / n)});
        TransferOptions options;
        options.verify = mode == "verified";
        if (blockKb) options.blockSize = blockKb * 1024;
        std::vector<PairResult> results = TransferFiles(pairs, move ? TransferAction::Move : TransferAction::Copy,
                                                        PlatformFileSystem(), PlatformFileTransfer(), options);
        for (PairResult r : results)
          if (r != PairResult::Done) {
            std::fprintf(stderr, "a file was not done\n");
            return 1;
          }
        SyncAll();
      } else if (mode == "run" || mode == "run+backup") {
        if (mode == "run+backup" && backupOut.empty()) {
          std::fprintf(stderr, "run+backup needs --backup DIR\n");
          return 2;
        }
        if (!RenameRun(source, names, out, mode == "run" ? fs::path() : backupOut, move)) {
          std::fprintf(stderr, "the run did not file every photo\n");
          return 1;
        }
        SyncAll();
      } else {
        std::fprintf(stderr, "unknown mode '%s'\n", mode.c_str());
        return 2;
      }
      double s = Seconds(start);
      const uint64_t reads = DeviceReads(device) - readsBefore;
      std::printf("    round %d  %-16s %7.2f s", round + 1, mode.c_str(), s);
      if (!device.empty()) std::printf("  %llu reads of %s", static_cast<unsigned long long>(reads), device.c_str());
      std::printf("\n");
      std::fflush(stdout);
      if (!best.count(mode) || s < best[mode]) best[mode] = s;
      if (move) fs::remove_all(source);
    }
  // Timed to the end of a sync, as the program's modes are, when measured so.
  const std::string base = best.count("plain-copy+sync") ? "plain-copy+sync" : "plain-copy";
  const double baseline = best.count(base) ? best[base] : 0;
  const char* plain = move ? "plain move" : "plain copy";
  for (const std::string& mode : list) {
    if (!best.count(mode)) continue;
    const double s = best[mode];
    std::printf("  %-16s %7.2f s  %7.1f MB/s", mode.c_str(), s, double(bytes) / 1e6 / s);
    if (baseline > 0 && mode != base) std::printf("  %.2fx %s", s / baseline, plain);
    std::printf("\n");
  }
  return 0;
}
