#pragma once
// Undoing a rename run from its journal: each photo the run moved goes back to its source
// path, each copy it made is removed, and the folders it made and left empty go. Only what
// the journal recorded, and only when it is still as recorded: nothing is ever replaced,
// and nothing whose only copy it is is removed.
#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/JournalFolder.h"
#include "rename/RenameRun.h"
#include "rename/RunJournal.h"

namespace tess {

enum class UndoStatus {
  Undone,         // every pair that had reached its destination went back
  Partly,         // some were left where they are (named in the log)
  AlreadyUndone,  // an earlier undo of this run ended: nothing done
  NoRun,          // no such journal
  Busy,           // its run still writes it
};

struct UndoSummary {
  UndoStatus status = UndoStatus::NoRun;
  size_t restored = 0;
  size_t kept = 0;
};

// The journal of one run, or of the newest run.
std::optional<RunJournal> ReadRun(JournalFolder& folder, const std::u16string& name);
std::optional<RunJournal> LastRun(JournalFolder& folder);
// Whether an undo of the run would have something to do: not undone yet, and some pair
// that may have reached its destination.
bool CanUndo(const RunJournal& journal);
// The newest run when it was cut short (no end), nobody has undone or left it, and no run
// still writes it: the one the program asks about at its start.
std::optional<RunJournal> CutShortRun(JournalFolder& folder);
// The answer "leave it": the run is not asked about again.
bool LeaveRun(JournalFolder& folder, const std::u16string& name);

// What the undo does with one pair, with its log lines; the decisions alone (tests).
UndoResult UndoPair(const JournalPair& pair, JournalAction action, FileSystem& fs, RenameLog& log);
// Undoes a run and writes what it did to the log and to the run's journal. A second undo
// of the same run does nothing; one cut short goes on with the pairs not yet done.
UndoSummary UndoRun(JournalFolder& folder, const std::u16string& name, FileSystem& fs, RenameLog& log);

// The log's words for an action ("コピー", "移動/リネーム").
std::u16string ActionName(JournalAction action);

}  // namespace tess
