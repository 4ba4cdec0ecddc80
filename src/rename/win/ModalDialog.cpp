#include "rename/win/ModalDialog.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/ScopeExit.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "platform/win/AppMessages.h"
#include "platform/win/WinText.h"
#include "rename/DialogPlacement.h"

namespace tess {

namespace {

// Enter on a focused push button presses that button, as on Windows. Wine's dialog manager
// presses the default button instead, which would turn a second "テスト" into a real move.
bool PressFocusedButton(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN) return false;
  HWND focus = GetFocus();
  if (!focus || focus != msg.hwnd || !IsWindowEnabled(focus)) return false;
  wchar_t cls[16] = {};
  if (!GetClassNameW(focus, cls, 16) || lstrcmpiW(cls, L"Button") != 0) return false;
  LONG type = GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK;
  if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return false;
  SendMessageW(focus, BM_CLICK, 0, 0);
  return true;
}

}  // namespace

namespace {


// A dialog template without controls: the dialog creates its controls itself, in pixels.
std::vector<WORD> DialogTemplate(DWORD style) {
  std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
  auto* t = reinterpret_cast<DLGTEMPLATE*>(words.data());
  t->style = style;
  t->dwExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  t->cdit = 0;
  words.push_back(0);  // no menu
  words.push_back(0);  // the dialog class
  words.push_back(0);  // no title: set once created
  return words;
}

// The dialogs' Tahoma, 11 pixels high at 96 DPI; Japanese text comes from the system's
// linked fonts.
GdiFont DialogFont(const DpiScale& scale) { return MakeFont(L"Tahoma", scale(11), DEFAULT_CHARSET); }

}  // namespace

