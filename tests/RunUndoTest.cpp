// Undoing a rename run from its journal, on a file system in memory: what goes back, what
// is left and named, and that nothing is ever replaced or lost.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <map>
#include <set>

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
  bool arriving;     // the run recorded that it was giving the pair its final name
  bool firstFormat;  // a journal of the first format, which records no arrival
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
  const bool A = true, F = true, _ = false;
  const PairCase cases[] = {
      {"moved photo goes back", M, PairEvent::Moved, _, _, true, none, kPhoto, UndoResult::Restored, kPhoto, none,
       u"元の場所に戻しました: "},
      {"cut short while giving it its name", M, std::nullopt, A, _, true, none, kPhoto, UndoResult::Restored, kPhoto,
       none, u"元の場所に戻しました: "},
      {"cut short, a file the run never named there", M, std::nullopt, _, _, false, none, other, UndoResult::Kept, none,
       other, u"この実行が置いたファイルではないため触れません: "},
      {"cut short, another photo put where it was going", M, std::nullopt, _, _, false, kPhoto, other,
       UndoResult::Nothing, kPhoto, other, u"この実行が置いたファイルではないため触れません: "},
      {"cut short while giving it its name, another file there", M, std::nullopt, A, _, true, none, changed,
       UndoResult::Kept, none, changed, u"変更されているため戻しません: "},
      {"first format: cut short, photo arrived", M, std::nullopt, _, F, false, none, kPhoto, UndoResult::Restored,
       kPhoto, none, u"元の場所に戻しました: "},
      {"changed since, same size", M, PairEvent::Moved, _, _, true, none, changed, UndoResult::Kept, none, changed,
       u"変更されているため戻しません: "},
      {"changed since, other size", M, PairEvent::Moved, _, _, false, none, other, UndoResult::Kept, none, other,
       u"変更されているため戻しません: "},
      {"source path taken", M, PairEvent::Moved, _, _, true, other, kPhoto, UndoResult::Kept, other, kPhoto,
       u"元の場所に別のファイルがあるため戻しません: "},
      {"move stopped before removing its source", M, PairEvent::Verified, _, _, false, kPhoto, kPhoto,
       UndoResult::Restored, kPhoto, none, u"コピーを削除しました: "},
      {"first format: move stopped mid-copy", M, std::nullopt, _, F, false, kPhoto, half, UndoResult::Restored, kPhoto,
       none, u"途中までのコピーを削除しました: "},
      {"short file after a finished pair is not torn", M, PairEvent::Written, _, _, false, kPhoto, half,
       UndoResult::Kept, kPhoto, half, u"元の場所に別のファイルがあるため戻しません: "},
      {"cut short before the pair", M, std::nullopt, _, _, false, kPhoto, none, UndoResult::Nothing, kPhoto, none, u""},
      {"failed pair: the file there is not its", M, PairEvent::Failed, _, _, false, kPhoto, other, UndoResult::Nothing,
       kPhoto, other, u""},
      {"moved away since from both", M, PairEvent::Moved, _, _, false, none, none, UndoResult::Kept, none, none,
       u"見つかりません: "},
      {"copy removed", C, PairEvent::Written, _, _, false, kPhoto, kPhoto, UndoResult::Restored, kPhoto, none,
       u"コピーを削除しました: "},
      {"copy changed since", C, PairEvent::Written, _, _, false, kPhoto, changed, UndoResult::Kept, kPhoto, changed,
       u"変更されているため戻しません: "},
      {"copy whose source is gone is the only one", C, PairEvent::Written, _, _, true, none, kPhoto, UndoResult::Kept,
       none, kPhoto, u"コピー元がないためコピーを残します: "},
      {"first format: copy cut short mid-file", C, std::nullopt, _, F, false, kPhoto, half, UndoResult::Restored,
       kPhoto, none, u"途中までのコピーを削除しました: "},
      {"copy cut short, another file put there", C, std::nullopt, _, _, false, kPhoto, half, UndoResult::Nothing,
       kPhoto, half, u"この実行が置いたファイルではないため触れません: "},
  };
  for (const PairCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakeFiles files;
    files.AddParents(kDestination);
    if (c.atSource) files.Put(kSource, *c.atSource);
    if (c.atDestination) files.Put(kDestination, *c.atDestination);
    JournalPair pair{kSource, kDestination, kPhoto.size(), c.recordHash ? ContentHashOf(kPhoto) : "", c.event};
    pair.arriving = c.arriving;
    RecordedRenameLog log;
    FakeTransfer transfer(files);
    UndoSteps steps;
    steps.recordsArrival = !c.firstFormat;
    EXPECT_EQ(UndoPair(pair, c.action, files, transfer, log, steps), c.result);
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
  FakeTransfer transfer(files);
  files.Put(kDestination, kPhoto);  // C:\DCIM\100 no longer exists
  RecordedRenameLog log;
  EXPECT_EQ(UndoPair({kSource, kDestination, kPhoto.size(), "", PairEvent::Moved}, JournalAction::Move, files, transfer,
                     log),
            UndoResult::Restored);
  ASSERT_TRUE(files.Find(kSource));
  EXPECT_EQ(files.Find(kSource)->path, kSource);

  FakeFiles same;
  FakeTransfer sameTransfer(same);
  same.Put(u"C:\\A\\img_1.JPG", kPhoto);
  EXPECT_EQ(UndoPair({u"C:\\A\\IMG_1.JPG", u"C:\\A\\img_1.JPG", kPhoto.size(), "", PairEvent::Moved},
                     JournalAction::Move, same, sameTransfer, log),
            UndoResult::Restored);
  EXPECT_EQ(same.Find(u"C:\\A\\IMG_1.JPG")->path, u"C:\\A\\IMG_1.JPG");
}

