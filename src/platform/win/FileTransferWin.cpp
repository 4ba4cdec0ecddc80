// Verified copies on Windows. The read-back opens the copy without the system's cache
// (FILE_FLAG_NO_BUFFERING), so it reads what the disk holds: the file system writes the
// cached pages of a range out before it reads that range uncached, so no FlushFileBuffers
// is needed (it would also empty the disk's own write cache, for every photo). Reads then
// go in whole blocks into a page-aligned buffer, as the flag requires. Wine accepts the
// flag and reads through its cache all the same.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/DestinationFolders.h"
#include "platform/FileTransfer.h"
#include "platform/win/WinHandles.h"
#include "platform/win/RemoveFileWin.h"
#include "platform/win/WinText.h"

namespace tess {
namespace {

inline HANDLE NoFile() { return INVALID_HANDLE_VALUE; }
using FileHandle = UniqueHandle<HANDLE, FreeKernelHandle, NoFile>;

// A multiple of every sector size, so that unbuffered reads may ask for it whole.
constexpr DWORD kReadBlock = 1 << 20;
// Unbuffered reads go to buffers and in sizes that are multiples of the sector size; a
// page is a multiple of every sector size in use.
constexpr size_t kSector = 4096;

struct PageFree {
  void operator()(void* p) const { VirtualFree(p, 0, MEM_RELEASE); }
};

// Read buffers are kept for the next file rather than given back each time: a run opens
// two files a photo, and reserving a megabyte costs a system call each time (more under Wine).
class BufferPool {
 public:
  std::unique_ptr<void, PageFree> Take() {
    std::lock_guard lock(mutex_);
    if (!free_.empty()) {
      std::unique_ptr<void, PageFree> b = std::move(free_.back());
      free_.pop_back();
      return b;
    }
    return std::unique_ptr<void, PageFree>(VirtualAlloc(nullptr, kReadBlock, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  }
  void Give(std::unique_ptr<void, PageFree> b) {
    std::lock_guard lock(mutex_);
    if (b && free_.size() < 4) free_.push_back(std::move(b));
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<void, PageFree>> free_;
};

BufferPool& Buffers() {
  static BufferPool pool;
  return pool;
}

class WinReader final : public FileReader {
 public:
  WinReader(FileHandle file, std::unique_ptr<void, PageFree> buffer)
      : file_(std::move(file)), buffer_(std::move(buffer)) {}
  ~WinReader() override { Buffers().Give(std::move(buffer_)); }
  int64_t Read(void* out, size_t size) override {
    // Straight into the caller's buffer when it is one an unbuffered read accepts (or
    // the file is read through the cache): a copy of every byte the less, and the buffer
    // the caller chose the size of.
    const bool fits = !buffer_ || (reinterpret_cast<uintptr_t>(out) % kSector == 0 && size % kSector == 0);
    if (pos_ == have_ && fits && size > 0) {
      DWORD n = 0;
      if (!ReadFile(file_.get(), out, static_cast<DWORD>(std::min<size_t>(size, 1u << 30)), &n, nullptr)) return -1;
      return static_cast<int64_t>(n);
    }
    if (pos_ == have_) {
      DWORD n = 0;
      if (!ReadFile(file_.get(), buffer_.get(), kReadBlock, &n, nullptr)) return -1;
      have_ = n;
      pos_ = 0;
      if (n == 0) return 0;
    }
    size_t take = std::min<size_t>(size, have_ - pos_);
    std::memcpy(out, static_cast<char*>(buffer_.get()) + pos_, take);
    pos_ += take;
    return static_cast<int64_t>(take);
  }

 private:
  FileHandle file_;
  std::unique_ptr<void, PageFree> buffer_;
  size_t have_ = 0, pos_ = 0;
};

class WinWriter final : public FileWriter {
 public:
  explicit WinWriter(FileHandle file) : file_(std::move(file)) {}
  bool Write(const void* buffer, size_t size) override {
    const char* p = static_cast<const char*>(buffer);
    while (size > 0) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
      DWORD n = 0;
      if (!WriteFile(file_.get(), p, chunk, &n, nullptr) || n == 0) return false;
      p += n;
      size -= n;
    }
    return true;
  }
  // Nothing to do: an uncached read of the copy writes its cached pages out first.
  bool Flush() override { return true; }
  void KeepTimeOf(const std::u16string& source) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(W(source), GetFileExInfoStandard, &data))
      SetFileTime(file_.get(), nullptr, nullptr, &data.ftLastWriteTime);
  }
  bool Close() override {
    HANDLE h = file_.release();
    return CloseHandle(h) != 0;
  }

