#pragma once
// The few file calls a verified copy or move is made of: read a file in blocks, write a new
// one in blocks, make the writes reach the disk, rename without replacing, remove, and
// tell whether two paths lie on one volume. Behind this seam so that a copy that writes a
// wrong byte, a read that fails half-way or a cancel at any block can be run against a fake.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tess {

class FileReader {
 public:
  virtual ~FileReader() = default;
  // Reads up to `size` bytes; the count read, 0 at the end of the file, -1 on an error.
  virtual int64_t Read(void* buffer, size_t size) = 0;
};

class FileWriter {
 public:
  virtual ~FileWriter() = default;
  // Writes all `size` bytes, or fails (a full disk, a card pulled out).
  virtual bool Write(const void* buffer, size_t size) = 0;
  // Makes what was written reach the disk, so that reading it back reads the disk.
  virtual bool Flush() = 0;
  // Gives the file the modification time of `source`, as a copy by the shell does; best
  // effort, after the last write.
  virtual void KeepTimeOf(const std::u16string& source) = 0;
  // Closes the file; false when the system reports that the last writes failed.
  virtual bool Close() = 0;
};

enum class RenameResult {
  Done,
  Taken,        // something lies at the new path: nothing changed
  OtherVolume,  // the two paths lie on different volumes: nothing changed
  Failed,
};

// Why a call failed, among the reasons a user can do something about.
enum class TransferFault { Unknown, AccessDenied, DiskFull, WriteProtected, NotReady, NotFound };

class FileTransfer {
 public:
  virtual ~FileTransfer() = default;
  // Why the last call of this thread that failed did; asked right after it.
  virtual TransferFault LastFault() { return TransferFault::Unknown; }
  // Opens a file for reading; `pastCache` asks to read what the disk holds rather than
  // the system's cached copy, where the platform allows it. Null when it cannot be opened.
  virtual std::unique_ptr<FileReader> OpenRead(const std::u16string& path, bool pastCache) = 0;
  // Creates a new file; null when anything lies at the path already or it cannot be made.
  virtual std::unique_ptr<FileWriter> CreateNew(const std::u16string& path) = 0;
  // Gives a file a new path, never replacing what lies there.
  virtual RenameResult RenameNoReplace(const std::u16string& from, const std::u16string& to) = 0;
  // Removes a file, also one marked read-only.
  virtual bool Remove(const std::u16string& path) = 0;
  // True when a rename can take the source to the destination's folder (which may not
  // exist yet): both on one volume.
  virtual bool SameVolume(const std::u16string& source, const std::u16string& destination) = 0;
};

// Set from any thread (or a signal handler); a file run looks at it between blocks.
class CancelToken {
 public:
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
  // Ready for another run.
  void Reset() { cancelled_.store(false, std::memory_order_relaxed); }

 private:
  static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
  std::atomic<bool> cancelled_{false};
};

// The fault a system error code stands for (Windows' codes, errno values elsewhere).
TransferFault FaultOfError(unsigned long error);

// The machine's files. Off Windows, paths written with "\" are taken with "/".
FileTransfer& PlatformFileTransfer();

}  // namespace tess
