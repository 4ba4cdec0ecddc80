// Undoing real rename runs on real files: a move and a copy undone photo for photo, and a
// move whose process is killed in the middle, undone from its journal by the command-line
// tool. Every test of this program keeps its journals in a folder of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/JournalFolder.h"
#include "platform/Locale.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "platform/win/WinText.h"
#include "rename/RenameRun.h"
#include "rename/RunUndo.h"
#include "../support/RenameFixtures.h"

using namespace tess;
namespace fs = std::filesystem;

namespace {

fs::path TempFolder(const std::wstring& prefix) {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  return fs::path(std::wstring(temp, n)) /
         (prefix + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()));
}

// The journals of every run these tests make (and of the other Windows tests' real runs)
// go to a throwaway folder, never to the user's own.
class JournalFolderForTests : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_ = TempFolder(L"TessarineJournal-");
    SetEnvironmentVariableW(L"TESSARINE_JOURNAL_DIR", folder_.c_str());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

 private:
  fs::path folder_;
};
const ::testing::Environment* const journalFolderForTests =
    ::testing::AddGlobalTestEnvironment(new JournalFolderForTests);

std::string Content(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// Every file below a folder with its bytes, by path relative to it.
std::map<std::wstring, std::string> Tree(const fs::path& root) {
  std::map<std::wstring, std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).wstring()] = Content(e.path());
  return files;
}

class RealUndo : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = TempFolder(L"TessarineUndo-");
    ASSERT_TRUE(fs::create_directories(root_ / L"card" / L"100CANON"));
    // Journals of earlier tests stay out of this one's way.
    for (const std::u16string& name : PlatformJournalFolder().Names()) PlatformJournalFolder().Remove(name);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  std::u16string Card() const { return U16((root_ / L"card" / L"100CANON").wstring()) + u"\\"; }

  // Photos with an Exif date each, one second apart, of `size` bytes or more.
  void Shoot(int count, size_t size = 0) {
    for (int i = 0; i < count; ++i) {
      tess::testing::RenameFixturePhoto photo;
      char date[32];
      std::snprintf(date, sizeof date, "2024:05:01 09:%02d:%02d", i / 60, i % 60);
      photo.dateTimeOriginal = date;
      std::string bytes = tess::testing::MakeRenameFixtureJpeg(photo);
      // Bytes of its own after the image's end, as a real photo's size.
      for (size_t k = bytes.size(); k < size; ++k) bytes += char((k * 13 + size_t(i)) & 0xFF);
      wchar_t name[32];
      std::swprintf(name, 32, L"IMG_%04d.JPG", i);
      Write(root_ / L"card" / L"100CANON" / name, bytes);
      auto item = std::make_unique<SourceRecord>();
      item->Name = U16(name);
      item->Folder = Card();
      item->HasMetadata = true;
      EXPECT_TRUE(TryEncodeDateTime({2024, 5, 1, 9, i / 60, i % 60, 0}, item->ExifDateTimeOriginal));
      photos.push_back({Card() + U16(name), *item});
    }
  }
  RenameOutcome Run(int action) {
    const std::u16string folder = U16((root_ / L"photos").wstring()) + u"\\@年4\\@月2@日2";
    RenameRunControl control;
    control.journal = &PlatformJournalFolder();
    return Rename(folder, u"@年4@月2@日2-@時2@分2@秒2", action, false, control);
  }
  UndoSummary Undo() {
    std::optional<RunJournal> last = LastRun(PlatformJournalFolder());
    EXPECT_TRUE(last);
    undoLog.lines.clear();
    return UndoRun(PlatformJournalFolder(), last ? last->name : u"", PlatformFileSystem(), PlatformFileTransfer(), undoLog);
  }

  std::unique_ptr<LocaleData> japanese_ = MakeJapaneseLocale();
  ScopedLocaleOverride override_{*japanese_};
  fs::path root_;
  // A run of the photos; as the dialog does, the photos it settled leave the list (action
  // 0: copy, 1: move).
  RenameOutcome Rename(const std::u16string& folder, const std::u16string& name, int action, bool test,
                       const RenameRunControl& runControl = {}) {
    RenameJob job{photos, action <= 0 ? RenameAction::Copy : RenameAction::Move, folder, name,
                  u"", test ? RenameMode::Test : RenameMode::Real};
    RenameRunResult result = RunRenameJob(job, log, runControl);
    photos = PhotosLeft(photos, result.settled);
    return result.outcome;
  }
  std::vector<RenamePhoto> photos;
  RecordedRenameLog log, undoLog;
};

}  // namespace

