#include "history/ImportHistory.h"

#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <system_error>

#include "platform/DateTime.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"

namespace tess {
namespace {

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS imports("
    " id INTEGER PRIMARY KEY,"
    " name TEXT NOT NULL,"          // the name on the card, ASCII letters upper-cased
    " size INTEGER NOT NULL,"
    " shot INTEGER,"                // recorded shooting time, ms since 1899-12-30; NULL: none
    " make TEXT NOT NULL, model TEXT NOT NULL, serial TEXT NOT NULL,"
    " hash TEXT NOT NULL,"          // content hash, '' when the run did not compute one
    " source TEXT NOT NULL, destination TEXT NOT NULL,"
    " run TEXT NOT NULL, filed TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS imports_identity ON imports(size, shot, name);"
    "CREATE INDEX IF NOT EXISTS imports_run ON imports(run);"
    "CREATE TABLE IF NOT EXISTS facts(key TEXT PRIMARY KEY, value TEXT NOT NULL);";

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { code_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  int Code() const { return code_; }
  void Bind(int i, const std::string& text) { sqlite3_bind_text(stmt_, i, text.data(), int(text.size()), SQLITE_TRANSIENT); }
  void Bind(int i, const std::u16string& text) { Bind(i, ToUtf8(text)); }
  void Bind(int i, int64_t value) { sqlite3_bind_int64(stmt_, i, value); }
  void Bind(int i, std::optional<int64_t> value) {
    if (value) Bind(i, *value);
    else sqlite3_bind_null(stmt_, i);
  }
  int Step() { return sqlite3_step(stmt_); }
  void Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  std::u16string Text(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    return text ? FromUtf8(reinterpret_cast<const char*>(text)) : std::u16string();
  }
  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int code_;
};

int Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

bool IsDamage(int code) {
  int primary = code & 0xFF;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

std::filesystem::path FsPath(const std::u16string& path) { return std::filesystem::path(path); }

// Moves a damaged database (and its write-ahead log) out of the way, keeping it for whoever
// wants to look at it; the name it got, or nothing when it could not be moved.
std::optional<std::u16string> SetAside(const std::u16string& path) {
  std::u16string aside = path + u".damaged-" + LocalTimeNowText("%Y%m%d-%H%M%S");
  std::error_code error;
  std::filesystem::rename(FsPath(path), FsPath(aside), error);
  if (error) return std::nullopt;
  for (const char16_t* suffix : {u"-wal", u"-shm"}) {
    std::error_code ignored;
    if (std::filesystem::exists(FsPath(path + suffix), ignored))
      std::filesystem::rename(FsPath(path + suffix), FsPath(aside + suffix), ignored);
  }
  return aside;
}

// Opens and prepares a database; the SQLite result code of the first step that failed.
int OpenDatabase(const std::u16string& path, int busyWaitMs, sqlite3*& db) {
  db = nullptr;
  int code = sqlite3_open_v2(ToUtf8(path).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (code != SQLITE_OK) return code;
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, busyWaitMs);
  // WAL lets a second instance read while one writes; NORMAL sync is safe with WAL (a crash
  // may lose the last commits, never the database), and the journal stays the run's record.
  if ((code = Exec(db, "PRAGMA journal_mode=WAL")) != SQLITE_OK) return code;
  if ((code = Exec(db, "PRAGMA synchronous=NORMAL")) != SQLITE_OK) return code;
  int version = 0;
  {
    Statement read(db, "PRAGMA user_version");
    if (read.Code() != SQLITE_OK) return read.Code();
    code = read.Step();
    if (code != SQLITE_ROW) return code;
    version = int(read.Int(0));
    code = SQLITE_OK;
  }
  if (version > kHistorySchemaVersion) return SQLITE_OK;  // a newer build's: read what we know
  if (version < kHistorySchemaVersion) {
    // Migrations, one version at a time, each in the transaction that sets the version.
    if ((code = Exec(db, "BEGIN IMMEDIATE")) != SQLITE_OK) return code;
    if (version < 1) code = Exec(db, kSchema);
    if (code == SQLITE_OK) code = Exec(db, ("PRAGMA user_version=" + std::to_string(kHistorySchemaVersion)).c_str());
    if (code == SQLITE_OK) code = Exec(db, "COMMIT");
    if (code != SQLITE_OK) Exec(db, "ROLLBACK");
  }
  return code;
}

std::u16string ErrorText(int code) { return FromUtf8(sqlite3_errstr(code)); }

// "C:\Photos" covers "C:\Photos\x.jpg" and "C:\Photos" itself, not "C:\Photos2".
bool Covers(const std::u16string& path, const std::u16string& under) {
  if (under.empty()) return false;
  if (path.size() < under.size() || CompareTextAscii(std::u16string_view(path).substr(0, under.size()), under) != 0)
    return false;
  return path.size() == under.size() || IsPathSeparator(under.back()) || IsPathSeparator(path[under.size()]);
}

}  // namespace

HistoryKey KeyOf(const PhotoIdentity& photo) {
  HistoryKey key;
  std::u16string name = photo.name;
  for (char16_t& c : name) c = AsciiUpper(c);
  key.name = ToUtf8(name);
  key.size = static_cast<int64_t>(photo.size);
  if (photo.shot > 0) key.shotMs = std::llround(photo.shot * 86400000.0);
  key.make = ToUtf8(photo.make);
  key.model = ToUtf8(photo.model);
  key.serial = ToUtf8(photo.serial);
  key.hash = photo.hash;
  return key;
}

bool CanBeKeyed(const PhotoIdentity& photo) { return photo.shot > 0 || !photo.hash.empty(); }

std::unique_ptr<ImportHistory> ImportHistory::Open(const std::u16string& path, std::vector<std::u16string>& notices,
                                                   int busyWaitMs) {
  std::error_code error;
  std::filesystem::path parent = FsPath(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, error);
  sqlite3* db = nullptr;
  int code = OpenDatabase(path, busyWaitMs, db);
  if (IsDamage(code)) {
    sqlite3_close_v2(db);
    db = nullptr;
    std::optional<std::u16string> aside = SetAside(path);
    if (!aside) {
      notices.push_back(u"取り込み履歴が壊れていて、別名にもできません: " + path + u" (履歴なしで続けます)");
      return nullptr;
    }
    notices.push_back(u"取り込み履歴が壊れていたため別名で残し、新しく始めます: " + *aside);
    code = OpenDatabase(path, busyWaitMs, db);
  }
  if ((code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED) {
    sqlite3_close_v2(db);
    notices.push_back(std::u16string(texts::kRunHistoryBusy) + path);
    return nullptr;
  }
  if (code != SQLITE_OK) {
    sqlite3_close_v2(db);
    notices.push_back(u"取り込み履歴を開けません: " + path + u" (" + ErrorText(code) + u"、履歴なしで続けます)");
    return nullptr;
  }
  return std::unique_ptr<ImportHistory>(new ImportHistory(db, path));
}

ImportHistory::~ImportHistory() { sqlite3_close_v2(db_); }

HistoryStatus ImportHistory::Status(int code) const {
  int primary = code & 0xFF;
  if (primary == SQLITE_OK || primary == SQLITE_DONE || primary == SQLITE_ROW) return HistoryStatus::Ok;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return HistoryStatus::Busy;
  return HistoryStatus::Failed;
}

HistoryStatus ImportHistory::Find(const std::vector<PhotoIdentity>& photos, std::vector<std::optional<FoundImport>>& found) {
  found.assign(photos.size(), std::nullopt);
  // The newest filing of the photo answers: it is where the photo went last.
  Statement dated(db_,
                  "SELECT filed, destination, run FROM imports WHERE size=?1 AND shot=?2 AND name=?3 AND make=?4"
                  " AND model=?5 AND serial=?6 ORDER BY id DESC LIMIT 1");
  Statement dateless(db_,
                     "SELECT filed, destination, run FROM imports WHERE size=?1 AND shot IS NULL AND name=?2"
                     " AND hash=?3 ORDER BY id DESC LIMIT 1");
  if (dated.Code() != SQLITE_OK) return Status(dated.Code());
  if (dateless.Code() != SQLITE_OK) return Status(dateless.Code());
  // One read transaction for the batch: a consistent answer and one lock instead of many.
  if (int code = Exec(db_, "BEGIN"); code != SQLITE_OK) return Status(code);
  for (size_t i = 0; i < photos.size(); ++i) {
    if (!CanBeKeyed(photos[i])) continue;
    HistoryKey key = KeyOf(photos[i]);
    Statement& query = key.shotMs ? dated : dateless;
    query.Bind(1, key.size);
    if (key.shotMs) {
      query.Bind(2, *key.shotMs);
      query.Bind(3, key.name);
      query.Bind(4, key.make);
      query.Bind(5, key.model);
      query.Bind(6, key.serial);
    } else {
      query.Bind(2, key.name);
      query.Bind(3, key.hash);
    }
    int code = query.Step();
    if (code == SQLITE_ROW) found[i] = FoundImport{query.Text(0), query.Text(1), query.Text(2)};
    query.Reset();
    if (code != SQLITE_ROW && code != SQLITE_DONE) {
      Exec(db_, "ROLLBACK");
      found.assign(photos.size(), std::nullopt);
      return Status(code);
    }
  }
  Exec(db_, "COMMIT");
  return HistoryStatus::Ok;
}

HistoryStatus ImportHistory::Record(const std::vector<ImportEntry>& entries) {
  if (entries.empty()) return HistoryStatus::Ok;
  if (int code = Exec(db_, "BEGIN IMMEDIATE"); code != SQLITE_OK) return Status(code);
  Statement insert(db_,
                   "INSERT INTO imports(name, size, shot, make, model, serial, hash, source, destination, run, filed)"
                   " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
  int code = insert.Code();
  for (size_t i = 0; code == SQLITE_OK && i < entries.size(); ++i) {
    const ImportEntry& entry = entries[i];
    HistoryKey key = KeyOf(entry.photo);
    insert.Bind(1, key.name);
    insert.Bind(2, key.size);
    insert.Bind(3, key.shotMs);
    insert.Bind(4, key.make);
    insert.Bind(5, key.model);
    insert.Bind(6, key.serial);
    insert.Bind(7, key.hash);
    insert.Bind(8, entry.source);
    insert.Bind(9, entry.destination);
    insert.Bind(10, entry.run);
    insert.Bind(11, entry.filedAt);
    code = insert.Step();
    if (code == SQLITE_DONE) code = SQLITE_OK;
    insert.Reset();
  }
  if (code == SQLITE_OK) code = Exec(db_, "COMMIT");
  if (code != SQLITE_OK) Exec(db_, "ROLLBACK");
  return Status(code);
}

HistoryStatus ImportHistory::ForgetFiled(const std::u16string& run, const std::u16string& destination) {
  Statement remove(db_, "DELETE FROM imports WHERE run=?1 AND destination=?2");
  if (remove.Code() != SQLITE_OK) return Status(remove.Code());
  remove.Bind(1, run);
  remove.Bind(2, destination);
  return Status(remove.Step());
}

HistoryStatus ImportHistory::ForgetRun(const std::u16string& run, int64_t* forgotten) {
  Statement remove(db_, "DELETE FROM imports WHERE run=?1");
  if (remove.Code() != SQLITE_OK) return Status(remove.Code());
  remove.Bind(1, run);
  int code = remove.Step();
  if (forgotten) *forgotten = code == SQLITE_DONE ? sqlite3_changes64(db_) : 0;
  return Status(code);
}

HistoryStatus ImportHistory::List(const std::vector<std::u16string>& paths, std::vector<ImportEntry>& entries) {
  entries.clear();
  Statement all(db_,
                "SELECT name, size, shot, make, model, serial, hash, source, destination, run, filed FROM imports"
                " ORDER BY id");
  if (all.Code() != SQLITE_OK) return Status(all.Code());
  int code;
  while ((code = all.Step()) == SQLITE_ROW) {
    ImportEntry entry;
    entry.photo.name = all.Text(0);
    entry.photo.size = static_cast<uint64_t>(all.Int(1));
    entry.photo.shot = all.IsNull(2) ? 0 : double(all.Int(2)) / 86400000.0;
    entry.photo.make = all.Text(3);
    entry.photo.model = all.Text(4);
    entry.photo.serial = all.Text(5);
    entry.photo.hash = ToUtf8(all.Text(6));
    entry.source = all.Text(7);
    entry.destination = all.Text(8);
    entry.run = all.Text(9);
    entry.filedAt = all.Text(10);
    bool wanted = paths.empty();
    for (const std::u16string& path : paths)
      if (Covers(entry.source, path) || Covers(entry.destination, path)) wanted = true;
    if (wanted) entries.push_back(std::move(entry));
  }
  return Status(code);
}

bool ImportHistory::Check(std::vector<std::u16string>& problems) {
  Statement check(db_, "PRAGMA integrity_check");
  if (check.Code() != SQLITE_OK) {
    problems.push_back(ErrorText(check.Code()));
    return false;
  }
  int code;
  while ((code = check.Step()) == SQLITE_ROW) {
    std::u16string line = check.Text(0);
    if (line != u"ok") problems.push_back(line);
  }
  if (code != SQLITE_DONE) problems.push_back(ErrorText(code));
  return problems.empty();
}

bool ImportHistory::Seeded() {
  Statement read(db_, "SELECT value FROM facts WHERE key='journals seeded'");
  return read.Code() == SQLITE_OK && read.Step() == SQLITE_ROW;
}

HistoryStatus ImportHistory::MarkSeeded() {
  return Status(Exec(db_, "INSERT OR REPLACE INTO facts(key, value) VALUES('journals seeded', '1')"));
}

int64_t ImportHistory::Count() {
  Statement count(db_, "SELECT count(*) FROM imports");
  return count.Code() == SQLITE_OK && count.Step() == SQLITE_ROW ? count.Int(0) : -1;
}

}  // namespace tess
