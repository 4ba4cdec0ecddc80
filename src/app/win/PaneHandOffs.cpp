#include "app/win/PaneHandOffs.h"

#include "browse/FileListModel.h"
#include "browse/FileRecords.h"
#include "browse/FolderPaths.h"
#include "browse/NewNames.h"
#include "browse/win/FileListWin.h"
#include "browse/win/FolderTreeWin.h"
#include "platform/UiTexts.h"
#include "platform/win/WinControls.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

bool FileExists(const std::u16string& path) {
  DWORD a = GetFileAttributesW(W(path));
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameName(const std::u16string& a, const std::u16string& b) {
  return CompareStringOrdinal(W(a), static_cast<int>(a.size()), W(b), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The node of folder when the tree has read its way down to it already; null otherwise (a
// look-up that neither reads folders nor changes the selection).
HTREEITEM LoadedNode(FolderTreeView& tree, const std::u16string& folder) {
  auto parts = ComponentsBelowRoot(tree.RootFolder(), IncludeTrailingBackslash(folder));
  HTREEITEM node = tree.RootNode();
  if (!parts || !node) return nullptr;
  for (const auto& part : *parts) {
    HTREEITEM found = nullptr;
    for (HTREEITEM c : tree.Children(node))
      if (SameName(tree.NodeText(c), part)) found = c;
    if (!found) return nullptr;
    node = found;
  }
  return node;
}

}  // namespace

std::vector<std::u16string> ListDragPaths(FolderTreeView& tree, FileListView& list) {
  std::vector<std::u16string> paths;
  if (tree.SelectFolder().empty()) return paths;
  std::u16string folder = IncludeTrailingBackslash(tree.SelectFolder());
  // The record's name, not the row's caption: a caption shown without its extension would
  // name another file.
  for (int i = ListView_GetNextItem(list.Handle(), -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(list.Handle(), i, LVNI_SELECTED)) {
    const FileRecord* record = list.Model().Record(i);
    if (!record) break;
    paths.push_back(folder + record->Name);
  }
  return paths;
}

std::vector<std::u16string> TreeDragPaths(FolderTreeView& tree, HTREEITEM node) {
  if (!node) node = tree.Selected();
  if (!node || tree.SelectFolder().empty()) return {};
  std::u16string folder = tree.NodePath(node);
  if (folder.empty()) return {};
  return {IncludeTrailingBackslash(folder) + u"*.*"};
}

std::u16string SelectedItemPath(FileListView& list) {
  FileRecord* record = list.FileInfo();
  if (!record || list.ShownFolder().empty()) return {};
  return list.ShownFolder() + record->Name;
}

void OpenWithProgram(ShellServices& shell, const std::u16string& path) {
  if (path.empty()) return;
  ShellExecuteRequest r;
  r.hwnd = 0;
  r.file = u"rundll32.exe";
  r.parameters = OpenWithParameters(path);
  r.nShow = SW_HIDE;
  shell.Execute(r);
}

std::u16string CreateNewTextDocument(FileListView& list) {
  std::u16string folder = list.ShownFolder();
  if (folder.empty()) {
    DefaultBeep();
    return {};
  }
  std::u16string name = NewTextDocumentName(folder, FileExists);
  std::u16string path = folder + name;
  HANDLE h = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool created = h != INVALID_HANDLE_VALUE;
  if (created) CloseHandle(h);
  list.RefreshFilesListItems(false);
  // Edit the new document's own row: after a failure (a folder bearing the name) or with a
  // filter that hides it, the last row is another file, whose name must not be offered.
  int row = created ? list.Model().RowOfName(name) : -1;
  if (row < 0) {
    if (!created) DefaultBeep();
    return created ? name : std::u16string();
  }
  SetFocus(list.Handle());
  ListView_EnsureVisible(list.Handle(), row, FALSE);
  ListView_EditLabel(list.Handle(), row);
  return name;
}

PaneDragDrop::PaneDragDrop(HWND owner, FolderTreeView& tree, FileListView& list,
                           std::function<void(const std::u16string&)> reportError)
    : owner_(owner), tree_(tree), list_(list), reportError_(std::move(reportError)) {
  FileDropHandlers onList;
  onList.folderAt = [this](POINT) { return FolderExists(list_.ShownFolder()) ? list_.ShownFolder() : u""; };
  onList.onDrop = [this](const DroppedFiles& d, const std::u16string& folder, DWORD& effect) {
    DropFiles(d, folder, effect);
  };
  listTarget_ = MakeFileDropTarget(std::move(onList));
  FileDropHandlers onTree;
  onTree.folderAt = [this](POINT screen) { return TreeFolderAt(screen); };
  onTree.leave = [this] { ClearTreeMark(); };
  onTree.onDrop = [this](const DroppedFiles& d, const std::u16string& folder, DWORD& effect) {
    DropFiles(d, folder, effect);
  };
  treeTarget_ = MakeFileDropTarget(std::move(onTree));
  listRegistration_.Register(list_.Handle(), listTarget_.get());
  treeRegistration_.Register(tree_.Handle(), treeTarget_.get());
}

PaneDragDrop::~PaneDragDrop() = default;

std::u16string PaneDragDrop::TreeFolderAt(POINT screen) {
  TVHITTESTINFO hit{};
  hit.pt = screen;
  ScreenToClient(tree_.Handle(), &hit.pt);
  HTREEITEM node = TreeView_HitTest(tree_.Handle(), &hit);
  if (!node || !(hit.flags & (TVHT_ONITEM | TVHT_ONITEMRIGHT | TVHT_ONITEMINDENT))) {
    ClearTreeMark();
    return {};
  }
  std::u16string folder = tree_.NodePath(node);
  if (!FolderExists(folder)) {
    ClearTreeMark();
    return {};
  }
  TreeView_SelectDropTarget(tree_.Handle(), node);
  return folder;
}

void PaneDragDrop::ClearTreeMark() { TreeView_SelectDropTarget(tree_.Handle(), nullptr); }

void PaneDragDrop::DropFiles(const DroppedFiles& dropped, const std::u16string& folder, DWORD& effect) {
  bool done = ExecuteFileDrop(dropped, folder, effect, owner_);
  // What arrived in the shown folder appears at once; a folder copied into a tree node that
  // was read already appears below it.
  if (!list_.State().RefreshLocked() && !list_.ShownFolder().empty() && SameFullPath(list_.ShownFolder(), folder))
    list_.RefreshFilesListItems(true);
  if (HTREEITEM node = LoadedNode(tree_, folder)) tree_.SyncChildren(folder, node, false);
  if (!done && reportError_) reportError_(texts::kDropOntoSource);
}

bool PaneDragDrop::OnNotify(NMHDR* header, LRESULT& result) {
  bool fromList = header->hwndFrom == list_.Handle() && header->code == LVN_BEGINDRAG;
  bool fromTree = header->hwndFrom == tree_.Handle() && (header->code == TVN_BEGINDRAGW || header->code == TVN_BEGINRDRAGW);
  if (!fromList && !fromTree) return false;
  result = 0;
  std::vector<std::u16string> paths;
  bool right = false;
  if (fromList) {
    // A name being edited is given up, not saved, before its file leaves.
    if (ListView_GetEditControl(list_.Handle())) ListView_CancelEditLabel(list_.Handle());
    paths = ListDragPaths(tree_, list_);
  } else {
    right = header->code == TVN_BEGINRDRAGW;
    // The folder grabbed, which need not be the selected one.
    paths = TreeDragPaths(tree_, reinterpret_cast<NMTREEVIEWW*>(header)->itemNew.hItem);
  }
  lastDragPaths_ = paths;
  if (!paths.empty() && runDrag) runDrag(paths, DROPEFFECT_COPY | DROPEFFECT_MOVE, right);
  return true;
}

}  // namespace tess
