// The EXIF rename run: destinations, log lines character for character, the file work
// and the refusals that keep every photo safe.
#include <gtest/gtest.h>

#include <algorithm>

#include "exif/Exif.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "rename/RenameRun.h"
#include "support/FakeTransfer.h"

using namespace tess;
using tess::testing::FakeFiles;
using tess::testing::FakeTransfer;

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
    io.Reset();
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
    RenameRunControl control;
    control.cancel = &cancel;
    return DoExifRename({folder, name, action}, sources, entries, test, log, files, io, control);
  }
  // Whether the run wrote, renamed or removed any file.
  bool Touched() const { return io.written > 0 || io.renames > 0 || io.removed > 0; }
  static std::string Bytes(const std::u16string& name) { return "JPEG of " + ToUtf8(name); }

  std::unique_ptr<LocaleData> japanese_ = MakeJapaneseLocale();
  ScopedLocaleOverride override_{*japanese_};
  TRenameSourceList sources;
  TExifFilesToList entries;
  FakeFiles files;
  FakeTransfer io{files};
  CancelToken cancel;
  RecordedRenameLog log;
};

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
  // Within one volume a move is a rename: nothing copied.
  EXPECT_EQ(io.written, 0u);
  EXPECT_EQ(files.Find(u"C:\\DCIM\\100\\20240501\\20240501-091512.JPG")->bytes, Bytes(u"IMG_0002.JPG"));
  EXPECT_FALSE(files.Find(u"C:\\DCIM\\100\\IMG_0002.JPG"));

  // The same settings as a test run: the same pairs, no count, no file touched.
  Select({{u"C:\\DCIM\\100\\", u"IMG_0001.JPG", kFirst}, {u"C:\\DCIM\\100\\", u"IMG_0002.JPG", kSecond}});
  EXPECT_EQ(Run(u"@年4@月2@日2", u"@年4@月2@日2-@時2@分2@秒2", 1, true), RenameOutcome::Planned);
  EXPECT_EQ(log.lines.size(), 6u);
  EXPECT_EQ(log.lines[4], u"C:\\DCIM\\100\\20240501\\20240501-091512.JPG");
  EXPECT_FALSE(Touched());
  EXPECT_TRUE(files.Find(u"C:\\DCIM\\100\\IMG_0002.JPG"));
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
  EXPECT_FALSE(Touched());
}

