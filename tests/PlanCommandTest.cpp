// `tessarine-cli plan`: the rename dialog's log from the command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli/Cli.h"
#include "cli/PlanCommand.h"
#include "exif/Exif.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "support/RecordFakes.h"
#include "support/FakeFiles.h"
#include "support/RenameFixtures.h"

using namespace tess;
using namespace tess::testing;

namespace {

std::string ReadAll(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  return text;
}

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
  CliResult Plan(std::initializer_list<const char*> args, bool shellAvailable = false) {
    PlanEnvironment env{directory, metadata, shell, shellAvailable, &files};
    return Capture([&](std::FILE* out, std::FILE* err) { return RunPlanCommandWith(Args(args), out, err, env); });
  }

  std::unique_ptr<LocaleData> japanese_ = MakeJapaneseLocale();
  ScopedLocaleOverride override_{*japanese_};
  FakeDirectoryLister directory;
  FakeMetadataSource metadata;
  FakeFiles files;
  FileWorkShell shell{files};
};

}  // namespace

TEST_F(PlanCommandTest, PrintsTheTestRunLog) {
  CliResult r = Plan({"--folder", "@年4@月2@日2", "--name", "@年4@月2@日2-@時2@分2@秒2", "--action", "move",
                      "/DCIM/100/IMG_0001.JPG", "/DCIM/100/notes.txt", "/DCIM/100/IMG_0002.JPG"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\20240501\\20240501-090307.JPG\n\n"
            "\\DCIM\\100\\IMG_0002.JPG\n\\DCIM\\100\\20240501\\20240501-091512.JPG\n\n");
  EXPECT_TRUE(shell.fileOperations.empty());
}

TEST_F(PlanCommandTest, OrderGivenAndMarkers) {
  CliResult r = Plan({"--name", "@FILE", "--folder", "E:\\DSC\\@model", "/DCIM/100/IMG_0002.JPG", "/DCIM/100/IMG_0001.JPG"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "\\DCIM\\100\\IMG_0002.JPG\nE:\\DSC\\X-T5\\IMG_0002.JPG\n\n"
            "\\DCIM\\100\\IMG_0001.JPG\nE:\\DSC\\X-T5\\IMG_0001.JPG\n\n");
}

TEST_F(PlanCommandTest, NothingWithMetadataAndRefusals) {
  CliResult none = Plan({"--folder", "x", "--name", "y", "/DCIM/100/notes.txt"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "ファイルが見つかりません。\n");

  CliResult onto = Plan({"--folder", "@folder", "--name", "@file", "/DCIM/100/IMG_0001.JPG"});
  EXPECT_EQ(onto.status, 1);
  EXPECT_EQ(onto.out, "\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\IMG_0001.JPG\n\nコピー元と同じファイルです: \\DCIM\\100\\IMG_0001.JPG\n");
}

TEST_F(PlanCommandTest, ACameraTextPaddedWithNulsKeepsEveryLineWhole) {
  metadata.photos[u"/DCIM/100/IMG_0001.JPG"].model = std::u16string(u"EOS\0\0", 5);
  CliResult r = Plan({"--folder", "@model", "--name", "@file", "/DCIM/100/IMG_0001.JPG"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, std::string("\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\EOS\0\0\\IMG_0001.JPG\n\n", 53) +
                       "コピー先に使えない文字があります: \\DCIM\\100\\IMG_0001.JPG\n");
}

TEST_F(PlanCommandTest, RunGoesThroughTheShellWhereThereIsOne) {
  CliResult refused = Plan({"--folder", "Out", "--name", "@file", "--run", "/DCIM/100/IMG_0001.JPG"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("--run needs Windows"), std::string::npos) << refused.err;
  EXPECT_TRUE(shell.fileOperations.empty());

  CliResult run = Plan({"--folder", "Out", "--name", "@file", "--action", "copy", "--run", "/DCIM/100/IMG_0001.JPG"}, true);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\Out\\IMG_0001.JPG\n\n1 個のファイルをコピー/リネームしました。\n");
  ASSERT_EQ(shell.fileOperations.size(), 1u);
  EXPECT_EQ(shell.fileOperations[0].wFunc, 2u);

  // A shell that does nothing: whatever it returns, the run tells what did not happen.
  shell.work = {FileWorkShell::Work::Skip};
  CliResult failed = Plan({"--folder", "Out2", "--name", "@file", "--action", "move", "--run", "/DCIM/100/IMG_0001.JPG"}, true);
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out,
            "\\DCIM\\100\\IMG_0001.JPG\n\\DCIM\\100\\Out2\\IMG_0001.JPG\n\n"
            "移動できませんでした (コピー元はそのままです): \\DCIM\\100\\IMG_0001.JPG\nファイルの移動/リネームに失敗しました。\n");
}

TEST_F(PlanCommandTest, UsageErrors) {
  struct Case { std::initializer_list<const char*> args; const char* message; } cases[] = {
      {{"--name", "n", "/DCIM/100/IMG_0001.JPG"}, "--folder is required"},
      {{"--folder", "f", "/DCIM/100/IMG_0001.JPG"}, "--name is required"},
      {{"--folder", "f", "--name", "n"}, "no PATH given"},
      {{"--folder", "f", "--name", "n", "--action", "rename", "/a"}, "--action is copy or move"},
      {{"--folder", "f", "--name", "n", "--bogus", "/a"}, "unknown option '--bogus'"},
      {{"--folder"}, "--folder needs a value"},
      {{"--folder", "f", "--name", "n", "/DCIM/100/missing.JPG"}, "cannot find '/DCIM/100/missing.JPG'"},
  };
  for (const Case& c : cases) {
    CliResult r = Plan(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  CliResult help = Plan({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: tessarine-cli plan"), std::string::npos);
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
    RecordingShell shell;
    PlanEnvironment env{PlatformDirectoryLister(), metadata, shell, false};
    CliResult r = Capture([&](std::FILE* out, std::FILE* err) {
      return RunPlanCommandWith({u"--folder", u"@モデル", u"--name", u"@file-@年4", jpg, txt}, out, err, env);
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, folder + "IMG_0001.JPG\n" + folder + "M\\IMG_0001-2024.JPG\n\n");
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
  EXPECT_EQ(r.out, folder + "IMG_0001.JPG\n" + folder + "FixtureCam\\2024\\20240501-090307(水).JPG\n\n");
  fs::remove_all(dir);
}
