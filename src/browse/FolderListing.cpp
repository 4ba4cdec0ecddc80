#include "browse/FolderListing.h"

#include "browse/FileListModel.h"
#include "browse/FolderPaths.h"

namespace tess {

FolderListing::FolderListing(DirectoryLister& lister, std::function<void()> ready, std::chrono::milliseconds batchEvery)
    : lister_(lister), ready_(std::move(ready)), batchEvery_(batchEvery) {}

FolderListing::~FolderListing() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    latest_ = ++run_;  // a walk under way stops at its next entry
  }
  thread_.Join();
}

void FolderListing::Start(const std::u16string& folder, Options options) {
  {
    std::lock_guard lock(mutex_);
    latest_ = ++run_;
    folder_ = folder;
    options_ = std::move(options);
    pending_ = true;
    result_ = Batch{};
    waiting_ = false;
    ready_.Answered();
    thread_.Start();
  }
}

void FolderListing::Cancel() {
  std::lock_guard lock(mutex_);
  latest_ = ++run_;
  started_ = run_;  // nothing left for the worker to take
  folder_.clear();
  pending_ = false;
  result_ = Batch{};
  waiting_ = false;
  ready_.Answered();
  arrived_.notify_all();
}

bool FolderListing::Pending() const {
  std::lock_guard lock(mutex_);
  return pending_;
}

std::u16string FolderListing::PendingFolder() const {
  std::lock_guard lock(mutex_);
  return pending_ ? folder_ : std::u16string();
}

bool FolderListing::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, timeout, [&] { return !pending_ || result_.complete; }) && pending_ &&
         result_.complete;
}

std::optional<FolderListing::Batch> FolderListing::Take() {
  std::lock_guard lock(mutex_);
  ready_.Answered();
  if (!waiting_) return std::nullopt;
  Batch out = std::move(result_);
  out.folder = folder_;
  out.sort = options_.sort;
  result_ = Batch{};
  waiting_ = false;
  if (out.complete) pending_ = false;
  return out;
}

bool FolderListing::HandOver(uint64_t run, RecordBatch& batch, const FileSortState& sort, bool complete,
                             bool listed) {
  // Sorted here, so that the window's thread only merges.
  SortRecords(batch, sort);
  std::unique_lock lock(mutex_);
  if (run != run_) {
    batch.clear();
    return false;
  }
  if (!batch.empty()) result_.runs.push_back(std::move(batch));
  batch = RecordBatch{};
  if (complete) {
    result_.complete = true;
    result_.listed = listed;
    arrived_.notify_all();
  }
  waiting_ = true;
  ready_.Raise(lock);
  return true;
}

void FolderListing::Work() {
  using Clock = std::chrono::steady_clock;
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stopping_ || started_ == run_) {
      thread_.Ending();
      return;
    }
    const uint64_t run = started_ = run_;
    const std::u16string folder = folder_;
    const Options options = options_;
    lock.unlock();
    RecordBatch batch;
    Clock::time_point handed = Clock::now();
    bool stale = false;
    const bool listed = lister_.Enumerate(folder, [&](const DirectoryEntry& entry) {
      if (latest_ != run) {
        stale = true;
        return false;
      }
      if (IsDotEntry(entry.name) ||
          !PassesFilter(options.findText, entry.name, (entry.attributes & FILE_ATTRIBUTE_DIRECTORY_) != 0))
        return true;
      batch.push_back(MakeFileRecord(entry, folder, nullptr));
      const Clock::time_point now = Clock::now();
      if (now - handed < batchEvery_) return true;
      handed = now;
      stale = !HandOver(run, batch, options.sort, false, true);
      return !stale;
    });
    if (!stale) HandOver(run, batch, options.sort, true, listed);
    lock.lock();
  }
}

}  // namespace tess
