// The import history against a temporary database: the key rules, record and forget, and a
// damaged, locked or unwritable database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli/Cli.h"
#include "history/ImportHistory.h"
#include "platform/DateTime.h"
#include "rename/HistorySeed.h"
#include "rename/RunJournal.h"
#include "support/FakeJournalFolder.h"
#include "support/ReadAll.h"

namespace tess {
namespace {

namespace fs = std::filesystem;

class ImportHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("tessarine-history-" + std::string(info->name()) + "-" +
            std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::u16string Path(const char* name = "history.sqlite3") const { return (dir_ / name).u16string(); }
  std::unique_ptr<ImportHistory> OpenHistory(std::vector<std::u16string>* notices = nullptr, int busyMs = 100) {
    std::vector<std::u16string> own;
    return ImportHistory::Open(Path(), notices ? *notices : own, busyMs);
  }

  fs::path dir_;
};

double EncodeDateTime(int y, int mo, int d, int h, int mi, int s, int ms) {
  TDateTime value = 0;
  EXPECT_TRUE(TryEncodeDateTime(DateTimeParts{y, mo, d, h, mi, s, ms}, value));
  return value;
}

PhotoIdentity Photo(const char16_t* name, uint64_t size, double shot, const char16_t* model = u"EOS R6",
                    const char16_t* serial = u"") {
  PhotoIdentity p;
  p.make = u"Canon";
  p.model = model;
  p.serial = serial;
  p.name = name;
  p.size = size;
  p.shot = shot;
  return p;
}

ImportEntry Filed(const PhotoIdentity& photo, const char16_t* destination, const char16_t* run = u"20261210-140503") {
  return ImportEntry{photo, u"E:\\DCIM\\100CANON\\" + photo.name, destination, run, u"2026-12-10 14:05:03"};
}

TEST_F(ImportHistoryTest, KeyRules) {
  const double shot = EncodeDateTime(2024, 5, 1, 10, 0, 0, 250);
  PhotoIdentity filed = Photo(u"IMG_0001.JPG", 4'000'000, shot, u"EOS R6", u"012345");
  PhotoIdentity dateless = Photo(u"CLIP0001.AVI", 9'000, 0);
  dateless.hash = "00112233445566778899aabbccddeeff";
  auto history = OpenHistory();
  ASSERT_TRUE(history);
  ASSERT_EQ(history->Record({Filed(filed, u"D:\\Photos\\2024\\0501-100000.JPG"), Filed(dateless, u"D:\\x.AVI")}),
            HistoryStatus::Ok);

  auto with = [](PhotoIdentity p, auto change) {
    change(p);
    return p;
  };
  struct Case {
    const char* name;
    PhotoIdentity photo;
    bool known;
  } cases[] = {
      // The key is what the photo carries, so renames and moves after filing change nothing.
      {"the same photo, again", filed, true},
      {"the same photo from the other card of a dual-slot camera", filed, true},
      {"its name in other case", with(filed, [](PhotoIdentity& p) { p.name = u"img_0001.jpg"; }), true},
      {"a file time that a time-zone change moved is not part of the key", filed, true},
      {"another body of the same model", with(filed, [](PhotoIdentity& p) { p.serial = u"999999"; }), false},
      {"another camera, same name and size", with(filed, [](PhotoIdentity& p) { p.model = u"EOS R5"; }), false},
      {"the same name another second (a wrapped counter)",
       with(filed, [&](PhotoIdentity& p) { p.shot = EncodeDateTime(2024, 5, 1, 10, 0, 1, 250); }), false},
      {"another millisecond of a burst",
       with(filed, [&](PhotoIdentity& p) { p.shot = EncodeDateTime(2024, 5, 1, 10, 0, 0, 500); }), false},
      {"another size", with(filed, [](PhotoIdentity& p) { p.size = 4'000'001; }), false},
      {"dateless, same bytes", dateless, true},
      {"dateless, other bytes", with(dateless, [](PhotoIdentity& p) { p.hash = "ff"; }), false},
      {"dateless, no hash: cannot be looked up", with(dateless, [](PhotoIdentity& p) { p.hash.clear(); }), false},
  };
  std::vector<PhotoIdentity> batch;
  for (const Case& c : cases) batch.push_back(c.photo);
  std::vector<std::optional<FoundImport>> found;
  ASSERT_EQ(history->Find(batch, found), HistoryStatus::Ok);
  ASSERT_EQ(found.size(), batch.size());
  for (size_t i = 0; i < batch.size(); ++i) EXPECT_EQ(found[i].has_value(), cases[i].known) << cases[i].name;
  ASSERT_TRUE(found[0]);
  EXPECT_EQ(found[0]->destination, u"D:\\Photos\\2024\\0501-100000.JPG");
  EXPECT_EQ(found[0]->filedAt, u"2026-12-10 14:05:03");
}

TEST_F(ImportHistoryTest, ForgetAndListKeepTheRestAcrossReopening) {
  const double shot = EncodeDateTime(2024, 7, 1, 8, 30, 0, 0);
  PhotoIdentity a = Photo(u"IMG_0001.JPG", 100, shot), b = Photo(u"IMG_0002.JPG", 200, shot + 1.0 / 86400);
  PhotoIdentity c = Photo(u"IMG_0003.JPG", 300, shot + 2.0 / 86400);
  {
    auto history = OpenHistory();
    ASSERT_TRUE(history);
    ASSERT_EQ(history->Record({Filed(a, u"D:\\P\\a.JPG", u"run1"), Filed(b, u"D:\\P\\b.JPG", u"run1")}), HistoryStatus::Ok);
    ASSERT_EQ(history->Record({Filed(c, u"D:\\Q\\c.JPG", u"run2")}), HistoryStatus::Ok);
    // An undo restored one photo of the first run: filing again must file it again.
    ASSERT_EQ(history->ForgetFiled(u"run1", u"D:\\P\\a.JPG"), HistoryStatus::Ok);
  }
  auto history = OpenHistory();
  ASSERT_TRUE(history);
  std::vector<std::optional<FoundImport>> found;
  ASSERT_EQ(history->Find({a, b, c}, found), HistoryStatus::Ok);
  EXPECT_FALSE(found[0]);
  EXPECT_TRUE(found[1]);
  EXPECT_TRUE(found[2]);

  std::vector<ImportEntry> listed;
  ASSERT_EQ(history->List({u"D:\\P"}, listed), HistoryStatus::Ok);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].destination, u"D:\\P\\b.JPG");
  EXPECT_NEAR(listed[0].photo.shot, b.shot, 1e-9);
  ASSERT_EQ(history->List({u"D:\\Q\\c.JPG"}, listed), HistoryStatus::Ok);
  EXPECT_EQ(listed.size(), 1u);
  ASSERT_EQ(history->List({u"D:\\"}, listed), HistoryStatus::Ok);
  EXPECT_EQ(listed.size(), 2u);
  ASSERT_EQ(history->List({u"D:\\P2"}, listed), HistoryStatus::Ok);
  EXPECT_EQ(listed.size(), 0u) << "a folder covers what is under it, not its name's longer cousins";

