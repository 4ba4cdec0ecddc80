#pragma once
// FolderTreeView: the folder tree pane. A tree-view control whose single top node is the root
// folder; sub-folders are read when a node is first expanded and forgotten when it closes.
// Every folder read runs on a worker: a node shows at once (with a reading placeholder or its
// expand button) and is filled when the reply comes back to the window's thread.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "browse/BrowseState.h"
#include "browse/FileCommands.h"
#include "browse/FolderReads.h"
#include "browse/FolderTreeModel.h"
#include "browse/PaneCommands.h"
#include "platform/win/WinControls.h"
#include "platform/DirectoryList.h"
#include "platform/Shell.h"

namespace tess {

// The tree is the navigator of its browse state: requests for a folder become selections,
// and a selection shows its folder through the state.
class FolderWatch;

class FolderTreeView : public BrowsePane, private BrowseState::Navigator, private BrowseState::Observer {
 public:
  // The tree drives state (shared with a list); without one it keeps its own.
  FolderTreeView(HWND parent, int id, HINSTANCE instance, BrowseState* state = nullptr);
  ~FolderTreeView();
  FolderTreeView(const FolderTreeView&) = delete;
  FolderTreeView& operator=(const FolderTreeView&) = delete;

  HWND Handle() const { return hwnd_; }

  const std::u16string& RootFolder() const { return rootFolder_; }
  void SetRootFolder(const std::u16string& value);
  const std::u16string& SelectFolder() const { return selectFolder_; }
  void SetSelectFolder(const std::u16string& value);
  const std::u16string& RootHeader() const { return rootHeader_; }
  HTREEITEM RootNode() const { return rootNode_; }

  void RefreshView(bool isRoot);

  // The commands.
  bool BackFolder() override;
  bool EditFolderName();
  bool CopyFolder();
  bool PasteFolder();
  bool DeleteFolder();
  bool CreateFolder(const std::u16string& folderName);
  void FolderInfoDlg();
  bool Editing() const { return TreeView_GetEditControl(hwnd_) != nullptr; }
  bool Focused() const { return GetFocus() == hwnd_; }


  // True while folder reads are asked for and their replies not yet applied.
  bool ReadsRunning() const { return !pending_.empty() || (reads_ && reads_->Busy()); }
  std::u16string NodePath(HTREEITEM node) const;
  // The node of path when the nodes down to it are loaded; otherwise null, and the nodes on
  // the way are read: the walk goes on (and selects the node) when their replies come.
  HTREEITEM FindFolderNode(const std::u16string& path);
  // Asks for node's children to be brought in line with the disk (and its loaded
  // descendants', with recurse); applied when the reads come back.
  void SyncChildren(const std::u16string& path, HTREEITEM node, bool recurse);

  // BrowsePane
  bool StartRename() override { return EditFolderName(); }
  PaneCommands& Commands() override { return *commands_; }
  bool HasFocus() const override { return Focused(); }
  std::u16string TargetFolder() const override { return Selected() ? selectFolder_ : std::u16string(); }
  std::vector<std::u16string> SelectedPaths() const override;
  std::vector<std::u16string> PropertiesPaths() const override;
  void EndEdit() override;
  WindowHandle Owner() const override;
  int PropertiesShow() const override { return SW_SHOW; }
  const char16_t* NewFolderName() const override { return kTreeNewFolderName; }
  bool LeavesNewFolders() const override { return true; }
  void ItemsDeleted(const std::vector<std::u16string>& paths) override;
  void EditNewItem(const std::u16string& name) override;

  // Forwarded by the parent window: WM_NOTIFY from this control. True when answered.
  bool OnNotify(NMHDR* header, LRESULT& result);

  // Node text and child helpers for the owner and the tests (the reading placeholder is no child).
  std::u16string NodeText(HTREEITEM node) const;
  std::vector<HTREEITEM> Children(HTREEITEM node) const;
  bool HasChildrenMark(HTREEITEM node) const;
  HTREEITEM Selected() const { return TreeView_GetSelection(hwnd_); }

  // The change event (the owner enables its buttons), raised with the newly selected node.
  std::function<void(HTREEITEM)> OnChange;
  // A click; a right button released over the tree (screen point).
  std::function<void()> OnClick;
  std::function<void(POINT screen)> OnRightClick;
  std::function<void(WORD key)> OnKeyDown;
  // After an in-place rename of a folder went through: the full paths before and after.
  std::function<void(const std::u16string& from, const std::u16string& to)> OnRenamed;
  // How a command shows an error it meets (the system's text); a message box unless set.
  std::function<void(const std::u16string& text)> OnError;

  void SetShell(ShellServices& shell) {
    shell_ = &shell;
    commands_->SetShell(shell);
  }
  // The folder reads go through lister from now on (tests hold them back).
  void SetDirectoryLister(DirectoryLister& lister);

