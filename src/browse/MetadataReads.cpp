#include "browse/MetadataReads.h"

namespace tess {

MetadataReads::MetadataReads(MetadataSource& source, std::function<void()> ready, int threads)
    : source_(source), ready_(std::move(ready)), threads_(threads, [this] { Work(); }) {}

MetadataReads::~MetadataReads() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_ = Jobs();
  }
  threads_.Join();
}

void MetadataReads::Start(std::u16string folder, Jobs jobs) {
  {
    std::lock_guard lock(mutex_);
    ++run_;
    folder_ = std::move(folder);
    jobs_ = std::move(jobs);
    taken_.assign(jobs_.Size(), false);
    takenCount_ = 0;
    next_ = 0;
    preferFirst_ = 0, preferLast_ = -1;
    results_.clear();
    ready_.Answered();
    total_ = static_cast<int>(jobs_.Size());
    done_ = 0;
    if (jobs_.Size() > 0) threads_.Start();
  }
}

void MetadataReads::Cancel() { Start({}, {}); }

void MetadataReads::Prefer(int first, int last) {
  std::lock_guard lock(mutex_);
  preferFirst_ = first < 0 ? 0 : first;
  preferLast_ = last;
}

void MetadataReads::KeepPictures(int minSide) {
  std::lock_guard lock(mutex_);
  pictureSide_ = minSide;
}

std::vector<MetadataReads::Result> MetadataReads::Take() {
  std::vector<Result> out;
  {
    std::lock_guard lock(mutex_);
    out.swap(results_);
    ready_.Answered();
  }
  done_ += static_cast<int>(out.size());
  return out;
}

bool MetadataReads::NextJob(size_t& index) {
  const size_t count = jobs_.Size();
  for (int i = preferFirst_; i <= preferLast_ && static_cast<size_t>(i) < count; ++i) {
    if (!taken_[static_cast<size_t>(i)]) {
      index = static_cast<size_t>(i);
      return true;
    }
  }
  while (next_ < count && taken_[next_]) ++next_;
  if (next_ == count) return false;
  index = next_;
  return true;
}

void MetadataReads::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    size_t index = 0;
    if (stopping_ || !NextJob(index)) {
      threads_.Ending();
      return;
    }
    taken_[index] = true;
    const uint64_t run = run_;
    const void* key = jobs_.Key(index);
    std::u16string path = folder_ + std::u16string(jobs_.Name(index));
    // The jobs are let go once the last is taken, while the records fill up with metadata.
    if (++takenCount_ == jobs_.Size()) {
      jobs_ = Jobs();
      std::vector<bool>().swap(taken_);
      next_ = 0;
    }
    const int pictureSide = pictureSide_;
    lock.unlock();
    Result result;
    result.key = key;
    result.pictureLooked = pictureSide > 0;
    result.metadata = pictureSide > 0 ? ReadRecordMetadata(path, source_, result.picture, pictureSide)
                                      : ReadRecordMetadata(path, source_);
    lock.lock();
    if (run != run_) continue;  // a new listing came meanwhile
    results_.push_back(std::move(result));
    ready_.Raise(lock);
  }
}

}  // namespace tess
