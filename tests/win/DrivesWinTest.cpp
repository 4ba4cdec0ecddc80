// The drive drop-down of the real main window: rebuilt when a volume arrives or goes, the
// panes leaving a removed card's folders, and the eject button running its sequence against
// scripted volume calls (success, a lock that never succeeds, each call failing).
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>
#include <memory>

#include "app/DriveList.h"
#include "app/WindowSettings.h"
#include "app/win/MainWindow.h"
#include "browse/FolderPaths.h"
#include "platform/SettingsKey.h"
#include "platform/Text.h"
#include "platform/win/WinText.h"
#include "../support/ExifFixtures.h"
#include "../support/FakeVolumes.h"
#include "../support/HeldFolders.h"
#include "../support/WinPump.h"

using namespace tess;
using tess::testing::Pump;
namespace fx = tess::fixtures;
using tess::testing::FakeVolumes;
using tess::testing::HeldFolderLister;

namespace {

std::u16string ComboItem(HWND combo, int index) {
  wchar_t buf[300] = {};
  COMBOBOXEXITEMW item{};
  item.mask = CBEIF_TEXT;
  item.iItem = index;
  item.pszText = buf;
  item.cchTextMax = 299;
  if (!SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return u"(none)";
  return U16(buf);
}

class DrivesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    root_ = u"Software\\TessarineTests\\Drives" + PadNumber(GetCurrentProcessId(), 1) + u"_" + PadNumber(++counter_, 1);
    store_ = MakeUserSettingsStore(root_);
    folder_ = IncludeTrailingBackslash(fx::MakeTempFolder("drives"));
    CreateDirectoryW(W(folder_ + u"DCIM"), nullptr);
    fx::WriteFile(folder_ + u"DCIM\\IMG_0001.JPG", fx::Text("x"));
  }
  void TearDown() override {
    window_.reset();
    MakeUserSettingsStore()->DeleteTree(root_);
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(folder_), ec);
    OleUninitialize();
  }
  // The window with the photos' folder selected in the tree, as after a start there.
  MainWindow& Open(DirectoryLister* folders = nullptr) {
    auto key = store_->Open(kProductKey, true);
    EXPECT_TRUE(key && WriteString(*key, u"SelectFolder", folder_ + u"DCIM\\"));
    MainWindowOptions options;
    options.settingsRoot = root_;
    options.quitOnDestroy = false;
    options.volumes = &volumes_;
    options.folders = folders;
    options.reportError = [this](const std::u16string& text) { errors_.push_back(text); };
    window_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), options);
    window_->Show(SW_SHOWNOACTIVATE);
    EXPECT_TRUE(tess::testing::FinishTreeReads(window_->FolderTree()));
    EXPECT_EQ(window_->FolderTree().SelectFolder(), folder_ + u"DCIM\\");
    return *window_;
  }
  // Overwrites the text of an entry that is not the selected one (whose text the eject reads):
  // a rebuild writes it afresh.
  int Unselected() { return SendMessageW(window_->DriveBox(), CB_GETCURSEL, 0, 0) == 0 ? 1 : 0; }
  void MarkCombo() {
    ASSERT_GE(SendMessageW(window_->DriveBox(), CB_GETCOUNT, 0, 0), 2) << "Wine gives C: and Z: at least";
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT;
    item.iItem = Unselected();
    item.pszText = const_cast<wchar_t*>(L"marker");
    ASSERT_TRUE(SendMessageW(window_->DriveBox(), CBEM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  }
  bool Rebuilt() { return ComboItem(window_->DriveBox(), Unselected()) != u"marker"; }
  void ClickEject() {
    HWND b = window_->ToolButton(IdEjectButton).Handle();
    SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump();
    EXPECT_TRUE(tess::testing::FinishTreeReads(window_->FolderTree()));
  }
  void DeviceChange(WPARAM event, DWORD type, DWORD unitMask) {
    DEV_BROADCAST_VOLUME v{};
    v.dbcv_size = sizeof v;
    v.dbcv_devicetype = type;
    v.dbcv_unitmask = unitMask;
    EXPECT_EQ(SendMessageW(window_->Handle(), WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&v)), TRUE);
    Pump();
  }
  std::u16string Drive() { return folder_.substr(0, 3); }
  DWORD Unit() { return 1u << (DriveLetterOf(folder_) - u'A'); }

  static inline int counter_ = 0;
  std::u16string root_;
  std::unique_ptr<SettingsStore> store_;
  std::u16string folder_;
  FakeVolumes volumes_;
  std::vector<std::u16string> errors_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace

TEST_F(DrivesTest, DropDownListsEveryDriveWithItsLabelAndSelectsTheShownOne) {
  MainWindow& w = Open();
  HWND combo = w.DriveBox();
  DWORD mask = GetLogicalDrives();
  int expected = 0;
  for (int i = 0; i < 26; ++i) expected += (mask >> i) & 1;
  ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), expected);
  int selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
  EXPECT_EQ(ComboItem(combo, selected).substr(0, 3), Drive());
  EXPECT_EQ(ComboItem(combo, selected).substr(3, 2), u" [") << "a readable drive shows its label";
  EXPECT_EQ(ComboItem(combo, selected).back(), u']');
  COMBOBOXEXITEMW item{};
  item.mask = CBEIF_IMAGE;
  item.iItem = selected;
  ASSERT_TRUE(SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_GE(item.iImage, 0) << "and its icon";
  EXPECT_EQ(w.RootBasePath, Drive());
}