  // Drives and cards: the tree and its list let go of every folder they show (no node, no
  // root, no listing), so that nothing of the program holds on to a volume about to be locked
  // or already gone: a folder read running meanwhile is stopped, and this returns once its
  // directory search has closed.
  void ReleaseFolders();

 private:
  // The selected node's children are brought in line with folder when the node shows it.
  void SyncSelectedNode(const std::u16string& folder);
  void SetNodeIcons(const std::u16string& path, HTREEITEM node);
  void SetNodeLook(HTREEITEM node, const FolderLook& look);
  HTREEITEM AddChild(HTREEITEM parent, const std::u16string& name);
  uint64_t KeyOf(HTREEITEM node) const;
  HTREEITEM NodeOf(uint64_t key) const;
  void StartReads(DirectoryLister& lister);
  // A read of node's sub-folders; a placeholder child shows meanwhile.
  void StartFill(HTREEITEM node, const std::u16string& path);
  void RemovePlaceholder(HTREEITEM node);
  // A reply taken from the reads, applied in slices.
  struct PendingReply {
    FolderReads::Reply reply;
    bool started = false;
    std::vector<std::u16string> names;  // a fill's new sub-folders, in order
    size_t next = 0;                    // the first of them not added yet
    bool sortAtEnd = false;             // the node held children already
  };
  void ApplyReplies();
  // Folders made, renamed or removed under the root by another program: the loaded nodes
  // among their parents are brought in line with the disk.
  void ApplyFolderChanges();
  // The node of folder when the nodes down to it are loaded; nothing is read.
  HTREEITEM LoadedNode(const std::u16string& folder) const;
  void DropPending(uint64_t key);
  // Whether node's sub-folders are being read or added.
  bool Filling(uint64_t key) const;
  // True when the fill is complete.
  bool ApplyFill(HTREEITEM node, PendingReply& pending);
  void ApplySync(HTREEITEM node, const FolderReads::Reply& reply);
  void AddReadChildren(HTREEITEM node, const std::u16string& folder, const std::u16string& name);
  void ContinueWalk();
  void SetChildrenMark(HTREEITEM node, bool marked);
  void DeleteChildren(HTREEITEM node);
  void SortChildren(HTREEITEM node);
  void SelectionChanged(HTREEITEM node);
  void Collapsed(HTREEITEM node);
  void NodeDeleted(HTREEITEM node, uint64_t key);
  void ForgetRoot();
  NodeState StateOf(HTREEITEM node) const;
  bool BeginLabelEdit(HTREEITEM node);
  bool EndLabelEdit(const NMTVDISPINFOW& info);
  // BrowseState::Navigator
  void NavigateTo(const std::u16string& folder) override { SetSelectFolder(folder); }
  void NavigateRoot(const std::u16string& root) override { SetRootFolder(root); }
  void NavigateUp() override;
  void RefreshFolders(bool whole) override { RefreshView(whole); }
  // BrowseState::Observer
  void RowsChanged(const std::u16string& folder) override { SyncSelectedNode(folder); }

  std::unique_ptr<BrowseState> ownState_;  // without a shared one
  BrowseState* state_;
  HWND hwnd_ = nullptr;
  HIMAGELIST ImgListHandle = nullptr;  // the system's list: shared, never destroyed
  std::u16string rootHeader_;
  std::u16string rootFolder_;
  std::u16string selectFolder_;
  HTREEITEM rootNode_ = nullptr;
  bool OnRootChangeFlag = true;
  ShellServices* shell_;
  std::unique_ptr<PaneCommands> commands_;
  DirectoryLister* lister_;
  std::unique_ptr<RefreshLock> editLock_;  // an in-place edit holds refreshes off
  // The selection is being put back on the shown folder's node after a vanished node went:
  // that programmatic selection lists nothing.
  bool resyncing_ = false;
  // Each node's key (its item data) and the node that has it: a reply names the key, so a node
  // deleted meanwhile (whose handle the control may reuse) gets nothing.
  std::unordered_map<uint64_t, HTREEITEM> nodes_;
  uint64_t nextKey_ = 0;
  std::set<uint64_t> recursiveSyncs_;  // syncs that go on into the loaded children
  std::u16string pendingWalk_;         // a folder to select once the nodes down to it are read
  std::u16string walkReread_;          // the folder read again for that walk, at most once
  std::deque<PendingReply> pending_;   // replies taken, not yet (wholly) applied
  int folderImage_ = -1, openFolderImage_ = -1;  // a folder's usual icons
  LRESULT TreeMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool& handled);
  std::unique_ptr<SubclassGuard> subclass_;
  std::unique_ptr<SubclassGuard> editSubclass_;
  std::unique_ptr<FolderReads> reads_;  // reset first on destruction: its worker stops before the rest goes
  std::unique_ptr<FolderWatch> watch_;  // the root's directory watch, on its own worker
  std::vector<std::u16string> changedFolders_;  // changes waiting for an edit to end
  bool changedWhole_ = false;
};

}  // namespace tess
