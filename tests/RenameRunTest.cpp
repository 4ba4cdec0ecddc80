// The EXIF rename run: destinations, log lines character for character, the batch request
// and the refusals that keep every photo safe.
#include <gtest/gtest.h>

#include "exif/Exif.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "rename/RenameRun.h"
#include "support/RecordingShell.h"

using namespace tess;
using tess::testing::RecordingShell;

namespace {

using Lines = std::vector<std::u16string>;

double Shot(int y, int mo, int d, int h, int mi, int s) {
  double v = 0;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, 0}, v));
  return v;
}

struct Photo {
  std::u16string folder;
  std::u16string name;
  double shot = 0;
  bool exif = true;
  std::u16string model = u"X-T5";
};

class RenameRunTest : public ::testing::Test {
 protected:
  void Select(const std::vector<Photo>& photos) {
    sources.clear();
    entries.Clear();
    for (const Photo& p : photos) {
      auto item = std::make_unique<TExifFilesToListItem>();
      item->Name = p.name;
      item->ExpandFolder = p.folder;
      item->IsExifExist = p.exif;
      item->ExifDateTimeOriginal = p.shot;
      item->ExifCameraModel = p.model;
      item->ExifCameraMake = u"FUJIFILM";
      entries.Add(std::move(item));
      sources.push_back(p.folder + p.name);
    }
  }
  RenameOutcome Run(const std::u16string& folder, const std::u16string& name, int action, bool test) {
    log.lines = {u"stale line"};
    log.beeps = 0;
    return DoExifRename({folder, name, action}, sources, entries, test, shell, 0x1234, log);
  }

  std::unique_ptr<LocaleData> japanese_ = MakeJapaneseLocale();
  ScopedLocaleOverride override_{*japanese_};
  TRenameSourceList sources;
  TExifFilesToList entries;
  RecordingShell shell;
  RecordedRenameLog log;
};

// A packed list as the shell receives it: each path and a NUL, one more NUL, and the one
// more NUL that the batch request adds.
std::u16string Packed(const Lines& paths) {
  std::u16string out;
  for (const std::u16string& p : paths) out += p + u'\0';
  return out + u'\0' + u'\0';
}

const double kFirst = Shot(2024, 5, 1, 9, 3, 7);
const double kSecond = Shot(2024, 5, 1, 9, 15, 12);

}  // namespace

TEST_F(RenameRunTest, RealMoveLogsEveryPairThenTheCount) {
  Select({{u"C:\\DCIM\\100\\", u"IMG_0001.JPG", kFirst}, {u"C:\\DCIM\\100\\", u"IMG_0002.JPG", kSecond}});
  EXPECT_EQ(Run(u"@年4@月2@日2", u"@年4@月2@日2-@時2@分2@秒2", 1, false), RenameOutcome::Done);
  EXPECT_EQ(log.lines, (Lines{u"C:\\DCIM\\100\\IMG_0001.JPG", u"C:\\DCIM\\100\\20240501\\20240501-090307.JPG", u"",
                              u"C:\\DCIM\\100\\IMG_0002.JPG", u"C:\\DCIM\\100\\20240501\\20240501-091512.JPG", u"",
                              u"2 個のファイルを移動/リネームしました。"}));
  EXPECT_EQ(log.beeps, 0);
  ASSERT_EQ(shell.fileOperations.size(), 1u);
  const FileOperationRequest& r = shell.fileOperations[0];
  EXPECT_EQ(r.hwnd, 0x1234u);
  EXPECT_EQ(r.wFunc, 1u);
  EXPECT_EQ(r.fFlags, 0x0241u);
  EXPECT_EQ(r.pFrom, Packed({u"C:\\DCIM\\100\\IMG_0001.JPG", u"C:\\DCIM\\100\\IMG_0002.JPG"}));
  EXPECT_EQ(r.pTo, Packed({u"C:\\DCIM\\100\\20240501\\20240501-090307.JPG", u"C:\\DCIM\\100\\20240501\\20240501-091512.JPG"}));

  // The same settings as a test run: the same pairs, no count, no shell.
  shell.fileOperations.clear();
  EXPECT_EQ(Run(u"@年4@月2@日2", u"@年4@月2@日2-@時2@分2@秒2", 1, true), RenameOutcome::Planned);
  EXPECT_EQ(log.lines.size(), 6u);
  EXPECT_EQ(log.lines[4], u"C:\\DCIM\\100\\20240501\\20240501-091512.JPG");
  EXPECT_TRUE(shell.fileOperations.empty());
}

