#include "app/win/HiddenForms.h"

#include <stdexcept>

namespace tess {

THiddenForm::THiddenForm(HINSTANCE instance, HWND owner, const wchar_t* className, const wchar_t* caption, int width,
                         int height) {
  WNDCLASSEXW wc{};
  if (!GetClassInfoExW(instance, className, &wc)) {
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &THiddenForm::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    if (!RegisterClassExW(&wc)) throw std::runtime_error("a dialog class could not be registered");
  }
  hwnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME, className, caption, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
                          CW_USEDEFAULT, CW_USEDEFAULT, width, height, owner, nullptr, instance, this);
  if (!hwnd_) throw std::runtime_error("a dialog could not be created");
}

THiddenForm::~THiddenForm() {
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

LRESULT CALLBACK THiddenForm::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<THiddenForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (msg == WM_CLOSE) {
    ShowWindow(hwnd, SW_HIDE);  // a dialog only hides: it lives for the whole run
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

TRenameForm::TRenameForm(HINSTANCE instance, HWND owner)
    : THiddenForm(instance, owner, L"TRenameForm", L"Exifリネーム", 560, 420) {}

TListEditForm::TListEditForm(HINSTANCE instance, HWND owner)
    : THiddenForm(instance, owner, L"TListEditForm", L"リスト編集", 400, 320) {}

}  // namespace tess
