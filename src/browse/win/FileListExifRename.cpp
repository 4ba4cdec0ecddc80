// The file list's hand-off to the EXIF rename: the selected rows become the rename lists
// that the rename dialog reads and shortens.
#include "browse/win/FileListWin.h"
#include "browse/win/FolderTreeWin.h"

namespace tess {

void TplFileList::CancelEdit() {
  if (ListView_GetEditControl(hwnd_)) ListView_CancelEditLabel(hwnd_);
}

bool TplFileList::ExifRenameFiles() {
  std::vector<int> rows = SelectedRows();
  if (rows.empty()) return false;
  FExifRenameFilesFrom.clear();
  FExifFilesToList.Clear();
  CancelEdit();
  FinishReadsOf(rows);
  for (int row : rows) {
    if (row >= FileDataList.Count()) break;
    const TplFileDataListItem& record = *FileDataList.Get(row);
    FExifFilesToList.Add(MakeRenameItem(record, FExpandFolder));
    FExifRenameFilesFrom.push_back(FExpandFolder + record.Name);
  }
  if (FplFolderTree) FplFolderTree->ClearCopyFiles();
  if (ShowRenameForm) ShowRenameForm();
  return true;
}

bool TplFileList::ExifRenameFilesExist() {
  CancelEdit();
  std::vector<int> rows = SelectedRows();
  FinishReadsOf(rows);
  for (int row : rows) {
    if (row < FileDataList.Count() && FileDataList.Get(row)->IsExifExist) return true;
  }
  return false;
}

}  // namespace tess
