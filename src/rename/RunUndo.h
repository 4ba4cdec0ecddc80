#pragma once
// Undoing a rename run from its journal: each photo the run moved goes back to its source
// path, each copy it made is removed, and the folders it made and left empty go. Only what
// the journal recorded, and only when it is still as recorded: nothing is ever replaced,
// and nothing whose only copy it is is removed.
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FileTransfer.h"
#include "platform/JournalFolder.h"
#include "rename/RenameRun.h"
#include "rename/RunHistory.h"
#include "rename/RunJournal.h"

namespace tess {

enum class UndoStatus {
  Undone,         // every pair that had reached its destination went back
  Partly,         // some were left where they are (named in the log)
  AlreadyUndone,  // earlier undos settled every pair: nothing done
  NoRun,          // no such journal
  Busy,           // its run still writes it
};

struct UndoSummary {
  UndoStatus status = UndoStatus::NoRun;
  size_t restored = 0;  // photos brought back (their backup copies, taken away, not counted)
  size_t kept = 0;      // files left where the run put them, backups included
};

// The journal of one run, or of the newest run.
std::optional<RunJournal> ReadRun(JournalFolder& folder, const std::u16string& name);
std::optional<RunJournal> LastRun(JournalFolder& folder);
// True when an undo has nothing more to do with the pair: it went back, or nothing of it
// was at its destination. A pair an undo kept is tried again by the next undo.
bool IsSettled(const JournalPair& pair);
// Whether an undo of the run would have something to do: some pair not settled that may
// have reached its destination.
bool CanUndo(const RunJournal& journal);
// True while the run (or an undo of it) still writes its journal: another window's or the
// command-line tool's run that is still going.
bool IsRunning(JournalFolder& folder, const RunJournal& journal);
// The newest run when it was cut short (no end), nobody has undone or left it, and no run
// still writes it: the one the program asks about at its start.
std::optional<RunJournal> CutShortRun(JournalFolder& folder);
// The answer "leave it": the run is not asked about again, and the temporary files it
// left (only those its journal names) are removed, each named in the log.
bool LeaveRun(JournalFolder& folder, const std::u16string& name, FileSystem& fs, RenameLog& log);
// Before a run files into `folders`: removes the temporary files that runs cut short left
// there (only those their journals name; none of a run still going). The count removed.
size_t RemoveLeftTemporaries(JournalFolder& folder, FileSystem& fs, const std::vector<std::u16string>& folders,
                             RenameLog& log);

// Where the undo of one pair records its steps before it takes them, and shows its work.
struct UndoSteps {
  JournalWriter* journal = nullptr;
  size_t index = 0;
  // The journal tells the pairs the run was giving their final name (every journal but
  // those of the first format): a pair without that or an outcome never reached its
  // destination, and whatever lies there is not the run's.
  bool recordsArrival = true;
  TransferObserver* observer = nullptr;
};

// What the undo does with one pair, with its log lines; the decisions alone (tests). A
// photo goes back as the run brought it: renamed within its volume, or copied beside its
// source under a temporary name, proved against what the run recorded, then given its
// name without replacing anything, and only then removed from the destination.
UndoResult UndoPair(const JournalPair& pair, JournalAction action, FileSystem& fs, FileTransfer& io, RenameLog& log,
                    const UndoSteps& steps = {});
// Undoes a run and writes what it did to the log and to the run's journal. An undo cut
// short, or one that kept some pairs, is taken up again by the next: the temporary files
// it left go first, then every pair not settled is tried again. The observer sees the
// pairs go by (filesDone of filesTotal). Each photo restored is forgotten by the import
// history when one is given, so that filing again files it again.
UndoSummary UndoRun(JournalFolder& folder, const std::u16string& name, FileSystem& fs, FileTransfer& io,
                    RenameLog& log, TransferObserver* observer = nullptr, const HistoryPlace* history = nullptr);

// The log's words for an action ("コピー", "移動/リネーム").
std::u16string ActionName(JournalAction action);
// The folder most of the run's destinations are in (the first destination's), for naming
// the run to the user.
std::u16string RunDestinationFolder(const RunJournal& journal);
// The photos of the run, as the user counts them: a photo's backup copy is a pair of the
// journal of its own, not another photo.
size_t RunPhotoCount(const RunJournal& journal);

}  // namespace tess
