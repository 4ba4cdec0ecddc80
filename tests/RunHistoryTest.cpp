// The rename run with an import history (a temporary database): the look-up at テスト and
// 実行, what a real run records and when, what an undo forgets, and a history that fails
// costing no photo.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/Locale.h"
#include "platform/Text.h"
#include "rename/RenameRun.h"
#include "rename/RunHistory.h"
#include "rename/RunUndo.h"
#include "support/FakeFiles.h"
#include "support/FakeJournalFolder.h"
#include "support/FakeTransfer.h"

using namespace tess;
using tess::testing::FakeFiles;
using tess::testing::FakeJournalFolder;
using tess::testing::FakeTransfer;

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::u16string>;

double Shot(int y, int mo, int d, int h, int mi, int s) {
  double v = 0;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, 0}, v));
  return v;
}

const double kFirst = Shot(2024, 5, 1, 9, 3, 7);
const double kSecond = Shot(2024, 5, 1, 9, 15, 12);
const std::u16string kCard = u"C:\\DCIM\\100\\";
const std::u16string kFolderTemplate = u"D:\\Photos\\@年4@月2@日2";
const std::u16string kNameTemplate = u"@年4@月2@日2-@時2@分2@秒2";

struct Photo {
  std::u16string name;
  double shot = 0;
};

bool StartsWith(const std::u16string& line, const std::u16string& prefix) { return line.rfind(prefix, 0) == 0; }

Lines LinesStarting(const Lines& lines, const std::u16string& prefix) {
  Lines found;
  for (const std::u16string& line : lines)
    if (StartsWith(line, prefix)) found.push_back(line);
  return found;
}

class RunHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("tessarine-runhistory-" + std::string(info->name()) + "-" +
                                        std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    place.path = (dir_ / "history.sqlite3").u16string();
    place.busyWaitMs = 50;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // The photos on the card (each with bytes of its own) and in the job, in this order.
  void Select(const std::vector<Photo>& photos) {
    job = {};
    for (const Photo& p : photos) {
      SourceRecord record;
      record.Name = p.name;
      record.Folder = kCard;
      record.HasMetadata = true;
      record.ExifDateTimeOriginal = p.shot;
      record.ExifCameraMake = u"FUJIFILM";
      record.ExifCameraModel = u"X-T5";
      record.ByteSize = Bytes(p.name).size();
      job.photos.push_back({kCard + p.name, record});
      if (!files.Find(kCard + p.name)) files.Put(kCard + p.name, Bytes(p.name));
    }
  }
  RenameOutcome Run(bool test, const std::u16string& folderTemplate = kFolderTemplate) {
    RenameRunControl control;
    control.history = &place;
    control.journal = test ? nullptr : &journals;
    job.folderTemplate = folderTemplate;
    job.nameTemplate = kNameTemplate;
    job.mode = test ? RenameMode::Test : RenameMode::Real;
    return RunRenameJob(job, log, files, io, control).outcome;
  }
  std::unique_ptr<ImportHistory> OpenHistory() {
    std::vector<std::u16string> notices;
    return ImportHistory::Open(place.path, notices, 50);
  }
  // The history's entries, filed from or to anywhere.
  std::vector<ImportEntry> Entries() {
    std::vector<ImportEntry> entries;
    EXPECT_EQ(OpenHistory()->List({}, entries), HistoryStatus::Ok);
    return entries;
  }
  static std::string Bytes(const std::u16string& name) { return "JPEG of " + ToUtf8(name); }

  std::unique_ptr<LocaleData> japanese_ = MakeJapaneseLocale();
  ScopedLocaleOverride override_{*japanese_};
  fs::path dir_;
  HistoryPlace place;
  RenameJob job;
  FakeFiles files;
  FakeTransfer io{files};
  FakeJournalFolder journals;
  RecordedRenameLog log;
};

}  // namespace

