#pragma once
// A folder's directory listing taken off the window's thread: on a slow card the listing
// alone takes most of a second (every entry is a device request). One worker lists the
// folder last asked for and hands its records back in batches as it goes, so the first rows
// show long before the last entry is read; a newer folder or a cancel makes the listing on
// its way stale: the walk stops at its next entry, and Take never answers a stale one.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "browse/FileColumns.h"
#include "browse/FileRecords.h"
#include "platform/WakeUp.h"
#include "platform/WorkerThreads.h"
#include "platform/DirectoryList.h"

namespace tess {

class FolderListing {
 public:
  struct Options {
    std::u16string findText;  // the name filter: empty keeps every entry
    FileSortState sort;       // the order of each run handed back
  };
  // What came of the listing since the last Take.
  struct Batch {
    std::u16string folder;
    bool complete = false;  // the listing ended: nothing more comes for this folder
    bool listed = true;     // false (when complete): the folder could not be read to its end
    // Records of the entries that pass the filter, their metadata still to read; each run
    // in the order of sort (the options' order).
    std::vector<RecordBatch> runs;
    FileSortState sort;
  };

  // ready is called from the worker when something waits to be taken and no earlier call is
  // still unanswered by a Take: it must only post a wake-up. A listing hands its records
  // over at most every batchEvery, and once more at its end.
  FolderListing(DirectoryLister& lister, std::function<void()> ready,
                std::chrono::milliseconds batchEvery = std::chrono::milliseconds(100));
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // Lists folder (which ends with a separator), dropping any listing asked for before.
  void Start(const std::u16string& folder, Options options = {});
  // Drops the listing asked for: one under way stops at its next entry, unseen.
  void Cancel();
  // Whether a listing was asked for and its end not yet taken.
  bool Pending() const;
  // The folder of the pending listing (empty when none is).
  std::u16string PendingFolder() const;
  // Waits at most timeout for the end of the pending listing; true when it is there to take.
  bool Wait(std::chrono::milliseconds timeout);
  // What came of the current listing since the last call; nothing when nothing did.
  std::optional<Batch> Take();

 private:
  void Work();
  // Hands batch over (sorted) unless run went stale meanwhile; false when it did.
  bool HandOver(uint64_t run, RecordBatch& batch, const FileSortState& sort, bool complete, bool listed);

  DirectoryLister& lister_;
  WakeUp ready_;
  const std::chrono::milliseconds batchEvery_;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  uint64_t run_ = 0;                 // the latest request; a listing of an older one is stale
  std::atomic<uint64_t> latest_{0};  // run_, read by the walk at every entry without the lock
  uint64_t started_ = 0;             // the request the worker took last
  std::u16string folder_;
  Options options_;
  bool pending_ = false;
  Batch result_;
  bool waiting_ = false;  // result_ holds something not yet taken
  bool stopping_ = false;
  WorkerThreads thread_{1, [this] { Work(); }};  // last: it ends before the rest goes
};

}  // namespace tess
