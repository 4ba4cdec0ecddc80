#pragma once
// TplFileList: the file list pane. A report-style list view in owner-data mode: the control
// only knows the row count and asks for each row's texts and icon as it draws it; the
// records live in the module-wide FileDataList and the decisions in FileListModel.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "browse/FileListModel.h"
#include "browse/FileRecords.h"

namespace tess {

class TplFolderTree;

// The target, working folder and arguments of a shortcut; an empty target when the file is
// no shortcut.
struct ShortcutInfo {
  std::u16string target, workingFolder, arguments;
};
ShortcutInfo ReadShortcut(const std::u16string& path);

class TplFileList {
 public:
  TplFileList(HWND parent, int id, HINSTANCE instance);
  ~TplFileList();
  TplFileList(const TplFileList&) = delete;
  TplFileList& operator=(const TplFileList&) = delete;

  HWND Handle() const { return hwnd_; }

  const std::u16string& RootFolder() const { return FRootFolder; }
  void SetRootFolder(const std::u16string& value);
  const std::u16string& ExpandFolder() const { return FExpandFolder; }
  void SetExpandFolder(const std::u16string& value);
  const std::u16string& FindText() const { return model_.FindText; }
  void SetFindText(const std::u16string& value);
  bool DisplayExt() const { return model_.DisplayExt; }
  void SetDisplayExt(bool value);
  int FilesCount() const { return FileDataList.Count(); }
  // The record of the first selected row, or null.
  TplFileDataListItem* FileInfo();
  int ItemCount() const;
  int SelectedCount() const;

  void RefreshFilesListItems(bool asort);
  void RefreshView();
  void ListFolder(const std::u16string& folder);

  std::function<void(std::u16string& findText)> OnFolderChanging;
  std::function<void()> OnFolderChanged;
  std::function<void()> OnSelectItem;

  // The pairing with the folder tree: the tree drives the listing and writes the fields.
  TplFolderTree* plFolderTree() const { return FplFolderTree; }
  void AttachFolderTree(TplFolderTree* tree) { FplFolderTree = tree; }
  void ForgetFolderTree() { FplFolderTree = nullptr; }
  void SetFoldersFromTree(const std::u16string& root, const std::u16string& expand) {
    FRootFolder = root;
    FExpandFolder = expand;
  }
  void SetExpandFolderFromTree(const std::u16string& folder) { FExpandFolder = folder; }
  void DoFolderChanging() {
    if (OnFolderChanging) OnFolderChanging(model_.FindText);
  }
  void DoFolderChanged() {
    if (OnFolderChanged) OnFolderChanged();
  }
  void ClearSelection();
  void SelectRow(int index);

  // The EXIF rename hand-off: the selected rows' records and paths go into the rename lists
  // and the rename dialog is shown. False without a selection.
  bool ExifRenameFiles();
  // Whether a selected record has metadata.
  bool ExifRenameFilesExist();
  TRenameSourceList& ExifRenameFilesFrom() { return FExifRenameFilesFrom; }
  TExifFilesToList& ExifFilesToList() { return FExifFilesToList; }
  // Shows the rename dialog modally; set by the window that owns the dialog.
  std::function<void()> ShowRenameForm;
  void SelectAll();
  // The selected rows in row order.
  std::vector<int> SelectedRows() const;
  // Ends an in-place edit without renaming.
  void CancelEdit();

  // Forwarded by the parent window: WM_NOTIFY from this control. True when answered.
  bool OnNotify(NMHDR* header, LRESULT& result);

  // A click on a column header, as the control reports it.
  void ColumnClick(int column);

 private:
  void LookUpIcons(int from, int to);
  void LookUpIcon(TplFileDataListItem& record);
  void SetRowCount();

  HWND hwnd_ = nullptr;
  HIMAGELIST ImgListSHandle = nullptr;  // the system's list: shared, never destroyed
  std::u16string FRootFolder;
  std::u16string FExpandFolder;
  std::vector<std::u16string> FCopyFiles;
  TRenameSourceList FExifRenameFilesFrom;
  TExifFilesToList FExifFilesToList;
  TplFolderTree* FplFolderTree = nullptr;
  TplFileDataListItem* FFileInfo = nullptr;
  FileListModel model_;
};

}  // namespace tess
