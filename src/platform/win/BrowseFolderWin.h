#pragma once
// BrowseFolderDialog: the shell's folder picker with a chosen root and preselected folder,
// placed and sized by the program, with events for its appearance and each selection.
#include <windows.h>

#include <functional>
#include <string>

#include "platform/BrowseFolder.h"

namespace tess {

class BrowseFolderDialog {
 public:
  // owner: the window that owns the picker; its window procedure is hooked while it runs.
  explicit BrowseFolderDialog(HWND owner) : owner_(owner) {}
  BrowseFolderDialog(const BrowseFolderDialog&) = delete;
  BrowseFolderDialog& operator=(const BrowseFolderDialog&) = delete;

  std::u16string RootDir;
  SpecialFolder RootSpecialDir = SpecialFolder::sfDesktop;
  std::u16string InitDir;
  SpecialFolder InitSpecialDir = SpecialFolder::sfNone;
  BrowseOptions Options{BrowseOption::bifReturnOnlyFSDirs};
  std::u16string Title;
  std::u16string Caption;
  int FormLeft = 0, FormTop = 0;
  int FormWidth() const { return formWidth_; }
  int FormHeight() const { return formHeight_; }
  void SetFormWidth(int value) { formWidth_ = BrowseWidth(value); }
  void SetFormHeight(int value) { formHeight_ = BrowseHeight(value); }

  std::function<void(BrowseFolderDialog&)> OnShow;
  std::function<void(BrowseFolderDialog&, HWND wnd, const std::u16string& directory, std::u16string& statusText,
                     bool& okEnabled)>
      OnSelectionChanged;

  const std::u16string& Directory() const { return directory_; }
  const std::u16string& FolderName() const { return folderName_; }
  HWND Handle() const { return handle_; }

  // Shows the picker modally: true when the user chose a folder.
  bool Execute();

 private:
  static int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM param, LPARAM data);
  static LRESULT CALLBACK OwnerWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);
  void PositionDialog();

  HWND owner_;
  int formWidth_ = kBrowseMinWidth, formHeight_ = kBrowseMinHeight;
  std::u16string directory_, folderName_;
  HWND handle_ = nullptr;
  bool positioned_ = false;
  void* initList_ = nullptr;  // the preselection while the picker runs
};

}  // namespace tess
