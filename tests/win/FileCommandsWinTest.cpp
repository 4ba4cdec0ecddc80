// The commands of the real main window on a folder of its own: button states event by
// event, the pop-up menus, copy and paste between the panes and into the same folder,
// delete, new folders, renaming in place, the selection that follows its file across
// refreshes, type-to-find, Tab, a vanished root and a close during a read. The shell's
// recycle-bin question is never reached: the tests' shell deletes by itself.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "app/MainLayout.h"
#include "app/win/MainWindow.h"
#include "exif/Streams.h"
#include "browse/FolderPaths.h"
#include "platform/Locale.h"
#include "platform/SettingsKey.h"
#include "platform/Text.h"
#include "platform/win/WinText.h"
#include "../support/ExifFixtures.h"
#include "../support/WinPump.h"

using namespace tess;
using tess::testing::Pump;
namespace fx = tess::fixtures;
namespace fs = std::filesystem;

namespace {

// The system's shell, except that a delete is done here: Wine's shell would ask whether to
// move the files to the recycle bin and wait for an answer nobody gives.
class TestShell : public ShellServices {
 public:
  std::vector<FileOperationRequest> operations;
  // A delete that fails with this answer instead of deleting.
  std::optional<FileOperationResult> failDelete;
  FileOperationResult FileOperation(const FileOperationRequest& r) override {
    operations.push_back(r);
    if (r.wFunc != FO_DELETE_) return PlatformShell().FileOperation(r);
    if (failDelete) return *failDelete;
    for (size_t start = 0; start < r.pFrom.size() && r.pFrom[start];) {
      size_t end = r.pFrom.find(u'\0', start);
      std::error_code ec;
      fs::remove_all(fs::path(r.pFrom.substr(start, end - start)), ec);
      start = end + 1;
    }
    return {};
  }
  FileInfoResult GetFileInfo(const FileInfoRequest& r) override { return PlatformShell().GetFileInfo(r); }
  ShellExecuteExResult ExecuteEx(const ShellExecuteExRequest& r) override {
    executed.push_back(r);
    return {false, 0};
  }
  std::intptr_t Execute(const ShellExecuteRequest&) override { return 0; }
  std::u16string QueryAssociation(const AssocQueryRequest& r) override { return PlatformShell().QueryAssociation(r); }
  std::vector<ShellExecuteExRequest> executed;
};

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = u"Software\\TessarineTests\\Commands" + PadNumber(GetCurrentProcessId(), 1) + u"_" +
            PadNumber(++counter_, 1);
    store_ = MakeUserSettingsStore(root_);
    folder_ = IncludeTrailingBackslash(fx::MakeTempFolder("commands"));
  }
  void TearDown() override {
    window_.reset();
    MakeUserSettingsStore()->DeleteTree(root_);
    std::error_code ec;
    fs::remove_all(fs::path(folder_), ec);
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
  }
  // The window with its root at the test folder.
  MainWindow& Open() {
    MainWindowOptions options;
    options.settingsRoot = root_;
    options.quitOnDestroy = false;
    options.shell = &shell_;
    options.reportError = [this](const std::u16string& text) { errors_.push_back(text); };
    options.showPopup = [this](HMENU menu, POINT) { shownMenus_.push_back(menu); };
    options.onBrowseShow = [this](BrowseFolderDialog& dialog) {
      if (onBrowseShow_) onBrowseShow_(dialog);
    };
    window_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), options);
    window_->Show(SW_SHOWNOACTIVATE);
    Pump();
    window_->FileList().SetRootFolder(folder_);
    Pump();
    return *window_;
  }
  void File(const std::u16string& name, const std::string& text = "x") { fx::WriteFile(folder_ + name, fx::Text(text)); }
  void Folder(const std::u16string& name) { ASSERT_TRUE(CreateDirectoryW(W(folder_ + name), nullptr)); }
  bool Exists(const std::u16string& name) { return GetFileAttributesW(W(folder_ + name)) != INVALID_FILE_ATTRIBUTES; }
  HWND List() { return window_->FileList().Handle(); }
  HWND Tree() { return window_->FolderTree().Handle(); }
  std::u16string RowText(int row) {
    wchar_t buf[512] = {};
    ListView_GetItemText(List(), row, 0, buf, 511);
    return U16(buf);
  }
  std::vector<std::u16string> Rows() {
    std::vector<std::u16string> out;
    for (int i = 0; i < ListView_GetItemCount(List()); ++i) out.push_back(RowText(i));
    return out;
  }
  int RowOf(const std::u16string& name) {
    for (int i = 0; i < ListView_GetItemCount(List()); ++i)
      if (RowText(i) == name) return i;
    return -1;
  }
  void Select(std::initializer_list<const char16_t*> names) {
    ListView_SetItemState(List(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (const char16_t* n : names) {
      int row = RowOf(n);
      ASSERT_GE(row, 0) << ToUtf8(n);
      ListView_SetItemState(List(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
  }
  std::vector<std::u16string> Selected() {
    std::vector<std::u16string> out;
    for (int i = ListView_GetNextItem(List(), -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(List(), i, LVNI_SELECTED))
      out.push_back(RowText(i));
    return out;
  }
  void Notify(HWND from, UINT code) {
    NMHDR nm{};
    nm.hwndFrom = from;
    nm.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(from));
    nm.code = code;
    SendMessageW(window_->Handle(), WM_NOTIFY, nm.idFrom, reinterpret_cast<LPARAM>(&nm));
  }
  void Key(HWND from, WORD key) {
    NMLVKEYDOWN nm{};
    nm.hdr.hwndFrom = from;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(from));
    nm.hdr.code = from == List() ? LVN_KEYDOWN : TVN_KEYDOWN;
    nm.wVKey = key;
    SendMessageW(window_->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  }
  void HoldKey(int vk, bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[vk] = down ? 0x80 : 0;
    SetKeyboardState(keys);
  }
  void Press(int button) {
    SendMessageW(window_->Handle(), WM_COMMAND, MAKEWPARAM(IdFirstToolButton + button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window_->ToolButton(button).Handle()));
    Pump();
  }
  std::vector<bool> Enabled() {
    std::vector<bool> out;
    for (int b = IdBackButton; b <= IdRefreshButton; ++b) out.push_back(window_->ToolButton(b).Enabled());
    return out;
  }
  HTREEITEM Node(const std::u16string& text) {
    FolderTreeView& tree = window_->FolderTree();
    for (HTREEITEM c : tree.Children(tree.RootNode()))
      if (tree.NodeText(c) == text) return c;
    return nullptr;
  }
  // Types text into the open editor of the list and confirms it with Enter.
  void TypeIntoEditor(HWND owner, const std::u16string& text) {
    HWND edit = owner == List() ? ListView_GetEditControl(owner) : TreeView_GetEditControl(owner);
    ASSERT_TRUE(edit);
    SetWindowTextW(edit, W(text));
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(edit, WM_CHAR, L'\r', 0);
    Pump();
  }

  using V = std::vector<std::u16string>;
  static inline int counter_ = 0;
  std::u16string root_;
  std::unique_ptr<SettingsStore> store_;
  std::u16string folder_;
  TestShell shell_;
  std::vector<std::u16string> errors_;
  std::vector<HMENU> shownMenus_;
  std::function<void(BrowseFolderDialog&)> onBrowseShow_;
  std::unique_ptr<MainWindow> window_;
};

std::u16string MenuCaption(HMENU menu, int position) {
  wchar_t buf[128] = {};
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE;
  GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
  if (info.fType & MFT_SEPARATOR) return u"-";
  GetMenuStringW(menu, static_cast<UINT>(position), buf, 127, MF_BYPOSITION);
  return U16(buf);
}

}  // namespace

TEST_F(FileCommandsTest, ButtonStatesFollowEveryEventAndTheMenusHaveTheirCaptions) {
  File(u"a.txt");
  File(u"b.txt");
  Folder(u"sub");
  MainWindow& w = Open();
  using B = std::vector<bool>;
  // Root selected: the tree's change leaves back, rename, copy and delete off.
  EXPECT_EQ(Enabled(), (B{false, false, false, false, false, true, true}));
  SetFocus(List());
  Select({u"a.txt"});
  Notify(List(), NM_CLICK);
  EXPECT_EQ(Enabled(), (B{false, true, true, false, true, true, true}));
  Press(IdCopyButton);
  EXPECT_EQ(Enabled(), (B{false, true, true, true, true, true, true})) << "paste after a copy";
  Select({});
  Notify(List(), NM_CLICK);
  EXPECT_EQ(Enabled(), (B{false, false, false, true, false, true, true}));
  // Tree: a folder below the root turns everything on; the root's own click turns off.
  w.FolderTree().SetSelectFolder(folder_ + u"sub");
  Pump();
  EXPECT_EQ(Enabled(), (B{true, true, true, true, true, true, true}));
  Notify(Tree(), NM_CLICK);
  EXPECT_EQ(Enabled(), (B{true, true, true, true, true, true, true}));
  TreeView_SelectItem(Tree(), w.FolderTree().RootNode());
  Pump();
  EXPECT_EQ(Enabled(), (B{false, false, false, true, false, true, true}));
  // An edit starting in the list turns the file buttons off.
  SetFocus(List());
  Select({u"a.txt"});
  ASSERT_TRUE(w.FileList().EditFileName());
  EXPECT_EQ(Enabled(), (B{false, false, false, true, false, false, false}));
  ListView_CancelEditLabel(List());
  Pump();

  // The right button: the menu by the number of selected rows, buttons refreshed first.
  shownMenus_.clear();
  for (auto names : {std::initializer_list<const char16_t*>{}, {u"a.txt"}, {u"a.txt", u"b.txt"}}) {
    Select(names);
    Notify(List(), NM_RCLICK);
  }
  ASSERT_EQ(shownMenus_.size(), 3u);
  EXPECT_EQ(shownMenus_[0], w.PopupMenu(2));
  EXPECT_EQ(shownMenus_[1], w.PopupMenu(1));
  EXPECT_EQ(shownMenus_[2], w.PopupMenu(3));
  EXPECT_TRUE(w.ToolButton(IdDeleteButton).Enabled());
  Notify(Tree(), NM_RCLICK);
  ASSERT_EQ(shownMenus_.size(), 4u);
  EXPECT_EQ(shownMenus_[3], w.PopupMenu(4));

  // The list's two menus end with its views (表示 → 縮小版 / 詳細).
  V expected[4] = {{u"開く", u"プログラムから開く", u"-", u"Exifリネーム", u"-", u"プロパティ", u"-", u"表示"},
                   {u"フォルダーの新規作成", u"-", u"新規 テキスト文書", u"-", u"表示"},
                   {u"Exifリネーム"},
                   {u"Exifリネーム"}};
  for (int m = 0; m < 4; ++m) {
    V captions;
    for (int i = 0; i < GetMenuItemCount(w.PopupMenu(m + 1)); ++i) captions.push_back(MenuCaption(w.PopupMenu(m + 1), i));
    EXPECT_EQ(captions, expected[m]) << m + 1;
  }

  // Ctrl+A, also with Shift, selects every row and the status bar counts them.
  Select({});
  HoldKey(VK_CONTROL, true);
  HoldKey(VK_SHIFT, true);
  Key(List(), 'A');
  HoldKey(VK_SHIFT, false);
  HoldKey(VK_CONTROL, false);
  EXPECT_EQ(Selected().size(), 3u);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(FileCommandsTest, CopyAndPasteIntoTheSameFolderAndBetweenThePanes) {
  File(u"a.txt", "alpha");
  Folder(u"sub");
  MainWindow& w = Open();
  SetFocus(List());
  Select({u"a.txt"});
  Press(IdCopyButton);
  Press(IdPasteButton);
  Press(IdPasteButton);
  EXPECT_TRUE(Exists(u"a - コピー.txt"));
  EXPECT_TRUE(Exists(u"a - コピー (2).txt"));
  // Pasted rows take their places in the order of the list.
  EXPECT_EQ(Rows(), (V{u"sub", u"a - コピー (2).txt", u"a - コピー.txt", u"a.txt"}));
  ASSERT_GE(shell_.operations.size(), 2u);
  EXPECT_TRUE(shell_.operations[0].fFlags & FOF_RENAMEONCOLLISION_);

  // Files copied in the list are pasted by the tree into its selected folder.
  w.FolderTree().SetSelectFolder(folder_ + u"sub");
  Pump();
  SetFocus(Tree());
  Press(IdPasteButton);
  EXPECT_TRUE(Exists(u"sub\\a.txt"));
  EXPECT_EQ(Rows(), (V{u"a.txt"}));
  // A folder copied in the tree replaces the files copied in the list; pasted in the list
  // beside itself it becomes a copy under a new name.
  Press(IdCopyButton);
  EXPECT_EQ(w.FileList().StoredCopyFiles(), V{folder_ + u"sub"});
  TreeView_SelectItem(Tree(), w.FolderTree().RootNode());
  Pump();
  SetFocus(List());
  Press(IdPasteButton);
  EXPECT_TRUE(Exists(u"sub - コピー\\a.txt"));
  EXPECT_NE(Node(u"sub - コピー"), nullptr) << "the tree shows the new folder";
  // A folder pasted into itself is refused with a message, nothing copied.
  w.FolderTree().SetSelectFolder(folder_ + u"sub");
  Pump();
  SetFocus(Tree());
  Press(IdPasteButton);
  EXPECT_EQ(errors_.size(), 1u);
  EXPECT_FALSE(Exists(u"sub\\sub"));
}

TEST_F(FileCommandsTest, DeleteGoesToTheRecycleBinShiftDeletesOutrightAndFoldersGoFromTheTree) {
  File(u"a.txt");
  File(u"b.txt");
  File(u"c.txt");
  Folder(u"sub");
  Folder(u"sub2");
  MainWindow& w = Open();
  SetFocus(List());
  Select({u"a.txt", u"c.txt"});
  Press(IdDeleteButton);
  ASSERT_EQ(shell_.operations.size(), 1u);
  EXPECT_EQ(shell_.operations[0].wFunc, FO_DELETE_);
  EXPECT_EQ(shell_.operations[0].fFlags, FOF_ALLOWUNDO_);
  EXPECT_EQ(Rows(), (V{u"sub", u"sub2", u"b.txt"}));
  EXPECT_EQ(GetFocus(), Tree()) << "the tree has the focus after a delete";
  SetFocus(List());
  Select({u"b.txt"});
  HoldKey(VK_SHIFT, true);
  Key(List(), VK_DELETE);
  HoldKey(VK_SHIFT, false);
  ASSERT_EQ(shell_.operations.size(), 2u);
  EXPECT_EQ(shell_.operations[1].fFlags, 0u);
  EXPECT_FALSE(Exists(u"b.txt"));

  // The tree deletes its selected folder; a neighbour is selected and listed.
  w.FolderTree().SetSelectFolder(folder_ + u"sub");
  Pump();
  SetFocus(Tree());
  Press(IdDeleteButton);
  EXPECT_FALSE(Exists(u"sub"));
  EXPECT_EQ(Node(u"sub"), nullptr);
  EXPECT_NE(w.FolderTree().Selected(), nullptr);
  EXPECT_EQ(w.FileList().ShownFolder(), w.FolderTree().SelectFolder());
  // The top node cannot be deleted.
  TreeView_SelectItem(Tree(), w.FolderTree().RootNode());
  SetFocus(Tree());
  Press(IdDeleteButton);
  EXPECT_TRUE(Exists(u""));
  EXPECT_EQ(shell_.operations.size(), 3u);
}

TEST_F(FileCommandsTest, AFailureTheShellShowedIsNotShownAgain) {
  File(u"a.txt");
  Open();
  struct Case {
    bool shellShowedIt;
    size_t boxes;
  } cases[] = {{true, 0u}, {false, 1u}};
  for (const Case& c : cases) {
    errors_.clear();
    FileOperationResult denied;
    denied.returnValue = ERROR_ACCESS_DENIED;
    denied.errorShown = c.shellShowedIt;
    shell_.failDelete = denied;
    SetFocus(List());
    Select({u"a.txt"});
    Press(IdDeleteButton);
    EXPECT_EQ(errors_.size(), c.boxes) << "shown by the shell: " << c.shellShowedIt;
    EXPECT_TRUE(Exists(u"a.txt"));
  }
}

TEST_F(FileCommandsTest, NewFoldersTakeTheNextFreeNameAndOpenTheEditor) {
  File(u"新しいフォルダ (3)");  // a file of that name is taken too
  MainWindow& w = Open();
  SetFocus(List());
  Press(IdNewFolderButton);
  EXPECT_TRUE(w.FileList().Editing());
  EXPECT_EQ(Selected(), (V{u"新しいフォルダー"}));
  ListView_CancelEditLabel(List());
  Pump();
  SetFocus(List());
  Press(IdNewFolderButton);
  ListView_CancelEditLabel(List());
  SetFocus(List());
  Press(IdNewFolderButton);
  ListView_CancelEditLabel(List());
  Pump();
  EXPECT_TRUE(Exists(u"新しいフォルダー\\"));
  EXPECT_TRUE(Exists(u"新しいフォルダ (2)\\"));
  EXPECT_TRUE(Exists(u"新しいフォルダ (4)\\"));
  EXPECT_NE(Node(u"新しいフォルダ (4)"), nullptr);
  EXPECT_FALSE(w.FileList().State().RefreshLocked()) << "an ended edit releases the refresh";
}

TEST_F(FileCommandsTest, RenameInPlaceFollowsTheExtensionRules) {
  File(u"IMG_0001.JPG");
  File(u"IMG_0002.JPG");
  File(u"taken.JPG");
  Folder(u"2012.05");
  MainWindow& w = Open();
  struct Case {
    const char16_t* from;
    const char16_t* typed;
    bool displayExt;
    const char16_t* result;  // the name on disk afterwards
  } cases[] = {
      {u"IMG_0001.JPG", u"holiday", true, u"holiday.JPG"},
      {u"IMG_0002.JPG", u"trip.jpeg", true, u"trip.jpeg"},
      {u"2012.05", u"2013", true, u"2013.05"},
      {u"holiday", u"beach.jpeg", false, u"beach.jpeg.JPG"},
  };
  for (const auto& c : cases) {
    w.FileList().SetDisplayExt(c.displayExt);
    SetFocus(List());
    Select({c.from});
    ASSERT_TRUE(w.FileList().EditFileName()) << ToUtf8(c.from);
    EXPECT_TRUE(w.FileList().State().RefreshLocked());
    TypeIntoEditor(List(), c.typed);
    EXPECT_TRUE(Exists(c.result)) << ToUtf8(c.result);
    EXPECT_FALSE(w.FileList().State().RefreshLocked());
  }
  w.FileList().SetDisplayExt(true);
  EXPECT_NE(RowOf(u"beach.jpeg.JPG"), -1);
  EXPECT_EQ(Rows(), (V{u"2013.05", u"beach.jpeg.JPG", u"taken.JPG", u"trip.jpeg"})) << "renamed rows take their places";
  EXPECT_NE(Node(u"2013.05"), nullptr) << "the tree follows a renamed folder";
  // A name already taken, or one the file system refuses: a message, nothing lost.
  for (const char16_t* typed : {u"taken.JPG", u"a:b"}) {
    SetFocus(List());
    Select({u"trip.jpeg"});
    ASSERT_TRUE(w.FileList().EditFileName());
    TypeIntoEditor(List(), typed);
  }
  EXPECT_EQ(errors_.size(), 2u);
  EXPECT_TRUE(Exists(u"trip.jpeg"));
  EXPECT_TRUE(Exists(u"taken.JPG"));
  // The tree renames its folder; F2 on the top node does nothing.
  w.FolderTree().SetSelectFolder(folder_ + u"2013.05");
  Pump();
  SetFocus(Tree());
  Press(IdRenameButton);
  TypeIntoEditor(Tree(), u"2014");
  EXPECT_TRUE(Exists(u"2014\\"));
  EXPECT_EQ(w.FolderTree().SelectFolder(), folder_ + u"2014\\");
  EXPECT_EQ(w.FileList().ShownFolder(), folder_ + u"2014\\");
  TreeView_SelectItem(Tree(), w.FolderTree().RootNode());
  SetFocus(Tree());
  Key(Tree(), VK_F2);
  EXPECT_EQ(TreeView_GetEditControl(Tree()), nullptr);
}

TEST_F(FileCommandsTest, SelectionFocusAndScrollFollowTheirFilesAcrossRefreshes) {
  for (int i = 0; i < 30; ++i) File(u"f" + PadNumber(i, 2) + u".txt");
  MainWindow& w = Open();
  // Sorted by date: every file is undated, all keys tie.
  NMLISTVIEW nm{};
  nm.hdr.hwndFrom = List();
  nm.hdr.idFrom = IdFileList;
  nm.hdr.code = LVN_COLUMNCLICK;
  nm.iSubItem = 1;
  SendMessageW(w.Handle(), WM_NOTIFY, IdFileList, reinterpret_cast<LPARAM>(&nm));
  V before = Rows();
  Select({u"f25.txt"});
  int top = RowOf(u"f10.txt");
  ListView_EnsureVisible(List(), ListView_GetItemCount(List()) - 1, FALSE);
  ListView_EnsureVisible(List(), top, FALSE);
  ListView_Scroll(List(), 0, (top - ListView_GetTopIndex(List())) * 17);
  std::u16string topName = RowText(ListView_GetTopIndex(List()));
  for (int round = 0; round < 3; ++round) {
    w.OnActivateApp();
    Pump();
    EXPECT_EQ(Rows(), before) << "tied rows keep their places";
    EXPECT_EQ(Selected(), (V{u"f25.txt"}));
  }
  // Rows removed above the selection and added: the selection, focus and top row follow.
  DeleteFileW(W(folder_ + u"f01.txt"));
  DeleteFileW(W(folder_ + u"f02.txt"));
  File(u"a_new.txt");
  w.FolderTree().RefreshView(true);
  Pump();
  EXPECT_EQ(Selected(), (V{u"f25.txt"}));
  EXPECT_EQ(RowText(ListView_GetNextItem(List(), -1, LVNI_FOCUSED)), u"f25.txt");
  EXPECT_EQ(RowText(ListView_GetTopIndex(List())), topName);
  // The selected file deleted by the window: nothing is selected, no other file.
  SetFocus(List());
  Press(IdDeleteButton);
  EXPECT_FALSE(Exists(u"f25.txt"));
  EXPECT_TRUE(Exists(u"f24.txt"));
  EXPECT_TRUE(Selected().empty());
}

TEST_F(FileCommandsTest, TypingFindsTheNextRowByItsCaptionAndWraps) {
  for (const char16_t* n : {u"apple.txt", u"banana.txt", u"berry.txt", u"cherry.txt"}) File(n);
  MainWindow& w = Open();
  auto find = [&](const wchar_t* text, int start) {
    NMLVFINDITEMW nm{};
    nm.hdr.hwndFrom = List();
    nm.hdr.idFrom = IdFileList;
    nm.hdr.code = LVN_ODFINDITEMW;
    nm.iStart = start;
    nm.lvfi.flags = LVFI_STRING | LVFI_PARTIAL | LVFI_WRAP;
    nm.lvfi.psz = text;
    return static_cast<int>(SendMessageW(w.Handle(), WM_NOTIFY, IdFileList, reinterpret_cast<LPARAM>(&nm)));
  };
  EXPECT_EQ(find(L"b", 0), 1);
  EXPECT_EQ(find(L"b", 2), 2);
  EXPECT_EQ(find(L"B", 3), 1) << "wraps to the top, ignoring case";
  EXPECT_EQ(find(L"che", 0), 3);
  EXPECT_EQ(find(L"z", 0), -1);
  // Typed on the real control: the focus goes to the first match after the focused row.
  SetFocus(List());
  Select({u"apple.txt"});
  SendMessageW(List(), WM_CHAR, L'b', 1);
  Pump();
  EXPECT_EQ(RowText(ListView_GetNextItem(List(), -1, LVNI_FOCUSED)), u"banana.txt");
}

TEST_F(FileCommandsTest, TabGoesRoundTheDropDownTheTreeTheAddressBarAndTheList) {
  MainWindow& w = Open();
  SetFocus(Tree());
  SendMessageW(Tree(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(GetFocus(), w.Address().Handle());
  SendMessageW(w.Address().Handle(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(GetFocus(), List());
  SendMessageW(List(), WM_KEYDOWN, VK_TAB, 0);
  HWND focus = GetFocus();
  EXPECT_TRUE(focus == w.DriveBox() || IsChild(w.DriveBox(), focus));
  SendMessageW(focus, WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(GetFocus(), Tree());
  HoldKey(VK_SHIFT, true);
  SendMessageW(Tree(), WM_KEYDOWN, VK_TAB, 0);
  HoldKey(VK_SHIFT, false);
  focus = GetFocus();
  EXPECT_TRUE(focus == w.DriveBox() || IsChild(w.DriveBox(), focus));
}

TEST_F(FileCommandsTest, AVanishedRootIsForgottenAndTheSameChoiceTakesEffectAgain) {
  File(u"a.txt");
  MainWindow& w = Open();
  ASSERT_EQ(Rows(), (V{u"a.txt"}));
  std::error_code ec;
  fs::remove_all(fs::path(folder_), ec);
  w.OnActivateApp();
  w.OnActivateApp();
  Pump();
  EXPECT_EQ(w.FolderTree().RootFolder(), u"");
  EXPECT_EQ(w.FolderTree().RootNode(), nullptr);
  EXPECT_EQ(ListView_GetItemCount(List()), 0);
  fs::create_directories(fs::path(folder_));
  File(u"b.txt");
  w.FileList().SetRootFolder(folder_);
  Pump();
  EXPECT_EQ(w.FolderTree().RootFolder(), folder_);
  EXPECT_EQ(Rows(), (V{u"b.txt"}));
}

TEST_F(FileCommandsTest, F5ShowsAFirstSubFolderUnderARootThatHadNone) {
  File(u"a.txt");
  MainWindow& w = Open();
  Folder(u"first");
  SetFocus(List());
  Key(List(), VK_F5);
  Pump();
  HTREEITEM node = Node(u"first");
  ASSERT_NE(node, nullptr);
  RECT rc;
  EXPECT_TRUE(TreeView_GetItemRect(Tree(), node, &rc, TRUE)) << "visible, not inside a closed top node";
  EXPECT_EQ(Rows(), (V{u"first", u"a.txt"}));
  (void)w;
}

TEST_F(FileCommandsTest, CloseDuringAReadWaitsForTheReadToReturn) {
  Folder(u"sub");
  Folder(u"sub2");
  MainWindow& w = Open();
  HWND hwnd = w.Handle();
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  w.FolderTree().RefreshView(true);  // hands the queue a turn after each node
  EXPECT_TRUE(IsWindow(hwnd)) << "the panes outlive the read they are in";
  Pump();
  EXPECT_FALSE(IsWindow(hwnd)) << "the close follows the read";
}

TEST_F(FileCommandsTest, RootFolderButtonOpensThePickerBesideTheWindow) {
  Folder(u"picked");
  MainWindow& w = Open();
  RECT rc;
  GetWindowRect(w.Handle(), &rc);
  std::u16string picked = folder_ + u"picked";
  onBrowseShow_ = [&](BrowseFolderDialog& dialog) {
    SendMessageW(dialog.Handle(), BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(W(picked)));
    PostMessageW(dialog.Handle(), WM_COMMAND, IDOK, 0);
  };
  Press(IdRootFolderButton);
  EXPECT_EQ(w.RootBasePath, picked);
  EXPECT_EQ(w.FileList().RootFolder(), picked + u"\\");
  EXPECT_EQ(w.FolderTree().RootFolder(), picked + u"\\");
}

TEST_F(FileCommandsTest, CtrlZUndoesTheLastInPlaceRenameOfEitherPane) {
  File(u"IMG_0001.JPG", "photo");
  Folder(u"2012.05");
  MainWindow& w = Open();
  auto ctrlZ = [&](HWND pane) {
    HoldKey(VK_CONTROL, true);
    Key(pane, 'Z');
    HoldKey(VK_CONTROL, false);
    Pump();
  };
  SetFocus(List());
  Select({u"IMG_0001.JPG"});
  ASSERT_TRUE(w.FileList().EditFileName());
  TypeIntoEditor(List(), u"holiday");
  ASSERT_TRUE(Exists(u"holiday.JPG"));
  ctrlZ(List());
  EXPECT_TRUE(Exists(u"IMG_0001.JPG"));
  EXPECT_FALSE(Exists(u"holiday.JPG"));
  EXPECT_NE(RowOf(u"IMG_0001.JPG"), -1) << "the list shows the old name";

  w.FolderTree().SetSelectFolder(folder_ + u"2012.05");
  Pump();
  SetFocus(Tree());
  Press(IdRenameButton);
  TypeIntoEditor(Tree(), u"2014");
  ASSERT_TRUE(Exists(u"2014\\"));
  ctrlZ(Tree());
  EXPECT_TRUE(Exists(u"2012.05\\"));
  EXPECT_FALSE(Exists(u"2014\\"));
  EXPECT_NE(Node(u"2012.05"), nullptr) << "the tree shows the old name";

  // Once undone there is nothing left: a beep, and the file stays.
  ctrlZ(List());
  EXPECT_TRUE(Exists(u"IMG_0001.JPG"));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(FileCommandsTest, BackspaceSelectsTheFolderLeftAndTheHeaderShowsTheOrder) {
  Folder(u"a");
  Folder(u"b");
  File(u"c.txt");
  MainWindow& w = Open();
  w.FolderTree().SetSelectFolder(folder_ + u"b");
  Pump();
  ASSERT_EQ(w.FileList().ShownFolder(), folder_ + u"b\\");
  SetFocus(List());
  Key(List(), VK_BACK);
  Pump();
  EXPECT_EQ(w.FileList().ShownFolder(), folder_);
  EXPECT_EQ(Selected(), V{u"b"}) << "the folder just left";
  EXPECT_EQ(GetFocus(), List()) << "Backspace again goes on up from the list";

  HWND header = ListView_GetHeader(List());
  auto arrow = [&](int column) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(header, column, &item);
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
  };
  EXPECT_EQ(arrow(ColumnName), HDF_SORTUP);
  w.FileList().ColumnClick(ColumnName);
  EXPECT_EQ(arrow(ColumnName), HDF_SORTDOWN);
  EXPECT_EQ(Rows(), (V{u"c.txt", u"b", u"a"}));
  w.FileList().ColumnClick(ColumnModel);
  EXPECT_EQ(arrow(ColumnName), 0);
  EXPECT_EQ(arrow(ColumnModel), HDF_SORTDOWN);
}

TEST_F(FileCommandsTest, AFolderThatVanishedIsNamedInTheStatusBar) {
  Folder(u"gone");
  MainWindow& w = Open();
  w.FolderTree().SetSelectFolder(folder_ + u"gone");
  Pump();
  ASSERT_EQ(w.FileList().ShownFolder(), folder_ + u"gone\\");
  ASSERT_TRUE(RemoveDirectoryW(W(folder_ + u"gone")));
  SetFocus(Tree());
  Key(Tree(), VK_F5);
  Pump();
  EXPECT_EQ(w.FileList().ShownFolder(), folder_) << "the panes moved to a folder that is there";
  wchar_t text[512] = {};
  SendMessageW(w.StatusBar(), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(U16(text), StatusVanishedText(folder_ + u"gone"));
  // The next action in the list gives the panel back to the selection.
  Notify(List(), NM_CLICK);
  SendMessageW(w.StatusBar(), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(U16(text), StatusSelectedText(0, CurrentLocale().ThousandSeparator()));
}

// The list reads photos in the background: a photo open in the reader can still be deleted
// and renamed by the user (the delete completes when the read lets go), never written.
TEST(ReaderSharing, APhotoBeingReadCanBeDeletedOrRenamedButNotWritten) {
  std::u16string folder = IncludeTrailingBackslash(fx::MakeTempFolder("sharing"));
  fx::WriteFile(folder + u"a.jpg", fx::Text("photo a"));
  fx::WriteFile(folder + u"b.jpg", fx::Text("photo b"));
  {
    TFileStream a(folder + u"a.jpg");
    TFileStream b(folder + u"b.jpg");
    HANDLE writer = CreateFileW(W(folder + u"a.jpg"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "the photo is not written while it is read";
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    EXPECT_TRUE(DeleteFileW(W(folder + u"a.jpg"))) << GetLastError();
    EXPECT_TRUE(MoveFileW(W(folder + u"b.jpg"), W(folder + u"c.jpg"))) << GetLastError();
  }
  EXPECT_FALSE(fs::exists(fs::path(folder + u"a.jpg")));
  EXPECT_TRUE(fs::exists(fs::path(folder + u"c.jpg")));
  std::error_code ec;
  fs::remove_all(fs::path(folder), ec);
}
