#include "rename/VerifiedTransfer.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "platform/DestinationFolders.h"
#include "platform/ScopeExit.h"
#include "platform/Text.h"

namespace tess {
namespace {

// Page-aligned, so that a reader past the system's cache may read straight into it.
class AlignedBuffer {
 public:
  static constexpr size_t kAlign = 4096;
  explicit AlignedBuffer(size_t size)
      : size_(size),
        data_(static_cast<unsigned char*>(::operator new((size + kAlign - 1) / kAlign * kAlign, std::align_val_t(kAlign)))) {}
  unsigned char* data() { return data_.get(); }
  size_t size() const { return size_; }

 private:
  struct Free {
    void operator()(unsigned char* p) const { ::operator delete(p, std::align_val_t(kAlign)); }
  };
  size_t size_;
  std::unique_ptr<unsigned char, Free> data_;
};

// A thread of the run's own that flushes one copy to the disk and reads it back while the
// run writes the next photo: the disk's slowest work is never waited for in turn.
class Lane {
 public:
  explicit Lane(size_t blockSize) : buffer_(blockSize) {}
  ~Lane() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  AlignedBuffer& Buffer() { return buffer_; }
  void Post(std::function<void()> job) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = std::move(job);
      done_ = false;
    }
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    wake_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return done_; });
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return job_ || stopping_; });
      if (!job_) return;
      std::function<void()> job = std::move(job_);
      job_ = nullptr;
      lock.unlock();
      job();
      lock.lock();
      done_ = true;
      wake_.notify_all();
    }
  }

  AlignedBuffer buffer_;  // the read-back's blocks
  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> job_;
  bool done_ = true;
  bool stopping_ = false;
  std::thread thread_;
};

// Writes the backup copy's blocks on a thread of its own while the run writes the main copy
// and reads the next block: the second copy adds no write to the card's path. The blocks
// wait in a few buffers of their own; a full set makes the run wait, so memory stays flat.
class SecondWriter {
 public:
  SecondWriter(FileTransfer& io, size_t blockSize) : io_(io) {
    for (int k = 0; k < kBuffers; ++k) buffers_.push_back(std::make_unique<AlignedBuffer>(blockSize));
    for (int k = 0; k < kBuffers; ++k) free_.push_back(k);
  }
  ~SecondWriter() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  // Every block posted from here on goes to this file, until Drain.
  void Begin(FileWriter* writer) {
    std::lock_guard<std::mutex> lock(mutex_);
    writer_ = writer;
    failed_ = false;
    fault_ = TransferFault::Unknown;
  }
  // Hands a block over; false once a write of this file has failed (nothing more is written).
  bool Post(const unsigned char* data, size_t size) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return !free_.empty() || failed_; });
    if (failed_) return false;
    const int k = free_.back();
    free_.pop_back();
    lock.unlock();
    std::memcpy(buffers_[size_t(k)]->data(), data, size);
    lock.lock();
    queue_.push_back({k, size});
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    wake_.notify_all();
    return true;
  }
  // Waits until every block posted is written; false, with why, when one failed.
  bool Drain(TransferFault& fault) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return queue_.empty() && !writing_; });
    writer_ = nullptr;
    fault = fault_;
    return !failed_;
  }

 private:
  static constexpr int kBuffers = 8;
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !queue_.empty() || stopping_; });
      if (queue_.empty()) return;
      const auto [k, size] = queue_.front();
      queue_.pop_front();
      writing_ = true;
      FileWriter* writer = writer_;
      const bool skip = failed_;
      lock.unlock();
      bool ok = skip || writer->Write(buffers_[size_t(k)]->data(), size);
      TransferFault fault = ok ? TransferFault::Unknown : io_.LastFault();
      lock.lock();
      if (!ok) {
        failed_ = true;
        fault_ = fault;
      }
      writing_ = false;
      free_.push_back(k);
      wake_.notify_all();
    }
  }

  FileTransfer& io_;
  std::vector<std::unique_ptr<AlignedBuffer>> buffers_;
  std::vector<int> free_;
  std::deque<std::pair<int, size_t>> queue_;
  std::mutex mutex_;
  std::condition_variable wake_;
  FileWriter* writer_ = nullptr;
  bool writing_ = false;
  bool failed_ = false;
  TransferFault fault_ = TransferFault::Unknown;
  bool stopping_ = false;
  std::thread thread_;
};

