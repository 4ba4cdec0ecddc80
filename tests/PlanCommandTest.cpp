// `tessarine-cli plan`: the rename dialog's log from the command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli/Cli.h"
#include "cli/PlanCommand.h"
#include "exif/Exif.h"
#include "platform/Locale.h"
#include "platform/MemorySettings.h"
#include "rename/ClockRules.h"
#include "platform/Text.h"
#include "support/RecordFakes.h"
#include "support/ExifFixtures.h"
#include "support/FakeFiles.h"
#include "support/FakeTransfer.h"
#include "support/RenameFixtures.h"
#include "support/ReadAll.h"

using namespace tess;
using namespace tess::testing;

namespace {

struct CliResult {
  int status;
  std::string out, err;
};

template <class Fn>
CliResult Capture(Fn fn) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  CliResult r{fn(out, err), "", ""};
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  std::fclose(out);
  std::fclose(err);
  return r;
}

// A test log without its lines of the room each volume needs: they follow the disk the
// tests run on. `found` counts them.
std::string WithoutSpaceLines(const std::string& log, int* found = nullptr) {
  std::string kept;
  size_t at = 0;
  while (at < log.size()) {
    size_t end = log.find('\n', at);
    end = end == std::string::npos ? log.size() : end + 1;
    std::string line = log.substr(at, end - at);
    if (line.rfind("必要な空き容量: ", 0) == 0) {
      if (found) ++*found;
    } else {
      kept += line;
    }
    at = end;
  }
  return kept;
}

std::vector<std::u16string> Args(std::initializer_list<const char*> args) {
  std::vector<std::u16string> v;
  for (const char* a : args) v.push_back(FromUtf8(a));
  return v;
}

double Shot(int y, int mo, int d, int h, int mi, int s) {
  double v = 0;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, 0}, v));
  return v;
}

// The log as this build writes it: on Windows as written here; natively the paths from the
// root ("\\DCIM\\...") with "/", as the system writes them.
// A log of real paths as this build writes it: natively every "\\" as "/".
std::string Slashes(std::string log) {
  if (!kNativeWindowsPaths)
    for (char& c : log)
      if (c == '\\') c = '/';
  return log;
}

std::string N(std::string log) {
  if (kNativeWindowsPaths) return log;
  for (size_t at = log.find("\\DCIM"); at != std::string::npos; at = log.find("\\DCIM", at))
    for (; at < log.size() && log[at] != '\n'; ++at)
      if (log[at] == '\\') log[at] = '/';
  return log;
}

class PlanCommandTest : public ::testing::Test {
 protected:
  PlanCommandTest() {
    DirectoryEntry a{u"IMG_0001.JPG", FILE_ATTRIBUTE_ARCHIVE_, 2000000, 0, 0};
    DirectoryEntry b{u"IMG_0002.JPG", FILE_ATTRIBUTE_ARCHIVE_, 2000000, 0, 0};
    DirectoryEntry c{u"notes.txt", FILE_ATTRIBUTE_ARCHIVE_, 10, 0, 0};
    directory.AddFile(u"/DCIM/100/", a);
    directory.AddFile(u"/DCIM/100/", b);
    directory.AddFile(u"/DCIM/100/", c);
    metadata.photos[u"/DCIM/100/IMG_0001.JPG"] = {true, MissingDate, Shot(2024, 5, 1, 9, 3, 7), MissingDate, u"X-T5", u"FUJIFILM"};
    metadata.photos[u"/DCIM/100/IMG_0002.JPG"] = {true, MissingDate, Shot(2024, 5, 1, 9, 15, 12), MissingDate, u"X-T5", u"FUJIFILM"};
    // The files as the run sees them, by the paths its log shows.
    files.Put(u"\\DCIM\\100\\IMG_0001.JPG", "JPEG 1");
    files.Put(u"\\DCIM\\100\\IMG_0002.JPG", "JPEG 2");
  }
  CliResult Plan(std::initializer_list<const char*> args) {
    PlanEnvironment env{directory, metadata, &files, &io, &cancel};
    env.settings = &settings;
    return Capture([&](std::FILE* out, std::FILE* err) { return RunPlanCommandWith(Args(args), out, err, env); });
  }

