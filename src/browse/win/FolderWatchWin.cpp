#include "browse/win/FolderWatchWin.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "browse/FolderChanges.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

// How long the worker gathers changes before it wakes the window.
constexpr DWORD kGatherMs = 200;
constexpr DWORD kBufferBytes = 64 * 1024;

// The directory handle and its read in flight; closing cancels the read and waits for it,
// so that the buffer is never written after it is gone.
struct DirectoryRead {
  struct Io {
    OVERLAPPED ov{};
    std::vector<DWORD> buffer = std::vector<DWORD>(kBufferBytes / sizeof(DWORD));
  };
  HANDLE dir = INVALID_HANDLE_VALUE;
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::unique_ptr<Io> io = std::make_unique<Io>();
  bool pending = false;

  DirectoryRead() = default;
  ~DirectoryRead() {
    Close();
    if (event) CloseHandle(event);
  }
  DirectoryRead(const DirectoryRead&) = delete;
  DirectoryRead& operator=(const DirectoryRead&) = delete;

  bool Open(const std::u16string& root) {
    Close();
    dir = CreateFileW(W(root), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    return dir != INVALID_HANDLE_VALUE;
  }
  void Close() {
    if (dir == INVALID_HANDLE_VALUE) return;
    if (pending) {
      CancelIoEx(dir, &io->ov);
      // A read the system does not give back at once after its handle closed would still
      // write into its buffer: that one buffer is let go of rather than freed under it.
      if (WaitForSingleObject(event, 2000) != WAIT_OBJECT_0) {
        CloseHandle(dir);
        dir = INVALID_HANDLE_VALUE;
        if (WaitForSingleObject(event, 2000) != WAIT_OBJECT_0) {
          (void)io.release();
          event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        }
        io = std::make_unique<Io>();
        pending = false;
        return;
      }
      pending = false;
    }
    CloseHandle(dir);
    dir = INVALID_HANDLE_VALUE;
  }
  bool Start() {
    if (dir == INVALID_HANDLE_VALUE || pending || !event) return pending;
    ResetEvent(event);
    io->ov = OVERLAPPED{};
    io->ov.hEvent = event;
    pending = ReadDirectoryChangesW(dir, io->buffer.data(), kBufferBytes, TRUE, FILE_NOTIFY_CHANGE_DIR_NAME, nullptr,
                                    &io->ov, nullptr) != FALSE;
    return pending;
  }
};

}  // namespace

FolderWatch::FolderWatch(std::function<void()> ready) : ready_(std::move(ready)) {
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (wake_) thread_ = std::thread([this] { Work(); });
}

FolderWatch::~FolderWatch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  if (wake_) SetEvent(wake_);
  if (thread_.joinable()) thread_.join();
  if (wake_) CloseHandle(wake_);
}

void FolderWatch::Watch(const std::u16string& root) {
  if (!thread_.joinable()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  if (root == wanted_ && wantedGeneration_ == appliedGeneration_) return;
  wanted_ = root;
  const unsigned generation = ++wantedGeneration_;
  changed_.clear();
  everything_ = false;
  SetEvent(wake_);
  applied_.wait(lock, [&] { return appliedGeneration_ >= generation || stopping_ || ended_; });
}

std::vector<std::u16string> FolderWatch::Take(bool& everything) {
  std::lock_guard<std::mutex> lock(mutex_);
  everything = std::exchange(everything_, false);
  signalled_ = false;
  return std::exchange(changed_, {});
}

void FolderWatch::Work() {
  DirectoryRead read;
  std::u16string root;
  std::vector<std::u16string> gathered;
  bool gatheredAll = false;
  ULONGLONG gatherSince = 0;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
      if (appliedGeneration_ != wantedGeneration_) {
        read.Close();
        root = wanted_;
        gathered.clear();
        gatheredAll = false;
        if (!root.empty()) read.Open(root);
        appliedGeneration_ = wantedGeneration_;
        applied_.notify_all();
      }
    }
    read.Start();
    DWORD timeout = INFINITE;
    if (!gathered.empty() || gatheredAll) {
      ULONGLONG waited = GetTickCount64() - gatherSince;
      timeout = waited >= kGatherMs ? 0 : static_cast<DWORD>(kGatherMs - waited);
    }
    HANDLE handles[2] = {wake_, read.event};
    DWORD count = read.pending ? 2 : 1;
    DWORD got = WaitForMultipleObjects(count, handles, FALSE, timeout);
    if (got == WAIT_OBJECT_0 + 1) {
      DWORD bytes = 0;
      BOOL ok = GetOverlappedResult(read.dir, &read.io->ov, &bytes, FALSE);
      read.pending = false;
      if (!ok) {
        // The folder went (a card pulled) or the watch failed: nothing more comes from it.
        read.Close();
        continue;
      }
      if (gathered.empty() && !gatheredAll) gatherSince = GetTickCount64();
      if (bytes == 0) {
        gatheredAll = true;  // more changes than the buffer held
        continue;
      }
      std::vector<std::u16string> names;
      const auto* base = reinterpret_cast<const std::uint8_t*>(read.io->buffer.data());
      for (DWORD offset = 0; offset < bytes;) {
        const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + offset);
        if (offset + sizeof(FILE_NOTIFY_INFORMATION) > bytes ||
            offset + offsetof(FILE_NOTIFY_INFORMATION, FileName) + info->FileNameLength > bytes)
          break;
        names.push_back(U16(info->FileName, info->FileNameLength / sizeof(wchar_t)));
        if (!info->NextEntryOffset) break;
        offset += info->NextEntryOffset;
      }
      MergeChangedFolders(gathered, ChangedParentFolders(root, names));
      continue;
    }
    if (got == WAIT_TIMEOUT && (!gathered.empty() || gatheredAll)) {
      bool wake = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (appliedGeneration_ == wantedGeneration_) {
          MergeChangedFolders(changed_, gathered);
          everything_ = everything_ || gatheredAll;
          wake = !signalled_;
          signalled_ = true;
        }
      }
      gathered.clear();
      gatheredAll = false;
      if (wake && ready_) ready_();
    }
    if (got == WAIT_FAILED) break;
  }
  read.Close();
  std::lock_guard<std::mutex> lock(mutex_);
  ended_ = true;
  applied_.notify_all();
}

}  // namespace tess
