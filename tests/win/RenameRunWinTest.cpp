// The rename run on real files: a destination that is taken is never replaced (the photo
// takes the next number), photos filed before are skipped, a real card with bursts, a
// RAW+JPEG pair, sidecars and odd camera texts files in one go, copies and moves to another
// volume are verified, a cancel leaves every photo filed or at its source, and on a volume
// that fills up the count tells only what arrived.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Locale.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "platform/win/WinText.h"
#include "rename/RenameRun.h"

using namespace tess;
namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::u16string>;

void RunUnix(const std::wstring& command);

class RealRenameRun : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_GT(n, 0u);
    root_ = fs::path(std::wstring(temp, n)) /
            (L"TessarineRun-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()));
    ASSERT_TRUE(fs::create_directories(root_ / L"card"));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
    EXPECT_FALSE(ec) << ec.message();
  }

  static std::string Bytes(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 31 + size_t(seed) * 7 + i / 251) & 0xFF);
    return bytes;
  }
  static void Write(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  }
  static std::string Content(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::u16string Card() const { return U16((root_ / L"card").wstring()) + u"\\"; }

  // Photos on the card, each with its own bytes, shot on 2024-05-01 at 09:00 plus i seconds.
  std::vector<std::string> Shoot(int count, size_t size) {
    photos.clear();
    std::vector<std::string> shot;
    for (int i = 0; i < count; ++i) {
      std::wstring name = L"IMG_000" + std::to_wstring(i) + L".JPG";
      shot.push_back(Bytes(size, i));
      Write(root_ / L"card" / name, shot.back());
      auto item = std::make_unique<SourceRecord>();
      item->Name = U16(name);
      item->Folder = Card();
      item->HasMetadata = true;
      EXPECT_TRUE(TryEncodeDateTime({2024, 5, 1, 9, i / 60, i % 60, 0}, item->ExifDateTimeOriginal));
      photos.push_back({Card() + U16(name), *item});
    }
    return shot;
  }
  // A volume of its own: a tmpfs mounted for the test, which needs root; empty when none
  // could be mounted. Unmounted when the test ends.
  fs::path MountVolume(const std::wstring& size) {
    const std::wstring unixDir = L"/tmp/tessarine-vol-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(++mounts_);
    std::wstring dosDir = L"Z:" + unixDir;
    for (wchar_t& c : dosDir)
      if (c == L'/') c = L'\\';
    const fs::path volume = dosDir, mark = dosDir + L".mounted";
    fs::create_directories(volume);
    unmount_.push_back(unixDir);
    // The mount leaves a mark beside its folder when it worked.
    RunUnix(L"mount -t tmpfs -o size=" + size + L" tessarine " + unixDir + L" 2>/dev/null && touch " + unixDir +
            L".mounted");
    // Wine may hand a Unix program over without waiting for it.
    for (int i = 0; i < 50 && !fs::exists(mark); ++i) Sleep(100);
    return fs::exists(mark) ? volume : fs::path();
  }
  ~RealRenameRun() override {
    for (const std::wstring& dir : unmount_)
      RunUnix(L"umount -l " + dir + L" 2>/dev/null; rmdir " + dir + L"; rm -f " + dir + L".mounted");
  }
  // No file of the run's own left anywhere below the folder.
  static size_t TemporaryFiles(const fs::path& folder) {
    size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder))
      if (e.path().filename().wstring().find(L".tessarine") != std::wstring::npos) ++n;
    return n;
  }
  RenameOutcome Copy(const std::u16string& folder) {
    return Rename(folder, u"@file", 0, false, control);
  }
  RenameOutcome Move(const std::u16string& folder) {
    return Rename(folder, u"@file", 1, false, control);
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
  RecordedRenameLog log;
  RenameRunControl control;
  static inline int mounts_ = 0;
  std::vector<std::wstring> unmount_;
};

