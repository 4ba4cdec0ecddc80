#pragma once
// The journal of a real rename run: one small UTF-8 text file per run, written before the
// first file is touched and added to as each pair's outcome becomes known, so that a run
// can be undone later, even one cut short by a crash. The format (tab-separated lines) is
// described in the README.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/JournalFolder.h"

namespace tess {

// How many journals are kept: the oldest go when a new run starts.
inline constexpr size_t kJournalsKept = 50;

enum class JournalAction { Copy, Move };

// What the run learnt of a pair, in the order it learns it. A pair with none may be
// anywhere between its source and its destination: the run stopped before telling.
enum class PairEvent {
  Written,   // the destination holds a whole copy (a move's source still there)
  Verified,  // ... and it was read back and compared with its source
  Moved,     // the photo is at its destination and its source is gone
  Failed,    // it did not arrive; its source stays
};

enum class UndoResult {
  Restored,  // moved back to its source path, or a copy that duplicated its source removed
  Kept,      // left where it is, for the reason logged
  Nothing,   // nothing of it was at its destination
};

struct JournalPair {
  std::u16string source;
  std::u16string destination;
  std::optional<uint64_t> size;          // the photo's size (planned, or as it arrived)
  std::string hash;                      // ContentHash of the photo's bytes, when known
  std::optional<PairEvent> event;        // the last one recorded
  std::optional<UndoResult> undone;      // what an undo did with it (the last one's, when retried)
  // The run had its copy verified (or its rename about to be made) and was giving it its
  // final name: from here on, what lies at the destination may be the run's. Its size and
  // hash are then those of what arrives.
  bool arriving = false;
  // Temporary files made for it (by the run beside the destination, by an undo beside the
  // source), named before they were created: what is left of them is never a photo.
  std::vector<std::u16string> temporaries;
  bool back = false;  // an undo began to bring it back
  // For a backup copy (always a copy, even in a move): where the photo's main copy was
  // filed. An undo removes a backup only while the source or that copy still holds it.
  std::u16string backupOf;
};

struct RunJournal {
  std::u16string name;  // the file's name without its extension: the run's id
  int version = 1;      // journals from 2 on record each pair's arrival before it happens
  JournalAction action = JournalAction::Copy;
  std::u16string time;  // local time of the start, "yyyy-mm-dd hh:mm:ss"
  std::vector<JournalPair> pairs;
  std::vector<std::u16string> folders;  // folders the run was to create, parents first
  bool started = false;                 // every pair written: files may have been touched from here on
  bool ended = false;                   // the run reported its end
  std::string endState;                 // "done", "failed", "cancelled"
  bool undoStarted = false;
  bool undoEnded = false;
  bool left = false;                    // the user chose to leave this cut-short run as it is
};

// Reads a journal's text. A line cut short (the last one, without its line end) and any
// line that is not understood are ignored: a journal is never fatal.
RunJournal ParseJournal(std::string_view text, std::u16string name = {});

// The local time as the journal writes it, and the id of a run started then.
std::u16string JournalTimeNow();
std::u16string JournalNameFor(const std::u16string& time);

const char* ActionWord(JournalAction action);
const char* EventWord(PairEvent event);
const char* UndoWord(UndoResult result);

// Appends to one journal. Each line reaches the system at once; the plan and the end are
// also forced to the disk, and the outcomes in between at most about once a second, by a
// thread of the journal's own: a copy never waits on the disk for its journal. A killed
// run loses nothing by that (what is appended is the system's already); only a power cut
// can take the last second's lines, as it could before.
class JournalWriter {
 public:
  ~JournalWriter();
  // Starts the journal of a run about to begin: its header, every pair and the folders it
  // may create, on the disk before this returns. Removes the oldest journals beyond the
  // number kept. Null when the journal cannot be written.
  static std::unique_ptr<JournalWriter> Start(JournalFolder& folder, JournalAction action,
                                              const std::vector<JournalPair>& pairs,
                                              const std::vector<std::u16string>& folders);
  // Opens an existing journal to add to it (an undo, or the answer to the question after a
  // crash). Null when it cannot be opened, for instance while its run still writes it.
  static std::unique_ptr<JournalWriter> Reopen(JournalFolder& folder, const std::u16string& name);

  const std::u16string& Name() const { return name_; }
  // With what arrived, when known: its size and ContentHash.
  void Event(size_t pair, PairEvent event, const std::string& hash = {}, std::optional<uint64_t> size = {});
  // Before a copy (or a rename) takes its final name, with what arrives.
  void Arriving(size_t pair, const std::string& hash, std::optional<uint64_t> size);
  // Before a temporary file is created for the pair.
  void Temporary(size_t pair, const std::u16string& path);
  void End(const std::string& state, size_t done);
  // Before an undo brings a pair back.
  void Back(size_t pair);
  void UndoStart();
  void Undone(size_t pair, UndoResult result);
  void UndoEnd(size_t restored, size_t kept);
  void Left();

 private:
  JournalWriter(std::u16string name, std::unique_ptr<JournalFile> file) : name_(std::move(name)), file_(std::move(file)) {}
  void Line(const std::vector<std::u16string>& fields, bool sync);
  // Asks the journal's thread to force what was appended to the disk, and returns at once.
  void SyncLater();
  void SyncLoop();

  std::u16string name_;
  std::unique_ptr<JournalFile> file_;
  std::chrono::steady_clock::time_point lastSync_ = std::chrono::steady_clock::now();
  std::mutex mutex_;
  std::condition_variable wake_;
  bool syncWanted_ = false;
  bool stopping_ = false;
  std::thread syncer_;  // started at the first sync it is asked for
};

}  // namespace tess
