// Undoing a rename run from its journal, on a file system in memory: what goes back, what
// is left and named, and that nothing is ever replaced or lost.
#include <gtest/gtest.h>

#include "cli/UndoCommand.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "rename/RenameRun.h"
#include "rename/RunUndo.h"
#include "support/FakeFiles.h"
#include "support/FakeJournalFolder.h"
#include "support/FakeTransfer.h"

using namespace tess;
using tess::testing::FakeFiles;
using tess::testing::FakeJournalFolder;
using tess::testing::FakeTransfer;

namespace {

const std::u16string kSource = u"C:\\DCIM\\100\\IMG_0001.JPG";
const std::u16string kDestination = u"D:\\Photos\\20240501\\20240501-090307.JPG";
const std::string kPhoto = "the photo's bytes";

bool StartsWith(const std::u16string& line, const std::u16string& prefix) { return line.rfind(prefix, 0) == 0; }

struct PairCase {
  const char* what;
  JournalAction action;
  std::optional<PairEvent> event;
  bool recordHash;
  std::optional<std::string> atSource;       // what lies at the source path before the undo
  std::optional<std::string> atDestination;  // ... and at the destination
  UndoResult result;
  std::optional<std::string> sourceAfter;
  std::optional<std::string> destinationAfter;
  std::u16string line;  // the start of the line logged, empty for none
};

TEST(UndoPair, DecidesFromTheJournalAndTheDisk) {
  const std::string changed = "the photo's bytez";  // same size, one byte differs
  const std::string other = "another file";
  const std::string half = kPhoto.substr(0, 6);
  const auto M = JournalAction::Move, C = JournalAction::Copy;
  const std::optional<std::string> none;
  const PairCase cases[] = {
      {"moved photo goes back", M, PairEvent::Moved, true, none, kPhoto, UndoResult::Restored, kPhoto, none,
       u"元の場所に戻しました: "},
      {"cut short, photo arrived", M, std::nullopt, false, none, kPhoto, UndoResult::Restored, kPhoto, none,
       u"元の場所に戻しました: "},
      {"changed since, same size", M, PairEvent::Moved, true, none, changed, UndoResult::Kept, none, changed,
       u"変更されているため戻しません: "},
      {"changed since, other size", M, PairEvent::Moved, false, none, other, UndoResult::Kept, none, other,
       u"変更されているため戻しません: "},
      {"source path taken", M, PairEvent::Moved, true, other, kPhoto, UndoResult::Kept, other, kPhoto,
       u"元の場所に別のファイルがあるため戻しません: "},
      {"move stopped before removing its source", M, PairEvent::Written, false, kPhoto, kPhoto, UndoResult::Restored,
       kPhoto, none, u"コピーを削除しました: "},
      {"move stopped mid-copy", M, std::nullopt, false, kPhoto, half, UndoResult::Restored, kPhoto, none,
       u"途中までのコピーを削除しました: "},
      {"short file after a finished pair is not torn", M, PairEvent::Written, false, kPhoto, half, UndoResult::Kept,
       kPhoto, half, u"元の場所に別のファイルがあるため戻しません: "},
      {"cut short before the pair", M, std::nullopt, false, kPhoto, none, UndoResult::Nothing, kPhoto, none, u""},
      {"failed pair: the file there is not its", M, PairEvent::Failed, false, kPhoto, other, UndoResult::Nothing,
       kPhoto, other, u""},
      {"moved away since from both", M, PairEvent::Moved, false, none, none, UndoResult::Kept, none, none,
       u"見つかりません: "},
      {"copy removed", C, PairEvent::Written, false, kPhoto, kPhoto, UndoResult::Restored, kPhoto, none,
       u"コピーを削除しました: "},
      {"copy changed since", C, PairEvent::Written, false, kPhoto, changed, UndoResult::Kept, kPhoto, changed,
       u"変更されているため戻しません: "},
      {"copy whose source is gone is the only one", C, PairEvent::Written, true, none, kPhoto, UndoResult::Kept, none,
       kPhoto, u"コピー元がないためコピーを残します: "},
      {"copy cut short mid-file", C, std::nullopt, false, kPhoto, half, UndoResult::Restored, kPhoto, none,
       u"途中までのコピーを削除しました: "},
  };
  for (const PairCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakeFiles files;
    files.AddParents(kDestination);
    if (c.atSource) files.Put(kSource, *c.atSource);
    if (c.atDestination) files.Put(kDestination, *c.atDestination);
    JournalPair pair{kSource, kDestination, kPhoto.size(), c.recordHash ? ContentHashOf(kPhoto) : "", c.event};
    RecordedRenameLog log;
    EXPECT_EQ(UndoPair(pair, c.action, files, log), c.result);
    auto at = [&](const std::u16string& path) -> std::optional<std::string> {
      const FakeFiles::File* f = files.Find(path);
      return f ? std::optional(f->bytes) : std::nullopt;
    };
    EXPECT_EQ(at(kSource), c.sourceAfter);
    EXPECT_EQ(at(kDestination), c.destinationAfter);
    if (c.line.empty()) {
      EXPECT_TRUE(log.lines.empty());
    } else {
      ASSERT_EQ(log.lines.size(), 1u);
      EXPECT_TRUE(StartsWith(log.lines[0], c.line)) << ToUtf8(log.lines[0]);
    }
    if (!log.lines.empty()) {
      EXPECT_TRUE(c.line.empty() || StartsWith(log.lines[0], c.line)) << ToUtf8(log.lines[0]);
    }
  }
}

TEST(UndoPair, MakesTheSourceFolderAgainAndRenamesACaseChangeBack) {
  FakeFiles files;
  files.Put(kDestination, kPhoto);  // C:\DCIM\100 no longer exists
  RecordedRenameLog log;
  EXPECT_EQ(UndoPair({kSource, kDestination, kPhoto.size()}, JournalAction::Move, files, log), UndoResult::Restored);
  ASSERT_TRUE(files.Find(kSource));
  EXPECT_EQ(files.Find(kSource)->path, kSource);

  FakeFiles same;
  same.Put(u"C:\\A\\img_1.JPG", kPhoto);
  EXPECT_EQ(UndoPair({u"C:\\A\\IMG_1.JPG", u"C:\\A\\img_1.JPG", kPhoto.size()}, JournalAction::Move, same, log),
            UndoResult::Restored);
  EXPECT_EQ(same.Find(u"C:\\A\\IMG_1.JPG")->path, u"C:\\A\\IMG_1.JPG");
}

// A real run on the fake disk, journalled, then undone.
class RunUndoTest : public ::testing::Test {
 protected:
  void Photos(int count, const std::u16string& folder = u"C:\\DCIM\\100\\") {
    for (int i = 1; i <= count; ++i) {
      std::u16string name = u"IMG_000" + PadNumber(i, 1) + u".JPG";
      auto item = std::make_unique<TExifFilesToListItem>();
      item->Name = name;
      item->ExpandFolder = folder;
      item->IsExifExist = true;
      EXPECT_TRUE(TryEncodeDateTime({2024, 5, 1, 9, 3, i, 0}, item->ExifDateTimeOriginal));
      job.photos.push_back({folder + name, *item});
      sources.push_back(folder + name);
      files.Put(folder + name, "JPEG " + std::to_string(i));
    }
  }
  RenameOutcome Run(int action) {
    RenameRunControl control;
    control.journal = &journals;
    RenameRunResult result = RunRenameJob(Job(action), log, files, transfer, control);
    // As the dialog does: the job keeps the photos not settled.
    job.photos = PhotosLeft(job.photos, result.settled);
    return result.outcome;
  }
  std::map<std::u16string, std::string> Disk() const {
    std::map<std::u16string, std::string> disk;
    for (const auto& f : files.files) disk[f.second.path] = f.second.bytes;
    return disk;
  }