// A real run on the fake disk, journalled, then undone.
class RunUndoTest : public ::testing::Test {
 protected:
  void Photos(int count, const std::u16string& folder = u"C:\\DCIM\\100\\") {
    for (int i = 1; i <= count; ++i) {
      std::u16string name = u"IMG_000" + PadNumber(i, 1) + u".JPG";
      auto item = std::make_unique<SourceRecord>();
      item->Name = name;
      item->Folder = folder;
      item->HasMetadata = true;
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
    real.backupFolderTemplate = backupTemplate;
    real.action = action <= 0 ? RenameAction::Copy : RenameAction::Move;
    real.mode = RenameMode::Real;
    return real;
  }

  std::vector<std::u16string> sources;  // every photo's, in the job's order
  RenameJob job;
  std::u16string backupTemplate;  // none unless a test sets one
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
  UndoSummary s = UndoRun(journals, last->name, files, transfer, undoLog);
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
  EXPECT_EQ(UndoRun(journals, last->name, files, transfer, secondLog).status, UndoStatus::AlreadyUndone);
  EXPECT_EQ(Disk(), again);
  EXPECT_EQ(secondLog.lines, std::vector<std::u16string>{u"この実行はすでに元に戻されています。"});
}

TEST_F(RunUndoTest, ACopyUndoneRemovesOnlyTheCopies) {
  Photos(2);
  auto before = Disk();
  ASSERT_EQ(Run(0), RenameOutcome::Done);
  RecordedRenameLog undoLog;
  EXPECT_EQ(UndoRun(journals, LastRun(journals)->name, files, transfer, undoLog).status, UndoStatus::Undone);
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
    // Copied and given its name, the source not yet removed.
    writer->Temporary(1, TemporaryCopyName(planned[1].destination, 0));
    writer->Arriving(1, ContentHashOf(files.Find(planned[1].source)->bytes), files.FileSize(planned[1].source));
    files.Put(planned[1].destination, files.Find(planned[1].source)->bytes);
    // Half written, then being copied.
    writer->Temporary(2, TemporaryCopyName(planned[2].destination, 0));
    files.Put(TemporaryCopyName(planned[2].destination, 0), "JP");
    writer->Temporary(3, TemporaryCopyName(planned[3].destination, 0));
    files.Put(TemporaryCopyName(planned[3].destination, 0), "J");
    writer->Event(0, PairEvent::Moved);
    // The process dies here: the writer goes without an end.
  }
  std::optional<RunJournal> cut = CutShortRun(journals);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->name, name);
  RecordedRenameLog undoLog;
  UndoSummary s = UndoRun(journals, name, files, transfer, undoLog);
  EXPECT_EQ(s.status, UndoStatus::Undone);
  EXPECT_EQ(s.restored, 2u);  // the two that had reached their destination
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
  ASSERT_TRUE(LeaveRun(journals, cut->name, files, log));
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
  UndoSummary s = UndoRun(journals, name, files, transfer, undoLog);
  EXPECT_EQ(s.status, UndoStatus::Undone);
  EXPECT_EQ(s.restored, 2u);
  EXPECT_EQ(Disk(), before);
}

