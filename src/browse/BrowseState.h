#pragma once
// What the two panes share, and how they hear of each other's changes without naming each
// other: the root the user may browse, the folder the list shows, the copy list of both
// panes, and the lock that holds refreshes off while a name is edited or a file opened.
//
// The tree, when there is one, is the navigator: a request for a folder (a folder row
// opened, going up, a new root) goes to it, and its selection then shows the folder through
// Show. Without a navigator the list shows folders itself.
#include <string>
#include <vector>

namespace tess {

enum class FolderChange {
  Shown,     // another folder is shown: list it afresh
  Renamed,   // the same folder under another path (it or a folder above it was renamed)
  Released,  // nothing is shown any more (a drive let go): no rows, no folder
};

class BrowseState {
 public:
  class Observer {
   public:
    virtual ~Observer() = default;
    virtual void FolderChanged(FolderChange) {}
    // Entries of folder came or went on disk (a paste, a delete, a new folder, a rename): a
    // pane that shows folder brings its rows or nodes in line.
    virtual void RowsChanged(const std::u16string& /*folder*/) {}
    // A new folder asked for in a pane that leaves it to another (the tree leaves it to
    // the list, which then names it in place). True when taken.
    virtual bool NewFolderRequested() { return false; }
    // A folder a pane showed or was about to show is gone from the disk.
    virtual void FolderVanished(const std::u16string& /*folder*/) {}
  };

  class Navigator {
   public:
    virtual ~Navigator() = default;
    virtual void NavigateTo(const std::u16string& folder) = 0;
    virtual void NavigateRoot(const std::u16string& root) = 0;
    virtual void NavigateUp() = 0;
    // A refresh on request: from the root (whole) or of the shown folder.
    virtual void RefreshFolders(bool whole) = 0;
  };

  BrowseState() = default;
  BrowseState(const BrowseState&) = delete;
  BrowseState& operator=(const BrowseState&) = delete;

  // Both end with a separator; empty before a root is set.
  const std::u16string& RootFolder() const { return root_; }
  const std::u16string& ShownFolder() const { return shown_; }

  // The folders change, and every observer hears how.
  void Show(const std::u16string& root, const std::u16string& shown, FolderChange change);
  // Entries of folder changed on disk; every observer but source hears it (the pane that
  // raised it has brought itself in line already, or will after).
  void RaiseRowsChanged(const std::u16string& folder, const Observer* source = nullptr);
  // True when an observer took the new folder.
  bool RequestNewFolder();
  void RaiseFolderVanished(const std::u16string& folder);

  void AddObserver(Observer& observer);
  void RemoveObserver(Observer& observer);
  // Null without a tree.
  Navigator* GetNavigator() const { return navigator_; }
  void SetNavigator(Navigator* navigator) { navigator_ = navigator; }

  // Full paths (no trailing separator) copied in either pane; a paste in either takes them.
  const std::vector<std::u16string>& CopyList() const { return copyList_; }
  void SetCopyList(std::vector<std::u16string> paths) { copyList_ = std::move(paths); }
  // While set (by a RefreshLock), a refresh on request of either pane does nothing.
  bool RefreshLocked() const { return refreshLocked_; }

 private:
  friend class RefreshLock;
  std::vector<std::u16string> copyList_;
  bool refreshLocked_ = false;
  std::u16string root_, shown_;
  std::vector<Observer*> observers_;
  Navigator* navigator_ = nullptr;
};

// Sets RefreshLocked for its lifetime, unless it was set already: every way out of a step
// (an error escaping it too) releases only the lock the step took.
class RefreshLock {
 public:
  explicit RefreshLock(BrowseState& state) : state_(state), took_(!state.refreshLocked_) { state.refreshLocked_ = true; }
  ~RefreshLock() {
    if (took_) state_.refreshLocked_ = false;
  }
  RefreshLock(const RefreshLock&) = delete;
  RefreshLock& operator=(const RefreshLock&) = delete;

 private:
  BrowseState& state_;
  bool took_;
};

}  // namespace tess