  std::unique_ptr<LocaleData> japanese_ = MakeJapaneseLocale();
  ScopedLocaleOverride override_{*japanese_};
  // The photos' job, a real run into dated folders (action 0: copy, 1: move).
  RenameJob Job(int action) const {
    RenameJob real = job;
    real.folderTemplate = u"D:\\Photos\\@年4@月2@日2";
    real.nameTemplate = u"@年4@月2@日2-@時2@分2@秒2";
    real.action = action <= 0 ? RenameAction::Copy : RenameAction::Move;
    real.mode = RenameMode::Real;
    return real;
  }

  std::vector<std::u16string> sources;  // every photo's, in the job's order
  RenameJob job;
  FakeFiles files;
  FakeTransfer transfer{files};
  FakeJournalFolder journals;
  RecordedRenameLog log;
};

TEST_F(RunUndoTest, AMoveUndonePutsEveryPhotoBackAndItsFoldersGo) {
  Photos(3);
  files.folders.insert(FileSystemPathKey(u"D:\\Photos"));
  auto before = Disk();
  auto foldersBefore = files.folders;
  ASSERT_EQ(Run(1), RenameOutcome::Done);
  ASSERT_NE(Disk(), before);
  std::optional<RunJournal> last = LastRun(journals);
  ASSERT_TRUE(last);
  EXPECT_TRUE(last->ended);
  EXPECT_EQ(last->folders, std::vector<std::u16string>{u"D:\\Photos\\20240501"});
  for (const JournalPair& p : last->pairs) {
    EXPECT_EQ(p.event, PairEvent::Moved);
    EXPECT_EQ(p.hash, ContentHashOf(files.Find(p.destination)->bytes));
  }
  EXPECT_TRUE(CanUndo(*last));
  EXPECT_FALSE(CutShortRun(journals));  // it ended

  RecordedRenameLog undoLog;
  UndoSummary s = UndoRun(journals, last->name, files, undoLog);
  EXPECT_EQ(s.status, UndoStatus::Undone);
  EXPECT_EQ(s.restored, 3u);
  EXPECT_EQ(Disk(), before);
  EXPECT_EQ(files.folders, foldersBefore);  // D:\Photos was there before and stays
  EXPECT_EQ(undoLog.lines.back(), u"3 個のファイルを元に戻しました。");
  EXPECT_EQ(undoLog.beeps, 0);
  EXPECT_FALSE(CanUndo(*LastRun(journals)));

  // Twice: nothing happens, even if the photos were moved there again by hand.
  files.Put(u"D:\\Photos\\20240501\\20240501-090301.JPG", "JPEG 1");
  files.RemoveFile(u"C:\\DCIM\\100\\IMG_0001.JPG");
  auto again = Disk();
  RecordedRenameLog secondLog;
  EXPECT_EQ(UndoRun(journals, last->name, files, secondLog).status, UndoStatus::AlreadyUndone);
  EXPECT_EQ(Disk(), again);
  EXPECT_EQ(secondLog.lines, std::vector<std::u16string>{u"この実行はすでに元に戻されています。"});
}

TEST_F(RunUndoTest, ACopyUndoneRemovesOnlyTheCopies) {
  Photos(2);
  auto before = Disk();
  ASSERT_EQ(Run(0), RenameOutcome::Done);
  RecordedRenameLog undoLog;
  EXPECT_EQ(UndoRun(journals, LastRun(journals)->name, files, undoLog).status, UndoStatus::Undone);
  EXPECT_EQ(Disk(), before);
  EXPECT_FALSE(files.HasFolder(u"D:\\Photos"));  // both levels were made by the run
}

TEST_F(RunUndoTest, ARunCutShortIsAskedAboutOnceAndUndoneAsFarAsItGot) {
  Photos(4);
  auto before = Disk();
  // The journal of a move that stopped after two photos: the plan, no outcome, no end.
  std::vector<JournalPair> planned;
  for (int i = 0; i < 4; ++i)
    planned.push_back({sources[size_t(i)], u"D:\\Photos\\20240501\\20240501-09030" + PadNumber(i + 1, 1) + u".JPG",
                       files.FileSize(sources[size_t(i)])});
  std::u16string name;
  {
    auto writer = JournalWriter::Start(journals, JournalAction::Move, planned, {u"D:\\Photos", u"D:\\Photos\\20240501"});
    ASSERT_TRUE(writer);
    name = writer->Name();
    EXPECT_FALSE(CutShortRun(journals));  // still being written
    files.CreateFolder(u"D:\\Photos");
    files.CreateFolder(u"D:\\Photos\\20240501");
    ASSERT_TRUE(files.MoveFileNoReplace(planned[0].source, planned[0].destination));
    files.Put(planned[1].destination, files.Find(planned[1].source)->bytes);  // copied, source not yet removed
    files.Put(planned[2].destination, "JP");                                   // half written
    files.Put(TemporaryCopyName(planned[3].destination, 0), "J");             // being copied
    writer->Event(0, PairEvent::Moved);
    // The process dies here: the writer goes without an end.
  }
  std::optional<RunJournal> cut = CutShortRun(journals);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->name, name);
  RecordedRenameLog undoLog;
  UndoSummary s = UndoRun(journals, name, files, undoLog);
  EXPECT_EQ(s.status, UndoStatus::Undone);
  EXPECT_EQ(s.restored, 4u);
  EXPECT_EQ(Disk(), before);  // every photo once, at its source
  EXPECT_FALSE(files.HasFolder(u"D:\\Photos"));
  EXPECT_FALSE(CutShortRun(journals));  // answered
}

