#include "browse/win/FolderTreeWin.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "browse/FileCommands.h"
#include "browse/FolderPaths.h"
#include "browse/win/PaneCommandsWin.h"
#include "platform/ScopeExit.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

// The shell wants a drive root with its "\" and any other folder without it.
std::u16string ShellFolderForm(const std::u16string& path) {
  return IsDriveRootPath(path) ? path : ExcludeTrailingBackslash(path);
}

}  // namespace

TplFolderTree::TplFolderTree(HWND parent, int id, HINSTANCE instance, BrowseState* state)
    : ownState_(state ? nullptr : std::make_unique<BrowseState>()),
      state_(state ? state : ownState_.get()),
      shell_(&PlatformShell()),
      lister_(&PlatformDirectoryLister()) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_SHOWSELALWAYS |
                              TVS_EDITLABELS,
                          0, 0, 100, 100, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (!hwnd_) throw EUserError(texts::kErrorControl);
  subclass_ = std::make_unique<SubclassGuard>(
      hwnd_, [this](HWND h, UINT m, WPARAM w, LPARAM l, bool& handled) { return TreeMessage(h, m, w, l, handled); });
  commands_ = std::make_unique<PaneCommands>(*state_, *shell_, PlatformPaneFiles(), [this](const PaneFailure& failure) {
    ReportPaneFailure(hwnd_, OnError, failure);
  });
  state_->SetNavigator(this);
  state_->AddObserver(*this);
}

