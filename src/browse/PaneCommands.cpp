#include "browse/PaneCommands.h"

#include "browse/FileCommands.h"
#include "browse/FolderPaths.h"

namespace tess {

bool BrowsePane::Copy() { return Commands().Copy(*this); }
bool BrowsePane::Paste() { return Commands().Paste(*this); }
bool BrowsePane::Delete() { return Commands().Delete(*this); }
bool BrowsePane::NewFolder(const std::u16string& name) { return Commands().NewFolder(*this, name); }
void BrowsePane::Properties() { Commands().Properties(*this); }

PaneCommands::PaneCommands(BrowseState& state, ShellServices& shell, PaneFiles& files,
                           std::function<void(const PaneFailure&)> report)
    : state_(state), shell_(&shell), files_(files), report_(std::move(report)) {}

void PaneCommands::Report(PaneFailure failure) const {
  if (report_) report_(failure);
}

void PaneCommands::ReportShell(const FileOperationResult& result) const {
  PaneFailure failure;
  failure.kind = PaneFailure::Kind::Shell;
  failure.code = result.returnValue;
  failure.shell = result;
  Report(failure);
}

bool PaneCommands::Copy(BrowsePane& pane) {
  std::vector<std::u16string> paths = pane.SelectedPaths();
  if (paths.empty()) return false;
  pane.EndEdit();
  state_.SetCopyList(std::move(paths));
  return true;
}

bool PaneCommands::Paste(BrowsePane& pane) {
  std::u16string folder = pane.TargetFolder();
  if (!pane.HasFocus() || folder.empty()) return false;
  pane.EndEdit();
  if (state_.CopyList().empty()) return false;
  const std::u16string dest = ExcludeTrailingBackslash(folder);
  PastePlan plan = PlanPaste(
      state_.CopyList(), dest, [this](const std::u16string& p) { return files_.Exists(p); },
      [this](const std::u16string& p) { return files_.IsFolder(p); });
  if (plan.refused) {
    FileOperationResult refused;
    refused.returnValue = kShellErrorDestinationIsSubfolder;
    ReportShell(refused);
    return false;
  }
  plan.request.hwnd = pane.Owner();
  FileOperationResult copied;
  try {
    copied = shell_->FileOperation(plan.request);
  } catch (...) {
    // The shell raised: whatever it copied before is shown, nothing more is said.
    copied.returnValue = -1;
  }
  // Whatever was copied before a failure shows, in the order of the list.
  state_.RaiseRowsChanged(folder);
  if (copied.returnValue != 0) {
    if (copied.returnValue != -1) ReportShell(copied);
    return false;
  }
  return true;
}

bool PaneCommands::Delete(BrowsePane& pane) {
  std::vector<std::u16string> paths = pane.SelectedPaths();
  if (paths.empty()) return false;
  pane.EndEdit();
  FileOperationRequest request;
  request.hwnd = pane.Owner();
  request.wFunc = FO_DELETE_;
  request.pFrom = PackPaths(paths);
  request.fFlags = pane.DeleteFlags();
  FileOperationResult deleted = shell_->FileOperation(request);
  if (deleted.returnValue != 0) ReportShell(deleted);
  std::vector<std::u16string> gone;
  for (const auto& path : paths)
    if (!files_.Exists(path)) gone.push_back(path);
  // Some entries may be gone before a failure; none when the user kept them.
  if (!gone.empty()) pane.ItemsDeleted(gone);
  return deleted.returnValue == 0 && !gone.empty();
}

bool PaneCommands::NewFolder(BrowsePane& pane, const std::u16string& requested) {
  const std::u16string folder = pane.TargetFolder();
  if (folder.empty()) return false;
  pane.EndEdit();
  if (pane.LeavesNewFolders() && state_.RequestNewFolder()) return true;
  std::u16string name;
  bool created = false;
  for (int n = 1; n <= kNewFolderAttempts && !created; ++n) {
    name = NewFolderCandidate(requested, pane.NewFolderName(), n);
    const std::u16string path = folder + name;
    if (files_.Exists(path)) continue;
    int error = files_.CreateFolder(path);
    if (error == 0) {
      created = true;
    } else if (error != kErrorAlreadyExists && error != kErrorFileExists) {
      // Not a taken name (a read-only card, no rights): no other name would do better.
      Report({PaneFailure::Kind::SystemError, error, {}});
      return false;
    }
  }
  if (!created) {
    Report({PaneFailure::Kind::SystemError, kErrorAlreadyExists, {}});
    return false;
  }
  state_.RaiseRowsChanged(folder);
  pane.EditNewItem(name);
  return true;
}

void PaneCommands::Properties(BrowsePane& pane) {
  std::vector<std::u16string> paths = pane.PropertiesPaths();
  if (paths.size() != 1) return;
  ShellExecuteExRequest request;
  request.fMask = 0x44C;
  request.hwnd = pane.Owner();
  request.verb = u"Properties";
  request.file = paths.front();
  request.nShow = pane.PropertiesShow();
  if (!shell_->ExecuteEx(request).ok) Report({});
}

bool PaneCommands::Rename(const std::u16string& from, const std::u16string& folder, const std::u16string& name,
                          WindowHandle owner) {
  const std::u16string to = folder + name;
  if (to == from) return false;
  if (!IsValidFileName(name)) {
    Report({PaneFailure::Kind::SystemError, kErrorInvalidName, {}});
    return false;
  }
  // Another entry of that name would be replaced or refused after a question: say so now,
  // the same on every system. The same entry in another case is a rename.
  if (!SamePath(to, from) && files_.Exists(to)) {
    Report({PaneFailure::Kind::SystemError, kErrorAlreadyExists, {}});
    return false;
  }
  FileOperationRequest request;
  request.hwnd = owner;
  request.wFunc = FO_RENAME_;
  request.pFrom = PackPaths({from});
  request.pTo = PackPaths({to});
  request.fFlags = FOF_ALLOWUNDO_;
  FileOperationResult renamed = shell_->FileOperation(request);
  if (renamed.returnValue != 0 || renamed.fAnyOperationsAborted) {
    ReportShell(renamed);
    return false;
  }
  return true;
}

}  // namespace tess
