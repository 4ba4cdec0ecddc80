// The first minutes with the real main window: a path pasted or typed into the address bar,
// a file's path, a path that does not exist; folders made, renamed and removed by another
// program showing in the tree without F5, and one made behind the tree's back opening.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "app/WindowSettings.h"
#include "app/win/MainWindow.h"
#include "browse/FolderPaths.h"
#include "browse/win/PaneRowsWin.h"
#include "platform/SettingsKey.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "platform/win/WinText.h"
#include "../support/ExifFixtures.h"
#include "../support/WinPump.h"

using namespace tess;
using tess::testing::Pump;
using tess::testing::RowText;
namespace fx = tess::fixtures;
namespace fs = std::filesystem;

namespace {

std::u16string StatusText(HWND status, int part) {
  wchar_t buf[512] = {};
  SendMessageW(status, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(buf));
  return U16(buf);
}

class AddressBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = u"Software\\TessarineTests\\Address" + PadNumber(GetCurrentProcessId(), 1) + u"_" + PadNumber(++counter_, 1);
    store_ = MakeUserSettingsStore(root_);
    folder_ = IncludeTrailingBackslash(fx::MakeTempFolder("address"));
  }
  void TearDown() override {
    window_.reset();
    MakeUserSettingsStore()->DeleteTree(root_);
    std::error_code ec;
    fs::remove_all(fs::path(std::wstring(W(folder_))), ec);
  }
  MainWindow& OpenAt(const std::u16string& folder) {
    {
      auto key = store_->Open(kProductKey, true);
      EXPECT_TRUE(key && WriteString(*key, u"SelectFolder", folder));
    }
    MainWindowOptions options;
    options.settingsRoot = root_;
    options.quitOnDestroy = false;
    options.reportError = [](const std::u16string& text) { ADD_FAILURE() << "error shown: " << ToUtf8(text); };
    window_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), options);
    window_->Show(SW_SHOWNORMAL);
    Settle();
    return *window_;
  }
  void Settle() {
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(tess::testing::FinishTreeReads(window_->FolderTree()));
      EXPECT_TRUE(tess::testing::FinishReads(window_->FileList()));
    }
  }
  // Handles messages until done() holds, for a bounded time (change notifications come from
  // another thread, gathered for a moment).
  bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 600; ++i) {
      Pump();
      if (done()) return true;
      Sleep(10);
    }
    return false;
  }
  HWND Edit() { return window_->Address().Handle(); }
  HWND List() { return window_->FileList().Handle(); }
  void Key(HWND to, WPARAM key) { SendMessageW(to, WM_KEYDOWN, key, 0); }
  void Type(const std::u16string& text) {
    for (char16_t c : text) SendMessageW(Edit(), WM_CHAR, c, 0);
  }
  void Paste(const std::u16string& text) {
    ASSERT_TRUE(OpenClipboard(window_->Handle()));
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
    ASSERT_TRUE(mem);
    auto* p = static_cast<char16_t*>(GlobalLock(mem));
    std::copy(text.begin(), text.end(), p);
    p[text.size()] = 0;
    GlobalUnlock(mem);
    EXPECT_TRUE(SetClipboardData(CF_UNICODETEXT, mem));
    CloseClipboard();
    SendMessageW(Edit(), WM_PASTE, 0, 0);
  }
  std::vector<std::u16string> Names() {
    std::vector<std::u16string> out;
    for (int i = 0; i < ListView_GetItemCount(List()); ++i) out.push_back(RowText(List(), i, 0));
    return out;
  }
  std::u16string SelectedName() {
    int i = ListView_GetNextItem(List(), -1, LVNI_SELECTED);
    return i < 0 ? u"" : RowText(List(), i, 0);
  }
  bool Listed(const std::u16string& name) {
    for (const auto& n : Names())
      if (n == name) return true;
    return false;
  }
  HTREEITEM Child(HTREEITEM node, const std::u16string& name) {
    FolderTreeView& tree = window_->FolderTree();
    for (HTREEITEM c : tree.Children(node))
      if (SameTextAscii(tree.NodeText(c), name)) return c;
    return nullptr;
  }

  static inline int counter_ = 0;
  std::u16string root_;
  std::unique_ptr<SettingsStore> store_;
  std::u16string folder_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace

TEST_F(AddressBarTest, APastedOrTypedPathGoesThereAndAMissingOneStaysForCorrection) {
  fs::create_directories(fs::path(std::wstring(W(folder_ + u"DCIM\\100CANON"))));
  fx::WriteFile(folder_ + u"DCIM\\100CANON\\IMG_0001.JPG", fx::PhotoJpeg({}));
  fx::WriteFile(folder_ + u"IMG_0002.JPG", fx::PhotoJpeg({}));
  fx::WriteFile(folder_ + u"IMG_0003.JPG", fx::PhotoJpeg({}));
  MainWindow& w = OpenAt(folder_);
  EXPECT_EQ(w.Address().Text(), ExcludeTrailingBackslash(folder_)) << "the shown folder, as Explorer shows it";

  // Alt+D from the list, as in Explorer, and F4 from the tree.
  SetFocus(List());
  SendMessageW(List(), WM_SYSKEYDOWN, 'D', 1 << 29);
  EXPECT_EQ(GetFocus(), Edit());
  SetFocus(w.FolderTree().Handle());
  Key(w.FolderTree().Handle(), VK_F4);
  EXPECT_EQ(GetFocus(), Edit());

  // A path copied from another program, quoted, with a blank after it: pasted over the
  // selected text, then Enter.
  w.Address().Focus();
  Paste(u"\"" + folder_ + u"DCIM\\100CANON\" ");
  Key(Edit(), VK_RETURN);
  Settle();
  EXPECT_EQ(w.FileList().ShownFolder(), folder_ + u"DCIM\\100CANON\\");
  EXPECT_EQ(w.FolderTree().SelectFolder(), folder_ + u"DCIM\\100CANON\\") << "the tree follows";
  EXPECT_EQ(Names(), std::vector<std::u16string>{u"IMG_0001.JPG"});
  EXPECT_EQ(w.Address().Text(), folder_ + u"DCIM\\100CANON");
  EXPECT_EQ(GetFocus(), List());

  // A file's path, typed: its folder is shown with the file selected.
  w.Address().Focus();
  Type(folder_ + u"IMG_0003.JPG");
  Key(Edit(), VK_RETURN);
  Settle();
  EXPECT_EQ(w.FileList().ShownFolder(), folder_);
  EXPECT_EQ(SelectedName(), u"IMG_0003.JPG");
  EXPECT_EQ(w.FileList().SelectedCount(), 1);
  EXPECT_EQ(w.Address().Text(), ExcludeTrailingBackslash(folder_));

  // A relative path goes from the shown folder.
  w.Address().Focus();
  Type(u"DCIM");
  Key(Edit(), VK_RETURN);
  Settle();
  EXPECT_EQ(w.FileList().ShownFolder(), folder_ + u"DCIM\\");

  // A path that does not exist: said in the status bar, left in the box, nothing moves.
  w.Address().Focus();
  const std::u16string missing = folder_ + u"DCIM\\101CANON";
  Type(missing);
  Key(Edit(), VK_RETURN);
  Settle();
  EXPECT_EQ(w.FileList().ShownFolder(), folder_ + u"DCIM\\");
  EXPECT_EQ(w.Address().Text(), missing);
  EXPECT_EQ(GetFocus(), Edit());
  EXPECT_EQ(StatusText(w.StatusBar(), 1), u"  " + std::u16string(texts::kStatusAddressMissingPrefix) + missing);
  // Esc puts the shown folder back; Alt+D in the box selects it all again.
  Key(Edit(), VK_ESCAPE);
  EXPECT_EQ(w.Address().Text(), folder_ + u"DCIM");
  SendMessageW(Edit(), EM_SETSEL, 0, 0);
  SendMessageW(Edit(), WM_SYSKEYDOWN, 'D', 1 << 29);
  DWORD from = 1, to = 0;
  SendMessageW(Edit(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, static_cast<DWORD>(w.Address().Text().size()));
  // A good path entered after a missing one ends the notice, even to the folder shown.
  Type(folder_ + u"DCIM");
  Key(Edit(), VK_RETURN);
  Settle();
  EXPECT_EQ(StatusText(w.StatusBar(), 1).find(texts::kStatusAddressMissingPrefix), std::u16string::npos);
  // Up from the shown folder.
  w.Address().Focus();
  Type(u"..");
  Key(Edit(), VK_RETURN);
  Settle();
  EXPECT_EQ(w.FileList().ShownFolder(), folder_);
}

TEST_F(AddressBarTest, FoldersMadeByAnotherProgramShowWithoutARefreshAndOpen) {
  fs::create_directories(fs::path(std::wstring(W(folder_ + u"A"))));
  MainWindow& w = OpenAt(folder_);
  FolderTreeView& tree = w.FolderTree();
  HTREEITEM shown = tree.Selected();
  ASSERT_TRUE(shown);
  ASSERT_EQ(tree.NodePath(shown), folder_);
  TreeView_Expand(tree.Handle(), shown, TVE_EXPAND);
  Settle();
  ASSERT_TRUE(Child(shown, u"A"));

  // Made, renamed and removed behind the program's back: the open node and the list follow.
  fs::create_directory(fs::path(std::wstring(W(folder_ + u"B"))));
  EXPECT_TRUE(WaitFor([&] { return Child(shown, u"B") && Listed(u"B"); })) << "a new folder shows without F5";
  fs::rename(fs::path(std::wstring(W(folder_ + u"A"))), fs::path(std::wstring(W(folder_ + u"A2"))));
  EXPECT_TRUE(WaitFor([&] { return Child(shown, u"A2") && !Child(shown, u"A"); })) << "a renamed one";
  fs::remove(fs::path(std::wstring(W(folder_ + u"B"))));
  EXPECT_TRUE(WaitFor([&] { return !Child(shown, u"B") && !Listed(u"B"); })) << "a removed one";

  // A folder a level down, under a node that was never opened, opened from the list the
  // moment it is there: the tree reads its parent again and goes there.
  fs::create_directory(fs::path(std::wstring(W(folder_ + u"A2\\Sub"))));
  tree.SetSelectFolder(folder_ + u"A2\\Sub\\");
  Settle();
  EXPECT_EQ(tree.SelectFolder(), folder_ + u"A2\\Sub\\");
  EXPECT_EQ(w.FileList().ShownFolder(), folder_ + u"A2\\Sub\\");

  // Back in the shown folder: a folder made now appears in the list and opens on a
  // double-click.
  w.Address().Focus();
  Type(folder_);
  Key(Edit(), VK_RETURN);
  Settle();
  fs::create_directory(fs::path(std::wstring(W(folder_ + u"C"))));
  ASSERT_TRUE(WaitFor([&] { return Listed(u"C"); }));
  int row = -1;
  for (int i = 0; i < ListView_GetItemCount(List()); ++i)
    if (RowText(List(), i, 0) == u"C") row = i;
  ASSERT_GE(row, 0);
  w.FileList().ClearSelection();
  w.FileList().SelectRow(row);
  w.FileList().DblClick();
  Settle();
  EXPECT_EQ(w.FileList().ShownFolder(), folder_ + u"C\\");
  EXPECT_EQ(tree.SelectFolder(), folder_ + u"C\\");
}

TEST_F(AddressBarTest, RowsHoldTheirFontsWholeDescendersAndUnderscoresIncluded) {
  fx::WriteFile(folder_ + u"IMG_0001.JPG", fx::PhotoJpeg({}));
  MainWindow& w = OpenAt(folder_);
  ASSERT_EQ(ListView_GetItemCount(List()), 1);
  RECT row{};
  ASSERT_TRUE(ListView_GetItemRect(List(), 0, &row, LVIR_BOUNDS));
  const int listFont = FontCellHeight(List());
  const int treeFont = FontCellHeight(w.FolderTree().Handle());
  ASSERT_GT(listFont, 0);
  // Two pixels of room above and below the font's whole cell at 96 DPI.
  EXPECT_GE(row.bottom - row.top, listFont + 4) << "font cell " << listFont;
  EXPECT_GE(TreeView_GetItemHeight(w.FolderTree().Handle()), treeFont + 4) << "font cell " << treeFont;
  EXPECT_EQ(RowText(List(), 0, 0), u"IMG_0001.JPG");
}
