#pragma once
// The EXIF rename run: builds every destination from the two templates, writes the log
// and, on a real run, copies or moves the batch, proving every copy. The rename dialog
// only shows the lines and sounds the beeps it is given.
#include <string>
#include <vector>

#include "browse/FileRecords.h"
#include "platform/FileSystem.h"
#include "platform/FileTransfer.h"
#include "rename/VerifiedTransfer.h"

namespace tess {

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

struct RenameRunSettings {
  std::u16string folderTemplate;  // the selected destination-folder template; empty for none
  std::u16string nameTemplate;    // the selected file-name template; empty for none
  int actionIndex = 0;            // 0 or less: copy; above: move and rename
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
};

// The line of a run that found no file with metadata.
extern const char16_t* const kRenameNoFilesMessage;

// The run, in three steps. Plan: every source with metadata gets its destination folder
// and name; entries without metadata are deleted from both parallel lists; a photo without
// a shooting date is left out (with a line) when a template needs the date. Values from
// the photo are cleaned into names Windows accepts. Photos of one folder that differ only
// in extension share one name, and the sidecars beside them (XMP, THM, WAV, AAE, LRV)
// follow it. Check: a name held by another file of the batch or by a different file on
// disk gives the group the next free number ("name (2).JPG") in shooting order; a
// destination that already holds the source's bytes is a photo filed before, left out with
// a line; a destination that cannot be used (a file where a folder must go, a name too
// long, a state that cannot be told) leaves its photos out with a true reason. A test run
// (isSkipCopy) ends here, its log telling everything the real run will do. Run: every file
// copied and verified (or, for a move within a volume, renamed), a move's source removed
// only once its copy verified: the count line counts only the files that arrived whole;
// each that did not is named, nothing partial is left and the folders left empty are
// removed, and the failure line and a beep follow. A cancel adds the count of files not
// handled. The log ends with a summary line. After a real run the lists keep only the
// photos not filed.
RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, RenameLog& log, const RenameRunControl& control = {});
// The same with the file system given (tests); the one above uses the machine's.
RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, RenameLog& log, FileSystem& fs, FileTransfer& io,
                           const RenameRunControl& control = {});

}  // namespace tess
