#pragma once
// The import history asked about a folder's photos off the window's thread: the file list
// hands over the photos once their metadata is in, one worker looks them up in one read
// transaction and hands back the date each was filed, and a new folder drops what the old
// one had not handed back yet. The window never waits on the database.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WakeUp.h"
#include "platform/WorkerThreads.h"
#include "history/ImportHistory.h"
#include "platform/DateTime.h"

namespace tess {

class HistoryLookups {
 public:
  struct Job {
    const void* key = nullptr;  // what the caller applies the answer to
    PhotoIdentity photo;
  };
  struct Result {
    const void* key = nullptr;
    TDateTime filedAt = 0;  // local time
  };

  // path names the database, asked on the worker when it first needs it (a history that
  // does not exist yet is not made: nothing was filed). ready is called from the worker
  // when answers wait: it must only post a wake-up.
  HistoryLookups(std::function<std::u16string()> path, std::function<void()> ready);
  ~HistoryLookups();
  HistoryLookups(const HistoryLookups&) = delete;
  HistoryLookups& operator=(const HistoryLookups&) = delete;

  // Looks the photos up, dropping any run in progress.
  void Start(std::vector<Job> jobs);
  void Cancel() { Start({}); }
  // The photos of the current run found filed (the others have no answer), once it is done.
  std::vector<Result> Take();

 private:
  void Work();

  std::function<std::u16string()> path_;
  WakeUp ready_;
  std::mutex mutex_;
  std::vector<Job> jobs_;
  uint64_t run_ = 0;
  std::vector<Result> results_;
  bool stopping_ = false;
  // The worker's alone: opened by the first run that finds it and kept for the next folders.
  std::unique_ptr<ImportHistory> history_;
  WorkerThreads threads_;  // last: its worker ends before the rest goes
};

}  // namespace tess