TEST_F(RenameRunTest, OneFileBatchEndsInThreeNuls) {
  Select({{u"C:\\A\\", u"a.jpg", kFirst}});
  EXPECT_EQ(Run(u"X:\\Out", u"@file", 0, false), RenameOutcome::Done);
  ASSERT_EQ(shell.fileOperations.size(), 1u);
  EXPECT_EQ(shell.fileOperations[0].pFrom, std::u16string(u"C:\\A\\a.jpg\0\0\0", 13));
  EXPECT_EQ(shell.fileOperations[0].pTo, std::u16string(u"X:\\Out\\a.jpg\0\0\0", 15));
  EXPECT_EQ(shell.fileOperations[0].wFunc, 2u);
  EXPECT_EQ(log.lines.back(), u"1 個のファイルをコピー/リネームしました。");
}

TEST_F(RenameRunTest, DestinationRules) {
  struct Case { const char16_t* folder; const char16_t* name; const char16_t* destination; } cases[] = {
      {u"@FOLDER", u"@年4", u"D:\\Photos\\2024.JPG"},
      {u"@Folder", u"@年4", u"D:\\Photos\\2024.JPG"},
      {u"@元のフォルダ名", u"@年4", u"D:\\Photos\\2024.JPG"},
      {u" @folder", u"@年4", u"D:\\Photos\\ folder\\2024.JPG"},
      {u"@folder\\x", u"@年4", u"D:\\Photos\\folder\\x\\2024.JPG"},
      {u"\\DSC\\@年4", u"@file", u"D:\\DSC\\2024\\IMG_0012.JPG"},
      {u"E:\\DSC", u"@file", u"E:\\DSC\\IMG_0012.JPG"},
      {u"e:\\dsc\\", u"@file", u"e:\\dsc\\IMG_0012.JPG"},
      {u"E:DSC", u"@file", u"D:\\Photos\\E:DSC\\IMG_0012.JPG"},
      {u"@モデル", u"@FILE", u"D:\\Photos\\X-T5\\IMG_0012.JPG"},
      {u"@モデル\\@年4@月2@日2", u"@元のファイル名", u"D:\\Photos\\X-T5\\20240501\\IMG_0012.JPG"},
      {u"", u"@年4", u"D:\\Photos\\2024.JPG"},
      {u"Out", u"", u"D:\\Photos\\Out\\.JPG"},
      {u"Out", u"@年4\\@月2@日2", u"D:\\Photos\\Out\\2024\\0501.JPG"},
      {u"Out", u"@file_@通3", u"D:\\Photos\\Out\\IMG_0012_001.JPG"},
      {u"Out", u" @file", u"D:\\Photos\\Out\\ IMG_0012.JPG"},
      {u"Out", u"@file ", u"D:\\Photos\\Out\\IMG_0012 .JPG"},
  };
  for (const Case& c : cases) {
    Select({{u"D:\\Photos\\", u"IMG_0012.JPG", kFirst}});
    EXPECT_EQ(Run(c.folder, c.name, 0, true), RenameOutcome::Planned) << ToUtf8(c.folder) << " " << ToUtf8(c.name);
    EXPECT_EQ(log.lines, (Lines{u"D:\\Photos\\IMG_0012.JPG", c.destination, u""}))
        << ToUtf8(c.folder) << " " << ToUtf8(c.name);
  }
  // A name without a dot gets no extension.
  Select({{u"D:\\Photos\\", u"README", kFirst}});
  Run(u"Out", u"@年4", 0, true);
  EXPECT_EQ(log.lines[1], u"D:\\Photos\\Out\\2024");
}

