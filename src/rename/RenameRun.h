#pragma once
// The EXIF rename run: builds every destination from the two templates, writes the log
// and, on a real run, hands the whole batch to the shell. The rename dialog only shows
// the lines and sounds the beeps it is given.
#include <string>
#include <vector>

#include "browse/FileRecords.h"
#include "platform/FileSystem.h"
#include "platform/JournalFolder.h"
#include "platform/Shell.h"

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
  Refused,    // some destination would lose or overwrite a file: nothing handed to the shell
  PackFailed, // the packed lists could not be built
  Done,       // every file of the batch arrived (or was already in place)
  Failed,     // some file did not arrive, whatever the shell reported
};

// The line of a run that found no file with metadata.
extern const char16_t* const kRenameNoFilesMessage;

// The run, in three steps. Plan: every source with metadata gets its destination and its
// pair of log lines; entries without metadata are deleted from both parallel lists. Check:
// a destination that clashes within the batch or with the source, or where another file
// already lies, refuses the whole batch (its lines, then the failure line in a real run,
// and a beep); a destination that already holds the source's very bytes is a photo filed
// before, left out with a line of its own. A test run (isSkipCopy) ends here, its log
// telling everything the real run would do. Run: one shell operation for the rest, then
// every pair is looked at on disk whatever the shell returned: the count line counts only
// the pairs that really arrived; each pair that did not is named, its short copy and the
// folders left empty are removed, and the failure line and a beep follow.
RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, ShellServices& shell, WindowHandle owner, RenameLog& log);
// The same with the file system and the journal folder given (tests, the command-line
// tool); the one above uses the machine's and this user's journals. A real run journals
// its batch there before the shell is called (none without a folder).
RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, ShellServices& shell, WindowHandle owner, RenameLog& log, FileSystem& fs,
                           JournalFolder* journal = nullptr);

}  // namespace tess
