// The file list's hand-off to the EXIF rename: the selected rows (or the whole card below
// the shown folder) become a rename job, which the rename dialog takes over.
#include "browse/win/FileListWin.h"
#include "browse/FolderFiles.h"

#include <map>
#include <set>

namespace tess {

namespace {

RenamePhoto PhotoOf(const FileRecord& record, const std::u16string& folder) {
  return {folder + record.Name, *MakeRenameItem(record, folder)};
}

}  // namespace

bool FileListView::ExifRenameFiles() {
  std::vector<int> rows = SelectedRows();
  if (rows.empty()) return false;
  RenameJob job;
  EndEdit();
  FinishReadsOf(rows);
  for (int row : rows) {
    if (row >= model_.Count()) break;
    const FileRecord& record = *model_.Record(row);
    job.photos.push_back(PhotoOf(record, ShownFolder()));
  }
  if (ShowRenameForm) ShowRenameForm(std::move(job));
  return true;
}

void FileListView::ExifRenameFolderTree() {
  EndEdit();
  CancelCardRead();
  std::u16string folder = ShownFolder();
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  // The shown folder's files whose metadata the list has read already are not read again.
  std::set<std::u16string> known;
  for (int row = 0; row < model_.Count(); ++row) {
    const FileRecord& record = *model_.Record(row);
    if (!record.IsFolder() && !record.MetadataPending) known.insert(record.Name);
  }
  cardFolder_ = ShownFolder();
  cardProgress_ = {};
  HWND hwnd = hwnd_;
  cardRead_ = std::make_unique<FolderTreeRead>(PlatformDirectoryLister(), *metadata_,
                                               [hwnd] { PostMessageW(hwnd, kCardReadMessage, 0, 0); });
  cardRead_->Start(folder, u'\\', std::move(known));
  if (OnReadProgress) OnReadProgress();
}

void FileListView::CancelCardRead() {
  if (!cardRead_) return;
  cardRead_.reset();  // stops at the next file
  cardProgress_ = {};
  if (OnReadProgress) OnReadProgress();
}

void FileListView::CardReadReady() {
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
  std::map<std::u16string, const FileRecord*> read;
  for (const auto& file : files)
    if (file.folder.size() == folder.size() && file.record) read[file.record->Name] = file.record.get();
  RenameJob job;
  for (int row = 0; row < model_.Count(); ++row) {
    const FileRecord* record = model_.Record(row);
    if (record->IsFolder()) continue;
    auto it = read.find(record->Name);
    if (record->MetadataPending && it != read.end()) record = it->second;
    job.photos.push_back(PhotoOf(*record, cardFolder_));
  }
  for (const auto& file : files) {
    // The shown folder's own files came from the list, in its order.
    if (file.folder.size() == folder.size() || !file.record) continue;
    job.photos.push_back(PhotoOf(*file.record, file.folder));
  }
  if (ShowRenameForm) ShowRenameForm(std::move(job));
}

bool FileListView::ExifRenameFilesExist() {
  EndEdit();
  std::vector<int> rows = SelectedRows();
  FinishReadsOf(rows);
  for (int row : rows) {
    if (row < model_.Count() && model_.Record(row)->HasMetadata) return true;
  }
  return false;
}

}  // namespace tess