// A real run records each photo that arrived (never a sidecar), named by its journal, with
// the hash the copy computed; a second run of the same card with another template files
// nothing, each photo named with where it went.
TEST_F(RunHistoryTest, ARealRunRecordsWhatArrivedAndTheNextRunLeavesItOut) {
  Select({{u"IMG_0001.JPG", kFirst}, {u"IMG_0002.JPG", kSecond}});
  files.Put(kCard + u"IMG_0002.xmp", "sidecar");
  ASSERT_EQ(Run(false), RenameOutcome::Done);
  std::vector<ImportEntry> entries = Entries();
  ASSERT_EQ(entries.size(), 2u) << "the sidecar is not a photo";
  EXPECT_EQ(entries[0].destination, u"D:\\Photos\\20240501\\20240501-090307.JPG");
  EXPECT_EQ(entries[0].run, journals.Names().back());
  EXPECT_EQ(entries[0].photo.hash.rfind("xxh128:", 0), 0u) << "the copy's hash is kept";

  Select({{u"IMG_0001.JPG", kFirst}, {u"IMG_0002.JPG", kSecond}});
  ASSERT_EQ(Run(false, u"D:\\Album"), RenameOutcome::Done);
  auto shown = [](std::u16string filedAt) {  // "yyyy-mm-dd hh:mm:ss" as the log writes dates
    filedAt[4] = filedAt[7] = u'/';
    return filedAt;
  };
  EXPECT_EQ(LinesStarting(log.lines, u"取り込み済み"),
            (Lines{u"取り込み済みのため除外します: C:\\DCIM\\100\\IMG_0001.JPG (" + shown(entries[0].filedAt) +
                       u" → D:\\Photos\\20240501\\20240501-090307.JPG)",
                   u"取り込み済みのため除外します: C:\\DCIM\\100\\IMG_0002.JPG (" + shown(entries[1].filedAt) +
                       u" → D:\\Photos\\20240501\\20240501-091512.JPG)"}));
  EXPECT_EQ(log.lines.back(), u"まとめ: コピー 0 個、取り込み済み 2 個");
  EXPECT_FALSE(files.Find(u"D:\\Album\\20240501-090307.JPG"));
  EXPECT_FALSE(files.Find(u"D:\\Album\\20240501-091512.xmp")) << "the sidecar stays out with its photo";
}

struct LookUpCase {
  const char* what;
  bool includeImported;
  enum Fault { None, Busy, Unwritable } fault;
  bool filed;                // the remembered photo is filed again
  const char16_t* line;      // the start of the line that says why, or of the photo's own line
};

// The look-up as テスト and 実行 see it: a photo the history knows is left out with its line;
// asked to include imported photos, or with a history that cannot answer, it is filed.
TEST_F(RunHistoryTest, TheLookUpLeavesOutOnlyWhatTheHistoryKnows) {
  const LookUpCase cases[] = {
      {"found: left out", false, LookUpCase::None, false, u"取り込み済みのため除外します: C:\\DCIM\\100\\IMG_0001.JPG ("},
      {"include imported: filed", true, LookUpCase::None, true, nullptr},
      {"busy: filed, said once", false, LookUpCase::Busy, true, u"取り込み履歴がほかのプログラムで使用中のため、履歴なしで続けます: "},
      {"unwritable: filed, said once", false, LookUpCase::Unwritable, true, u"取り込み履歴を開けません: "},
  };
  for (const LookUpCase& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool test : {true, false}) {
      files = FakeFiles();
      journals = FakeJournalFolder();
      fs::remove_all(dir_);
      fs::create_directories(dir_);
      place.path = (dir_ / "history.sqlite3").u16string();
      Select({{u"IMG_0001.JPG", kFirst}, {u"IMG_0002.JPG", kSecond}});
      {
        PhotoIdentity known = IdentityOf(job.photos[0].record);
        ASSERT_EQ(OpenHistory()->Record({ImportEntry{known, job.photos[0].source, u"E:\\Old\\IMG_0001.JPG",
                                                     u"20240502-100000", u"2024-05-02 10:00:00"}}),
                  HistoryStatus::Ok);
      }
      job.includeImported = c.includeImported;
      sqlite3* other = nullptr;
      if (c.fault == LookUpCase::Busy) {
        ASSERT_EQ(sqlite3_open(fs::path(place.path).string().c_str(), &other), SQLITE_OK);
        // Another instance in the middle of a long write that shuts out readers too.
        ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"
                                      " INSERT INTO facts(key, value) VALUES('held', 'yes')",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
      }
      if (c.fault == LookUpCase::Unwritable) {
        // A file where the history's folder should be: nothing can be made there.
        std::ofstream(dir_ / "blocked") << "a file";
        place.path = (dir_ / "blocked" / "history.sqlite3").u16string();
      }
      RenameOutcome outcome = Run(test);
      if (other) {
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
      }
      EXPECT_EQ(outcome, test ? RenameOutcome::Planned : RenameOutcome::Done);
      const bool listed = std::count(log.lines.begin(), log.lines.end(), u"D:\\Photos\\20240501\\20240501-090307.JPG") > 0;
      EXPECT_EQ(listed, c.filed) << (test ? "test" : "real");
      if (!test) EXPECT_EQ(files.Find(u"D:\\Photos\\20240501\\20240501-090307.JPG") != nullptr, c.filed);
      EXPECT_TRUE(std::count(log.lines.begin(), log.lines.end(), u"D:\\Photos\\20240501\\20240501-091512.JPG"))
          << "the new photo always goes";
      if (c.line) EXPECT_EQ(LinesStarting(log.lines, c.line).size(), 1u) << "said once";
      if (c.fault == LookUpCase::None && !c.includeImported) {
        EXPECT_EQ(LinesStarting(log.lines, u"取り込み済みのため")[0],
                  u"取り込み済みのため除外します: C:\\DCIM\\100\\IMG_0001.JPG (2024/05/02 10:00:00 → E:\\Old\\IMG_0001.JPG)");
        EXPECT_NE(log.lines.back().find(u"、取り込み済み 1 個"), std::u16string::npos) << ToUtf8(log.lines.back());
      }
    }
  }
}