class Run {
 public:
  Run(const std::vector<TransferPair>& pairs, TransferAction action, FileSystem& fs, FileTransfer& io,
      const TransferOptions& options)
      : pairs_(pairs), move_(action == TransferAction::Move), fs_(fs), io_(io), options_(options),
        buffer_(options.blockSize ? options.blockSize : 64 << 10),
        second_(io, options.blockSize ? options.blockSize : 64 << 10) {
    const size_t verifyBlock = options.verifyBlockSize ? options.verifyBlockSize : 1 << 20;
    for (auto& lane : lanes_) lane = std::make_unique<Lane>(verifyBlock);
    progress_.filesTotal = pairs.size();
    for (const TransferPair& p : pairs) {
      std::optional<uint64_t> size = fs_.FileSize(p.source);
      sizes_.push_back(size.value_or(0));
      // Progress counts the bytes of every copy a pair makes.
      const uint64_t copies = uint64_t(!p.destination.empty()) + uint64_t(!p.backup.empty());
      progress_.bytesTotal += size.value_or(0) * copies;
      weights_.push_back(size.value_or(0) * copies);
    }
    counted_.assign(pairs.size(), 0);
  }

  std::vector<PairResult> Go() {
    std::vector<PairResult> results(pairs_.size(), PairResult::NotStarted);
    if (options_.faults) options_.faults->assign(pairs_.size(), TransferFault::Unknown);
    if (options_.failedAtBackup) options_.failedAtBackup->assign(pairs_.size(), false);
    std::vector<std::u16string> destinations;
    for (const TransferPair& p : pairs_) {
      if (!p.destination.empty()) destinations.push_back(p.destination);
      if (!p.backup.empty()) destinations.push_back(p.backup);
    }
    std::vector<std::u16string> newFolders = PlanMissingFolders(destinations, fs_);
    std::vector<std::u16string> created;
    for (const std::u16string& folder : newFolders)
      if (fs_.CreateFolder(folder)) created.push_back(folder);
    Report();
    // One pair's copies are read back while the next pair is written.
    std::optional<Pending> pending;
    auto finishPending = [&] {
      if (!pending) return;
      const size_t at = pending->index;
      results[at] = Finish(*pending);
      pending.reset();
      EndPair(at, results[at]);
    };
    for (size_t i = 0; i < pairs_.size(); ++i) {
      if (Cancelled()) break;
      Step(i, PairStep::Planned);
      const bool renames = RenamesInPlace(i);
      // A rename with a backup is done step by step (the backup verifies before the rename
      // takes the source away), and needs the lanes to itself.
      if (renames && !pairs_[i].backup.empty()) finishPending();
      std::optional<Pending> started;
      PairResult result = Begin(i, renames, started);
      finishPending();
      if (started) {
        pending = std::move(started);
        Launch(*pending);
        continue;
      }
      results[i] = result;
      EndPair(i, result);
      if (result == PairResult::Cancelled) break;
    }
    finishPending();
    // Only the folders this run made and left empty; a folder holding anything stays.
    for (auto it = created.rbegin(); it != created.rend(); ++it) fs_.RemoveEmptyFolder(*it);
    return results;
  }

 private:
  // One copy a pair writes, from its temporary name to its final one.
  struct Copy {
    const std::u16string* path = nullptr;
    bool backup = false;
    std::u16string temporary;
    std::unique_ptr<FileWriter> writer;
    bool named = false;  // holds its final name
    // What its lane found: Done once on the disk and read back whole.
    PairResult checked = PairResult::Done;
    TransferFault fault = TransferFault::Unknown;
  };
  // A pair whose copies are written and go to be read back.
  struct Pending {
    size_t index = 0;
    std::vector<Copy> copies;
    uint64_t length = 0;
    std::string digest;
    bool removeSource = false;
  };

