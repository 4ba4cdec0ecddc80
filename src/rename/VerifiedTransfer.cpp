#include "rename/VerifiedTransfer.h"

#include <algorithm>
#include <memory>
#include <new>

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

class Run {
 public:
  Run(const std::vector<TransferPair>& pairs, TransferAction action, FileSystem& fs, FileTransfer& io,
      const TransferOptions& options)
      : pairs_(pairs), move_(action == TransferAction::Move), fs_(fs), io_(io), options_(options),
        buffer_(options.blockSize ? options.blockSize : 64 << 10),
        verifyBuffer_(options.verifyBlockSize ? options.verifyBlockSize : 1 << 20) {
    progress_.filesTotal = pairs.size();
    for (const TransferPair& p : pairs) {
      std::optional<uint64_t> size = fs_.FileSize(p.source);
      sizes_.push_back(size.value_or(0));
      // Progress counts the bytes of every copy a pair makes.
      const uint64_t copies = uint64_t(!p.destination.empty()) + uint64_t(!p.backup.empty());
      progress_.bytesTotal += size.value_or(0) * copies;
      weights_.push_back(size.value_or(0) * copies);
    }
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
    for (size_t i = 0; i < pairs_.size(); ++i) {
      if (Cancelled()) break;
      Step(i, PairStep::Planned);
      pairBase_ = 0;
      results[i] = One(i);
      if (results[i] != PairResult::Done && results[i] != PairResult::SourceStays) Step(i, PairStep::Failed);
      if (results[i] == PairResult::Cancelled) break;
      ++progress_.filesDone;
      progress_.bytesDone = doneBefore_ += weights_[i];
      Report();
    }
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
  };

