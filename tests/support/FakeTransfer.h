#pragma once
// The file calls of a verified copy, done in a FakeFiles, with the faults a real card and
// disk have: a copy that writes one wrong byte, a source whose read fails half-way, a disk
// that fills up, a source that cannot be removed, and a cancel that comes half-way.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#include "FakeFiles.h"
#include "platform/FileTransfer.h"
#include "rename/VerifiedTransfer.h"

namespace tess::testing {

class FakeTransfer final : public FileTransfer {
 public:
  explicit FakeTransfer(FakeFiles& files) : files_(files) {}

  // Copies written to a path whose name contains this text get one byte wrong.
  std::u16string corruptNamesWith;
  // Sources whose read fails after half of their bytes.
  std::set<std::u16string> failingReads;
  // Bytes the destination can take in all; writes beyond fail (a full disk).
  uint64_t spaceLeft = UINT64_MAX;
  // Writes to paths beginning with this fail as on a full disk (one volume of two).
  std::u16string fullUnder;
  // Sources that cannot be removed (a write-protected card).
  std::set<std::u16string> lockedSources;
  // Renames between different drives fail; with this, renames between two folders of one
  // drive fail too, as between two mounts under one drive letter under Wine.
  bool foldersAreMounts = false;
  // Cancelled once this many bytes have been written in all.
  CancelToken* cancel = nullptr;
  uint64_t cancelAfterBytes = UINT64_MAX;

  TransferFault lastFault = TransferFault::Unknown;
  TransferFault LastFault() override { return lastFault; }

  int pastCacheReads = 0;
  int plainReads = 0;  // opened for reading through the cache: the sources
  int renames = 0;
  int removed = 0;
  uint64_t written = 0;
  size_t openFiles = 0;

  // No faults, nothing counted.
  void Reset() {
    corruptNamesWith.clear();
    failingReads.clear();
    spaceLeft = UINT64_MAX;
    fullUnder.clear();
    lockedSources.clear();
    foldersAreMounts = false;
    cancel = nullptr;
    cancelAfterBytes = UINT64_MAX;
    pastCacheReads = plainReads = renames = removed = 0;
    lastFault = TransferFault::Unknown;
    written = 0;
  }

  // The run reads one copy back while it writes the next: every call that touches the
  // files, or a count, holds this.
  std::recursive_mutex lock;

  std::unique_ptr<FileReader> OpenRead(const std::u16string& path, bool pastCache) override {
    std::lock_guard<std::recursive_mutex> held(lock);
    const FakeFiles::File* f = files_.Find(path);
    if (!f) return nullptr;
    if (pastCache) ++pastCacheReads;
    else ++plainReads;
    size_t failAt = failingReads.count(path) ? f->bytes.size() / 2 : SIZE_MAX;
    return std::make_unique<Reader>(*this, f->bytes, failAt);
  }
  std::unique_ptr<FileWriter> CreateNew(const std::u16string& path) override {
    std::lock_guard<std::recursive_mutex> held(lock);
    if (files_.Exists(path) || !InFolder(path)) return nullptr;
    files_.Put(path, "");
    const bool corrupt = !corruptNamesWith.empty() && path.find(corruptNamesWith) != std::u16string::npos;
    return std::make_unique<Writer>(*this, path, corrupt);
  }
  RenameResult RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    std::lock_guard<std::recursive_mutex> held(lock);
    ++renames;
    const FakeFiles::File* f = files_.Find(from);
    if (!f) return RenameResult::Failed;
    if (!SameVolume(from, to) || (foldersAreMounts && FileSystemPathKey(ParentFolder(from)) != FileSystemPathKey(ParentFolder(to))))
      return RenameResult::OtherVolume;
    // A change of letter case alone renames the file itself.
    const bool caseOnly = FileSystemPathKey(from) == FileSystemPathKey(to);
    if (!caseOnly && files_.Exists(to)) return RenameResult::Taken;
    if (!InFolder(to)) return RenameResult::Failed;
    std::string bytes = f->bytes;
    files_.RemoveFile(from);
    files_.Put(to, std::move(bytes));
    return RenameResult::Done;
  }
  bool Remove(const std::u16string& path) override {
    std::lock_guard<std::recursive_mutex> held(lock);
    if (lockedSources.count(path)) {
      lastFault = TransferFault::WriteProtected;
      return false;
    }
    if (!files_.RemoveFile(path)) return false;
    ++removed;
    return true;
  }
  bool SameVolume(const std::u16string& a, const std::u16string& b) override {
    return FileSystemPathKey(a).substr(0, 2) == FileSystemPathKey(b).substr(0, 2);
  }

 private:
  // A file right in a drive's or share's root has no parent folder to look for.
  bool InFolder(const std::u16string& path) const {
    std::u16string parent = ParentFolder(path);
    return parent.empty() || files_.HasFolder(parent);
  }

  class Reader final : public FileReader {
   public:
    Reader(FakeTransfer& t, std::string bytes, size_t failAt) : t_(t), bytes_(std::move(bytes)), failAt_(failAt) {
      std::lock_guard<std::recursive_mutex> held(t_.lock);
      ++t_.openFiles;
    }
    ~Reader() override {
      std::lock_guard<std::recursive_mutex> held(t_.lock);
      --t_.openFiles;
    }
    int64_t Read(void* buffer, size_t size) override {
      if (pos_ >= failAt_) {
        t_.lastFault = TransferFault::Unknown;
        return -1;
      }
      size_t n = std::min({size, bytes_.size() - pos_, failAt_ - pos_});
      std::memcpy(buffer, bytes_.data() + pos_, n);
      pos_ += n;
      return int64_t(n);
    }

   private:
    FakeTransfer& t_;
    std::string bytes_;
    size_t pos_ = 0;
    size_t failAt_;
  };

  class Writer final : public FileWriter {
   public:
    Writer(FakeTransfer& t, std::u16string path, bool corrupt) : t_(t), path_(std::move(path)), corrupt_(corrupt) {
      ++t_.openFiles;
    }
    ~Writer() override {
      std::lock_guard<std::recursive_mutex> held(t_.lock);
      if (open_) --t_.openFiles;
    }
    bool Write(const void* buffer, size_t size) override {
      std::lock_guard<std::recursive_mutex> held(t_.lock);
      if (size > t_.spaceLeft || (!t_.fullUnder.empty() && path_.rfind(t_.fullUnder, 0) == 0)) {
        t_.lastFault = TransferFault::DiskFull;
        return false;
      }
      t_.spaceLeft -= size;
      FakeFiles::File* f = const_cast<FakeFiles::File*>(t_.files_.Find(path_));
      if (!f) return false;
      size_t at = f->bytes.size();
      f->bytes.append(static_cast<const char*>(buffer), size);
      if (corrupt_ && size > 0) {
        f->bytes[at + size / 2] ^= 0x01;
        corrupt_ = false;
      }
      t_.written += size;
      if (t_.cancel && t_.written >= t_.cancelAfterBytes) t_.cancel->Cancel();
      return true;
    }
    bool Flush() override { return true; }
    void KeepTimeOf(const std::u16string&) override {}
    bool Close() override {
      std::lock_guard<std::recursive_mutex> held(t_.lock);
      if (open_) --t_.openFiles;
      open_ = false;
      return true;
    }

   private:
    FakeTransfer& t_;
    std::u16string path_;
    bool corrupt_;
    bool open_ = true;
  };

  FakeFiles& files_;
};

}  // namespace tess::testing
