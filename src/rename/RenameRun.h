#pragma once
// The EXIF rename run: builds every destination from the two templates, writes the log
// and, on a real run, copies or moves the batch, proving every copy. The rename dialog
// only shows the lines and sounds the beeps it is given.
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FileTransfer.h"
#include "platform/JournalFolder.h"
#include "rename/RenameJob.h"
#include "rename/VerifiedTransfer.h"

namespace tess {

struct HistoryPlace;

// Where a run reports: the dialog's log and the system beep.
class RenameLog {
 public:
  virtual ~RenameLog() = default;
  virtual void Clear() = 0;
  virtual void WriteLine(const std::u16string& line) = 0;
  virtual void Beep() = 0;
};

// A log kept in memory: for the command-line tool and tests.
class RecordedRenameLog final : public RenameLog {
 public:
  std::vector<std::u16string> lines;
  int beeps = 0;
  void Clear() override { lines.clear(); }
  void WriteLine(const std::u16string& line) override { lines.push_back(line); }
  void Beep() override { ++beeps; }
};

enum class RenameOutcome {
  NoFiles,    // no source with metadata: nothing to do
  Planned,    // a test run that found every destination usable
  Refused,    // a test run that found destinations the real run will leave out (their photos named)
  Done,       // every file of the batch arrived (or was already in place)
  Failed,     // some file did not arrive (or was left out for its destination)
  Cancelled,  // stopped by the user: every file is filed and verified or still at its source
};

// How a real run reports its progress and learns that it is to stop; both may be null.
// The observer hears of every file of the batch, step by step (the files already filed
// or in place are not in the batch).
struct RenameRunControl {
  TransferObserver* observer = nullptr;
  const CancelToken* cancel = nullptr;
  // Where a real run journals its batch, before the first file is touched, and each
  // file's outcome as it comes, so that it can be undone; none when null.
  JournalFolder* journal = nullptr;
  // The import history: photos it knows are left out, and a real run records what it
  // filed; none when null.
  const HistoryPlace* history = nullptr;
};

// The line of a run that found no file with metadata.
extern const char16_t* const kRenameNoFilesMessage;

// What a run came to, and the photos it is done with (a real run's settled ones, and in
// every mode those without metadata).
struct RenameRunResult {
  RenameOutcome outcome = RenameOutcome::Failed;
  SettledPhotos settled;
};

// The run, in four phases. Plan: every photo with metadata gets its destination folder
// and name; a photo without a shooting date is left out (with a line) when a template
// needs the date. Values from the photo are cleaned into names Windows accepts. Photos of
// one folder that differ only in extension share one name, and the sidecars beside them
// (XMP, THM, WAV, AAE, LRV) follow it. Check: a name held by another file of the batch or
// by a different file on disk gives the group the next free number ("name (2).JPG") in
// shooting order; a destination that already holds the source's bytes is a photo filed
// before, left out with a line; a destination that cannot be used (a file where a folder
// must go, a name too long, a state that cannot be told) leaves its photos out with a true
// reason. A test ends here, its log telling everything the real run will do. Transfer:
// every file copied and verified (or, for a move within a volume, renamed), a move's
// source removed only once its copy verified: the count line counts only the files that
// arrived whole; each that did not is named, nothing partial is left and the folders left
// empty are removed, and the failure line and a beep follow. A cancel adds the count of
// files not handled. Summary: the log ends with what went and what was left out and why.
// The job itself is never changed: its owner keeps the photos not settled for a retry.
RenameRunResult RunRenameJob(const RenameJob& job, RenameLog& log, const RenameRunControl& control = {});
// The same with the file system given (tests); the one above uses the machine's.
RenameRunResult RunRenameJob(const RenameJob& job, RenameLog& log, FileSystem& fs, FileTransfer& io,
                          const RenameRunControl& control = {});

}  // namespace tess
