#include "platform/win/WinControls.h"

#include <imm.h>
#include <shlobj.h>

#include <map>
#include <stdexcept>

#include "platform/UiTexts.h"
#include "platform/win/WinText.h"

namespace tess {

void WindowBase::RegisterClassOnce(WNDCLASSEXW wc) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing)) return;
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &WindowBase::WindowProc;
  if (!RegisterClassExW(&wc)) throw EUserError(texts::kErrorWindow);
}

LRESULT CALLBACK WindowBase::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    if (self) {
      self->hwnd_ = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  }
  auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    LRESULT r = self->OnMessage(msg, wp, lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return r;
  }
  return self->OnMessage(msg, wp, lp);
}

SubclassGuard::SubclassGuard(HWND hwnd, Handler handler) : hwnd_(hwnd), handler_(std::move(handler)) {
  // Each guard its own id: a second guard on the same control must not replace the first.
  if (!SetWindowSubclass(hwnd_, &SubclassGuard::Proc, reinterpret_cast<UINT_PTR>(this),
                         reinterpret_cast<DWORD_PTR>(this)))
    hwnd_ = nullptr;
}

SubclassGuard::~SubclassGuard() {
  if (hwnd_) RemoveWindowSubclass(hwnd_, &SubclassGuard::Proc, reinterpret_cast<UINT_PTR>(this));
}

LRESULT CALLBACK SubclassGuard::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<SubclassGuard*>(data);
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &SubclassGuard::Proc, reinterpret_cast<UINT_PTR>(self));
    self->hwnd_ = nullptr;
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  bool handled = false;
  LRESULT r = self->handler_ ? self->handler_(hwnd, msg, wp, lp, handled) : 0;
  return handled ? r : DefSubclassProc(hwnd, msg, wp, lp);
}

namespace {
int waitDepth = 0;
std::map<HWND, int>& RedrawDepths() {
  static std::map<HWND, int> depths;
  return depths;
}
}  // namespace

WaitCursor::WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) { ++waitDepth; }

WaitCursor::~WaitCursor() {
  if (--waitDepth == 0) SetCursor(previous_ ? previous_ : LoadCursorW(nullptr, IDC_ARROW));
}

bool WaitCursor::ShowsWait() {
  if (waitDepth <= 0) return false;
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  return true;
}

RedrawSuspender::RedrawSuspender(HWND hwnd) : hwnd_(hwnd) {
  if (RedrawDepths()[hwnd_]++ == 0) SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
}

RedrawSuspender::~RedrawSuspender() {
  auto& depths = RedrawDepths();
  auto it = depths.find(hwnd_);
  if (it == depths.end() || --it->second > 0) return;
  depths.erase(it);
  if (!IsWindow(hwnd_)) return;
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

GdiFont MakeFont(const wchar_t* face, int pixelHeight, BYTE charSet) {
  LOGFONTW lf{};
  lf.lfHeight = -pixelHeight;
  lf.lfCharSet = charSet;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  return GdiFont(CreateFontIndirectW(&lf));
}

bool FolderExists(const std::u16string& path) {
  if (path.empty()) return false;
  DWORD attr = GetFileAttributesW(W(path));
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void DefaultBeep() { MessageBeep(0); }

WindowHandle AppWindowOf(HWND control) {
  HWND root = GetAncestor(control, GA_ROOT);
  return reinterpret_cast<WindowHandle>(root ? root : control);
}

bool FileOperationCancelled(const FileOperationResult& result) {
  // ERROR_CANCELLED, and the shell's own DE_OPCANCELLED.
  return result.returnValue == ERROR_CANCELLED || result.returnValue == 0x75 ||
         (result.fAnyOperationsAborted && result.returnValue == 0);
}

std::u16string FileOperationErrorText(int code) {
  // The shell answers some failures with codes of its own, which the system's message
  // table would misread as unrelated errors.
  switch (code) {
    case 0x71: return texts::kShellSameFile;
    case 0x72: case 0x73: case 0x7A: case 0x7C: return texts::kShellInvalidPath;
    case 0x74: return texts::kShellRootFolder;
    case 0x76: case 0x7D: return texts::kShellIntoSubfolder;
    case 0x78: return SystemErrorMessage(ERROR_ACCESS_DENIED);
    case 0x79: case 0x81: return SystemErrorMessage(ERROR_FILENAME_EXCED_RANGE);
    case 0x7E: case 0x80: return SystemErrorMessage(ERROR_ALREADY_EXISTS);
    case 0x82: case 0x83: case 0x84: case 0x85: case 0x86: case 0x87: case 0x88:
      return SystemErrorMessage(ERROR_WRITE_PROTECT);
    case 0xB7: return SystemErrorMessage(ERROR_ALREADY_EXISTS);
    case 0x402: return texts::kShellPathNotFound;
    case 0x10000: return texts::kShellUnknownDestination;
    default: return SystemErrorMessage(static_cast<unsigned long>(code));
  }
}

void OpenImeHiragana(HWND hwnd) {
  HIMC context = ImmGetContext(hwnd);
  if (!context) return;
  ImmSetOpenStatus(context, TRUE);
  DWORD conversion = 0, sentence = 0;
  ImmGetConversionStatus(context, &conversion, &sentence);
  conversion = (conversion & ~static_cast<DWORD>(IME_CMODE_KATAKANA)) | IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE;
  ImmSetConversionStatus(context, conversion, sentence);
  ImmReleaseContext(hwnd, context);
}

void CloseIme(HWND hwnd) {
  HIMC context = ImmGetContext(hwnd);
  if (!context) return;
  ImmSetOpenStatus(context, FALSE);
  ImmReleaseContext(hwnd, context);
}

}  // namespace tess
