#pragma once
// TplFolderTree: the folder tree pane. A tree-view control whose single top node is the root
// folder; sub-folders are read when a node is first expanded and forgotten when it closes.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browse/BrowseState.h"
#include "browse/FileCommands.h"
#include "browse/FolderTreeModel.h"
#include "browse/PaneCommands.h"
#include "platform/win/WinControls.h"
#include "platform/DirectoryList.h"
#include "platform/Shell.h"

namespace tess {

// The tree is the navigator of its browse state: requests for a folder become selections,
// and a selection shows its folder through the state.
class TplFolderTree : public BrowsePane, private BrowseState::Navigator, private BrowseState::Observer {
 public:
  // The tree drives state (shared with a list); without one it keeps its own.
  TplFolderTree(HWND parent, int id, HINSTANCE instance, BrowseState* state = nullptr);
  ~TplFolderTree();
  TplFolderTree(const TplFolderTree&) = delete;
  TplFolderTree& operator=(const TplFolderTree&) = delete;

  HWND Handle() const { return hwnd_; }

  const std::u16string& RootFolder() const { return FRootFolder; }
  void SetRootFolder(const std::u16string& value);
  const std::u16string& SelectFolder() const { return FSelectFolder; }
  void SetSelectFolder(const std::u16string& value);
  const std::u16string& RootHeader() const { return FRootHeader; }
  HTREEITEM RootNode() const { return FRootNode; }

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


  // True while a read of folders runs (it hands the message queue a turn after each
  // entry); OnReadsDone follows the end of the outermost read.
  bool Reading() const { return readDepth_ > 0; }
  std::function<void()> OnReadsDone;
  std::u16string NodePath(HTREEITEM node) const;
  HTREEITEM FindFolderNode(const std::u16string& path);
  void SyncChildren(const std::u16string& path, HTREEITEM node, bool recurse);

  // BrowsePane
  bool StartRename() override { return EditFolderName(); }
  PaneCommands& Commands() override { return *commands_; }
  bool HasFocus() const override { return Focused(); }
  std::u16string TargetFolder() const override { return Selected() ? FSelectFolder : std::u16string(); }
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

  // Node text and child helpers for the owner and the tests.
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


  // Drives and cards: the tree and its list let go of every folder they show (no node, no
  // root, no listing), so that nothing of the program holds on to a volume about to be locked
  // or already gone; an enumeration running meanwhile stops at its next step.
  void ReleaseFolders();
  // Whether an enumeration loop (which keeps a directory search open) is running below the
  // current message.
  bool Enumerating() const { return !watches_.empty(); }

 private:
  // The selected node's children are brought in line with folder when the node shows it.
  void SyncSelectedNode(const std::u16string& folder);
  void SetNodeIcons(const std::u16string& path, HTREEITEM node);
  void LoadChildren(const std::u16string& path, HTREEITEM node, bool addNodes);
  HTREEITEM AddChild(HTREEITEM parent, const std::u16string& name);
  void SetChildrenMark(HTREEITEM node, bool marked);
  void DeleteChildren(HTREEITEM node);
  void SortChildren(HTREEITEM node);
  void SelectionChanged(HTREEITEM node);
  void Collapsed(HTREEITEM node);
  void NodeDeleted(HTREEITEM node);
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

  // Counts the reads that yield; the end of the outermost one raises OnReadsDone.
  struct ReadScope {
    explicit ReadScope(TplFolderTree& tree);
    ~ReadScope();
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;
    TplFolderTree& tree;
  };

  // The enumeration loops hand the message queue a turn after each entry; what runs then may
  // delete the node a loop works on (a collapse, a refresh, a new root). A loop watches its
  // node and stops when it is gone instead of touching a freed item.
  struct NodeWatch {
    NodeWatch(TplFolderTree& tree, HTREEITEM node);
    ~NodeWatch();
    NodeWatch(const NodeWatch&) = delete;
    NodeWatch& operator=(const NodeWatch&) = delete;
    TplFolderTree& tree;
    HTREEITEM node;
    bool gone = false;
  };
  // Whether node is being filled by a load that has not finished (a second expansion of the
  // same node meanwhile would add every child twice).
  bool IsLoading(HTREEITEM node) const;

  std::unique_ptr<BrowseState> ownState_;  // without a shared one
  BrowseState* state_;
  HWND hwnd_ = nullptr;
  HIMAGELIST ImgListHandle = nullptr;  // the system's list: shared, never destroyed
  std::u16string FRootHeader;
  std::u16string FRootFolder;
  std::u16string FSelectFolder;
  HTREEITEM FRootNode = nullptr;
  bool OnRootChangeFlag = true;
  ShellServices* shell_;
  std::unique_ptr<PaneCommands> commands_;
  DirectoryLister* lister_;
  int readDepth_ = 0;
  std::unique_ptr<RefreshLock> editLock_;  // an in-place edit holds refreshes off
  bool resyncing_ = false;
  std::vector<NodeWatch*> watches_;
  std::vector<HTREEITEM> loading_;
  unsigned changes_ = 0;         // nodes added, deleted or re-sorted: a loop holding handles checks it after a yield
  unsigned rootGeneration_ = 0;  // root rebuilds so far: a rebuild interrupted by a newer one stops
  LRESULT TreeMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool& handled);
  std::unique_ptr<SubclassGuard> subclass_;
  std::unique_ptr<SubclassGuard> editSubclass_;
};

}  // namespace tess