TplFolderTree::~TplFolderTree() {
  state_->RemoveObserver(*this);
  if (state_->GetNavigator() == this) state_->SetNavigator(nullptr);
  editLock_.reset();
  editSubclass_.reset();
  subclass_.reset();
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

TplFolderTree::NodeWatch::NodeWatch(TplFolderTree& t, HTREEITEM n) : tree(t), node(n) { tree.watches_.push_back(this); }

TplFolderTree::NodeWatch::~NodeWatch() {
  auto& w = tree.watches_;
  w.erase(std::remove(w.begin(), w.end(), this), w.end());
}

TplFolderTree::ReadScope::ReadScope(TplFolderTree& t) : tree(t) { ++tree.readDepth_; }

TplFolderTree::ReadScope::~ReadScope() {
  if (--tree.readDepth_ == 0 && tree.OnReadsDone) tree.OnReadsDone();
}

bool TplFolderTree::IsLoading(HTREEITEM node) const {
  return std::find(loading_.begin(), loading_.end(), node) != loading_.end();
}

void TplFolderTree::NodeDeleted(HTREEITEM node) {
  ++changes_;
  for (NodeWatch* w : watches_)
    if (w->node == node) w->gone = true;
  if (node == FRootNode) FRootNode = nullptr;
}

std::u16string TplFolderTree::NodeText(HTREEITEM node) const {
  wchar_t buf[MAX_PATH + 1] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT | TVIF_HANDLE;
  item.hItem = node;
  item.pszText = buf;
  item.cchTextMax = MAX_PATH;
  if (!TreeView_GetItem(hwnd_, &item)) return {};
  return U16(buf);
}

std::vector<HTREEITEM> TplFolderTree::Children(HTREEITEM node) const {
  std::vector<HTREEITEM> out;
  for (HTREEITEM c = TreeView_GetChild(hwnd_, node); c; c = TreeView_GetNextSibling(hwnd_, c)) out.push_back(c);
  return out;
}

bool TplFolderTree::HasChildrenMark(HTREEITEM node) const {
  TVITEMW item{};
  item.mask = TVIF_CHILDREN | TVIF_HANDLE;
  item.hItem = node;
  return TreeView_GetItem(hwnd_, &item) && item.cChildren != 0;
}

void TplFolderTree::SetChildrenMark(HTREEITEM node, bool marked) {
  TVITEMW item{};
  item.mask = TVIF_CHILDREN | TVIF_HANDLE;
  item.hItem = node;
  item.cChildren = marked ? 1 : 0;
  TreeView_SetItem(hwnd_, &item);
}

std::u16string TplFolderTree::NodePath(HTREEITEM node) const {
  std::vector<std::u16string> texts;
  for (HTREEITEM n = node; n; n = TreeView_GetParent(hwnd_, n)) texts.insert(texts.begin(), NodeText(n));
  return JoinNodePath(FRootHeader, texts);
}

void TplFolderTree::SetNodeIcons(const std::u16string& path, HTREEITEM node) {
  std::u16string shellPath = ShellFolderForm(path);
  SHFILEINFOW info{};
  TVITEMW item{};
  item.mask = TVIF_HANDLE;
  item.hItem = node;
  if (SHGetFileInfoW(W(shellPath), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_ATTRIBUTES | SHGFI_SMALLICON)) {
    item.mask |= TVIF_IMAGE;
    item.iImage = info.iIcon;
    if (info.dwAttributes & SFGAO_SHARE) {
      item.mask |= TVIF_STATE;
      item.state = INDEXTOOVERLAYMASK(1);
      item.stateMask = TVIS_OVERLAYMASK;
    }
  }
  SHFILEINFOW open{};
  if (SHGetFileInfoW(W(shellPath), 0, &open, sizeof(open), SHGFI_SYSICONINDEX | SHGFI_OPENICON | SHGFI_SMALLICON)) {
    item.mask |= TVIF_SELECTEDIMAGE;
    item.iSelectedImage = open.iIcon;
  }
  TreeView_SetItem(hwnd_, &item);
}

HTREEITEM TplFolderTree::AddChild(HTREEITEM parent, const std::u16string& name) {
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_CHILDREN;
  std::u16string text = name;
  ins.item.pszText = W(text);
  ins.item.cChildren = 0;
  ++changes_;
  return TreeView_InsertItem(hwnd_, &ins);
}

void TplFolderTree::LoadChildren(const std::u16string& path, HTREEITEM node, bool addNodes) {
  ReadScope reading(*this);
  NodeWatch watch(*this, node);
  if (addNodes) loading_.push_back(node);
  ScopeExit loadEnd([&] {
    if (!addNodes) return;
    auto it = std::find(loading_.begin(), loading_.end(), node);
    if (it != loading_.end()) loading_.erase(it);
  });
  std::u16string folder = IncludeTrailingBackslash(path);
  lister_->Enumerate(folder, [&](const DirectoryEntry& entry) {
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY_) && !IsDotEntry(entry.name)) {
      if (!addNodes) {
        SetChildrenMark(node, true);
        return false;  // a probe stops at the first sub-folder
      }
      HTREEITEM child = AddChild(node, entry.name);
      if (child) {
        std::u16string childPath = folder + entry.name + u"\\";
        SetNodeIcons(childPath, child);
        LoadChildren(childPath, child, false);
      }
    }
    // Every entry, files too: a folder of thousands of photos must not freeze the window.
    YieldToMessageQueue();
    return !watch.gone;  // deleted, collapsed or replaced meanwhile
  });
}

void TplFolderTree::SortChildren(HTREEITEM node) {
  ++changes_;
  TreeView_SortChildren(hwnd_, node, FALSE);
}

void TplFolderTree::DeleteChildren(HTREEITEM node) {
  for (HTREEITEM c : Children(node)) TreeView_DeleteItem(hwnd_, c);
}

