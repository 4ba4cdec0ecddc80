// The EXIF rename run: destinations, log lines character for character, the batch request
// and the refusals that keep every photo safe.
#include <gtest/gtest.h>

#include <algorithm>

#include "exif/Exif.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "rename/RenameRun.h"
#include "support/FakeFiles.h"

using namespace tess;
using tess::testing::FakeFiles;
using tess::testing::FileWorkShell;
using Work = FileWorkShell::Work;

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
  // The photos, each also put on the fake disk with bytes of its own.
  void Select(const std::vector<Photo>& photos) {
    sources.clear();
    entries.Clear();
    files.files.clear();
    files.folders.clear();
    files.sameContentCalls = 0;
    shell.work.clear();
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
      files.Put(p.folder + p.name, Bytes(p.name));
    }
  }
  RenameOutcome Run(const std::u16string& folder, const std::u16string& name, int action, bool test) {
    log.lines = {u"stale line"};
    log.beeps = 0;
    return DoExifRename({folder, name, action}, sources, entries, test, shell, 0x1234, log, files);
  }
  static std::string Bytes(const std::u16string& name) { return "JPEG of " + ToUtf8(name); }

  std::unique_ptr<LocaleData> japanese_ = MakeJapaneseLocale();
  ScopedLocaleOverride override_{*japanese_};
  TRenameSourceList sources;
  TExifFilesToList entries;
  FakeFiles files;
  FileWorkShell shell{files};
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
  Select({{u"C:\\DCIM\\100\\", u"IMG_0001.JPG", kFirst}, {u"C:\\DCIM\\100\\", u"IMG_0002.JPG", kSecond}});
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
  // What the shell returned does not decide: what arrived on disk does.
  struct Case { int action; int shellReturn; bool aborted; Work work; unsigned wFunc; Lines tail; int beeps; RenameOutcome outcome; } cases[] = {
      {-1, 0, false, Work::Whole, 2, {u"1 個のファイルをコピー/リネームしました。"}, 0, RenameOutcome::Done},
      {0, 0, false, Work::Whole, 2, {u"1 個のファイルをコピー/リネームしました。"}, 0, RenameOutcome::Done},
      {1, 0, false, Work::Whole, 1, {u"1 個のファイルを移動/リネームしました。"}, 0, RenameOutcome::Done},
      {0, 1223, false, Work::Skip, 2,
       {u"コピーできませんでした (コピー元はそのままです): C:\\A\\a.jpg", u"ファイルのコピー/リネームに失敗しました。"}, 1,
       RenameOutcome::Failed},
      {1, 2, false, Work::Skip, 1,
       {u"移動できませんでした (コピー元はそのままです): C:\\A\\a.jpg", u"ファイルの移動/リネームに失敗しました。"}, 1,
       RenameOutcome::Failed},
      {1, 0, true, Work::Skip, 1,
       {u"移動できませんでした (コピー元はそのままです): C:\\A\\a.jpg", u"ファイルの移動/リネームに失敗しました。"}, 1,
       RenameOutcome::Failed},
      // A failure reported after the file arrived whole: the file is where it belongs.
      {1, 1223, true, Work::Whole, 1, {u"1 個のファイルを移動/リネームしました。"}, 0, RenameOutcome::Done},
  };
  for (const Case& c : cases) {
    Select({{u"C:\\A\\", u"a.jpg", kFirst}});
    shell.fileOperations.clear();
    shell.nextFileOperation = {c.shellReturn, c.aborted};
    shell.work = {c.work};
    EXPECT_EQ(Run(u"Out", u"@file", c.action, false), c.outcome);
    ASSERT_EQ(shell.fileOperations.size(), 1u);
    EXPECT_EQ(shell.fileOperations[0].wFunc, c.wFunc);
    Lines expected{u"C:\\A\\a.jpg", u"C:\\A\\Out\\a.jpg", u""};
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(log.lines, expected);
    EXPECT_EQ(log.beeps, c.beeps);
    if (c.work != Work::Whole || c.action <= 0) EXPECT_TRUE(files.Find(u"C:\\A\\a.jpg")) << "the source stays";
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

TEST_F(RenameRunTest, RepeatingAMoveReplacesNothing) {
  Select({{u"C:\\A\\", u"a.jpg", kFirst}});
  EXPECT_EQ(Run(u"C:\\Out", u"@file", 1, false), RenameOutcome::Done);
  // The rename lists still name the moved file; its destination now holds it.
  shell.fileOperations.clear();
  EXPECT_EQ(Run(u"C:\\Out", u"@file", 1, false), RenameOutcome::Refused);
  EXPECT_EQ(log.lines, (Lines{u"C:\\A\\a.jpg", u"C:\\Out\\a.jpg", u"", u"コピー元が見つかりません: C:\\A\\a.jpg",
                              u"ファイルの移動/リネームに失敗しました。"}));
  EXPECT_TRUE(shell.fileOperations.empty());
  EXPECT_EQ(files.Find(u"C:\\Out\\a.jpg")->bytes, Bytes(u"a.jpg"));
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


TEST_F(RenameRunTest, ExistingDestinationsAreLookedAtBeforeTheShell) {
  const std::u16string f = u"C:\\Card\\";
  const Lines pairs{f + u"a.jpg", u"C:\\Out\\a.jpg", u"", f + u"b.jpg", u"C:\\Out\\b.jpg", u"",
                    f + u"c.jpg", u"C:\\Out\\c.jpg", u""};
  auto three = [&] { Select({{f, u"a.jpg", kFirst}, {f, u"b.jpg", kFirst}, {f, u"c.jpg", kSecond}}); };

  for (int action : {0, 1}) {
    SCOPED_TRACE(action);
    // Filed before: the same bytes under the destination's name (in another letter case).
    // Left out with a line of its own, in the test run too; the rest goes to the shell.
    for (bool test : {true, false}) {
      three();
      files.Put(u"C:\\OUT\\B.JPG", Bytes(u"b.jpg"));
      shell.fileOperations.clear();
      EXPECT_EQ(Run(u"C:\\Out", u"@file", action, test), test ? RenameOutcome::Planned : RenameOutcome::Done);
      Lines expected = pairs;
      expected.push_back(u"コピー先に同じファイルがあるため除外します: C:\\Out\\b.jpg");
      if (!test) expected.push_back(action == 0 ? u"2 個のファイルをコピー/リネームしました。" : u"2 個のファイルを移動/リネームしました。");
      EXPECT_EQ(log.lines, expected);
      EXPECT_EQ(log.beeps, 0);
      EXPECT_TRUE(files.Find(f + u"b.jpg")) << "the filed photo's source stays";
      if (test) continue;
      ASSERT_EQ(shell.fileOperations.size(), 1u);
      EXPECT_EQ(shell.fileOperations[0].pFrom, Packed({f + u"a.jpg", f + u"c.jpg"}));
      EXPECT_EQ(files.Find(u"C:\\Out\\c.jpg")->bytes, Bytes(u"c.jpg"));
      EXPECT_EQ(files.Find(f + u"a.jpg") != nullptr, action == 0);
    }

    // Anything else at a destination refuses the batch, also against a shell that would
    // replace it without asking.
    struct Case { const char* what; void (*put)(FakeFiles&); const char16_t* line; } cases[] = {
        {"another photo", [](FakeFiles& fs) { fs.Put(u"C:\\Out\\b.jpg", "JPEG of another b.jpg"); },
         u"コピー先に別のファイルがあります: C:\\Out\\b.jpg"},
        {"a file of the same size", [](FakeFiles& fs) { fs.Put(u"C:\\Out\\b.jpg", "JPEG of b.jpX"); },
         u"コピー先に別のファイルがあります: C:\\Out\\b.jpg"},
        {"a folder", [](FakeFiles& fs) { fs.folders.insert(FileSystemPathKey(u"C:\\Out\\b.jpg")); },
         u"コピー先に別のファイルがあります: C:\\Out\\b.jpg"},
        {"the source is gone, moved there before",
         [](FakeFiles& fs) {
           fs.Put(u"C:\\Out\\b.jpg", "JPEG of b.jpg");
           fs.RemoveFile(u"C:\\Card\\b.jpg");
         },
         u"コピー元が見つかりません: C:\\Card\\b.jpg"},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      for (bool test : {true, false}) {
        three();
        c.put(files);
        const FakeFiles::File* before = files.Find(u"C:\\Out\\b.jpg");
        std::string kept = before ? before->bytes : "";
        shell.fileOperations.clear();
        EXPECT_EQ(Run(u"C:\\Out", u"@file", action, test), RenameOutcome::Refused);
        Lines expected = pairs;
        expected.push_back(c.line);
        if (!test) expected.push_back(action == 0 ? u"ファイルのコピー/リネームに失敗しました。" : u"ファイルの移動/リネームに失敗しました。");
        EXPECT_EQ(log.lines, expected);
        EXPECT_EQ(log.beeps, 1);
        EXPECT_TRUE(shell.fileOperations.empty());
        if (before) EXPECT_EQ(files.Find(u"C:\\Out\\b.jpg")->bytes, kept);
        EXPECT_TRUE(files.Find(f + u"a.jpg"));
      }
    }
  }

  // An ordinary import reads no bytes: one existence check per photo is all it costs.
  three();
  EXPECT_EQ(Run(u"C:\\Out", u"@file", 1, false), RenameOutcome::Done);
  EXPECT_EQ(files.sameContentCalls, 0);
}

TEST_F(RenameRunTest, EveryPairIsLookedAtAfterTheShell) {
  const std::u16string f = u"C:\\Card\\";
  struct Case {
    const char* what;
    int action;
    std::vector<Work> work;
    Lines tail;
    RenameOutcome outcome;
  } cases[] = {
      {"part of the work, and 0 returned", 1, {Work::Whole, Work::Skip, Work::Whole},
       {u"移動できませんでした (コピー元はそのままです): C:\\Card\\b.jpg", u"2 個のファイルを移動/リネームしました。",
        u"ファイルの移動/リネームに失敗しました。"},
       RenameOutcome::Failed},
      {"a short copy (a full volume)", 1, {Work::Whole, Work::Whole, Work::Short},
       {u"移動できませんでした (コピー元はそのままです): C:\\Card\\c.jpg", u"2 個のファイルを移動/リネームしました。",
        u"ファイルの移動/リネームに失敗しました。"},
       RenameOutcome::Failed},
      {"empty copies", 0, {Work::Empty, Work::Whole, Work::Empty},
       {u"コピーできませんでした (コピー元はそのままです): C:\\Card\\a.jpg",
        u"コピーできませんでした (コピー元はそのままです): C:\\Card\\c.jpg", u"1 個のファイルをコピー/リネームしました。",
        u"ファイルのコピー/リネームに失敗しました。"},
       RenameOutcome::Failed},
      {"nothing done, and 0 returned", 1, {Work::Skip, Work::Skip, Work::Skip},
       {u"移動できませんでした (コピー元はそのままです): C:\\Card\\a.jpg",
        u"移動できませんでした (コピー元はそのままです): C:\\Card\\b.jpg",
        u"移動できませんでした (コピー元はそのままです): C:\\Card\\c.jpg", u"ファイルの移動/リネームに失敗しました。"},
       RenameOutcome::Failed},
      {"copied, but the sources could not be taken away", 1, {Work::CopyOnly, Work::Whole, Work::CopyOnly},
       {u"コピーされましたがコピー元が残っています: C:\\Card\\a.jpg",
        u"コピーされましたがコピー元が残っています: C:\\Card\\c.jpg", u"1 個のファイルを移動/リネームしました。",
        u"ファイルの移動/リネームに失敗しました。"},
       RenameOutcome::Failed},
      {"everything done", 1, {}, {u"3 個のファイルを移動/リネームしました。"}, RenameOutcome::Done},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Select({{f, u"a.jpg", kFirst}, {f, u"b.jpg", kFirst}, {f, u"c.jpg", kSecond}});
    shell.work = c.work;
    EXPECT_EQ(Run(u"C:\\Out\\@年4\\@月2", u"@file", c.action, false), c.outcome);
    Lines tail(log.lines.begin() + 9, log.lines.end());
    EXPECT_EQ(tail, c.tail);
    EXPECT_EQ(log.beeps, c.outcome == RenameOutcome::Failed ? 1 : 0);
    for (size_t i = 0; i < 3; ++i) {
      const std::u16string name = std::u16string(1, char16_t(u'a' + i)) + u".jpg";
      const Work w = i < c.work.size() ? c.work[i] : Work::Whole;
      const FakeFiles::File* arrived = files.Find(u"C:\\Out\\2024\\05\\" + name);
      // Whatever arrived is whole; what did not arrive left its source in place.
      if (w == Work::CopyOnly) {
        ASSERT_TRUE(arrived) << "a whole copy is a photo: it stays";
        EXPECT_EQ(arrived->bytes, Bytes(name));
        EXPECT_EQ(files.Find(f + name)->bytes, Bytes(name));
      } else if (w == Work::Whole) {
        ASSERT_TRUE(arrived);
        EXPECT_EQ(arrived->bytes, Bytes(name));
      } else {
        EXPECT_FALSE(arrived) << "no short copy may pass for a photo";
        ASSERT_TRUE(files.Find(f + name));
        EXPECT_EQ(files.Find(f + name)->bytes, Bytes(name));
      }
    }
    // Folders that the batch created and left empty are gone; the others stay.
    bool anyArrived = c.work.empty() || std::count(c.work.begin(), c.work.end(), Work::Whole) > 0 ||
                      std::count(c.work.begin(), c.work.end(), Work::CopyOnly) > 0;
    EXPECT_EQ(files.HasFolder(u"C:\\Out\\2024\\05"), anyArrived);
    EXPECT_EQ(files.HasFolder(u"C:\\Out"), anyArrived);
  }
}
