// The file system off Windows: paths written with "\" (as the rename run builds them) are
// taken with "/".
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/posix/NativePathPosix.h"

namespace tess {
namespace {


class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads up to `size` bytes, going on after short reads; the count read, -1 on an error.
ssize_t ReadFull(int fd, char* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::read(fd, buffer + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return ssize_t(done);
}

class PosixFileSystem final : public FileSystem {
 public:
  bool Exists(const std::u16string& path) override {
    struct stat st;
    if (::stat(NativePath(path).c_str(), &st) == 0) return true;
    return errno != ENOENT && errno != ENOTDIR;
  }
  bool IsFolder(const std::u16string& path) override {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  bool CreateFolder(const std::u16string& path) override { return ::mkdir(NativePath(path).c_str(), 0777) == 0; }
  bool RemoveEmptyFolder(const std::u16string& path) override { return ::rmdir(NativePath(path).c_str()) == 0; }
  std::optional<uint64_t> FileSize(const std::u16string& path) override {
    struct stat st;
    if (::stat(NativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return uint64_t(st.st_size);
  }
  bool SameContent(const std::u16string& a, const std::u16string& b) override {
    // Non-blocking opens: a pipe at either path must not hang the check.
    Fd fa(::open(NativePath(a).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    Fd fb(::open(NativePath(b).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fa.get() < 0 || fb.get() < 0) return false;
    struct stat sa, sb;
    if (::fstat(fa.get(), &sa) != 0 || ::fstat(fb.get(), &sb) != 0) return false;
    if (!S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size) return false;
    static constexpr size_t kChunk = 1 << 16;
    std::string ba(kChunk, '\0'), bb(kChunk, '\0');
    for (;;) {
      ssize_t na = ReadFull(fa.get(), ba.data(), kChunk);
      ssize_t nb = ReadFull(fb.get(), bb.data(), kChunk);
      if (na < 0 || nb < 0 || na != nb) return false;
      if (na == 0) return true;
      if (std::memcmp(ba.data(), bb.data(), size_t(na)) != 0) return false;
    }
  }
  bool RemoveFile(const std::u16string& path) override { return ::unlink(NativePath(path).c_str()) == 0; }
  bool MoveFileNoReplace(const std::u16string& from, const std::u16string& to) override {
    std::string a = NativePath(from), b = NativePath(to);
    // A hard link never replaces; where links are refused (FAT cards) or the volumes
    // differ, a copy made exclusively and then the source removed.
    if (::link(a.c_str(), b.c_str()) == 0) {
      if (::unlink(a.c_str()) == 0) return true;
      ::unlink(b.c_str());
      return false;
    }
    if (errno == EEXIST) return false;
    Fd in(::open(a.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (in.get() < 0) return false;
    struct stat st;
    if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    Fd out(::open(b.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777));
    if (out.get() < 0) return false;
    std::string buffer(1 << 16, '\0');
    bool ok = true;
    for (;;) {
      ssize_t n = ReadFull(in.get(), buffer.data(), buffer.size());
      if (n < 0) ok = false;
      if (n <= 0) break;
      for (ssize_t done = 0; ok && done < n;) {
        ssize_t w = ::write(out.get(), buffer.data() + done, size_t(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) ok = false;
        else done += w;
      }
      if (!ok) break;
    }
    if (ok) ok = ::fsync(out.get()) == 0;
    if (!ok || ::unlink(a.c_str()) != 0) {
      ::unlink(b.c_str());
      return false;
    }
    return true;
  }
  std::optional<std::string> ContentHash(const std::u16string& path) override {
    Fd fd(::open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    ContentHasher hasher;
    std::string buffer(1 << 16, '\0');
    for (;;) {
      ssize_t n = ReadFull(fd.get(), buffer.data(), buffer.size());
      if (n < 0) return std::nullopt;
      if (n == 0) return hasher.Result();
      hasher.Update(buffer.data(), size_t(n));
    }
  }
  PathState Probe(const std::u16string& path) override {
    struct stat st;
    if (::stat(NativePath(path).c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? PathState::Folder : PathState::File;
    return errno == ENOENT ? PathState::Missing : PathState::Unknown;
  }
  bool SameFile(const std::u16string& a, const std::u16string& b) override {
    struct stat sa, sb;
    return ::stat(NativePath(a).c_str(), &sa) == 0 && ::stat(NativePath(b).c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }
  std::optional<std::vector<std::u16string>> FileNames(const std::u16string& folder) override {
    std::string native = NativePath(folder);
    DIR* dir = ::opendir(native.c_str());
    if (!dir) return std::nullopt;
    std::vector<std::u16string> names;
    while (dirent* e = ::readdir(dir)) {
      struct stat st;
      std::string name = e->d_name;
      if (::stat((native + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(FromUtf8(name));
    }
    ::closedir(dir);
    return names;
  }
  std::optional<TransferFault> CannotWriteIn(const std::u16string& folder) override {
    if (::access(NativePath(folder).c_str(), W_OK) == 0) return std::nullopt;
    TransferFault fault = FaultOfError(static_cast<unsigned long>(errno));
    if (fault == TransferFault::Unknown || fault == TransferFault::NotFound) return std::nullopt;
    return fault;
  }
  std::optional<VolumeSpace> SpaceOf(const std::u16string& path) override {
    std::string existing = NativePath(path);
    struct stat st;
    while (::stat(existing.c_str(), &st) != 0) {
      size_t slash = existing.find_last_of('/');
      if (slash == std::string::npos) return std::nullopt;
      existing = slash == 0 ? "/" : existing.substr(0, slash);
    }
    struct statvfs vfs;
    if (::statvfs(existing.c_str(), &vfs) != 0) return std::nullopt;
    // The mount point: the last folder up the path still on the same device.
    std::string root = existing;
    while (root != "/") {
      size_t slash = root.find_last_of('/');
      std::string parent = slash == 0 || slash == std::string::npos ? "/" : root.substr(0, slash);
      struct stat up;
      if (::stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev) break;
      root = parent;
    }
    VolumeSpace space;
    space.root = FromUtf8(root);
    space.freeBytes = uint64_t(vfs.f_bavail) * vfs.f_frsize;
    space.totalBytes = uint64_t(vfs.f_blocks) * vfs.f_frsize;
    space.clusterBytes = vfs.f_frsize;
    return space;
  }
};

}  // namespace

FileSystem& PlatformFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace tess
