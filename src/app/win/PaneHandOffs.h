#pragma once
// What the main window hands to the shell and to other programs from its two panes: drags
// out of the list and the tree, drops of files from other programs onto them, open with, and
// the new text document named in place.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "app/win/DragDrop.h"
#include "platform/Shell.h"

namespace tess {

class FolderTreeView;
class FileListView;

// The paths a drag out of the list offers: the tree's selected folder plus the name of each
// selected row, in list order. Empty (no drag) without a tree folder or a selection.
std::vector<std::u16string> ListDragPaths(FolderTreeView& tree, FileListView& list);
// The one path a drag out of the tree offers: the grabbed folder's entries ("D:\Photos\*.*");
// node null: the selected folder.
std::vector<std::u16string> TreeDragPaths(FolderTreeView& tree, HTREEITEM node = nullptr);

// The full path of the list's selected item; empty without one.
std::u16string SelectedItemPath(FileListView& list);
// "プログラムから開く": the shell's program chooser for path (rundll32.exe, hidden, result unread).
void OpenWithProgram(ShellServices& shell, const std::u16string& path);
// "新規 テキスト文書": creates the next free new text document in the shown folder, lists it
// and starts editing its name. Answers the name created, empty (after a beep) when it could
// not be created.
std::u16string CreateNewTextDocument(FileListView& list);

// The drag sources and drop targets of the two panes.
class PaneDragDrop {
 public:
  // reportError shows the message of a drop onto the dropped file itself.
  PaneDragDrop(HWND owner, FolderTreeView& tree, FileListView& list,
               std::function<void(const std::u16string&)> reportError);
  ~PaneDragDrop();
  PaneDragDrop(const PaneDragDrop&) = delete;
  PaneDragDrop& operator=(const PaneDragDrop&) = delete;

  // WM_NOTIFY from the panes: a drag that the control detected starts here. True when handled.
  bool OnNotify(NMHDR* header, LRESULT& result);

  IDropTarget* ListDropTarget() const { return listTarget_.get(); }  // DropFileTarget1
  IDropTarget* TreeDropTarget() const { return treeTarget_.get(); }  // DropFileTarget2
  // The last drag's paths and outcome, for the owner and the tests.
  const std::vector<std::u16string>& LastDragPaths() const { return lastDragPaths_; }

  // DropFileTarget1Drop: files dropped into folder, copied (or linked) there; the list is
  // brought up to date when it shows that folder.
  void DropFiles(const DroppedFiles& dropped, const std::u16string& folder, DWORD& effect);

  // Replaces the drag loop (tests: no mouse to end it).
  std::function<DWORD(const std::vector<std::u16string>&, DWORD allowed, bool rightButton)> runDrag = RunFileDrag;

 private:
  std::u16string TreeFolderAt(POINT screen);
  void ClearTreeMark();

  HWND owner_;
  FolderTreeView& tree_;
  FileListView& list_;
  std::function<void(const std::u16string&)> reportError_;
  ComRef<IDropTarget> listTarget_, treeTarget_;
  DropTargetRegistration listRegistration_, treeRegistration_;
  std::vector<std::u16string> lastDragPaths_;
};

}  // namespace tess
