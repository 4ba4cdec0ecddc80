// The main window's part in the EXIF rename: the "Exifリネーム" tool button and pop-up
// items, the dialog they show, and the panes brought in line with the disk after a run.
#include "app/win/MainWindow.h"
#include "rename/win/RenameFormWin.h"

namespace tess {

bool AppendExifRenameItem(HMENU popup, int id) {
  return AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(id), L"Exifリネーム") != FALSE;
}

void TTessarineMain::btnEventClick() {
  HWND focus = GetFocus();
  auto has = [focus](HWND pane) { return focus && (focus == pane || IsChild(pane, focus)); };
  // With the tree focused the whole shown folder goes to the rename.
  if (!has(list_->Handle()) && has(tree_->Handle())) list_->SelectAll();
  list_->ExifRenameFiles();
}

bool TTessarineMain::ExifRenameMenuCommand(int id) {
  switch (id) {
    case IdExifRename2:
    case IdExifRename3:
      list_->ExifRenameFiles();
      return true;
    case IdExifRenamePath1:
      list_->SelectAll();
      list_->ExifRenameFiles();
      return true;
    default:
      return false;
  }
}

void TTessarineMain::ConnectRenameForm(TRenameForm& form) {
  form.SetRenameLists(&list_->ExifRenameFilesFrom(), &list_->ExifFilesToList());
  list_->ShowRenameForm = [&form] { form.ShowModal(); };
  form.OnFilesChanged = [this] { RenameFilesChanged(); };
}

void TTessarineMain::RenameFilesChanged() {
  // New destination folders may lie anywhere below the root: the whole tree is brought in
  // line, and with it the list.
  if (tree_->RootNode()) tree_->RefreshView(true);
  else list_->RefreshView();
  // The rows have moved under the selection: it would mark other files now.
  list_->ClearSelection();
  UpdateStatusPanels();
}

}  // namespace tess
