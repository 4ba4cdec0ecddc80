#include "rename/RunUndo.h"

#include <algorithm>

#include "platform/DestinationFolders.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "rename/VerifiedTransfer.h"

namespace tess {
namespace {

const char16_t* const kUndoHeader = texts::kUndoHeader;
const char16_t* const kRestored = texts::kUndoRestored;
const char16_t* const kCopyRemoved = texts::kUndoCopyRemoved;
const char16_t* const kTornRemoved = texts::kUndoTornRemoved;
const char16_t* const kChanged = texts::kUndoChanged;
const char16_t* const kSourceTaken = texts::kUndoSourceTaken;
const char16_t* const kOnlyCopy = texts::kUndoOnlyCopy;
const char16_t* const kMissing = texts::kUndoMissing;
const char16_t* const kNotRestored = texts::kUndoNotRestored;
const char16_t* const kRestoredCount = texts::kUndoRestoredCount;
const char16_t* const kKeptCount = texts::kUndoKeptCount;
const char16_t* const kAlreadyUndone = texts::kUndoAlreadyUndone;
const char16_t* const kNoRun = texts::kUndoNoRun;
const char16_t* const kBusy = texts::kUndoBusy;

const char16_t* const kNotTheRuns = texts::kUndoNotTheRuns;
const char16_t* const kBackCopyStays = texts::kUndoBackCopyStays;
const char16_t* const kTemporaryStays = texts::kUndoTemporaryStays;

std::u16string Count(size_t n) { return PadNumber(static_cast<long long>(n), 1); }

// Removes the temporary files recorded for a pair that are still there. Each was made by
// the run (or an undo) and never took a photo's name: never the only copy of anything.
void RemoveTemporaries(const JournalPair& pair, FileSystem& fs, RenameLog& log,
                       const std::vector<std::u16string>* onlyIn = nullptr) {
  for (const std::u16string& temporary : pair.temporaries) {
    if (onlyIn) {
      const std::u16string parent = FileSystemPathKey(ParentFolder(temporary));
      if (std::find(onlyIn->begin(), onlyIn->end(), parent) == onlyIn->end()) continue;
    }
    if (!fs.FileSize(temporary)) continue;
    log.WriteLine((fs.RemoveFile(temporary) ? kTornRemoved : kTemporaryStays) + temporary);
  }
}

// Hears the copy back of one pair: its temporary file goes to the journal before a byte
// is in it, and its progress to whoever shows the undo.
class BackObserver final : public TransferObserver {
 public:
  explicit BackObserver(const UndoSteps& steps) : steps_(steps) {}
  void OnTemporary(size_t, const std::u16string& path) override {
    if (steps_.journal) steps_.journal->Temporary(steps_.index, path);
  }

