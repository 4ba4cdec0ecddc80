#pragma once
// RenameDialog ("リネーム画面"): the EXIF rename dialog. The action, the destination-folder
// template and the file-name template are chosen here; テスト lists every planned source
// and destination in the log, 実行 copies or moves them all, both off the window's thread,
// 実行 with a progress bar under the log; while it goes, 閉じる reads 中止 and stops it.
// TemplateListDialog ("一覧の編集"): one of the two template lists edited as plain text.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <mutex>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FileTransfer.h"
#include "platform/JournalFolder.h"
#include "platform/WorkerThreads.h"
#include "rename/CardEject.h"
#include "rename/RenameForms.h"
#include "rename/RenameJob.h"
#include "rename/RunHistory.h"
#include "rename/win/ModalDialog.h"

namespace tess {

class TemplateListDialog;

struct RenameDialogOptions {
  // Put in front of every settings key path: tests keep their settings under a throwaway key.
  std::u16string settingsRoot;
  // The files a real run works on; the machine's unless replaced.
  FileSystem* files = nullptr;
  FileTransfer* transfer = nullptr;
  // The beep of a failed run; the system's default beep unless replaced.
  std::function<void()> beep;
  // Where real runs are journalled and undone from; this user's journals unless replaced.
  JournalFolder* journals = nullptr;
  // The question before undoing a run this dialog did not make; a message box unless replaced.
  std::function<bool(const std::u16string& question)> askYesNo;
  // The import history runs look photos up in and record into: beside this user's journals
  // unless replaced; none beside journals a test replaced unless given.
  const HistoryPlace* history = nullptr;
};

enum RenameDialogControlId : int {
  IdActionLabel = 1001, IdFolderLabel, IdNameLabel, IdActionBox, IdFolderBox, IdEditFoldersButton, IdNameBox, IdEditNamesButton, IdLog,
  IdRunButton, IdTestButton, IdProgress, IdUndoButton, IdIncludeImported, IdBackupLabel, IdBackupBox, IdEditBackupsButton,
  IdEjectWhenDone,
  IdCloseButton = IDCANCEL,  // Esc and the close box end the dialog as 閉じる does
};

class RenameDialog : public ModalDialog {
 public:
  RenameDialog(HINSTANCE instance, HWND owner, RenameDialogOptions options = {});
  // A run still going is stopped (cleanly) and waited for.
  ~RenameDialog() override;

  // The job the file list built, kept for the dialog's life: テスト and 実行 set its action,
  // templates and mode; after a real run it keeps only the photos not filed.
  void SetJob(RenameJob job) {
    job_ = std::move(job);
    batchDone_ = false;
  }
  const RenameJob& Job() const { return job_; }
  void SetListEditForm(TemplateListDialog* form) { listEditForm_ = form; }
  // The first photo of the job, the editor's example; null without one.
  const SourceRecord* FirstPhoto() const;
  // After every real run: the panes of the main window show the disk as it now is.
  std::function<void()> OnFilesChanged;
  // 完了後にカードを取り出す: ejects a drive the way the main window's eject button does,
  // with its panes letting go of the drive first. Without it no card is ejected.
  std::function<CardEjectResult(char16_t letter)> EjectCard;

  HWND Control(RenameDialogControlId id) const { return GetDlgItem(Handle(), id); }
  // The entries of FolderBox (folders), NameBox (file names) or BackupBox (backup folders).
  std::vector<std::u16string> TemplateItems(TemplateListKind kind) const;
  // The log, one entry per line written.
  std::vector<std::u16string> LogLines() const;

  void OnTestButton() { StartRun(RenameMode::Test); }
  void OnRunButton() { StartRun(RenameMode::Real); }
  // During a real run the button reads 中止 and stops the run instead.
  void OnCloseButton();
  // 元に戻す: undoes the last real run (of this dialog, the command-line tool or a run cut
  // short), its lines in the log.
  void OnUndoButton();
  // 元に戻す is enabled while the last run can be undone and no run goes.
  void UpdateUndoButton();
  void EditFolderTemplates() { EditList(TemplateListKind::Folders); }
  void EditNameTemplates() { EditList(TemplateListKind::Files); }
  void EditBackupTemplates() { EditList(TemplateListKind::Backups); }
  // A real run is going (on its worker thread).
  bool Running() const { return running_; }
  // "時刻補正...": the batch's cameras and their clock rules, kept for every later batch.
  void OpenClockTable();
  // Runs when the table is shown (tests drive it from here).
  std::function<void(class ClockTableDialog&)> OnClockTableShown;

