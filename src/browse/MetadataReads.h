#pragma once
// The photos' metadata read off the window's thread: a few worker threads take the files of
// a listing one by one (the rows the user sees first) and hand each result back; a new
// listing or a cancel drops what the old one had not handed back yet. The window applies
// the results on its own thread, so the records are only ever touched there.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browse/FileRecords.h"
#include "browse/WakeUp.h"
#include "browse/WorkerThreads.h"

namespace tess {

class MetadataReads {
 public:
  struct Job {
    const void* key = nullptr;  // what the caller applies the result to
    std::u16string name;        // the file's name in the run's folder
  };
  struct Result {
    const void* key = nullptr;
    RecordMetadata metadata;
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
  void Start(std::u16string folder, std::vector<Job> jobs);
  // Drops the run: a file being read is finished but its result is thrown away.
  void Cancel();
  // The jobs first through last (indexes of the Start list) are read before the others.
  void Prefer(int first, int last);
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
  std::vector<Job> jobs_;
  std::vector<bool> taken_;
  size_t next_ = 0;
  size_t takenCount_ = 0;
  int preferFirst_ = 0, preferLast_ = -1;
  uint64_t run_ = 0;  // a new run makes the results of the old one stale
  std::vector<Result> results_;
  bool stopping_ = false;
  int done_ = 0, total_ = 0;  // the window's thread only
  WorkerThreads threads_;  // last: its workers end before the rest goes
};

}  // namespace tess
