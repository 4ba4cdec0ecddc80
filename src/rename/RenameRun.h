#pragma once
// The EXIF rename run: builds every destination from the two templates, writes the log
// and, on a real run, hands the whole batch to the shell. The rename dialog only shows
// the lines and sounds the beeps it is given.
#include <string>
#include <vector>

#include "browse/FileRecords.h"
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
  Done,       // the shell finished the whole batch
  Failed,     // the shell reported a failure or the user cancelled
};

// The line of a run that found no file with metadata.
extern const char16_t* const kRenameNoFilesMessage;

// sources and entries are the parallel rename lists; entries without metadata are deleted
// from both. isSkipCopy true is a test run (log only).
RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, ShellServices& shell, WindowHandle owner, RenameLog& log);

// A path as Windows resolves it: "/" taken as "\", runs of separators as one, "." and ".."
// segments resolved, the dots and blanks that end the last name dropped.
std::u16string FileSystemPath(const std::u16string& path);
// FileSystemPath with the letter case folded: two paths with the same key name the same file.
std::u16string FileSystemPathKey(const std::u16string& path);

}  // namespace tess
