// The EXIF rename run: destinations, log lines character for character, the file work
// and the refusals that keep every photo safe.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "exif/Exif.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "platform/DestinationFolders.h"
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
  std::string bytes;  // empty: bytes of its own
  std::u16string serial;
  double header = 0;  // a video's movie header time as written
};

class RenameRunTest : public ::testing::Test {
 protected:
  // The photos, each also put on the fake disk with bytes of its own.
  void Select(const std::vector<Photo>& photos) {
    job = {};
    files.files.clear();
    files.folders.clear();
    files.unknown.clear();
    files.caseTwins.clear();
    files.sameContentCalls = 0;
    io.Reset();
    for (const Photo& p : photos) {
      auto item = std::make_unique<SourceRecord>();
      item->Name = p.name;
      item->Folder = p.folder;
      item->HasMetadata = p.exif;
      item->ExifDateTimeOriginal = p.shot;
      item->ExifCameraModel = p.model;
      item->ExifCameraMake = u"FUJIFILM";
      item->ExifCameraSerial = p.serial;
      item->ExifMovieHeaderTime = p.header;
      job.photos.push_back({p.folder + p.name, *item});
      files.Put(p.folder + p.name, p.bytes.empty() ? Bytes(p.name) : p.bytes);
    }
  }
  RenameOutcome Run(const std::u16string& folder, const std::u16string& name, int action, bool test) {
    log.lines = {u"stale line"};
    log.beeps = 0;
    RenameRunControl control;
    control.cancel = &cancel;
    job.folderTemplate = folder;
    job.nameTemplate = name;
    job.backupFolderTemplate = backupTemplate;
    job.action = action <= 0 ? RenameAction::Copy : RenameAction::Move;
    job.mode = test ? RenameMode::Test : RenameMode::Real;
    RenameRunResult result = RunRenameJob(job, log, files, io, control);
    // As the dialog does: the job keeps the photos not settled.
    job.photos = PhotosLeft(job.photos, result.settled);
    return result.outcome;
  }
  // Whether the run wrote, renamed or removed any file.
  bool Touched() const { return io.written > 0 || io.renames > 0 || io.removed > 0; }
  static std::string Bytes(const std::u16string& name) { return "JPEG of " + ToUtf8(name); }
  // The log without its closing summary line.
  Lines Body() const {
    Lines body = log.lines;
    if (!body.empty() && body.back().rfind(u"まとめ", 0) == 0) body.pop_back();
    return body;
  }

  std::unique_ptr<LocaleData> japanese_ = MakeJapaneseLocale();
  ScopedLocaleOverride override_{*japanese_};
  // The sources of the photos the job still holds.
  Lines Sources() const {
    Lines sources;
    for (const RenamePhoto& photo : job.photos) sources.push_back(photo.source);
    return sources;
  }

  RenameJob job;
  std::u16string backupTemplate;  // none unless a test sets one
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
                              u"2 個のファイルを移動/リネームしました。", u"まとめ: 移動 2 個"}));
  EXPECT_EQ(log.beeps, 0);
  // Within one volume a move is a rename: nothing copied.
  EXPECT_EQ(io.written, 0u);
  EXPECT_EQ(files.Find(u"C:\\DCIM\\100\\20240501\\20240501-091512.JPG")->bytes, Bytes(u"IMG_0002.JPG"));
  EXPECT_FALSE(files.Find(u"C:\\DCIM\\100\\IMG_0002.JPG"));

  // The same settings as a test run: the same pairs, no count, no file touched.
  Select({{u"C:\\DCIM\\100\\", u"IMG_0001.JPG", kFirst}, {u"C:\\DCIM\\100\\", u"IMG_0002.JPG", kSecond}});
  EXPECT_EQ(Run(u"@年4@月2@日2", u"@年4@月2@日2-@時2@分2@秒2", 1, true), RenameOutcome::Planned);
  EXPECT_EQ(log.lines.size(), 7u);
  EXPECT_EQ(log.lines[4], u"C:\\DCIM\\100\\20240501\\20240501-091512.JPG");
  EXPECT_EQ(log.lines[6], u"まとめ (テスト): 移動予定 2 個");
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
      {u"@モデル", u"@FILE", u"D:\\Photos\\X-T5\\IMG_0012.JPG"},
      {u"@モデル\\@年4@月2@日2", u"@元のファイル名", u"D:\\Photos\\X-T5\\20240501\\IMG_0012.JPG"},
      {u"", u"@年4", u"D:\\Photos\\2024.JPG"},
      // A name of nothing takes the photo's own.
      {u"Out", u"", u"D:\\Photos\\Out\\IMG_0012.JPG"},
      {u"Out", u"@モデル@メーカー", u"D:\\Photos\\Out\\X-T5FUJIFILM.JPG"},
      {u"Out", u"@年4\\@月2@日2", u"D:\\Photos\\Out\\2024\\0501.JPG"},
      {u"Out", u"@file_@通3", u"D:\\Photos\\Out\\IMG_0012_001.JPG"},
      {u"Out", u" @file", u"D:\\Photos\\Out\\ IMG_0012.JPG"},
      {u"Out", u"@file ", u"D:\\Photos\\Out\\IMG_0012 .JPG"},
  };
  for (const Case& c : cases) {
    Select({{u"D:\\Photos\\", u"IMG_0012.JPG", kFirst}});
    EXPECT_EQ(Run(c.folder, c.name, 0, true), RenameOutcome::Planned) << ToUtf8(c.folder) << " " << ToUtf8(c.name);
    EXPECT_EQ(Body(), (Lines{u"D:\\Photos\\IMG_0012.JPG", c.destination, u""}))
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
  EXPECT_EQ(log.lines, (Lines{u"C:\\A\\a.jpg", u"C:\\A\\Out\\01.jpg", u"", u"C:\\A\\c.jpg", u"C:\\A\\Out\\02.jpg", u"",
                              u"まとめ (テスト): コピー予定 2 個、除外 3 個 (Exif情報なし 3 個)"}));
  EXPECT_EQ(Sources(), (Lines{u"C:\\A\\a.jpg", u"C:\\A\\c.jpg"}));
  ASSERT_EQ(job.photos.size(), 2u);
  EXPECT_EQ(job.photos[1].record.Name, u"c.jpg");
}