// A run cut short, then its undo cut short too: the next start offers it again, and the
// undo goes on with the rest.
TEST_F(RunUndoTest, AnUndoOfACutShortRunCutShortInTurnIsOfferedAgain) {
  Photos(2);
  auto before = Disk();
  std::vector<JournalPair> planned = {{sources[0], u"D:\\X\\IMG_0001.JPG", files.FileSize(sources[0])},
                                      {sources[1], u"D:\\X\\IMG_0002.JPG", files.FileSize(sources[1])}};
  std::u16string name;
  {
    auto writer = JournalWriter::Start(journals, JournalAction::Copy, planned, {u"D:\\X"});
    ASSERT_TRUE(writer);
    name = writer->Name();
    for (size_t i = 0; i < 2; ++i) {
      writer->Temporary(i, TemporaryCopyName(planned[i].destination, 0));
      writer->Arriving(i, ContentHashOf(files.Find(planned[i].source)->bytes), files.FileSize(planned[i].source));
      files.Put(planned[i].destination, files.Find(planned[i].source)->bytes);
      writer->Event(i, PairEvent::Verified);
    }
    // The run dies here.
  }
  {
    auto writer = JournalWriter::Reopen(journals, name);
    writer->UndoStart();
    ASSERT_TRUE(files.RemoveFile(planned[1].destination));
    writer->Undone(1, UndoResult::Restored);
    // The undo dies here.
  }
  std::optional<RunJournal> cut = CutShortRun(journals);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->name, name);
  RecordedRenameLog undoLog;
  EXPECT_EQ(UndoRun(journals, name, files, transfer, undoLog).status, UndoStatus::Undone);
  EXPECT_EQ(Disk(), before);
  EXPECT_FALSE(CutShortRun(journals)) << "undone to the end: nothing more to offer";
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
  UndoSummary s = UndoRun(journals, j.name, files, transfer, undoLog);
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
    int status = RunUndoCommandWith(args, out, err, UndoEnvironment{journals, files, transfer});
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

  // A run still going (its journal held) is listed as such, and not as one to undo.
  auto going = JournalWriter::Start(journals, JournalAction::Move, {{sources.empty() ? u"C:\\x" : sources[0], u"D:\\y"}}, {});
  ASSERT_TRUE(going);
  list = undo({u"--list"});
  EXPECT_NE(list.out.find("\tmove\t1\trunning\tno\t0\n"), std::string::npos) << list.out;
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
  UndoSummary s = UndoRun(journals, j.name, files, transfer, undoLog);
  EXPECT_EQ(s.status, UndoStatus::Undone);
  EXPECT_EQ(s.restored, 2u);
  EXPECT_EQ(Disk(), before);
}