TEST_F(DrivesTest, VolumeArrivalAndRemovalRebuildTheDropDownAndPanesLeaveTheRemovedDrive) {
  MainWindow& w = Open();
  // Other device kinds and events leave everything as it is.
  MarkCombo();
  DeviceChange(DBT_DEVICEARRIVAL, DBT_DEVTYP_PORT, Unit());
  DeviceChange(DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_VOLUME, Unit());
  DeviceChange(0x0007 /* DBT_DEVNODES_CHANGED */, DBT_DEVTYP_VOLUME, Unit());
  EXPECT_FALSE(Rebuilt());

  // A card in another slot: the list is rebuilt, the panes stay where they are.
  DeviceChange(DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME, 1u << 16);
  EXPECT_TRUE(Rebuilt());
  EXPECT_EQ(w.FolderTree().SelectFolder(), folder_ + u"DCIM\\");
  MarkCombo();
  DeviceChange(DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_VOLUME, 1u << 16);
  EXPECT_TRUE(Rebuilt());
  EXPECT_EQ(w.FolderTree().SelectFolder(), folder_ + u"DCIM\\");

  // The drive the panes show goes: they let go of its folders and start again at its entry's
  // root (here the drive is still there, so they land on its root).
  MarkCombo();
  DeviceChange(DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_VOLUME, Unit());
  EXPECT_TRUE(Rebuilt());
  EXPECT_EQ(w.FolderTree().RootFolder(), Drive());
  EXPECT_EQ(w.FolderTree().SelectFolder(), Drive());
  EXPECT_EQ(w.FileList().ShownFolder(), Drive());
  EXPECT_TRUE(errors_.empty());
}

TEST_F(DrivesTest, PanesShowingAVanishedFolderMoveToAPresentDrive) {
  MainWindow& w = Open();
  // A card's folder as root, then the card pulled: the folder is gone.
  std::u16string card = folder_ + u"DCIM\\";
  w.FileList().SetRootFolder(card);
  ASSERT_EQ(w.FolderTree().RootFolder(), card);
  fx::WriteFile(card + u"IMG_0002.JPG", fx::Text("y"));
  ASSERT_TRUE(tess::testing::FinishReads(w.FileList()));
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(card), ec);
  ASSERT_FALSE(ec);
  DeviceChange(DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_VOLUME, 1u << 16);
  // The drop-down still names the drive of the folder, whose root exists: the panes go there.
  EXPECT_EQ(w.FolderTree().RootFolder(), Drive());
  EXPECT_EQ(w.FileList().RootFolder(), Drive());
}