TEST_F(RenameRunTest, FilesWithoutMetadataLeaveBothListsUncounted) {
  Select({{u"C:\\A\\", u"dir", 0, false}, {u"C:\\A\\", u"a.jpg", kFirst}, {u"C:\\A\\", u"b.txt", 0, false},
          {u"C:\\A\\", u"c.jpg", kSecond}, {u"C:\\A\\", u"d.txt", 0, false}});
  EXPECT_EQ(Run(u"Out", u"@通2", 0, true), RenameOutcome::Planned);
  EXPECT_EQ(log.lines, (Lines{u"C:\\A\\a.jpg", u"C:\\A\\Out\\01.jpg", u"", u"C:\\A\\c.jpg", u"C:\\A\\Out\\02.jpg", u""}));
  EXPECT_EQ(sources, (TRenameSourceList{u"C:\\A\\a.jpg", u"C:\\A\\c.jpg"}));
  ASSERT_EQ(entries.Count(), 2);
  EXPECT_EQ(entries.Get(1)->Name, u"c.jpg");
}

TEST_F(RenameRunTest, NoFileWithMetadata) {
  Select({{u"C:\\A\\", u"dir", 0, false}, {u"C:\\A\\", u"b.txt", 0, false}});
  for (bool test : {true, false}) {
    EXPECT_EQ(Run(u"Out", u"@file", 1, test), RenameOutcome::NoFiles);
    EXPECT_EQ(log.lines, (Lines{u"ファイルが見つかりません。"}));
    EXPECT_EQ(log.beeps, 1);
    EXPECT_TRUE(sources.empty());
    EXPECT_EQ(entries.Count(), 0);
  }
  EXPECT_TRUE(shell.fileOperations.empty());
}

TEST_F(RenameRunTest, ActionAndShellOutcome) {
  struct Case { int action; int shellReturn; bool aborted; unsigned wFunc; const char16_t* last; int beeps; RenameOutcome outcome; } cases[] = {
      {-1, 0, false, 2, u"1 個のファイルをコピー/リネームしました。", 0, RenameOutcome::Done},
      {0, 0, false, 2, u"1 個のファイルをコピー/リネームしました。", 0, RenameOutcome::Done},
      {1, 0, false, 1, u"1 個のファイルを移動/リネームしました。", 0, RenameOutcome::Done},
      {0, 1223, false, 2, u"ファイルのコピー/リネームに失敗しました。", 1, RenameOutcome::Failed},
      {1, 2, false, 1, u"ファイルの移動/リネームに失敗しました。", 1, RenameOutcome::Failed},
      // Cancelled part-way: whatever the shell returned, not a success.
      {1, 0, true, 1, u"ファイルの移動/リネームに失敗しました。", 1, RenameOutcome::Failed},
  };
  for (const Case& c : cases) {
    Select({{u"C:\\A\\", u"a.jpg", kFirst}});
    shell.fileOperations.clear();
    shell.nextFileOperation = {c.shellReturn, c.aborted};
    EXPECT_EQ(Run(u"Out", u"@file", c.action, false), c.outcome);
    ASSERT_EQ(shell.fileOperations.size(), 1u);
    EXPECT_EQ(shell.fileOperations[0].wFunc, c.wFunc);
    EXPECT_EQ(log.lines, (Lines{u"C:\\A\\a.jpg", u"C:\\A\\Out\\a.jpg", u"", c.last}));
    EXPECT_EQ(log.beeps, c.beeps);
  }
}