// Runs a command of the machine under Wine (Wine starts Unix programs too) and waits.
void RunUnix(const std::wstring& command) {
  std::wstring line = L"Z:\\bin\\sh -c \"" + command + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace

TEST_F(RealRenameRun, AnotherFileAtTheDestinationIsNeverReplaced) {
  std::vector<std::string> shot = Shoot(2, 5000);
  const fs::path taken = root_ / L"out" / L"IMG_0001.JPG";
  const std::string earlier = Bytes(5000, 99);  // the same size, other bytes
  Write(taken, earlier);
  const std::u16string out = U16((root_ / L"out").wstring());

  EXPECT_EQ(Move(out), RenameOutcome::Done);
  ASSERT_EQ(log.lines.size(), 8u);
  EXPECT_EQ(log.lines[4], out + u"\\IMG_0001 (2).JPG");
  EXPECT_EQ(log.lines[6], u"2 個のファイルを移動/リネームしました。");
  EXPECT_EQ(log.beeps, 0);
  EXPECT_EQ(Content(taken), earlier);
  EXPECT_EQ(Content(root_ / L"out" / L"IMG_0000.JPG"), shot[0]);
  EXPECT_EQ(Content(root_ / L"out" / L"IMG_0001 (2).JPG"), shot[1]);
  EXPECT_FALSE(fs::exists(root_ / L"card" / L"IMG_0001.JPG"));
}

TEST_F(RealRenameRun, PhotosFiledBeforeAreSkippedAndTheRestMoved) {
  std::vector<std::string> shot = Shoot(3, 20000);
  Write(root_ / L"out" / L"IMG_0001.JPG", shot[1]);
  const std::u16string out = U16((root_ / L"out").wstring());

  EXPECT_EQ(Move(out), RenameOutcome::Done);
  ASSERT_EQ(log.lines.size(), 9u);
  EXPECT_EQ(log.lines[3], u"コピー先に同じファイルがあるため除外します: " + out + u"\\IMG_0001.JPG");
  EXPECT_EQ(log.lines[7], u"2 個のファイルを移動/リネームしました。");
  EXPECT_EQ(log.lines[8], u"まとめ: 移動 2 個、コピー済み 1 個");
  EXPECT_EQ(log.beeps, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Content(root_ / L"out" / (L"IMG_000" + std::to_wstring(i) + L".JPG")), shot[i]);
  EXPECT_FALSE(fs::exists(root_ / L"card" / L"IMG_0000.JPG"));
  EXPECT_EQ(Content(root_ / L"card" / L"IMG_0001.JPG"), shot[1]) << "the filed photo's source stays";
  EXPECT_FALSE(fs::exists(root_ / L"card" / L"IMG_0002.JPG"));
}

TEST_F(RealRenameRun, AFullVolumeGetsAnHonestCount) {
  // A 3 MB volume of its own.
  const fs::path volume = MountVolume(L"3m");
  if (volume.empty()) GTEST_SKIP() << "no small volume could be mounted (needs root)";

  std::vector<std::string> shot = Shoot(6, 700 * 1024);  // 4.2 MB for a 3 MB volume
  const std::u16string folder = U16(volume.wstring()) + u"\\@年4@月2@日2";
  EXPECT_EQ(Move(folder), RenameOutcome::Failed);
  const fs::path dated = volume / L"20240501";

  size_t arrived = 0, stayed = 0;
  for (int i = 0; i < 6; ++i) {
    const std::wstring name = L"IMG_000" + std::to_wstring(i) + L".JPG";
    const fs::path destination = dated / name, source = root_ / L"card" / name;
    if (fs::exists(destination)) {
      EXPECT_TRUE(Content(destination) == shot[i]) << "no short copy may stay: " << i;
      EXPECT_FALSE(fs::exists(source)) << i;
      ++arrived;
    } else {
      EXPECT_TRUE(Content(source) == shot[i]) << "a photo not moved stays whole on the card: " << i;
      ++stayed;
      // With the system's reason.
      const std::u16string line =
          u"移動できませんでした (コピー元はそのままです): " + Card() + U16(name) + u" (ディスクの空き容量が不足しています)";
      std::string all;
      for (const std::u16string& l : log.lines) all += ToUtf8(l) + "\n";
      EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), line), log.lines.end()) << i << "\n" << all;
    }
  }
  EXPECT_EQ(arrived + stayed, 6u);
  EXPECT_GT(stayed, 0u);
  const std::u16string count = PadNumber(static_cast<long long>(arrived), 1) + u" 個のファイルを移動/リネームしました。";
  if (arrived > 0) EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), count), log.lines.end());
  EXPECT_EQ(log.lines[log.lines.size() - 2], u"ファイルの移動/リネームに失敗しました。");
  EXPECT_EQ(log.beeps, 1);
  if (arrived == 0) EXPECT_FALSE(fs::exists(dated)) << "a folder left empty is removed";
}

namespace {

struct CardFile {
  std::wstring path;  // below the card
  int ms = -1;        // shot at 2024-05-01 09:03:07 plus ms; -1: a sidecar, not selected; -2: no date
  std::wstring model = L"X-T5";
  int second = 7;
};

}  // namespace