TEST_F(DrivesTest, EjectLetsThePanesGoBeforeTheLockAndRebuildsAfterwards) {
  MainWindow& w = Open();
  std::u16string rootAtLock = u"(no lock)";
  int rowsAtLock = -1;
  volumes_.onLock = [&] {
    rootAtLock = w.FolderTree().RootFolder();
    rowsAtLock = w.FileList().ItemCount();
  };
  MarkCombo();
  ClickEject();
  EXPECT_EQ(volumes_.calls, (std::vector<std::string>{"type", "open", "lock", "dismount", "allow", "eject", "close"}));
  EXPECT_EQ(volumes_.openedPath, u"\\\\.\\" + Drive().substr(0, 2));
  EXPECT_EQ(rootAtLock, u"") << "the tree let go of the drive's folders before the lock";
  EXPECT_EQ(rowsAtLock, 0) << "and so did the list";
  EXPECT_TRUE(Rebuilt());
  EXPECT_EQ(w.FolderTree().RootFolder(), Drive()) << "the panes follow the drop-down's entry";
  EXPECT_TRUE(errors_.empty());
}

TEST_F(DrivesTest, EjectOfALockedVolumeGivesUpAfterTwentyTriesAndThePanesComeBack) {
  MainWindow& w = Open();
  volumes_.lockFailures = 1000;
  MarkCombo();
  ClickEject();
  EXPECT_EQ(std::count(volumes_.calls.begin(), volumes_.calls.end(), "lock"), 20);
  EXPECT_EQ(volumes_.sleeps, 20);
  ASSERT_FALSE(volumes_.calls.empty());
  EXPECT_EQ(volumes_.calls.back(), "close");
  EXPECT_TRUE(errors_.empty()) << "a lock that never succeeds ends without a message";
  EXPECT_TRUE(Rebuilt());
  EXPECT_EQ(w.FolderTree().SelectFolder(), folder_ + u"DCIM\\");
  EXPECT_EQ(w.FileList().ItemCount(), 1);
}

TEST_F(DrivesTest, EachFailingVolumeCallIsShownNamingTheDriveAndNothingIsRebuilt) {
  struct Case {
    const char* name;
    uint32_t code;  // 0: the open fails
  } cases[] = {{"open", 0},
               {"dismount", FSCTL_DISMOUNT_VOLUME_},
               {"allow removal", IOCTL_STORAGE_MEDIA_REMOVAL_},
               {"eject", IOCTL_STORAGE_EJECT_MEDIA_}};
  MainWindow& w = Open();
  for (const Case& c : cases) {
    volumes_ = FakeVolumes();
    if (c.code) volumes_.failCodes[c.code] = 5;
    else volumes_.openFails = true, volumes_.openError = 5;
    errors_.clear();
    MarkCombo();
    ClickEject();
    ASSERT_EQ(errors_.size(), 1u) << c.name;
    EXPECT_EQ(errors_[0], u"ドライブ " + Drive().substr(0, 2) + u" を取り外せませんでした。\r\nsystem reason 5") << c.name;
    EXPECT_FALSE(Rebuilt()) << c.name;
    EXPECT_EQ(volumes_.openHandles, 0) << c.name;
    EXPECT_EQ(w.FolderTree().SelectFolder(), folder_ + u"DCIM\\") << c.name << ": the panes show what they showed";
    EXPECT_EQ(w.FileList().ItemCount(), 1) << c.name;
  }
}

