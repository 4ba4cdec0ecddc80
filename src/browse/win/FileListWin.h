#pragma once
// FileListView: the file list pane. A report-style list view in owner-data mode: the control
// only knows the row count and asks for each row's texts and icon as it draws it; the
// records, their order and the decisions live in FileListModel and FileCommands. It also
// carries the file commands of the window.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "browse/BrowseState.h"
#include "browse/FileCommands.h"
#include "browse/FileListModel.h"
#include "browse/PaneCommands.h"
#include "browse/FileRecords.h"
#include "browse/FolderListing.h"
#include "browse/FolderTreeRead.h"
#include "browse/HistoryLookups.h"
#include "browse/MetadataReads.h"
#include "browse/win/ThumbnailViewWin.h"
#include "platform/win/AppMessages.h"
#include "platform/win/WinControls.h"
#include "platform/Shell.h"
#include "rename/RenameJob.h"

namespace tess {

// The target, working folder and arguments of a shortcut; an empty target when the file is
// no shortcut.
struct ShortcutInfo {
  std::u16string target, workingFolder, arguments;
};
ShortcutInfo ReadShortcut(const std::u16string& path);

class FileListView : public BrowsePane, private BrowseState::Observer {
 public:
  // The list shows the folders of state (shared with a tree); without one it keeps its own.
  FileListView(HWND parent, int id, HINSTANCE instance, BrowseState* state = nullptr);
  ~FileListView();
  FileListView(const FileListView&) = delete;
  FileListView& operator=(const FileListView&) = delete;

  HWND Handle() const { return hwnd_; }

  const std::u16string& RootFolder() const { return state_->RootFolder(); }
  void SetRootFolder(const std::u16string& value);
  const std::u16string& ShownFolder() const { return state_->ShownFolder(); }
  // The focused row's record; null when no row has the focus.
  const FileRecord* FocusedRecord() const;
  void SetShownFolder(const std::u16string& value);
  const std::u16string& FindText() const { return model_.FindText(); }
  void SetFindText(const std::u16string& value);
  bool DisplayExt() const { return model_.DisplayExt(); }
  void SetDisplayExt(bool value);
  // The records and their order.
  FileListModel& Model() { return model_; }
  const FileListModel& Model() const { return model_; }
  // The record of the first selected row, or null.
  FileRecord* FileInfo();
  int ItemCount() const;
  int SelectedCount() const;
  bool Editing() const { return ListView_GetEditControl(hwnd_) != nullptr; }
  bool Focused() const { return GetFocus() == hwnd_; }

  void RefreshFilesListItems(bool asort);
  void RefreshView();
  BrowseState& State() { return *state_; }

  // The commands.
  void DblClick();
  void Execute() { DblClick(); }
  bool BackFolder() override;
  bool EditFileName();
  bool CopyFiles();
  bool PasteFiles();
  bool DeleteFiles();
  bool CreateFolder(const std::u16string& folderName);
  void FileInfoDlg();
  void SelectAll();
  // The copy list as it stands (shared with the tree).
  const std::vector<std::u16string>& StoredCopyFiles() const { return state_->CopyList(); }

  std::function<void(std::u16string& findText)> OnFolderChanging;
  std::function<void()> OnFolderChanged;
  std::function<void()> OnSelectItem;
  // The focused row moved to another row.
  std::function<void()> OnFocusItem;
  // The events the main window answers: a click, a right click (screen point), a key before
  // the list's own key commands, the start of an in-place edit.
  std::function<void()> OnClick;
  std::function<void(POINT screen)> OnRightClick;
  std::function<void(WORD key)> OnKeyDown;
  std::function<void()> OnEditing;
  // After an in-place rename went through: the full paths before and after.
  std::function<void(const std::u16string& from, const std::u16string& to)> OnRenamed;
  // How a command shows an error it meets (the system's text); a message box unless set.
  std::function<void(const std::u16string& text)> OnError;