// RAW+JPEG with their sidecar: a pair filed before is left out whole; a pair whose JPEG
// alone was filed (only it was selected then) files its RAW now, with the sidecar.
TEST_F(RunHistoryTest, APairIsLeftOutWholeOnlyWhenEachOfItsPhotosWasFiled) {
  struct Case {
    const char* what;
    std::vector<size_t> known;  // places in the job already filed
    Lines filed;                // destinations of this run
  };
  const Case cases[] = {
      {"both filed", {0, 1}, {}},
      {"the JPEG filed", {1},
       {u"D:\\Photos\\20240501\\20240501-090307.CR3", u"D:\\Photos\\20240501\\20240501-090307.CR3.xmp"}},
      {"none filed", {},
       {u"D:\\Photos\\20240501\\20240501-090307.CR3", u"D:\\Photos\\20240501\\20240501-090307.JPG",
        u"D:\\Photos\\20240501\\20240501-090307.CR3.xmp"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    files = FakeFiles();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    Select({{u"IMG_0001.CR3", kFirst}, {u"IMG_0001.JPG", kFirst}});
    files.Put(kCard + u"IMG_0001.CR3.xmp", "sidecar");
    std::vector<ImportEntry> known;
    for (size_t i : c.known)
      known.push_back({IdentityOf(job.photos[i].record), job.photos[i].source, u"E:\\Old\\" + job.photos[i].record.Name,
                       u"20240502-100000", u"2024-05-02 10:00:00"});
    ASSERT_EQ(OpenHistory()->Record(known), HistoryStatus::Ok);
    Run(true);
    Lines destinations;
    for (const std::u16string& line : log.lines)
      if (StartsWith(line, u"D:\\")) destinations.push_back(line);
    EXPECT_EQ(destinations, c.filed);
    EXPECT_EQ(LinesStarting(log.lines, u"取り込み済みのため").size(), c.known.size());
  }
}

// Rows are committed at most once a second and at the end: a run killed midway has its
// last second's photos in its journal only, never a photo in the history that its journal
// does not hold.
TEST_F(RunHistoryTest, RecordingCommitsAtTheJournalsRhythm) {
  RecordedRenameLog own;
  RunHistory history(&place, own);
  auto now = std::chrono::steady_clock::time_point{};
  HistoryRecorder recorder(history, u"20240501-100000", [&] { return now; });
  PhotoIdentity photo;
  photo.name = u"IMG_0001.JPG";
  photo.size = 10;
  photo.shot = kFirst;
  auto count = [&] { return OpenHistory()->Count(); };
  recorder.Arrived(photo, u"C:\\a", u"D:\\a");
  now += std::chrono::milliseconds(400);
  photo.shot = kSecond;
  recorder.Arrived(photo, u"C:\\b", u"D:\\b");
  EXPECT_EQ(count(), 0) << "within the second: waiting";
  now += std::chrono::milliseconds(700);
  photo.name = u"IMG_0003.JPG";
  recorder.Arrived(photo, u"C:\\c", u"D:\\c");
  EXPECT_EQ(count(), 3) << "a second on: committed together";
  photo.name = u"IMG_0004.JPG";
  recorder.Arrived(photo, u"C:\\d", u"D:\\d");
  EXPECT_EQ(count(), 3);
  recorder.End();
  EXPECT_EQ(count(), 4) << "the end commits the rest";
  EXPECT_TRUE(own.lines.empty());
}

// An undo forgets what it put back, so filing again files again; a photo the undo found
// gone from its destination (moved into an album since) stays known.
TEST_F(RunHistoryTest, UndoForgetsWhatItRestored) {
  Select({{u"IMG_0001.JPG", kFirst}, {u"IMG_0002.JPG", kSecond}});
  ASSERT_EQ(Run(false), RenameOutcome::Done);
  ASSERT_EQ(Entries().size(), 2u);
  // The second photo was moved into an album since: the undo finds nothing of it.
  files.Put(u"D:\\Album\\IMG_0002.JPG", Bytes(u"IMG_0002.JPG"));
  files.RemoveFile(u"D:\\Photos\\20240501\\20240501-091512.JPG");
  RecordedRenameLog undoLog;
  UndoSummary undone = UndoRun(journals, journals.Names().back(), files, io, undoLog, nullptr, &place);
  EXPECT_EQ(undone.restored, 1u);
  std::vector<ImportEntry> left = Entries();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].photo.name, u"IMG_0002.JPG");

  Select({{u"IMG_0001.JPG", kFirst}, {u"IMG_0002.JPG", kSecond}});
  ASSERT_EQ(Run(false), RenameOutcome::Done);
  EXPECT_TRUE(files.Find(u"D:\\Photos\\20240501\\20240501-090307.JPG")) << "filed again";
  EXPECT_FALSE(files.Find(u"D:\\Photos\\20240501\\20240501-091512.JPG")) << "still filed, in the album";
}

