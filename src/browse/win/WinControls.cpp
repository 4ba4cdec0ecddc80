#include "browse/win/WinControls.h"

#include "platform/win/WinText.h"

namespace tess {

SubclassGuard::SubclassGuard(HWND hwnd, Handler handler) : hwnd_(hwnd), handler_(std::move(handler)) {
  if (!SetWindowSubclass(hwnd_, &SubclassGuard::Proc, 1, reinterpret_cast<DWORD_PTR>(this))) hwnd_ = nullptr;
}

SubclassGuard::~SubclassGuard() {
  if (hwnd_) RemoveWindowSubclass(hwnd_, &SubclassGuard::Proc, 1);
}

LRESULT CALLBACK SubclassGuard::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<SubclassGuard*>(data);
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &SubclassGuard::Proc, 1);
    self->hwnd_ = nullptr;
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  bool handled = false;
  LRESULT r = self->handler_ ? self->handler_(hwnd, msg, wp, lp, handled) : 0;
  return handled ? r : DefSubclassProc(hwnd, msg, wp, lp);
}

GdiFont MakeFont(const wchar_t* face, int pixelHeight) {
  LOGFONTW lf{};
  lf.lfHeight = -pixelHeight;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  return GdiFont(CreateFontIndirectW(&lf));
}

bool FolderExists(const std::u16string& path) {
  if (path.empty()) return false;
  DWORD attr = GetFileAttributesW(W(path));
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool EntryExists(const std::u16string& path) {
  WIN32_FIND_DATAW fd;
  FindHandle h(FindFirstFileW(W(path), &fd));
  if (h.get() == INVALID_HANDLE_VALUE) {
    h.release();
    return false;
  }
  return true;
}

void YieldToMessageQueue() {
  MSG msg;
  // Bounded, so that a stream of input cannot keep an enumeration from finishing.
  for (int i = 0; i < 64 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void DefaultBeep() { MessageBeep(0); }

}  // namespace tess