namespace {

// A process killed after a number of steps that change a disk or the journal: from then on
// nothing it does reaches either, as with a kill (no clean-up on the way out either).
struct Death {
  int stepsLeft = INT_MAX;
  std::function<bool()> when;  // or at the first step once this holds
  bool Step() {
    if (when && stepsLeft >= 0 && when()) stepsLeft = 0;
    return --stepsLeft >= 0;
  }
  bool Dead() const { return stepsLeft < 0; }
};

class DyingFiles final : public FileSystem {
 public:
  DyingFiles(FileSystem& fs, Death& death) : fs_(fs), death_(death) {}
  bool Exists(const std::u16string& p) override { return fs_.Exists(p); }
  bool IsFolder(const std::u16string& p) override { return fs_.IsFolder(p); }
  bool CreateFolder(const std::u16string& p) override { return death_.Step() && fs_.CreateFolder(p); }
  bool RemoveEmptyFolder(const std::u16string& p) override { return death_.Step() && fs_.RemoveEmptyFolder(p); }
  std::optional<uint64_t> FileSize(const std::u16string& p) override { return fs_.FileSize(p); }
  bool SameContent(const std::u16string& a, const std::u16string& b) override { return fs_.SameContent(a, b); }
  bool RemoveFile(const std::u16string& p) override { return death_.Step() && fs_.RemoveFile(p); }
  bool MoveFileNoReplace(const std::u16string& a, const std::u16string& b) override {
    return death_.Step() && fs_.MoveFileNoReplace(a, b);
  }
  std::optional<std::string> ContentHash(const std::u16string& p) override { return fs_.ContentHash(p); }
  PathState Probe(const std::u16string& p) override { return fs_.Probe(p); }
  bool SameFile(const std::u16string& a, const std::u16string& b) override { return fs_.SameFile(a, b); }
  std::optional<std::vector<std::u16string>> FileNames(const std::u16string& f) override { return fs_.FileNames(f); }

 private:
  FileSystem& fs_;
  Death& death_;
};

class DyingTransfer final : public FileTransfer {
 public:
  DyingTransfer(FileTransfer& io, Death& death) : io_(io), death_(death) {}
  std::unique_ptr<FileReader> OpenRead(const std::u16string& p, bool pastCache) override {
    return io_.OpenRead(p, pastCache);
  }
  std::unique_ptr<FileWriter> CreateNew(const std::u16string& p) override {
    if (!death_.Step()) return nullptr;
    std::unique_ptr<FileWriter> w = io_.CreateNew(p);
    return w ? std::make_unique<Writer>(std::move(w), death_) : nullptr;
  }
  RenameResult RenameNoReplace(const std::u16string& a, const std::u16string& b) override {
    return death_.Step() ? io_.RenameNoReplace(a, b) : RenameResult::Failed;
  }
  bool Remove(const std::u16string& p) override { return death_.Step() && io_.Remove(p); }
  bool SameVolume(const std::u16string& a, const std::u16string& b) override { return io_.SameVolume(a, b); }

 private:
  class Writer final : public FileWriter {
   public:
    Writer(std::unique_ptr<FileWriter> w, Death& death) : w_(std::move(w)), death_(death) {}
    bool Write(const void* b, size_t n) override { return death_.Step() && w_->Write(b, n); }
    bool Flush() override { return !death_.Dead() && w_->Flush(); }
    void KeepTimeOf(const std::u16string& s) override { w_->KeepTimeOf(s); }
    bool Close() override { return w_->Close() && !death_.Dead(); }

   private:
    std::unique_ptr<FileWriter> w_;
    Death& death_;
  };
  FileTransfer& io_;
  Death& death_;
};

class DyingJournals final : public JournalFolder {
 public:
  DyingJournals(JournalFolder& folder, Death& death) : folder_(folder), death_(death) {}
  std::vector<std::u16string> Names() override { return folder_.Names(); }
  std::optional<std::string> Read(const std::u16string& n) override { return folder_.Read(n); }
  std::unique_ptr<JournalFile> Open(const std::u16string& n) override {
    std::unique_ptr<JournalFile> f = folder_.Open(n);
    return f ? std::make_unique<File>(std::move(f), death_) : nullptr;
  }
  bool Remove(const std::u16string& n) override { return death_.Step() && folder_.Remove(n); }
  std::u16string Location() override { return folder_.Location(); }

