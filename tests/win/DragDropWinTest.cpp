// Drags out of the real window's panes read back through the OLE interfaces, drops of files
// from another program onto the list and onto a tree folder, the new text document named in
// place, open with, and shortcuts.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/WindowSettings.h"
#include "app/win/DragDrop.h"
#include "app/win/MainWindow.h"
#include "app/win/PaneHandOffs.h"
#include "browse/FileRecords.h"
#include "browse/FolderPaths.h"
#include "platform/SettingsKey.h"
#include "platform/Text.h"
#include "platform/win/WinText.h"
#include "../support/ExifFixtures.h"
#include "../support/RecordingShell.h"
#include "../support/WinPump.h"

using namespace tess;
using tess::testing::Pump;
using tess::testing::RowText;
namespace fx = tess::fixtures;

namespace {

std::string ReadAll(const std::u16string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::u16string& path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

class DragDropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    root_ = u"Software\\TessarineTests\\Drag" + PadNumber(GetCurrentProcessId(), 1) + u"_" + PadNumber(++counter_, 1);
    folder_ = IncludeTrailingBackslash(fx::MakeTempFolder("shown"));
    outside_ = IncludeTrailingBackslash(fx::MakeTempFolder("outside"));
  }
  void TearDown() override {
    window_.reset();
    MakeUserSettingsStore()->DeleteTree(root_);
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(folder_), ec);
    std::filesystem::remove_all(std::filesystem::path(outside_), ec);
    OleUninitialize();
  }
  MainWindow& Open() {
    MainWindowOptions options;
    options.settingsRoot = root_;
    options.quitOnDestroy = false;
    options.reportError = [this](const std::u16string& text) { errors_.push_back(text); };
    window_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), options);
    window_->Show(SW_SHOWNOACTIVATE);
    Pump();
    // The shown folder as the panes' root, as after the root-folder button.
    window_->FileList().SetRootFolder(folder_);
    Pump();
    EXPECT_EQ(window_->FileList().ShownFolder(), folder_);
    return *window_;
  }
  HWND List() { return window_->FileList().Handle(); }
  std::vector<std::u16string> Rows() {
    std::vector<std::u16string> out;
    for (int i = 0; i < ListView_GetItemCount(List()); ++i) out.push_back(RowText(List(), i));
    return out;
  }
  DWORD DropOn(IDropTarget* target, const std::vector<std::u16string>& files, DWORD keys, DWORD allowed, POINT at = {}) {
    ComRef<IDataObject> data = MakeFileDataObject(files);
    DWORD effect = allowed;
    POINTL pt{at.x, at.y};
    EXPECT_EQ(target->DragEnter(data.get(), keys, pt, &effect), S_OK);
    DWORD shown = effect;
    effect = allowed;
    EXPECT_EQ(target->DragOver(keys, pt, &effect), S_OK);
    EXPECT_EQ(effect, shown) << "the cursor tells the same over the same place";
    effect = allowed;
    EXPECT_EQ(target->Drop(data.get(), keys, pt, &effect), S_OK);
    EXPECT_EQ(effect, shown) << "the drop does what the cursor promised";
    return effect;
  }

  static inline int counter_ = 0;
  std::u16string root_, folder_, outside_;
  std::vector<std::u16string> errors_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace

TEST_F(DragDropTest, DataObjectOffersThePathsAsFileDropAndShellIdList) {
  fx::WriteFile(folder_ + u"IMG_0001.JPG", fx::Text("1"));
  fx::WriteFile(folder_ + u"写真 2.jpg", fx::Text("2"));
  std::vector<std::u16string> paths{folder_ + u"IMG_0001.JPG", folder_ + u"写真 2.jpg"};
  ComRef<IDataObject> data = MakeFileDataObject(paths);

  ComRef<IEnumFORMATETC> formats;
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, formats.Out()), S_OK);
  std::vector<CLIPFORMAT> offered;
  FORMATETC f;
  while (formats->Next(1, &f, nullptr) == S_OK) offered.push_back(f.cfFormat);
  CLIPFORMAT idList = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_SHELLIDLIST));
  EXPECT_EQ(offered, (std::vector<CLIPFORMAT>{CF_HDROP, idList}));

  EXPECT_EQ(ReadDroppedFiles(data.get()).files, paths);
  EXPECT_EQ(ReadShellIdListPaths(data.get()), paths);

  FORMATETC text{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(data->QueryGetData(&text), DV_E_FORMATETC);
  FORMATETC drop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(data->QueryGetData(&drop), S_OK);
  FORMATETC file{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_FILE};
  STGMEDIUM m{};
  EXPECT_EQ(data->GetData(&file, &m), DV_E_TYMED);

  // A drop target tells the source what it did; the source keeps it.
  CLIPFORMAT performed = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PERFORMEDDROPEFFECT));
  FORMATETC pf{performed, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM set{};
  set.tymed = TYMED_HGLOBAL;
  set.hGlobal = GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
  *static_cast<DWORD*>(GlobalLock(set.hGlobal)) = DROPEFFECT_MOVE;
  GlobalUnlock(set.hGlobal);
  ASSERT_EQ(data->SetData(&pf, &set, TRUE), S_OK);
  STGMEDIUM got{};
  ASSERT_EQ(data->GetData(&pf, &got), S_OK);
  EXPECT_EQ(*static_cast<DWORD*>(GlobalLock(got.hGlobal)), DWORD(DROPEFFECT_MOVE));
  GlobalUnlock(got.hGlobal);
  ReleaseStgMedium(&got);
}