TEST_F(RenameRunTest, ActionAndOutcome) {
  // A photo from the card E: to C:, copied and proved, whatever goes wrong on the way.
  struct Case {
    const char* what;
    int action;
    void (*fault)(FakeTransfer&);
    Lines tail;
    RenameOutcome outcome;
  } cases[] = {
      {"no action chosen: copy", -1, nullptr, {u"1 個のファイルをコピー/リネームしました。"}, RenameOutcome::Done},
      {"copy", 0, nullptr, {u"1 個のファイルをコピー/リネームしました。"}, RenameOutcome::Done},
      {"move", 1, nullptr, {u"1 個のファイルを移動/リネームしました。"}, RenameOutcome::Done},
      {"a full disk", 0, [](FakeTransfer& t) { t.spaceLeft = 3; },
       {u"コピーできませんでした (コピー元はそのままです): E:\\A\\a.jpg", u"ファイルのコピー/リネームに失敗しました。"},
       RenameOutcome::Failed},
      {"a card read failing half-way", 1, [](FakeTransfer& t) { t.failingReads = {u"E:\\A\\a.jpg"}; },
       {u"移動できませんでした (コピー元はそのままです): E:\\A\\a.jpg", u"ファイルの移動/リネームに失敗しました。"},
       RenameOutcome::Failed},
      {"one wrong byte in the copy", 1, [](FakeTransfer& t) { t.corruptNamesWith = u"a.jpg"; },
       {u"検証に失敗しました (コピー元はそのままです): E:\\A\\a.jpg", u"ファイルの移動/リネームに失敗しました。"},
       RenameOutcome::Failed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Select({{u"E:\\A\\", u"a.jpg", kFirst}});
    if (c.fault) c.fault(io);
    EXPECT_EQ(Run(u"C:\\Out", u"@file", c.action, false), c.outcome);
    Lines expected{u"E:\\A\\a.jpg", u"C:\\Out\\a.jpg", u""};
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(log.lines, expected);
    EXPECT_EQ(log.beeps, c.outcome == RenameOutcome::Failed ? 1 : 0);
    const bool done = c.outcome == RenameOutcome::Done;
    EXPECT_EQ(files.Find(u"E:\\A\\a.jpg") != nullptr, !done || c.action <= 0) << "the source stays";
    EXPECT_EQ(files.Find(u"C:\\Out\\a.jpg") != nullptr, done);
    EXPECT_EQ(files.HasFolder(u"C:\\Out"), done) << "a folder made for nothing goes";
  }
}

TEST_F(RenameRunTest, CancelEndsTheLogWithWhatWasNotDone) {
  for (int action : {0, 1}) {
    SCOPED_TRACE(action);
    Select({{u"E:\\A\\", u"a.jpg", kFirst}, {u"E:\\A\\", u"b.jpg", kFirst}, {u"E:\\A\\", u"c.jpg", kSecond}});
    io.cancel = &cancel;
    io.cancelAfterBytes = Bytes(u"a.jpg").size() + 1;  // in the middle of the second photo
    EXPECT_EQ(Run(u"C:\\Out", u"@file", action, false), RenameOutcome::Cancelled);
    Lines tail(log.lines.begin() + 9, log.lines.end());
    EXPECT_EQ(tail, (Lines{action == 0 ? u"1 個のファイルをコピー/リネームしました。" : u"1 個のファイルを移動/リネームしました。",
                           u"中止しました: 2 個のファイルは処理されていません"}));
    EXPECT_EQ(log.beeps, 0);
    EXPECT_TRUE(files.Find(u"C:\\Out\\a.jpg"));
    for (const char16_t* name : {u"b.jpg", u"c.jpg"}) {
      EXPECT_EQ(files.Find(u"E:\\A\\" + std::u16string(name))->bytes, Bytes(name));
      EXPECT_FALSE(files.Find(u"C:\\Out\\" + std::u16string(name)));
    }
    EXPECT_EQ(files.files.size(), action == 0 ? 4u : 3u) << "no temporary file left";
    cancel.Reset();
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
      EXPECT_EQ(Run(c.folder, c.name, c.action, test), RenameOutcome::Refused);
      ASSERT_EQ(log.lines.size(), c.photos.size() * 3 + c.problems.size() + (test ? 0 : 1));
      Lines tail(log.lines.begin() + std::ptrdiff_t(c.photos.size() * 3), log.lines.end());
      Lines expected = c.problems;
      if (!test) expected.push_back(c.action == 0 ? u"ファイルのコピー/リネームに失敗しました。" : u"ファイルの移動/リネームに失敗しました。");
      EXPECT_EQ(tail, expected);
      EXPECT_EQ(log.beeps, 1);
      EXPECT_FALSE(Touched());
    }
  }
}

TEST_F(RenameRunTest, RepeatingAMoveReplacesNothing) {
  Select({{u"C:\\A\\", u"a.jpg", kFirst}});
  EXPECT_EQ(Run(u"C:\\Out", u"@file", 1, false), RenameOutcome::Done);
  // The rename lists still name the moved file; its destination now holds it.
  io.renames = 0;
  EXPECT_EQ(Run(u"C:\\Out", u"@file", 1, false), RenameOutcome::Refused);
  EXPECT_EQ(log.lines, (Lines{u"C:\\A\\a.jpg", u"C:\\Out\\a.jpg", u"", u"コピー元が見つかりません: C:\\A\\a.jpg",
                              u"ファイルの移動/リネームに失敗しました。"}));
  EXPECT_EQ(io.renames, 0);
  EXPECT_EQ(files.Find(u"C:\\Out\\a.jpg")->bytes, Bytes(u"a.jpg"));
}

