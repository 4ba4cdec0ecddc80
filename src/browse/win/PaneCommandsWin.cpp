#include "browse/win/PaneCommandsWin.h"

#include <shlobj.h>

#include "platform/UiTexts.h"
#include "platform/win/WinControls.h"
#include "platform/win/WinText.h"

namespace tess {

void ReportPaneFailure(HWND control, const std::function<void(const std::u16string&)>& onError,
                       const PaneFailure& failure) {
  std::u16string text;
  switch (failure.kind) {
    case PaneFailure::Kind::Beep:
      DefaultBeep();
      return;
    case PaneFailure::Kind::SystemError:
      text = SystemErrorMessage(static_cast<unsigned long>(failure.code));
      break;
    case PaneFailure::Kind::Shell:
      if (failure.shell.returnValue == 0 || FileOperationCancelled(failure.shell) || failure.shell.errorShown) return;
      text = FileOperationErrorText(failure.shell.returnValue);
      break;
  }
  if (onError) {
    onError(text);
    return;
  }
  MessageBoxW(reinterpret_cast<HWND>(AppWindowOf(control)), W(text), W(texts::kAppTitle), MB_OK | MB_ICONERROR);
}

namespace {

class PaneFilesWin final : public PaneFiles {
 public:
  bool Exists(const std::u16string& path) override { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }
  bool IsFolder(const std::u16string& path) override { return FolderExists(path); }
  int CreateFolder(const std::u16string& path) override { return SHCreateDirectoryExW(nullptr, W(path), nullptr); }
};

}  // namespace

PaneFiles& PlatformPaneFiles() {
  static PaneFilesWin files;
  return files;
}

}  // namespace tess
