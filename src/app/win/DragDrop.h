#pragma once
// Drag and drop of files through OLE: a data object that offers full paths as CF_HDROP and
// as a shell ID list array, the drop source that runs a drag to its end, and a drop target
// that hands the dropped paths (and the names the source wants them to get) to its owner.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win/WinHandles.h"

namespace tess {

// A data object offering paths as CF_HDROP and CFSTR_SHELLIDLIST. A path whose name part is a
// wildcard ("D:\Photos\*.*") stands for the folder's entries: CF_HDROP carries it as it is, the
// shell ID list names each entry. Formats a drop target sets (the performed effect) are kept.
ComRef<IDataObject> MakeFileDataObject(const std::vector<std::u16string>& paths);

// Runs the drag of paths with the allowed effects until the drop or the cancel; answers the
// effect the target performed (DROPEFFECT_NONE when cancelled). rightButton: the drag was
// started with the right button, whose release drops.
DWORD RunFileDrag(const std::vector<std::u16string>& paths, DWORD allowedEffects, bool rightButton = false);

// The drop source's decision, apart from the drag loop: cancel on Escape (or when the other
// button is pressed too), drop when the dragging button is released.
HRESULT QueryContinueFileDrag(BOOL escapePressed, DWORD keyState, bool rightButton);

// The paths a data object carries as CF_HDROP, and the new names of CFSTR_FILENAMEMAPW (if
// any, in the same order).
struct DroppedFiles {
  std::vector<std::u16string> files;
  std::vector<std::u16string> mappedNames;
};
DroppedFiles ReadDroppedFiles(IDataObject* data);

// The paths a data object's shell ID list names (parent combined with each child), for checks.
std::vector<std::u16string> ReadShellIdListPaths(IDataObject* data);

// A drop target on one control. folderAt answers the folder (ending in "\") a drop at a screen
// point goes into, empty where nothing may be dropped; it may mark the place (and clear the mark
// on an empty point). onDrop receives the files, their mapped names, the folder and the effect
// chosen by the drag, and sets the effect it performed.
struct FileDropHandlers {
  std::function<std::u16string(POINT screen)> folderAt;
  std::function<void()> leave;  // the drag left or dropped: remove any mark
  std::function<void(const DroppedFiles& dropped, const std::u16string& folder, DWORD& effect)> onDrop;
};
ComRef<IDropTarget> MakeFileDropTarget(FileDropHandlers handlers);

// The effect a drop onto folder would have: none when nothing is offered or every file
// already lies there; a link when the keys ask for one (Alt, or Ctrl with Shift) and the
// source allows it; else a copy if allowed, else a link.
DWORD ChooseDropEffect(const std::vector<std::u16string>& files, const std::u16string& folder, DWORD keyState,
                       DWORD allowed);

// Registers a drop target on a window for the owner's lifetime.
class DropTargetRegistration {
 public:
  DropTargetRegistration() = default;
  ~DropTargetRegistration();
  // False where OLE is not started on this thread: the window then accepts no drops.
  bool Register(HWND hwnd, IDropTarget* target);
  DropTargetRegistration(const DropTargetRegistration&) = delete;
  DropTargetRegistration& operator=(const DropTargetRegistration&) = delete;
  bool Registered() const { return hwnd_ != nullptr; }

 private:
  HWND hwnd_ = nullptr;
};

// True when two paths name the same file (full paths compared as the file system does).
bool SameFullPath(const std::u16string& a, const std::u16string& b);

// Creates a shortcut to source named after destination (its extension replaced by ".lnk",
// counted on when taken). Answers the shortcut's path, empty on failure.
std::u16string CreateShortcut(const std::u16string& source, const std::u16string& destination);

// Carries out a drop of files into folder: copies (folders through the shell), moves or links,
// never replacing anything. Answers false when a file was dropped onto itself (the rest is not
// done); effect receives what was performed. Paths with a wildcard name stand for the entries
// of their folder.
bool ExecuteFileDrop(const DroppedFiles& dropped, const std::u16string& folder, DWORD& effect, HWND owner);

}  // namespace tess
