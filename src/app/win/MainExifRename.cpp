// The main window's part in the EXIF rename: the dialog that the list shows, the panes
// brought in line with the disk after a run, and the undo of the last change (Ctrl+Z, and
// the question about a run cut short).
#include "app/win/MainWindow.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "platform/win/WinText.h"
#include "rename/RunUndo.h"
#include "rename/win/RenameDialogWin.h"

namespace tess {

namespace {

std::u16string JoinLog(const std::vector<std::u16string>& lines) {
  std::u16string text;
  for (const std::u16string& line : lines) text += line + u"\r\n";
  return text;
}

}  // namespace

void MainWindow::ConnectRenameForm(RenameDialog& form) {
  list_->ShowRenameForm = [&form](RenameJob job) {
    form.SetJob(std::move(job));
    form.ShowModal();
  };
  form.OnFilesChanged = [this] { RenameFilesChanged(); };
  form.EjectCard = [this](char16_t letter) { return EjectRenamedCard(letter); };
}

void MainWindow::RenameFilesChanged() {
  lastChange_ = LastChange::Batch;
  PanesChanged();
}

void MainWindow::PanesChanged() {
  // New destination folders may lie anywhere below the root: the whole tree is brought in
  // line, and with it the list.
  tree_->RefreshView(true);
  // The rows have moved under the selection: it would mark other files now.
  list_->ClearSelection();
  UpdateStatusPanels();
}

void MainWindow::PaneRenamed(const std::u16string& from, const std::u16string& to) {
  lastChange_ = LastChange::InPlace;
  lastInPlace_ = {from, to};
}

void MainWindow::UndoLastChange() {
  switch (lastChange_) {
    case LastChange::InPlace: UndoInPlaceRename(); break;
    case LastChange::Batch: UndoLastBatch(); break;
    case LastChange::None:
      // Said where the eye is, not only heard.
      MessageBeep(0);
      ShowStatusNotice(texts::kUndoNothing);
      break;
  }
}

void MainWindow::UndoInPlaceRename() {
  const std::u16string from = lastInPlace_.to, to = lastInPlace_.from;
  FileSystem& fs = PlatformFileSystem();
  // The name given back must still be free, and the renamed entry still there; a change of
  // letter case alone names the entry itself.
  if (!fs.Exists(from)) {
    ReportError(SystemErrorMessage(ERROR_FILE_NOT_FOUND));
    return;
  }
  if (FileSystemPathKey(from) != FileSystemPathKey(to) && fs.Exists(to)) {
    ReportError(SystemErrorMessage(ERROR_ALREADY_EXISTS));
    return;
  }
  FileOperationRequest request;
  request.hwnd = reinterpret_cast<WindowHandle>(hwnd_);
  request.wFunc = FO_RENAME_;
  request.pFrom = PackPaths({from});
  request.pTo = PackPaths({to});
  request.fFlags = FOF_ALLOWUNDO_;
  ShellServices& shell = options_.shell ? *options_.shell : PlatformShell();
  FileOperationResult result = shell.FileOperation(request);
  if (result.returnValue != 0 || result.fAnyOperationsAborted) {
    ReportError(SystemErrorMessage(static_cast<unsigned long>(result.returnValue)));
    return;
  }
  lastChange_ = LastChange::None;
  PanesChanged();
}

void MainWindow::UndoLastBatch() {
  std::optional<RunJournal> last = LastRun(Journals());
  if (!last || !CanUndo(*last)) {
    MessageBeep(0);
    ShowStatusNotice(texts::kUndoNothing);
    return;
  }
  RecordedRenameLog log;
  const HistoryPlace history = History();
  UndoSummary summary = UndoRun(Journals(), last->name, PlatformFileSystem(), PlatformFileTransfer(), log, nullptr,
                                history.path.empty() ? nullptr : &history);
  lastChange_ = LastChange::None;
  PanesChanged();
  ShowStatusNotice(log.lines.empty() ? std::u16string() : log.lines.back());
  // A whole undo shows in the panes; what was left is named.
  if (summary.status != UndoStatus::Undone) ReportError(JoinLog(log.lines));
}

void MainWindow::AskAboutCutShortRun() {
  AskAboutCutShortRunWith([this](const std::u16string& question) {
    return MessageBoxW(hwnd_, W(question), L"Tessarine", MB_YESNO | MB_ICONQUESTION) == IDYES;
  });
}

void MainWindow::AskAboutCutShortRunWith(const std::function<bool(const std::u16string& question)>& askYesNo) {
  std::optional<RunJournal> cut = CutShortRun(Journals());
  if (!cut) return;
  size_t count = RunPhotoCount(*cut);
  std::u16string question = texts::kCutShortRunPrefix + cut->time + u"、" + ActionName(cut->action) + u"、" +
                            PadNumber(static_cast<long long>(count), 1) + texts::kCutShortRunSuffix;
  RecordedRenameLog log;
  if (!askYesNo(question)) {
    // Its temporary files go all the same: nothing of a run left may outlive it.
    LeaveRun(Journals(), cut->name, PlatformFileSystem(), log);
    std::u16string notice = texts::kCutShortRunLeft;
    if (!log.lines.empty())
      notice += PadNumber(static_cast<long long>(log.lines.size()), 1) + texts::kCutShortRunTemporariesRemoved;
    ShowStatusNotice(notice);
    return;
  }
  const HistoryPlace history = History();
  UndoSummary summary = UndoRun(Journals(), cut->name, PlatformFileSystem(), PlatformFileTransfer(), log, nullptr,
                                history.path.empty() ? nullptr : &history);
  PanesChanged();
  // The answer shows what it did: the count line when all went back, every line otherwise.
  if (summary.status != UndoStatus::Undone) ReportError(JoinLog(log.lines));
  ShowStatusNotice(log.lines.empty() ? std::u16string() : log.lines.back());
}

}  // namespace tess
