// The reader's file stream on Windows: others may read, delete or rename the file during the
// load (the list reads in the background and must never refuse the user's delete or move) but
// not write it; reads are positional (OVERLAPPED offsets on a synchronous handle).
#include <windows.h>

#include "exif/Streams.h"
#include "platform/win/WinText.h"

namespace tess {

// Small: the system's read-ahead follows each read and grows with it.
const size_t TFileStream::kBlockSize = 4 * 1024;

struct TFileStream::Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

TFileStream::TFileStream(const std::u16string& fileName) : handle_(std::make_unique<Handle>()) {
  HANDLE h = CreateFileW(W(fileName), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw EFOpenError(fileName, SystemErrorMessage(GetLastError()));
  handle_->h = h;
  // Only a file on disk holds a photo: a console, pipe or device ("CON", "\\.\pipe\x") reads as
  // empty rather than waiting for input that never comes.
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    handle_->h = INVALID_HANDLE_VALUE;
    size_ = 0;
    return;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h, &size)) throw EFOpenError(fileName, SystemErrorMessage(GetLastError()));
  size_ = size.QuadPart;
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
    if (!ReadFile(handle_->h, static_cast<char*>(buffer) + done, chunk, &got, &ov)) break;  // EOF or failure: short read
    if (got == 0) break;
    done += got;
  }
  return done;
}

int64_t TFileStream::Size() {
  if (size_ < 0) {
    LARGE_INTEGER size{};
    size_ = GetFileSizeEx(handle_->h, &size) ? size.QuadPart : 0;
  }
  return size_;
}

}  // namespace tess
