#pragma once
// The file and folder commands of the two panes, written once: copy, paste, delete, new
// folder, rename in place and properties. A pane answers a few questions (what is
// selected, which folder it shows, how to open its editor) through BrowsePane; the
// commands decide, call the shell, tell every pane through the browse state what changed
// on disk, and report failures one way.
#include <functional>
#include <string>
#include <vector>

#include "browse/BrowseState.h"
#include "platform/Shell.h"

namespace tess {

// The system error codes the commands report (the Win32 values).
inline constexpr int kErrorFileExists = 80;
inline constexpr int kErrorInvalidName = 123;
inline constexpr int kErrorAlreadyExists = 183;
// The shell's own code for a folder pasted into itself.
inline constexpr int kShellErrorDestinationIsSubfolder = 0x76;

// How a command failed, for the one place that tells the user.
struct PaneFailure {
  enum class Kind {
    Beep,         // a user-level failure: the system's beep
    SystemError,  // a system error code: its message
    Shell,        // a shell operation's result: its message, unless the shell spoke already
  } kind = Kind::Beep;
  int code = 0;
  FileOperationResult shell;
};

// What the commands ask of the disk.
class PaneFiles {
 public:
  virtual ~PaneFiles() = default;
  virtual bool Exists(const std::u16string& path) = 0;
  virtual bool IsFolder(const std::u16string& path) = 0;
  // Creates the folder (and any missing parent); 0 or the system's error code.
  virtual int CreateFolder(const std::u16string& path) = 0;
};

class PaneCommands;

// A pane as the commands and the main window see it.
class BrowsePane {
 public:
  virtual ~BrowsePane() = default;

  // The commands the main window routes to the pane with the focus.
  virtual bool BackFolder() = 0;
  virtual bool StartRename() = 0;
  bool Copy();
  bool Paste();
  bool Delete();
  bool NewFolder(const std::u16string& name = u"");
  void Properties();

  // What the commands need of the pane.
  virtual PaneCommands& Commands() = 0;
  virtual bool HasFocus() const = 0;
  // The folder a paste or a new folder goes into, ending with a separator; empty: none.
  virtual std::u16string TargetFolder() const = 0;
  // The full paths (no trailing separator) of what is selected: copied, deleted, shown in
  // properties. Empty when nothing may be taken (the tree's top node).
  virtual std::vector<std::u16string> SelectedPaths() const = 0;
  // What the properties sheet shows (the tree's top node too).
  virtual std::vector<std::u16string> PropertiesPaths() const { return SelectedPaths(); }
  // An in-place edit ends without renaming.
  virtual void EndEdit() = 0;
  // The window the shell's dialogs belong to.
  virtual WindowHandle Owner() const = 0;
  // The flags of a delete (the list deletes outright with Shift held).
  virtual unsigned DeleteFlags() const { return FOF_ALLOWUNDO_; }
  virtual int PropertiesShow() const = 0;  // SW_SHOW or SW_SHOWNA
  // The new folder's default name ("新しいフォルダー" in the list).
  virtual const char16_t* NewFolderName() const = 0;
  // True for a pane that leaves new folders to another one when there is one (the tree
  // to the list, which names it in place).
  virtual bool LeavesNewFolders() const { return false; }
  // After the commands: the items are gone; a new folder of that name (in TargetFolder) is
  // to be named in place.
  virtual void ItemsDeleted(const std::vector<std::u16string>& /*paths*/) {}
  virtual void EditNewItem(const std::u16string& name) = 0;
};

class PaneCommands {
 public:
  PaneCommands(BrowseState& state, ShellServices& shell, PaneFiles& files,
               std::function<void(const PaneFailure&)> report);

  void SetShell(ShellServices& shell) { shell_ = &shell; }

  // The selection becomes the copy list of both panes. False when nothing was taken.
  bool Copy(BrowsePane& pane);
  // The copy list into the pane's folder (copies beside their originals get free names; a
  // folder into itself is refused). Only for the focused pane. True when the shell reported
  // success; whatever was copied shows in both panes either way.
  bool Paste(BrowsePane& pane);
  // The selection to the recycle bin (or outright). True when something went.
  bool Delete(BrowsePane& pane);
  // A new folder in the pane's folder under the first free name, then named in place.
  bool NewFolder(BrowsePane& pane, const std::u16string& requested);
  // The shell's properties sheet of the first selected item.
  void Properties(BrowsePane& pane);
  // The rename of one item in place: from (a full path) to name in folder (ending with a
  // separator). Refused with a message when the name is no valid name or names another
  // entry; the same entry in other letter case is a rename. True when the shell renamed it.
  bool Rename(const std::u16string& from, const std::u16string& folder, const std::u16string& name,
              WindowHandle owner);

  BrowseState& State() { return state_; }

 private:
  void Report(PaneFailure failure) const;
  void ReportShell(const FileOperationResult& result) const;

  BrowseState& state_;
  ShellServices* shell_;
  PaneFiles& files_;
  std::function<void(const PaneFailure&)> report_;
};

}  // namespace tess
