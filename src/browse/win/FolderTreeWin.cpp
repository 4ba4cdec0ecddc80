#include "browse/win/FolderTreeWin.h"

#include <shellapi.h>
#include <shlobj.h>

#include <objbase.h>

#include <algorithm>

#include "browse/FileCommands.h"
#include "browse/FolderChanges.h"
#include "browse/FolderPaths.h"
#include "browse/win/FolderWatchWin.h"
#include "browse/win/PaneCommandsWin.h"
#include "platform/ScopeExit.h"
#include "platform/Text.h"
#include "platform/ThreadEnd.h"
#include "platform/UiTexts.h"
#include "platform/win/AppMessages.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

// The shell wants a drive root with its "\" and any other folder without it.
std::u16string ShellFolderForm(const std::u16string& path) {
  return IsDriveRootPath(path) ? path : ExcludeTrailingBackslash(path);
}

// Changes that come during an in-place edit wait for it to end.
constexpr UINT_PTR kChangesRetryTimer = 0x181;
constexpr UINT kChangesRetryMs = 500;
// At most this long applying replies before the queue gets a turn, and this many nodes added
// to a folder at a time.
constexpr int kApplySliceMs = 20;
constexpr int kFillSlice = 8;

// Runs on the folder reads' worker: the shell wants COM on the thread that asks it.
FolderLook DescribeFolder(const std::u16string& folder) {
  struct Com {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ~Com() {
      if (SUCCEEDED(hr)) CoUninitialize();
    }
  };
  PerThread<Com>();
  std::u16string shellPath = ShellFolderForm(folder);
  FolderLook look;
  SHFILEINFOW info{};
  if (SHGetFileInfoW(W(shellPath), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_ATTRIBUTES | SHGFI_SMALLICON)) {
    look.image = info.iIcon;
    look.shared = (info.dwAttributes & SFGAO_SHARE) != 0;
  }
  SHFILEINFOW open{};
  if (SHGetFileInfoW(W(shellPath), 0, &open, sizeof(open), SHGFI_SYSICONINDEX | SHGFI_OPENICON | SHGFI_SMALLICON))
    look.openImage = open.iIcon;
  return look;
}

}  // namespace

FolderTreeView::FolderTreeView(HWND parent, int id, HINSTANCE instance, BrowseState* state)
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
  StartReads(*lister_);
  HWND hwnd = hwnd_;
  watch_ = std::make_unique<FolderWatch>([hwnd] { PostMessageW(hwnd, kFolderChangesMessage, 0, 0); });
}