TEST_F(DrivesTest, EjectOfAFixedDiskOnlyRebuildsAndWithoutASelectionDoesNothing) {
  MainWindow& w = Open();
  volumes_.driveType = DRIVE_FIXED_;
  MarkCombo();
  ClickEject();
  EXPECT_EQ(volumes_.calls, std::vector<std::string>{"type"});
  EXPECT_TRUE(Rebuilt());
  EXPECT_EQ(w.FolderTree().SelectFolder(), folder_ + u"DCIM\\");

  volumes_ = FakeVolumes();
  SendMessageW(w.DriveBox(), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  ClickEject();
  EXPECT_TRUE(volumes_.calls.empty());
  EXPECT_TRUE(errors_.empty());
}

// The eject goes at once while the tree reads the card; the read is stopped and its search
// closed before the volume is locked.
TEST_F(DrivesTest, EjectClickedWhileTheTreeReadsTheCardClosesTheReadBeforeTheLock) {
  HeldFolderLister held(&PlatformDirectoryLister());
  MainWindow& w = Open(&held);
  std::u16string card = folder_ + u"DCIM\\";
  CreateDirectoryW(W(card + u"100CANON"), nullptr);
  int listingsAtLock = -1;
  std::u16string rootAtLock = u"(no lock)";
  volumes_.onLock = [&] {
    listingsAtLock = held.InProgress();
    rootAtLock = w.FolderTree().RootFolder();
  };
  held.Hold();
  w.FileList().SetRootFolder(card);
  ASSERT_TRUE(held.WaitHeld(card));
  // The held directory step ends a moment later, as a real one does.
  std::thread step([&] {
    Sleep(100);
    held.Release();
  });
  ClickEject();
  step.join();
  EXPECT_EQ(volumes_.calls, (std::vector<std::string>{"type", "open", "lock", "dismount", "allow", "eject", "close"}));
  EXPECT_EQ(listingsAtLock, 0);
  EXPECT_EQ(rootAtLock, u"");
  EXPECT_TRUE(tess::testing::FinishTreeReads(w.FolderTree()));
  EXPECT_EQ(w.FolderTree().RootFolder(), Drive());
  EXPECT_TRUE(errors_.empty());
  w.FolderTree().SetDirectoryLister(PlatformDirectoryLister());
}

namespace {
// The card pulled at a moment chosen by the test: the folder goes, then Windows reports it.
struct PullCard {
  static inline HWND window = nullptr;
  static inline std::u16string folder;
  static inline DWORD unit = 0;
  static inline int pulls = 0;
  static void Now() {
    ++pulls;
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(folder), ec);
    DEV_BROADCAST_VOLUME v{};
    v.dbcv_size = sizeof v;
    v.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    v.dbcv_unitmask = unit;
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&v));
  }
};
}  // namespace

TEST_F(DrivesTest, CardPulledWhileTheTreeReadsItLeavesThePanesOnAPresentFolder) {
  HeldFolderLister held(&PlatformDirectoryLister());
  MainWindow& w = Open(&held);
  std::u16string card = folder_ + u"DCIM\\";
  for (int i = 0; i < 5; ++i) CreateDirectoryW(W(card + u"10" + PadNumber(i, 1) + u"CANON"), nullptr);
  PullCard::window = w.Handle();
  PullCard::folder = card;
  PullCard::unit = Unit();
  PullCard::pulls = 0;
  held.Hold();
  w.FileList().SetRootFolder(card);
  ASSERT_TRUE(held.WaitHeld(card));
  std::thread step([&] {
    Sleep(100);
    held.Release();
  });
  PullCard::Now();
  step.join();
  EXPECT_TRUE(tess::testing::FinishTreeReads(w.FolderTree()));
  EXPECT_EQ(w.FolderTree().RootFolder(), Drive());
  EXPECT_EQ(w.FileList().ShownFolder(), Drive());
  EXPECT_TRUE(FolderExists(w.FolderTree().SelectFolder()));
  EXPECT_TRUE(errors_.empty());
  w.FolderTree().SetDirectoryLister(PlatformDirectoryLister());
}