  bool Cancelled() const { return options_.cancel && options_.cancel->Cancelled(); }
  // A read or a write that failed, with why, asked of the system before anything else is.
  PairResult Fault(size_t i, PairResult result, bool atBackup = false) {
    return Failure(i, result, atBackup, io_.LastFault());
  }
  PairResult Failure(size_t i, PairResult result, bool atBackup, TransferFault fault = TransferFault::Unknown) {
    if (options_.faults) (*options_.faults)[i] = fault;
    if (options_.failedAtBackup) (*options_.failedAtBackup)[i] = atBackup;
    return result;
  }
  void Report() {
    if (options_.observer) options_.observer->OnProgress(progress_);
  }
  void Step(size_t i, PairStep step) {
    if (options_.observer) options_.observer->OnPairStep(i, pairs_[i], step);
  }
  void BackupStep(size_t i, PairStep step) {
    if (options_.observer) options_.observer->OnBackupStep(i, pairs_[i], step);
  }
  void Count(size_t i, uint64_t bytes) {
    bytes = std::min(bytes, weights_[i] - counted_[i]);
    counted_[i] += bytes;
    progress_.bytesDone += bytes;
  }
  void EndPair(size_t i, PairResult result) {
    if (result != PairResult::Done && result != PairResult::SourceStays) Step(i, PairStep::Failed);
    if (result == PairResult::Cancelled) return;
    ++progress_.filesDone;
    Count(i, weights_[i]);
    Report();
  }
  // Takes a verified backup away again when its pair cannot arrive at its main destination.
  void DropBackup(size_t i) {
    if (io_.Remove(pairs_[i].backup)) BackupStep(i, PairStep::Failed);
  }
  // A move whose main copy stays on the source's volume: a rename. Asked once per pair (the
  // system walks both paths for it).
  bool RenamesInPlace(size_t i) {
    const TransferPair& p = pairs_[i];
    return move_ && !p.destination.empty() && io_.SameVolume(p.source, p.destination);
  }

  // Starts the pair: done at once (a rename, a failure), or written and left in `started`
  // to be read back.
  PairResult Begin(size_t i, bool renames, std::optional<Pending>& started) {
    const TransferPair& p = pairs_[i];
    const bool toBackup = !p.backup.empty();
    // Filed at its destination before: only the backup catches up, and the source stays.
    if (p.destination.empty()) return toBackup ? Write(i, false, true, false, started) : PairResult::Done;
    if (!renames) return Write(i, true, toBackup, move_, started);
    // The backup is read from the source before the rename takes the source away.
    if (toBackup) {
      PairResult backedUp = InTurn(i, false, true, false);
      if (backedUp != PairResult::Done) return backedUp;
    }
    progress_.phase = TransferPhase::Moving;
    Report();
    if (options_.observer) options_.observer->OnPairContent(i, sizes_[i], std::string());
    switch (io_.RenameNoReplace(p.source, p.destination)) {
      case RenameResult::Done:
        Step(i, PairStep::Renamed);
        return PairResult::Done;
      case RenameResult::Taken:
        if (toBackup) DropBackup(i);
        return PairResult::DestinationTaken;
      // Volumes the system cannot tell apart beforehand (two mounts under one drive letter
      // under Wine): the copy takes the place of the rename.
      case RenameResult::OtherVolume:
      case RenameResult::Failed: break;
    }
    if (!toBackup) return Write(i, true, false, true, started);
    PairResult copied = InTurn(i, true, false, true);
    if (copied != PairResult::Done) DropBackup(i);
    return copied;
  }

  // Writes and verifies the copies before returning.
  PairResult InTurn(size_t i, bool toMain, bool toBackup, bool removeSource) {
    std::optional<Pending> started;
    PairResult result = Write(i, toMain, toBackup, removeSource, started);
    if (!started) return result;
    Launch(*started);
    return Finish(*started);
  }

