// The reader's file stream on POSIX systems: positional reads on a read-only descriptor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "exif/Streams.h"
#include "platform/Text.h"

namespace tess {

struct TFileStream::Handle {
  int fd = -1;
  ~Handle() {
    if (fd >= 0) ::close(fd);
  }
};

TFileStream::TFileStream(const std::u16string& fileName) : handle_(std::make_unique<Handle>()) {
  std::string path = ToUtf8(fileName);
  // Only a regular file holds a photo; a pipe, socket or device reads as empty. The open
  // never blocks: without O_NONBLOCK, opening a pipe waits for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  struct stat st {};
  if (fd < 0) {
    int error = errno;
    // A socket cannot be opened at all: it is no photo rather than a file that is unreadable.
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
      size_ = 0;
      return;
    }
    throw EFOpenError(fileName, FromUtf8(std::strerror(error)));
  }
  handle_->fd = fd;
  if (::fstat(fd, &st) != 0) throw EFOpenError(fileName, FromUtf8(std::strerror(errno)));
  // A folder opens on POSIX but is no file to read (Windows refuses to open it).
  if (S_ISDIR(st.st_mode)) throw EFOpenError(fileName, FromUtf8(std::strerror(EISDIR)));
  if (!S_ISREG(st.st_mode)) {
    ::close(handle_->fd);
    handle_->fd = -1;
    size_ = 0;
    return;
  }
  size_ = static_cast<int64_t>(st.st_size);
  // The reader asks for the one block it needs: read-ahead beyond it would fetch image data
  // that nobody reads, which on a slow card costs as much as the metadata.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
}

TFileStream::~TFileStream() = default;

size_t TFileStream::ReadAt(int64_t offset, void* buffer, size_t count) {
  size_t done = 0;
  while (handle_->fd >= 0 && done < count) {
    ssize_t n = ::pread(handle_->fd, static_cast<char*>(buffer) + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

int64_t TFileStream::Size() {
  return size_;
}

}  // namespace tess
