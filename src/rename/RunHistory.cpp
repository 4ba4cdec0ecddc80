#include "rename/RunHistory.h"

#include "platform/UiTexts.h"
#include "rename/HistorySeed.h"
#include "rename/RenameRun.h"
#include "rename/RunJournal.h"

namespace tess {

HistoryPlace PlatformHistoryPlace() { return HistoryPlace{PlatformHistoryPath(), &PlatformJournalFolder()}; }

RunHistory::~RunHistory() = default;

ImportHistory* RunHistory::Get() {
  if (tried_ || !place_ || place_->path.empty()) return history_.get();
  tried_ = true;
  std::vector<std::u16string> notices;
  history_ = ImportHistory::Open(place_->path, notices, place_->busyWaitMs);
  for (const std::u16string& notice : notices) log_.WriteLine(notice);
  // The first use learns what the kept journals filed, so that the first run after the
  // update already knows the last runs.
  if (history_ && place_->seedFrom && !history_->Seeded())
    SeedHistoryFromJournals(*history_, *place_->seedFrom, ReadPhotoIdentityFromFile);
  return history_.get();
}

void RunHistory::GiveUp(HistoryStatus status) {
  if (!history_) return;
  log_.WriteLine((status == HistoryStatus::Busy ? texts::kRunHistoryBusy : texts::kRunHistoryFailed) + history_->Path());
  history_.reset();
}

HistoryRecorder::HistoryRecorder(RunHistory& history, std::u16string run, Clock clock)
    : history_(history), run_(std::move(run)), clock_(std::move(clock)) {
  lastCommit_ = Now();
}

void HistoryRecorder::Arrived(PhotoIdentity photo, const std::u16string& source, const std::u16string& destination) {
  // A dateless photo renamed within its volume has no hash: nothing could find it again.
  if (!CanBeKeyed(photo)) return;
  waiting_.push_back(ImportEntry{std::move(photo), source, destination, run_, JournalTimeNow()});
  if (Now() - lastCommit_ >= std::chrono::seconds(1)) Commit();
}

void HistoryRecorder::End() { Commit(); }

void HistoryRecorder::Commit() {
  lastCommit_ = Now();
  if (waiting_.empty()) return;
  std::vector<ImportEntry> entries = std::move(waiting_);
  waiting_.clear();
  ImportHistory* history = history_.Get();
  if (!history) return;
  HistoryStatus status = history->Record(entries);
  if (status != HistoryStatus::Ok) {
    // A second wait of seconds a second would hold the run up: the rest goes unrecorded.
    history_.GiveUp(status);
    return;
  }
  recorded_ += entries.size();
}

}  // namespace tess