TEST_F(RenameRunTest, MoveToTheSamePathLeavesTheFileOutOfTheBatch) {
  const std::u16string f = u"C:\\A\\";
  // Everything already in place: no file touched, and a true count.
  Select({{f, u"a.jpg", kFirst}, {f, u"b.jpg", kSecond}});
  EXPECT_EQ(Run(u"@folder", u"@file", 1, false), RenameOutcome::Done);
  EXPECT_FALSE(Touched());
  EXPECT_EQ(log.lines.back(), u"2 個のファイルを移動/リネームしました。");
  EXPECT_EQ(log.beeps, 0);

  // Only the files that change place are moved.
  Select({{f, u"a.jpg", kFirst}, {u"C:\\B\\", u"b.jpg", kSecond}});
  EXPECT_EQ(Run(u"C:\\A", u"@file", 1, false), RenameOutcome::Done);
  EXPECT_EQ(io.renames, 1);
  EXPECT_EQ(files.Find(u"C:\\A\\b.jpg")->bytes, Bytes(u"b.jpg"));

  // The same file by another spelling is in place too: no file is ever moved onto itself.
  Select({{f, u"a.jpg", kFirst}, {u"C:\\B\\", u"b.jpg", kSecond}});
  EXPECT_EQ(Run(u".", u"@file", 1, false), RenameOutcome::Done);
  EXPECT_FALSE(Touched());
  EXPECT_EQ(log.lines[1], u"C:\\A\\.\\a.jpg");
  EXPECT_EQ(log.lines.back(), u"2 個のファイルを移動/リネームしました。");
  Select({{f, u"README", kFirst}});
  EXPECT_EQ(Run(u"@folder", u"@file. ", 1, false), RenameOutcome::Done);
  EXPECT_FALSE(Touched());
}

