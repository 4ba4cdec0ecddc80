#pragma once
// The import history: every photo a real run filed, kept in an SQLite database so that a
// photo is never filed twice, whatever was renamed or moved since. A photo is known by what
// it carries itself (camera, serial, original name, size, recorded shooting time), never by
// the file's modification time, which a change of time zone or summer time moves.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace tess {

// How long an instance waits for another's write before going on without the history.
inline constexpr int kHistoryBusyWaitMs = 5000;

// The schema version this build writes; older databases are migrated when opened.
inline constexpr int kHistorySchemaVersion = 1;


// What identifies a photo across cards, renames and moves.
struct PhotoIdentity {
  std::u16string make, model, serial;  // as read; serial empty when the photo has none
  std::u16string name;                 // the file name on the card, without its folder
  uint64_t size = 0;
  double shot = 0;                     // the recorded shooting time (TDateTime); 0 when none
  std::string hash;                    // content hash: needed for a photo without a date
};

// The key rules, in one place: the recorded time to the millisecond, the name without case
// (Windows names are one whatever their case), and for a dateless photo its content hash,
// as name and size alone would mistake a wrapped counter's photo for an old one.
struct HistoryKey {
  std::string name;  // UTF-8, ASCII letters upper-cased
  int64_t size = 0;
  std::optional<int64_t> shotMs;  // milliseconds since 1899-12-30; none for a dateless photo
  std::string make, model, serial, hash;
};
HistoryKey KeyOf(const PhotoIdentity& photo);
// Whether a photo can be looked up: a dateless photo needs its hash.
bool CanBeKeyed(const PhotoIdentity& photo);

struct ImportEntry {
  PhotoIdentity photo;
  std::u16string source, destination;
  std::u16string run;       // the journal's name of the run that filed it
  std::u16string filedAt;   // local time "yyyy-mm-dd hh:mm:ss"
};

struct FoundImport {
  std::u16string filedAt, destination, run;
};

enum class HistoryStatus {
  Ok,
  Busy,         // another program held the database past the wait
  Failed,       // any other error (disk full, no access)
};

class ImportHistory {
 public:
  // Opens (or creates) the database at path, creating its folder. A file that is not an
  // SQLite database or fails its check is renamed aside ("<name>.damaged-YYYYMMDD-HHMMSS")
  // and a new one started; notices say what happened, for the log. Null when the place
  // cannot be written: the caller goes on without a history.
  // busyWaitMs is how long a write waits for another instance's (tests shorten it).
  static std::unique_ptr<ImportHistory> Open(const std::u16string& path, std::vector<std::u16string>& notices,
                                             int busyWaitMs = kHistoryBusyWaitMs);
  ~ImportHistory();
  ImportHistory(const ImportHistory&) = delete;
  ImportHistory& operator=(const ImportHistory&) = delete;

  // One answer per photo, in order: where and when it was filed, or nothing.
  HistoryStatus Find(const std::vector<PhotoIdentity>& photos, std::vector<std::optional<FoundImport>>& found);
  // Adds the entries in one transaction.
  HistoryStatus Record(const std::vector<ImportEntry>& entries);
  // Forgets one filed photo (an undo restored it), or all of a run's.
  HistoryStatus ForgetFiled(const std::u16string& run, const std::u16string& destination);
  HistoryStatus ForgetRun(const std::u16string& run, int64_t* forgotten = nullptr);
  // Every entry filed from or to one of the paths (a path is a file, or a folder and all
  // under it), oldest first; all entries when paths is empty.
  HistoryStatus List(const std::vector<std::u16string>& paths, std::vector<ImportEntry>& entries);
  // SQLite's own integrity check; problems says what it found.
  bool Check(std::vector<std::u16string>& problems);
  // Whether the kept journals were already recorded (done once, on first use).
  bool Seeded();
  HistoryStatus MarkSeeded();
  int64_t Count();

  const std::u16string& Path() const { return path_; }

 private:
  ImportHistory(sqlite3* db, std::u16string path) : db_(db), path_(std::move(path)) {}
  HistoryStatus Status(int code) const;

  sqlite3* db_;
  std::u16string path_;
};

}  // namespace tess