 private:
  class File final : public JournalFile {
   public:
    File(std::unique_ptr<JournalFile> f, Death& death) : f_(std::move(f)), death_(death) {}
    bool Append(std::string_view bytes) override { return death_.Step() && f_->Append(bytes); }
    bool Sync() override { return !death_.Dead() && f_->Sync(); }

   private:
    std::unique_ptr<JournalFile> f_;
    Death& death_;
  };
  JournalFolder& folder_;
  Death& death_;
};

// The disk as paths and hashes: a failure prints something readable.
std::map<std::u16string, std::string> Digest(const FakeFiles& files) {
  std::map<std::u16string, std::string> disk;
  for (const auto& f : files.files) disk[f.second.path] = std::to_string(f.second.bytes.size()) + " " + ContentHashOf(f.second.bytes);
  return disk;
}

bool IsTemporary(const std::u16string& path) { return path.find(u".tessarine") != std::u16string::npos; }

// Photos of several blocks each, so that a copy back can be killed in the middle.
std::string BigPhoto(int i) {
  std::string bytes(150 * 1024 + i * 777, '\0');
  for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = char((k * 31 + size_t(i) * 7) & 0xFF);
  return bytes;
}

}  // namespace

// An undo across volumes killed after every one of its steps in turn (a file created, a
// block written, a rename, a removal, a journal line): at the kill, every photo is whole
// wherever it has its own name; the next undo finishes, removing what the first left half
// written, and the card is as before the run.
TEST_F(RunUndoTest, AnUndoKilledAtAnyStepIsFinishedByTheNext) {
  Photos(3);
  for (int i = 1; i <= 3; ++i) files.Put(sources[size_t(i - 1)], BigPhoto(i));
  std::set<std::string> photos;
  for (int i = 1; i <= 3; ++i) photos.insert(BigPhoto(i));
  const auto before = Digest(files);
  const auto foldersBefore = files.folders;
  ASSERT_EQ(Run(1), RenameOutcome::Done);
  const std::u16string name = LastRun(journals)->name;
  const FakeFiles afterRun = files;
  const auto journalsAfterRun = journals.texts;

  int kills = 0;
  for (int steps = 0;; ++steps) {
    SCOPED_TRACE("killed after step " + std::to_string(steps));
    files = afterRun;
    journals.texts = journalsAfterRun;
    Death death;
    death.stepsLeft = steps;
    DyingFiles dyingFiles(files, death);
    DyingTransfer dyingTransfer(transfer, death);
    DyingJournals dyingJournals(journals, death);
    RecordedRenameLog first;
    UndoRun(dyingJournals, name, dyingFiles, dyingTransfer, first);
    if (!death.Dead()) break;  // every step taken: the undo ran to its end
    ++kills;
    for (const auto& [path, bytes] : Disk())
      if (!IsTemporary(path)) EXPECT_TRUE(photos.count(bytes)) << ToUtf8(path) << " holds " << bytes.size() << " bytes";

    RecordedRenameLog second;
    UndoSummary s = UndoRun(journals, name, files, transfer, second);
    EXPECT_EQ(s.status, UndoStatus::Undone) << ToUtf8(second.lines.back());
    EXPECT_EQ(Digest(files), before);
    EXPECT_EQ(files.folders, foldersBefore);
    RecordedRenameLog third;
    EXPECT_EQ(UndoRun(journals, name, files, transfer, third).status, UndoStatus::AlreadyUndone);
  }
  EXPECT_GT(kills, 20);  // blocks of three photos, each copied, read back, renamed, removed
}