TEST_F(RenameRunTest, RefusesWhatWouldOverwriteAFile) {
  const std::u16string f = u"C:\\A\\";
  struct Case {
    const char* what;
    std::vector<Photo> photos;
    const char16_t* folder;
    const char16_t* name;
    int action;
    Lines problems;
  } cases[] = {
      {"copy onto itself", {{f, u"a.jpg", kFirst}}, u"@元のフォルダ名", u"@元のファイル名", 0,
       {u"コピー元と同じファイルです: C:\\A\\a.jpg"}},
      {"copy onto itself, other letter case", {{f, u"a.jpg", kFirst}}, u"c:\\a", u"@FILE", 0,
       {u"コピー元と同じファイルです: C:\\A\\a.jpg"}},
      {"copy onto itself, doubled separator", {{f, u"a.jpg", kFirst}}, u"C:\\\\A\\", u"@file", 0,
       {u"コピー元と同じファイルです: C:\\A\\a.jpg"}},
      {"two photos of one second", {{f, u"a.jpg", kFirst}, {f, u"b.jpg", kFirst}}, u"Out", u"@年4@月2@日2-@時2@分2@秒2", 1,
       {u"コピー先が重複しています: C:\\A\\Out\\20240501-090307.jpg"}},
      {"same destination but for letter case",
       {{f, u"a.jpg", kFirst, true, u"X"}, {f, u"b.JPG", kFirst, true, u"x"}}, u"@モデル", u"one", 0,
       {u"コピー先が重複しています: C:\\A\\x\\one.JPG"}},
      {"destination is another source", {{f, u"2.jpg", kFirst}, {f, u"1.jpg", kSecond}}, u"@folder", u"@通1", 1,
       {u"コピー先が別のファイルのコピー元です: C:\\A\\1.jpg", u"コピー先が別のファイルのコピー元です: C:\\A\\2.jpg"}},
      {"copy onto itself through a \".\" folder", {{f, u"a.jpg", kFirst}}, u".", u"@file", 0,
       {u"コピー元と同じファイルです: C:\\A\\a.jpg"}},
      {"copy onto itself through \"..\"", {{f, u"a.jpg", kFirst}}, u"..\\A", u"@file", 0,
       {u"コピー元と同じファイルです: C:\\A\\a.jpg"}},
      {"copy onto itself with a trailing blank", {{f, u"README", kFirst}}, u"@folder", u"@file ", 0,
       {u"コピー元と同じファイルです: C:\\A\\README"}},
      {"one destination spelled two ways", {{f, u"a.jpg", kFirst}, {u"C:\\B\\", u"a.jpg", kSecond}}, u"..\\Out",
       u"@file", 1, {u"コピー先が重複しています: C:\\B\\..\\Out\\a.jpg"}},
      {"a NUL from the camera would split the batch", {{f, u"a.jpg", kFirst, true, std::u16string(u"X\0Y", 3)}},
       u"@モデル", u"@file", 1, {u"コピー先に使えない文字があります: C:\\A\\a.jpg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool test : {true, false}) {
      Select(c.photos);
      shell.fileOperations.clear();
      EXPECT_EQ(Run(c.folder, c.name, c.action, test), RenameOutcome::Refused);
      ASSERT_EQ(log.lines.size(), c.photos.size() * 3 + c.problems.size() + (test ? 0 : 1));
      Lines tail(log.lines.begin() + std::ptrdiff_t(c.photos.size() * 3), log.lines.end());
      Lines expected = c.problems;
      if (!test) expected.push_back(c.action == 0 ? u"ファイルのコピー/リネームに失敗しました。" : u"ファイルの移動/リネームに失敗しました。");
      EXPECT_EQ(tail, expected);
      EXPECT_EQ(log.beeps, 1);
      EXPECT_TRUE(shell.fileOperations.empty());
    }
  }
}

TEST_F(RenameRunTest, MoveToTheSamePathLeavesTheFileOutOfTheBatch) {
  const std::u16string f = u"C:\\A\\";
  // Everything already in place: nothing for the shell, and a true count.
  Select({{f, u"a.jpg", kFirst}, {f, u"b.jpg", kSecond}});
  EXPECT_EQ(Run(u"@folder", u"@file", 1, false), RenameOutcome::Done);
  EXPECT_TRUE(shell.fileOperations.empty());
  EXPECT_EQ(log.lines.back(), u"2 個のファイルを移動/リネームしました。");
  EXPECT_EQ(log.beeps, 0);

  // Only the files that change place go to the shell.
  Select({{f, u"a.jpg", kFirst}, {u"C:\\B\\", u"b.jpg", kSecond}});
  EXPECT_EQ(Run(u"C:\\A", u"@file", 1, false), RenameOutcome::Done);
  ASSERT_EQ(shell.fileOperations.size(), 1u);
  EXPECT_EQ(shell.fileOperations[0].pFrom, Packed({u"C:\\B\\b.jpg"}));
  EXPECT_EQ(shell.fileOperations[0].pTo, Packed({u"C:\\A\\b.jpg"}));

  // The same file by another spelling is in place too: the shell never moves a file onto itself.
  shell.fileOperations.clear();
  Select({{f, u"a.jpg", kFirst}, {u"C:\\B\\", u"b.jpg", kSecond}});
  EXPECT_EQ(Run(u".", u"@file", 1, false), RenameOutcome::Done);
  EXPECT_TRUE(shell.fileOperations.empty());
  EXPECT_EQ(log.lines[1], u"C:\\A\\.\\a.jpg");
  EXPECT_EQ(log.lines.back(), u"2 個のファイルを移動/リネームしました。");
  Select({{f, u"README", kFirst}});
  EXPECT_EQ(Run(u"@folder", u"@file. ", 1, false), RenameOutcome::Done);
  EXPECT_TRUE(shell.fileOperations.empty());

  // A move that only changes the letter case is a real rename.
  shell.fileOperations.clear();
  Select({{f, u"img.jpg", kFirst}});
  EXPECT_EQ(Run(u"@folder", u"IMG", 1, false), RenameOutcome::Done);
  ASSERT_EQ(shell.fileOperations.size(), 1u);
  EXPECT_EQ(shell.fileOperations[0].pTo, Packed({u"C:\\A\\IMG.jpg"}));
}

TEST(FileSystemPathKey, SamePathsShareAKey) {
  struct Case { const char16_t* a; const char16_t* b; bool same; } cases[] = {
      {u"C:\\A\\b.JPG", u"c:\\a\\B.jpg", true},
      {u"C:\\A\\\\b.jpg", u"C:\\A\\b.jpg", true},
      {u"C:/A/b.jpg", u"C:\\A\\b.jpg", true},
      {u"\\\\server\\share\\a", u"\\\\server\\share\\a", true},
      {u"\\\\server\\share\\a", u"\\server\\share\\a", false},
      {u"C:\\Été.jpg", u"C:\\été.jpg", true},
      {u"C:\\ＡＢ.jpg", u"C:\\ａｂ.jpg", true},
      {u"C:\\Ωμέγα", u"C:\\ωμέγα", true},
      {u"C:\\Жук", u"C:\\жук", true},
      {u"C:\\Łódź", u"C:\\łódź", true},
      {u"C:\\a.jpg", u"C:\\b.jpg", false},
      {u"C:\\写真\\a.jpg", u"C:\\写真\\a.jpg", true},
      {u"C:\\a.jpg", u"C:\\a.jpeg", false},
      // Relative segments and the trailing dots and blanks that Windows drops from a name.
      {u"C:\\A\\.\\b.jpg", u"C:\\A\\b.jpg", true},
      {u"C:\\A\\X\\..\\b.jpg", u"C:\\A\\b.jpg", true},
      {u"C:\\..\\b.jpg", u"C:\\b.jpg", true},
      {u"\\\\srv\\share\\..\\..\\a", u"\\\\srv\\share\\a", true},
      {u"C:\\A\\b.jpg. .", u"C:\\A\\b.jpg", true},
      {u"C:\\A\\README ", u"C:\\A\\README", true},
      {u"C:\\A \\b.jpg", u"C:\\A\\b.jpg", false},
      {u"C:\\A\\..b.jpg", u"C:\\A\\b.jpg", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FileSystemPathKey(c.a) == FileSystemPathKey(c.b), c.same) << ToUtf8(c.a) << " / " << ToUtf8(c.b);
}