  // Writes each copy asked for under a temporary name from one read of the source. Whatever
  // fails here, nothing of the pair is kept.
  PairResult Write(size_t i, bool toMain, bool toBackup, bool removeSource, std::optional<Pending>& started) {
    const TransferPair& p = pairs_[i];
    std::unique_ptr<FileReader> source = io_.OpenRead(p.source, false);
    if (!source) return Fault(i, PairResult::ReadFailed);
    Pending pending;
    pending.index = i;
    pending.removeSource = removeSource;
    for (bool backup : {false, true}) {
      if (backup ? !toBackup : !toMain) continue;
      Copy& c = pending.copies.emplace_back();
      c.path = backup ? &p.backup : &p.destination;
      c.backup = backup;
    }
    bool handedOn = false;
    ScopeExit guard([&] {
      if (!handedOn) Discard(pending);
    });
    for (Copy& c : pending.copies) {
      std::u16string temporary;
      for (int attempt = 0; attempt < 100 && !c.writer; ++attempt) {
        temporary = TemporaryCopyName(*c.path, attempt);
        // Named before it is made, so that a kill in between leaves no file nobody knows of;
        // a name already taken is passed over unnamed (only a race with another run of the
        // same destination could have it named, and a temporary file is never a photo).
        if (fs_.Exists(temporary)) continue;
        if (options_.observer) options_.observer->OnTemporary(i, temporary);
        c.writer = io_.CreateNew(temporary);
      }
      if (!c.writer) return Fault(i, PairResult::WriteFailed, c.backup);
      c.temporary = temporary;
    }
    // With two copies the backup's blocks are written beside the main copy's.
    Copy* second = pending.copies.size() == 2 ? &pending.copies.back() : nullptr;
    if (second) second_.Begin(second->writer.get());
    bool drained = !second;
    TransferFault secondFault = TransferFault::Unknown;
    // Every way out waits for the second writer before anything of the pair is closed.
    ScopeExit drain([&] {
      if (!drained) second_.Drain(secondFault);
    });
    ContentHasher hash;
    progress_.phase = TransferPhase::Copying;
    for (;;) {
      if (Cancelled()) return PairResult::Cancelled;
      int64_t n = source->Read(buffer_.data(), buffer_.size());
      if (n < 0) return Fault(i, PairResult::ReadFailed);
      if (n == 0) break;
      hash.Update(buffer_.data(), size_t(n));
      if (second && !second_.Post(buffer_.data(), size_t(n))) break;  // told once drained
      Copy& first = pending.copies.front();
      if (!first.writer->Write(buffer_.data(), size_t(n))) return Fault(i, PairResult::WriteFailed, first.backup);
      pending.length += uint64_t(n);
      Count(i, uint64_t(n) * pending.copies.size());
      Report();
    }
    if (second) {
      drained = true;
      if (!second_.Drain(secondFault)) return Failure(i, PairResult::WriteFailed, second->backup, secondFault);
    }
    source.reset();
    for (Copy& c : pending.copies) c.writer->KeepTimeOf(p.source);
    pending.digest = hash.Result();
    if (options_.expectedHashes && i < options_.expectedHashes->size() && !(*options_.expectedHashes)[i].empty() &&
        (*options_.expectedHashes)[i] != pending.digest)
      return Failure(i, PairResult::SourceChanged, false);
    handedOn = true;
    started = std::move(pending);
    return PairResult::Done;
  }

  // Each copy to its lane: on the disk, then read back and compared with the source's hash.
  void Launch(Pending& pending) {
    for (size_t k = 0; k < pending.copies.size(); ++k) {
      Copy* c = &pending.copies[k];
      Lane* lane = lanes_[k].get();
      // The pending pair stays where it is until its lanes are waited for.
      const uint64_t length = pending.length;
      lane->Post([this, c, lane, length, digest = pending.digest] {
        if ((options_.verify && !c->writer->Flush()) || !c->writer->Close()) {
          c->fault = io_.LastFault();
          c->checked = PairResult::WriteFailed;
          c->writer->Close();
        } else if (options_.verify) {
          c->checked = Verify(lane->Buffer(), c->temporary, length, digest);
        }
        c->writer.reset();
      });
    }
  }