// A photo without a date, filed by templates that ask for none, is known by its content:
// the next run under another folder leaves it out; a different photo of the same name and
// size is filed.
TEST_F(RunHistoryTest, ADatelessPhotoIsKnownByItsContent) {
  Select({{u"SCAN_0001.JPG", 0}});
  job.folderTemplate = u"D:\\Scans";
  RenameRunControl control;
  control.history = &place;
  control.journal = &journals;
  job.nameTemplate = u"@元のファイル名";
  job.mode = RenameMode::Real;
  ASSERT_EQ(RunRenameJob(job, log, files, io, control).outcome, RenameOutcome::Done);
  ASSERT_TRUE(files.Find(u"D:\\Scans\\SCAN_0001.JPG"));
  std::vector<ImportEntry> entries = Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_FALSE(entries[0].photo.hash.empty());

  log.lines.clear();
  Select({{u"SCAN_0001.JPG", 0}});
  job.folderTemplate = u"D:\\Album";
  job.nameTemplate = u"@元のファイル名";
  job.mode = RenameMode::Test;
  ASSERT_EQ(RunRenameJob(job, log, files, io, control).outcome, RenameOutcome::Planned);
  EXPECT_EQ(LinesStarting(log.lines, u"取り込み済みのため除外します: C:\\DCIM\\100\\SCAN_0001.JPG").size(), 1u);

  // Another scan of the same size under the same name: not the photo filed before.
  files.Put(kCard + u"SCAN_0001.JPG", "JPEG of SCAN_0009.JPG");
  log.lines.clear();
  Select({{u"SCAN_0001.JPG", 0}});
  job.folderTemplate = u"D:\\Album";
  job.nameTemplate = u"@元のファイル名";
  ASSERT_EQ(RunRenameJob(job, log, files, io, control).outcome, RenameOutcome::Planned);
  EXPECT_TRUE(LinesStarting(log.lines, u"取り込み済み").empty());
}