void TplFolderTree::SetRootFolder(const std::u16string& value) {
  if (!FolderExists(value)) return;
  std::u16string p = IncludeTrailingBackslash(value);
  if (p != FRootFolder) {
    if (!ImgListHandle) {
      SHFILEINFOW info{};
      ImgListHandle = reinterpret_cast<HIMAGELIST>(
          SHGetFileInfoW(L"", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
      if (ImgListHandle) TreeView_SetImageList(hwnd_, ImgListHandle, TVSIL_NORMAL);
    }
    unsigned generation = ++rootGeneration_;
    WaitCursor wait;
    OnRootChangeFlag = false;
    auto ready = RestoreOnExit(OnRootChangeFlag, true);
    FRootFolder = p;
    FRootNode = nullptr;
    FSelectFolder = p;
    RootDisplay display = SplitRootFolder(p);
    FRootHeader = display.header;
    {
      RedrawSuspender redraw(hwnd_);
      TreeView_DeleteAllItems(hwnd_);
      FRootNode = AddChild(TVI_ROOT, display.topText);
      SetNodeIcons(p, FRootNode);
      LoadChildren(p, FRootNode, true);
      // A newer root chosen while this one was read has taken over the tree and the list.
      if (generation != rootGeneration_) return;
      TreeView_SelectItem(hwnd_, FRootNode);
    }
    TreeView_Expand(hwnd_, FRootNode, TVE_EXPAND);
    SortChildren(FRootNode);
    state_->Show(p, p, FolderChange::Shown);
    if (OnChange) OnChange(FRootNode);
  }
  SetFocus(hwnd_);
  // A single top node needs no lines at the root.
  SetWindowLongPtrW(hwnd_, GWL_STYLE, GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~static_cast<LONG_PTR>(TVS_LINESATROOT));
}

HTREEITEM TplFolderTree::FindFolderNode(const std::u16string& path) {
  ReadScope reading(*this);
  std::u16string p = IncludeTrailingBackslash(path);
  if (!FRootNode) return nullptr;
  if (SameTextAscii(p, FRootFolder)) {
    TreeView_EnsureVisible(hwnd_, FRootNode);
    return FRootNode;
  }
  if (SameTextAscii(p, FSelectFolder)) return Selected();
  auto parts = ComponentsBelowRoot(FRootFolder, p);
  if (!parts) return nullptr;
  HTREEITEM node = FRootNode;
  std::u16string folder = FRootFolder;
  for (const auto& part : *parts) {
    // Also a node without the mark: a folder added by a refresh is not probed, and its
    // sub-folders must still be reachable by path (a folder opened from the list).
    if (!TreeView_GetChild(hwnd_, node) && !IsLoading(node)) {
      NodeWatch watch(*this, node);
      LoadChildren(folder, node, true);
      if (watch.gone) return nullptr;
      SortChildren(node);
      TreeView_Expand(hwnd_, node, TVE_EXPAND);
    }
    HTREEITEM found = nullptr;
    for (HTREEITEM c : Children(node)) {
      if (SameTextAscii(NodeText(c), part)) {
        found = c;
        break;
      }
    }
    if (!found) return nullptr;
    node = found;
    folder += part + u"\\";
    NodeWatch watch(*this, node);
    YieldToMessageQueue();
    if (watch.gone) return nullptr;
  }
  TreeView_SelectItem(hwnd_, node);
  TreeView_EnsureVisible(hwnd_, node);
  FSelectFolder = p;
  return node;
}

void TplFolderTree::SetSelectFolder(const std::u16string& value) {
  if (!FolderExists(value)) return;
  std::u16string p = IncludeTrailingBackslash(value);
  if (p != FSelectFolder) {
    HTREEITEM node;
    {
      WaitCursor wait;
      RedrawSuspender redraw(hwnd_);
      node = FindFolderNode(p);
      // The top node and the selected one are returned without being selected: a write
      // asks for that folder to be shown, so select it when the tree shows another.
      if (node && node != Selected()) TreeView_SelectItem(hwnd_, node);
    }
    if (node) {
      SetFocus(hwnd_);
      TreeView_EnsureVisible(hwnd_, node);
    }
  }
}

void TplFolderTree::SyncChildren(const std::u16string& path, HTREEITEM node, bool recurse) {
  ReadScope reading(*this);
  NodeWatch watch(*this, node);
  // A loaded node whose every child vanished still reads its folder, and so do an open node
  // and the top node without children: a first sub-folder must appear at once.
  NodeState state = StateOf(node);
  bool loaded = ReadsFolderOnSync(state);
  std::vector<std::u16string> kept;
  for (bool restart = true; restart;) {
    restart = false;
    kept.clear();
    std::vector<HTREEITEM> children = Children(node);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      if (!FolderExists(NodePath(*it))) {
        TreeView_DeleteItem(hwnd_, *it);
      } else {
        kept.insert(kept.begin(), NodeText(*it));
      }
      unsigned before = changes_;
      YieldToMessageQueue();
      if (watch.gone) return;
      // Nodes changed by whatever ran meanwhile: the handles taken above may be stale.
      if (changes_ != before) {
        restart = true;
        break;
      }
    }
  }
  bool added = false;
  if (loaded) {
    // Only the sub-folders count: a card folder of thousands of photos keeps no entries.
    std::vector<std::u16string> disk;
    const bool listed = lister_->Enumerate(IncludeTrailingBackslash(path), [&](const DirectoryEntry& entry) {
      if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY_) && !IsDotEntry(entry.name)) disk.push_back(entry.name);
      return true;
    });
    if (!listed) disk.clear();
    ChildSyncPlan plan = PlanChildSync(kept, std::vector<bool>(kept.size(), true), disk, true);
    for (const auto& name : plan.add) {
      HTREEITEM child = AddChild(node, name);
      if (child) {
        SetNodeIcons(IncludeTrailingBackslash(path) + name + u"\\", child);
        added = true;
      }
    }
  }
  if (!TreeView_GetChild(hwnd_, node)) {
    SHFILEINFOW info{};
    info.dwAttributes = SFGAO_HASSUBFOLDER;
    std::u16string shellPath = ShellFolderForm(path);
    if (SHGetFileInfoW(W(shellPath), 0, &info, sizeof(info), SHGFI_ATTRIBUTES))
      SetChildrenMark(node, (info.dwAttributes & SFGAO_HASSUBFOLDER) != 0);
  }
  SortChildren(node);
  // A first child under the top node or an open node is shown, not hidden in a closed node.
  if (added && (state.isTop || state.expanded) && !state.hasChildNodes) TreeView_Expand(hwnd_, node, TVE_EXPAND);
  if (recurse) {
    for (HTREEITEM c = TreeView_GetChild(hwnd_, node); c;) {
      NodeWatch child(*this, c);
      SyncChildren(NodePath(c), c, true);
      unsigned before = changes_;
      YieldToMessageQueue();
      // Stop when the walk lost its place; the rest is read again on the next refresh.
      if (watch.gone || child.gone || changes_ != before) return;
      c = TreeView_GetNextSibling(hwnd_, c);
    }
  }
}