TEST_F(RenameRunTest, NoFileWithMetadata) {
  Select({{u"C:\\A\\", u"dir", 0, false}, {u"C:\\A\\", u"b.txt", 0, false}});
  for (bool test : {true, false}) {
    EXPECT_EQ(Run(u"Out", u"@file", 1, test), RenameOutcome::NoFiles);
    EXPECT_EQ(log.lines, (Lines{u"ファイルが見つかりません。"}));
    EXPECT_EQ(log.beeps, 1);
    EXPECT_TRUE(job.photos.empty());
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
       {u"コピーできませんでした (コピー元はそのままです): E:\\A\\a.jpg (ディスクの空き容量が不足しています)",
        u"ファイルのコピー/リネームに失敗しました。"},
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
    EXPECT_EQ(Body(), expected);
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
    ASSERT_EQ(log.lines.size(), 12u);
    EXPECT_EQ(log.lines[9], action == 0 ? u"1 個のファイルをコピー/リネームしました。" : u"1 個のファイルを移動/リネームしました。");
    EXPECT_EQ(log.lines[10].rfind(u"まとめ: ", 0), 0u);
    EXPECT_EQ(log.lines[11], u"中止しました: 2 個のファイルは処理されていません");
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

TEST_F(RenameRunTest, RepeatingAMoveFindsNothingLeft) {
  Select({{u"C:\\A\\", u"a.jpg", kFirst}, {u"C:\\A\\", u"b.jpg", kSecond, false}});
  EXPECT_EQ(Run(u"C:\\Out", u"@file", 1, false), RenameOutcome::Done);
  // Only the photos not filed stay in the lists: none here.
  EXPECT_TRUE(job.photos.empty());
  io.Reset();
  EXPECT_EQ(Run(u"C:\\Out", u"@file", 1, false), RenameOutcome::NoFiles);
  EXPECT_EQ(log.lines, (Lines{u"ファイルが見つかりません。"}));
  EXPECT_FALSE(Touched());

  // Lists that still name a moved photo (the command line given the card again): its
  // destination holds it, and nothing is numbered or replaced.
  Select({{u"C:\\A\\", u"a.jpg", kFirst}});
  io.Reset();
  files.Put(u"C:\\Out\\a.jpg", Bytes(u"a.jpg"));
  files.RemoveFile(u"C:\\A\\a.jpg");
  EXPECT_EQ(Run(u"C:\\Out", u"@file", 1, false), RenameOutcome::Failed);
  EXPECT_EQ(Body(), (Lines{u"コピー元が見つかりません: C:\\A\\a.jpg", u"ファイルの移動/リネームに失敗しました。"}));
  EXPECT_FALSE(Touched());
  EXPECT_EQ(files.Find(u"C:\\Out\\a.jpg")->bytes, Bytes(u"a.jpg"));
}

TEST_F(RenameRunTest, MoveToTheSamePathLeavesTheFileOutOfTheBatch) {
  const std::u16string f = u"C:\\A\\";
  // Everything already in place: no file touched, and a true count, each photo named as
  // its own destination and counted apart, for a copy as for a move.
  for (int action : {0, 1}) {
    Select({{f, u"a.jpg", kFirst}, {f, u"b.jpg", kSecond}});
    EXPECT_EQ(Run(u"@folder", u"@file", action, false), RenameOutcome::Done);
    EXPECT_FALSE(Touched());
    const std::u16string verb = action ? u"移動" : u"コピー";
    EXPECT_EQ(log.lines, (Lines{u"コピー元と同じファイルです: C:\\A\\a.jpg", u"コピー元と同じファイルです: C:\\A\\b.jpg",
                                u"0 個のファイルを" + verb + u"/リネームしました。",
                                u"まとめ: " + verb + u" 0 個、コピー元と同じ 2 個"}));
    EXPECT_EQ(log.beeps, 0);
    EXPECT_TRUE(job.photos.empty()) << "nothing left to file";
    Select({{f, u"a.jpg", kFirst}});
    Run(u"@folder", u"@file", action, true);
    EXPECT_EQ(log.lines.back(), u"まとめ (テスト): " + verb + u"予定 0 個、コピー元と同じ 1 個");
  }

  // Only the files that change place are moved.
  Select({{f, u"a.jpg", kFirst}, {u"C:\\B\\", u"b.jpg", kSecond}});
  EXPECT_EQ(Run(u"C:\\A", u"@file", 1, false), RenameOutcome::Done);
  EXPECT_EQ(io.renames, 1);
  EXPECT_EQ(files.Find(u"C:\\A\\b.jpg")->bytes, Bytes(u"b.jpg"));

  // The same file by another spelling is in place too: no file is ever moved onto itself.
  Select({{f, u"a.jpg", kFirst}, {u"C:\\B\\", u"b.jpg", kSecond}});
  EXPECT_EQ(Run(u".", u"@file", 1, false), RenameOutcome::Done);
  EXPECT_FALSE(Touched());
  EXPECT_EQ(log.lines[0], u"コピー元と同じファイルです: C:\\A\\a.jpg") << "the path as it is on disk";
  EXPECT_EQ(Body().back(), u"0 個のファイルを移動/リネームしました。");
  Select({{f, u"README", kFirst}});
  EXPECT_EQ(Run(u"@folder", u"@file. ", 1, false), RenameOutcome::Done);
  EXPECT_FALSE(Touched());

  // A move that only changes the letter case is a real rename.
  Select({{f, u"img.jpg", kFirst}});
  EXPECT_EQ(Run(u"@folder", u"IMG", 1, false), RenameOutcome::Done);
  EXPECT_EQ(io.renames, 1);
  ASSERT_TRUE(files.Find(u"C:\\A\\IMG.jpg"));
  EXPECT_EQ(files.Find(u"C:\\A\\IMG.jpg")->path, u"C:\\A\\IMG.jpg");
}

TEST_F(RenameRunTest, ExistingDestinationsAreLookedAtFirst) {
  const std::u16string f = u"C:\\Card\\";
  auto three = [&] { Select({{f, u"a.jpg", kFirst}, {f, u"b.jpg", kFirst}, {f, u"c.jpg", kSecond}}); };

  for (int action : {0, 1}) {
    SCOPED_TRACE(action);
    // Filed before: the same bytes under the destination's name (in another letter case),
    // or under a numbered name of it. Left out with a line at its place, in the test run
    // too; the rest goes ahead.
    for (const char16_t* filedAs : {u"C:\\OUT\\B.JPG", u"C:\\Out\\b (2).jpg"}) {
      for (bool test : {true, false}) {
        three();
        if (std::u16string(filedAs).find(u'(') != std::u16string::npos) files.Put(u"C:\\Out\\b.jpg", "another b");
        files.Put(filedAs, Bytes(u"b.jpg"));
        EXPECT_EQ(Run(u"C:\\Out", u"@file", action, test), test ? RenameOutcome::Planned : RenameOutcome::Done);
        const bool numbered = std::u16string(filedAs).find(u'(') != std::u16string::npos;
        Lines expected{f + u"a.jpg", u"C:\\Out\\a.jpg", u"",
                       u"コピー先に同じファイルがあるため除外します: C:\\Out\\b" + std::u16string(numbered ? u" (2)" : u"") + u".jpg",
                       f + u"c.jpg", u"C:\\Out\\c.jpg", u""};
        if (!test) expected.push_back(action == 0 ? u"2 個のファイルをコピー/リネームしました。" : u"2 個のファイルを移動/リネームしました。");
        EXPECT_EQ(Body(), expected);
        EXPECT_EQ(log.lines.back().find(u"コピー済み 1 個") != std::u16string::npos, true) << ToUtf8(log.lines.back());
        EXPECT_EQ(log.beeps, 0);
        EXPECT_TRUE(files.Find(f + u"b.jpg")) << "the filed photo's source stays";
        if (test) continue;
        EXPECT_EQ(files.Find(u"C:\\Out\\a.jpg")->bytes, Bytes(u"a.jpg"));
        EXPECT_EQ(files.Find(u"C:\\Out\\c.jpg")->bytes, Bytes(u"c.jpg"));
        EXPECT_EQ(files.Find(f + u"a.jpg") != nullptr, action == 0);
      }
    }

    // Anything else at a destination gives the photo the next free number; what is there
    // stays.
    struct Case { const char* what; void (*put)(FakeFiles&); const char16_t* numbered; } cases[] = {
        {"another photo", [](FakeFiles& fs) { fs.Put(u"C:\\Out\\b.jpg", "JPEG of another b.jpg"); }, u"C:\\Out\\b (2).jpg"},
        {"a file of the same size", [](FakeFiles& fs) { fs.Put(u"C:\\Out\\b.jpg", "JPEG of b.jpX"); }, u"C:\\Out\\b (2).jpg"},
        {"a folder", [](FakeFiles& fs) { fs.folders.insert(FileSystemPathKey(u"C:\\Out\\b.jpg")); }, u"C:\\Out\\b (2).jpg"},
        {"two numbers taken",
         [](FakeFiles& fs) {
           fs.Put(u"C:\\Out\\b.jpg", "one");
           fs.Put(u"C:\\Out\\B (2).JPG", "two");
         },
         u"C:\\Out\\b (3).jpg"},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      for (bool test : {true, false}) {
        three();
        c.put(files);
        const FakeFiles::File* before = files.Find(u"C:\\Out\\b.jpg");
        std::string kept = before ? before->bytes : "";
        EXPECT_EQ(Run(u"C:\\Out", u"@file", action, test), test ? RenameOutcome::Planned : RenameOutcome::Done);
        ASSERT_GE(log.lines.size(), 6u);
        EXPECT_EQ(log.lines[4], c.numbered);
        EXPECT_NE(log.lines.back().find(u"番号付き 1 個"), std::u16string::npos) << ToUtf8(log.lines.back());
        EXPECT_EQ(log.beeps, 0);
        if (before) EXPECT_EQ(files.Find(u"C:\\Out\\b.jpg")->bytes, kept);
        if (!test) EXPECT_EQ(files.Find(c.numbered)->bytes, Bytes(u"b.jpg"));
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
       {u"移動できませんでした (コピー元はそのままです): E:\\Card\\b.jpg (ディスクの空き容量が不足しています)",
        u"移動できませんでした (コピー元はそのままです): E:\\Card\\c.jpg (ディスクの空き容量が不足しています)",
        u"1 個のファイルを移動/リネームしました。",
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
       {u"コピーされましたがコピー元が残っています: E:\\Card\\a.jpg (メディアは書き込み禁止になっています)",
        u"コピーされましたがコピー元が残っています: E:\\Card\\c.jpg (メディアは書き込み禁止になっています)",
        u"1 個のファイルを移動/リネームしました。",
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
    Lines body = Body();
    Lines tail(body.begin() + 9, body.end());
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

namespace {
double WithMs(double shot, int ms) { return shot + ms / 86400000.0; }
}  // namespace

TEST_F(RenameRunTest, BurstsAndClashesAreNumberedInShootingOrder) {
  const std::u16string f = u"C:\\DCIM\\100\\";
  const std::u16string name = u"@年4@月2@日2-@時2@分2@秒2";
  // Four shots in one second, named in reverse of the order they were taken, selected in
  // a shuffled order: the numbers follow the sub-seconds, not the names or the selection.
  const std::vector<Photo> burst = {{f, u"IMG_0002.JPG", WithMs(kFirst, 600)},
                                    {f, u"IMG_0004.JPG", WithMs(kFirst, 100)},
                                    {f, u"IMG_0001.JPG", WithMs(kFirst, 900)},
                                    {f, u"IMG_0003.JPG", WithMs(kFirst, 300)}};
  const std::map<std::u16string, std::u16string> expected = {
      {f + u"IMG_0004.JPG", u"C:\\Out\\20240501-090307.JPG"},
      {f + u"IMG_0003.JPG", u"C:\\Out\\20240501-090307 (2).JPG"},
      {f + u"IMG_0002.JPG", u"C:\\Out\\20240501-090307 (3).JPG"},
      {f + u"IMG_0001.JPG", u"C:\\Out\\20240501-090307 (4).JPG"}};
  for (bool reversed : {false, true}) {
    std::vector<Photo> photos = burst;
    if (reversed) std::reverse(photos.begin(), photos.end());
    Select(photos);
    EXPECT_EQ(Run(u"C:\\Out", name, 1, true), RenameOutcome::Planned);
    Lines body = Body();
    ASSERT_EQ(body.size(), 12u);
    for (size_t i = 0; i < 12; i += 3) EXPECT_EQ(body[i + 1], expected.at(body[i])) << ToUtf8(body[i]);
    EXPECT_EQ(log.lines.back(), u"まとめ (テスト): 移動予定 4 個 (番号付き 3 個)");
  }
  // Same second, same sub-second: the source path decides.
  Select({{f, u"B.JPG", kFirst}, {f, u"A.JPG", kFirst}});
  Run(u"C:\\Out", name, 1, true);
  EXPECT_EQ(log.lines[1], u"C:\\Out\\20240501-090307 (2).JPG");
  EXPECT_EQ(log.lines[4], u"C:\\Out\\20240501-090307.JPG");

  // Names that differ only by what Windows ignores are one name.
  struct Case { const char* what; std::vector<Photo> photos; const char16_t* folder; const char16_t* name; Lines destinations; } cases[] = {
      {"models \"Cam.\" and \"Cam\"", {{f, u"a.jpg", kFirst, true, u"Cam."}, {f, u"b.jpg", kSecond, true, u"Cam"}},
       u"C:\\Out\\@モデル", u"@年4", {u"C:\\Out\\Cam\\2024.jpg", u"C:\\Out\\Cam\\2024 (2).jpg"}},
      {"letter case outside Latin", {{f, u"Ảnh 1.jpg", kFirst}, {u"C:\\B\\", u"ảnh 1.jpg", kSecond}}, u"C:\\Out",
       u"@file", {u"C:\\Out\\Ảnh 1.jpg", u"C:\\Out\\ảnh 1 (2).jpg"}},
      {"a destination that is another photo's source", {{f, u"2.jpg", kFirst}, {f, u"1.jpg", kSecond}}, u"@folder",
       u"@通1", {f + u"1 (2).jpg", f + u"2 (2).jpg"}},
      {"one destination spelled two ways", {{u"C:\\A\\", u"a.jpg", kFirst}, {u"C:\\B\\", u"a.jpg", kSecond}},
       u"..\\Out", u"@file", {u"C:\\Out\\a.jpg", u"C:\\Out\\a (2).jpg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Select(c.photos);
    EXPECT_EQ(Run(c.folder, c.name, 1, false), RenameOutcome::Done);
    ASSERT_EQ(log.lines.size(), 3 * c.photos.size() + 2);
    for (size_t i = 0; i < c.photos.size(); ++i) {
      EXPECT_EQ(log.lines[3 * i + 1], c.destinations[i]);
      ASSERT_TRUE(files.Find(c.destinations[i]));
      EXPECT_EQ(files.Find(c.destinations[i])->bytes, Bytes(c.photos[i].name)) << "each photo kept whole";
    }
  }
}

TEST_F(RenameRunTest, PairsAndSidecarsMoveUnderOneName) {
  const std::u16string f = u"C:\\DCIM\\100\\";
  // A burst of two, the later a RAW+JPEG pair with its sidecars (one selected, one not),
  // and a sidecar whose photo is not in the batch.
  Select({{f, u"IMG_0011.CR3", WithMs(kFirst, 500)}, {f, u"IMG_0011.JPG", WithMs(kFirst, 500)},
          {f, u"IMG_0010.JPG", WithMs(kFirst, 100)}, {f, u"IMG_0011.xmp", 0, false}});
  files.Put(f + u"IMG_0011.CR3.XMP", "sidecar of the raw");
  files.Put(f + u"IMG_0010.WAV", "voice memo");
  files.Put(f + u"IMG_0099.xmp", "sidecar of a photo left on the card");
  files.Put(f + u"IMG_00110.xmp", "another photo's");
  EXPECT_EQ(Run(u"C:\\Out", u"@年4@月2@日2-@時2@分2@秒2", 1, false), RenameOutcome::Done);
  EXPECT_EQ(Body(), (Lines{
                        f + u"IMG_0011.CR3", u"C:\\Out\\20240501-090307 (2).CR3", u"",
                        f + u"IMG_0011.JPG", u"C:\\Out\\20240501-090307 (2).JPG", u"",
                        f + u"IMG_0011.CR3.XMP", u"C:\\Out\\20240501-090307 (2).CR3.XMP", u"",
                        f + u"IMG_0011.xmp", u"C:\\Out\\20240501-090307 (2).xmp", u"",
                        f + u"IMG_0010.JPG", u"C:\\Out\\20240501-090307.JPG", u"",
                        f + u"IMG_0010.WAV", u"C:\\Out\\20240501-090307.WAV", u"",
                        u"6 個のファイルを移動/リネームしました。"}));
  EXPECT_EQ(log.lines.back(), u"まとめ: 移動 6 個 (番号付き 4 個、付属ファイル 3 個)") << "the selected sidecar goes, not left out";
  EXPECT_EQ(io.renames, 6) << "photos and sidecars alike";
  EXPECT_EQ(files.Find(u"C:\\Out\\20240501-090307 (2).CR3.XMP")->bytes, "sidecar of the raw");
  EXPECT_TRUE(files.Find(f + u"IMG_0099.xmp")) << "a sidecar whose photo is not in the batch stays";
  EXPECT_TRUE(files.Find(f + u"IMG_00110.xmp"));
  // When the pair's name is taken, the whole pair takes the next number together.
  Select({{f, u"IMG_0001.CR3", kFirst}, {f, u"IMG_0001.JPG", kFirst}});
  files.Put(u"C:\\Out\\20240501-090307.CR3", "another camera's raw");
  Run(u"C:\\Out", u"@年4@月2@日2-@時2@分2@秒2", 0, true);
  EXPECT_EQ(log.lines[1], u"C:\\Out\\20240501-090307 (2).CR3");
  EXPECT_EQ(log.lines[4], u"C:\\Out\\20240501-090307 (2).JPG");
  // The pair's name is its first photo's in shooting order, not in the selection's.
  Select({{f, u"IMG_0005.JPG", Shot(2024, 5, 1, 9, 3, 9)}, {f, u"IMG_0005.CR3", kFirst}});
  Run(u"C:\\Out", u"@年4@月2@日2-@時2@分2@秒2", 0, true);
  EXPECT_EQ(log.lines[1], u"C:\\Out\\20240501-090307.CR3");
  EXPECT_EQ(log.lines[4], u"C:\\Out\\20240501-090307.JPG");
  // Two shots of one second never share a stem, whatever their extensions: a live photo
  // beside a RAW+JPEG pair would pass for one set of files.
  Select({{f, u"IMG_0001.CR3", kFirst}, {f, u"IMG_0001.JPG", kFirst}, {f, u"IMG_0002.HEIC", WithMs(kFirst, 5)},
          {f, u"IMG_0002.MOV", WithMs(kFirst, 5)}});
  Run(u"C:\\Out", u"@年4@月2@日2-@時2@分2@秒2", 0, true);
  EXPECT_EQ(log.lines[7], u"C:\\Out\\20240501-090307 (2).HEIC");
  EXPECT_EQ(log.lines[10], u"C:\\Out\\20240501-090307 (2).MOV");
}

TEST_F(RenameRunTest, PhotosWithoutADateAreLeftOutOnlyWhenATemplateNeedsIt) {
  const std::u16string f = u"C:\\A\\";
  for (const char16_t* folder : {u"C:\\Out\\@年4", u"C:\\Out\\@元号2", u"C:\\Out"}) {
    for (const char16_t* name : {u"@file", u"@曜1-@num2", u"@h2"}) {
      const bool needsDate = std::u16string(folder) != u"C:\\Out" || std::u16string(name) != u"@file";
      Select({{f, u"a.jpg", kFirst}, {f, u"scan.jpg", MissingDate}, {f, u"edit.jpg", 0}});
      EXPECT_EQ(Run(folder, name, 0, false), RenameOutcome::Done) << ToUtf8(folder) << " " << ToUtf8(name);
      if (needsDate) {
        EXPECT_EQ(log.lines[3], u"撮影日時がないため除外します: C:\\A\\scan.jpg");
        EXPECT_EQ(log.lines[4], u"撮影日時がないため除外します: C:\\A\\edit.jpg");
        EXPECT_NE(log.lines.back().find(u"撮影日時なし 2 個"), std::u16string::npos);
        EXPECT_EQ(Sources(), (Lines{f + u"scan.jpg", f + u"edit.jpg"})) << "kept: they were not filed";
      } else {
        EXPECT_EQ(log.lines[log.lines.size() - 2], u"3 個のファイルをコピー/リネームしました。");
      }
      for (const auto& file : files.files) EXPECT_EQ(file.first.find(u"0000"), std::u16string::npos);
    }
  }
  // Only undated photos: nothing to do.
  Select({{f, u"scan.jpg", MissingDate}});
  EXPECT_EQ(Run(u"@年4", u"@file", 0, false), RenameOutcome::NoFiles);
  EXPECT_EQ(log.lines, (Lines{u"撮影日時がないため除外します: C:\\A\\scan.jpg", u"ファイルが見つかりません。"}));
}

TEST_F(RenameRunTest, CameraTextsBecomeNamesWindowsAccepts) {
  struct Case { const char* what; const char16_t* model; const char16_t* folder; const char16_t* name; const char16_t* destination; } cases[] = {
      {"asterisk", u"PENTAX *ist DL", u"@モデル", u"@file", u"D:\\Card\\PENTAX _ist DL\\IMG.JPG"},
      {"angle brackets", u"<Digimax i50 MP3, Samsung #1 MP3>", u"@モデル", u"@file",
       u"D:\\Card\\_Digimax i50 MP3, Samsung #1 MP3_\\IMG.JPG"},
      {"slash", u"Kodak CLAS Digital Film Scanner / HR200", u"E:\\@モデル", u"@file",
       u"E:\\Kodak CLAS Digital Film Scanner _ HR200\\IMG.JPG"},
      {"trailing dot", u"OLYMPUS IMAGING CORP.", u"E:\\@モデル", u"@file", u"E:\\OLYMPUS IMAGING CORP\\IMG.JPG"},
      {"trailing dot in the name", u"Cam.", u"E:\\", u"@モデル", u"E:\\Cam..JPG"},
      {"climbing", u"..\\..\\esc", u"E:\\DSC\\@モデル", u"@file", u"E:\\DSC\\.._.._esc\\IMG.JPG"},
      {"only dots", u"..", u"E:\\DSC\\@モデル\\x", u"@file", u"E:\\DSC\\x\\IMG.JPG"},
      {"separators and more", u"A/B:C?", u"E:\\@モデル", u"@モデル", u"E:\\A_B_C_\\A_B_C_.JPG"},
      {"a NUL and controls", nullptr, u"E:\\", u"@モデル", u"E:\\X_Y_Z.JPG"},
      {"device name", u"CON", u"E:\\@モデル", u"@モデル", u"E:\\CON_\\CON_.JPG"},
      {"device name with extension", u"lpt1.x", u"E:\\@モデル", u"@file", u"E:\\lpt1_.x\\IMG.JPG"},
      {"no model: the level goes", u"", u"E:\\@モデル\\@年4", u"@モデル", u"E:\\2024\\IMG.JPG"},
      {"blank model", u"  ", u"E:\\@モデル", u"@file", u"E:\\IMG.JPG"},
      {"network folder", u"X", u"\\\\server\\share\\@モデル", u"@file", u"\\\\server\\share\\X\\IMG.JPG"},
      {"a network share is never climbed out of", u"X", u"\\\\server\\share\\..\\..\\y", u"@file",
       u"\\\\server\\share\\y\\IMG.JPG"},
      {"the template's own \"..\"", u"X", u"E:\\DSC\\..\\Out", u"@file", u"E:\\Out\\IMG.JPG"},
      {"\"..\" never above the drive", u"X", u"\\..\\..\\Out", u"@file", u"D:\\Out\\IMG.JPG"},
      {"\"..\" below the photo's folder", u"X", u"..\\Sorted", u"@file", u"D:\\Sorted\\IMG.JPG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Photo photo{u"D:\\Card\\", u"IMG.JPG", kFirst, true, c.model ? c.model : std::u16string(u"X\0Y\tZ", 5)};
    Select({photo});
    EXPECT_EQ(Run(c.folder, c.name, 0, false), RenameOutcome::Done);
    const std::u16string expected = c.destination;
    ASSERT_GE(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[1], expected);
    EXPECT_TRUE(files.Find(expected)) << "the log names the file that is on disk";
  }
}

TEST_F(RenameRunTest, DestinationsTheRunWouldFailOnAreReportedAndLeftOut) {
  const std::u16string f = u"C:\\A\\";
  struct Case { const char* what; std::u16string model; void (*put)(FakeFiles&); const char16_t* folder; std::u16string line; } cases[] = {
      {"a level too long", std::u16string(256, u'x'), nullptr, u"C:\\Out\\@モデル",
       u"コピー先の名前が長すぎます (255 文字まで): C:\\Out\\" + std::u16string(256, u'x') + u"\\a.jpg"},
      {"a file where a folder must go", u"X", [](FakeFiles& fs) { fs.Put(u"C:\\Out\\X", "a file"); }, u"C:\\Out\\@モデル\\@年4",
       u"コピー先のフォルダの位置にファイルがあります: C:\\Out\\X\\2024\\a.jpg"},
      {"a state that cannot be told", u"X", [](FakeFiles& fs) { fs.unknown.insert(FileSystemPathKey(u"C:\\Out\\X")); },
       u"C:\\Out\\@モデル", u"コピー先を確かめられません: C:\\Out\\X\\a.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool test : {true, false}) {
      Select({{f, u"a.jpg", kFirst, true, c.model}, {f, u"b.jpg", kSecond, true, u"Other"}});
      if (c.put) c.put(files);
      EXPECT_EQ(Run(c.folder, u"@file", 1, test), test ? RenameOutcome::Refused : RenameOutcome::Failed);
      ASSERT_GE(log.lines.size(), 4u);
      EXPECT_EQ(log.lines[0], c.line);
      EXPECT_EQ(log.lines[1], f + u"b.jpg") << "one photo's bad path never stops another";
      EXPECT_NE(log.lines.back().find(u"コピー先に問題 1 個"), std::u16string::npos) << ToUtf8(log.lines.back());
      EXPECT_EQ(log.beeps, 1);
      if (test) continue;
      EXPECT_TRUE(files.Find(f + u"a.jpg"));
      EXPECT_FALSE(files.Find(f + u"b.jpg")) << "the other photo is moved";
      EXPECT_EQ(log.lines[log.lines.size() - 3], u"1 個のファイルを移動/リネームしました。");
      EXPECT_EQ(log.lines[log.lines.size() - 2], u"ファイルの移動/リネームに失敗しました。");
      EXPECT_EQ(Sources(), (Lines{f + u"a.jpg"})) << "the lists keep the photo not filed";
    }
  }
  // A character the template itself wrote (values are cleaned): every photo is told.
  Select({{f, u"a.jpg", kFirst}});
  EXPECT_EQ(Run(u"C:\\Out\\a*b", u"@file", 1, true), RenameOutcome::Refused);
  EXPECT_EQ(log.lines[0], u"コピー先に使えない文字があります: C:\\Out\\a*b\\a.jpg");
}

TEST_F(RenameRunTest, ACaseOnlyRenameNeverReplacesAnotherFile) {
  Select({{u"C:\\A\\", u"IMG_1.jpg", kFirst}});
  // On a folder that ignores case the source itself answers: a real rename.
  EXPECT_EQ(Run(u"@folder", u"img_1", 1, true), RenameOutcome::Planned);
  EXPECT_EQ(log.lines[1], u"C:\\A\\img_1.jpg");
  // A copy to another spelling of its own name is the file itself: nothing to copy.
  EXPECT_EQ(Run(u"@folder", u"img_1", 0, false), RenameOutcome::Done);
  EXPECT_FALSE(Touched());
  EXPECT_EQ(log.lines[0], u"コピー先に同じファイルがあるため除外します: C:\\A\\img_1.jpg");

  // A case-sensitive folder that also holds "img_1.jpg", another photo: numbered, and
  // that photo is left alone.
  for (int action : {0, 1}) {
    Select({{u"C:\\A\\", u"IMG_1.jpg", kFirst}});
    files.caseTwins.insert(u"C:\\A\\img_1.jpg");
    EXPECT_EQ(Run(u"@folder", u"img_1", action, true), RenameOutcome::Planned);
    EXPECT_EQ(log.lines[1], u"C:\\A\\img_1 (2).jpg");
  }
}

namespace {

// Takes the given source away when the run starts on the first pair: another run of the
// same card.
class TakesASourceAway final : public TransferObserver {
 public:
  TakesASourceAway(FakeFiles& files, std::u16string source) : files_(files), source_(std::move(source)) {}
  void OnPairStep(size_t index, const TransferPair&, PairStep step) override {
    if (index == 0 && step == PairStep::Planned) files_.RemoveFile(source_);
  }

 private:
  FakeFiles& files_;
  std::u16string source_;
};

}  // namespace

TEST_F(RenameRunTest, TheSummaryCountsWhatArrived) {
  // A burst of two from the card, the second numbered and with a sidecar: only the first
  // arrives before a stop or a full disk.
  const std::u16string f = u"E:\\DCIM\\100\\";
  const std::u16string name = u"@年4@月2@日2-@時2@分2@秒2";
  for (bool stop : {true, false}) {
    SCOPED_TRACE(stop ? "stop" : "full disk");
    Select({{f, u"IMG_0010.JPG", WithMs(kFirst, 100)}, {f, u"IMG_0011.JPG", WithMs(kFirst, 500)}});
    files.Put(f + u"IMG_0011.xmp", "sidecar");
    const uint64_t first = Bytes(u"IMG_0010.JPG").size();
    if (stop) {
      io.cancel = &cancel;
      io.cancelAfterBytes = first + 1;
    } else {
      io.spaceLeft = first + 5;
    }
    EXPECT_EQ(Run(u"C:\\Out", name, 1, false), stop ? RenameOutcome::Cancelled : RenameOutcome::Failed);
    EXPECT_EQ(log.lines.back() == u"中止しました: 2 個のファイルは処理されていません" ? log.lines[log.lines.size() - 2]
                                                                                  : log.lines.back(),
              u"まとめ: 移動 1 個");
    EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), u"1 個のファイルを移動/リネームしました。"), log.lines.end());
    cancel.Reset();
  }
}

TEST_F(RenameRunTest, ASourceTakenAwayMeanwhileIsNamedAsSuch) {
  Select({{u"E:\\A\\", u"a.jpg", kFirst}, {u"E:\\A\\", u"b.jpg", kSecond}});
  TakesASourceAway other(files, u"E:\\A\\b.jpg");
  RenameRunControl control;
  control.observer = &other;
  job.folderTemplate = u"C:\\Out";
  job.nameTemplate = u"@file";
  job.action = RenameAction::Move;
  job.mode = RenameMode::Real;
  EXPECT_EQ(RunRenameJob(job, log, files, io, control).outcome, RenameOutcome::Failed);
  EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), u"コピー元がほかの処理で移動または削除されました: E:\\A\\b.jpg"),
            log.lines.end());
}

TEST_F(RenameRunTest, ATestRunWarnsOfADestinationNoFileCanBeMadeIn) {
  Select({{u"E:\\A\\", u"a.jpg", kFirst}, {u"E:\\A\\", u"b.jpg", kSecond}});
  files.CreateFolder(u"C:\\Out");
  files.readOnlyFolders.insert(FileSystemPathKey(u"C:\\Out"));
  // A folder still to be made is asked of its nearest existing parent.
  EXPECT_EQ(Run(u"C:\\Out\\@年4", u"@file", 0, true), RenameOutcome::Refused);
  EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), u"コピー先に書き込めません: C:\\Out (アクセスが拒否されました)"),
            log.lines.end());
  EXPECT_EQ(log.beeps, 1);
  EXPECT_FALSE(Touched());
  files.readOnlyFolders.clear();
  EXPECT_EQ(Run(u"C:\\Out\\@年4", u"@file", 0, true), RenameOutcome::Planned);
  EXPECT_EQ(log.beeps, 0);
}

// A second camera an hour behind: its photos are filed by the corrected time, in one
// sequence with the first camera's, and テスト says so; the recorded time stays in the job.
TEST_F(RenameRunTest, ACameraRuleFilesByTheCorrectedTime) {
  const std::u16string f = u"E:\\DCIM\\";
  const double ten = Shot(2024, 5, 1, 10, 0, 0);
  Select({{f, u"DSCF0001.JPG", WithMs(ten, 500), true, u"X-H2"},
          {f, u"DSCF5001.JPG", WithMs(Shot(2024, 5, 1, 9, 0, 0), 100), true, u"X-T5"},
          {f, u"DSCF0002.JPG", Shot(2024, 5, 1, 10, 30, 0), true, u"X-H2"},
          {f, u"DSCF5002.JPG", Shot(2024, 4, 30, 23, 20, 0), true, u"X-T5"}});
  job.clockRules.Set({{u"FUJIFILM", u"X-T5", u""}, 3600});
  EXPECT_EQ(Run(u"C:\\Out\\@元号2@元号年1\\@時2", u"@年4@月2@日2(@曜1)-@時2@分2@秒2", 0, true), RenameOutcome::Planned);
  EXPECT_EQ(log.lines, (Lines{
      f + u"DSCF0001.JPG", u"C:\\Out\\令和6\\10\\20240501(水)-100000 (2).JPG", u"",
      f + u"DSCF5001.JPG", u"C:\\Out\\令和6\\10\\20240501(水)-100000.JPG",
      u"2024/05/01 09:00:00 → 10:00:00 (+1:00:00, FUJIFILM X-T5)", u"",
      f + u"DSCF0002.JPG", u"C:\\Out\\令和6\\10\\20240501(水)-103000.JPG", u"",
      f + u"DSCF5002.JPG", u"C:\\Out\\令和6\\00\\20240501(水)-002000.JPG",
      u"2024/04/30 23:20:00 → 2024/05/01 00:20:00 (+1:00:00, FUJIFILM X-T5)", u"",
      u"まとめ (テスト): コピー予定 4 個 (番号付き 1 個)、時刻補正 2 個 (FUJIFILM X-T5 2 個)"}))
      << "the burst is numbered by the corrected time: the shifted camera's shot came first";
  // The era changes with the corrected date too.
  Select({{f, u"DSCF5003.JPG", Shot(2019, 4, 30, 23, 30, 0), true, u"X-T5"}});
  job.clockRules.Set({{u"FUJIFILM", u"X-T5", u""}, 3600});
  Run(u"C:\\Out\\@元号2@元号年1", u"@file", 0, false);
  EXPECT_TRUE(files.Find(u"C:\\Out\\令和1\\DSCF5003.JPG"));
  EXPECT_NE(log.lines.back().find(u"時刻補正 1 個 (FUJIFILM X-T5 1 個)"), std::u16string::npos) << "what arrived";
  // The rule of one body leaves another body of the model alone.
  Select({{f, u"A.JPG", ten, true, u"X-T5", {}, u"111"}, {f, u"B.JPG", ten, true, u"X-T5", {}, u"222"}});
  job.clockRules.Set({{u"FUJIFILM", u"X-T5", u"222"}, -60});
  Run(u"C:\\Out", u"@h2@n2", 0, true);
  EXPECT_EQ(log.lines[1], u"C:\\Out\\1000.JPG");
  EXPECT_EQ(log.lines[4], u"C:\\Out\\0959.JPG");
  EXPECT_EQ(log.lines[5], u"2024/05/01 10:00:00 → 09:59:00 (-0:01:00, FUJIFILM X-T5 #222)");
  EXPECT_EQ(job.photos[1].record.ExifDateTimeOriginal, ten) << "the recorded time is never changed";
  // A rule that would move a photo out of 1900..2999 leaves it out, named.
  Select({{f, u"OLD.JPG", Shot(1901, 1, 1, 0, 0, 0)}, {f, u"NEW.JPG", ten, true, u"X-H2"}});
  job.clockRules.Set({{u"FUJIFILM", u"X-T5", u""}, -3LL * 366 * 86400});
  Run(u"C:\\Out", u"@file", 0, true);
  EXPECT_EQ(log.lines[0], u"時刻補正後の日時が 1900 年から 2999 年の範囲外のため除外します: E:\\DCIM\\OLD.JPG");
  EXPECT_NE(log.lines.back().find(u"除外 1 個 (時刻補正が範囲外 1 個)"), std::u16string::npos);
}

TEST_F(RenameRunTest, AVideoRuleTakesTheHeaderTimeAsTheCamerasOwn) {
  const std::u16string f = u"E:\\PRIVATE\\";
  // Shown as 19:00 (the header's 10:00 taken as UTC, in Tokyo); the camera meant 10:00.
  Select({{f, u"P1000001.MOV", Shot(2024, 5, 1, 19, 0, 0), true, u"DC-GH6", {}, {}, Shot(2024, 5, 1, 10, 0, 0)},
          {f, u"P1000002.JPG", Shot(2024, 5, 1, 10, 5, 0), true, u"DC-GH6"}});
  Run(u"C:\\Out", u"@h2@n2", 0, true);
  EXPECT_EQ(log.lines[1], u"C:\\Out\\1900.MOV") << "without a rule the header is UTC, as always";
  job.clockRules.Set({{u"FUJIFILM", u"DC-GH6", u""}, 0, VideoTime::Local});
  Run(u"C:\\Out", u"@h2@n2", 0, true);
  EXPECT_EQ(log.lines, (Lines{f + u"P1000001.MOV", u"C:\\Out\\1000.MOV",
                              u"2024/05/01 19:00:00 → 10:00:00 (0:00:00, 動画はカメラの時刻, FUJIFILM DC-GH6)", u"",
                              f + u"P1000002.JPG", u"C:\\Out\\1005.JPG", u"",
                              u"まとめ (テスト): コピー予定 2 個、時刻補正 1 個 (FUJIFILM DC-GH6 1 個)"}));
}

// Files of one stem are one shot only when their recorded times agree within 2 s; a file
// without a date of its own (an unreadable raw) goes with its pair instead of being left out.
TEST_F(RenameRunTest, APairIsOneShot) {
  const std::u16string f = u"E:\\DCIM\\";
  const double july = Shot(2024, 7, 1, 12, 0, 0);
  Select({{f, u"IMG_0002.JPG", july}, {f, u"IMG_0002.TIF", Shot(2008, 3, 4, 5, 6, 7)},
          {f, u"img_0003.JPG", july + 2.0 / 86400}, {f, u"img_0003.NEF", Shot(2010, 1, 2, 3, 4, 5)},
          {f, u"IMG_0004.CR3", WithMs(july, 900)}, {f, u"IMG_0004.JPG", july + 2.9 / 86400}});
  Run(u"C:\\Out\\@年4", u"@年4@月2@日2-@時2@分2@秒2", 0, true);
  EXPECT_EQ(Body(), (Lines{f + u"IMG_0002.JPG", u"C:\\Out\\2024\\20240701-120000.JPG", u"",
                           f + u"IMG_0002.TIF", u"C:\\Out\\2008\\20080304-050607.TIF", u"",
                           f + u"img_0003.JPG", u"C:\\Out\\2024\\20240701-120002.JPG", u"",
                           f + u"img_0003.NEF", u"C:\\Out\\2010\\20100102-030405.NEF", u"",
                           f + u"IMG_0004.CR3", u"C:\\Out\\2024\\20240701-120000 (2).CR3", u"",
                           f + u"IMG_0004.JPG", u"C:\\Out\\2024\\20240701-120000 (2).JPG", u""}))
      << "2.0 s apart is one shot";
  // A raw the reader cannot walk, and one without a date, follow their JPEG; a sidecar
  // without metadata stays a sidecar, and a lone unreadable raw is still left out.
  Select({{f, u"IMG_0007.CR3", 0, false}, {f, u"IMG_0007.JPG", july}, {f, u"IMG_0008.JPG", july + 5.0 / 86400},
          {f, u"IMG_0008.NEF", 0}, {f, u"IMG_0008.xmp", 0, false}, {f, u"IMG_0009.CR3", 0, false}});
  EXPECT_EQ(Run(u"C:\\Out", u"@年4@月2@日2-@時2@分2@秒2", 1, false), RenameOutcome::Done);
  EXPECT_EQ(Body(), (Lines{f + u"IMG_0007.CR3", u"C:\\Out\\20240701-120000.CR3", u"",
                           f + u"IMG_0007.JPG", u"C:\\Out\\20240701-120000.JPG", u"",
                           f + u"IMG_0008.JPG", u"C:\\Out\\20240701-120005.JPG", u"",
                           f + u"IMG_0008.NEF", u"C:\\Out\\20240701-120005.NEF", u"",
                           f + u"IMG_0008.xmp", u"C:\\Out\\20240701-120005.xmp", u"",
                           u"5 個のファイルを移動/リネームしました。"}));
  EXPECT_EQ(log.lines.back(), u"まとめ: 移動 5 個 (付属ファイル 1 個)、除外 1 個 (Exif情報なし 1 個)");
  EXPECT_TRUE(Sources().empty()) << "the unreadable one is passed over, as any file without metadata";
}

// A name shared by more than 9,999 photos goes on counting: "(10000)", "(10001)".
TEST_F(RenameRunTest, NumberingGoesOnPastNineThousandNineHundredNinetyNine) {
  std::vector<Photo> photos;
  for (int i = 0; i < 10001; ++i)
    photos.push_back({u"D:\\DCIM\\", u"IMG_" + PadNumber(i, 5) + u".JPG", kFirst + i / 86400.0 / 1000.0});
  Select(photos);
  EXPECT_EQ(Run(u"E:\\out", u"@年4", 0, true), RenameOutcome::Planned);
  const Lines body = Body();
  auto has = [&](const std::u16string& line) { return std::find(body.begin(), body.end(), line) != body.end(); };
  EXPECT_TRUE(has(u"E:\\out\\2024 (10000).JPG"));
  EXPECT_TRUE(has(u"E:\\out\\2024 (10001).JPG"));
  EXPECT_FALSE(std::any_of(body.begin(), body.end(), [](const std::u16string& l) { return l.find(u"空いている名前") != std::u16string::npos; }));
}

// A backup: every photo also at the backup, under the same name, from one read of the card.
TEST_F(RenameRunTest, ABackupGetsTheSameNameFromOneReadOfTheCard) {
  const std::u16string card = u"E:\\Card\\";
  backupTemplate = u"D:\\Backup\\@年4";
  for (int action : {0, 1}) {
    SCOPED_TRACE(action ? "move" : "copy");
    Select({{card, u"a.jpg", kFirst}, {card, u"b.jpg", kSecond}});
    const Lines plan = {u"E:\\Card\\a.jpg", u"C:\\Out\\2024\\a.jpg", u"バックアップ先: D:\\Backup\\2024\\a.jpg", u"",
                        u"E:\\Card\\b.jpg", u"C:\\Out\\2024\\b.jpg", u"バックアップ先: D:\\Backup\\2024\\b.jpg", u""};
    EXPECT_EQ(Run(u"C:\\Out\\@年4", u"@file", action, true), RenameOutcome::Planned);
    EXPECT_EQ(Body(), plan);
    EXPECT_FALSE(Touched());
    Select({{card, u"a.jpg", kFirst}, {card, u"b.jpg", kSecond}});
    EXPECT_EQ(Run(u"C:\\Out\\@年4", u"@file", action, false), RenameOutcome::Done);
    Lines expected = plan;
    expected.push_back(action ? u"2 個のファイルを移動/リネームしました。" : u"2 個のファイルをコピー/リネームしました。");
    EXPECT_EQ(Body(), expected);
    EXPECT_EQ(io.plainReads, 2) << "the card is read once per photo";
    EXPECT_EQ(io.pastCacheReads, 4) << "both copies read back";
    for (const char16_t* name : {u"a.jpg", u"b.jpg"}) {
      ASSERT_TRUE(files.Find(u"C:\\Out\\2024\\" + std::u16string(name)));
      ASSERT_TRUE(files.Find(u"D:\\Backup\\2024\\" + std::u16string(name)));
      EXPECT_EQ(files.Find(u"C:\\Out\\2024\\" + std::u16string(name))->bytes, Bytes(name));
      EXPECT_EQ(files.Find(u"D:\\Backup\\2024\\" + std::u16string(name))->bytes, Bytes(name));
      EXPECT_EQ(files.Find(card + name) != nullptr, action == 0);
    }
    EXPECT_EQ(files.files.size(), action ? 4u : 6u) << "no temporary file left";
  }
}

// One number for both places: a name taken at either numbers both; a place that holds the
// photo already is not written again, and the other catches up.
TEST_F(RenameRunTest, NamesAndNumbersAreTheSameAtBothPlaces) {
  const std::u16string card = u"E:\\Card\\";
  backupTemplate = u"D:\\Backup\\@年4";
  for (int action : {0, 1}) {
    SCOPED_TRACE(action ? "move" : "copy");
    Select({{card, u"a.jpg", kFirst}, {card, u"b.jpg", kFirst}, {card, u"c.jpg", kSecond}, {card, u"d.jpg", kSecond}});
    files.Put(u"D:\\Backup\\2024\\a.jpg", "another photo");  // taken at the backup only
    files.Put(u"C:\\Out\\2024\\b.jpg", Bytes(u"b.jpg"));     // filed before at the destination only
    files.Put(u"D:\\Backup\\2024\\c.jpg", Bytes(u"c.jpg"));  // ... at the backup only
    files.Put(u"C:\\Out\\2024\\d.jpg", Bytes(u"d.jpg"));     // ... at both
    files.Put(u"D:\\Backup\\2024\\d.jpg", Bytes(u"d.jpg"));
    EXPECT_EQ(Run(u"C:\\Out\\@年4", u"@file", action, false), RenameOutcome::Done);
    const Lines body = Body();
    const Lines expected = {
        u"E:\\Card\\a.jpg", u"C:\\Out\\2024\\a (2).jpg", u"バックアップ先: D:\\Backup\\2024\\a (2).jpg", u"",
        u"E:\\Card\\b.jpg", u"コピー先に同じファイルがあるため除外します: C:\\Out\\2024\\b.jpg",
        u"バックアップ先: D:\\Backup\\2024\\b.jpg", u"",
        u"E:\\Card\\c.jpg", u"C:\\Out\\2024\\c.jpg", u"",
        u"コピー先に同じファイルがあるため除外します: C:\\Out\\2024\\d.jpg",
        action ? u"3 個のファイルを移動/リネームしました。" : u"3 個のファイルをコピー/リネームしました。"};
    EXPECT_EQ(body, expected);
    EXPECT_EQ(files.Find(u"D:\\Backup\\2024\\a.jpg")->bytes, "another photo");
    EXPECT_EQ(files.Find(u"D:\\Backup\\2024\\a (2).jpg")->bytes, Bytes(u"a.jpg"));
    EXPECT_EQ(files.Find(u"C:\\Out\\2024\\a (2).jpg")->bytes, Bytes(u"a.jpg"));
    EXPECT_EQ(files.Find(u"D:\\Backup\\2024\\b.jpg")->bytes, Bytes(u"b.jpg"));
    EXPECT_EQ(files.Find(u"C:\\Out\\2024\\c.jpg")->bytes, Bytes(u"c.jpg"));
    // A move takes away only what it moved; a photo filed before stays on the card, as without a backup.
    EXPECT_EQ(files.Find(card + u"a.jpg") != nullptr, action == 0);
    EXPECT_TRUE(files.Find(card + u"b.jpg"));
    EXPECT_EQ(files.Find(card + u"c.jpg") != nullptr, action == 0);
    EXPECT_TRUE(files.Find(card + u"d.jpg"));
  }
}

// If either copy fails, neither is kept, the source stays and the line names which one failed.
TEST_F(RenameRunTest, ACopyFailingAtEitherPlaceKeepsNeither) {
  backupTemplate = u"D:\\Backup";
  struct Case {
    const char* what;
    std::u16string mainTemplate;
    int action;
    void (*fault)(FakeTransfer&);
    std::u16string line;
  } cases[] = {
      {"backup disk full", u"C:\\Out", 0, [](FakeTransfer& t) { t.fullUnder = u"D:\\"; },
       u"コピーできませんでした (コピー元はそのままです): E:\\Card\\a.jpg (ディスクの空き容量が不足しています) [バックアップ先: "
       u"D:\\Backup\\a.jpg]"},
      {"main disk full, a move", u"C:\\Out", 1, [](FakeTransfer& t) { t.fullUnder = u"C:\\"; },
       u"移動できませんでした (コピー元はそのままです): E:\\Card\\a.jpg (ディスクの空き容量が不足しています) [コピー先: "
       u"C:\\Out\\a.jpg]"},
      {"backup with a wrong byte, a move", u"C:\\Out", 1, [](FakeTransfer& t) { t.corruptNamesWith = u"D:\\Backup"; },
       u"検証に失敗しました (コピー元はそのままです): E:\\Card\\a.jpg [バックアップ先: D:\\Backup\\a.jpg]"},
      // Within the card's volume the main copy is a rename, made only once the backup verified.
      {"a rename on the card, backup disk full", u"E:\\Out", 1, [](FakeTransfer& t) { t.fullUnder = u"D:\\"; },
       u"移動できませんでした (コピー元はそのままです): E:\\Card\\a.jpg (ディスクの空き容量が不足しています) [バックアップ先: "
       u"D:\\Backup\\a.jpg]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Select({{u"E:\\Card\\", u"a.jpg", kFirst}});
    c.fault(io);
    EXPECT_EQ(Run(c.mainTemplate, u"@file", c.action, false), RenameOutcome::Failed);
    const Lines body = Body();
    ASSERT_GE(body.size(), 5u);
    EXPECT_EQ(body[4], c.line);
    EXPECT_EQ(files.files.size(), 1u) << "neither copy nor a temporary file is left";
    ASSERT_TRUE(files.Find(u"E:\\Card\\a.jpg"));
    EXPECT_EQ(files.Find(u"E:\\Card\\a.jpg")->bytes, Bytes(u"a.jpg"));
    EXPECT_EQ(Sources(), Lines{u"E:\\Card\\a.jpg"}) << "kept for a retry";
  }
}

TEST_F(RenameRunTest, AMoveWithinTheCardsVolumeIsARenameAfterItsBackup) {
  backupTemplate = u"D:\\Backup";
  Select({{u"E:\\Card\\", u"a.jpg", kFirst}});
  EXPECT_EQ(Run(u"E:\\Sorted", u"@file", 1, false), RenameOutcome::Done);
  EXPECT_EQ(io.plainReads, 1);
  EXPECT_EQ(io.renames, 2) << "the backup's temporary name, then the photo itself";
  EXPECT_FALSE(files.Find(u"E:\\Card\\a.jpg"));
  EXPECT_EQ(files.Find(u"E:\\Sorted\\a.jpg")->bytes, Bytes(u"a.jpg"));
  EXPECT_EQ(files.Find(u"D:\\Backup\\a.jpg")->bytes, Bytes(u"a.jpg"));
}

TEST_F(RenameRunTest, ABackupThatIsTheDestinationItselfIsRefused) {
  backupTemplate = u"C:\\out";
  Select({{u"E:\\Card\\", u"a.jpg", kFirst}});
  EXPECT_EQ(Run(u"C:\\Out", u"@file", 0, true), RenameOutcome::Refused);
  EXPECT_EQ(Body(), Lines{u"バックアップ先がコピー先と同じです: C:\\out\\a.jpg"});
}

TEST_F(RenameRunTest, ACancelDuringACopyWithABackupLeavesNoPartOfItAtEitherPlace) {
  backupTemplate = u"D:\\Backup";
  Select({{u"E:\\Card\\", u"a.jpg", kFirst, true, u"X-T5", std::string(300000, 'a')},
          {u"E:\\Card\\", u"b.jpg", kSecond, true, u"X-T5", std::string(300000, 'b')}});
  io.cancel = &cancel;
  io.cancelAfterBytes = 2 * 300000 + 100000;  // both copies of a, then part of b's
  EXPECT_EQ(Run(u"C:\\Out", u"@file", 1, false), RenameOutcome::Cancelled);
  cancel.Reset();
  EXPECT_TRUE(files.Find(u"C:\\Out\\a.jpg"));
  EXPECT_TRUE(files.Find(u"D:\\Backup\\a.jpg"));
  EXPECT_FALSE(files.Find(u"E:\\Card\\a.jpg"));
  EXPECT_EQ(files.Find(u"E:\\Card\\b.jpg")->bytes, std::string(300000, 'b'));
  EXPECT_EQ(files.files.size(), 3u) << "nothing of b at either place";
  EXPECT_EQ(Sources(), Lines{u"E:\\Card\\b.jpg"});
}

// A volume short of room: テスト names it and refuses; 実行 refuses before the journal and
// the first byte, keeping every photo for a run once there is room.
TEST_F(RenameRunTest, AVolumeShortOfRoomRefusesTheRunBeforeAnyFileIsTouched) {
  constexpr uint64_t MiB = 1 << 20;
  const std::string sixMiB(6 * MiB, 'x');
  Select({{u"E:\\A\\", u"a.jpg", kFirst, true, u"X-T5", sixMiB + "a"}, {u"E:\\A\\", u"b.jpg", kSecond, true, u"X-T5", sixMiB + "b"}});
  files.volumes[u"D:\\"] = VolumeSpace{u"D:\\", 20 * MiB, 500ull << 30, 4096};
  // 12 MiB in whole clusters, 1 % and 16 MiB more: 28.1 MiB and a little, shown rounded up.
  const std::u16string shortLine = u"空き容量が足りません: D:\\ (必要 28.2 MB、空き 20.0 MB)";
  EXPECT_EQ(Run(u"D:\\Photos", u"@file", 0, true), RenameOutcome::Refused);
  Lines body = Body();
  ASSERT_GE(body.size(), 2u);
  EXPECT_EQ(body[body.size() - 2], u"必要な空き容量: D:\\ 28.2 MB (空き 20.0 MB)");
  EXPECT_EQ(body.back(), shortLine);
  EXPECT_EQ(log.beeps, 1);

  for (int action : {0, 1}) {
    EXPECT_EQ(Run(u"D:\\Photos", u"@file", action, false), RenameOutcome::Failed) << action;
    ASSERT_GE(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[log.lines.size() - 2], shortLine);
    EXPECT_EQ(log.lines.back(), action == 0 ? u"ファイルのコピー/リネームに失敗しました。" : u"ファイルの移動/リネームに失敗しました。");
    EXPECT_EQ(log.beeps, 1);
    EXPECT_FALSE(Touched());
    EXPECT_FALSE(files.HasFolder(u"D:\\Photos")) << "not even a folder made";
    EXPECT_EQ(Sources(), (Lines{u"E:\\A\\a.jpg", u"E:\\A\\b.jpg"})) << "both kept for a retry";
  }

  // With room the same batch goes, and テスト says what it takes.
  files.volumes[u"D:\\"].freeBytes = 1ull << 30;
  EXPECT_EQ(Run(u"D:\\Photos", u"@file", 0, true), RenameOutcome::Planned);
  EXPECT_EQ(Body().back(), u"必要な空き容量: D:\\ 28.2 MB (空き 1.0 GB)");
  EXPECT_EQ(Run(u"D:\\Photos", u"@file", 0, false), RenameOutcome::Done);
  ASSERT_TRUE(files.Find(u"D:\\Photos\\a.jpg"));
}

// A move that stays on its volume writes nothing new: a full card still takes it, and a
// volume that cannot tell its room never refuses.
TEST_F(RenameRunTest, RoomIsAskedOnlyOfWhatTakesIt) {
  Select({{u"E:\\A\\", u"a.jpg", kFirst}, {u"E:\\A\\", u"b.jpg", kSecond}});
  files.volumes[u"E:\\"] = VolumeSpace{u"E:\\", 0, 32ull << 30, 32768};
  EXPECT_EQ(Run(u"E:\\Sorted", u"@file", 1, true), RenameOutcome::Planned);
  EXPECT_EQ(log.beeps, 0);
  for (const std::u16string& line : log.lines)
    EXPECT_NE(line.rfind(u"必要な空き容量", 0), 0u) << "no line for a volume that gets nothing";
  EXPECT_EQ(Run(u"E:\\Sorted", u"@file", 1, false), RenameOutcome::Done);
  Select({{u"E:\\A\\", u"a.jpg", kFirst}});
  EXPECT_EQ(Run(u"Q:\\Photos", u"@file", 0, false), RenameOutcome::Done) << "Q: tells nothing of its room";
}

// Each volume is asked for what goes to it: the backup's volume for every photo, even one
// moved by a rename on the card or already filed at the destination.
TEST_F(RenameRunTest, ABackupVolumeShortOfRoomRefusesTheRunBeforeAnyFileIsTouched) {
  constexpr uint64_t MiB = 1 << 20;
  const std::string sixMiB(6 * MiB, 'x');
  backupTemplate = u"F:\\Backup";
  Select({{u"E:\\A\\", u"a.jpg", kFirst, true, u"X-T5", sixMiB + "a"}, {u"E:\\A\\", u"b.jpg", kSecond, true, u"X-T5", sixMiB + "b"}});
  files.Put(u"D:\\Photos\\b.jpg", sixMiB + "b");  // filed before at the destination only
  files.volumes[u"D:\\"] = VolumeSpace{u"D:\\", 1ull << 30, 500ull << 30, 4096};
  files.volumes[u"F:\\"] = VolumeSpace{u"F:\\", 20 * MiB, 500ull << 30, 4096};
  EXPECT_EQ(Run(u"D:\\Photos", u"@file", 0, true), RenameOutcome::Refused);
  const Lines body = Body();
  ASSERT_GE(body.size(), 3u);
  // D: gets a alone; F: gets both.
  EXPECT_EQ(body[body.size() - 3], u"必要な空き容量: D:\\ 22.1 MB (空き 1.0 GB)");
  EXPECT_EQ(body[body.size() - 2], u"必要な空き容量: F:\\ 28.2 MB (空き 20.0 MB)");
  EXPECT_EQ(body.back(), u"空き容量が足りません: F:\\ (必要 28.2 MB、空き 20.0 MB)");
  EXPECT_EQ(Run(u"D:\\Photos", u"@file", 1, false), RenameOutcome::Failed);
  EXPECT_FALSE(Touched());
  EXPECT_FALSE(files.HasFolder(u"F:\\Backup"));
}