FolderTreeView::~FolderTreeView() {
  watch_.reset();
  reads_.reset();  // a read running stops at its next entry
  state_->RemoveObserver(*this);
  if (state_->GetNavigator() == this) state_->SetNavigator(nullptr);
  editLock_.reset();
  editSubclass_.reset();
  subclass_.reset();
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void FolderTreeView::StartReads(DirectoryLister& lister) {
  reads_.reset();
  HWND hwnd = hwnd_;
  reads_ = std::make_unique<FolderReads>(
      lister, [hwnd] { PostMessageW(hwnd, kFolderRepliesMessage, 0, 0); }, DescribeFolder);
}

void FolderTreeView::SetDirectoryLister(DirectoryLister& lister) {
  lister_ = &lister;
  StartReads(lister);
}

uint64_t FolderTreeView::KeyOf(HTREEITEM node) const {
  TVITEMW item{};
  item.mask = TVIF_PARAM | TVIF_HANDLE;
  item.hItem = node;
  return TreeView_GetItem(hwnd_, &item) ? static_cast<uint64_t>(item.lParam) : 0;
}

HTREEITEM FolderTreeView::NodeOf(uint64_t key) const {
  auto it = nodes_.find(key);
  return it == nodes_.end() ? nullptr : it->second;
}

void FolderTreeView::NodeDeleted(HTREEITEM node, uint64_t key) {
  if (key) {
    nodes_.erase(key);
    recursiveSyncs_.erase(key);
    DropPending(key);
    if (reads_) reads_->Forget(key);
  }
  if (node == rootNode_) rootNode_ = nullptr;
}

std::u16string FolderTreeView::NodeText(HTREEITEM node) const {
  wchar_t buf[MAX_PATH + 1] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT | TVIF_HANDLE;
  item.hItem = node;
  item.pszText = buf;
  item.cchTextMax = MAX_PATH;
  if (!TreeView_GetItem(hwnd_, &item)) return {};
  return U16(buf);
}

std::vector<HTREEITEM> FolderTreeView::Children(HTREEITEM node) const {
  std::vector<HTREEITEM> out;
  for (HTREEITEM c = TreeView_GetChild(hwnd_, node); c; c = TreeView_GetNextSibling(hwnd_, c))
    if (KeyOf(c)) out.push_back(c);
  return out;
}

bool FolderTreeView::HasChildrenMark(HTREEITEM node) const {
  TVITEMW item{};
  item.mask = TVIF_CHILDREN | TVIF_HANDLE;
  item.hItem = node;
  return TreeView_GetItem(hwnd_, &item) && item.cChildren != 0;
}

void FolderTreeView::SetChildrenMark(HTREEITEM node, bool marked) {
  TVITEMW item{};
  item.mask = TVIF_CHILDREN | TVIF_HANDLE;
  item.hItem = node;
  item.cChildren = marked ? 1 : 0;
  TreeView_SetItem(hwnd_, &item);
}

std::u16string FolderTreeView::NodePath(HTREEITEM node) const {
  std::vector<std::u16string> texts;
  for (HTREEITEM n = node; n; n = TreeView_GetParent(hwnd_, n)) texts.insert(texts.begin(), NodeText(n));
  return JoinNodePath(rootHeader_, texts);
}

void FolderTreeView::SetNodeIcons(const std::u16string& path, HTREEITEM node) {
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

void FolderTreeView::SetNodeLook(HTREEITEM node, const FolderLook& look) {
  TVITEMW item{};
  item.mask = TVIF_HANDLE;
  item.hItem = node;
  if (look.image >= 0) {
    item.mask |= TVIF_IMAGE;
    item.iImage = look.image;
  }
  if (look.openImage >= 0) {
    item.mask |= TVIF_SELECTEDIMAGE;
    item.iSelectedImage = look.openImage;
  }
  if (look.shared) {
    item.mask |= TVIF_STATE;
    item.state = INDEXTOOVERLAYMASK(1);
    item.stateMask = TVIS_OVERLAYMASK;
  }
  if (item.mask != TVIF_HANDLE) TreeView_SetItem(hwnd_, &item);
}

HTREEITEM FolderTreeView::AddChild(HTREEITEM parent, const std::u16string& name) {
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_CHILDREN | TVIF_PARAM;
  // A folder's usual icons until its own look comes with its probe.
  if (folderImage_ >= 0) {
    ins.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    ins.item.iImage = folderImage_;
    ins.item.iSelectedImage = openFolderImage_ >= 0 ? openFolderImage_ : folderImage_;
  }
  std::u16string text = name;
  ins.item.pszText = W(text);
  ins.item.cChildren = 0;
  const uint64_t key = ++nextKey_;
  ins.item.lParam = static_cast<LPARAM>(key);
  HTREEITEM node = TreeView_InsertItem(hwnd_, &ins);
  if (node) nodes_[key] = node;
  return node;
}

void FolderTreeView::StartFill(HTREEITEM node, const std::u16string& path) {
  if (!TreeView_GetChild(hwnd_, node)) {
    // The placeholder (item data 0, no key) lets the node open at once.
    TVINSERTSTRUCTW ins{};
    ins.hParent = node;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM;
    ins.item.pszText = const_cast<wchar_t*>(W(texts::kTreeReadingNode));
    ins.item.lParam = 0;
    TreeView_InsertItem(hwnd_, &ins);
  }
  reads_->Request(KeyOf(node), FolderReads::Kind::Fill, IncludeTrailingBackslash(path));
}

void FolderTreeView::RemovePlaceholder(HTREEITEM node) {
  for (HTREEITEM c = TreeView_GetChild(hwnd_, node); c;) {
    HTREEITEM next = TreeView_GetNextSibling(hwnd_, c);
    if (!KeyOf(c)) TreeView_DeleteItem(hwnd_, c);
    c = next;
  }
}

void FolderTreeView::ApplyReplies() {
  for (FolderReads::Reply& reply : reads_->Take()) pending_.push_back(PendingReply{std::move(reply)});
  if (pending_.empty()) return;
  // The control takes milliseconds per node change here (more on Wine): a big folder's
  // replies are applied in slices, the queue handled in between.
  LARGE_INTEGER start, now, frequency;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const LONGLONG budget = frequency.QuadPart * kApplySliceMs / 1000;
  bool walk = false;
  {
    RedrawSuspender redraw(hwnd_);
    while (!pending_.empty()) {
      QueryPerformanceCounter(&now);
      if (now.QuadPart - start.QuadPart > budget) break;
      PendingReply& p = pending_.front();
      // A node deleted meanwhile has forgotten its requests; its key finds nothing either way.
      HTREEITEM node = NodeOf(p.reply.node);
      bool done = true;
      if (node) {
        switch (p.reply.kind) {
          case FolderReads::Kind::Fill:
            done = ApplyFill(node, p);
            walk = walk || done;
            break;
          case FolderReads::Kind::Sync:
            ApplySync(node, p.reply);
            walk = walk || !pendingWalk_.empty();
            break;
          case FolderReads::Kind::Probe:
            // A node loaded meanwhile knows better from its children.
            if (!TreeView_GetChild(hwnd_, node) && HasChildrenMark(node) != p.reply.hasSubFolder)
              SetChildrenMark(node, p.reply.hasSubFolder);
            SetNodeLook(node, p.reply.look);
            break;
        }
      }
      if (done) pending_.pop_front();
    }
  }
  if (!pending_.empty()) PostMessageW(hwnd_, kFolderRepliesMessage, 0, 0);
  if (walk) ContinueWalk();
}

bool FolderTreeView::Filling(uint64_t key) const {
  return reads_->Listing(key) || std::any_of(pending_.begin(), pending_.end(), [&](const PendingReply& p) {
           return p.reply.node == key && p.reply.kind == FolderReads::Kind::Fill;
         });
}

void FolderTreeView::DropPending(uint64_t key) {
  pending_.erase(std::remove_if(pending_.begin(), pending_.end(), [&](const PendingReply& p) { return p.reply.node == key; }),
                 pending_.end());
}

void FolderTreeView::AddReadChildren(HTREEITEM node, const std::u16string& folder, const std::u16string& name) {
  HTREEITEM child = AddChild(node, name);
  if (!child) return;
  // The look and the expand button follow when the probe answers.
  reads_->Request(KeyOf(child), FolderReads::Kind::Probe, folder + name + u"\\");
}

bool FolderTreeView::ApplyFill(HTREEITEM node, PendingReply& p) {
  const FolderReads::Reply& reply = p.reply;
  if (!p.started) {
    p.started = true;
    RemovePlaceholder(node);
    std::vector<std::u16string> kept;
    for (HTREEITEM c : Children(node)) kept.push_back(NodeText(c));
    p.names = reply.listed ? NewFolderNames(kept, reply.folders) : std::vector<std::u16string>{};
    // In the order the control sorts them, so that a node filled in slices stays in order.
    std::stable_sort(p.names.begin(), p.names.end(), [](const std::u16string& a, const std::u16string& b) {
      return lstrcmpiW(W(a), W(b)) < 0;
    });
    if (!kept.empty()) p.sortAtEnd = true;
  }
  for (int n = 0; p.next < p.names.size() && n < kFillSlice; ++n) AddReadChildren(node, reply.folder, p.names[p.next++]);
  if (p.next < p.names.size()) return false;
  if (!TreeView_GetChild(hwnd_, node)) {
    SetChildrenMark(node, false);
    return true;
  }
  if (p.sortAtEnd) SortChildren(node);
  if (node == rootNode_) TreeView_Expand(hwnd_, node, TVE_EXPAND);
  return true;
}

void FolderTreeView::ApplySync(HTREEITEM node, const FolderReads::Reply& reply) {
  const uint64_t key = reply.node;
  const bool recurse = recursiveSyncs_.erase(key) != 0;
  if (!reply.listed) return;
  NodeState state = StateOf(node);
  std::vector<HTREEITEM> children = Children(node);
  std::vector<std::u16string> names;
  std::vector<bool> exists;
  for (HTREEITEM c : children) {
    names.push_back(NodeText(c));
    bool found = false;
    for (const auto& f : reply.folders) found = found || SameTextAscii(f, names.back());
    exists.push_back(found);
  }
  ChildSyncPlan plan = PlanChildSync(names, exists, reply.folders, true);
  for (auto it = plan.remove.rbegin(); it != plan.remove.rend(); ++it) TreeView_DeleteItem(hwnd_, children[*it]);
  for (const auto& name : plan.add) AddReadChildren(node, reply.folder, name);
  SetChildrenMark(node, TreeView_GetChild(hwnd_, node) != nullptr);
  SortChildren(node);
  // A first child under the top node or an open node is shown, not hidden in a closed node.
  if (!plan.add.empty() && (state.isTop || state.expanded) && !state.hasChildNodes)
    TreeView_Expand(hwnd_, node, TVE_EXPAND);
  if (recurse)
    for (HTREEITEM c : Children(node)) SyncChildren(reply.folder + NodeText(c) + u"\\", c, true);
}

void FolderTreeView::SortChildren(HTREEITEM node) {
  TreeView_SortChildren(hwnd_, node, FALSE);
}

void FolderTreeView::DeleteChildren(HTREEITEM node) {
  // The placeholder too.
  while (HTREEITEM c = TreeView_GetChild(hwnd_, node)) TreeView_DeleteItem(hwnd_, c);
}

void FolderTreeView::SetRootFolder(const std::u16string& value) {
  if (!FolderExists(value)) return;
  std::u16string p = IncludeTrailingBackslash(value);
  if (p != rootFolder_) {
    if (!ImgListHandle) {
      SHFILEINFOW info{};
      ImgListHandle = reinterpret_cast<HIMAGELIST>(
          SHGetFileInfoW(L"", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
      if (ImgListHandle) TreeView_SetImageList(hwnd_, ImgListHandle, TVSIL_NORMAL);
      // Taken from the attributes alone: no disk is asked.
      SHFILEINFOW folder{};
      if (SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &folder, sizeof(folder),
                         SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
        folderImage_ = folder.iIcon;
      SHFILEINFOW open{};
      if (SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &open, sizeof(open),
                         SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON))
        openFolderImage_ = open.iIcon;
    }
    // Whatever the old root still had being read is of no use any more.
    reads_->CancelAll();
    pending_.clear();
    recursiveSyncs_.clear();
    pendingWalk_.clear();
    rootFolder_ = p;
    rootNode_ = nullptr;
    selectFolder_ = p;
    RootDisplay display = SplitRootFolder(p);
    rootHeader_ = display.header;
    {
      OnRootChangeFlag = false;
      auto ready = RestoreOnExit(OnRootChangeFlag, true);
      RedrawSuspender redraw(hwnd_);
      TreeView_DeleteAllItems(hwnd_);
      rootNode_ = AddChild(TVI_ROOT, display.topText);
      SetNodeIcons(p, rootNode_);
      StartFill(rootNode_, p);
      TreeView_SelectItem(hwnd_, rootNode_);
      TreeView_Expand(hwnd_, rootNode_, TVE_EXPAND);
    }
    state_->Show(p, p, FolderChange::Shown);
    changedFolders_.clear();
    watch_->Watch(WatchedFolderFor(p));
    if (OnChange) OnChange(rootNode_);
  }
  SetFocus(hwnd_);
  // A single top node needs no lines at the root.
  SetWindowLongPtrW(hwnd_, GWL_STYLE, GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~static_cast<LONG_PTR>(TVS_LINESATROOT));
}

HTREEITEM FolderTreeView::FindFolderNode(const std::u16string& path) {
  std::u16string p = IncludeTrailingBackslash(path);
  if (!rootNode_) return nullptr;
  if (SameTextAscii(p, rootFolder_)) {
    TreeView_EnsureVisible(hwnd_, rootNode_);
    return rootNode_;
  }
  if (SameTextAscii(p, selectFolder_)) return Selected();
  auto parts = ComponentsBelowRoot(rootFolder_, p);
  if (!parts) return nullptr;
  HTREEITEM node = rootNode_;
  std::u16string folder = rootFolder_;
  for (const auto& part : *parts) {
    // Also a node without the mark: a folder added by a refresh is not probed, and its
    // sub-folders must still be reachable by path (a folder opened from the list).
    if (Children(node).empty()) {
      if (!Filling(KeyOf(node))) StartFill(node, folder);
      // The walk goes on from here when the node's sub-folders have come.
      pendingWalk_ = p;
      return nullptr;
    }
    HTREEITEM found = nullptr;
    for (HTREEITEM c : Children(node)) {
      if (SameTextAscii(NodeText(c), part)) {
        found = c;
        break;
      }
    }
    if (!found) {
      // A folder made since this node was read (by another program, say) is not given up on:
      // the node is read again once, and the walk goes on when that reply comes.
      if (!SameTextAscii(walkReread_, folder)) {
        walkReread_ = folder;
        pendingWalk_ = p;
        SyncChildren(folder, node, false);
      }
      return nullptr;
    }
    if (!(TreeView_GetItemState(hwnd_, node, TVIS_EXPANDED) & TVIS_EXPANDED)) TreeView_Expand(hwnd_, node, TVE_EXPAND);
    node = found;
    folder += part + u"\\";
  }
  walkReread_.clear();
  TreeView_SelectItem(hwnd_, node);
  TreeView_EnsureVisible(hwnd_, node);
  selectFolder_ = p;
  return node;
}

void FolderTreeView::ContinueWalk() {
  if (pendingWalk_.empty()) return;
  std::u16string p;
  p.swap(pendingWalk_);
  HTREEITEM node = FindFolderNode(p);
  if (!node) return;  // not there, or a further node to read first
  if (node != Selected()) TreeView_SelectItem(hwnd_, node);
  TreeView_EnsureVisible(hwnd_, node);
}

void FolderTreeView::SetSelectFolder(const std::u16string& value) {
  if (!FolderExists(value)) return;
  std::u16string p = IncludeTrailingBackslash(value);
  if (p != selectFolder_) {
    pendingWalk_.clear();
    walkReread_.clear();
    HTREEITEM node;
    {
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

void FolderTreeView::SyncChildren(const std::u16string& path, HTREEITEM node, bool recurse) {
  const uint64_t key = KeyOf(node);
  if (!key) return;
  std::u16string folder = IncludeTrailingBackslash(path);
  // A node whose sub-folders are being read gets them fresh anyway.
  if (Filling(key)) return;
  // A loaded node whose every child vanished still reads its folder, and so do an open node
  // and the top node without children: a first sub-folder must appear at once. Any other
  // node only learns whether it has sub-folders.
  if (ReadsFolderOnSync(StateOf(node))) {
    if (recurse) recursiveSyncs_.insert(key);
    else recursiveSyncs_.erase(key);
    reads_->Request(key, FolderReads::Kind::Sync, folder);
  } else {
    reads_->Request(key, FolderReads::Kind::Probe, folder);
  }
}

void FolderTreeView::RefreshView(bool isRoot) {
  if (state_->RefreshLocked()) return;
  std::u16string folder = isRoot ? rootFolder_ : selectFolder_;
  HTREEITEM node = isRoot ? rootNode_ : Selected();
  if (!node || folder.empty()) return;
  RefreshLock lock(*state_);
  // The list's folder gone meanwhile: the panes move on, and the status bar says why.
  const std::u16string shown = state_->ShownFolder();
  const bool shownGone = !shown.empty() && !FolderExists(shown);
  switch (DecideRefresh(FolderExists(rootFolder_), FolderExists(folder))) {
    case RefreshAction::ForgetRoot:
      ForgetRoot();
      break;
    case RefreshAction::DeleteNode:
      // The tree selects a neighbour, which lists that folder.
      TreeView_DeleteItem(hwnd_, node);
      break;
    case RefreshAction::Sync:
      SyncChildren(folder, node, true);
      // The list's rows too, whichever folder below the refreshed one it shows.
      state_->RaiseRowsChanged(state_->ShownFolder(), this);
      break;
  }
  if (shownGone) state_->RaiseFolderVanished(shown);
}

HTREEITEM FolderTreeView::LoadedNode(const std::u16string& folder) const {
  if (!rootNode_) return nullptr;
  auto parts = ComponentsBelowRoot(rootFolder_, folder);
  if (!parts) return nullptr;
  HTREEITEM node = rootNode_;
  for (const auto& part : *parts) {
    HTREEITEM found = nullptr;
    for (HTREEITEM c : Children(node))
      if (SameTextAscii(NodeText(c), part)) {
        found = c;
        break;
      }
    if (!found) return nullptr;
    node = found;
  }
  return node;
}

void FolderTreeView::ApplyFolderChanges() {
  bool everything = false;
  MergeChangedFolders(changedFolders_, watch_->Take(everything));
  if (everything && !rootFolder_.empty()) MergeChangedFolders(changedFolders_, {rootFolder_});
  changedWhole_ = changedWhole_ || everything;
  if (changedFolders_.empty()) return;
  // A name being edited keeps its node: the changes wait for the edit to end.
  if (state_->RefreshLocked() || Editing()) {
    SetTimer(hwnd_, kChangesRetryTimer, kChangesRetryMs, nullptr);
    return;
  }
  const bool whole = std::exchange(changedWhole_, false);
  for (const std::u16string& folder : std::exchange(changedFolders_, {})) {
    // Only what the tree shows is read again: a folder below a closed node is read when it
    // next opens.
    if (HTREEITEM node = LoadedNode(folder)) SyncChildren(folder, node, whole && node == rootNode_);
    // The list shows the new folder too, and opens it.
    if (SameTextAscii(folder, state_->ShownFolder())) state_->RaiseRowsChanged(state_->ShownFolder(), this);
  }
}

void FolderTreeView::ForgetRoot() {
  watch_->Watch(u"");
  changedFolders_.clear();
  reads_->CancelAll();
  pending_.clear();
  recursiveSyncs_.clear();
  pendingWalk_.clear();
  {
    auto ready = RestoreOnExit(OnRootChangeFlag, true);
    OnRootChangeFlag = false;
    TreeView_DeleteAllItems(hwnd_);
  }
  rootNode_ = nullptr;
  rootFolder_.clear();
  rootHeader_.clear();
  selectFolder_.clear();
  // Nothing to show any more; a new choice of the same drive takes effect again.
  state_->Show(u"", u"", FolderChange::Shown);
  if (OnChange) OnChange(nullptr);
}

NodeState FolderTreeView::StateOf(HTREEITEM node) const {
  NodeState state;
  state.hasChildNodes = TreeView_GetChild(hwnd_, node) != nullptr;
  state.marked = HasChildrenMark(node);
  state.expanded = (TreeView_GetItemState(hwnd_, node, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
  state.isTop = node == rootNode_;
  state.loading = Filling(KeyOf(node));
  return state;
}

void FolderTreeView::SelectionChanged(HTREEITEM node) {
  if (!OnRootChangeFlag || resyncing_ || !node) return;
  // The user chose a folder: a walk still waiting for its nodes gives way.
  pendingWalk_.clear();
  std::u16string path = NodePath(node);
  if (FolderExists(path)) {
    selectFolder_ = path;
    state_->Show(rootFolder_, path, FolderChange::Shown);
  } else {
    DefaultBeep();
    HTREEITEM parent = TreeView_GetParent(hwnd_, node);
    if (parent) {
      // The vanished node goes, which moves the tree's selection; the list keeps showing the
      // folder it showed, so the selection goes back to that folder's node without a relisting.
      resyncing_ = true;
      auto done = RestoreOnExit(resyncing_, false);
      RedrawSuspender redraw(hwnd_);
      std::u16string shown = selectFolder_;
      TreeView_DeleteItem(hwnd_, node);
      selectFolder_.clear();
      HTREEITEM shownNode = FindFolderNode(shown);
      pendingWalk_.clear();
      // The top node is found without being selected.
      if (shownNode && shownNode != Selected()) TreeView_SelectItem(hwnd_, shownNode);
      selectFolder_ = shown;
      // Other folders of the parent may have gone (or come) too.
      SyncChildren(NodePath(parent), parent, true);
    }
    if (!parent && node == rootNode_ && !FolderExists(rootFolder_)) {
      // The root itself is gone (a card pulled): forget it, so that the list empties and a
      // new choice of the drive takes effect.
      ForgetRoot();
      state_->RaiseFolderVanished(path);
      return;
    }
    state_->RaiseFolderVanished(path);
    // The vanished node is deleted by now: report the node that is selected instead.
    node = Selected();
  }
  if (OnChange) OnChange(node);
}

void FolderTreeView::Collapsed(HTREEITEM node) {
  RedrawSuspender redraw(hwnd_);
  bool hadChildren = TreeView_GetChild(hwnd_, node) != nullptr;
  // A read still running for this node stops: the next expansion reads the folder whole.
  const uint64_t key = KeyOf(node);
  bool loading = Filling(key);
  reads_->Forget(key);
  DropPending(key);
  recursiveSyncs_.erase(key);
  DeleteChildren(node);
  SetChildrenMark(node, MarkAfterCollapse(hadChildren, loading));
  // Forget the first expansion too, so the next one asks for the children again.
  TreeView_SetItemState(hwnd_, node, 0, TVIS_EXPANDEDONCE);
}

bool FolderTreeView::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->hwndFrom != hwnd_) return false;
  result = 0;
  switch (header->code) {
    case TVN_ITEMEXPANDINGW: {
      auto* nm = reinterpret_cast<NMTREEVIEWW*>(header);
      HTREEITEM node = nm->itemNew.hItem;
      if ((nm->action & 0x0003) == TVE_COLLAPSE) {
        result = node == rootNode_ ? TRUE : FALSE;  // the top node never closes
      } else if ((nm->action & 0x0003) == TVE_EXPAND) {
        // The node opens at once on its placeholder; the sub-folders follow.
        if (LoadsOnExpand(StateOf(node))) StartFill(node, NodePath(node));
      }
      return true;
    }
    case TVN_ITEMEXPANDEDW: {
      auto* nm = reinterpret_cast<NMTREEVIEWW*>(header);
      if ((nm->action & 0x0003) == TVE_COLLAPSE && nm->itemNew.hItem != rootNode_) Collapsed(nm->itemNew.hItem);
      return true;
    }
    case TVN_DELETEITEMW: {
      auto* nm = reinterpret_cast<NMTREEVIEWW*>(header);
      NodeDeleted(nm->itemOld.hItem, static_cast<uint64_t>(nm->itemOld.lParam));
      return true;
    }
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

void FolderTreeView::ReleaseFolders() {
  // The root's watch lets go of the volume first, then a read running meanwhile stops;
  // nothing returns here before its search has closed.
  watch_->Watch(u"");
  changedFolders_.clear();
  reads_->CancelAll();
  reads_->WaitIdle();
  pending_.clear();
  recursiveSyncs_.clear();
  pendingWalk_.clear();
  {
    // Deleting the selected node would select (and list) a sibling on the way.
    OnRootChangeFlag = false;
    auto ready = RestoreOnExit(OnRootChangeFlag, true);
    editSubclass_.reset();
    TreeView_DeleteAllItems(hwnd_);
  }
  rootNode_ = nullptr;
  rootFolder_.clear();
  selectFolder_.clear();
  rootHeader_.clear();
  state_->Show(u"", u"", FolderChange::Released);
}

// The control reports expansion changes only for the user's clicks and keys (and the first
// programmatic expansion): an expansion asked for in code must read the folder, a collapse
// must forget the children as well, and the top node stays open either way. The replies of
// the folder reads arrive here too.
LRESULT FolderTreeView::TreeMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  if (msg == kFolderRepliesMessage) {
    handled = true;
    ApplyReplies();
    return 0;
  }
  if (msg == kFolderChangesMessage || (msg == WM_TIMER && wp == kChangesRetryTimer)) {
    handled = true;
    if (msg == WM_TIMER) KillTimer(hwnd_, kChangesRetryTimer);
    ApplyFolderChanges();
    return 0;
  }
  if (msg == WM_SETCURSOR && WaitCursor::ShowsWait()) {
    handled = true;
    return TRUE;
  }
  if (msg != TVM_EXPAND) return 0;
  auto node = reinterpret_cast<HTREEITEM>(lp);
  UINT action = static_cast<UINT>(wp) & 0x0003;
  // An expansion asked for in code after the first is not notified: its read starts here.
  if (action == TVE_EXPAND && node && LoadsOnExpand(StateOf(node))) StartFill(node, NodePath(node));
  if (action != TVE_COLLAPSE || !node) return 0;
  handled = true;
  if (node == rootNode_) return FALSE;
  bool wasExpanded = (TreeView_GetItemState(hwnd, node, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
  LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
  // A node still holding children after closing was not seen by the collapse notification.
  if (wasExpanded && TreeView_GetChild(hwnd, node)) Collapsed(node);
  return r;
}


void FolderTreeView::NavigateUp() {
  HTREEITEM node = Selected();
  if (!node) return;
  if (HTREEITEM parent = TreeView_GetParent(hwnd_, node)) TreeView_SelectItem(hwnd_, parent);
}

void FolderTreeView::SyncSelectedNode(const std::u16string& folder) {
  HTREEITEM node = Selected();
  // Only the node that shows folder: another node would get that folder's children.
  if (!node || !SamePath(NodePath(node), IncludeTrailingBackslash(folder))) return;
  {
    RedrawSuspender redraw(hwnd_);
    SyncChildren(IncludeTrailingBackslash(folder), node, false);
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

bool FolderTreeView::BackFolder() {
  HTREEITEM node = Selected();
  if (!node) return false;
  if (Editing()) TreeView_EndEditLabelNow(hwnd_, TRUE);
  HTREEITEM parent = TreeView_GetParent(hwnd_, node);
  if (!parent) return false;
  TreeView_SelectItem(hwnd_, parent);
  return true;
}

bool FolderTreeView::EditFolderName() {
  HTREEITEM node = Selected();
  if (!Focused() || !node || node == rootNode_) return false;
  return TreeView_EditLabel(hwnd_, node) != nullptr;
}

bool FolderTreeView::BeginLabelEdit(HTREEITEM node) {
  // A drive root has no name of its own to change.
  if (node == rootNode_ && rootHeader_.empty()) {
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

bool FolderTreeView::EndLabelEdit(const NMTVDISPINFOW& info) {
  std::unique_ptr<RefreshLock> unlock = std::move(editLock_);
  HTREEITEM node = info.item.hItem;
  if (!node || !info.item.pszText) return false;
  std::u16string text = U16(info.item.pszText);
  std::u16string old = ExcludeTrailingBackslash(NodePath(node));
  if (text.find_first_not_of(u' ') == std::u16string::npos) return false;  // the old name stays
  HTREEITEM parent = TreeView_GetParent(hwnd_, node);
  const std::u16string folder = parent ? NodePath(parent) : rootHeader_;
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
  if (node == rootNode_) rootFolder_ = p;
  // The selected folder and the listed one lie in the renamed folder or below it.
  auto moved = [&](const std::u16string& path) {
    return PathIsInside(path, oldPath) ? p + path.substr(oldPath.size()) : path;
  };
  selectFolder_ = moved(selectFolder_);
  if (parent) SortChildren(parent);
  state_->Show(node == rootNode_ ? p : state_->RootFolder(), moved(state_->ShownFolder()), FolderChange::Renamed);
  return true;
}

bool FolderTreeView::CopyFolder() { return Copy(); }
bool FolderTreeView::PasteFolder() { return Paste(); }
bool FolderTreeView::DeleteFolder() { return Delete(); }
bool FolderTreeView::CreateFolder(const std::u16string& folderName) { return NewFolder(folderName); }
void FolderTreeView::FolderInfoDlg() { Properties(); }

std::vector<std::u16string> FolderTreeView::SelectedPaths() const {
  HTREEITEM node = Selected();
  // The top node is the root itself: it is neither copied nor deleted.
  if (!node || node == rootNode_) return {};
  return {ExcludeTrailingBackslash(NodePath(node))};
}

std::vector<std::u16string> FolderTreeView::PropertiesPaths() const {
  HTREEITEM node = Selected();
  if (!node) return {};
  return {NodePath(node)};
}

void FolderTreeView::EndEdit() {
  if (Editing()) TreeView_EndEditLabelNow(hwnd_, TRUE);
}

WindowHandle FolderTreeView::Owner() const { return AppWindowOf(hwnd_); }

void FolderTreeView::ItemsDeleted(const std::vector<std::u16string>&) {
  // The tree selects a neighbour, which lists that folder.
  if (HTREEITEM node = Selected()) TreeView_DeleteItem(hwnd_, node);
  if (!Selected() && rootNode_) TreeView_SelectItem(hwnd_, rootNode_);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void FolderTreeView::EditNewItem(const std::u16string& name) {
  HTREEITEM node = Selected();
  if (!node) return;
  // The new folder's node comes at once (its name is known, no read needed); a node whose
  // sub-folders were not read yet reads them all when it opens.
  HTREEITEM found = nullptr;
  if (TreeView_GetChild(hwnd_, node) && !reads_->Listing(KeyOf(node))) {
    RedrawSuspender redraw(hwnd_);
    found = AddChild(node, name);
    if (found) SetNodeIcons(NodePath(node) + name + u"\\", found);
    SortChildren(node);
  } else {
    SetChildrenMark(node, true);
  }
  TreeView_Expand(hwnd_, node, TVE_EXPAND);
  if (found) {
    TreeView_SelectItem(hwnd_, found);
    SetFocus(hwnd_);
    TreeView_EditLabel(hwnd_, found);
  }
}

}  // namespace tess
