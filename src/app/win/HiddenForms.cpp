#include "app/win/HiddenForms.h"

#include <stdexcept>

namespace tess {

THiddenForm::THiddenForm(HINSTANCE instance, HWND owner, const wchar_t* className, const wchar_t* caption, int width,
                         int height) {
  WNDCLASSEXW wc{};
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className;
  RegisterClassOnce(wc);
  CreateWindowExW(WS_EX_DLGMODALFRAME, className, caption, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
                  CW_USEDEFAULT, CW_USEDEFAULT, width, height, owner, nullptr, instance,
                  static_cast<WindowBase*>(this));
  if (!hwnd_) throw std::runtime_error("a dialog could not be created");
}

THiddenForm::~THiddenForm() {
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

LRESULT THiddenForm::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {
    ShowWindow(hwnd_, SW_HIDE);  // a dialog only hides: it lives for the whole run
    return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

TRenameForm::TRenameForm(HINSTANCE instance, HWND owner)
    : THiddenForm(instance, owner, L"TRenameForm", L"Exifリネーム", 560, 420) {}

TListEditForm::TListEditForm(HINSTANCE instance, HWND owner)
    : THiddenForm(instance, owner, L"TListEditForm", L"リスト編集", 400, 320) {}

}  // namespace tess
