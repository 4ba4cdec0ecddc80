// The main window's part in the EXIF rename: the dialog that the list shows, and the panes
// brought in line with the disk after a run.
#include "app/win/MainWindow.h"
#include "rename/win/RenameFormWin.h"

namespace tess {

void TTessarineMain::ConnectRenameForm(TRenameForm& form) {
  form.SetRenameLists(&list_->ExifRenameFilesFrom(), &list_->ExifFilesToList());
  list_->ShowRenameForm = [&form] { form.ShowModal(); };
  form.OnFilesChanged = [this] { RenameFilesChanged(); };
}

void TTessarineMain::RenameFilesChanged() {
  // New destination folders may lie anywhere below the root: the whole tree is brought in
  // line, and with it the list.
  tree_->RefreshView(true);
  // The rows have moved under the selection: it would mark other files now.
  list_->ClearSelection();
  UpdateStatusPanels();
}

}  // namespace tess