// A card as a real shoot leaves it, moved in one 実行: a four-shot burst in one second named
// in reverse of the shooting order, a RAW+JPEG pair inside it with its XMP, a photo without
// a date, a camera model Windows would not take as a name, and a name already held by
// another camera's photo. Checked on disk by bytes; a second copy of the card files nothing.
TEST_F(RealRenameRun, ARealCardFilesInOneGo) {
  const std::vector<CardFile> card = {
      {L"100CANON\\IMG_0001.JPG", 700},  {L"100CANON\\IMG_0002.JPG", 500},
      {L"100CANON\\IMG_0003.CR3", 300},  {L"100CANON\\IMG_0003.JPG", 300},
      {L"100CANON\\IMG_0003.xmp", -1},   {L"100CANON\\IMG_0004.JPG", 100},
      {L"100CANON\\SCAN.JPG", -2},       {L"101OTHER\\P_0100.JPG", 0, L"A/B:C?", 9},
  };
  std::map<std::wstring, std::string> bytes;
  auto load = [&] {
    photos.clear();
    int seed = 0;
    for (const CardFile& f : card) {
      const fs::path p = root_ / L"card" / f.path;
      if (!bytes.count(f.path)) {
        bytes[f.path] = Bytes(3000 + size_t(seed) * 10, seed);
        Write(p, bytes[f.path]);
      }
      ++seed;
      if (f.ms == -1) continue;
      auto item = std::make_unique<SourceRecord>();
      item->Name = U16(p.filename().wstring());
      item->Folder = U16(p.parent_path().wstring()) + u"\\";
      item->HasMetadata = true;
      item->ExifCameraModel = U16(f.model);
      if (f.ms == -2) {
        item->ExifDateTimeOriginal = -700000.0;
      } else {
        EXPECT_TRUE(TryEncodeDateTime({2024, 5, 1, 9, 3, f.second, f.ms}, item->ExifDateTimeOriginal));
      }
      photos.push_back({U16(p.wstring()), *item});
    }
  };
  const fs::path out = root_ / L"out";
  const std::u16string folder = U16(out.wstring()) + u"\\@モデル";
  const std::u16string name = u"@年4@月2@日2-@時2@分2@秒2";
  const std::string another = Bytes(4000, 77);
  Write(out / L"X-T5" / L"20240501-090307.JPG", another);

  // Copied twice: the second time everything is already filed and nothing new appears.
  for (int round = 0; round < 2; ++round) {
    load();
    EXPECT_EQ(Rename(folder, name, 0, false), RenameOutcome::Done)
        << round;
    EXPECT_EQ(log.beeps, 0) << round;
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(out))
      if (e.is_regular_file()) ++files;
    EXPECT_EQ(files, 8u) << "the other camera's photo and seven copies, after round " << round;
    if (round == 1) {
      EXPECT_EQ(std::count_if(log.lines.begin(), log.lines.end(),
                              [](const std::u16string& l) { return l.rfind(u"コピー先に同じファイルがあるため除外します: ", 0) == 0; }),
                7) << "six photos and the sidecar filed before";
    }
  }
  std::error_code ec;
  fs::remove_all(out, ec);
  Write(out / L"X-T5" / L"20240501-090307.JPG", another);

  // Moved: what テスト says is what 実行 does.
  load();
  EXPECT_EQ(Rename(folder, name, 1, true), RenameOutcome::Planned);
  const std::vector<std::u16string> tested(log.lines.begin(), log.lines.end() - 1);
  load();
  EXPECT_EQ(Rename(folder, name, 1, false), RenameOutcome::Done);
  std::vector<std::u16string> done(log.lines.begin(), log.lines.end() - 2);
  EXPECT_EQ(done, tested);
  EXPECT_EQ(log.lines[log.lines.size() - 2], u"7 個のファイルを移動/リネームしました。");
  EXPECT_EQ(log.lines.back(),
            u"まとめ: 移動 7 個 (番号付き 6 個、付属ファイル 1 個)、除外 1 個 (撮影日時なし 1 個)");
  const std::u16string card16 = U16((root_ / L"card").wstring());
  EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), u"撮影日時がないため除外します: " + card16 + u"\\100CANON\\SCAN.JPG"),
            log.lines.end());

  const std::map<std::wstring, std::wstring> expected = {
      {L"100CANON\\IMG_0004.JPG", L"X-T5\\20240501-090307 (2).JPG"},
      {L"100CANON\\IMG_0003.CR3", L"X-T5\\20240501-090307 (3).CR3"},
      {L"100CANON\\IMG_0003.JPG", L"X-T5\\20240501-090307 (3).JPG"},
      {L"100CANON\\IMG_0003.xmp", L"X-T5\\20240501-090307 (3).xmp"},
      {L"100CANON\\IMG_0002.JPG", L"X-T5\\20240501-090307 (4).JPG"},
      {L"100CANON\\IMG_0001.JPG", L"X-T5\\20240501-090307 (5).JPG"},
      {L"101OTHER\\P_0100.JPG", L"A_B_C_\\20240501-090309.JPG"},
  };
  for (const auto& [from, to] : expected) {
    EXPECT_FALSE(fs::exists(root_ / L"card" / from)) << "moved away: " << fs::path(from).string();
    EXPECT_EQ(Content(out / to), bytes[from]) << fs::path(to).string();
    EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), U16((out / to).wstring())), log.lines.end())
        << "the log names the file on disk: " << fs::path(to).string();
  }
  EXPECT_EQ(Content(out / L"X-T5" / L"20240501-090307.JPG"), another) << "the other camera's photo is untouched";
  EXPECT_EQ(Content(root_ / L"card" / L"100CANON" / L"SCAN.JPG"), bytes[L"100CANON\\SCAN.JPG"]);
  EXPECT_TRUE(photos.size() == 1 && photos[0].source == card16 + u"\\100CANON\\SCAN.JPG") << "only the photo not filed stays listed";
}

