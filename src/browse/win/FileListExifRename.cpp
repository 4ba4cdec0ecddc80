// The file list's hand-off to the EXIF rename: the selected rows become the rename lists
// that the rename dialog reads and shortens.
#include "browse/win/FileListWin.h"
#include "browse/FolderFiles.h"

namespace tess {

bool TplFileList::ExifRenameFiles() {
  std::vector<int> rows = SelectedRows();
  if (rows.empty()) return false;
  FExifRenameFilesFrom.clear();
  FExifFilesToList.Clear();
  EndEdit();
  FinishReadsOf(rows);
  for (int row : rows) {
    if (row >= model_.FileDataList.Count()) break;
    const TplFileDataListItem& record = *model_.FileDataList.Get(row);
    FExifFilesToList.Add(MakeRenameItem(record, ExpandFolder()));
    FExifRenameFilesFrom.push_back(ExpandFolder() + record.Name);
  }
  if (ShowRenameForm) ShowRenameForm();
  return true;
}

void TplFileList::ExifRenameFolderTree() {
  FExifRenameFilesFrom.clear();
  FExifFilesToList.Clear();
  EndEdit();
  for (int row = 0; row < model_.FileDataList.Count(); ++row) {
    const TplFileDataListItem& record = *model_.FileDataList.Get(row);
    if (record.IsFolder()) continue;
    FExifFilesToList.Add(MakeRenameItem(record, ExpandFolder()));
    FExifRenameFilesFrom.push_back(ExpandFolder() + record.Name);
  }
  std::u16string folder = ExpandFolder();
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  std::vector<FolderTreeFile> files;
  ListFolderTreeFiles(PlatformDirectoryLister(), folder, u'\\', files);
  for (const FolderTreeFile& file : files) {
    // The shown folder's own files came from the list, in its order.
    if (file.folder.size() == folder.size()) continue;
    std::unique_ptr<TplFileDataListItem> record = MakeFileRecord(file.entry, file.folder, ExifMetadataSource());
    FExifFilesToList.Add(MakeRenameItem(*record, file.folder));
    FExifRenameFilesFrom.push_back(file.folder + record->Name);
  }
  if (ShowRenameForm) ShowRenameForm();
}

bool TplFileList::ExifRenameFilesExist() {
  EndEdit();
  std::vector<int> rows = SelectedRows();
  FinishReadsOf(rows);
  for (int row : rows) {
    if (row < model_.FileDataList.Count() && model_.FileDataList.Get(row)->IsExifExist) return true;
  }
  return false;
}

}  // namespace tess