 private:
  FileHandle file_;
};

}  // namespace

TransferFault FaultOfError(unsigned long error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED: return TransferFault::AccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return TransferFault::DiskFull;
    case ERROR_WRITE_PROTECT: return TransferFault::WriteProtected;
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST: return TransferFault::NotReady;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return TransferFault::NotFound;
    default: return TransferFault::Unknown;
  }
}

namespace {

bool SameVolumeName(const std::u16string& a, const std::u16string& b) {
  return CompareStringOrdinal(W(a), -1, W(b), -1, TRUE) == CSTR_EQUAL;
}

// The volume of a path, asked of the nearest folder that exists (a destination folder is
// often still to be made, and a mount point below it could not be seen yet anyway).
std::u16string VolumeOf(const std::u16string& path) {
  std::u16string existing = path;
  while (GetFileAttributesW(W(existing)) == INVALID_FILE_ATTRIBUTES) {
    std::u16string parent = ParentFolder(existing);
    if (parent.empty()) break;
    existing = parent;
  }
  wchar_t volume[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(W(existing), volume, MAX_PATH + 1)) return {};
  return U16(volume);
}

class WinFileTransfer final : public FileTransfer {
 public:
  TransferFault LastFault() override { return FaultOfError(GetLastError()); }
  std::unique_ptr<FileReader> OpenRead(const std::u16string& path, bool pastCache) override {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    FileHandle file;
    bool unbuffered = false;
    if (pastCache) {
      file.reset(CreateFileW(W(path), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
      unbuffered = bool(file);
    }
    // Some volumes (network shares among them) refuse unbuffered reads: read through the cache.
    if (!file)
      file.reset(CreateFileW(W(path), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) return nullptr;
    // Only an unbuffered read may need a buffer of its own (for a caller's buffer it cannot take).
    std::unique_ptr<void, PageFree> buffer;
    if (unbuffered) {
      buffer = Buffers().Take();
      if (!buffer) return nullptr;
    }
    return std::make_unique<WinReader>(std::move(file), std::move(buffer));
  }
  std::unique_ptr<FileWriter> CreateNew(const std::u16string& path) override {
    FileHandle file(CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return nullptr;
    return std::make_unique<WinWriter>(std::move(file));
  }
  RenameResult RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    // Without MOVEFILE_REPLACE_EXISTING nothing at `to` is replaced; without
    // MOVEFILE_COPY_ALLOWED a move to another volume fails instead of copying unverified.
    if (MoveFileExW(W(from), W(to), 0)) return RenameResult::Done;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return RenameResult::Taken;
    if (error == ERROR_NOT_SAME_DEVICE) return RenameResult::OtherVolume;
    return RenameResult::Failed;
  }
  bool Remove(const std::u16string& path) override {
    return RemoveFileEvenReadOnly(path);
  }
  bool SameVolume(const std::u16string& source, const std::u16string& destination) override {
    std::u16string a = VolumeOf(source), b = VolumeOf(destination);
    return !a.empty() && !b.empty() && SameVolumeName(a, b);
  }
};

}  // namespace

FileTransfer& PlatformFileTransfer() {
  static WinFileTransfer transfer;
  return transfer;
}

}  // namespace tess
