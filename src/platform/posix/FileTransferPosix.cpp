// Verified copies off Windows. Reading past the cache: the written file's pages are written
// out (without asking the device to empty its own cache, which costs far more), then
// dropped from the cache before the file is read back, so the read-back reads the disk.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/DestinationFolders.h"
#include "platform/FileTransfer.h"
#include "platform/Text.h"
#include "platform/posix/NativePathPosix.h"

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace tess {
namespace {


class PosixReader final : public FileReader {
 public:
  explicit PosixReader(int fd) : fd_(fd) {}
  ~PosixReader() override { ::close(fd_); }
  int64_t Read(void* buffer, size_t size) override {
    for (;;) {
      ssize_t n = ::read(fd_, buffer, size);
      if (n < 0 && errno == EINTR) continue;
      return n < 0 ? -1 : int64_t(n);
    }
  }

 private:
  int fd_;
};

class PosixWriter final : public FileWriter {
 public:
  explicit PosixWriter(int fd) : fd_(fd) {}
  ~PosixWriter() override {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Write(const void* buffer, size_t size) override {
    const char* p = static_cast<const char*>(buffer);
    while (size > 0) {
      ssize_t n = ::write(fd_, p, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      size -= size_t(n);
    }
    return true;
  }
  bool Flush() override {
    const unsigned flags = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (::sync_file_range(fd_, 0, 0, flags) == 0) return true;
    return errno == ENOSYS || errno == EINVAL ? ::fdatasync(fd_) == 0 : false;
  }
  void KeepTimeOf(const std::u16string& source) override {
    struct stat st;
    if (::stat(NativePath(source).c_str(), &st) != 0) return;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(fd_, times);
  }
  bool Close() override {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

TransferFault FaultOfError(unsigned long error) {
  switch (error) {
    case EACCES:
    case EPERM: return TransferFault::AccessDenied;
    case ENOSPC:
    case EDQUOT: return TransferFault::DiskFull;
    case EROFS: return TransferFault::WriteProtected;
    case ENXIO:
    case ENODEV:
    case EIO: return TransferFault::NotReady;
    case ENOENT: return TransferFault::NotFound;
    default: return TransferFault::Unknown;
  }
}

namespace {

bool StatNearest(const std::u16string& path, struct stat& st) {
  // A destination folder that does not exist yet will be made in its nearest existing parent.
  for (std::u16string p = path; !p.empty(); p = ParentFolder(p)) {
    if (::stat(NativePath(p).c_str(), &st) == 0) return true;
    if (p.find_first_of(u"\\/") == std::u16string::npos) break;
  }
  return ::stat(".", &st) == 0;
}

class PosixFileTransfer final : public FileTransfer {
 public:
  TransferFault LastFault() override { return FaultOfError(static_cast<unsigned long>(errno)); }
  std::unique_ptr<FileReader> OpenRead(const std::u16string& path, bool pastCache) override {
    int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return nullptr;
    }
    if (pastCache) ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::make_unique<PosixReader>(fd);
  }
  std::unique_ptr<FileWriter> CreateNew(const std::u16string& path) override {
    int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixWriter>(fd);
  }
  RenameResult RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    std::string a = NativePath(from), b = NativePath(to);
    if (::syscall(SYS_renameat2, AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) == 0)
      return RenameResult::Done;
    if (errno == EEXIST) return RenameResult::Taken;
    if (errno == EXDEV) return RenameResult::OtherVolume;
    if (errno != EINVAL && errno != ENOSYS) return RenameResult::Failed;
    // A file system without the flag: a hard link cannot replace either.
    if (::link(a.c_str(), b.c_str()) != 0)
      return errno == EEXIST ? RenameResult::Taken : errno == EXDEV ? RenameResult::OtherVolume : RenameResult::Failed;
    if (::unlink(a.c_str()) != 0) {
      ::unlink(b.c_str());
      return RenameResult::Failed;
    }
    return RenameResult::Done;
  }
  bool Remove(const std::u16string& path) override { return ::unlink(NativePath(path).c_str()) == 0; }
  bool SameVolume(const std::u16string& source, const std::u16string& destination) override {
    struct stat a, b;
    return ::stat(NativePath(source).c_str(), &a) == 0 && StatNearest(ParentFolder(destination), b) &&
           a.st_dev == b.st_dev;
  }
};

}  // namespace

FileTransfer& PlatformFileTransfer() {
  static PosixFileTransfer transfer;
  return transfer;
}

}  // namespace tess
