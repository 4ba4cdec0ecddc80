#pragma once
// The rename run's side of the import history: where it is, opening it only when a run
// needs it, and recording what a real run filed. A history that cannot be used costs the
// run nothing but one line: the photos go as if there were none.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "history/ImportHistory.h"
#include "history/RecordIdentity.h"
#include "platform/JournalFolder.h"
#include "records/FileRecord.h"

namespace tess {

class RenameLog;

// Where the history is. The database is opened by the first run (or undo) that needs it,
// never at the program's start.
struct HistoryPlace {
  std::u16string path;
  // The kept journals, recorded into a history used for the first time; none when null.
  JournalFolder* seedFrom = nullptr;
  int busyWaitMs = kHistoryBusyWaitMs;
};

// This user's history, seeded from this user's journals.
HistoryPlace PlatformHistoryPlace();

// One run's use of the history: opened when first asked for, its notices (a damaged
// database set aside, a place that cannot be written) written to the run's log; after any
// fault the run goes without it, having said so once.
class RunHistory {
 public:
  RunHistory(const HistoryPlace* place, RenameLog& log) : place_(place), log_(log) {}
  ~RunHistory();
  RunHistory(const RunHistory&) = delete;
  RunHistory& operator=(const RunHistory&) = delete;
  // Null when the run has no history (none given, not to be opened, given up).
  ImportHistory* Get();
  // Gives the history up for the rest of the run, with the line that says why.
  void GiveUp(HistoryStatus status);

 private:
  const HistoryPlace* place_;
  RenameLog& log_;
  std::unique_ptr<ImportHistory> history_;
  bool tried_ = false;
};

// Records the photos a real run filed as they arrive, committing at the journal's rhythm
// (at most once a second, and at the end), so that a run killed midway leaves a history
// that agrees with its journal, and 2,000 photos cost a handful of transactions.
class HistoryRecorder {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  HistoryRecorder(RunHistory& history, std::u16string run, Clock clock = {});
  // One photo arrived whole at its destination (a verified copy, a move that arrived);
  // hash is its content hash when the run computed one.
  void Arrived(PhotoIdentity photo, const std::u16string& source, const std::u16string& destination);
  // Commits what is still waiting.
  void End();
  size_t Recorded() const { return recorded_; }

 private:
  std::chrono::steady_clock::time_point Now() const { return clock_ ? clock_() : std::chrono::steady_clock::now(); }
  void Commit();

  RunHistory& history_;
  std::u16string run_;
  Clock clock_;
  std::vector<ImportEntry> waiting_;
  std::chrono::steady_clock::time_point lastCommit_;
  size_t recorded_ = 0;
};

}  // namespace tess
