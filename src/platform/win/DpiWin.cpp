#include "platform/win/DpiWin.h"

#include "platform/win/WinText.h"

namespace tess {

int WindowDpi(HWND hwnd) {
  // GetDpiForWindow and GetDpiForSystem came with Windows 10 1607: looked up, not linked.
  using DpiForWindow = UINT(WINAPI*)(HWND);
  using DpiForSystem = UINT(WINAPI*)();
  static const auto forWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  static const auto forSystem = reinterpret_cast<DpiForSystem>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForSystem")));
  if (hwnd && forWindow) {
    if (UINT dpi = forWindow(hwnd)) return static_cast<int>(dpi);
  }
  if (forSystem) {
    if (UINT dpi = forSystem()) return static_cast<int>(dpi);
  }
  int dpi = kDesignDpi;
  if (HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : kDesignDpi;
}

SIZE TextExtent(HWND control, const std::u16string& text) {
  SIZE size{0, 0};
  HDC dc = GetDC(control);
  if (!dc) return size;
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  if (!GetTextExtentPoint32W(dc, W(text), static_cast<int>(text.size()), &size)) size = SIZE{0, 0};
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return size;
}

}  // namespace tess
