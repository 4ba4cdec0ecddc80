#pragma once
// The photos' metadata read off the window's thread: a few worker threads take the files of
// a listing one by one (the rows the user sees first) and hand each result back; a new
// listing or a cancel drops what the old one had not handed back yet. The window applies
// the results on its own thread, so the records are only ever touched there.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <string_view>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browse/FileRecords.h"
#include "platform/WakeUp.h"
#include "platform/WorkerThreads.h"

namespace tess {

class MetadataReads {
 public:
  // The files of a run: for each, what the caller applies its result to (the key) and its
  // name in the run's folder. The names are kept in one block: a folder of 20,000 photos
  // would otherwise hold 20,000 small strings while its records fill up.
  class Jobs {
   public:
    void Add(const void* key, std::u16string_view name) {
      if (names_.size() + name.size() > UINT32_MAX) throw std::length_error("too many names to read");
      keys_.push_back(key);
      names_.append(name);
      ends_.push_back(static_cast<uint32_t>(names_.size()));
    }
    size_t Size() const { return keys_.size(); }
    const void* Key(size_t i) const { return keys_[i]; }
    std::u16string_view Name(size_t i) const {
      const uint32_t begin = i ? ends_[i - 1] : 0;
      return std::u16string_view(names_).substr(begin, ends_[i] - begin);
    }

   private:
    std::vector<const void*> keys_;
    std::u16string names_;
    std::vector<uint32_t> ends_;
  };
  struct Result {
    const void* key = nullptr;
    RecordMetadata metadata;
    // With KeepPictures: whether the head was looked at, and the stored picture found there.
    bool pictureLooked = false;
    HeadPicture picture;
  };

  // ready is called from a worker thread when results wait and the last Take has emptied
  // the queue (so once per batch, not once per file): it must only post a wake-up.
  MetadataReads(MetadataSource& source, std::function<void()> ready, int threads = 4);
  ~MetadataReads();
  MetadataReads(const MetadataReads&) = delete;
  MetadataReads& operator=(const MetadataReads&) = delete;

  // Reads the jobs' files in folder (which ends with a separator), dropping any run in
  // progress; the jobs are taken in order, except for those that Prefer names. The folder is
  // held once, not with every job: a folder of 20,000 photos would hold it 20,000 times.
  void Start(std::u16string folder, Jobs jobs);
  // Drops the run: a file being read is finished but its result is thrown away.
  void Cancel();
  // The jobs first through last (indexes of the Start list) are read before the others.
  void Prefer(int first, int last);
  // From now on each read also keeps the stored picture found in the bytes it fetched (for
  // the thumbnail view, pictures of at least minSide); 0 stops it.
  void KeepPictures(int minSide);
  // The results of the current run that arrived since the last call.
  std::vector<Result> Take();

  // Files of the current run handed back by Take, and its size.
  int Done() const { return done_; }
  int Total() const { return total_; }
  bool Running() const { return done_ < total_; }

 private:
  void Work();
  bool NextJob(size_t& index);  // under the lock

  MetadataSource& source_;
  WakeUp ready_;
  mutable std::mutex mutex_;
  std::u16string folder_;
  Jobs jobs_;
  std::vector<bool> taken_;
  size_t next_ = 0;
  size_t takenCount_ = 0;
  int preferFirst_ = 0, preferLast_ = -1;
  int pictureSide_ = 0;
  uint64_t run_ = 0;  // a new run makes the results of the old one stale
  std::vector<Result> results_;
  bool stopping_ = false;
  int done_ = 0, total_ = 0;  // the window's thread only
  WorkerThreads threads_;  // last: its workers end before the rest goes
};

}  // namespace tess