  int64_t forgotten = 0;
  ASSERT_EQ(history->ForgetRun(u"run2", &forgotten), HistoryStatus::Ok);
  EXPECT_EQ(forgotten, 1);
  EXPECT_EQ(history->Count(), 1);

  EXPECT_FALSE(history->Seeded());
  ASSERT_EQ(history->MarkSeeded(), HistoryStatus::Ok);
  EXPECT_TRUE(history->Seeded());
  std::vector<std::u16string> problems;
  EXPECT_TRUE(history->Check(problems));
}

TEST_F(ImportHistoryTest, ADamagedDatabaseIsSetAsideAndANewOneStarted) {
  {
    std::ofstream junk(dir_ / "history.sqlite3", std::ios::binary);
    junk << std::string(8192, 'x');
  }
  std::vector<std::u16string> notices;
  auto history = OpenHistory(&notices);
  ASSERT_TRUE(history);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find(u"history.sqlite3.damaged-"), std::u16string::npos);
  EXPECT_EQ(history->Count(), 0);
  EXPECT_EQ(history->Record({Filed(Photo(u"A.JPG", 1, 45000.5), u"D:\\A.JPG")}), HistoryStatus::Ok);
  int aside = 0;
  for (const auto& entry : fs::directory_iterator(dir_))
    if (entry.path().filename().string().rfind("history.sqlite3.damaged-", 0) == 0) {
      ++aside;
      EXPECT_EQ(fs::file_size(entry.path()), 8192u) << "the damaged file is kept as it was";
    }
  EXPECT_EQ(aside, 1);
}

TEST_F(ImportHistoryTest, ALockedDatabaseIsWaitedOnThenGivenUp) {
  auto history = OpenHistory(nullptr, 50);
  ASSERT_TRUE(history);
  PhotoIdentity photo = Photo(u"A.JPG", 1, 45000.5);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(fs::path(Path()).string().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(history->Record({Filed(photo, u"D:\\A.JPG")}), HistoryStatus::Busy);
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(history->Record({Filed(photo, u"D:\\A.JPG")}), HistoryStatus::Ok) << "usable again once the other lets go";
}

TEST_F(ImportHistoryTest, APlaceThatCannotBeWrittenGivesNoHistoryAndSaysSo) {
  // A file where the folder should be: the folder cannot be made.
  { std::ofstream blocker(dir_ / "blocked"); }
  std::vector<std::u16string> notices;
  auto history = ImportHistory::Open((dir_ / "blocked" / "history.sqlite3").u16string(), notices, 50);
  EXPECT_FALSE(history);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find(u"取り込み履歴を開けません"), std::u16string::npos);
}