 protected:
  void BeforeShow() override;
  void SaveSettingsOnClose() override;
  // The choices and the dialog's placement into the settings.
  void StoreChoices();
  void LayOutControls() override;
  HWND FirstControl() const override { return Control(IdActionBox); }
  bool OnCommand(int id, int code) override;
  INT_PTR OnDialogMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;
  // Never so low that the log loses its seven lines to the progress strip and the buttons.
  SIZE MinimumSize() const override { return SIZE{360, std::max(250, FrameHeight() + kRenameFormMinClientHeight)}; }

 private:
  bool placed_ = false;  // shown once: its place is its own from then on
  HWND Combo(TemplateListKind kind) const {
    switch (kind) {
      case TemplateListKind::Folders: return Control(IdFolderBox);
      case TemplateListKind::Backups: return Control(IdBackupBox);
      case TemplateListKind::Files: break;
    }
    return Control(IdNameBox);
  }
  TemplateChoice Choice(HWND combo) const;
  void SetChoice(HWND combo, const TemplateChoice& choice);
  void EditList(TemplateListKind kind);
  void ScrollLogToEnd();
  void AppendToLog(const std::u16string& text);
  // テスト and 実行 alike plan on a worker; nothing happens while a run goes.
  void StartRun(RenameMode mode);
  void ShowRunning(bool running);
  void TakeRunLog();
  void ShowRunProgress();
  void EndRun();
  void ShowRulesOfBatch();
  // After a run that filed everything, with 完了後にカードを取り出す on: the photos' drives
  // ejected, a line each.
  void EjectSourceCards(const std::vector<RenamePhoto>& photos);
  JournalFolder& Journals() const;
  // Where the runs' history is; an empty path for none.
  HistoryPlace History() const;
  // The photos as the last real run of this dialog found them, and that run's journal: an
  // undo of it gives the photos it put back to the job again, so that 実行 can file them
  // anew (with other templates).
  struct RunPhotos {
    std::u16string journal;
    std::vector<RenamePhoto> photos;
  } lastRun_;
  // Stops a run still going and waits for it, without its closing lines.
  void StopRunNow();

  struct RunChannel;
  RenameDialogOptions options_;
  std::shared_ptr<RunChannel> channel_;
  // The run goes on one worker, started by the run and ended with it, as the panes' reads do.
  void RunLoop();
  std::mutex runMutex_;
  std::function<void()> pendingRun_;
  WorkerThreads runner_{1, [this] { RunLoop(); }};
  std::u16string idleCaption_;
  RenameJob job_;
  // A real run of this dialog filed every photo of the job: a press says so instead of
  // finding no file.
  bool batchDone_ = false;
  TemplateListDialog* listEditForm_ = nullptr;
  bool running_ = false;
  // The eject box as the running real run found it: a change during the run is for the next.
  bool ejectAfterRun_ = false;
};

enum ListEditFormControlId : int {
  IdListText = 1101,
  IdTokenTable = 1102,
  IdOkButton = IDOK,
  IdCancelButton = IDCANCEL,
};

class TemplateListDialog : public ModalDialog {
 public:
  TemplateListDialog(HINSTANCE instance, HWND owner, std::u16string settingsRoot = u"");

  // The dialog whose template lists the editor loads.
  void SetRenameForm(const RenameDialog* form) { renameForm_ = form; }
  HWND Control(ListEditFormControlId id) const { return GetDlgItem(Handle(), id); }
  // Log's lines, one template each.
  std::vector<std::u16string> Lines() const;
  // The token table's rows as shown: token, ASCII form, meaning, example.
  std::vector<std::vector<std::u16string>> TokenRows() const;
  // Puts the Japanese form of the table's row at the text area's caret (a double-click).
  void InsertToken(int row);

 protected:
  void BeforeShow() override;
  void SaveSettingsOnClose() override;
  void LayOutControls() override;
  HWND FirstControl() const override { return Control(IdListText); }
  void FirstControlFocused() override;
  SIZE MinimumSize() const override { return SIZE{200, 120}; }
  INT_PTR OnDialogMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;
  void DpiChanged() override;

 private:
  void FillTokenTable();

  std::u16string settingsRoot_;
  const RenameDialog* renameForm_ = nullptr;
  bool placed_ = false;  // shown once or placed from the settings
};

}  // namespace tess
