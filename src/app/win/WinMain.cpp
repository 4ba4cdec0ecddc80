// Entry point of tessarine.exe: the main window, then the two dialogs (hidden for the whole
// run), then the message loop until the main window closes.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <memory>

#include "app/win/MainWindow.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "platform/win/WinText.h"
#include "rename/win/RenameDialogWin.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  // Shell links, drags and the folder picker need COM on this thread.
  HRESULT ole = OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_USEREX_CLASSES};
  InitCommonControlsEx(&icc);
  int exitCode = 0;
  try {
    auto main = std::make_unique<tess::MainWindow>(instance);
    auto renameForm = std::make_unique<tess::RenameDialog>(instance, main->Handle());
    // The editor opens over the rename dialog, which owns it.
    auto listEditForm = std::make_unique<tess::TemplateListDialog>(instance, renameForm->Handle());
    listEditForm->SetRenameForm(renameForm.get());
    renameForm->SetListEditForm(listEditForm.get());
    main->ConnectRenameForm(*renameForm);
    main->Show(show);
    main->AskAboutCutShortRun();
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (got == 0) exitCode = static_cast<int>(msg.wParam);
  } catch (const std::exception& e) {
    std::u16string text = tess::UserErrorText(e);
    MessageBoxW(nullptr, tess::W(text), tess::W(tess::texts::kAppTitle), MB_OK | MB_ICONERROR);
    exitCode = 1;
  }
  if (SUCCEEDED(ole)) OleUninitialize();
  return exitCode;
}