ModalDialog::ModalDialog(HINSTANCE instance, HWND owner, const std::u16string& caption, int clientWidth,
                       int clientHeight)
    : instance_(instance) {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME;
  std::vector<WORD> words = DialogTemplate(style);
  // The dialog procedure receives `this` with WM_INITDIALOG; its controls come after.
  hwnd_ = CreateDialogIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(words.data()), owner,
                                     &ModalDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  if (!hwnd_) throw EUserError(texts::kErrorWindow);
  scale_.Set(WindowDpi(hwnd_));
  font_ = DialogFont(scale_);
  SetCaption(caption);
  if (font_) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  RECT rc{0, 0, scale_(clientWidth), scale_(clientHeight)};
  AdjustWindowRectEx(&rc, style, FALSE, WS_EX_DLGMODALFRAME);
  // Placed when first shown: over its owner until a placement is stored.
  SetWindowPos(hwnd_, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

ModalDialog::~ModalDialog() {
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

std::u16string ModalDialog::Caption() const {
  int length = GetWindowTextLengthW(hwnd_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd_, text.data(), length + 1)));
  return U16(text);
}

void ModalDialog::SetCaption(const std::u16string& caption) { SetWindowTextW(hwnd_, W(caption)); }

HWND ModalDialog::CreateControl(const wchar_t* className, const std::u16string& text, DWORD style, DWORD exStyle,
                               int id, const ControlRect& rect) {
  HWND control = CreateWindowExW(exStyle, className, W(text), WS_CHILD | WS_VISIBLE | style, scale_(rect.left),
                                 scale_(rect.top), scale_(rect.width), scale_(rect.height), hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 instance_, nullptr);
  if (!control) throw EUserError(texts::kErrorControl);
  if (font_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  return control;
}

void ModalDialog::Place(HWND control, const ControlRect& rect) {
  SetWindowPos(control, nullptr, scale_(rect.left), scale_(rect.top), scale_(rect.width), scale_(rect.height),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

WindowPlacement ModalDialog::StoredPlacement() const {
  RECT rc = OuterRect();
  return {rc.top, rc.left, scale_.Unscale(rc.bottom - rc.top), scale_.Unscale(rc.right - rc.left)};
}

void ModalDialog::TakeDpi(int dpi, const RECT* suggested) {
  if (dpi <= 0 || dpi == scale_.Dpi()) return;
  scale_.Set(dpi);
  GdiFont font = DialogFont(scale_);
  if (font) {
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    font_ = std::move(font);
  }
  DpiChanged();
  if (suggested)
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOutControls();
}

int ModalDialog::FrameHeight() const {
  RECT outer = OuterRect(), client{};
  GetClientRect(hwnd_, &client);
  return scale_.Unscale((outer.bottom - outer.top) - client.bottom);
}

RECT ModalDialog::OuterRect() const {
  RECT rc{};
  GetWindowRect(hwnd_, &rc);
  return rc;
}

void ModalDialog::ApplyPlacement(int top, int left, int height, int width, bool stored) {
  SIZE minimum = MinimumSize();
  if (width < minimum.cx) width = minimum.cx;
  if (height < minimum.cy) height = minimum.cy;
  RECT screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
              GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
              GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  // Scaled up on a small screen, a dialog is never larger than the screen.
  width = scale_(width);
  height = scale_(height);
  if (screen.right > screen.left && screen.bottom > screen.top) {
    width = std::min(width, static_cast<int>(screen.right - screen.left));
    height = std::min(height, static_cast<int>(screen.bottom - screen.top));
  }
  std::vector<ScreenRect> areas;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        if (GetMonitorInfoW(monitor, &info))
          reinterpret_cast<std::vector<ScreenRect>*>(data)->push_back(
              ScreenRect{info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&areas));
  if (areas.empty()) areas.push_back(ScreenRect{screen.left, screen.top, screen.right, screen.bottom});
  // Without a visible owner the dialog is centred on the first monitor.
  RECT owner{};
  HWND ownerWindow = Owner();
  ScreenRect over = areas.front();
  if (ownerWindow && IsWindowVisible(ownerWindow) && GetWindowRect(ownerWindow, &owner))
    over = ScreenRect{owner.left, owner.top, owner.right, owner.bottom};
  std::optional<ScreenRect> kept;
  if (stored) kept = ScreenRect{left, top, left + width, top + height};
  ScreenRect placed = PlaceDialog(kept, width, height, over, areas);
  SetWindowPos(hwnd_, nullptr, placed.left, placed.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

int ModalDialog::ShowModal() {
  if (showing_) return IDCANCEL;
  showing_ = true;
  closed_ = false;
  modalResult_ = 0;
  HWND owner = Owner();
  bool enableOwner = false;
  ScopeExit restore([&] {
    // The owner is enabled before the dialog hides, so that it is activated again.
    if (enableOwner) EnableWindow(owner, TRUE);
    ShowWindow(hwnd_, SW_HIDE);
    if (owner && IsWindow(owner) && IsWindowVisible(owner)) SetActiveWindow(owner);
    showing_ = false;
  });

  // A hidden dialog is told of no monitor change: it takes its monitor's DPI as it shows.
  TakeDpi(WindowDpi(hwnd_), nullptr);
  BeforeShow();
  if (owner && IsWindowEnabled(owner)) {
    EnableWindow(owner, FALSE);
    enableOwner = true;
  }
  ShowWindow(hwnd_, SW_SHOW);
  SetActiveWindow(hwnd_);
  if (HWND first = FirstControl()) {
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
    FirstControlFocused();
  }
  if (OnShown) PostMessageW(hwnd_, kFormShownMessage, 0, 0);

  // The dialog goes with its owner: a main window closed meanwhile ends the showing too.
  while (!modalResult_ && IsWindow(hwnd_)) {
    MSG msg;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // The program is ending: close as the close box would, and let the outer loop end too.
      PostQuitMessage(static_cast<int>(msg.wParam));
      modalResult_ = IDCANCEL;
      break;
    }
    if (got < 0) {
      modalResult_ = IDCANCEL;
      break;
    }
    if (PressFocusedButton(msg)) continue;
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (!closed_) SaveSettingsOnClose();
  closed_ = true;
  return modalResult_ ? modalResult_ : IDCANCEL;
}

INT_PTR CALLBACK ModalDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* self = reinterpret_cast<ModalDialog*>(lp);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, DWLP_USER, lp);
    return FALSE;
  }
  auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!self) return FALSE;
  bool handled = false;
  INT_PTR result = 0;
  try {
    result = self->Dispatch(msg, wp, lp, handled);
  } catch (const std::exception& e) {
    // The command ends; the dialog stays usable.
    MessageBoxW(hwnd, W(UserErrorText(e)), W(texts::kAppTitle), MB_OK | MB_ICONERROR);
    handled = true;
  }
  if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, DWLP_USER, 0);
  return handled ? result : FALSE;
}

INT_PTR ModalDialog::Dispatch(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  switch (msg) {
    case kFormShownMessage:
      handled = true;
      if (showing_ && OnShown) OnShown();
      return TRUE;
    case WM_SIZE:
      LayOutControls();
      return FALSE;  // the dialog manager's own handling goes on
    case WM_DPICHANGED:
      TakeDpi(DpiOfDpiChanged(wp), reinterpret_cast<const RECT*>(lp));
      handled = true;
      return TRUE;
    case WM_GETMINMAXINFO: {
      SIZE minimum = MinimumSize();
      auto* info = reinterpret_cast<MINMAXINFO*>(lp);
      info->ptMinTrackSize.x = scale_(minimum.cx);
      info->ptMinTrackSize.y = scale_(minimum.cy);
      handled = true;
      return TRUE;
    }
    case WM_DESTROY:
      // Destroyed while shown (its owner closed): the closing stores what it stores now,
      // while the controls still hold the lists and selections.
      if (showing_ && !closed_) {
        closed_ = true;
        SaveSettingsOnClose();
      }
      return FALSE;
    case WM_CLOSE:
      // The close box does what Esc and the cancel button do (a dialog may refuse it then).
      handled = true;
      if (!OnCommand(IDCANCEL, BN_CLICKED) && showing_) EndModal(IDCANCEL);
      return TRUE;
    case WM_COMMAND:
      if (OnCommand(LOWORD(wp), HIWORD(wp))) {
        handled = true;
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK) {
        handled = true;
        if (showing_) EndModal(LOWORD(wp));
        return TRUE;
      }
      return FALSE;
    default:
      return OnDialogMessage(msg, wp, lp, handled);
  }
}

}  // namespace tess
