// The file list's hand-off to the EXIF rename: the selected rows become the rename lists
// that the rename dialog reads and shortens.
#include "browse/win/FileListWin.h"
#include "browse/FolderFiles.h"

#include <map>
#include <set>

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
  EndEdit();
  CancelCardRead();
  std::u16string folder = ExpandFolder();
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  // The shown folder's files whose metadata the list has read already are not read again.
  std::set<std::u16string> known;
  for (int row = 0; row < model_.FileDataList.Count(); ++row) {
    const TplFileDataListItem& record = *model_.FileDataList.Get(row);
    if (!record.IsFolder() && !record.MetadataPending) known.insert(record.Name);
  }
  cardFolder_ = ExpandFolder();
  cardProgress_ = {};
  HWND hwnd = hwnd_;
  cardRead_ = std::make_unique<FolderTreeRead>(PlatformDirectoryLister(), *metadata_,
                                               [hwnd] { PostMessageW(hwnd, kCardReadMessage, 0, 0); });
  cardRead_->Start(folder, u'\\', std::move(known));
  if (OnReadProgress) OnReadProgress();
}

void TplFileList::CancelCardRead() {
  if (!cardRead_) return;
  cardRead_.reset();  // stops at the next file
  cardProgress_ = {};
  if (OnReadProgress) OnReadProgress();
}

void TplFileList::CardReadReady() {
  if (!cardRead_) return;
  cardProgress_ = cardRead_->Poll();
  if (!cardProgress_.finished) {
    if (OnReadProgress) OnReadProgress();
    return;
  }
  std::vector<FolderTreeRead::File> files = cardRead_->TakeFiles();
  cardRead_.reset();
  cardProgress_ = {};
  if (OnReadProgress) OnReadProgress();
  std::u16string folder = cardFolder_;
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  // The shown folder's own files in the list's order, with what the worker read for those
  // the list had not read yet.
  std::map<std::u16string, const TplFileDataListItem*> read;
  for (const auto& file : files)
    if (file.folder.size() == folder.size() && file.record) read[file.record->Name] = file.record.get();
  FExifRenameFilesFrom.clear();
  FExifFilesToList.Clear();
  for (int row = 0; row < model_.FileDataList.Count(); ++row) {
    const TplFileDataListItem* record = model_.FileDataList.Get(row);
    if (record->IsFolder()) continue;
    auto it = read.find(record->Name);
    if (record->MetadataPending && it != read.end()) record = it->second;
    FExifFilesToList.Add(MakeRenameItem(*record, cardFolder_));
    FExifRenameFilesFrom.push_back(cardFolder_ + record->Name);
  }
  for (const auto& file : files) {
    // The shown folder's own files came from the list, in its order.
    if (file.folder.size() == folder.size() || !file.record) continue;
    FExifFilesToList.Add(MakeRenameItem(*file.record, file.folder));
    FExifRenameFilesFrom.push_back(file.folder + file.record->Name);
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