TEST_F(RealUndo, AMoveUndonePutsEveryPhotoBackWithItsBytesAndItsFoldersGo) {
  Shoot(12, 20000);
  auto card = Tree(root_ / L"card");
  ASSERT_EQ(Run(1), RenameOutcome::Done) << ToUtf8(log.lines.back());
  ASSERT_EQ(Tree(root_ / L"photos").size(), 12u);
  // The card's folder emptied by the move is gone too: the undo makes it again.
  fs::remove(root_ / L"card" / L"100CANON");

  UndoSummary s = Undo();
  EXPECT_EQ(s.status, UndoStatus::Undone);
  EXPECT_EQ(s.restored, 12u);
  EXPECT_EQ(Tree(root_ / L"card"), card);
  EXPECT_FALSE(fs::exists(root_ / L"photos"));  // every level made by the run
  EXPECT_EQ(undoLog.lines.back(), u"12 個のファイルを元に戻しました。");

  // A second undo finds the run undone and touches nothing.
  EXPECT_EQ(Undo().status, UndoStatus::AlreadyUndone);
  EXPECT_EQ(Tree(root_ / L"card"), card);
}

TEST_F(RealUndo, ACopyUndoneRemovesTheCopiesAndLeavesAChangedOneNamed) {
  Shoot(4, 5000);
  auto card = Tree(root_ / L"card");
  ASSERT_EQ(Run(0), RenameOutcome::Done);
  auto photos = Tree(root_ / L"photos");
  ASSERT_EQ(photos.size(), 4u);
  // One copy edited since: it stays, named, and so does its folder.
  const fs::path edited = root_ / L"photos" / photos.begin()->first;
  Write(edited, "edited by hand");

  UndoSummary s = Undo();
  EXPECT_EQ(s.status, UndoStatus::Partly);
  EXPECT_EQ(s.restored, 3u);
  EXPECT_EQ(s.kept, 1u);
  EXPECT_EQ(Tree(root_ / L"card"), card);
  auto left = Tree(root_ / L"photos");
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left.begin()->second, "edited by hand");
  EXPECT_NE(std::find(undoLog.lines.begin(), undoLog.lines.end(),
                      u"変更されているため戻しません: " + U16(edited.wstring())),
            undoLog.lines.end());
}

TEST_F(RealUndo, AMoveKilledInTheMiddleIsUndoneWithNothingLostNorTwice) {
  const int count = 1500;
  Shoot(count, 4000);
  auto card = Tree(root_ / L"card");
  wchar_t self[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  ASSERT_GT(n, 0u);
  const fs::path cli = fs::path(std::wstring(self, n)).parent_path() / L"tessarine-cli.exe";
  ASSERT_TRUE(fs::exists(cli)) << cli.string();
  const std::wstring out = (root_ / L"photos").wstring() + L"\\@年4\\@月2@日2";
  std::wstring line = L"\"" + cli.wstring() + L"\" plan --run --action move --folder \"" + out +
                      L"\" --name @年4@月2@日2-@時2@分2@秒2 \"" + (root_ / L"card" / L"100CANON").wstring() + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  // Its log is not read: the journal and the disk tell.
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  si.hStdOutput = si.hStdError = nul;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
  // Killed as soon as some photos have arrived: the move is in the middle.
  size_t arrivedAtKill = 0;
  for (int tries = 0; tries < 60000; ++tries) {
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
    const fs::path day = root_ / L"photos" / L"2024" / L"0501";
    std::error_code ec;
    size_t arrived = 0;
    if (fs::exists(day, ec))
      for (auto it = fs::directory_iterator(day, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) ++arrived;
    if (arrived >= 20) {
      TerminateProcess(pi.hProcess, 9);
      arrivedAtKill = arrived;
      break;
    }
    Sleep(1);
  }
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD exitCode = 0;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  CloseHandle(nul);
  const size_t onCard = Tree(root_ / L"card").size(), filed = Tree(root_ / L"photos").size();
  std::printf("[ killed ] exit %lu, %zu filed when killed, %zu on the card and %zu filed after\n", exitCode,
              arrivedAtKill, onCard, filed);
  std::optional<RunJournal> cut = LastRun(PlatformJournalFolder());
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->pairs.size(), size_t(count));
  if (arrivedAtKill > 0) {
    EXPECT_FALSE(cut->ended);
    EXPECT_LT(filed, size_t(count));  // it really was in the middle
    EXPECT_TRUE(CutShortRun(PlatformJournalFolder()));
  }

  // Undone by the command-line tool, as a photographer would after the crash.
  std::wstring undoLine = L"\"" + cli.wstring() + L"\" undo";
  nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  si.hStdOutput = si.hStdError = nul;
  ASSERT_TRUE(CreateProcessW(nullptr, undoLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(nul);
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 120000), WAIT_OBJECT_0);
  GetExitCodeProcess(pi.hProcess, &exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(Tree(root_ / L"card"), card);  // every photo once, at its source, with its bytes
  EXPECT_FALSE(fs::exists(root_ / L"photos"));
  EXPECT_FALSE(CutShortRun(PlatformJournalFolder()));
}