TEST_F(ImportHistoryTest, TheKeptJournalsSeedTheHistoryOnce) {
  testing::FakeJournalFolder journals;
  std::vector<JournalPair> pairs = {
      {u"E:\\DCIM\\IMG_0001.JPG", u"D:\\P\\a.JPG", 100, "aa", {}, {}},  // verified
      {u"E:\\DCIM\\IMG_0002.JPG", u"D:\\P\\b.JPG", 200, "bb", {}, {}},  // failed
      {u"E:\\DCIM\\IMG_0003.JPG", u"D:\\P\\c.JPG", 300, "cc", {}, {}},  // verified, then undone
      {u"E:\\DCIM\\IMG_0004.JPG", u"D:\\P\\d.JPG", 400, "dd", {}, {}},  // no outcome: cut short
  };
  {
    auto writer = JournalWriter::Start(journals, JournalAction::Copy, pairs, {});
    ASSERT_TRUE(writer);
    writer->Event(0, PairEvent::Verified, "aa", 100);
    writer->Event(1, PairEvent::Failed);
    writer->Event(2, PairEvent::Verified, "cc", 300);
    writer->UndoStart();
    writer->Undone(2, UndoResult::Restored);
  }
  const double shot = EncodeDateTime(2024, 5, 1, 10, 0, 0, 0);
  ReadPhotoIdentity read = [&](const std::u16string& path) -> std::optional<PhotoIdentity> {
    if (path.rfind(u"D:", 0) != 0) return std::nullopt;  // only the destinations are there
    return Photo(u"ignored", 0, shot);
  };
  auto history = OpenHistory();
  ASSERT_TRUE(history);
  EXPECT_EQ(SeedHistoryFromJournals(*history, journals, read), 1u);
  EXPECT_EQ(SeedHistoryFromJournals(*history, journals, read), 0u) << "once per database";
  std::vector<std::optional<FoundImport>> found;
  ASSERT_EQ(history->Find({Photo(u"IMG_0001.JPG", 100, shot), Photo(u"IMG_0003.JPG", 300, shot)}, found),
            HistoryStatus::Ok);
  ASSERT_TRUE(found[0]);
  EXPECT_EQ(found[0]->destination, u"D:\\P\\a.JPG");
  EXPECT_FALSE(found[1]) << "an undone pair is not filed";
}

using testing::ReadAll;

TEST_F(ImportHistoryTest, CommandLineListsForgetsAndChecks) {
  {
    auto history = OpenHistory();
    ASSERT_TRUE(history);
    PhotoIdentity photo = Photo(u"IMG_0001.JPG", 4096, EncodeDateTime(2024, 5, 1, 10, 0, 0, 0), u"EOS R6", u"42");
    ASSERT_EQ(history->Record({Filed(photo, u"D:\\P\\2024\\a.JPG", u"run1")}), HistoryStatus::Ok);
  }
  struct Case {
    std::vector<std::u16string> args;
    int status;
    std::string out;  // a part of what is printed
  } cases[] = {
      {{}, 0,
       "filed\trun\tsource\tdestination\tname\tsize\tshot\tmake\tmodel\tserial\n"
       "2026-12-10 14:05:03\trun1\tE:\\\\DCIM\\\\100CANON\\\\IMG_0001.JPG\tD:\\\\P\\\\2024\\\\a.JPG\tIMG_0001.JPG\t4096\t"
       "2024/05/01 10:00:00.000\tCanon\tEOS R6\t42\n"},
      {{u"D:\\Q"}, 0, "serial\n"},
      {{u"--check"}, 0, "ok: 1"},
      {{u"--forget"}, 2, ""},
      {{u"--bogus"}, 2, ""},
      {{u"--forget", u"run1"}, 0, "1 件の記録を消しました"},
      {{u"D:\\P"}, 0, "serial\n"},
  };
  for (const Case& c : cases) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    int status = RunHistoryCommandAt(c.args, out, err, Path());
    std::string printed = ReadAll(out);
    std::fclose(out);
    std::fclose(err);
    EXPECT_EQ(status, c.status) << ::testing::PrintToString(c.args.size());
    if (c.out == "serial\n") EXPECT_TRUE(printed.size() >= 7 && printed.substr(printed.size() - 7) == c.out) << printed;
    else EXPECT_NE(printed.find(c.out), std::string::npos) << printed;
  }
}

}  // namespace
}  // namespace tess
