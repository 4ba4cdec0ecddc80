// The import history on real files, driven as a person drives the command-line tool: a card
// filed, its photos moved into an album, the card filed again with another template (nothing
// filed, each photo named with where it went), one new photo (only it filed), an undo of
// that run, and the card filed once more (the photo the undo took back filed again).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/Text.h"
#include "platform/win/WinText.h"
#include "../support/ReadAll.h"
#include "../support/RenameFixtures.h"

using namespace tess;
namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::u16string>;

fs::path TempFolder() {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  return fs::path(std::wstring(temp, n)) /
         (L"TessarineHistory-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()));
}

// Every Windows test gets an import history of its own (the journals' folder is shared by
// them all): a photo one test filed is never left out of another's run.
class HistoryPerTest final : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    path_ = TempFolder().wstring() + L"-" + std::to_wstring(++tests_) + L".sqlite3";
    SetEnvironmentVariableW(L"TESSARINE_HISTORY", path_.c_str());
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    SetEnvironmentVariableW(L"TESSARINE_HISTORY", nullptr);
    std::error_code ec;
    for (const wchar_t* suffix : {L"", L"-wal", L"-shm"}) fs::remove(path_ + suffix, ec);
  }

 private:
  std::wstring path_;
  int tests_ = 0;
};
const bool historyPerTest = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new HistoryPerTest);
  return true;
}();

class HistoryScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = TempFolder();
    ASSERT_TRUE(fs::create_directories(root_ / L"card" / L"DCIM" / L"100CANON"));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void Shoot(int i) {
    tess::testing::RenameFixturePhoto photo;
    char date[32];
    std::snprintf(date, sizeof date, "2024:05:01 09:00:%02d", i);
    photo.dateTimeOriginal = date;
    const std::string bytes = tess::testing::MakeRenameFixtureJpeg(photo);
    wchar_t name[32];
    std::swprintf(name, 32, L"IMG_%04d.JPG", i);
    std::ofstream(root_ / L"card" / L"DCIM" / L"100CANON" / name, std::ios::binary)
        .write(bytes.data(), std::streamsize(bytes.size()));
  }
  std::u16string Path(const fs::path& p) const { return U16(p.wstring()); }
  std::u16string Card() const { return Path(root_ / L"card" / L"DCIM" / L"100CANON"); }
  // `tessarine-cli` with these arguments: its exit code, its output in `lines`.
  int Cli(int (*command)(const std::vector<std::u16string>&, std::FILE*, std::FILE*), std::vector<std::u16string> args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    int code = command(args, out, err);
    lines.clear();
    std::u16string text = FromUtf8(tess::testing::ReadAll(out));
    errors = tess::testing::ReadAll(err);
    std::fclose(out);
    std::fclose(err);
    size_t start = 0;
    for (size_t end; (end = text.find(u'\n', start)) != std::u16string::npos; start = end + 1) {
      std::u16string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == u'\r') line.pop_back();
      lines.push_back(line);
    }
    return code;
  }
  int File(const std::u16string& folderTemplate) {
    return Cli(RunPlanCommand, {u"--folder", folderTemplate, u"--name", u"@年4@月2@日2-@時2@分2@秒2", u"--run", Card()});
  }
  Lines Starting(const std::u16string& prefix) const {
    Lines found;
    for (const std::u16string& line : lines)
      if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
  }
  size_t FilesIn(const fs::path& folder) const {
    size_t n = 0;
    if (fs::exists(folder))
      for (const auto& e : fs::recursive_directory_iterator(folder)) n += e.is_regular_file();
    return n;
  }

  fs::path root_;
  Lines lines;
  std::string errors;
};

}  // namespace

TEST_F(HistoryScenario, ACardFiledAgainFilesOnlyWhatIsNew) {
  for (int i = 0; i < 3; ++i) Shoot(i);
  ASSERT_EQ(File(Path(root_ / L"photos") + u"\\@年4@月2@日2"), 0) << errors;
  ASSERT_EQ(FilesIn(root_ / L"photos"), 3u);

  // Sorted into an album since: the planned names hold nothing any more.
  fs::rename(root_ / L"photos", root_ / L"album");
  ASSERT_EQ(File(Path(root_ / L"other") + u"\\@モデル"), 0) << errors;
  EXPECT_EQ(FilesIn(root_ / L"other"), 0u) << "nothing filed twice";
  Lines imported = Starting(u"取り込み済みのため除外します: ");
  ASSERT_EQ(imported.size(), 3u);
  const std::u16string first = Card() + u"\\IMG_0000.JPG (";
  EXPECT_EQ(imported[0].substr(0, imported[0].find(u'(') + 1),
            u"取り込み済みのため除外します: " + first);
  const std::u16string whereItWent = u" → " + Path(root_ / L"photos" / L"20240501" / L"20240501-090000.JPG") + u")";
  EXPECT_EQ(imported[0].substr(imported[0].size() - whereItWent.size()), whereItWent);
  EXPECT_EQ(lines.back(), u"まとめ: コピー 0 個、取り込み済み 3 個");

  // One more shot on the same card: only it goes.
  Shoot(3);
  ASSERT_EQ(File(Path(root_ / L"other") + u"\\@モデル"), 0) << errors;
  EXPECT_EQ(FilesIn(root_ / L"other"), 1u);
  EXPECT_TRUE(fs::exists(root_ / L"other" / L"FC-1" / L"20240501-090003.JPG"));
  EXPECT_EQ(Starting(u"取り込み済みのため除外します: ").size(), 3u);

  // Undone: the history forgets it, and the next filing files it again.
  ASSERT_EQ(Cli(RunUndoCommand, {}), 0) << errors;
  EXPECT_EQ(FilesIn(root_ / L"other"), 0u);
  ASSERT_EQ(File(Path(root_ / L"other") + u"\\@モデル"), 0) << errors;
  EXPECT_TRUE(fs::exists(root_ / L"other" / L"FC-1" / L"20240501-090003.JPG")) << "filed again after the undo";
  EXPECT_EQ(Starting(u"取り込み済みのため除外します: ").size(), 3u);

  // Asked to, the imported photos go too.
  ASSERT_EQ(Cli(RunPlanCommand, {u"--folder", Path(root_ / L"again"), u"--name", u"@元のファイル名", u"--include-imported",
                                 u"--run", Card()}),
            0)
      << errors;
  EXPECT_EQ(FilesIn(root_ / L"again"), 4u);
}
