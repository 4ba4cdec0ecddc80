// The reader's file stream on Windows: others may read, delete or rename the file during the
// load (the list reads in the background and must never refuse the user's delete or move) but
// not write it; reads are positional (OVERLAPPED offsets).
#include <windows.h>

#include "exif/Streams.h"
#include "platform/win/WinText.h"

namespace tess {

struct TFileStream::Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  // Whether the handle is known to be a file on disk (asked only when it matters, below).
  bool disk = false;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  void Drop() {
    CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
  }
};

namespace {

// Only a file on disk holds a photo: a console, pipe or device ("CON", "\\.\pipe\x") reads as
// empty rather than waiting for input that never comes.
bool IsDiskFile(HANDLE h) { return GetFileType(h) == FILE_TYPE_DISK; }

}  // namespace

// Random access: the system reads the block asked for and nothing beyond it (no read-ahead
// into the image data). Overlapped: a read that cannot be served at once can be given up
// when the handle proves to be no file on disk. The type is not asked before the first read:
// under Wine that question reads the file's first bytes, which costs a card a request of its
// own and leaves the block to a second one.
TFileStream::TFileStream(const std::u16string& fileName) : handle_(std::make_unique<Handle>()) {
  HANDLE h = CreateFileW(W(fileName), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS | FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw EFOpenError(fileName, SystemErrorMessage(GetLastError()));
  handle_->h = h;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(h, &size)) {
    size_ = size.QuadPart;
    return;
  }
  // A console or a device has no size; a file on disk that gives none is unreadable.
  const DWORD error = GetLastError();
  if (IsDiskFile(h)) throw EFOpenError(fileName, SystemErrorMessage(error));
  handle_->Drop();
  size_ = 0;
}

TFileStream::~TFileStream() = default;

size_t TFileStream::ReadAt(int64_t offset, void* buffer, size_t count) {
  size_t done = 0;
  while (handle_->h != INVALID_HANDLE_VALUE && done < count) {
    DWORD chunk = count - done > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count - done);
    OVERLAPPED ov{};
    uint64_t at = static_cast<uint64_t>(offset) + done;
    ov.Offset = static_cast<DWORD>(at);
    ov.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD got = 0;
    if (!ReadFile(handle_->h, static_cast<char*>(buffer) + done, chunk, nullptr, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING) break;  // EOF or failure: short read
      if (!handle_->disk && !(handle_->disk = IsDiskFile(handle_->h))) {
        CancelIoEx(handle_->h, &ov);
        GetOverlappedResult(handle_->h, &ov, &got, TRUE);
        handle_->Drop();
        size_ = 0;
        break;
      }
    }
    if (!GetOverlappedResult(handle_->h, &ov, &got, TRUE) || got == 0) break;
    done += got;
  }
  return done;
}

int64_t TFileStream::Size() { return size_; }

}  // namespace tess
