#include "rename/RenamePhases.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "platform/DestinationFolders.h"
#include "platform/UiTexts.h"
#include "rename/RunJournal.h"
#include "rename/RunUndo.h"

namespace tess::phases {

namespace {

const char16_t* const kNotCopied = texts::kRunNotCopied;
const char16_t* const kNotMoved = texts::kRunNotMoved;
const char16_t* const kCopiedSourceStays = texts::kRunCopiedSourceStays;
const char16_t* const kNoJournal = texts::kRunNoJournal;
const char16_t* const kVerifyFailed = texts::kRunVerifyFailed;
const char16_t* const kSourceGone = texts::kRunSourceGone;
const char16_t* const kAtDestination = texts::kRunAtDestination;
const char16_t* const kAtBackup = texts::kRunAtBackup;

// Follows the file work for the journal (each pair's outcome as soon as it is known, with
// what arrived), and passes everything on to whoever else watches the run. A pair's main
// copy and its backup are journal pairs of their own: `mainOf` and `backupOf` give their
// places in the journal (kNone where a pair writes none).
class JournalObserver final : public TransferObserver {
 public:
  static constexpr size_t kNone = static_cast<size_t>(-1);
  JournalObserver(JournalWriter& journal, TransferObserver* next, std::vector<size_t> mainOf,
                  std::vector<size_t> backupOf, const std::vector<Pair>& batch)
      : journal_(journal), next_(next), mainOf_(std::move(mainOf)), backupOf_(std::move(backupOf)), batch_(batch) {}
  void OnProgress(const TransferProgress& progress) override {
    if (next_) next_->OnProgress(progress);
  }
  void OnPairContent(size_t index, uint64_t size, const std::string& hash) override {
    size_ = size;
    hash_ = hash;
    if (size_t at = mainOf_[index]; at != kNone) journal_.Arriving(at, hash, size);
    if (next_) next_->OnPairContent(index, size, hash);
  }
  void OnBackupContent(size_t index, uint64_t size, const std::string& hash) override {
    backupSize_ = size;
    backupHash_ = hash;
    if (size_t at = backupOf_[index]; at != kNone) journal_.Arriving(at, hash, size);
    if (next_) next_->OnBackupContent(index, size, hash);
  }
  void OnTemporary(size_t index, const std::u16string& path) override {
    // A temporary file lies beside the copy it becomes: the backup's folder tells its own.
    size_t at = mainOf_[index];
    if (backupOf_[index] != kNone &&
        FileSystemPathKey(ParentFolder(path)) == FileSystemPathKey(ParentFolder(batch_[index].backup)))
      at = backupOf_[index];
    if (at != kNone) journal_.Temporary(at, path);
    if (next_) next_->OnTemporary(index, path);
  }
  void OnPairStep(size_t index, const TransferPair& pair, PairStep step) override {
    if (size_t at = mainOf_[index]; at != kNone) {
      switch (step) {
        case PairStep::Verified: journal_.Event(at, PairEvent::Verified, hash_, size_); break;
        case PairStep::Renamed: journal_.Event(at, PairEvent::Moved, hash_, size_); break;
        case PairStep::SourceRemoved: journal_.Event(at, PairEvent::Moved); break;
        case PairStep::Failed: journal_.Event(at, PairEvent::Failed); break;
        case PairStep::Planned:
        case PairStep::Written: break;  // the copy still has its temporary name
      }
    }
    if (next_) next_->OnPairStep(index, pair, step);
  }
  void OnBackupStep(size_t index, const TransferPair& pair, PairStep step) override {
    if (size_t at = backupOf_[index]; at != kNone) {
      if (step == PairStep::Verified) journal_.Event(at, PairEvent::Verified, backupHash_, backupSize_);
      if (step == PairStep::Failed) journal_.Event(at, PairEvent::Failed);
    }
    if (next_) next_->OnBackupStep(index, pair, step);
  }

