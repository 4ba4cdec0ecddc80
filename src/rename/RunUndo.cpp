#include "rename/RunUndo.h"

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

std::u16string Count(size_t n) { return PadNumber(static_cast<long long>(n), 1); }

}  // namespace

std::u16string ActionName(JournalAction action) {
  return action == JournalAction::Move ? texts::kActionMove : texts::kActionCopy;
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

bool CanUndo(const RunJournal& journal) {
  if (!journal.started || journal.undoEnded) return false;
  for (const JournalPair& p : journal.pairs)
    if (!p.undone && p.event != PairEvent::Failed) return true;
  return false;
}

std::optional<RunJournal> CutShortRun(JournalFolder& folder) {
  std::optional<RunJournal> last = LastRun(folder);
  if (!last || last->ended || last->undoStarted || last->left || !CanUndo(*last)) return std::nullopt;
  // A run of another window or of the command-line tool that is still going holds its journal.
  if (!folder.Open(last->name)) return std::nullopt;
  return last;
}

bool LeaveRun(JournalFolder& folder, const std::u16string& name) {
  std::unique_ptr<JournalWriter> writer = JournalWriter::Reopen(folder, name);
  if (!writer) return false;
  writer->Left();
  return true;
}

UndoResult UndoPair(const JournalPair& p, JournalAction action, FileSystem& fs, RenameLog& log) {
  // A pair that failed never left its source; whatever lies at its destination is not its.
  if (p.event == PairEvent::Failed) return UndoResult::Nothing;
  // A run stopped in the middle of a copy leaves it under its temporary name, never a
  // photo's: while the source is there, it goes.
  bool tornRemoved = false;
  const bool sourceThere = fs.Exists(p.source);
  if (!p.event && sourceThere)
    for (int attempt = 0; attempt < 3; ++attempt) {
      std::u16string temporary = TemporaryCopyName(p.destination, attempt);
      if (fs.FileSize(temporary) && fs.RemoveFile(temporary)) {
        log.WriteLine(kTornRemoved + temporary);
        tornRemoved = true;
      }
    }
  const bool move = action == JournalAction::Move;
  std::optional<uint64_t> at = fs.FileSize(p.destination);
  // A change of letter case alone: the source's path names the destination itself.
  const bool samePath = FileSystemPathKey(p.source) == FileSystemPathKey(p.destination);
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
    return tornRemoved ? UndoResult::Restored : UndoResult::Nothing;
  }
  if (!samePath && sourceThere) {
    // A copy cut short by a stop, its source still whole: not a photo, and this run's.
    if (!p.event && p.size && *at < *p.size && fs.FileSize(p.source) == p.size) {
      if (!fs.RemoveFile(p.destination)) {
        log.WriteLine(kNotRestored + p.destination);
        return UndoResult::Kept;
      }
      log.WriteLine(kTornRemoved + p.destination);
      return UndoResult::Restored;
    }
    // The photo is at its source (a copy, or a move that had not yet removed its source):
    // the destination is a second copy of it, and only that goes.
    if (fs.SameContent(p.source, p.destination)) {
      if (!fs.RemoveFile(p.destination)) {
        log.WriteLine(kNotRestored + p.destination);
        return UndoResult::Kept;
      }
      log.WriteLine(kCopyRemoved + p.destination);
      return UndoResult::Restored;
    }
    log.WriteLine(move ? kSourceTaken + p.source : kChanged + p.destination);
    return UndoResult::Kept;
  }
  if (!move) {
    // The copy is the only one left: removing it would lose the photo.
    log.WriteLine(kOnlyCopy + p.destination);
    return UndoResult::Kept;
  }
  if ((p.size && at != p.size) || (!p.hash.empty() && fs.ContentHash(p.destination) != p.hash)) {
    log.WriteLine(kChanged + p.destination);
    return UndoResult::Kept;
  }
  // Its folder is made again when it has gone meanwhile (an emptied card folder).
  for (const std::u16string& folder : PlanMissingFolders({p.source}, fs)) fs.CreateFolder(folder);
  if (!fs.MoveFileNoReplace(p.destination, p.source)) {
    log.WriteLine(kNotRestored + p.destination);
    return UndoResult::Kept;
  }
  log.WriteLine(kRestored + p.source);
  return UndoResult::Restored;
}

UndoSummary UndoRun(JournalFolder& folder, const std::u16string& name, FileSystem& fs, RenameLog& log) {
  UndoSummary summary;
  std::optional<RunJournal> journal = ReadRun(folder, name);
  if (!journal) {
    log.WriteLine(kNoRun);
    log.Beep();
    return summary;
  }
  if (journal->undoEnded) {
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
                Count(journal->pairs.size()) + texts::kUndoHeaderFilesSuffix);
  writer->UndoStart();
  // Newest first, the reverse of the run.
  for (size_t i = journal->pairs.size(); i-- > 0;) {
    const JournalPair& pair = journal->pairs[i];
    if (pair.undone) continue;  // done by an undo that was itself cut short
    UndoResult result = UndoPair(pair, journal->action, fs, log);
    writer->Undone(i, result);
    if (result == UndoResult::Restored) ++summary.restored;
    if (result == UndoResult::Kept) ++summary.kept;
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
