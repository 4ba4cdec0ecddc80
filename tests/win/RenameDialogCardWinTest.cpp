// The rename dialog and the disks around a run: a destination volume too small refuses the
// run before any file moves, the backup list is edited as the others, and the card comes
// out after a run that filed everything (through the main window's eject).
#include "RenameDialogFixture.h"
#include "../support/FakeVolumes.h"
#include "../support/SpaceOverride.h"
#include "rename/SpaceCheck.h"

namespace {

class RenameDialogCardTest : public RenameDialogTest {
 protected:
  // Two photos of 2024 in the shown folder, copied (or moved) into "out\2024" beside them.
  void TwoPhotos(int action) {
    Photo(u"IMG_0001.JPG", "2024:05:01 09:03:07", "X100");
    Photo(u"IMG_0002.JPG", "2024:05:02 10:00:00", "X100");
    StoreFolder(folder_);
    StoreRenameSettings({u"@元のフォルダ名", u"out\\@年4"}, {u"@元のファイル名"}, action, 1, 0);
  }
  void RunOnAllPhotos() {
    main_->FileList().SelectAll();
    SetFocus(ListView());
    PressExifRenameButton();
  }
};

}  // namespace

// The volume of the destination has 1 MiB left: テスト names it and refuses, 実行 refuses
// before a folder is made or a byte is copied, and the card is not ejected. A move within
// the volume takes no room: it goes.
TEST_F(RenameDialogCardTest, AVolumeTooSmallRefusesTheRunBeforeAnyFileMoves) {
  TwoPhotos(0);
  const std::string original = Bytes(folder_ + u"IMG_0001.JPG");
  // A volume mounted at "out" with 1 MiB left.
  const std::u16string out = folder_ + u"out";
  tess::testing::SpaceOverride small([&](const std::u16string& path) -> std::optional<VolumeSpace> {
    if (FileSystemPathKey(path).rfind(FileSystemPathKey(out), 0) == 0) return VolumeSpace{out + u"\\", 1 << 20, 1ull << 30, 4096};
    return PlatformFileSystem().SpaceOf(path);
  });
  files_ = &small;
  tess::testing::FakeVolumes volumes;
  volumes_ = &volumes;
  Open();
  // Each photo in whole clusters of 4 KiB, with the margin.
  uint64_t clusters = 0;
  for (const char16_t* name : {u"IMG_0001.JPG", u"IMG_0002.JPG"}) clusters += (Bytes(folder_ + name).size() + 4095) / 4096 * 4096;
  const std::u16string needed = FormatVolumeSize(clusters + SpaceMargin(clusters), true);
  const std::u16string shortLine = u"空き容量が足りません: " + folder_ + u"out\\ (必要 " + needed + u"、空き 1.0 MB)";
  WhenShown(*rename_, [&] {
    Click(C(IdEjectWhenDone));
    TestToEnd(*rename_);
    List log = rename_->LogLines();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], u"必要な空き容量: " + folder_ + u"out\\ " + needed + u" (空き 1.0 MB)") << Show(log);
    EXPECT_EQ(log[log.size() - 2], shortLine);
    EXPECT_EQ(beeps_, 1);
    beeps_ = 0;
    RunToEnd(*rename_);
    log = rename_->LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], shortLine) << Show(log);
    EXPECT_EQ(log.back(), u"ファイルのコピー/リネームに失敗しました。");
    EXPECT_EQ(beeps_, 1);
    EXPECT_FALSE(Exists(folder_ + u"out")) << "not even a folder made";
    EXPECT_EQ(Bytes(folder_ + u"IMG_0001.JPG"), original);
    EXPECT_TRUE(Exists(folder_ + u"IMG_0002.JPG"));
    EXPECT_EQ(rename_->Job().photos.size(), 2u) << "both kept for a run once there is room";
    EXPECT_TRUE(volumes.calls.empty()) << "a refused run ejects nothing";
    EXPECT_TRUE(journals_.texts.empty()) << "refused before the journal";

    // The same photos moved within their volume: renamed, no room taken, no refusal.
    Select(C(IdActionBox), 1);
    Click(C(IdEjectWhenDone));
    RunToEnd(*rename_);
    EXPECT_EQ(Body(rename_->LogLines()).back(), u"2 個のファイルを移動/リネームしました。") << Show(rename_->LogLines());
    EXPECT_EQ(Bytes(folder_ + u"out\\2024\\IMG_0001.JPG"), original);
  });
  RunOnAllPhotos();
}