  bool Cancelled() const { return options_.cancel && options_.cancel->Cancelled(); }
  // A read or a write that failed, with why, asked of the system before anything else is.
  PairResult Fault(size_t i, PairResult result, bool atBackup = false) {
    if (options_.faults) (*options_.faults)[i] = io_.LastFault();
    return Failure(i, result, atBackup);
  }
  PairResult Failure(size_t i, PairResult result, bool atBackup) {
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
  // Takes a verified backup away again when its pair cannot arrive at its main destination.
  void DropBackup(size_t i) {
    if (io_.Remove(pairs_[i].backup)) BackupStep(i, PairStep::Failed);
  }

  PairResult One(size_t i) {
    const TransferPair& p = pairs_[i];
    const bool toBackup = !p.backup.empty();
    // Filed at its destination before: only the backup catches up, and the source stays.
    if (p.destination.empty()) return toBackup ? CopyAndVerify(i, false, true) : PairResult::Done;
    if (move_ && io_.SameVolume(p.source, p.destination)) {
      // The backup is read from the source before the rename takes the source away.
      if (toBackup) {
        PairResult backedUp = CopyAndVerify(i, false, true);
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
        // under Wine): the copy below takes the place of the rename.
        case RenameResult::OtherVolume:
        case RenameResult::Failed: break;
      }
      PairResult copied = CopyAndVerify(i, true, false);
      if (copied != PairResult::Done) {
        if (toBackup) DropBackup(i);
        return copied;
      }
      return RemoveSource(i);
    }
    PairResult copied = CopyAndVerify(i, true, toBackup);
    if (copied != PairResult::Done || !move_) return copied;
    return RemoveSource(i);
  }

  PairResult RemoveSource(size_t i) {
    if (!io_.Remove(pairs_[i].source)) return Fault(i, PairResult::SourceStays);
    Step(i, PairStep::SourceRemoved);
    return PairResult::Done;
  }

  // Writes each copy asked for under a temporary name from one read of the source, verifies
  // each and gives each its final name. Whatever fails, no copy of the pair is kept.
  PairResult CopyAndVerify(size_t i, bool toMain, bool toBackup) {
    const TransferPair& p = pairs_[i];
    std::unique_ptr<FileReader> source = io_.OpenRead(p.source, false);
    if (!source) return Fault(i, PairResult::ReadFailed);
    std::vector<Copy> copies;
    for (bool backup : {false, true}) {
      if (backup ? !toBackup : !toMain) continue;
      Copy& c = copies.emplace_back();
      c.path = backup ? &p.backup : &p.destination;
      c.backup = backup;
    }
    // From here on every way out but the last removes what this pair made.
    bool kept = false;
    ScopeExit guard([&] {
      if (kept) return;
      for (Copy& c : copies) {
        if (c.writer) c.writer->Close();
        if (c.named) {
          if (io_.Remove(*c.path) && c.backup) BackupStep(i, PairStep::Failed);
        } else if (!c.temporary.empty()) {
          io_.Remove(c.temporary);
        }
      }
    });
    for (Copy& c : copies) {
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

    ContentHasher hash;
    uint64_t length = 0;
    progress_.phase = TransferPhase::Copying;
    for (;;) {
      if (Cancelled()) return PairResult::Cancelled;
      int64_t n = source->Read(buffer_.data(), buffer_.size());
      if (n < 0) return Fault(i, PairResult::ReadFailed);
      if (n == 0) break;
      hash.Update(buffer_.data(), size_t(n));
      for (Copy& c : copies)
        if (!c.writer->Write(buffer_.data(), size_t(n))) return Fault(i, PairResult::WriteFailed, c.backup);
      length += uint64_t(n);
      progress_.bytesDone = doneBefore_ + pairBase_ + std::min(length, sizes_[i]) * copies.size();
      Report();
    }
    source.reset();
    for (Copy& c : copies) {
      c.writer->KeepTimeOf(p.source);
      if ((options_.verify && !c.writer->Flush()) || !c.writer->Close()) return Fault(i, PairResult::WriteFailed, c.backup);
      c.writer.reset();
    }
    if (toMain) Step(i, PairStep::Written);

    const std::string digest = hash.Result();
    if (options_.expectedHashes && i < options_.expectedHashes->size() && !(*options_.expectedHashes)[i].empty() &&
        (*options_.expectedHashes)[i] != digest)
      return Failure(i, PairResult::SourceChanged, false);
    if (options_.verify) {
      for (Copy& c : copies) {
        PairResult verified = Verify(c.temporary, length, digest);
        if (verified != PairResult::Done) return Failure(i, verified, c.backup);
      }
    }
    if (options_.observer) {
      if (toMain) options_.observer->OnPairContent(i, length, digest);
      if (toBackup) options_.observer->OnBackupContent(i, length, digest);
    }
    for (Copy& c : copies) {
      switch (io_.RenameNoReplace(c.temporary, *c.path)) {
        case RenameResult::Done: c.named = true; break;
        case RenameResult::Taken: return Failure(i, PairResult::DestinationTaken, c.backup);
        default: return Fault(i, PairResult::WriteFailed, c.backup);
      }
    }
    kept = true;
    pairBase_ += sizes_[i] * copies.size();
    if (toMain) Step(i, PairStep::Verified);
    if (toBackup) BackupStep(i, PairStep::Verified);
    return PairResult::Done;
  }

  PairResult Verify(const std::u16string& copy, uint64_t length, const std::string& expected) {
    progress_.phase = TransferPhase::Verifying;
    Report();
    std::unique_ptr<FileReader> back = io_.OpenRead(copy, true);
    if (!back) return PairResult::VerifyFailed;
    ContentHasher hash;
    uint64_t read = 0;
    for (;;) {
      if (Cancelled()) return PairResult::Cancelled;
      int64_t n = back->Read(verifyBuffer_.data(), verifyBuffer_.size());
      if (n < 0) return PairResult::VerifyFailed;
      if (n == 0) break;
      hash.Update(verifyBuffer_.data(), size_t(n));
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
  AlignedBuffer verifyBuffer_;
  std::vector<uint64_t> sizes_;
  std::vector<uint64_t> weights_;  // the bytes of every copy of each pair
  TransferProgress progress_;
  uint64_t doneBefore_ = 0;
  uint64_t pairBase_ = 0;  // bytes of the pair's copies already made (a backup before its rename)
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