TEST_F(DrivesTest, CardPulledDuringADragOutLeavesThePanesOnAPresentFolder) {
  MainWindow& w = Open();
  std::u16string card = folder_ + u"DCIM\\";
  PullCard::window = w.Handle();
  PullCard::folder = card;
  PullCard::unit = Unit();
  PullCard::pulls = 0;
  std::vector<std::u16string> dragged;
  w.DragDrop().runDrag = [&](const std::vector<std::u16string>& paths, DWORD, bool) {
    dragged = paths;
    PullCard::Now();  // the drag loop hands messages on meanwhile
    return DWORD(DROPEFFECT_NONE);
  };
  HWND list = w.FileList().Handle();
  ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
  NMLISTVIEW nm{};
  nm.hdr.hwndFrom = list;
  nm.hdr.idFrom = IdFileList;
  nm.hdr.code = LVN_BEGINDRAG;
  SendMessageW(w.Handle(), WM_NOTIFY, IdFileList, reinterpret_cast<LPARAM>(&nm));
  EXPECT_EQ(dragged, std::vector<std::u16string>{card + u"IMG_0001.JPG"});
  EXPECT_EQ(w.FolderTree().SelectFolder(), Drive());
  EXPECT_TRUE(errors_.empty());
}

namespace {
// A drive letter with no medium behind it, as an empty card-reader slot shows: defined for
// the test's lifetime.
class EmptySlot {
 public:
  EmptySlot() {
    DWORD present = GetLogicalDrives();
    for (char16_t c = u'Q'; c <= u'Y'; ++c) {
      if (present & (1u << (c - u'A'))) continue;
      std::u16string device{c, u':'};
      if (DefineDosDeviceW(0, W(device), L"C:\\tessarine-no-medium-here")) {
        letter_ = c;
        break;
      }
    }
  }
  ~EmptySlot() {
    if (letter_) DefineDosDeviceW(DDD_REMOVE_DEFINITION, W(std::u16string{letter_, u':'}), nullptr);
  }
  char16_t Letter() const { return letter_; }

 private:
  char16_t letter_ = 0;
};
}  // namespace

TEST_F(DrivesTest, EmptySlotShowsItsBareRootAndPanesOnAVanishedFolderGoToAPresentDrive) {
  MainWindow& w = Open();
  EmptySlot slot;
  if (!slot.Letter() || !(GetLogicalDrives() & (1u << (slot.Letter() - u'A'))))
    GTEST_SKIP() << "no drive letter could be defined here";
  std::u16string root{slot.Letter(), u':', u'\\'};
  DeviceChange(DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME, 1u << (slot.Letter() - u'A'));
  HWND combo = w.DriveBox();
  int slotEntry = -1;
  for (int i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i)
    if (ComboItem(combo, i) == root) slotEntry = i;
  ASSERT_GE(slotEntry, 0) << "the slot is listed as its bare root";
  COMBOBOXEXITEMW item{};
  item.mask = CBEIF_IMAGE;
  item.iItem = slotEntry;
  ASSERT_TRUE(SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_LT(item.iImage, 0) << "without an image";

  // Choosing the empty slot changes nothing.
  std::u16string card = folder_ + u"DCIM\\";
  w.FileList().SetRootFolder(card);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(slotEntry), 0);
  SendMessageW(w.Handle(), WM_COMMAND, MAKEWPARAM(IdDriveBox, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  EXPECT_EQ(w.FolderTree().RootFolder(), card);

  // The shown folder goes (a card pulled from another reader): with the empty slot still
  // selected, the panes go to the first drive that is there, and the drop-down names it.
  // The list's background reads end first: a file still open keeps its folder on Wine.
  ASSERT_TRUE(tess::testing::FinishReads(w.FileList()));
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(card), ec);
  ASSERT_FALSE(ec) << "the card's folder is gone";
  DeviceChange(DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_VOLUME, 1u << 16);
  int selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
  ASSERT_GE(selected, 0);
  std::u16string now = ComboItem(combo, selected).substr(0, 3);
  EXPECT_NE(now, root);
  EXPECT_TRUE(FolderExists(now));
  EXPECT_EQ(w.FolderTree().RootFolder(), now);
  EXPECT_EQ(w.FileList().ShownFolder(), now);
  EXPECT_TRUE(errors_.empty());
}