// An undo that kept a photo (its source folder had become a file) tries it again once the
// obstacle is gone; only then is the run "already undone".
TEST_F(RunUndoTest, AnUndoThatKeptPhotosCanBeRetried) {
  Photos(2);
  const auto before = Disk();
  ASSERT_EQ(Run(1), RenameOutcome::Done);
  const std::u16string name = LastRun(journals)->name;
  files.folders.erase(FileSystemPathKey(u"C:\\DCIM\\100"));
  files.Put(u"C:\\DCIM\\100", "a file in the folder's place");
  RecordedRenameLog first;
  UndoSummary s = UndoRun(journals, name, files, transfer, first);
  EXPECT_EQ(s.status, UndoStatus::Partly);
  EXPECT_EQ(s.kept, 2u);
  EXPECT_TRUE(CanUndo(*LastRun(journals)));

  files.RemoveFile(u"C:\\DCIM\\100");
  files.folders.insert(FileSystemPathKey(u"C:\\DCIM\\100"));
  RecordedRenameLog second;
  s = UndoRun(journals, name, files, transfer, second);
  EXPECT_EQ(s.status, UndoStatus::Undone);
  EXPECT_EQ(s.restored, 2u);
  EXPECT_EQ(Disk(), before);
  EXPECT_FALSE(CanUndo(*LastRun(journals)));
  RecordedRenameLog third;
  EXPECT_EQ(UndoRun(journals, name, files, transfer, third).status, UndoStatus::AlreadyUndone);
}

// A move killed at its first temporary file, another photo then put where the run was
// going: the undo removes the run's temporary file and touches nothing else.
TEST_F(RunUndoTest, AFileTheRunNeverMadeIsNeverMoved) {
  Photos(2);
  for (int i = 1; i <= 2; ++i) files.Put(sources[size_t(i - 1)], BigPhoto(i));
  Death death;
  death.when = [&] {
    for (const auto& [path, bytes] : Disk())
      if (IsTemporary(path)) return true;
    return false;
  };
  DyingFiles dyingFiles(files, death);
  DyingTransfer dyingTransfer(transfer, death);
  DyingJournals dyingJournals(journals, death);
  RenameRunControl control;
  control.journal = &dyingJournals;
  RunRenameJob(Job(1), log, dyingFiles, dyingTransfer, control);
  ASSERT_TRUE(death.Dead());
  RunJournal j = *LastRun(journals);
  ASSERT_EQ(j.pairs.size(), 2u);
  ASSERT_EQ(j.pairs[0].temporaries.size(), 1u);
  EXPECT_TRUE(files.Find(j.pairs[0].temporaries[0]));
  files.Put(j.pairs[1].destination, "someone else's photo");
  files.RemoveFile(j.pairs[1].source);  // ... and its source taken away by hand
  auto expected = Disk();
  expected.erase(j.pairs[0].temporaries[0]);

  RecordedRenameLog undoLog;
  UndoSummary s = UndoRun(journals, j.name, files, transfer, undoLog);
  EXPECT_EQ(s.restored, 0u);
  EXPECT_EQ(Disk(), expected);
  EXPECT_NE(std::find(undoLog.lines.begin(), undoLog.lines.end(),
                      u"この実行が置いたファイルではないため触れません: " + j.pairs[1].destination),
            undoLog.lines.end());
}

// A killed run's temporary file goes when the run is left, and when the next run files
// into the same folder; a file of that kind the journal does not name stays.
TEST_F(RunUndoTest, TemporaryFilesOfARunCutShortGoWhenLeftOrByTheNextRun) {
  Photos(2);
  for (int i = 1; i <= 2; ++i) files.Put(sources[size_t(i - 1)], BigPhoto(i));
  const std::u16string foreign = u"D:\\Photos\\20240501\\~other.JPG.tessarine.tmp";
  auto killedRun = [&] {
    Death death;
    // Once a block is in the first temporary file.
    death.when = [&] {
      for (const auto& [path, bytes] : Disk())
        if (IsTemporary(path) && path != foreign && !bytes.empty()) return true;
      return false;
    };
    DyingFiles dyingFiles(files, death);
    DyingTransfer dyingTransfer(transfer, death);
    DyingJournals dyingJournals(journals, death);
    RenameRunControl control;
    control.journal = &dyingJournals;
    RunRenameJob(Job(1), log, dyingFiles, dyingTransfer, control);
    EXPECT_TRUE(death.Dead());
    RunJournal j = *LastRun(journals);
    EXPECT_EQ(j.pairs[0].temporaries.size(), 1u);
    return j;
  };
  files.Put(foreign, "not this run's");
  RunJournal cut = killedRun();
  ASSERT_TRUE(files.Find(cut.pairs[0].temporaries[0]));
  RecordedRenameLog leaveLog;
  ASSERT_TRUE(LeaveRun(journals, cut.name, files, leaveLog));
  EXPECT_FALSE(files.Find(cut.pairs[0].temporaries[0]));
  EXPECT_EQ(leaveLog.lines, std::vector<std::u16string>{u"途中までのコピーを削除しました: " + cut.pairs[0].temporaries[0]});

  cut = killedRun();
  ASSERT_TRUE(files.Find(cut.pairs[0].temporaries[0]));
  // The card filed again: the run's own work goes on, and the old temporary file is gone.
  ASSERT_EQ(Run(1), RenameOutcome::Done);
  EXPECT_FALSE(files.Find(cut.pairs[0].temporaries[0]));
  EXPECT_TRUE(files.Find(foreign));
  for (const auto& [path, bytes] : Disk()) EXPECT_TRUE(!IsTemporary(path) || path == foreign) << ToUtf8(path);
}