 private:
  JournalWriter& journal_;
  TransferObserver* next_;
  std::vector<size_t> mainOf_;
  std::vector<size_t> backupOf_;
  const std::vector<Pair>& batch_;
  std::optional<uint64_t> size_;
  std::string hash_;
  std::optional<uint64_t> backupSize_;
  std::string backupHash_;
};

// Records each photo of the batch in the history as it arrives whole at its destination: a
// verified copy, or a move renamed within its volume or verified on another (its source
// may still be there, but the photo is filed). Sidecars are not photos: not recorded.
class HistoryObserver final : public TransferObserver {
 public:
  HistoryObserver(HistoryRecorder& recorder, const std::vector<Pair>& batch, const RenameJob& job, TransferObserver* next)
      : recorder_(recorder), batch_(batch), job_(job), next_(next), hashes_(batch.size()) {}
  void OnProgress(const TransferProgress& progress) override {
    if (next_) next_->OnProgress(progress);
  }
  void OnPairContent(size_t index, uint64_t size, const std::string& hash) override {
    if (index < hashes_.size()) hashes_[index] = hash;
    if (next_) next_->OnPairContent(index, size, hash);
  }
  void OnTemporary(size_t index, const std::u16string& path) override {
    if (next_) next_->OnTemporary(index, path);
  }
  void OnBackupContent(size_t index, uint64_t size, const std::string& hash) override {
    if (next_) next_->OnBackupContent(index, size, hash);
  }
  void OnBackupStep(size_t index, const TransferPair& pair, PairStep step) override {
    if (next_) next_->OnBackupStep(index, pair, step);
  }
  void OnPairStep(size_t index, const TransferPair& pair, PairStep step) override {
    // The journal hears first: the history never knows more than the journal.
    if (next_) next_->OnPairStep(index, pair, step);
    if ((step != PairStep::Verified && step != PairStep::Renamed) || index >= batch_.size()) return;
    const int place = batch_[index].listIndex;
    if (place < 0 || static_cast<size_t>(place) >= job_.photos.size()) return;
    PhotoIdentity photo = IdentityOf(job_.photos[place].record);
    photo.hash = hashes_[index];
    recorder_.Arrived(std::move(photo), batch_[index].source, batch_[index].destination);
  }

