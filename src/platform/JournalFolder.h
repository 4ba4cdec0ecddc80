#pragma once
// A folder of small append-only text files, one per rename run: the run's journal lives
// there so that a run cut short by a crash can still be undone at the next start. Win32 on
// Windows, POSIX natively, in memory in tests.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tess {

// One journal open for appending. Every Append reaches the system at once (a killed
// process loses nothing written); Sync also asks for it to be on the disk itself.
class JournalFile {
 public:
  virtual ~JournalFile() = default;
  virtual bool Append(std::string_view bytes) = 0;
  virtual bool Sync() = 0;
};

class JournalFolder {
 public:
  virtual ~JournalFolder() = default;
  // The names of the journals there, in ascending order of name (their names start with
  // the time of their run, so this is oldest first).
  virtual std::vector<std::u16string> Names() = 0;
  // A journal's whole text; nothing when it cannot be read.
  virtual std::optional<std::string> Read(const std::u16string& name) = 0;
  // Opens a journal for appending, creating it (and the folder) when missing. Only one
  // opening at a time: null while another (another process's run) holds it.
  virtual std::unique_ptr<JournalFile> Open(const std::u16string& name) = 0;
  virtual bool Remove(const std::u16string& name) = 0;
  // Where the journals are, for messages.
  virtual std::u16string Location() = 0;
};

// The journals of this user: %LOCALAPPDATA%\Tessarine\journal on Windows,
// $XDG_STATE_HOME/tessarine/journal (or ~/.local/state/tessarine/journal) elsewhere; the
// environment variable TESSARINE_JOURNAL_DIR names another folder (tests, portable use).
JournalFolder& PlatformJournalFolder();

// The import history's database: %LOCALAPPDATA%\Tessarine\history.sqlite3 on Windows,
// beside the journal folder elsewhere; inside TESSARINE_JOURNAL_DIR when that is set (so a
// test's runs never meet the user's history); TESSARINE_HISTORY names another file.
std::u16string PlatformHistoryPath();

}  // namespace tess