void TplFolderTree::RefreshView(bool isRoot) {
  if (state_->RefreshLocked) return;
  std::u16string folder = isRoot ? FRootFolder : FSelectFolder;
  HTREEITEM node = isRoot ? FRootNode : Selected();
  if (!node || folder.empty()) return;
  WaitCursor wait;
  RefreshLock lock(*state_);
  // The list's folder gone meanwhile: the panes move on, and the status bar says why.
  const std::u16string shown = state_->ShownFolder();
  const bool shownGone = !shown.empty() && !FolderExists(shown);
  switch (DecideRefresh(FolderExists(FRootFolder), FolderExists(folder))) {
    case RefreshAction::ForgetRoot:
      ForgetRoot();
      break;
    case RefreshAction::DeleteNode:
      // The tree selects a neighbour, which lists that folder.
      TreeView_DeleteItem(hwnd_, node);
      break;
    case RefreshAction::Sync:
      {
        RedrawSuspender redraw(hwnd_);
        SyncChildren(folder, node, true);
      }
      // The list's rows too, whichever folder below the refreshed one it shows.
      state_->RaiseRowsChanged(state_->ShownFolder(), this);
      break;
  }
  if (shownGone) state_->RaiseFolderVanished(shown);
}

void TplFolderTree::ForgetRoot() {
  ++rootGeneration_;
  {
    auto ready = RestoreOnExit(OnRootChangeFlag, true);
    OnRootChangeFlag = false;
    TreeView_DeleteAllItems(hwnd_);
  }
  FRootNode = nullptr;
  FRootFolder.clear();
  FRootHeader.clear();
  FSelectFolder.clear();
  // Nothing to show any more; a new choice of the same drive takes effect again.
  state_->Show(u"", u"", FolderChange::Shown);
  if (OnChange) OnChange(nullptr);
}

