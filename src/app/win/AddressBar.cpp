#include "app/win/AddressBar.h"

#include <shlwapi.h>

#include <vector>

#include "browse/FolderPaths.h"
#include "platform/UiTexts.h"
#include "platform/win/WinText.h"

namespace tess {

AddressBar::AddressBar(HWND parent, int id, HINSTANCE instance) {
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0,
                          100, 22, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (!hwnd_) throw EUserError(texts::kErrorControl);
  // Paths can be long; the edit's default limit (32,767) is far above MAX_PATH anyway.
  SendMessageW(hwnd_, EM_SETLIMITTEXT, 32767, 0);
  // Folders and files offered as the path is typed, as in Explorer's address bar. It needs
  // COM on this thread; without it (or under a system that lacks it) the box still works.
  completes_ = SUCCEEDED(SHAutoComplete(hwnd_, SHACF_FILESYSTEM | SHACF_AUTOSUGGEST_FORCE_ON |
                                                   SHACF_AUTOAPPEND_FORCE_OFF));
  subclass_ = std::make_unique<SubclassGuard>(hwnd_, [this](HWND, UINT m, WPARAM w, LPARAM, bool& handled) {
    return EditMessage(m, w, handled);
  });
}

AddressBar::~AddressBar() {
  subclass_.reset();
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void AddressBar::SetShownFolder(const std::u16string& folder) {
  // A drive's root keeps its "\" ("C:\"); any other folder is shown without it.
  shown_ = folder.empty() || IsDriveRootPath(folder) ? folder : ExcludeTrailingBackslash(folder);
  SetText(shown_);
}

std::u16string AddressBar::Text() const {
  int n = GetWindowTextLengthW(hwnd_);
  std::vector<wchar_t> buf(static_cast<size_t>(n) + 1, L'\0');
  int got = GetWindowTextW(hwnd_, buf.data(), n + 1);
  return U16(buf.data(), static_cast<size_t>(got > 0 ? got : 0));
}

void AddressBar::SetText(const std::u16string& text) {
  SetWindowTextW(hwnd_, W(text));
  SendMessageW(hwnd_, EM_SETSEL, static_cast<WPARAM>(text.size()), static_cast<LPARAM>(text.size()));
}

void AddressBar::Focus() {
  SetFocus(hwnd_);
  SendMessageW(hwnd_, EM_SETSEL, 0, -1);
}

LRESULT AddressBar::EditMessage(UINT msg, WPARAM wp, bool& handled) {
  if (msg == WM_KEYDOWN) {
    switch (wp) {
      case VK_RETURN:
        handled = true;
        if (OnEnter) OnEnter(Text());
        return 0;
      case VK_ESCAPE:
        handled = true;
        SetText(shown_);
        SendMessageW(hwnd_, EM_SETSEL, 0, -1);
        if (OnEscape) OnEscape();
        return 0;
      case VK_TAB:
        handled = true;
        if (OnTab) OnTab(GetKeyState(VK_SHIFT) < 0);
        return 0;
      default:
        break;
    }
  }
  // Alt+D and F4 in the box itself select its text again, as they do from the panes. Alt+D
  // goes on to the system too, which then knows a key came after the Alt (else the Alt's
  // release would open the window menu and take the keys after it).
  if (msg == WM_SYSKEYDOWN && wp == 'D') {
    Focus();
    return 0;
  }
  if (msg == WM_KEYDOWN && wp == VK_F4) {
    handled = true;
    Focus();
    return 0;
  }
  if (msg == WM_SYSCHAR && (wp == L'd' || wp == L'D')) {
    handled = true;
    return 0;
  }
  // The characters of those keys would only beep.
  if (msg == WM_CHAR && (wp == L'\r' || wp == L'\x1b' || wp == L'\t' || wp == L'\n')) handled = true;
  return 0;
}

}  // namespace tess