// A few hundred photos copied, then moved, from the card to another volume: every copy read
// back and compared before it counts, every source removed only after that.
TEST_F(RealRenameRun, CopyAndMoveToAnotherVolumeVerifyEveryPhoto) {
  const fs::path volume = MountVolume(L"64m");
  if (volume.empty()) GTEST_SKIP() << "no second volume could be mounted (needs root)";
  const int count = 300;
  std::vector<std::string> shot = Shoot(count, 9000);
  const std::u16string copies = U16((volume / L"copies").wstring());
  EXPECT_EQ(Copy(copies), RenameOutcome::Done);
  ASSERT_GE(log.lines.size(), 2u);
  EXPECT_EQ(log.lines[log.lines.size() - 2], u"300 個のファイルをコピー/リネームしました。");
  // The lists keep only photos not filed: the card is selected again for the move.
  shot = Shoot(count, 9000);
  const std::u16string moved = U16((volume / L"moved").wstring());
  EXPECT_EQ(Move(moved), RenameOutcome::Done);
  ASSERT_GE(log.lines.size(), 2u);
  EXPECT_EQ(log.lines[log.lines.size() - 2], u"300 個のファイルを移動/リネームしました。");
  for (int i = 0; i < count; ++i) {
    const std::wstring name = L"IMG_000" + std::to_wstring(i) + L".JPG";
    EXPECT_TRUE(Content(volume / L"copies" / name) == shot[i]) << i;
    EXPECT_TRUE(Content(volume / L"moved" / name) == shot[i]) << i;
    EXPECT_FALSE(fs::exists(root_ / L"card" / name)) << i;
  }
  EXPECT_EQ(TemporaryFiles(volume), 0u);
}

// Stopped in the middle: every photo whole, either filed and verified or still on the card,
// and the log tells how many were not handled.
TEST_F(RealRenameRun, CancelInTheMiddleLosesNothing) {
  fs::path volume = MountVolume(L"64m");
  if (volume.empty()) volume = root_;  // the same volume: the copy still goes through the temporary name
  struct CancelAt final : TransferObserver {
    CancelToken token;
    size_t at = 0;
    void OnProgress(const TransferProgress& p) override {
      if (p.filesDone >= at) token.Cancel();
    }
  };
  const int count = 200;
  for (int action : {0, 1}) {
    SCOPED_TRACE(action);
    std::vector<std::string> shot = Shoot(count, 12000);
    CancelAt cancelAt;
    cancelAt.at = 77;
    control.observer = &cancelAt;
    control.cancel = &cancelAt.token;
    const fs::path out = volume / (action == 0 ? L"copies" : L"moved");
    const std::u16string folder = U16(out.wstring());
    EXPECT_EQ(Rename(folder, u"@file", action, false, control), RenameOutcome::Cancelled);
    size_t filed = 0;
    for (int i = 0; i < count; ++i) {
      const std::wstring name = L"IMG_000" + std::to_wstring(i) + L".JPG";
      const bool atDestination = fs::exists(out / name), atSource = fs::exists(root_ / L"card" / name);
      if (atDestination) {
        ++filed;
        EXPECT_TRUE(Content(out / name) == shot[i]) << i;
      }
      if (atSource) EXPECT_TRUE(Content(root_ / L"card" / name) == shot[i]) << i;
      EXPECT_TRUE(atDestination || atSource) << i;
      if (action == 1) EXPECT_NE(atDestination, atSource) << i;
    }
    EXPECT_EQ(filed, 77u);
    EXPECT_EQ(TemporaryFiles(volume), 0u);
    EXPECT_EQ(log.lines.back(), u"中止しました: 123 個のファイルは処理されていません");
    control = {};
    fs::remove_all(out);
    fs::remove_all(root_ / L"card");
  }
}
