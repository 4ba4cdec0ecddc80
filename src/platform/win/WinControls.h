#pragma once
// Small owners for the Win32 resources the windows hold: nothing is released by hand, and a
// subclassing ends with its owner. Also the one window procedure every window class of the
// program goes through, fonts and the input method of a control.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Shell.h"
#include "platform/win/WinHandles.h"

namespace tess {

inline void FreeGdiObject(HGDIOBJ h) { DeleteObject(h); }
inline void FreeIcon(HICON h) { DestroyIcon(h); }
inline void FreeImageList(HIMAGELIST h) { ImageList_Destroy(h); }

using GdiFont = UniqueHandle<HFONT, FreeGdiObject>;
using GdiBitmap = UniqueHandle<HBITMAP, FreeGdiObject>;
using GdiBrush = UniqueHandle<HBRUSH, FreeGdiObject>;
using IconHandle = UniqueHandle<HICON, FreeIcon>;
using ImageListHandle = UniqueHandle<HIMAGELIST, FreeImageList>;

// A window of a class of our own: the one window procedure fetches the object at
// WM_NCCREATE (passed as the creation parameter) and forwards every message to OnMessage;
// the object lets go of the window at WM_NCDESTROY.
class WindowBase {
 public:
  WindowBase() = default;
  virtual ~WindowBase() = default;
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;
  HWND Handle() const { return hwnd_; }

 protected:
  // Registers the class once per process with the shared window procedure.
  static void RegisterClassOnce(WNDCLASSEXW wc);
  virtual LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) = 0;
  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

// Replaces a control's window procedure for the guard's lifetime (comctl32 subclassing).
class SubclassGuard {
 public:
  using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool& handled)>;
  SubclassGuard() = default;
  SubclassGuard(HWND hwnd, Handler handler);
  ~SubclassGuard();
  SubclassGuard(const SubclassGuard&) = delete;
  SubclassGuard& operator=(const SubclassGuard&) = delete;

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  HWND hwnd_ = nullptr;
  Handler handler_;
};

// The hourglass while a long step runs. The next mouse move would put the arrow back, so
// the windows ask ShowsWait on WM_SETCURSOR and keep the hourglass until the outermost
// step ends.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  // True (and the hourglass set) while any step runs: the answer to WM_SETCURSOR.
  static bool ShowsWait();

 private:
  HCURSOR previous_;
};

// Painting suspended while nodes or rows change. Nests: only the outermost suspender of a
// window turns painting on again and repaints.
class RedrawSuspender {
 public:
  explicit RedrawSuspender(HWND hwnd);
  ~RedrawSuspender();
  RedrawSuspender(const RedrawSuspender&) = delete;
  RedrawSuspender& operator=(const RedrawSuspender&) = delete;

 private:
  HWND hwnd_;
};

// A font of the given pixel height and face, in the Shift-JIS character set unless told.
GdiFont MakeFont(const wchar_t* face, int pixelHeight, BYTE charSet = SHIFTJIS_CHARSET);

// True when path names an existing folder.
bool FolderExists(const std::u16string& path);

// Sounds the system's default beep: how user-level failures are reported.
void DefaultBeep();

// The window the shell's operations belong to: the top-level window of a control.
WindowHandle AppWindowOf(HWND control);

// A shell file operation the user cancelled (in a question of the shell or its progress).
bool FileOperationCancelled(const FileOperationResult& result);
// The text for a failed shell file operation: the shell's own codes by their meaning, any
// other code by the system's message.
std::u16string FileOperationErrorText(int code);

// The input method of a control: opened in Hiragana mode for typing a name, or closed.
void OpenImeHiragana(HWND hwnd);
void CloseIme(HWND hwnd);

}  // namespace tess