TEST_F(RunUndoTest, LeavingACutShortRunIsRememberedAndItCanStillBeUndone) {
  Photos(1);
  {
    auto writer = JournalWriter::Start(journals, JournalAction::Move,
                                       {{sources[0], u"D:\\X\\IMG_0001.JPG", files.FileSize(sources[0])}}, {u"D:\\X"});
    ASSERT_TRUE(writer);
  }
  std::optional<RunJournal> cut = CutShortRun(journals);
  ASSERT_TRUE(cut);
  ASSERT_TRUE(LeaveRun(journals, cut->name));
  EXPECT_FALSE(CutShortRun(journals));
  EXPECT_TRUE(CanUndo(*LastRun(journals)));
}

TEST_F(RunUndoTest, AnUndoCutShortGoesOnWithTheRest) {
  Photos(3);
  auto before = Disk();
  ASSERT_EQ(Run(1), RenameOutcome::Done);
  std::u16string name = LastRun(journals)->name;
  // The first undo put back the newest photo and then stopped.
  RunJournal j = *LastRun(journals);
  {
    auto writer = JournalWriter::Reopen(journals, name);
    writer->UndoStart();
    ASSERT_TRUE(files.MoveFileNoReplace(j.pairs[2].destination, j.pairs[2].source));
    writer->Undone(2, UndoResult::Restored);
  }
  RecordedRenameLog undoLog;
  UndoSummary s = UndoRun(journals, name, files, undoLog);
  EXPECT_EQ(s.status, UndoStatus::Undone);
  EXPECT_EQ(s.restored, 2u);
  EXPECT_EQ(Disk(), before);
}