  std::unique_ptr<LocaleData> japanese_ = MakeJapaneseLocale();
  ScopedLocaleOverride override_{*japanese_};
  FakeDirectoryLister directory;
  FakeMetadataSource metadata;
  FakeFiles files;
  FakeTransfer io{files};
  CancelToken cancel;
  MemorySettingsStore settings;  // the cameras' stored clock rules
};

}  // namespace

TEST_F(PlanCommandTest, PrintsTheTestRunLog) {
  CliResult r = Plan({"--folder", "@年4@月2@日2", "--name", "@年4@月2@日2-@時2@分2@秒2", "--action", "move",
                      "/DCIM/100/IMG_0001.JPG", "/DCIM/100/notes.txt", "/DCIM/100/IMG_0002.JPG"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            N("\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\20240501\\20240501-090307.JPG\n\n"
            "\\DCIM\\100\\IMG_0002.JPG\n\\DCIM\\100\\20240501\\20240501-091512.JPG\n\n"
            "まとめ (テスト): 移動予定 2 個、除外 1 個 (Exif情報なし 1 個)\n"));
  EXPECT_EQ(io.written + io.renames, 0u);
}

TEST_F(PlanCommandTest, NamesEveryAtThatStartsNoTokenAfterTheLog) {
  CliResult r = Plan({"--folder", "@年@月", "--name", "@file", "/DCIM/100/IMG_0001.JPG"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            N("\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\年月\\IMG_0001.JPG\n\n"
            "まとめ (テスト): コピー予定 1 個\n不明なトークン: @年\n不明なトークン: @月\n"));
}

TEST_F(PlanCommandTest, OrderGivenAndMarkers) {
  CliResult r = Plan({"--name", "@FILE", "--folder", "E:\\DSC\\@model", "/DCIM/100/IMG_0002.JPG", "/DCIM/100/IMG_0001.JPG"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            N("\\DCIM\\100\\IMG_0002.JPG\nE:\\DSC\\X-T5\\IMG_0002.JPG\n\n"
            "\\DCIM\\100\\IMG_0001.JPG\nE:\\DSC\\X-T5\\IMG_0001.JPG\n\n"
            "まとめ (テスト): コピー予定 2 個\n"));
}

TEST_F(PlanCommandTest, NothingWithMetadataAndRefusals) {
  CliResult none = Plan({"--folder", "x", "--name", "y", "/DCIM/100/notes.txt"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "ファイルが見つかりません。\n");

  // A copy onto the photo itself: it is where it belongs already, said as such and
  // counted apart from photos filed before.
  CliResult onto = Plan({"--folder", "@folder", "--name", "@file", "/DCIM/100/IMG_0001.JPG"});
  EXPECT_EQ(onto.status, 0);
  EXPECT_EQ(onto.out, N("コピー元と同じファイルです: \\DCIM\\100\\IMG_0001.JPG\n"
                      "まとめ (テスト): コピー予定 0 個、コピー元と同じ 1 個\n"));
}

TEST_F(PlanCommandTest, ACameraTextPaddedWithNulsKeepsEveryLineWhole) {
  metadata.photos[u"/DCIM/100/IMG_0001.JPG"].model = std::u16string(u"EOS\0\0", 5);
  CliResult r = Plan({"--folder", "@model", "--name", "@file", "/DCIM/100/IMG_0001.JPG"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, N("\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\EOS__\\IMG_0001.JPG\n\nまとめ (テスト): コピー予定 1 個\n"));
}

TEST_F(PlanCommandTest, RunCopiesProvesAndShowsProgress) {
  CliResult run = Plan({"--folder", "Out", "--name", "@file", "--action", "copy", "--run", "/DCIM/100/IMG_0001.JPG"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, N("\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\Out\\IMG_0001.JPG\n\n1 個のファイルをコピー/リネームしました。\n"
                     "まとめ: コピー 1 個\n"));
  EXPECT_EQ(run.err, "") << "no progress unless asked, when stderr is no terminal";
  EXPECT_EQ(files.Find(u"\\DCIM\\100\\Out\\IMG_0001.JPG")->bytes, "JPEG 1");
  EXPECT_EQ(io.pastCacheReads, 1);

  directory.AddFile(u"/DCIM/", {u"100", FILE_ATTRIBUTE_DIRECTORY_, 0, 0, 0});
  CliResult shown = Plan({"--folder", "Out2", "--name", "@file", "--run", "--progress", "/DCIM/100"});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.err.find("2/2 個のファイル、0.0/0.0 MB、完了\n"), std::string::npos) << shown.err;

  // A copy that reads back wrong: named, not counted, its source kept.
  io.corruptNamesWith = u"IMG_0001";
  CliResult failed = Plan({"--folder", "Out3", "--name", "@file", "--run", "/DCIM/100/IMG_0001.JPG"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out, N("\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\Out3\\IMG_0001.JPG\n\n"
                        "検証に失敗しました (コピー元はそのままです): \\DCIM\\100\\IMG_0001.JPG\n"
                        "ファイルのコピー/リネームに失敗しました。\n"
                        "まとめ: コピー 0 個\n"));
  EXPECT_FALSE(files.Find(u"\\DCIM\\100\\Out3\\IMG_0001.JPG"));
  EXPECT_TRUE(files.Find(u"\\DCIM\\100\\IMG_0001.JPG"));
}

TEST_F(PlanCommandTest, CtrlCStopsTheRunCleanly) {
  directory.AddFile(u"/DCIM/", {u"100", FILE_ATTRIBUTE_DIRECTORY_, 0, 0, 0});
  cancel.Cancel();
  CliResult r = Plan({"--folder", "Out", "--name", "@file", "--action", "copy", "--run", "/DCIM/100"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("0 個のファイルをコピー/リネームしました。\n"), std::string::npos) << r.out;
  const std::string last = "中止しました: 2 個のファイルは処理されていません\n";
  ASSERT_GE(r.out.size(), last.size());
  EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last) << r.out;
  EXPECT_FALSE(files.Find(u"\\DCIM\\100\\Out\\IMG_0001.JPG"));
}

// A folder stands for its files, in the order the file list shows them first (by name,
// ASCII letters without case), sub-folders left out.
TEST_F(PlanCommandTest, AFolderStandsForItsFiles) {
  directory.AddFile(u"/DCIM/", {u"100", FILE_ATTRIBUTE_DIRECTORY_, 0, 0, 0});
  directory.AddFile(u"/DCIM/100/", {u"sub", FILE_ATTRIBUTE_DIRECTORY_, 0, 0, 0});
  directory.AddFile(u"/DCIM/100/", {u"img_0000.jpg", FILE_ATTRIBUTE_ARCHIVE_, 10, 0, 0});
  metadata.photos[u"/DCIM/100/img_0000.jpg"] = {true, MissingDate, Shot(2024, 5, 1, 8, 0, 0), MissingDate, u"X-T5", u"FUJIFILM"};
  files.Put(u"\\DCIM\\100\\img_0000.jpg", "JPEG 0");
  const std::string expected = N(
      "\\DCIM\\100\\img_0000.jpg\n\\DCIM\\100\\Out\\img_0000.jpg\n\n"
      "\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\Out\\IMG_0001.JPG\n\n"
      "\\DCIM\\100\\IMG_0002.JPG\n\\DCIM\\100\\Out\\IMG_0002.JPG\n\n");
  for (const char* path : {"/DCIM/100", "/DCIM/100/"}) {
    CliResult r = Plan({"--folder", "Out", "--name", "@file", path});
    EXPECT_EQ(r.status, 0) << path << r.err;
    EXPECT_EQ(r.out, expected + "まとめ (テスト): コピー予定 3 個、除外 1 個 (Exif情報なし 1 個)\n") << path;
  }
  CliResult run = Plan({"--folder", "Out", "--name", "@file", "--action", "move", "--run", "/DCIM/100"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, expected + "3 個のファイルを移動/リネームしました。\nまとめ: 移動 3 個、除外 1 個 (Exif情報なし 1 個)\n");
  EXPECT_EQ(io.renames, 3);
  // A folder that cannot be listed is a usage error; one without a photo a run that finds no file.
  CliResult unlisted = Plan({"--folder", "Out", "--name", "@file", "/DCIM/100/sub"});
  EXPECT_EQ(unlisted.status, 2);
  EXPECT_NE(unlisted.err.find("フォルダの一覧を読めません: '/DCIM/100/sub'"), std::string::npos) << unlisted.err;
  directory.folders[u"/DCIM/100/sub/"] = {};
  CliResult empty = Plan({"--folder", "Out", "--name", "@file", "/DCIM/100/sub"});
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.out, "ファイルが見つかりません。\n");
}

// --recursive: a card's DCIM stands for every photo in 100CANON, 101CANON, ..., folder by
// folder, its own files first; hidden and system folders are skipped.
TEST_F(PlanCommandTest, RecursiveTakesAWholeCard) {
  directory.AddFile(u"/", {u"DCIM", FILE_ATTRIBUTE_DIRECTORY_, 0, 0, 0});
  directory.AddFile(u"/DCIM/", {u"101", FILE_ATTRIBUTE_DIRECTORY_, 0, 0, 0});
  directory.AddFile(u"/DCIM/", {u"100", FILE_ATTRIBUTE_DIRECTORY_, 0, 0, 0});
  directory.AddFile(u"/DCIM/", {u".thumbs", FILE_ATTRIBUTE_DIRECTORY_ | FILE_ATTRIBUTE_HIDDEN_, 0, 0, 0});
  directory.AddFile(u"/DCIM/", {u"SYS", FILE_ATTRIBUTE_DIRECTORY_ | FILE_ATTRIBUTE_SYSTEM_, 0, 0, 0});
  directory.AddFile(u"/DCIM/", {u"top.jpg", FILE_ATTRIBUTE_ARCHIVE_, 10, 0, 0});
  directory.AddFile(u"/DCIM/101/", {u"IMG_0100.JPG", FILE_ATTRIBUTE_ARCHIVE_, 10, 0, 0});
  directory.AddFile(u"/DCIM/.thumbs/", {u"t.jpg", FILE_ATTRIBUTE_ARCHIVE_, 10, 0, 0});
  directory.AddFile(u"/DCIM/SYS/", {u"s.jpg", FILE_ATTRIBUTE_ARCHIVE_, 10, 0, 0});
  for (const char16_t* p : {u"/DCIM/top.jpg", u"/DCIM/101/IMG_0100.JPG", u"/DCIM/.thumbs/t.jpg", u"/DCIM/SYS/s.jpg"})
    metadata.photos[p] = {true, MissingDate, Shot(2024, 5, 2, 8, 0, 0), MissingDate, u"X-T5", u"FUJIFILM"};
  files.Put(u"\\DCIM\\top.jpg", "top");
  files.Put(u"\\DCIM\\101\\IMG_0100.JPG", "100");
  for (const char* path : {"/DCIM", "/DCIM/"}) {
    CliResult r = Plan({"--recursive", "--folder", "E:\\Out", "--name", "@file", path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              N("\\DCIM\\top.jpg\nE:\\Out\\top.jpg\n\n"
              "\\DCIM\\100\\IMG_0001.JPG\nE:\\Out\\IMG_0001.JPG\n\n"
              "\\DCIM\\100\\IMG_0002.JPG\nE:\\Out\\IMG_0002.JPG\n\n"
              "\\DCIM\\101\\IMG_0100.JPG\nE:\\Out\\IMG_0100.JPG\n\n"
              "まとめ (テスト): コピー予定 4 個、除外 1 個 (Exif情報なし 1 個)\n"));
  }
  // Without it, the folder's own files only.
  CliResult flat = Plan({"--folder", "E:\\Out", "--name", "@file", "/DCIM"});
  EXPECT_EQ(flat.out, N("\\DCIM\\top.jpg\nE:\\Out\\top.jpg\n\nまとめ (テスト): コピー予定 1 個\n"));
}

TEST_F(PlanCommandTest, UsageErrors) {
  struct Case { std::initializer_list<const char*> args; const char* message; } cases[] = {
      {{"--name", "n", "/DCIM/100/IMG_0001.JPG"}, "--folder を指定してください"},
      {{"--folder", "f", "/DCIM/100/IMG_0001.JPG"}, "--name を指定してください"},
      {{"--folder", "f", "--name", "n"}, "PATH を指定してください"},
      {{"--folder", "f", "--name", "n", "--action", "rename", "/a"}, "--action は copy か move です"},
      {{"--folder", "f", "--name", "n", "--bogus", "/a"}, "不明なオプションです: '--bogus'"},
      {{"--folder"}, "--folder には値が必要です"},
      {{"--folder", "f", "--name", "n", "/DCIM/100/missing.JPG"}, "見つかりません: '/DCIM/100/missing.JPG'"},
  };
  for (const Case& c : cases) {
    CliResult r = Plan(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  CliResult help = Plan({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("使い方: tessarine-cli plan"), std::string::npos);
  // A template that begins with "-" is still a value.
  CliResult dash = Plan({"--folder", "-x", "--name", "@file", "/DCIM/100/IMG_0001.JPG"});
  EXPECT_EQ(dash.status, 0) << dash.err;
}

TEST(PlanCommandFiles, ReadsGeneratedPhotosThroughRunCli) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tessarine-plan-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  RenameFixturePhoto photo;
  photo.dateTime = "2024:05:01 10:00:00";
  photo.dateTimeOriginal = "2024:05:01 09:03:07";
  photo.dateTimeDigitized = "2024:05:01 09:03:08";
  {
    std::ofstream f(dir / "IMG_0001.JPG", std::ios::binary);
    std::string bytes = MakeRenameFixtureJpeg(photo);
    f.write(bytes.data(), std::streamsize(bytes.size()));
  }
  std::ofstream(dir / "notes.txt") << "not a photo";
  std::u16string jpg = FromUtf8((dir / "IMG_0001.JPG").string());
  std::u16string txt = FromUtf8((dir / "notes.txt").string());
  std::string folder = (dir / "").string();
  for (char& c : folder)
    if (c == '/') c = '\\';
  std::unique_ptr<LocaleData> japanese = MakeJapaneseLocale();
  ScopedLocaleOverride guard(*japanese);

  // The system's directory listing with metadata fed in: the files' own folder and names.
  {
    FakeMetadataSource metadata;
    metadata.photos[PlatformDirectoryLister().FullPath(jpg)] = {true, MissingDate, 45413.37693287037, MissingDate, u"M", u"K"};
    PlanEnvironment env{PlatformDirectoryLister(), metadata};
    CliResult r = Capture([&](std::FILE* out, std::FILE* err) {
      return RunPlanCommandWith({u"--folder", u"@モデル", u"--name", u"@file-@年4", jpg, txt}, out, err, env);
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(WithoutSpaceLines(r.out), Slashes(folder + "IMG_0001.JPG\n" + folder + "M\\IMG_0001-2024.JPG\n\n" +
                         "まとめ (テスト): コピー予定 1 個、除外 1 個 (Exif情報なし 1 個)\n"));
  }

  bool readable = false;
  try {
    readable = TExifData().LoadFromGraphic(jpg);
  } catch (...) {
  }
  if (!readable) {
    fs::remove_all(dir);
    GTEST_SKIP() << "the metadata reader does not read Exif files yet";
  }
  CliResult r = Capture([&](std::FILE* out, std::FILE* err) {
    return RunCli({u"plan", u"--folder", u"@メーカー\\@年4", u"--name", u"@年4@月2@日2-@時2@分2@秒2(@曜1)", jpg, txt},
                  out, err);
  });
  EXPECT_EQ(r.status, 0) << r.err;
  int spaceLines = 0;
  EXPECT_EQ(WithoutSpaceLines(r.out, &spaceLines), Slashes(folder + "IMG_0001.JPG\n" + folder + "FixtureCam\\2024\\20240501-090307(水).JPG\n\n" +
                       "まとめ (テスト): コピー予定 1 個、除外 1 個 (Exif情報なし 1 個)\n"));
  EXPECT_EQ(spaceLines, 1) << "the room the copy needs on its one volume";
  fs::remove_all(dir);
}

// Cameras pad Make and Model with NULs or blanks and may end a date with two NULs: the log
// (and `info`) show the texts the cameras meant, and "@モデル\\@年4@月2@日2" plans clean folders.
TEST(PlanCommandFiles, PaddedCameraTextsPlanCleanFolders) {
  namespace fs = std::filesystem;
  using namespace tess::fixtures;
  fs::path dir = fs::path(MakeTempFolder("plancams"));
  auto photo = [](const Bytes& make, const Bytes& model, const Bytes& original) {
    TiffBuilder b;
    b.AddDirectory({AsciiRaw(271, make), AsciiRaw(272, model), Pointer(34665, 1)});
    b.AddDirectory({AsciiRaw(36867, original)});
    return Jpeg({Segment(0xE1, ExifBlock(b.Build()))});
  };
  auto nul = [](const std::string& text, size_t nuls) { return Concat({Text(text), Bytes(nuls, 0)}); };
  WriteFile((dir / "IMG_0001.JPG").u16string(),
            photo(nul("Canon", 1), nul("Canon EOS 350D DIGITAL", 10), nul("2006:10:06 15:13:54", 1)));
  WriteFile((dir / "DSCF0002.JPG").u16string(),
            photo(nul("FUJIFILM", 1), nul("FinePix E500   ", 1), nul("2005:08:14 11:02:03", 1)));
  WriteFile((dir / "DSCF0003.JPG").u16string(),
            photo(nul("FUJIFILM", 1), nul("FinePix4900Zoom", 1), nul("2001:05:12 10:20:30", 2)));
  std::string folder = (dir / "").string();
  for (char& c : folder)
    if (c == '/') c = '\\';
  std::unique_ptr<LocaleData> japanese = MakeJapaneseLocale();
  ScopedLocaleOverride guard(*japanese);

  CliResult r = Capture([&](std::FILE* out, std::FILE* err) {
    return RunCli({u"plan", u"--folder", u"@モデル\\@年4@月2@日2", u"--name", u"@file", dir.u16string()}, out, err);
  });
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(WithoutSpaceLines(r.out), Slashes(folder + "DSCF0002.JPG\n" + folder + "FinePix E500\\20050814\\DSCF0002.JPG\n\n" +
                       folder + "DSCF0003.JPG\n" + folder + "FinePix4900Zoom\\20010512\\DSCF0003.JPG\n\n" +
                       folder + "IMG_0001.JPG\n" + folder + "Canon EOS 350D DIGITAL\\20061006\\IMG_0001.JPG\n\n" +
                       "まとめ (テスト): コピー予定 3 個\n"));

  CliResult info = Capture([&](std::FILE* out, std::FILE* err) { return RunCli({u"info", dir.u16string()}, out, err); });
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("\t2001/05/12 10:20:30.000\tFUJIFILM\tFinePix4900Zoom\t\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("\tFUJIFILM\tFinePix E500\t\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("\tCanon\tCanon EOS 350D DIGITAL\t\n"), std::string::npos) << info.out;
  fs::remove_all(dir);
}

// Natively a folder template from "/" names that folder, and one from "\" (on Windows the
// photo's drive) the root: a path as the system writes it has no drive.
TEST_F(PlanCommandTest, NativelyAFolderTemplateFromTheRootIsAbsolute) {
  if (kNativeWindowsPaths) GTEST_SKIP() << "Windows paths have drives: the table of destination rules covers them";
  struct Case { const char* folder; const char* destination; } cases[] = {
      {"/photos/o2", "/photos/o2/IMG_0001.JPG"},
      {"/home/me/Photos/@年4", "/home/me/Photos/2024/IMG_0001.JPG"},
      {"/photos/../o3/./@月2", "/o3/05/IMG_0001.JPG"},
      {"/", "/IMG_0001.JPG"},
      {"\\DSC\\@年4", "/DSC/2024/IMG_0001.JPG"},
      {"Out", "/DCIM/100/Out/IMG_0001.JPG"},
  };
  for (const Case& c : cases) {
    CliResult r = Plan({"--folder", c.folder, "--name", "@file", "/DCIM/100/IMG_0001.JPG"});
    EXPECT_EQ(r.status, 0) << c.folder << r.err;
    EXPECT_EQ(r.out, std::string("/DCIM/100/IMG_0001.JPG\n") + c.destination + "\n\nまとめ (テスト): コピー予定 1 個\n")
        << c.folder;
  }
}

// Camera clock rules from the command line, over the stored ones or without them.
TEST_F(PlanCommandTest, ShiftsACamerasClock) {
  metadata.photos[u"/DCIM/100/IMG_0002.JPG"].model = u"X-H2";
  const char* folder = "--folder";
  const char* name = "--name";
  const std::string one = "\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\";
  const std::string two = "\\DCIM\\100\\IMG_0002.JPG\n\\DCIM\\100\\";
  const struct {
    const char* name;
    std::vector<const char*> options;
    std::string log;
  } cases[] = {
      {"no rule", {}, one + "0903.JPG\n\n" + two + "0915.JPG\n\nまとめ (テスト): コピー予定 2 個\n"},
      {"by model", {"--shift", "X-T5=+1:00:00"},
       one + "1003.JPG\n2024/05/01 09:03:07 → 10:03:07 (+1:00:00, FUJIFILM X-T5)\n\n" + two +
           "0915.JPG\n\nまとめ (テスト): コピー予定 2 個、時刻補正 1 個 (FUJIFILM X-T5 1 個)\n"},
      {"by make and model", {"--shift", "FUJIFILM/X-H2=-0:15:00"},
       one + "0903.JPG\n\n" + two + "0900.JPG\n2024/05/01 09:15:12 → 09:00:12 (-0:15:00, FUJIFILM X-H2)\n\n" +
           "まとめ (テスト): コピー予定 2 個、時刻補正 1 個 (FUJIFILM X-H2 1 個)\n"},
      {"every camera, a day back", {"--shift", "*=-1d00:00:00", "--shift", "FUJIFILM X-H2=+0:00:01"},
       one + "0903.JPG\n2024/05/01 09:03:07 → 2024/04/30 09:03:07 (-1d00:00:00, *)\n\n" + two +
           "0915.JPG\n2024/05/01 09:15:12 → 09:15:13 (+0:00:01, FUJIFILM X-H2)\n\n" +
           "まとめ (テスト): コピー予定 2 個、時刻補正 2 個 (* 1 個、FUJIFILM X-H2 1 個)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::u16string> args = Args({folder, "@folder", name, "@h2@n2"});
    for (const char* o : c.options) args.push_back(FromUtf8(o));
    args.push_back(u"/DCIM/100/IMG_0001.JPG");
    args.push_back(u"/DCIM/100/IMG_0002.JPG");
    PlanEnvironment env{directory, metadata, &files, &io, &cancel};
    env.settings = &settings;
    CliResult r = Capture([&](std::FILE* out, std::FILE* err) { return RunPlanCommandWith(args, out, err, env); });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, N(c.log));
  }
  // The stored rule applies unless told not to; one given here goes over it.
  ClockRules stored;
  stored.Set({{u"FUJIFILM", u"X-T5", u""}, 7200});
  ASSERT_TRUE(WriteClockRules(settings, stored));
  EXPECT_NE(Plan({folder, "@folder", name, "@h2@n2", "/DCIM/100/IMG_0001.JPG"}).out.find("1103.JPG"), std::string::npos);
  EXPECT_NE(Plan({folder, "@folder", name, "@h2@n2", "--no-stored-rules", "/DCIM/100/IMG_0001.JPG"}).out.find("0903.JPG"),
            std::string::npos);
  EXPECT_NE(Plan({folder, "@folder", name, "@h2@n2", "--shift", "X-T5=-0:00:07", "/DCIM/100/IMG_0001.JPG"}).out.find("0903.JPG\n2024/05/01 09:03:07 → 09:03:00"),
            std::string::npos);
  // Bad input: a clear message, exit 2, nothing planned.
  for (std::initializer_list<const char*> bad :
       {std::initializer_list<const char*>{"--shift", "X-T5=+1h"}, {"--shift", "X-T5"}, {"--shift", "EOS R6=+1:00:00"},
        {"--video-local", "EOS R6"}, {"--shift"}}) {
    std::vector<std::u16string> args = Args({folder, "@folder", name, "@h2@n2"});
    for (const char* o : bad) args.push_back(FromUtf8(o));
    if (args.size() % 2 == 0) args.push_back(u"/DCIM/100/IMG_0001.JPG");
    PlanEnvironment env{directory, metadata, &files, &io, &cancel};
    env.settings = &settings;
    CliResult r = Capture([&](std::FILE* out, std::FILE* err) { return RunPlanCommandWith(args, out, err, env); });
    EXPECT_EQ(r.status, 2) << ToUtf8(args[4]);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("tessarine-cli plan: "), std::string::npos) << r.err;
  }
}

TEST_F(PlanCommandTest, ABackupFolderGetsEveryPhotoUnderTheSameName) {
  CliResult r = Plan({"--folder", "@年4@月2@日2", "--name", "@年4@月2@日2-@時2@分2@秒2", "--backup-folder",
                      "..\\Backup", "/DCIM/100/IMG_0001.JPG", "--run"});
  EXPECT_EQ(r.status, 0) << r.err << r.out;
  ASSERT_TRUE(files.Find(u"\\DCIM\\100\\20240501\\20240501-090307.JPG"));
  ASSERT_TRUE(files.Find(u"\\DCIM\\Backup\\20240501-090307.JPG"));
  EXPECT_EQ(files.Find(u"\\DCIM\\Backup\\20240501-090307.JPG")->bytes, "JPEG 1");
  EXPECT_NE(r.out.find(N("バックアップ先: \\DCIM\\Backup\\20240501-090307.JPG\n")), std::string::npos) << r.out;
}