  // Waits for the pair's lanes; a pair whose every copy verified takes its final names and,
  // for a move, its source goes. Otherwise nothing of it is kept.
  PairResult Finish(Pending& pending) {
    const size_t i = pending.index;
    progress_.phase = TransferPhase::Verifying;
    Report();
    for (size_t k = 0; k < pending.copies.size(); ++k) lanes_[k]->Wait();
    bool kept = false;
    ScopeExit guard([&] {
      if (!kept) Discard(pending);
    });
    const bool toMain = !pending.copies.empty() && !pending.copies.front().backup;
    const bool toBackup = !pending.copies.empty() && pending.copies.back().backup;
    for (const Copy& c : pending.copies)
      if (c.checked == PairResult::WriteFailed) return Failure(i, c.checked, c.backup, c.fault);
    if (toMain) Step(i, PairStep::Written);
    for (const Copy& c : pending.copies)
      if (c.checked != PairResult::Done) return Failure(i, c.checked, c.backup);
    if (options_.observer) {
      if (toMain) options_.observer->OnPairContent(i, pending.length, pending.digest);
      if (toBackup) options_.observer->OnBackupContent(i, pending.length, pending.digest);
    }
    for (Copy& c : pending.copies) {
      switch (io_.RenameNoReplace(c.temporary, *c.path)) {
        case RenameResult::Done: c.named = true; break;
        case RenameResult::Taken: return Failure(i, PairResult::DestinationTaken, c.backup);
        default: return Fault(i, PairResult::WriteFailed, c.backup);
      }
    }
    kept = true;
    if (toMain) Step(i, PairStep::Verified);
    if (toBackup) BackupStep(i, PairStep::Verified);
    if (!pending.removeSource) return PairResult::Done;
    if (!io_.Remove(pairs_[i].source)) return Fault(i, PairResult::SourceStays);
    Step(i, PairStep::SourceRemoved);
    return PairResult::Done;
  }

  // Removes what a pair that did not arrive made: its temporary files, and a copy that had
  // already taken its final name (this run's own, just made).
  void Discard(Pending& pending) {
    for (Copy& c : pending.copies) {
      if (c.writer) c.writer->Close();
      c.writer.reset();
      if (c.named) {
        if (io_.Remove(*c.path) && c.backup) BackupStep(pending.index, PairStep::Failed);
      } else if (!c.temporary.empty()) {
        io_.Remove(c.temporary);
      }
    }
  }

  // On a lane: the copy read back from the disk and compared with the source's hash. A
  // cancel does not stop it: the copy is whole, and the pair is filed (or removed) whole
  // while the cancel stops the next pair's copy within a block.
  PairResult Verify(AlignedBuffer& buffer, const std::u16string& copy, uint64_t length, const std::string& expected) {
    std::unique_ptr<FileReader> back = io_.OpenRead(copy, true);
    if (!back) return PairResult::VerifyFailed;
    ContentHasher hash;
    uint64_t read = 0;
    for (;;) {
      int64_t n = back->Read(buffer.data(), buffer.size());
      if (n < 0) return PairResult::VerifyFailed;
      if (n == 0) break;
      hash.Update(buffer.data(), size_t(n));
      read += uint64_t(n);
    }
    if (read != length || hash.Result() != expected) return PairResult::VerifyFailed;
    return PairResult::Done;
  }

  const std::vector<TransferPair>& pairs_;
  const bool move_;
  FileSystem& fs_;
  FileTransfer& io_;
  const TransferOptions& options_;
  AlignedBuffer buffer_;
  SecondWriter second_;
  std::unique_ptr<Lane> lanes_[2];  // the main copy's and the backup's
  std::vector<uint64_t> sizes_;
  std::vector<uint64_t> weights_;  // the bytes of every copy of each pair
  std::vector<uint64_t> counted_;  // ... of them counted in the progress so far
  TransferProgress progress_;
};

}  // namespace

std::u16string TemporaryCopyName(const std::u16string& destination, int attempt) {
  size_t cut = destination.size();
  while (cut > 0 && !IsPathSeparator(destination[cut - 1])) --cut;
  std::u16string name = u"~" + destination.substr(cut) + u".tessarine";
  if (attempt > 0) name += u"-" + PadNumber(attempt, 1);
  return destination.substr(0, cut) + name + u".tmp";
}

std::vector<PairResult> TransferFiles(const std::vector<TransferPair>& pairs, TransferAction action, FileSystem& fs,
                                      FileTransfer& io, const TransferOptions& options) {
  return Run(pairs, action, fs, io, options).Go();
}

}  // namespace tess