 private:
  const UndoSteps& steps_;
};

// True when the file at the path is what the journal recorded of the pair (its size, and
// its hash when known).
bool HoldsRecorded(const JournalPair& p, const std::u16string& path, FileSystem& fs) {
  std::optional<uint64_t> size = fs.FileSize(path);
  if (!size || (p.size && *size != *p.size)) return false;
  return p.hash.empty() || fs.ContentHash(path) == p.hash;
}

}  // namespace

std::u16string ActionName(JournalAction action) {
  return action == JournalAction::Move ? texts::kActionMove : texts::kActionCopy;
}

std::u16string RunDestinationFolder(const RunJournal& journal) {
  return journal.pairs.empty() ? std::u16string() : ParentFolder(journal.pairs.front().destination);
}

size_t RunPhotoCount(const RunJournal& journal) {
  return static_cast<size_t>(
      std::count_if(journal.pairs.begin(), journal.pairs.end(), [](const JournalPair& pair) { return pair.backupOf.empty(); }));
}

std::optional<RunJournal> ReadRun(JournalFolder& folder, const std::u16string& name) {
  std::optional<std::string> text = folder.Read(name);
  if (!text) return std::nullopt;
  return ParseJournal(*text, name);
}

std::optional<RunJournal> LastRun(JournalFolder& folder) {
  std::vector<std::u16string> names = folder.Names();
  if (names.empty()) return std::nullopt;
  return ReadRun(folder, names.back());
}

bool IsSettled(const JournalPair& pair) { return pair.undone && *pair.undone != UndoResult::Kept; }

bool CanUndo(const RunJournal& journal) {
  if (!journal.started) return false;
  for (const JournalPair& p : journal.pairs)
    if (!IsSettled(p) && p.event != PairEvent::Failed) return true;
  return false;
}

bool IsRunning(JournalFolder& folder, const RunJournal& journal) {
  // The journal is held open by whoever still writes it; opening it tells, and lets go.
  return !folder.Open(journal.name);
}

std::optional<RunJournal> CutShortRun(JournalFolder& folder) {
  std::optional<RunJournal> last = LastRun(folder);
  if (!last || last->ended || last->left || !CanUndo(*last)) return std::nullopt;
  // An undo of it that was itself cut short is offered again: it goes on where it stopped.
  if (last->undoStarted && last->undoEnded) return std::nullopt;
  if (IsRunning(folder, *last)) return std::nullopt;
  return last;
}

bool LeaveRun(JournalFolder& folder, const std::u16string& name, FileSystem& fs, RenameLog& log) {
  std::optional<RunJournal> journal = ReadRun(folder, name);
  std::unique_ptr<JournalWriter> writer = JournalWriter::Reopen(folder, name);
  if (!journal || !writer) return false;
  // Held open meanwhile: no run of it can start making temporary files again.
  for (const JournalPair& p : journal->pairs) RemoveTemporaries(p, fs, log);
  writer->Left();
  return true;
}

size_t RemoveLeftTemporaries(JournalFolder& folder, FileSystem& fs, const std::vector<std::u16string>& folders,
                             RenameLog& log) {
  std::vector<std::u16string> keys;
  for (const std::u16string& f : folders) keys.push_back(FileSystemPathKey(f));
  RecordedRenameLog removed;
  for (const std::u16string& name : folder.Names()) {
    std::optional<std::string> text = folder.Read(name);
    // Only a run or an undo that never reached its end can have left one: a run that ends
    // removes its own. The others are not even parsed.
    if (!text || text->find("\ntemp\t") == std::string::npos) continue;
    const size_t undo = text->rfind("\nundo\t"), undoEnd = text->rfind("\nundo-end\t");
    const bool undoCut = undo != std::string::npos && (undoEnd == std::string::npos || undoEnd < undo);
    if (text->find("\nend\t") != std::string::npos && !undoCut) continue;
    RunJournal journal = ParseJournal(*text, name);
    std::unique_ptr<JournalFile> held = folder.Open(name);
    if (!held) continue;  // still going: its temporary files are in use
    for (const JournalPair& p : journal.pairs) RemoveTemporaries(p, fs, removed, &keys);
  }
  for (const std::u16string& line : removed.lines) log.WriteLine(line);
  return removed.lines.size();
}

UndoResult UndoPair(const JournalPair& p, JournalAction action, FileSystem& fs, FileTransfer& io, RenameLog& log,
                    const UndoSteps& steps) {
  // A pair that failed never left its source; whatever lies at its destination is not its.
  if (p.event == PairEvent::Failed) return UndoResult::Nothing;
  const bool sourceThere = fs.Exists(p.source);
  // Journals of the first format name no temporary file: a run stopped in the middle of a
  // copy left it under the name it would have had, and, while the source is there, it goes.
  bool tornRemoved = false;
  if (!steps.recordsArrival && !p.event && sourceThere)
    for (int attempt = 0; attempt < 3; ++attempt) {
      std::u16string temporary = TemporaryCopyName(p.destination, attempt);
      if (fs.FileSize(temporary) && fs.RemoveFile(temporary)) {
        log.WriteLine(kTornRemoved + temporary);
        tornRemoved = true;
      }
    }
  // A backup is a copy whatever the run did with its photo.
  const bool move = action == JournalAction::Move && p.backupOf.empty();
  std::optional<uint64_t> at = fs.FileSize(p.destination);
  // A change of letter case alone: the source's path names the destination itself.
  const bool samePath = FileSystemPathKey(p.source) == FileSystemPathKey(p.destination);
  // What the run may have put at the destination: a pair with an outcome, or one it was
  // giving its final name when it stopped.
  const bool reached = p.event || p.arriving || !steps.recordsArrival;
  if (!at) {
    // Nothing arrived (the run stopped before it), or the photo went on elsewhere since.
    if (fs.Exists(p.destination)) {
      log.WriteLine(kChanged + p.destination);  // a folder now
      return UndoResult::Kept;
    }
    if (move && !samePath && !sourceThere) {
      log.WriteLine(kMissing + p.destination);
      return UndoResult::Kept;
    }
    // An undo stopped between removing the destination and saying so: the photo is back.
    if (move && p.back && reached && HoldsRecorded(p, p.source, fs)) {
      log.WriteLine(kRestored + p.source);
      return UndoResult::Restored;
    }
    return tornRemoved ? UndoResult::Restored : UndoResult::Nothing;
  }
  if (!reached) {
    // The run never gave anything this name: what lies there is another's, and stays.
    log.WriteLine(kNotTheRuns + p.destination);
    return sourceThere ? UndoResult::Nothing : UndoResult::Kept;
  }
  if (!samePath && sourceThere) {
    // A copy cut short by a stop under the photo's own name (the first format's runs
    // only), its source still whole: not a photo, and this run's.
    if (!steps.recordsArrival && !p.event && p.size && *at < *p.size && fs.FileSize(p.source) == p.size) {
      if (!fs.RemoveFile(p.destination)) {
        log.WriteLine(kNotRestored + p.destination);
        return UndoResult::Kept;
      }
      log.WriteLine(kTornRemoved + p.destination);
      return UndoResult::Restored;
    }
    // The photo is at its source (a copy, a move that had not yet removed its source, or
    // an undo stopped after its copy back took the source's name): the destination is a
    // second copy of it, and only that goes.
    if (fs.SameContent(p.source, p.destination)) {
      if (!fs.RemoveFile(p.destination)) {
        log.WriteLine(kNotRestored + p.destination);
        return UndoResult::Kept;
      }
      log.WriteLine(move && p.back ? kRestored + p.source : kCopyRemoved + p.destination);
      return UndoResult::Restored;
    }
    log.WriteLine(move ? kSourceTaken + p.source : kChanged + p.destination);
    return UndoResult::Kept;
  }
  // A backup whose photo was moved: it goes only while the main copy still holds the photo.
  if (!p.backupOf.empty() && fs.FileSize(p.backupOf) && fs.SameContent(p.backupOf, p.destination)) {
    if (!fs.RemoveFile(p.destination)) {
      log.WriteLine(kNotRestored + p.destination);
      return UndoResult::Kept;
    }
    log.WriteLine(kCopyRemoved + p.destination);
    return UndoResult::Restored;
  }
  if (!move) {
    // The copy is the only one left: removing it would lose the photo.
    log.WriteLine(kOnlyCopy + p.destination);
    return UndoResult::Kept;
  }
  if (p.size && at != p.size) {
    log.WriteLine(kChanged + p.destination);
    return UndoResult::Kept;
  }
  // A rename within the volume is proved first; a copy back proves itself as it reads.
  if (!p.hash.empty() && io.SameVolume(p.destination, p.source) && fs.ContentHash(p.destination) != p.hash) {
    log.WriteLine(kChanged + p.destination);
    return UndoResult::Kept;
  }
  if (steps.journal) steps.journal->Back(steps.index);
  // The run's own transfer, the other way: the source's folder made again when it has gone
  // meanwhile (an emptied card folder), nothing partial ever under the source's name, and
  // the destination removed only once the photo is whole at its source.
  BackObserver observer(steps);
  TransferOptions options;
  options.observer = &observer;
  const std::vector<std::string> expected{p.hash};
  options.expectedHashes = &expected;
  const PairResult result = TransferFiles({{p.destination, p.source, {}}}, TransferAction::Move, fs, io, options).front();
  switch (result) {
    case PairResult::Done: log.WriteLine(kRestored + p.source); return UndoResult::Restored;
    case PairResult::SourceStays:
      // Whole at both: the next undo removes the destination's copy.
      log.WriteLine(kBackCopyStays + p.destination);
      return UndoResult::Kept;
    case PairResult::SourceChanged: log.WriteLine(kChanged + p.destination); return UndoResult::Kept;
    case PairResult::DestinationTaken: log.WriteLine(kSourceTaken + p.source); return UndoResult::Kept;
    default: log.WriteLine(kNotRestored + p.destination); return UndoResult::Kept;
  }
}

UndoSummary UndoRun(JournalFolder& folder, const std::u16string& name, FileSystem& fs, FileTransfer& io,
                    RenameLog& log, TransferObserver* observer, const HistoryPlace* historyPlace) {
  UndoSummary summary;
  std::optional<RunJournal> journal = ReadRun(folder, name);
  if (!journal) {
    log.WriteLine(kNoRun);
    log.Beep();
    return summary;
  }
  if (journal->undoEnded && !CanUndo(*journal)) {
    log.WriteLine(kAlreadyUndone);
    summary.status = UndoStatus::AlreadyUndone;
    return summary;
  }
  std::unique_ptr<JournalWriter> writer = JournalWriter::Reopen(folder, name);
  if (!writer) {
    log.WriteLine(kBusy);
    log.Beep();
    summary.status = UndoStatus::Busy;
    return summary;
  }
  log.WriteLine(kUndoHeader + journal->time + u" " + ActionName(journal->action) + u" " +
                Count(RunPhotoCount(*journal)) + texts::kUndoHeaderFilesSuffix + u" (" + RunDestinationFolder(*journal) +
                u")");
  writer->UndoStart();
  // What a run or an undo cut short left half-written goes first: never a photo's name.
  for (const JournalPair& pair : journal->pairs) RemoveTemporaries(pair, fs, log);
  TransferProgress progress;
  progress.filesTotal = progress.bytesTotal = journal->pairs.size();
  progress.phase = TransferPhase::Moving;
  if (observer) observer->OnProgress(progress);
  RunHistory history(historyPlace, log);
  // Newest first, the reverse of the run.
  for (size_t i = journal->pairs.size(); i-- > 0;) {
    const JournalPair& pair = journal->pairs[i];
    if (!IsSettled(pair)) {
      UndoSteps steps;
      steps.journal = writer.get();
      steps.index = i;
      steps.recordsArrival = journal->version >= 2;
      UndoResult result = UndoPair(pair, journal->action, fs, io, log, steps);
      writer->Undone(i, result);
      if (result == UndoResult::Restored && pair.backupOf.empty()) {
        ++summary.restored;
        // Filing again after an undo files again. A photo the undo found gone from its
        // destination (moved into an album) stays known: it is still filed, elsewhere.
        if (ImportHistory* store = history.Get())
          if (HistoryStatus status = store->ForgetFiled(journal->name, pair.destination); status != HistoryStatus::Ok)
            history.GiveUp(status);
      }
      if (result == UndoResult::Kept) ++summary.kept;
    }
    progress.filesDone = progress.bytesDone = journal->pairs.size() - i;
    if (observer) observer->OnProgress(progress);
  }
  // Deepest first; a folder that holds anything stays.
  for (auto it = journal->folders.rbegin(); it != journal->folders.rend(); ++it)
    if (fs.IsFolder(*it)) fs.RemoveEmptyFolder(*it);
  writer->UndoEnd(summary.restored, summary.kept);
  log.WriteLine(Count(summary.restored) + kRestoredCount);
  if (summary.kept > 0) {
    log.WriteLine(Count(summary.kept) + kKeptCount);
    log.Beep();
  }
  summary.status = summary.kept > 0 ? UndoStatus::Partly : UndoStatus::Undone;
  return summary;
}

}  // namespace tess
