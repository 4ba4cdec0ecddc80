// The real main window, created in-process under a throwaway settings key, and what a
// person sees in it: the rows of a folder of photos, sorting, the filter, refreshes, the
// tree's expansion and the stored settings.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/WindowSettings.h"
#include "app/win/MainWindow.h"
#include "browse/FolderPaths.h"
#include "history/ImportHistory.h"
#include "platform/SettingsKey.h"
#include "platform/Text.h"
#include "platform/win/WinText.h"
#include "../support/ExifFixtures.h"
#include "../support/HeldFolders.h"
#include "../support/HeldReads.h"
#include "../support/WinPump.h"

using namespace tess;
using tess::testing::Pump;
using tess::testing::RowText;
namespace fx = tess::fixtures;

namespace {

std::vector<std::u16string> Column(HWND list, int column) {
  std::vector<std::u16string> out;
  for (int i = 0; i < ListView_GetItemCount(list); ++i) out.push_back(RowText(list, i, column));
  return out;
}

std::u16string StatusText(HWND status, int part) {
  wchar_t buf[256] = {};
  SendMessageW(status, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(buf));
  return U16(buf);
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = u"Software\\TessarineTests\\Main" + PadNumber(GetCurrentProcessId(), 1) + u"_" +
            PadNumber(++counter_, 1);
    store_ = MakeUserSettingsStore(root_);
    folder_ = IncludeTrailingBackslash(fx::MakeTempFolder("window"));
  }
  void TearDown() override {
    window_.reset();
    MakeUserSettingsStore()->DeleteTree(root_);
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(folder_), ec);
  }

  MainWindow& Open(MetadataSource* metadata = nullptr, DirectoryLister* listing = nullptr,
                       DirectoryLister* folders = nullptr) {
    MainWindowOptions options;
    options.metadata = metadata;
    options.listing = listing;
    options.folders = folders;
    options.settingsRoot = root_;
    options.quitOnDestroy = false;
    options.reportError = [](const std::u16string& text) { ADD_FAILURE() << "error shown: " << ToUtf8(text); };
    window_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), options);
    window_->Show(SW_SHOWNOACTIVATE);
    Pump();
    EXPECT_TRUE(tess::testing::FinishTreeReads(window_->FolderTree()));
    if (!metadata) EXPECT_TRUE(tess::testing::FinishReads(window_->FileList()));
    return *window_;
  }
  void StoreFolder(const std::u16string& folder) {
    auto key = store_->Open(kProductKey, true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(WriteString(*key, u"SelectFolder", folder));
  }
  void Photo(const std::u16string& name, const std::string& date, const std::string& model, const std::string& make) {
    fx::PhotoFields f;
    f.dateTimeOriginal = date;
    f.model = model;
    f.make = make;
    fx::WriteFile(folder_ + name, fx::PhotoJpeg(f));
  }
  HWND List() { return window_->FileList().Handle(); }
  void ClickColumn(int column) {
    NMLISTVIEW nm{};
    nm.hdr.hwndFrom = List();
    nm.hdr.idFrom = IdFileList;
    nm.hdr.code = LVN_COLUMNCLICK;
    nm.iItem = -1;
    nm.iSubItem = column;
    SendMessageW(window_->Handle(), WM_NOTIFY, IdFileList, reinterpret_cast<LPARAM>(&nm));
  }
  std::u16string SelectedName() {
    int i = ListView_GetNextItem(List(), -1, LVNI_SELECTED);
    return i < 0 ? u"" : RowText(List(), i, 0);
  }
  RECT Outer() {
    RECT rc{};
    GetWindowRect(window_->Handle(), &rc);
    return rc;
  }

  static inline int counter_ = 0;
  std::u16string root_;
  std::unique_ptr<SettingsStore> store_;
  std::u16string folder_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace

TEST_F(MainWindowTest, FirstStartOpensCentredWithDefaultsAtDriveC) {
  MainWindow& w = Open();
  RECT rc = Outer();
  EXPECT_EQ(rc.right - rc.left, 644);
  EXPECT_EQ(rc.bottom - rc.top, 408);
  EXPECT_EQ(rc.left, (GetSystemMetrics(SM_CXSCREEN) - 644) / 2);
  EXPECT_EQ(rc.top, (GetSystemMetrics(SM_CYSCREEN) - 408) / 2);
  // The column table's widths: the window and the settings agree.
  const int widths[] = {180, 180, 180, 180, 0};
  for (int i = 0; i < FileColumnCount; ++i) EXPECT_EQ(ListView_GetColumnWidth(List(), i), widths[i]) << i;
  EXPECT_EQ(w.FolderTreeWidth(), 220);
  EXPECT_EQ(w.FolderTree().RootFolder(), u"C:\\");
  EXPECT_EQ(w.FolderTree().SelectFolder(), u"C:\\");
  EXPECT_EQ(w.FolderTree().NodeText(w.FolderTree().RootNode()), u"C:\\");
  EXPECT_EQ(w.FolderTree().RootHeader(), u"");
  EXPECT_EQ(w.RootBasePath, u"C:\\");
  EXPECT_TRUE(SendMessageW(w.Handle(), WM_GETICON, ICON_BIG, 0)) << "the window has an icon of its own";
  EXPECT_TRUE(store_->KeyExists(kProductKey));
  EXPECT_TRUE(store_->KeyExists(kMainWindowKey));

  const int lefts[] = {161, 201, 241, 281, 321, 361, 406, 446, 486, 526};
  // The root's selection at show enables new folder and refresh; back, rename, copy, paste and
  // delete stay off.
  const bool enabled[] = {true, false, false, false, false, false, true, true, true, true};
  for (int i = 0; i < ToolButtonCount; ++i) {
    RECT b;
    GetWindowRect(w.ToolButton(i).Handle(), &b);
    MapWindowPoints(nullptr, w.Handle(), reinterpret_cast<POINT*>(&b), 2);
    EXPECT_EQ(b.left, lefts[i]) << i;
    EXPECT_EQ(b.top, 3) << i;
    EXPECT_EQ(w.ToolButton(i).Enabled(), enabled[i]) << i;
  }
  // A button click leaves the keyboard focus where it was.
  SetFocus(List());
  SendMessageW(w.ToolButton(IdRefreshButton).Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(w.ToolButton(IdRefreshButton).Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(GetFocus(), List());

  LVCOLUMNW col{};
  wchar_t text[64] = {};
  col.mask = LVCF_TEXT | LVCF_FMT;
  col.pszText = text;
  col.cchTextMax = 63;
  const wchar_t* captions[] = {L"名前", L"撮影日時", L"カメラのモデル", L"カメラの製造元"};
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(ListView_GetColumn(List(), i, &col));
    EXPECT_STREQ(text, captions[i]);
    EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
  }
}

TEST_F(MainWindowTest, PhotoFolderShowsDatesModelsAndMakersWithFoldersFirst) {
  Photo(u"IMG_0002.JPG", "2012:05:03 14:22:01", "EOS 5D", "Canon");
  Photo(u"IMG_0001.JPG", "2010:01:02 03:04:05", "D70", "NIKON CORPORATION");
  fx::WriteFile(folder_ + u"notes.txt", fx::Text("no photo"));
  CreateDirectoryW(W(folder_ + u"sub"), nullptr);
  StoreFolder(folder_);
  MainWindow& w = Open();

  EXPECT_EQ(w.FolderTree().SelectFolder(), folder_);
  EXPECT_EQ(w.FileList().ShownFolder(), folder_);
  using V = std::vector<std::u16string>;
  EXPECT_EQ(Column(List(), 0), (V{u"sub", u"IMG_0001.JPG", u"IMG_0002.JPG", u"notes.txt"}));
  EXPECT_EQ(Column(List(), 1), (V{u"", u"2010/01/02 03:04:05", u"2012/05/03 14:22:01", u""}));
  EXPECT_EQ(Column(List(), 2), (V{u"", u"D70", u"EOS 5D", u""}));
  EXPECT_EQ(Column(List(), 3), (V{u"", u"NIKON CORPORATION", u"Canon", u""}));
  EXPECT_EQ(StatusText(w.StatusBar(), 0), u"  4 個の項目");
  EXPECT_EQ(StatusText(w.StatusBar(), 1), u"");

  // Sorting by date: the first click puts the newest first and folders last; the selected
  // row follows its record.
  w.FileList().SelectRow(1);
  Pump();
  EXPECT_EQ(StatusText(w.StatusBar(), 1), u"  1 個の項目を選択");
  ListView_SetItemState(List(), 3, LVIS_SELECTED, LVIS_SELECTED);  // a second selected row
  ClickColumn(1);
  EXPECT_EQ(Column(List(), 0), (V{u"IMG_0002.JPG", u"IMG_0001.JPG", u"notes.txt", u"sub"}));
  EXPECT_EQ(SelectedName(), u"IMG_0001.JPG");
  EXPECT_EQ(ListView_GetSelectedCount(List()), 1u) << "only the first selected record stays selected";
  EXPECT_EQ(StatusText(w.StatusBar(), 1), u"  1 個の項目を選択");
  ClickColumn(1);
  EXPECT_EQ(Column(List(), 0), (V{u"sub", u"notes.txt", u"IMG_0001.JPG", u"IMG_0002.JPG"}));
  EXPECT_EQ(SelectedName(), u"IMG_0001.JPG");
  EXPECT_EQ(ListView_GetSelectedCount(List()), 1u);

  // The filter keeps folders and the matching files.
  w.FileList().SetFindText(u"0002");
  EXPECT_EQ(Column(List(), 0), (V{u"sub", u"IMG_0002.JPG"}));
  w.FileList().SetFindText(u"");
  EXPECT_EQ(ListView_GetItemCount(List()), 4);
}

TEST_F(MainWindowTest, RowsComeAtOnceWhileTheDatesAreHeldBackAndAnotherFolderDropsTheirReads) {
  // More photos than there are workers: a dropped folder leaves some of them unread.
  for (int i = 0; i < 12; ++i) fx::WriteFile(folder_ + u"IMG_" + PadNumber(i, 2) + u".JPG", fx::Bytes{1});
  CreateDirectoryW(W(folder_ + u"other"), nullptr);
  fx::WriteFile(folder_ + u"other\\DSC_1.JPG", fx::Bytes{1});
  StoreFolder(folder_);
  tess::testing::HeldMetadataSource held;
  held.Hold();
  MainWindow& w = Open(&held);
  // The window is up and shows every row, with no date yet, while no read has come back.
  EXPECT_TRUE(IsWindowVisible(w.Handle()));
  ASSERT_EQ(ListView_GetItemCount(List()), 13);
  EXPECT_EQ(RowText(List(), 0, 0), u"other");
  EXPECT_EQ(RowText(List(), 1, 0), u"IMG_00.JPG");
  EXPECT_EQ(RowText(List(), 1, 1), u"");
  ASSERT_TRUE(held.WaitStarted(1));
  EXPECT_TRUE(w.FileList().ReadsRunning());
  EXPECT_NE(StatusText(w.StatusBar(), 1).find(u"読み込み中 0 / 13"), std::u16string::npos)
      << ToUtf8(StatusText(w.StatusBar(), 1));
  // Another thread's message is answered while the reads are held.
  EXPECT_TRUE(tess::testing::AnswersAnotherThread(w.Handle(), 5000));

  // Another folder: its row at once, and the held reads of the first folder are dropped.
  w.FolderTree().SetSelectFolder(folder_ + u"other\\");
  ASSERT_TRUE(tess::testing::FinishTreeReads(w.FolderTree()));
  ASSERT_EQ(ListView_GetItemCount(List()), 1);
  EXPECT_EQ(RowText(List(), 0, 0), u"DSC_1.JPG");
  held.Release();
  ASSERT_TRUE(tess::testing::FinishReads(w.FileList()));
  EXPECT_EQ(RowText(List(), 0, 1), u"2021/03/04 05:06:07");
  EXPECT_EQ(RowText(List(), 0, 2), u"HELD");
  size_t firstFolderReads = 0;
  for (const auto& p : held.Started()) firstFolderReads += p.find(u"IMG_") != std::u16string::npos;
  EXPECT_LT(firstFolderReads, 12u) << "the reads not begun when the folder changed never ran";
  EXPECT_EQ(ListView_GetItemCount(List()), 1);
}

TEST_F(MainWindowTest, AHeldListingLeavesTheWindowAnsweringAndANewerFolderDropsIt) {
  CreateDirectoryW(W(folder_ + u"slow"), nullptr);
  for (int i = 0; i < 3; ++i) fx::WriteFile(folder_ + u"slow\\IMG_" + PadNumber(i, 2) + u".JPG", fx::Bytes{1});
  CreateDirectoryW(W(folder_ + u"other"), nullptr);
  fx::WriteFile(folder_ + u"other\\DSC_1.JPG", fx::Bytes{1});
  StoreFolder(folder_);
  tess::testing::HeldFolderLister held(&PlatformDirectoryLister());
  MainWindow& w = Open(nullptr, &held);
  ASSERT_TRUE(tess::testing::FinishReads(w.FileList()));
  ASSERT_EQ(ListView_GetItemCount(List()), 2);

  // The folder change returns while its listing is held: no rows yet, the status bar says why.
  held.Hold();
  size_t listed = held.Started().size();
  w.FolderTree().SetSelectFolder(folder_ + u"slow\\");
  // The tree finds the folder's node on its own worker, then the list lists it.
  ASSERT_TRUE(tess::testing::FinishTreeReads(w.FolderTree()));
  ASSERT_TRUE(held.WaitStarted(listed + 1));
  Pump();
  EXPECT_TRUE(w.FileList().ListingPending());
  EXPECT_EQ(ListView_GetItemCount(List()), 0);
  EXPECT_NE(StatusText(w.StatusBar(), 1).find(u"フォルダを読み込み中"), std::u16string::npos)
      << ToUtf8(StatusText(w.StatusBar(), 1));
  // Select-all acts on what is shown: nothing.
  w.FileList().SelectAll();
  EXPECT_EQ(w.FileList().SelectedCount(), 0);
  EXPECT_TRUE(tess::testing::AnswersAnotherThread(w.Handle(), 5000));

  // Another folder meanwhile: the held listing, once let through, is never shown.
  w.FolderTree().SetSelectFolder(folder_ + u"other\\");
  ASSERT_TRUE(tess::testing::FinishTreeReads(w.FolderTree()));
  held.Release();
  ASSERT_TRUE(tess::testing::FinishReads(w.FileList()));
  using V = std::vector<std::u16string>;
  EXPECT_EQ(Column(List(), 0), (V{u"DSC_1.JPG"}));
  EXPECT_EQ(StatusText(w.StatusBar(), 0), u"  1 個の項目");

  // Held again and let through: the rows come, and after Backspace the folder left is the
  // selected row once the parent's listing arrives.
  held.Hold();
  w.FolderTree().SetSelectFolder(folder_ + u"slow\\");
  ASSERT_TRUE(tess::testing::FinishTreeReads(w.FolderTree()));
  EXPECT_EQ(ListView_GetItemCount(List()), 0);
  held.Release();
  ASSERT_TRUE(tess::testing::FinishReads(w.FileList()));
  EXPECT_EQ(Column(List(), 0), (V{u"IMG_00.JPG", u"IMG_01.JPG", u"IMG_02.JPG"}));
  held.Hold();
  EXPECT_TRUE(w.FileList().BackFolder());
  ASSERT_TRUE(tess::testing::FinishTreeReads(w.FolderTree()));
  EXPECT_TRUE(w.FileList().ListingPending());
  held.Release();
  ASSERT_TRUE(tess::testing::FinishReads(w.FileList()));
  ASSERT_EQ(ListView_GetItemCount(List()), 2);
  EXPECT_EQ(w.FileList().SelectedCount(), 1);
  ASSERT_NE(w.FileList().FileInfo(), nullptr);
  EXPECT_EQ(w.FileList().FileInfo()->Name, u"slow");
}

TEST_F(MainWindowTest, RefreshFollowsFilesAddedAndRemovedBehindTheList) {
  Photo(u"a.jpg", "2012:05:03 14:22:01", "M", "K");
  Photo(u"b.jpg", "2012:05:04 14:22:01", "M", "K");
  StoreFolder(folder_);
  MainWindow& w = Open();
  ASSERT_EQ(ListView_GetItemCount(List()), 2);
  int changed = 0;
  w.FileList().OnFolderChanged = [&] { ++changed; };
  DeleteFileW(W(folder_ + u"a.jpg"));
  Photo(u"c.jpg", "2001:01:01 00:00:00", "X", "Y");
  w.FileList().RefreshView();
  ASSERT_TRUE(tess::testing::FinishReads(w.FileList()));
  using V = std::vector<std::u16string>;
  EXPECT_EQ(Column(List(), 0), (V{u"b.jpg", u"c.jpg"}));
  EXPECT_EQ(Column(List(), 1), (V{u"2012/05/04 14:22:01", u"2001/01/01 00:00:00"}));
  EXPECT_EQ(changed, 1);
  // Activations after the first refresh the list as well.
  w.FileList().OnFolderChanged = nullptr;
  w.ActiveMonitor = false;
  Photo(u"d.jpg", "2001:01:01 00:00:00", "X", "Y");
  w.OnActivateApp();
  ASSERT_TRUE(tess::testing::FinishReads(w.FileList()));
  EXPECT_EQ(ListView_GetItemCount(List()), 2);
  w.OnActivateApp();
  ASSERT_TRUE(tess::testing::FinishReads(w.FileList()));
  EXPECT_EQ(ListView_GetItemCount(List()), 3);
}

TEST_F(MainWindowTest, AHeldRefreshKeepsTheRowsAndTheSelectionUntilItsListingComes) {
  for (int i = 0; i < 4; ++i) fx::WriteFile(folder_ + u"IMG_" + PadNumber(i, 2) + u".JPG", fx::Bytes{1});
  StoreFolder(folder_);
  tess::testing::HeldFolderLister held(&PlatformDirectoryLister());
  MainWindow& w = Open(nullptr, &held);
  ASSERT_TRUE(tess::testing::FinishReads(w.FileList()));
  FileListView& list = w.FileList();
  ASSERT_EQ(ListView_GetItemCount(List()), 4);
  list.SelectRow(2);
  int changed = 0;
  list.OnFolderChanged = [&] { ++changed; };

  // Behind the list's back: one photo goes, one comes. The refresh's listing is held.
  DeleteFileW(W(folder_ + u"IMG_01.JPG"));
  fx::WriteFile(folder_ + u"IMG_00A.JPG", fx::Bytes{1});
  held.Hold();
  size_t listed = held.Started().size();
  list.RefreshView();
  ASSERT_TRUE(held.WaitStarted(listed + 1));
  Pump();
  using V = std::vector<std::u16string>;
  EXPECT_TRUE(list.ListingPending());
  EXPECT_EQ(Column(List(), 0), (V{u"IMG_00.JPG", u"IMG_01.JPG", u"IMG_02.JPG", u"IMG_03.JPG"}))
      << "the rows stay as they were meanwhile";
  EXPECT_EQ(changed, 0);
  EXPECT_TRUE(tess::testing::AnswersAnotherThread(w.Handle(), 5000));
  // No in-place edit while the rows may still move under it: the name typed would go to
  // another file.
  SetFocus(List());
  ASSERT_TRUE(list.Focused());
  EXPECT_FALSE(list.EditFileName());

  held.Release();
  ASSERT_TRUE(tess::testing::FinishReads(list));
  EXPECT_EQ(Column(List(), 0), (V{u"IMG_00.JPG", u"IMG_00A.JPG", u"IMG_02.JPG", u"IMG_03.JPG"}));
  EXPECT_EQ(changed, 1);
  ASSERT_EQ(list.SelectedCount(), 1);
  ASSERT_NE(list.FileInfo(), nullptr);
  EXPECT_EQ(list.FileInfo()->Name, u"IMG_02.JPG") << "the selection follows its file";
  EXPECT_TRUE(list.EditFileName()) << "the edit is allowed again";
  ListView_CancelEditLabel(List());
  Pump();
}

TEST_F(MainWindowTest, TreeExpandsCollapsesForgetsAndReadsAgain) {
  CreateDirectoryW(W(folder_ + u"a"), nullptr);
  CreateDirectoryW(W(folder_ + u"a\\x"), nullptr);
  CreateDirectoryW(W(folder_ + u"b"), nullptr);
  MainWindow& w = Open();
  FolderTreeView& tree = w.FolderTree();
  w.FileList().SetRootFolder(folder_);
  ASSERT_TRUE(tess::testing::FinishTreeReads(tree));
  HTREEITEM top = tree.RootNode();
  ASSERT_TRUE(top);
  EXPECT_EQ(tree.RootFolder(), folder_);
  EXPECT_EQ(tree.NodeText(top), ExtractFileName(ExcludeTrailingBackslash(folder_)));
  auto children = tree.Children(top);
  ASSERT_EQ(children.size(), 2u);
  HTREEITEM a = children[0];
  EXPECT_EQ(tree.NodeText(a), u"a");
  EXPECT_TRUE(tree.HasChildrenMark(a)) << "a has a sub-folder: it shows an expand button";
  EXPECT_FALSE(tree.HasChildrenMark(children[1]));
  EXPECT_TRUE(tree.Children(a).empty()) << "sub-folders are read on expansion";

  TreeView_Expand(tree.Handle(), a, TVE_EXPAND);
  ASSERT_TRUE(tess::testing::FinishTreeReads(tree));
  ASSERT_EQ(tree.Children(a).size(), 1u);
  EXPECT_EQ(tree.NodePath(tree.Children(a)[0]), folder_ + u"a\\x\\");

  CreateDirectoryW(W(folder_ + u"a\\y"), nullptr);
  TreeView_Expand(tree.Handle(), a, TVE_COLLAPSE);
  EXPECT_TRUE(tree.Children(a).empty()) << "collapsing forgets the children";
  EXPECT_TRUE(tree.HasChildrenMark(a));
  TreeView_Expand(tree.Handle(), a, TVE_EXPAND);
  ASSERT_TRUE(tess::testing::FinishTreeReads(tree));
  ASSERT_EQ(tree.Children(a).size(), 2u);
  EXPECT_EQ(tree.NodeText(tree.Children(a)[1]), u"y");

  TreeView_Expand(tree.Handle(), top, TVE_COLLAPSE);
  EXPECT_EQ(tree.Children(top).size(), 2u) << "the top node never closes";

  // Selecting a folder by path lists it; selecting a node whose folder vanished keeps the list.
  tree.SetSelectFolder(folder_ + u"a\\x");
  ASSERT_TRUE(tess::testing::FinishTreeReads(tree));
  EXPECT_EQ(w.FileList().ShownFolder(), folder_ + u"a\\x\\");
  HTREEITEM b = tree.Children(top)[1];
  RemoveDirectoryW(W(folder_ + u"b"));
  TreeView_SelectItem(tree.Handle(), b);
  ASSERT_TRUE(tess::testing::FinishTreeReads(tree));
  EXPECT_EQ(tree.Children(top).size(), 1u) << "the vanished folder's node is gone";
  EXPECT_EQ(w.FileList().ShownFolder(), folder_ + u"a\\x\\");
  EXPECT_EQ(tree.SelectFolder(), folder_ + u"a\\x\\");
  EXPECT_EQ(tree.NodePath(tree.Selected()), folder_ + u"a\\x\\");

  // A path outside the root selects nothing.
  w.FileList().SetShownFolder(u"C:\\windows\\");
  EXPECT_EQ(w.FileList().ShownFolder(), folder_ + u"a\\x\\");
}

// The tree's folder reads run on a worker: held back, the node is there at once and the
// window answers; another root drops the held read, whose reply is never applied.
TEST_F(MainWindowTest, TreeNodeShowsAtOnceWhileItsFolderIsHeldBackAndTheWindowAnswers) {
  for (const char16_t* f : {u"card", u"card\\DCIM", u"card\\DCIM\\100CANON", u"card\\MISC", u"other", u"other\\s"})
    CreateDirectoryW(W(folder_ + f), nullptr);
  StoreFolder(folder_);
  tess::testing::HeldFolderLister folders(&PlatformDirectoryLister());
  MainWindow& w = Open(nullptr, nullptr, &folders);
  FolderTreeView& tree = w.FolderTree();
  const std::u16string card = folder_ + u"card\\";
  auto answers = [&] { return tess::testing::AnswersAnotherThread(w.Handle(), 200); };
  auto texts = [&](HTREEITEM node) {
    std::vector<std::u16string> out;
    for (HTREEITEM c : tree.Children(node)) out.push_back(tree.NodeText(c));
    return out;
  };
  using V = std::vector<std::u16string>;

  folders.Hold([&](const std::u16string& f) { return f == card; });
  w.FileList().SetRootFolder(card);
  ASSERT_TRUE(folders.WaitHeld(card));
  ASSERT_TRUE(tree.RootNode());
  EXPECT_EQ(tree.NodeText(tree.RootNode()), u"card") << "the node is there at once";
  EXPECT_TRUE(TreeView_GetChild(tree.Handle(), tree.RootNode())) << "open on its placeholder";
  EXPECT_TRUE(tree.Children(tree.RootNode()).empty());
  EXPECT_EQ(w.FileList().ShownFolder(), card);
  EXPECT_TRUE(answers()) << "the window answers while the folder is held";

  // Another root while the card is held: the card's reply comes later and is dropped.
  w.FileList().SetRootFolder(folder_ + u"other\\");
  folders.Release();
  ASSERT_TRUE(tess::testing::FinishTreeReads(tree));
  EXPECT_EQ(tree.RootFolder(), folder_ + u"other\\");
  EXPECT_EQ(texts(tree.RootNode()), V{u"s"});
  EXPECT_EQ(w.FileList().ShownFolder(), folder_ + u"other\\");

  // Back on the card, held again: released, the node fills, with its expand buttons.
  folders.Hold([&](const std::u16string& f) { return f == card; });
  w.FileList().SetRootFolder(card);
  ASSERT_TRUE(folders.WaitHeld(card));
  EXPECT_TRUE(answers());
  folders.Release();
  ASSERT_TRUE(tess::testing::FinishTreeReads(tree));
  ASSERT_EQ(texts(tree.RootNode()), (V{u"DCIM", u"MISC"}));
  EXPECT_TRUE(tree.HasChildrenMark(tree.Children(tree.RootNode())[0]));
  EXPECT_FALSE(tree.HasChildrenMark(tree.Children(tree.RootNode())[1]));
  tree.SetDirectoryLister(PlatformDirectoryLister());
}

TEST_F(MainWindowTest, StoredPlacementIsReadUpToTheFirstMissingValue) {
  {
    auto key = store_->Open(kMainWindowKey, true);
    ASSERT_TRUE(key);
    for (auto [name, value] : {std::pair{u"Top", 10}, {u"Left", 20}, {u"Height", 500}, {u"Width", 700},
                               {u"ColumnWidth0", 111}, {u"ColumnWidth1", 122}, {u"ColumnWidth3", 144},
                               {u"FolderTreeWidth", 99}})
      ASSERT_TRUE(WriteInteger(*key, name, value));
  }
  MainWindow& w = Open();
  RECT rc = Outer();
  EXPECT_EQ(rc.right - rc.left, 700);
  EXPECT_EQ(rc.bottom - rc.top, 500);
  EXPECT_EQ(rc.left, (GetSystemMetrics(SM_CXSCREEN) - 700) / 2) << "the window opens centred all the same";
  EXPECT_EQ(ListView_GetColumnWidth(List(), 0), 111);
  EXPECT_EQ(ListView_GetColumnWidth(List(), 1), 122);
  EXPECT_EQ(ListView_GetColumnWidth(List(), 2), 180);
  EXPECT_EQ(ListView_GetColumnWidth(List(), 3), 180);
  EXPECT_EQ(w.FolderTreeWidth(), 220);
}

TEST_F(MainWindowTest, OnlyTopAndLeftStoredKeepsTheDefaultSize) {
  {
    auto key = store_->Open(kMainWindowKey, true);
    ASSERT_TRUE(WriteInteger(*key, u"Top", 5));
    ASSERT_TRUE(WriteInteger(*key, u"Left", 6));
  }
  Open();
  RECT rc = Outer();
  EXPECT_EQ(rc.right - rc.left, 644);
  EXPECT_EQ(rc.bottom - rc.top, 408);
  EXPECT_EQ(rc.top, (GetSystemMetrics(SM_CYSCREEN) - 408) / 2);
}

TEST_F(MainWindowTest, EarlierKeyIsMovedAndTakesEffectInTheSameShow) {
  {
    auto key = store_->Open(u"\\Software\\Quenfold\\Brevikon\\MainWindow", true);
    ASSERT_TRUE(key);
    for (auto [name, value] : {std::pair{u"Top", 1}, {u"Left", 2}, {u"Height", 450}, {u"Width", 660}})
      ASSERT_TRUE(WriteInteger(*key, name, value));
  }
  Open();
  RECT rc = Outer();
  EXPECT_EQ(rc.right - rc.left, 660);
  EXPECT_EQ(rc.bottom - rc.top, 450);
  EXPECT_FALSE(store_->KeyExists(kEarlierProductKey));
  EXPECT_TRUE(store_->KeyExists(kMainWindowKey));
}

TEST_F(MainWindowTest, CloseStoresWhatTheNextStartShows) {
  CreateDirectoryW(W(folder_ + u"keep"), nullptr);
  StoreFolder(folder_ + u"keep\\");
  MainWindow& w = Open();
  EXPECT_EQ(w.FolderTree().SelectFolder(), folder_ + u"keep\\");
  SetWindowPos(w.Handle(), nullptr, 40, 50, 700, 480, SWP_NOZORDER | SWP_NOACTIVATE);
  ListView_SetColumnWidth(List(), 2, 77);
  SendMessageW(w.Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(w.Handle()));

  MainWindowSettings s;
  ReadMainWindowSettings(*store_, s);
  EXPECT_EQ(s.selectFolder, folder_ + u"keep\\");
  EXPECT_EQ(s.placement.width, 700);
  EXPECT_EQ(s.placement.height, 480);
  EXPECT_EQ(s.placement.left, 40);
  EXPECT_EQ(s.placement.top, 50);
  EXPECT_EQ(s.columnWidths[2], 77);
  EXPECT_EQ(s.folderTreeWidth, 220);
}

TEST_F(MainWindowTest, StatusShowsThousandsSeparator) {
  for (int i = 0; i < 1234; ++i) {
    HANDLE h = CreateFileW(W(folder_ + u"f" + PadNumber(i, 4) + u".txt"), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
  }
  StoreFolder(folder_);
  MainWindow& w = Open();
  EXPECT_EQ(StatusText(w.StatusBar(), 0), u"  1,234 個の項目");
  ListView_SetItemState(List(), -1, LVIS_SELECTED, LVIS_SELECTED);
  Pump();
  w.UpdateStatusPanels();
  EXPECT_EQ(StatusText(w.StatusBar(), 1), u"  1,234 個の項目を選択");
}

TEST_F(MainWindowTest, EndOfSessionStoresTheSettingsAsClosingDoes) {
  MainWindow& w = Open();
  SetWindowPos(w.Handle(), nullptr, 30, 40, 690, 470, SWP_NOZORDER | SWP_NOACTIVATE);
  ListView_SetColumnWidth(List(), 1, 66);
  EXPECT_EQ(SendMessageW(w.Handle(), WM_QUERYENDSESSION, 0, 0), TRUE) << "the end of the session is never refused";
  MainWindowSettings s;
  ReadMainWindowSettings(*store_, s);
  EXPECT_EQ(s.selectFolder, w.FolderTree().SelectFolder());
  EXPECT_EQ(s.placement.width, 690);
  EXPECT_EQ(s.placement.height, 470);
  EXPECT_EQ(s.columnWidths[1], 66);
}

TEST_F(MainWindowTest, StoredFolderOnAMissingDriveRootsAtTheFirstDrive) {
  DWORD drives = GetLogicalDrives();
  int missing = 25;
  while (missing > 2 && (drives & (1u << missing))) --missing;
  ASSERT_GT(missing, 2) << "every drive letter is taken";
  StoreFolder(std::u16string{char16_t(u'A' + missing), u':', u'\\'} + u"Photos\\");
  MainWindow& w = Open();
  EXPECT_EQ(SendMessageW(w.DriveBox(), CB_GETCURSEL, 0, 0), 0);
  wchar_t text[MAX_PATH + 8] = {};
  COMBOBOXEXITEMW item{};
  item.mask = CBEIF_TEXT;
  item.iItem = 0;
  item.pszText = text;
  item.cchTextMax = MAX_PATH + 7;
  ASSERT_TRUE(SendMessageW(w.DriveBox(), CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  std::u16string firstRoot = U16(text).substr(0, 3);
  EXPECT_EQ(w.RootBasePath, firstRoot);
  EXPECT_EQ(w.FolderTree().RootFolder(), firstRoot);
  EXPECT_EQ(w.FileList().ShownFolder(), firstRoot) << "no folder below the root is listed";
}

TEST(FileListAlone, RefreshOnRequestStillWorksAfterARefreshThatFailed) {
  std::u16string folder = IncludeTrailingBackslash(fx::MakeTempFolder("alone"));
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(parent);
  {
    FileListView list(parent, 1, GetModuleHandleW(nullptr));
    list.SetRootFolder(folder);
    ASSERT_EQ(list.ShownFolder(), folder);
    list.OnFolderChanged = [] { throw std::runtime_error("handler failed"); };
    EXPECT_THROW(list.RefreshView(), std::runtime_error);
    EXPECT_FALSE(list.State().RefreshLocked()) << "a failed refresh must not lock out every later one";

    int changed = 0;
    list.OnFolderChanged = [&] { ++changed; };
    fx::WriteFile(folder + u"new.txt", fx::Text("x"));
    list.RefreshView();
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(ListView_GetItemCount(list.Handle()), 1);

    {
      RefreshLock editing(list.State());  // a name being edited in place
      fx::WriteFile(folder + u"later.txt", fx::Text("y"));
      list.RefreshView();
      EXPECT_EQ(ListView_GetItemCount(list.Handle()), 1);
    }
  }
  DestroyWindow(parent);
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(folder), ec);
}

TEST_F(MainWindowTest, EveryToolButtonShowsItsHintAlsoWhenDisabled) {
  MainWindow& w = Open();
  const wchar_t* hints[] = {L"ルートフォルダ設定", L"一つ上のフォルダ", L"名前編集", L"コピー", L"貼り付け",
                            L"削除", L"フォルダ作成", L"最新の情報に更新", L"安全な取り外し", L"Exifリネーム"};
  ASSERT_TRUE(w.ToolTips());
  auto hintOf = [&](TTTOOLINFOW ti) {
    wchar_t text[80] = {};
    ti.lpszText = text;
    SendMessageW(w.ToolTips(), TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
    return std::wstring(text);
  };
  for (int i = 0; i < ToolButtonCount; ++i) {
    // Over an enabled button the mouse reaches the button itself.
    TTTOOLINFOW own{};
    own.cbSize = sizeof(own);
    own.hwnd = w.Handle();
    own.uFlags = TTF_IDISHWND;
    own.uId = reinterpret_cast<UINT_PTR>(w.ToolButton(i).Handle());
    EXPECT_EQ(hintOf(own), hints[i]) << i;

    // Over a disabled one it reaches the window, which answers with the same hint.
    RECT b;
    GetWindowRect(w.ToolButton(i).Handle(), &b);
    MapWindowPoints(nullptr, w.Handle(), reinterpret_cast<POINT*>(&b), 2);
    TTHITTESTINFOW ht{};
    ht.hwnd = w.Handle();
    ht.pt = POINT{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    ht.ti.cbSize = sizeof(ht.ti);
    ASSERT_TRUE(SendMessageW(w.ToolTips(), TTM_HITTESTW, 0, reinterpret_cast<LPARAM>(&ht))) << i;
    EXPECT_EQ(hintOf(ht.ti), hints[i]) << i;
  }
  EXPECT_FALSE(w.ToolButton(IdCopyButton).Enabled()) << "the case that needs the window's hint";
}

TEST_F(MainWindowTest, ReturningToTheWindowGivesTheFocusBackToThePaneThatHadIt) {
  MainWindow& w = Open();
  SetFocus(List());
  SendMessageW(w.Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
  SetFocus(w.Handle());  // what the system leaves while another program is active
  SendMessageW(w.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(GetFocus(), List());

  SetFocus(w.FolderTree().Handle());
  SendMessageW(w.Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
  SetFocus(w.Handle());
  SendMessageW(w.Handle(), WM_ACTIVATE, WA_CLICKACTIVE, 0);
  EXPECT_EQ(GetFocus(), w.FolderTree().Handle());
}

// The window asks the import history about the shown folder's photos on a worker: the
// status bar counts those filed before, and the column 取り込み日 (off until asked for from
// 表示) shows when.
TEST_F(MainWindowTest, PhotosFiledBeforeAreCountedAndDatedFromTheHistory) {
  Photo(u"IMG_0001.JPG", "2010:01:02 03:04:05", "D70", "NIKON CORPORATION");
  Photo(u"IMG_0002.JPG", "2012:05:03 14:22:01", "EOS 5D", "Canon");
  {
    // The history of this test (each Windows test has its own).
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"TESSARINE_HISTORY", path, MAX_PATH), 0u);
    std::vector<std::u16string> notices;
    std::unique_ptr<ImportHistory> history = ImportHistory::Open(U16(path), notices);
    ASSERT_TRUE(history);
    PhotoIdentity photo;
    photo.make = u"NIKON CORPORATION";
    photo.model = u"D70";
    photo.name = u"IMG_0001.JPG";
    photo.size = std::filesystem::file_size(std::filesystem::path(folder_ + u"IMG_0001.JPG"));
    ASSERT_TRUE(TryEncodeDateTime({2010, 1, 2, 3, 4, 5, 0}, photo.shot));
    ASSERT_EQ(history->Record({ImportEntry{photo, u"E:\\IMG_0001.JPG", u"D:\\Photos\\a.JPG", u"run", u"2024-06-07 08:09:10"}}),
              HistoryStatus::Ok);
  }
  StoreFolder(folder_);
  MainWindow& w = Open();
  for (int i = 0; i < 100 && StatusText(w.StatusBar(), 1).empty(); ++i) {
    Sleep(20);
    Pump();
  }
  EXPECT_EQ(StatusText(w.StatusBar(), 1), u"  取り込み済み 1 個");
  using V = std::vector<std::u16string>;
  EXPECT_EQ(Column(List(), 4), (V{u"2024/06/07 08:09:10", u""}));
  EXPECT_EQ(ListView_GetColumnWidth(List(), 4), 0) << "off until asked for";
  SendMessageW(w.Handle(), WM_COMMAND, cmdViewImportedColumn, 0);
  EXPECT_GT(ListView_GetColumnWidth(List(), 4), 0);
  SendMessageW(w.Handle(), WM_COMMAND, cmdViewImportedColumn, 0);
  EXPECT_EQ(ListView_GetColumnWidth(List(), 4), 0);
}