TEST_F(RunUndoTest, WithoutAJournalTheRunGoesOnAndSaysSo) {
  Photos(1);
  journals.failOpen = true;
  EXPECT_EQ(Run(1), RenameOutcome::Done);
  EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), u"元に戻すための記録を書けません: (memory)"), log.lines.end());
  EXPECT_TRUE(journals.texts.empty());
}

TEST_F(RunUndoTest, TheFailedPairsOfARunStayAndTheOthersGoBack) {
  Photos(3);
  auto before = Disk();
  // The second photo's read fails half-way; the third cannot leave its write-protected card.
  transfer.failingReads.insert(sources[1]);
  transfer.lockedSources.insert(sources[2]);
  ASSERT_EQ(Run(1), RenameOutcome::Failed);
  RunJournal j = *LastRun(journals);
  EXPECT_EQ(j.pairs[0].event, PairEvent::Moved);
  EXPECT_EQ(j.pairs[1].event, PairEvent::Failed);
  EXPECT_EQ(j.pairs[2].event, PairEvent::Verified);
  EXPECT_EQ(j.endState, "failed");
  RecordedRenameLog undoLog;
  UndoSummary s = UndoRun(journals, j.name, files, undoLog);
  EXPECT_EQ(s.status, UndoStatus::Undone);
  EXPECT_EQ(Disk(), before);
}

}  // namespace