NodeState TplFolderTree::StateOf(HTREEITEM node) const {
  NodeState state;
  state.hasChildNodes = TreeView_GetChild(hwnd_, node) != nullptr;
  state.marked = HasChildrenMark(node);
  state.expanded = (TreeView_GetItemState(hwnd_, node, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
  state.isTop = node == FRootNode;
  state.loading = IsLoading(node);
  return state;
}

void TplFolderTree::SelectionChanged(HTREEITEM node) {
  if (!OnRootChangeFlag || resyncing_ || !node) return;
  std::u16string path = NodePath(node);
  if (FolderExists(path)) {
    FSelectFolder = path;
    state_->Show(FRootFolder, path, FolderChange::Shown);
  } else {
    DefaultBeep();
    HTREEITEM parent = TreeView_GetParent(hwnd_, node);
    if (parent) {
      // Deleting the vanished node moves the tree's selection; the list keeps showing the
      // folder it showed, so the selection goes back to that folder's node without a relisting.
      resyncing_ = true;
      auto done = RestoreOnExit(resyncing_, false);
      RedrawSuspender redraw(hwnd_);
      std::u16string shown = FSelectFolder;
      SyncChildren(NodePath(parent), parent, true);
      FSelectFolder.clear();
      HTREEITEM shownNode = FindFolderNode(shown);
      // The top node is found without being selected.
      if (shownNode && shownNode != Selected()) TreeView_SelectItem(hwnd_, shownNode);
      FSelectFolder = shown;
    }
    if (!parent && node == FRootNode && !FolderExists(FRootFolder)) {
      // The root itself is gone (a card pulled): forget it, so that the list empties and a
      // new choice of the drive takes effect.
      ForgetRoot();
      state_->RaiseFolderVanished(path);
      return;
    }
    state_->RaiseFolderVanished(path);
    // The vanished node may be deleted by now: report the node that is selected instead.
    node = Selected();
  }
  if (OnChange) OnChange(node);
}

void TplFolderTree::Collapsed(HTREEITEM node) {
  WaitCursor wait;
  RedrawSuspender redraw(hwnd_);
  bool hadChildren = TreeView_GetChild(hwnd_, node) != nullptr;
  // A load still running for this node stops: the next expansion reads the folder whole.
  bool loading = IsLoading(node);
  for (NodeWatch* w : watches_)
    if (w->node == node) w->gone = true;
  DeleteChildren(node);
  SetChildrenMark(node, MarkAfterCollapse(hadChildren, loading));
  // Forget the first expansion too, so the next one asks for the children again.
  TreeView_SetItemState(hwnd_, node, 0, TVIS_EXPANDEDONCE);
}

bool TplFolderTree::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->hwndFrom != hwnd_) return false;
  result = 0;
  switch (header->code) {
    case TVN_ITEMEXPANDINGW: {
      auto* nm = reinterpret_cast<NMTREEVIEWW*>(header);
      HTREEITEM node = nm->itemNew.hItem;
      if ((nm->action & 0x0003) == TVE_COLLAPSE) {
        result = node == FRootNode ? TRUE : FALSE;  // the top node never closes
      } else if ((nm->action & 0x0003) == TVE_EXPAND) {
        if (LoadsOnExpand(StateOf(node))) {
          WaitCursor wait;
          RedrawSuspender redraw(hwnd_);
          NodeWatch watch(*this, node);
          LoadChildren(NodePath(node), node, true);
          // Deleted (or closed) while it was read: refuse the expansion, so the control does
          // not go on with an item it may already have freed.
          if (watch.gone) {
            result = TRUE;
            return true;
          }
          SortChildren(node);
        }
      }
      return true;
    }
    case TVN_ITEMEXPANDEDW: {
      auto* nm = reinterpret_cast<NMTREEVIEWW*>(header);
      if ((nm->action & 0x0003) == TVE_COLLAPSE && nm->itemNew.hItem != FRootNode) Collapsed(nm->itemNew.hItem);
      return true;
    }
    case TVN_DELETEITEMW:
      NodeDeleted(reinterpret_cast<NMTREEVIEWW*>(header)->itemOld.hItem);
      return true;
    case TVN_SELCHANGEDW:
      SelectionChanged(reinterpret_cast<NMTREEVIEWW*>(header)->itemNew.hItem);
      return true;
    case TVN_BEGINLABELEDITW:
      result = BeginLabelEdit(reinterpret_cast<NMTVDISPINFOW*>(header)->item.hItem) ? FALSE : TRUE;
      return true;
    case TVN_ENDLABELEDITW:
      result = EndLabelEdit(*reinterpret_cast<NMTVDISPINFOW*>(header)) ? TRUE : FALSE;
      return true;
    case TVN_KEYDOWN: {
      auto* nm = reinterpret_cast<NMTVKEYDOWN*>(header);
      if (OnKeyDown) OnKeyDown(nm->wVKey);
      if (nm->wVKey == VK_F5) {
        RefreshView(true);
        result = 1;
      } else if (nm->wVKey == VK_F2 && Selected()) {
        EditFolderName();
        result = 1;
      }
      return true;
    }
    case NM_CLICK:
      if (OnClick) OnClick();
      return true;
    case NM_RCLICK: {
      TVHITTESTINFO hit{};
      GetCursorPos(&hit.pt);
      POINT screen = hit.pt;
      ScreenToClient(hwnd_, &hit.pt);
      HTREEITEM node = TreeView_HitTest(hwnd_, &hit);
      // Anywhere on a node's row, as the context menu that follows acts on that row.
      if (node && (hit.flags & (TVHT_ONITEM | TVHT_ONITEMINDENT | TVHT_ONITEMBUTTON | TVHT_ONITEMRIGHT)))
        TreeView_SelectItem(hwnd_, node);
      if (OnRightClick) OnRightClick(screen);
      result = 1;  // the menu is the window's own
      return true;
    }
    default:
      return false;
  }
}