// 完了後にカードを取り出す: after a run that filed everything, the photos' drive comes out
// through the main window's eject, the panes letting go of it first; a test ejects nothing.
TEST_F(RenameDialogCardTest, TheCardComesOutAfterARunThatFiledEverything) {
  TwoPhotos(0);
  tess::testing::FakeVolumes volumes;
  volumes_ = &volumes;
  Open();
  std::u16string rootAtLock = u"(not locked)";
  volumes.onLock = [&] { rootAtLock = main_->FolderTree().RootFolder(); };
  const std::u16string drive = folder_.substr(0, 3);
  WhenShown(*rename_, [&] {
    EXPECT_EQ(IsDlgButtonChecked(rename_->Handle(), IdEjectWhenDone), BST_UNCHECKED) << "off by default";
    Click(C(IdEjectWhenDone));
    TestToEnd(*rename_);
    EXPECT_TRUE(volumes.calls.empty()) << "a test ejects nothing";
    RunToEnd(*rename_);
    EXPECT_EQ(rename_->LogLines().back(), u"カードを取り出しました: " + drive) << Show(rename_->LogLines());
    EXPECT_EQ(volumes.openedPath, u"\\\\.\\" + drive.substr(0, 2));
  });
  RunOnAllPhotos();
  EXPECT_EQ(rootAtLock, u"") << "the panes let go of the drive before the lock";
  EXPECT_NE(std::find(volumes.calls.begin(), volumes.calls.end(), "eject"), volumes.calls.end());
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"EjectWhenDone"), 1);
}

TEST_F(RenameDialogCardTest, ACardThatCannotComeOutIsNamedWithWhy) {
  struct Case {
    const char* what;
    unsigned driveType;
    int lockFailures;
    const char16_t* suffix;  // after the drive
    bool beep;
  } cases[] = {
      {"a fixed disk", DRIVE_FIXED_, 0, u" (取り外せるドライブではありません)", false},
      {"files open elsewhere", DRIVE_REMOVABLE_, kLockAttempts, u" (ほかのプログラムがドライブのファイルを開いています)", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    TwoPhotos(0);
    tess::testing::FakeVolumes volumes;
    volumes.driveType = c.driveType;
    volumes.lockFailures = c.lockFailures;
    volumes_ = &volumes;
    Open();
    const std::u16string shown = main_->FolderTree().SelectFolder();
    const std::u16string drive = folder_.substr(0, 3);
    WhenShown(*rename_, [&] {
      Click(C(IdEjectWhenDone));
      beeps_ = 0;
      RunToEnd(*rename_);
      const std::u16string prefix = c.driveType == DRIVE_FIXED_ ? u"カードを取り出しませんでした: " : u"カードを取り出せませんでした: ";
      EXPECT_EQ(rename_->LogLines().back(), prefix + drive + c.suffix) << Show(rename_->LogLines());
      EXPECT_EQ(beeps_, c.beep ? 1 : 0);
    });
    RunOnAllPhotos();
    EXPECT_EQ(main_->FolderTree().SelectFolder(), shown) << "the card stays: the panes show what they showed";
  }
}

// The backup list is edited as the other two: its "..." opens the editor on it alone,
// without the empty entry that stands for no backup, which stays first and chosen.
TEST_F(RenameDialogCardTest, TheBackupListHasItsOwnEditor) {
  Open();
  WhenShown(*rename_, [&] {
    EXPECT_EQ(ShownItems(C(IdBackupBox)), (List{u""})) << "no backup by default";
    WhenShown(*edit_, [&] {
      EXPECT_EQ(edit_->Caption(), u"バックアップ先一覧の編集");
      EXPECT_EQ(Text(edit_->Control(IdListText)), u"");
      SetWindowTextW(edit_->Control(IdListText), L"F:\\Backup\\@年4\r\n\r\nG:\\@年4");
      Click(edit_->Control(IdOkButton));
    });
    Click(C(IdEditBackupsButton));
    EXPECT_EQ(ShownItems(C(IdBackupBox)), (List{u"", u"F:\\Backup\\@年4", u"G:\\@年4"}));
    EXPECT_EQ(Selected(C(IdBackupBox)), 0) << "still no backup";
    Select(C(IdBackupBox), 2);
    WhenShown(*edit_, [&] {
      EXPECT_EQ(SplitLines(Text(edit_->Control(IdListText))), (List{u"F:\\Backup\\@年4", u"G:\\@年4"}));
      SetWindowTextW(edit_->Control(IdListText), L"E:\\B\r\nG:\\@年4");
      Click(edit_->Control(IdOkButton));
    });
    Click(C(IdEditBackupsButton));
    EXPECT_EQ(ShownItems(C(IdBackupBox)), (List{u"", u"E:\\B", u"G:\\@年4"}));
    EXPECT_EQ(Selected(C(IdBackupBox)), 2) << "the chosen template followed by its text";
    EXPECT_EQ(ShownItems(C(IdFolderBox)), RenameWindowSettings::BuiltInFolderTemplates()) << "the other lists untouched";
  });
  ShowRename();
  EXPECT_EQ(StoredList(u"BackupToPath"), (List{u"E:\\B", u"G:\\@年4"}));
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox4.ItemIndex"), 2);
  WhenShown(*rename_, [&] { EXPECT_EQ(Selected(C(IdBackupBox)), 2) << "kept"; });
  ShowRename();
}