// The journal names both copies; an undo takes the backups away while the photo is still at
// its source or its main copy, then undoes the main copies as ever.
TEST_F(RunUndoTest, ARunWithABackupIsUndoneAtBothPlaces) {
  backupTemplate = u"E:\\Backup\\@年4";
  for (int action : {0, 1}) {
    SCOPED_TRACE(action ? "move" : "copy");
    files.files.clear();
    files.folders.clear();
    job = {};
    Photos(2);
    const auto before = Disk();
    ASSERT_EQ(Run(action), RenameOutcome::Done);
    EXPECT_EQ(files.Find(u"E:\\Backup\\2024\\20240501-090301.JPG")->bytes, "JPEG 1");
    std::optional<RunJournal> last = LastRun(journals);
    ASSERT_TRUE(last);
    ASSERT_EQ(last->pairs.size(), 4u);
    EXPECT_EQ(last->pairs[2].destination, u"E:\\Backup\\2024\\20240501-090301.JPG");
    EXPECT_EQ(last->pairs[2].backupOf, u"D:\\Photos\\20240501\\20240501-090301.JPG");
    EXPECT_EQ(last->pairs[2].event, PairEvent::Verified);
    EXPECT_EQ(last->pairs[0].event, action ? PairEvent::Moved : PairEvent::Verified);
    RecordedRenameLog undoLog;
    const UndoSummary undone = UndoRun(journals, last->name, files, transfer, undoLog);
    EXPECT_EQ(undone.status, UndoStatus::Undone);
    EXPECT_EQ(Disk(), before);
    EXPECT_FALSE(files.HasFolder(u"E:\\Backup"));
    // Two photos, as the user counts them: their backups are no photos of their own.
    EXPECT_EQ(RunPhotoCount(*last), 2u);
    EXPECT_EQ(undone.restored, 2u);
    ASSERT_FALSE(undoLog.lines.empty());
    EXPECT_NE(undoLog.lines.front().find(u" 2 個のファイル"), std::u16string::npos) << ToUtf8(undoLog.lines.front());
    EXPECT_EQ(undoLog.lines.back(), u"2 個のファイルを元に戻しました。");
  }
}

// A backup is never the only copy an undo removes: with the main copy gone elsewhere after a
// move, the backup stays.
TEST_F(RunUndoTest, ABackupWhoseMainCopyWentElsewhereStays) {
  backupTemplate = u"E:\\Backup";
  Photos(1);
  ASSERT_EQ(Run(1), RenameOutcome::Done);
  files.RemoveFile(u"D:\\Photos\\20240501\\20240501-090301.JPG");  // moved into an album
  RecordedRenameLog undoLog;
  EXPECT_EQ(UndoRun(journals, LastRun(journals)->name, files, transfer, undoLog).status, UndoStatus::Partly);
  EXPECT_EQ(files.Find(u"E:\\Backup\\20240501-090301.JPG")->bytes, "JPEG 1");
}
