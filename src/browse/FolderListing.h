#pragma once
// A folder's directory listing taken off the window's thread: on a slow card the listing
// alone takes most of a second (every entry is a device request). One worker lists the
// folder last asked for and hands the entries back; a newer folder or a cancel makes the
// listing on its way stale, and Take never answers a stale one.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/DirectoryList.h"

namespace tess {

class FolderListing {
 public:
  struct Result {
    std::u16string folder;
    bool listed = false;  // false: the folder could not be read
    std::vector<DirectoryEntry> entries;
  };

  // ready is called from the worker when a listing of the current run waits: it must only
  // post a wake-up.
  FolderListing(DirectoryLister& lister, std::function<void()> ready);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // Lists folder, dropping any listing asked for before.
  void Start(const std::u16string& folder);
  // Drops the listing asked for: one under way is finished but thrown away.
  void Cancel();
  // Whether a listing was asked for and not yet taken.
  bool Pending() const;
  // The folder of the pending listing (empty when none is).
  std::u16string PendingFolder() const;
  // Waits at most timeout for the pending listing; true when it is there to take.
  bool Wait(std::chrono::milliseconds timeout);
  // The listing of the current run once it is there; nothing before or after it was taken.
  std::optional<Result> Take();

 private:
  void Work();

  DirectoryLister& lister_;
  std::function<void()> ready_;
  mutable std::mutex mutex_;
  std::condition_variable wake_, arrived_;
  uint64_t run_ = 0;      // the latest request; a listing of an older one is stale
  uint64_t started_ = 0;  // the request the worker took last
  std::u16string folder_;
  bool pending_ = false;
  std::optional<Result> result_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace tess