void TplFolderTree::ReleaseFolders() {
  ++rootGeneration_;  // a root being read meanwhile stops
  {
    // Deleting the selected node would select (and list) a sibling on the way.
    OnRootChangeFlag = false;
    auto ready = RestoreOnExit(OnRootChangeFlag, true);
    editSubclass_.reset();
    TreeView_DeleteAllItems(hwnd_);
  }
  FRootNode = nullptr;
  FRootFolder.clear();
  FSelectFolder.clear();
  FRootHeader.clear();
  state_->Show(u"", u"", FolderChange::Released);
}

// The control reports expansion changes only for the user's clicks and keys (and the first
// programmatic expansion): a collapse asked for in code must forget the children as well,
// and the top node stays open either way.
LRESULT TplFolderTree::TreeMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  if (msg == WM_SETCURSOR && WaitCursor::ShowsWait()) {
    handled = true;
    return TRUE;
  }
  if (msg != TVM_EXPAND) return 0;
  auto node = reinterpret_cast<HTREEITEM>(lp);
  UINT action = static_cast<UINT>(wp) & 0x0003;
  if (action != TVE_COLLAPSE || !node) return 0;
  handled = true;
  if (node == FRootNode) return FALSE;
  bool wasExpanded = (TreeView_GetItemState(hwnd, node, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
  LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
  // A node still holding children after closing was not seen by the collapse notification.
  if (wasExpanded && TreeView_GetChild(hwnd, node)) Collapsed(node);
  return r;
}


void TplFolderTree::NavigateUp() {
  HTREEITEM node = Selected();
  if (!node) return;
  if (HTREEITEM parent = TreeView_GetParent(hwnd_, node)) TreeView_SelectItem(hwnd_, parent);
}

void TplFolderTree::SyncSelectedNode(const std::u16string& folder) {
  HTREEITEM node = Selected();
  // Only the node that shows folder: another node would get that folder's children.
  if (!node || !SamePath(NodePath(node), IncludeTrailingBackslash(folder))) return;
  {
    RedrawSuspender redraw(hwnd_);
    SyncChildren(IncludeTrailingBackslash(folder), node, false);
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

bool TplFolderTree::BackFolder() {
  HTREEITEM node = Selected();
  if (!node) return false;
  if (Editing()) TreeView_EndEditLabelNow(hwnd_, TRUE);
  HTREEITEM parent = TreeView_GetParent(hwnd_, node);
  if (!parent) return false;
  TreeView_SelectItem(hwnd_, parent);
  return true;
}

bool TplFolderTree::EditFolderName() {
  HTREEITEM node = Selected();
  if (!Focused() || !node || node == FRootNode) return false;
  return TreeView_EditLabel(hwnd_, node) != nullptr;
}

bool TplFolderTree::BeginLabelEdit(HTREEITEM node) {
  // A drive root has no name of its own to change.
  if (node == FRootNode && FRootHeader.empty()) {
    DefaultBeep();
    return false;
  }
  if (!editLock_) editLock_ = std::make_unique<RefreshLock>(*state_);
  if (HWND edit = TreeView_GetEditControl(hwnd_)) {
    // The in-place edit box offers no context menu.
    editSubclass_ = std::make_unique<SubclassGuard>(edit, [](HWND, UINT m, WPARAM, LPARAM, bool& handled) {
      handled = m == WM_CONTEXTMENU;
      return LRESULT(1);
    });
  }
  return true;
}

bool TplFolderTree::EndLabelEdit(const NMTVDISPINFOW& info) {
  std::unique_ptr<RefreshLock> unlock = std::move(editLock_);
  HTREEITEM node = info.item.hItem;
  if (!node || !info.item.pszText) return false;
  std::u16string text = U16(info.item.pszText);
  std::u16string old = ExcludeTrailingBackslash(NodePath(node));
  if (text.find_first_not_of(u' ') == std::u16string::npos) return false;  // the old name stays
  HTREEITEM parent = TreeView_GetParent(hwnd_, node);
  const std::u16string folder = parent ? NodePath(parent) : FRootHeader;
  std::u16string renamed = folder + text;
  if (!commands_->Rename(old, folder, text, AppWindowOf(hwnd_))) return false;
  if (OnRenamed) OnRenamed(old, renamed);
  std::u16string p = IncludeTrailingBackslash(renamed);
  std::u16string oldPath = IncludeTrailingBackslash(old);
  // The control takes the confirmed text once this returns; the paths are set now.
  TVITEMW item{};
  item.mask = TVIF_TEXT | TVIF_HANDLE;
  item.hItem = node;
  item.pszText = info.item.pszText;
  TreeView_SetItem(hwnd_, &item);
  if (node == FRootNode) FRootFolder = p;
  // The selected folder and the listed one lie in the renamed folder or below it.
  auto moved = [&](const std::u16string& path) {
    return PathIsInside(path, oldPath) ? p + path.substr(oldPath.size()) : path;
  };
  FSelectFolder = moved(FSelectFolder);
  if (parent) SortChildren(parent);
  state_->Show(node == FRootNode ? p : state_->RootFolder(), moved(state_->ShownFolder()), FolderChange::Renamed);
  return true;
}

bool TplFolderTree::CopyFolder() { return Copy(); }
bool TplFolderTree::PasteFolder() { return Paste(); }
bool TplFolderTree::DeleteFolder() { return Delete(); }
bool TplFolderTree::CreateFolder(const std::u16string& folderName) { return NewFolder(folderName); }
void TplFolderTree::FolderInfoDlg() { Properties(); }

std::vector<std::u16string> TplFolderTree::SelectedPaths() const {
  HTREEITEM node = Selected();
  // The top node is the root itself: it is neither copied nor deleted.
  if (!node || node == FRootNode) return {};
  return {ExcludeTrailingBackslash(NodePath(node))};
}

std::vector<std::u16string> TplFolderTree::PropertiesPaths() const {
  HTREEITEM node = Selected();
  if (!node) return {};
  return {NodePath(node)};
}

void TplFolderTree::EndEdit() {
  if (Editing()) TreeView_EndEditLabelNow(hwnd_, TRUE);
}

WindowHandle TplFolderTree::Owner() const { return AppWindowOf(hwnd_); }

void TplFolderTree::ItemsDeleted(const std::vector<std::u16string>&) {
  // The tree selects a neighbour, which lists that folder.
  if (HTREEITEM node = Selected()) TreeView_DeleteItem(hwnd_, node);
  if (!Selected() && FRootNode) TreeView_SelectItem(hwnd_, FRootNode);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TplFolderTree::EditNewItem(const std::u16string& name) {
  HTREEITEM found;
  {
    WaitCursor wait;
    RedrawSuspender redraw(hwnd_);
    found = FindFolderNode(FSelectFolder + name);
  }
  if (found) {
    SetFocus(hwnd_);
    TreeView_EditLabel(hwnd_, found);
  }
}

}  // namespace tess