TEST_F(DragDropTest, DragsOutOfTheListAndTheTreeOfferWhatIsSelected) {
  fx::WriteFile(folder_ + u"a.jpg", fx::Text("a"));
  fx::WriteFile(folder_ + u"b.jpg", fx::Text("b"));
  fx::WriteFile(folder_ + u"c.jpg", fx::Text("c"));
  CreateDirectoryW(W(folder_ + u"Sub"), nullptr);
  fx::WriteFile(folder_ + u"Sub\\d.jpg", fx::Text("d"));
  MainWindow& w = Open();
  std::vector<std::u16string> dragged;
  DWORD allowed = 0;
  bool right = true;
  w.DragDrop().runDrag = [&](const std::vector<std::u16string>& p, DWORD a, bool r) {
    dragged = p;
    allowed = a;
    right = r;
    return DWORD(DROPEFFECT_NONE);
  };
  ASSERT_EQ(Rows(), (std::vector<std::u16string>{u"Sub", u"a.jpg", u"b.jpg", u"c.jpg"}));
  SetFocus(List());
  ASSERT_TRUE(ListView_EditLabel(List(), 1));
  ListView_SetItemState(List(), 1, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SetItemState(List(), 3, LVIS_SELECTED, LVIS_SELECTED);
  ASSERT_NE(ListView_GetEditControl(List()), nullptr);
  NMLISTVIEW nm{};
  nm.hdr.hwndFrom = List();
  nm.hdr.idFrom = IdFileList;
  nm.hdr.code = LVN_BEGINDRAG;
  nm.iItem = 1;
  SendMessageW(w.Handle(), WM_NOTIFY, IdFileList, reinterpret_cast<LPARAM>(&nm));
  EXPECT_EQ(dragged, (std::vector<std::u16string>{folder_ + u"a.jpg", folder_ + u"c.jpg"}));
  EXPECT_EQ(ListView_GetEditControl(List()), nullptr) << "a name being edited is given up before the drag";
  EXPECT_EQ(allowed, DWORD(DROPEFFECT_COPY | DROPEFFECT_MOVE));
  EXPECT_FALSE(right);

  // Nothing selected: no drag.
  dragged = {u"x"};
  ListView_SetItemState(List(), -1, 0, LVIS_SELECTED);
  SendMessageW(w.Handle(), WM_NOTIFY, IdFileList, reinterpret_cast<LPARAM>(&nm));
  EXPECT_EQ(dragged, (std::vector<std::u16string>{u"x"}));

  // The tree offers the grabbed folder's entries, with either button.
  FolderTreeView& tree = w.FolderTree();
  HTREEITEM sub = tree.Children(tree.RootNode()).at(0);
  NMTREEVIEWW tv{};
  tv.hdr.hwndFrom = tree.Handle();
  tv.hdr.idFrom = IdFolderTree;
  tv.hdr.code = TVN_BEGINRDRAGW;
  tv.itemNew.hItem = sub;
  SendMessageW(w.Handle(), WM_NOTIFY, IdFolderTree, reinterpret_cast<LPARAM>(&tv));
  EXPECT_EQ(dragged, std::vector<std::u16string>{folder_ + u"Sub\\*.*"});
  EXPECT_TRUE(right);
  EXPECT_EQ(tree.SelectFolder(), folder_) << "grabbing a folder does not select it";
  ComRef<IDataObject> data = MakeFileDataObject(dragged);
  EXPECT_EQ(ReadDroppedFiles(data.get()).files, dragged);
  EXPECT_EQ(ReadShellIdListPaths(data.get()), std::vector<std::u16string>{folder_ + u"Sub\\d.jpg"});
}

TEST_F(DragDropTest, DragSourceDropsOnReleaseAndCancelsOnEscape) {
  EXPECT_EQ(QueryContinueFileDrag(FALSE, MK_LBUTTON, false), S_OK);
  EXPECT_EQ(QueryContinueFileDrag(FALSE, 0, false), DRAGDROP_S_DROP);
  EXPECT_EQ(QueryContinueFileDrag(TRUE, MK_LBUTTON, false), DRAGDROP_S_CANCEL);
  EXPECT_EQ(QueryContinueFileDrag(FALSE, MK_LBUTTON | MK_RBUTTON, false), DRAGDROP_S_CANCEL);
  EXPECT_EQ(QueryContinueFileDrag(FALSE, MK_RBUTTON, true), S_OK);
  EXPECT_EQ(QueryContinueFileDrag(FALSE, MK_CONTROL, true), DRAGDROP_S_DROP);
}

TEST_F(DragDropTest, FilesDroppedFromOutsideAreCopiedIntoTheShownFolderNeverReplacing) {
  fx::WriteFile(folder_ + u"b.jpg", fx::Text("mine"));
  fx::WriteFile(outside_ + u"a.jpg", fx::Text("new a"));
  fx::WriteFile(outside_ + u"b.jpg", fx::Text("new b"));
  CreateDirectoryW(W(outside_ + u"Album"), nullptr);
  fx::WriteFile(outside_ + u"Album\\c.jpg", fx::Text("c"));
  MainWindow& w = Open();
  IDropTarget* target = w.DragDrop().ListDropTarget();
  EXPECT_EQ(DropOn(target, {outside_ + u"a.jpg", outside_ + u"b.jpg", outside_ + u"Album"}, 0,
                   DROPEFFECT_COPY | DROPEFFECT_MOVE),
            DWORD(DROPEFFECT_COPY));
  EXPECT_EQ(ReadAll(folder_ + u"a.jpg"), "new a");
  EXPECT_EQ(ReadAll(folder_ + u"b.jpg"), "mine") << "a file of the same name is never replaced";
  EXPECT_EQ(ReadAll(folder_ + u"Album\\c.jpg"), "c") << "a folder is copied whole";
  EXPECT_TRUE(Exists(outside_ + u"a.jpg")) << "copied, not moved";
  EXPECT_EQ(Rows(), (std::vector<std::u16string>{u"Album", u"a.jpg", u"b.jpg"})) << "the list shows what arrived";
  EXPECT_TRUE(errors_.empty());

  // Files of the shown folder itself: refused over the list, nothing done, nothing shown.
  EXPECT_EQ(DropOn(target, {folder_ + u"a.jpg", folder_ + u"b.jpg"}, 0, DROPEFFECT_COPY | DROPEFFECT_MOVE),
            DWORD(DROPEFFECT_NONE));
  EXPECT_TRUE(errors_.empty());

  // One of them among others: the ones before it are copied, then the drop stops with a message.
  fx::WriteFile(outside_ + u"d.jpg", fx::Text("d"));
  fx::WriteFile(outside_ + u"e.jpg", fx::Text("e"));
  EXPECT_EQ(DropOn(target, {outside_ + u"d.jpg", folder_ + u"a.jpg", outside_ + u"e.jpg"}, 0, DROPEFFECT_COPY),
            DWORD(DROPEFFECT_COPY));
  EXPECT_TRUE(Exists(folder_ + u"d.jpg"));
  EXPECT_FALSE(Exists(folder_ + u"e.jpg"));
  EXPECT_EQ(errors_, std::vector<std::u16string>{u"コピー先のフォルダーがコピー元と同じです。"});

  // A source that only lets itself be moved is not taken (the list accepts copies and links).
  EXPECT_EQ(DropOn(target, {outside_ + u"e.jpg"}, 0, DROPEFFECT_MOVE), DWORD(DROPEFFECT_NONE));
  EXPECT_TRUE(Exists(outside_ + u"e.jpg"));
}

TEST_F(DragDropTest, NamesTheSourceMapsAreTheNamesOfTheCopies) {
  fx::WriteFile(outside_ + u"a.jpg", fx::Text("a"));
  fx::WriteFile(outside_ + u"b.jpg", fx::Text("b"));
  MainWindow& w = Open();
  ComRef<IDataObject> data = MakeFileDataObject({outside_ + u"a.jpg", outside_ + u"b.jpg"});
  // A map shorter than the list: the second file keeps its own name.
  static const wchar_t map[] = L"コピー - a.jpg\0";
  FORMATETC f{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_FILENAMEMAPW)), nullptr, DVASPECT_CONTENT, -1,
              TYMED_HGLOBAL};
  STGMEDIUM m{};
  m.tymed = TYMED_HGLOBAL;
  m.hGlobal = GlobalAlloc(GMEM_MOVEABLE, sizeof map);
  std::memcpy(GlobalLock(m.hGlobal), map, sizeof map);
  GlobalUnlock(m.hGlobal);
  ASSERT_EQ(data->SetData(&f, &m, TRUE), S_OK);
  EXPECT_EQ(ReadDroppedFiles(data.get()).mappedNames, std::vector<std::u16string>{u"コピー - a.jpg"});
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(w.DragDrop().ListDropTarget()->Drop(data.get(), 0, POINTL{0, 0}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
  EXPECT_EQ(ReadAll(folder_ + u"コピー - a.jpg"), "a");
  EXPECT_EQ(ReadAll(folder_ + u"b.jpg"), "b");
}

TEST_F(DragDropTest, LinkDropsMakeShortcutsNamedAfterTheFiles) {
  fx::WriteFile(outside_ + u"a.jpg", fx::Text("a"));
  MainWindow& w = Open();
  IDropTarget* target = w.DragDrop().ListDropTarget();
  EXPECT_EQ(DropOn(target, {outside_ + u"a.jpg"}, MK_ALT, DROPEFFECT_COPY | DROPEFFECT_LINK), DWORD(DROPEFFECT_LINK));
  EXPECT_EQ(DropOn(target, {outside_ + u"a.jpg"}, MK_CONTROL | MK_SHIFT, DROPEFFECT_COPY | DROPEFFECT_LINK),
            DWORD(DROPEFFECT_LINK));
  ASSERT_TRUE(Exists(folder_ + u"a.lnk"));
  ASSERT_TRUE(Exists(folder_ + u"a(1).lnk"));
  EXPECT_FALSE(Exists(folder_ + u"a.jpg"));
  ShortcutInfo info = ReadShortcut(folder_ + u"a(1).lnk");
  EXPECT_EQ(info.target, outside_ + u"a.jpg");
  EXPECT_EQ(info.workingFolder, ExcludeTrailingBackslash(outside_));
}

TEST_F(DragDropTest, FilesDroppedOnATreeFolderGoThere) {
  CreateDirectoryW(W(folder_ + u"Sub"), nullptr);
  fx::WriteFile(outside_ + u"a.jpg", fx::Text("a"));
  MainWindow& w = Open();
  FolderTreeView& tree = w.FolderTree();
  HTREEITEM sub = tree.Children(tree.RootNode()).at(0);
  RECT rc{};
  ASSERT_TRUE(TreeView_GetItemRect(tree.Handle(), sub, &rc, TRUE));
  POINT at{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  ClientToScreen(tree.Handle(), &at);
  EXPECT_EQ(DropOn(w.DragDrop().TreeDropTarget(), {outside_ + u"a.jpg"}, 0, DROPEFFECT_COPY, at),
            DWORD(DROPEFFECT_COPY));
  EXPECT_EQ(ReadAll(folder_ + u"Sub\\a.jpg"), "a");
  EXPECT_EQ(TreeView_GetDropHilight(tree.Handle()), nullptr) << "the mark goes with the drop";
  // Below the last node: no folder, no drop.
  POINT nowhere{5, 2000};
  ClientToScreen(tree.Handle(), &nowhere);
  EXPECT_EQ(DropOn(w.DragDrop().TreeDropTarget(), {outside_ + u"a.jpg"}, 0, DROPEFFECT_COPY, nowhere),
            DWORD(DROPEFFECT_NONE));
}

TEST_F(DragDropTest, NewTextDocumentTakesTheNextNameAndOpensItsNameForEditing) {
  const std::u16string base = u"新しいテキスト ドキュメント";
  fx::WriteFile(folder_ + base + u".txt", fx::Text("1"));
  fx::WriteFile(folder_ + base + u" (2).txt", fx::Text("2"));
  fx::WriteFile(folder_ + u"zzz.jpg", fx::Text("z"));
  MainWindow& w = Open();
  w.CreateTextDocument();
  std::u16string name = base + u" (3).txt";
  ASSERT_TRUE(Exists(folder_ + name));
  EXPECT_EQ(ReadAll(folder_ + name), "");
  int last = ListView_GetItemCount(List()) - 1;
  EXPECT_EQ(RowText(List(), last), name) << "appended at the end, unsorted";
  HWND edit = ListView_GetEditControl(List());
  ASSERT_NE(edit, nullptr) << "the new name is open for editing";
  wchar_t text[300] = {};
  GetWindowTextW(edit, text, 299);
  EXPECT_EQ(U16(text), name);
  EXPECT_EQ(w.FileList().FileInfo() ? w.FileList().FileInfo()->Name : u"", name);
  ListView_CancelEditLabel(List());
}

TEST_F(DragDropTest, NewTextDocumentBlockedByAFolderOfItsNameEditsNothing) {
  CreateDirectoryW(W(folder_ + u"新しいテキスト ドキュメント.txt"), nullptr);
  fx::WriteFile(folder_ + u"zzz.jpg", fx::Text("z"));
  MainWindow& w = Open();
  w.CreateTextDocument();
  EXPECT_EQ(ListView_GetEditControl(List()), nullptr) << "no other file's name is offered for editing";
  EXPECT_FALSE(Exists(folder_ + u"新しいテキスト ドキュメント (2).txt")) << "a folder does not take the name";
  EXPECT_EQ(ListView_GetItemCount(List()), 2);
}

TEST_F(DragDropTest, OpenWithRunsTheProgramChooserOnTheSelectedFile) {
  fx::WriteFile(folder_ + u"my photo.jpg", fx::Text("a"));
  MainWindow& w = Open();
  ListView_SetItemState(List(), 0, LVIS_SELECTED, LVIS_SELECTED);
  tess::testing::RecordingShell shell;
  OpenWithProgram(shell, SelectedItemPath(w.FileList()));
  ASSERT_EQ(shell.executes.size(), 1u);
  EXPECT_EQ(shell.executes[0].hwnd, 0u);
  EXPECT_EQ(shell.executes[0].verb, u"");
  EXPECT_EQ(shell.executes[0].file, u"rundll32.exe");
  EXPECT_EQ(shell.executes[0].parameters, u"shell32.dll,OpenAs_RunDLL " + folder_ + u"my photo.jpg");
  EXPECT_EQ(shell.executes[0].directory, u"");
  EXPECT_EQ(shell.executes[0].nShow, SW_HIDE);
  ListView_SetItemState(List(), -1, 0, LVIS_SELECTED);
  OpenWithProgram(shell, SelectedItemPath(w.FileList()));
  EXPECT_EQ(shell.executes.size(), 1u) << "nothing selected, nothing opened";
}

TEST_F(DragDropTest, AFolderDraggedOntoItsOwnSubFolderNeverCopiesItselfIntoItself) {
  CreateDirectoryW(W(folder_ + u"Sub"), nullptr);
  fx::WriteFile(folder_ + u"a.jpg", fx::Text("a"));
  MainWindow& w = Open();
  FolderTreeView& tree = w.FolderTree();
  HTREEITEM sub = tree.Children(tree.RootNode()).at(0);
  RECT rc{};
  ASSERT_TRUE(TreeView_GetItemRect(tree.Handle(), sub, &rc, TRUE));
  POINT at{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  ClientToScreen(tree.Handle(), &at);
  // What a drag of the tree's top folder offers: its entries, Sub among them.
  EXPECT_EQ(DropOn(w.DragDrop().TreeDropTarget(), {folder_ + u"*.*"}, 0, DROPEFFECT_COPY, at), DWORD(DROPEFFECT_COPY));
  EXPECT_EQ(ReadAll(folder_ + u"Sub\\a.jpg"), "a");
  EXPECT_FALSE(Exists(folder_ + u"Sub\\Sub"));
  // Onto the folder itself: nothing to do.
  ASSERT_TRUE(TreeView_GetItemRect(tree.Handle(), tree.RootNode(), &rc, TRUE));
  POINT top{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  ClientToScreen(tree.Handle(), &top);
  EXPECT_EQ(DropOn(w.DragDrop().TreeDropTarget(), {folder_ + u"*.*"}, 0, DROPEFFECT_COPY, top), DWORD(DROPEFFECT_NONE));
  EXPECT_TRUE(errors_.empty());
}