  // The photos' metadata is read by workers after the rows are shown. The reader is the
  // program's unless replaced (tests hold reads back with their own).
  void SetMetadataSource(MetadataSource& source);
  bool ReadsRunning() const { return reads_ && reads_->Running(); }
  int ReadsDone() const { return reads_ ? reads_->Done() : 0; }
  int ReadsTotal() const { return reads_ ? reads_->Total() : 0; }
  // A chosen folder is listed by a worker: the window answers while a slow card enumerates.
  // Until the listing comes the list shows no rows; the lister is the program's unless
  // replaced (tests hold a listing back with their own).
  void SetListingSource(DirectoryLister& lister);
  bool ListingPending() const { return listing_ && listing_->Pending(); }
  // Raised on the window's thread as metadata arrives (the status bar shows how far) and
  // once more when the last file of the folder is read, and when the import history answered.
  std::function<void()> OnReadProgress;
  // The shown folder's photos the import history knows as filed (asked on a worker once
  // their metadata is in; 0 until it answers).
  int ImportedCount() const { return importedCount_; }

  // The shell the commands go through; the system's unless replaced (tests).
  void SetShell(ShellServices& shell) {
    shell_ = &shell;
    commands_->SetShell(shell);
  }
  ShellServices& Shell() { return *shell_; }

  void DoFolderChanging() {
    if (!OnFolderChanging) return;
    std::u16string findText = model_.FindText();
    OnFolderChanging(findText);
    model_.SetFindText(std::move(findText));
  }
  void DoFolderChanged() {
    if (OnFolderChanged) OnFolderChanged();
  }
  void ClearSelection();
  void SelectRow(int index);
  // The row of name alone selected and focused, now or, while the listing is on its way,
  // once it has come (a file named in the address bar).
  void SelectNameWhenListed(const std::u16string& name);

  // The EXIF rename hand-off: the selected rows' records and paths go into the rename lists
  // and the rename dialog is shown. False without a selection.
  bool ExifRenameFiles();
  // The rename of a whole card: every file of the shown folder, in the list's order, then
  // those of its sub-folders, folder by folder (hidden and system folders skipped), read
  // as the list reads its files; then the rename dialog. The files are read on a worker
  // (OnReadProgress tells how far); the dialog opens when the last one is read, unless the
  // read was cancelled (another folder, Esc) meanwhile.
  void ExifRenameFolderTree();
  bool CardReadRunning() const { return cardRead_ != nullptr; }
  int CardReadDone() const { return cardProgress_.done; }
  int CardReadTotal() const { return cardProgress_.total; }
  void CancelCardRead();
  // Whether a selected record has metadata.
  bool ExifRenameFilesExist();
  // Shows the rename dialog modally for the job built from the selection or the card;
  // set by the window that owns the dialog, which keeps the job.
  std::function<void(RenameJob job)> ShowRenameForm;

  // BrowsePane
  bool StartRename() override { return EditFileName(); }
  PaneCommands& Commands() override { return *commands_; }
  bool HasFocus() const override { return Focused(); }
  std::u16string TargetFolder() const override { return ShownFolder(); }
  std::vector<std::u16string> SelectedPaths() const override;
  void EndEdit() override;
  WindowHandle Owner() const override;
  unsigned DeleteFlags() const override;
  int PropertiesShow() const override { return SW_SHOWNA; }
  const char16_t* NewFolderName() const override { return kListNewFolderName; }
  void ItemsDeleted(const std::vector<std::u16string>& paths) override;
  void EditNewItem(const std::u16string& name) override;

  // Forwarded by the parent window: WM_NOTIFY from this control. True when answered.
  bool OnNotify(NMHDR* header, LRESULT& result);

  // The thumbnail view (縮小版) or the details view (詳細); OnViewChanged follows a switch
  // (by the keys Ctrl+Shift+2 and Ctrl+Shift+6 or this call).
  void SetThumbnailView(bool on);
  // The window's DPI, which the pictures' size follows.
  void SetDpi(int dpi) {
    thumbnails_->SetDpi(dpi);
    KeepPicturesWithDates();
  }
  bool ThumbnailViewOn() const { return thumbnails_ && thumbnails_->Active(); }
  ThumbnailView& Thumbnails() { return *thumbnails_; }
  std::function<void()> OnViewChanged;
  // A column's width as the details view shows it (also while the thumbnails are shown).
  int ColumnWidth(int column) const;