TEST_F(RenameRunTest, ExistingDestinationsAreLookedAtFirst) {
  const std::u16string f = u"C:\\Card\\";
  const Lines pairs{f + u"a.jpg", u"C:\\Out\\a.jpg", u"", f + u"b.jpg", u"C:\\Out\\b.jpg", u"",
                    f + u"c.jpg", u"C:\\Out\\c.jpg", u""};
  auto three = [&] { Select({{f, u"a.jpg", kFirst}, {f, u"b.jpg", kFirst}, {f, u"c.jpg", kSecond}}); };

  for (int action : {0, 1}) {
    SCOPED_TRACE(action);
    // Filed before: the same bytes under the destination's name (in another letter case).
    // Left out with a line of its own, in the test run too; the rest goes ahead.
    for (bool test : {true, false}) {
      three();
      files.Put(u"C:\\OUT\\B.JPG", Bytes(u"b.jpg"));
      EXPECT_EQ(Run(u"C:\\Out", u"@file", action, test), test ? RenameOutcome::Planned : RenameOutcome::Done);
      Lines expected = pairs;
      expected.push_back(u"コピー先に同じファイルがあるため除外します: C:\\Out\\b.jpg");
      if (!test) expected.push_back(action == 0 ? u"2 個のファイルをコピー/リネームしました。" : u"2 個のファイルを移動/リネームしました。");
      EXPECT_EQ(log.lines, expected);
      EXPECT_EQ(log.beeps, 0);
      EXPECT_TRUE(files.Find(f + u"b.jpg")) << "the filed photo's source stays";
      if (test) continue;
      EXPECT_EQ(files.Find(u"C:\\Out\\c.jpg")->bytes, Bytes(u"c.jpg"));
      EXPECT_EQ(files.Find(f + u"a.jpg") != nullptr, action == 0);
    }

    // Anything else at a destination refuses the batch before any file is touched.
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
        EXPECT_EQ(Run(u"C:\\Out", u"@file", action, test), RenameOutcome::Refused);
        Lines expected = pairs;
        expected.push_back(c.line);
        if (!test) expected.push_back(action == 0 ? u"ファイルのコピー/リネームに失敗しました。" : u"ファイルの移動/リネームに失敗しました。");
        EXPECT_EQ(log.lines, expected);
        EXPECT_EQ(log.beeps, 1);
        EXPECT_FALSE(Touched());
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

TEST_F(RenameRunTest, OnlyProvedCopiesCount) {
  // From the card E: to C:, so that every photo is copied and read back.
  const std::u16string f = u"E:\\Card\\";
  struct Case {
    const char* what;
    int action;
    void (*fault)(FakeTransfer&);
    Lines tail;
    std::vector<bool> arrived;
    std::vector<bool> sourceStays;
  } cases[] = {
      {"a card read failing half-way", 1, [](FakeTransfer& t) { t.failingReads = {u"E:\\Card\\b.jpg"}; },
       {u"移動できませんでした (コピー元はそのままです): E:\\Card\\b.jpg", u"2 個のファイルを移動/リネームしました。",
        u"ファイルの移動/リネームに失敗しました。"},
       {true, false, true}, {false, true, false}},
      {"a full disk", 1, [](FakeTransfer& t) { t.spaceLeft = 20; },
       {u"移動できませんでした (コピー元はそのままです): E:\\Card\\b.jpg",
        u"移動できませんでした (コピー元はそのままです): E:\\Card\\c.jpg", u"1 個のファイルを移動/リネームしました。",
        u"ファイルの移動/リネームに失敗しました。"},
       {true, false, false}, {false, true, true}},
      {"a copy with a wrong byte", 0, [](FakeTransfer& t) { t.corruptNamesWith = u"c.jpg"; },
       {u"検証に失敗しました (コピー元はそのままです): E:\\Card\\c.jpg", u"2 個のファイルをコピー/リネームしました。",
        u"ファイルのコピー/リネームに失敗しました。"},
       {true, true, false}, {true, true, true}},
      {"every read failing", 1, [](FakeTransfer& t) { t.failingReads = {u"E:\\Card\\a.jpg", u"E:\\Card\\b.jpg", u"E:\\Card\\c.jpg"}; },
       {u"移動できませんでした (コピー元はそのままです): E:\\Card\\a.jpg",
        u"移動できませんでした (コピー元はそのままです): E:\\Card\\b.jpg",
        u"移動できませんでした (コピー元はそのままです): E:\\Card\\c.jpg", u"ファイルの移動/リネームに失敗しました。"},
       {false, false, false}, {true, true, true}},
      {"a write-protected card", 1, [](FakeTransfer& t) { t.lockedSources = {u"E:\\Card\\a.jpg", u"E:\\Card\\c.jpg"}; },
       {u"コピーされましたがコピー元が残っています: E:\\Card\\a.jpg",
        u"コピーされましたがコピー元が残っています: E:\\Card\\c.jpg", u"1 個のファイルを移動/リネームしました。",
        u"ファイルの移動/リネームに失敗しました。"},
       {true, true, true}, {true, false, true}},
      {"everything done", 1, nullptr, {u"3 個のファイルを移動/リネームしました。"}, {true, true, true}, {false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Select({{f, u"a.jpg", kFirst}, {f, u"b.jpg", kFirst}, {f, u"c.jpg", kSecond}});
    if (c.fault) c.fault(io);
    const bool failed = c.tail.size() > 1;
    EXPECT_EQ(Run(u"C:\\Out\\@年4\\@月2", u"@file", c.action, false),
              failed ? RenameOutcome::Failed : RenameOutcome::Done);
    Lines tail(log.lines.begin() + 9, log.lines.end());
    EXPECT_EQ(tail, c.tail);
    EXPECT_EQ(log.beeps, failed ? 1 : 0);
    bool anyArrived = false;
    for (size_t i = 0; i < 3; ++i) {
      const std::u16string name = std::u16string(1, char16_t(u'a' + i)) + u".jpg";
      const FakeFiles::File* arrived = files.Find(u"C:\\Out\\2024\\05\\" + name);
      const FakeFiles::File* source = files.Find(f + name);
      // Whatever arrived is whole; what did not arrive left its source whole.
      EXPECT_EQ(arrived != nullptr, bool(c.arrived[i])) << i;
      if (arrived) EXPECT_EQ(arrived->bytes, Bytes(name));
      EXPECT_EQ(source != nullptr, bool(c.sourceStays[i])) << i;
      if (source) EXPECT_EQ(source->bytes, Bytes(name));
      anyArrived = anyArrived || arrived;
    }
    EXPECT_EQ(files.files.size(), size_t(std::count(c.arrived.begin(), c.arrived.end(), true) +
                                         std::count(c.sourceStays.begin(), c.sourceStays.end(), true)))
        << "no partial or temporary file left";
    // Folders that the batch created and left empty are gone; the others stay.
    EXPECT_EQ(files.HasFolder(u"C:\\Out\\2024\\05"), anyArrived);
    EXPECT_EQ(files.HasFolder(u"C:\\Out"), anyArrived);
  }
}
