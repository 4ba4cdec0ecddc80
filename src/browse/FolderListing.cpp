#include "browse/FolderListing.h"

namespace tess {

FolderListing::FolderListing(DirectoryLister& lister, std::function<void()> ready)
    : lister_(lister), ready_(std::move(ready)), thread_([this] { Work(); }) {}

FolderListing::~FolderListing() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void FolderListing::Start(const std::u16string& folder) {
  {
    std::lock_guard lock(mutex_);
    ++run_;
    folder_ = folder;
    pending_ = true;
    result_.reset();
  }
  wake_.notify_all();
}

void FolderListing::Cancel() {
  std::lock_guard lock(mutex_);
  ++run_;
  started_ = run_;  // nothing left for the worker to take
  folder_.clear();
  pending_ = false;
  result_.reset();
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
  return arrived_.wait_for(lock, timeout, [&] { return !pending_ || result_.has_value(); }) && result_.has_value();
}

std::optional<FolderListing::Result> FolderListing::Take() {
  std::lock_guard lock(mutex_);
  if (!result_) return std::nullopt;
  std::optional<Result> out = std::move(result_);
  result_.reset();
  pending_ = false;
  return out;
}

void FolderListing::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || started_ != run_; });
    if (stopping_) return;
    const uint64_t run = started_ = run_;
    Result result;
    result.folder = folder_;
    lock.unlock();
    result.listed = lister_.List(result.folder, result.entries);
    lock.lock();
    if (run != run_) continue;  // a newer folder or a cancel came meanwhile
    result_ = std::move(result);
    arrived_.notify_all();
    if (ready_) {
      lock.unlock();
      ready_();
      lock.lock();
    }
  }
}

}  // namespace tess