  // A click on a column header, as the control reports it.
  void ColumnClick(int column);
  // A stored order (checked by the model); the rows and the header's arrow follow.
  void SetSortState(const FileSortState& sort);

 private:
  std::vector<int> SelectedRows() const;
  // Lists folder afresh (no events); ShowFolder makes it the shown folder, raising both.
  void ListFolder(const std::u16string& folder);
  void ShowFolder(const std::u16string& folder);
  struct RowMemo {
    std::vector<std::u16string> selected;
    std::u16string focused, top;
  };
  RowMemo RememberRows() const;
  void RestoreRows(const RowMemo& memo);
  void LookUpIcons(int from, int to);
  // Whether the row's icon shows in the control's client area now.
  bool RowInView(int index) const;
  // The sorted column's header shows the arrow of its direction, the others none.
  void ShowSortArrow();
  void StartReads();
  // Lists folder on the worker, showing what comes within a short grace at once.
  void StartListing(const std::u16string& folder);
  // A batch of the shown folder's listing arrived: its rows; after the last one, their
  // metadata.
  void ListingReady();
  // A batch of a refresh's listing arrived: the rows change when the last one is there.
  void RefreshArrived(FolderListing::Batch& batch);
  void ReadsReady();
  // The selected records whose metadata has not arrived yet are read now (a command needs it).
  void FinishReadsOf(const std::vector<int>& rows);
  void LookUpIcon(FileRecord& record);
  void SetRowCount();
  // The control's row count; in icon mode the rows are laid out again (Wine's owner-data
  // icon view puts rows it was never told of at the top-left corner, all on one another).
  void SetRows(int count, DWORD flags);
  // In icon mode: the rows laid out for the list's width.
  void ArrangeRows();
  int FindItem(const NMLVFINDITEMW& find) const;
  void KeyDown(WORD key);
  void BeginLabelEdit();
  bool EndLabelEdit(const NMLVDISPINFOW& info);
  // Tells the other pane that entries of folder came or went.
  void SyncTreeNode(const std::u16string& folder);
  // BrowseState::Observer
  void FolderChanged(FolderChange change) override;
  void RowsChanged(const std::u16string& folder) override;
  bool NewFolderRequested() override;

  std::unique_ptr<BrowseState> ownState_;  // without a shared one
  BrowseState* state_;
  HWND hwnd_ = nullptr;
  HIMAGELIST systemSmallIcons_ = nullptr;  // the system's list: shared, never destroyed
  FileRecord* fileInfo_ = nullptr;
  FileListModel model_;
  ShellServices* shell_;
  std::unique_ptr<PaneCommands> commands_;
  std::unique_ptr<RefreshLock> editLock_;  // an in-place edit holds refreshes off
  std::unique_ptr<SubclassGuard> subclass_;
  std::unique_ptr<SubclassGuard> editSubclass_;
  MetadataSource* metadata_ = &ExifMetadataSource();
  size_t unshownResults_ = 0;  // applied since the rows were last redrawn
  DWORD lastRedraw_ = 0;
  std::unordered_map<std::u16string, int> typeIcons_;  // the system image list's index per type
  std::u16string selectAfterListing_;  // a row to select once the listing comes (Backspace)
  std::u16string editAfterListing_;    // a new item to edit once the listing comes
  bool refreshing_ = false;            // the listing under way is a refresh of the shown rows
  bool refreshSort_ = false;           // and the rows are sorted after it
  bool refreshAfterEdit_ = false;      // a refresh came during an in-place edit
  std::vector<RecordBatch> refreshRuns_;
  std::unique_ptr<FolderListing> listing_;
  void CardReadReady();
  std::u16string cardFolder_;  // the shown folder the card read began in
  FolderTreeRead::Progress cardProgress_;
  std::unique_ptr<FolderTreeRead> cardRead_;
  void KeepPicturesWithDates();
  std::unique_ptr<ThumbnailView> thumbnails_;
  // The history asked about the shown folder's photos, once their metadata is in.
  void StartLookups();
  void LookupsReady();
  int importedCount_ = 0;
  std::unique_ptr<HistoryLookups> lookups_;
  std::unique_ptr<MetadataReads> reads_;  // last: its workers stop before the rest goes
};

}  // namespace tess