namespace {

struct CliOutput {
  int status;
  std::string out, err;
};

std::string ReadBack(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  std::fclose(f);
  return text;
}

}  // namespace

TEST_F(RunUndoTest, TheCommandLineListsTheRunsAndUndoesTheLastOrAChosenOne) {
  auto undo = [&](std::vector<std::u16string> args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    int status = RunUndoCommandWith(args, out, err, UndoEnvironment{journals, files});
    return CliOutput{status, ReadBack(out), ReadBack(err)};
  };
  EXPECT_EQ(undo({}).status, 2);  // nothing recorded yet
  Photos(2);
  auto before = Disk();
  ASSERT_EQ(Run(0), RenameOutcome::Done);
  const std::u16string copyRun = LastRun(journals)->name;
  // A later run with nothing left to file touches nothing and leaves no journal.
  ASSERT_EQ(Run(1), RenameOutcome::NoFiles);
  EXPECT_EQ(journals.Names().size(), 1u);
  CliOutput list = undo({u"--list"});
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.out.find(ToUtf8(copyRun) + "\t"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("\tcopy\t2\tdone\tno\t1\n"), std::string::npos) << list.out;

  CliOutput undone = undo({copyRun + u".tsv"});  // a file name from the folder names the run too
  EXPECT_EQ(undone.status, 0) << undone.out << undone.err;
  EXPECT_NE(undone.out.find("2 個のファイルを元に戻しました。\n"), std::string::npos) << undone.out;
  EXPECT_EQ(Disk(), before);
  CliOutput again = undo({copyRun});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.out, "この実行はすでに元に戻されています。\n");
  EXPECT_EQ(undo({u"19991231-235959"}).status, 2);
  EXPECT_EQ(undo({u"--list", copyRun}).status, 2);
}

TEST_F(RunUndoTest, ACancelledMoveIsJournalledAsSuchAndUndoneAsFarAsItGot) {
  Photos(4);
  auto before = Disk();
  CancelToken cancel;
  transfer.cancel = &cancel;
  transfer.cancelAfterBytes = 13;  // during the third photo ("JPEG n" is 6 bytes)
  RenameRunControl control;
  control.journal = &journals;
  control.cancel = &cancel;
  ASSERT_EQ(RunRenameJob(Job(1), log, files, transfer, control).outcome,
            RenameOutcome::Cancelled);
  RunJournal j = *LastRun(journals);
  EXPECT_EQ(j.endState, "cancelled");
  ASSERT_EQ(j.pairs.size(), 4u);
  EXPECT_EQ(j.pairs[0].event, PairEvent::Moved);
  EXPECT_EQ(j.pairs[0].size, 6u);
  EXPECT_EQ(j.pairs[0].hash, ContentHashOf("JPEG 1"));
  EXPECT_EQ(j.pairs[3].event, std::nullopt);
  RecordedRenameLog undoLog;
  UndoSummary s = UndoRun(journals, j.name, files, undoLog);
  EXPECT_EQ(s.status, UndoStatus::Undone);
  EXPECT_EQ(s.restored, 2u);
  EXPECT_EQ(Disk(), before);
}