 private:
  HistoryRecorder& recorder_;
  const std::vector<Pair>& batch_;
  const RenameJob& job_;
  TransferObserver* next_;
  std::vector<std::string> hashes_;
};

}  // namespace

std::u16string FaultReason(TransferFault fault) {
  switch (fault) {
    case TransferFault::AccessDenied: return std::u16string(u" (") + texts::kFaultAccessDenied + u")";
    case TransferFault::DiskFull: return std::u16string(u" (") + texts::kFaultDiskFull + u")";
    case TransferFault::WriteProtected: return std::u16string(u" (") + texts::kFaultWriteProtected + u")";
    case TransferFault::NotReady: return std::u16string(u" (") + texts::kFaultNotReady + u")";
    case TransferFault::NotFound:
    case TransferFault::Unknown: break;
  }
  return {};
}

// Every pair's outcome comes from the copy itself: a pair is done only once its copy was
// read back and matched its source (or it was renamed within its volume), and a move's
// source went only after that. Whatever did not arrive left no partial file behind and its
// source where it was; the folders the batch created and left empty are gone. The journal
// has the whole batch before the first file is touched.
RunReport RunBatch(const std::vector<Pair>& batch, bool copy, FileSystem& fs, FileTransfer& io,
                   const RenameRunControl& control, RenameLog& log, const RenameJob* job, RunHistory* history) {
  std::vector<TransferPair> pairs;
  pairs.reserve(batch.size());
  for (const Pair& p : batch) pairs.push_back({p.source, p.mainFiled ? std::u16string() : p.destination, p.backup});
  TransferOptions options;
  options.observer = control.observer;
  options.cancel = control.cancel;
  std::unique_ptr<JournalWriter> journal;
  std::optional<JournalObserver> journalObserver;
  if (control.journal) {
    // The main copies in the batch's order, then the backups: an undo, newest first, takes a
    // backup away while the photo's main copy is still there to prove it is not the only one.
    std::vector<JournalPair> planned;
    std::vector<std::u16string> destinations;
    std::vector<size_t> mainOf(batch.size(), JournalObserver::kNone), backupOf(batch.size(), JournalObserver::kNone);
    for (size_t i = 0; i < batch.size(); ++i) {
      if (batch[i].mainFiled) continue;
      mainOf[i] = planned.size();
      JournalPair& pair = planned.emplace_back();
      pair.source = batch[i].source;
      pair.destination = batch[i].destination;
      destinations.push_back(batch[i].destination);
    }
    for (size_t i = 0; i < batch.size(); ++i) {
      if (batch[i].backup.empty()) continue;
      backupOf[i] = planned.size();
      JournalPair& pair = planned.emplace_back();
      pair.source = batch[i].source;
      pair.destination = batch[i].backup;
      pair.backupOf = batch[i].destination;
      destinations.push_back(batch[i].backup);
    }
    // Temporary files of runs cut short into these folders go before new ones are made.
    std::vector<std::u16string> folders;
    for (const std::u16string& d : destinations) folders.push_back(ParentFolder(d));
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    RemoveLeftTemporaries(*control.journal, fs, folders, log);
    journal = JournalWriter::Start(*control.journal, copy ? JournalAction::Copy : JournalAction::Move, planned,
                                   PlanMissingFolders(destinations, fs));
    // The photos matter more than their undo: the run goes on, and says so.
    if (!journal) log.WriteLine(kNoJournal + control.journal->Location());
    else
      options.observer =
          &journalObserver.emplace(*journal, control.observer, std::move(mainOf), std::move(backupOf), batch);
  }
  std::optional<HistoryRecorder> recorder;
  std::optional<HistoryObserver> historyObserver;
  if (job && history) {
    // Rows name their run by its journal, so that an undo forgets exactly what it restored.
    recorder.emplace(*history, journal ? journal->Name() : JournalNameFor(JournalTimeNow()));
    options.observer = &historyObserver.emplace(*recorder, batch, *job, options.observer);
  }
  std::vector<TransferFault> faults;
  options.faults = &faults;
  std::vector<bool> atBackup;
  options.failedAtBackup = &atBackup;
  std::vector<PairResult> results =
      TransferFiles(pairs, copy ? TransferAction::Copy : TransferAction::Move, fs, io, options);

  RunReport report;
  report.done.assign(batch.size(), false);
  for (size_t i = 0; i < batch.size(); ++i) {
    const std::u16string& source = batch[i].source;
    // With a backup, a failure names the copy it came from.
    std::u16string where;
    if (!batch[i].backup.empty())
      where = atBackup[i] ? kAtBackup + batch[i].backup + u"]" : kAtDestination + batch[i].destination + u"]";
    switch (results[i]) {
      case PairResult::Done: report.done[i] = true; break;
      case PairResult::NotStarted:
      case PairResult::Cancelled: ++report.notHandled; break;
      case PairResult::VerifyFailed:
      case PairResult::SourceChanged: report.notDone.push_back(kVerifyFailed + source + where); break;
      // Both whole: nothing lost, nothing removed; a second run finds the copy filed.
      case PairResult::SourceStays: report.notDone.push_back(kCopiedSourceStays + source + FaultReason(faults[i])); break;
      // Taken away meanwhile (another run of the same card): named as such, not as still there.
      case PairResult::ReadFailed:
        if (fs.Probe(source) == PathState::Missing) {
          report.notDone.push_back(kSourceGone + source);
          break;
        }
        [[fallthrough]];
      case PairResult::WriteFailed:
      case PairResult::DestinationTaken:
        report.notDone.push_back((copy ? kNotCopied : kNotMoved) + source + FaultReason(faults[i]) + where);
        break;
    }
  }
  if (recorder) recorder->End();
  if (journal) {
    const size_t done = static_cast<size_t>(std::count(report.done.begin(), report.done.end(), true));
    journal->End(report.notHandled ? "cancelled" : report.notDone.empty() ? "done" : "failed", done);
  }
  return report;
}

}  // namespace tess::phases
