#pragma once
// Small owners for the Win32 resources the two panes and the main window hold: nothing is
// released by hand, and a subclassing ends with its owner.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>

namespace tess {

// Owns one handle released by Free; move-only.
template <typename H, auto Free>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(H h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, H{})) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) { reset(); h_ = std::exchange(o.h_, H{}); }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  H get() const { return h_; }
  explicit operator bool() const { return h_ != H{}; }
  void reset(H h = H{}) {
    if (h_ != H{}) Free(h_);
    h_ = h;
  }
  H release() { return std::exchange(h_, H{}); }

 private:
  H h_{};
};

inline void FreeGdiObject(HGDIOBJ h) { DeleteObject(h); }
inline void FreeIcon(HICON h) { DestroyIcon(h); }
inline void FreeImageList(HIMAGELIST h) { ImageList_Destroy(h); }
inline void FreeFind(HANDLE h) { FindClose(h); }
inline void FreeWindow(HWND h) { DestroyWindow(h); }

using GdiFont = UniqueHandle<HFONT, FreeGdiObject>;
using GdiBitmap = UniqueHandle<HBITMAP, FreeGdiObject>;
using GdiBrush = UniqueHandle<HBRUSH, FreeGdiObject>;
using IconHandle = UniqueHandle<HICON, FreeIcon>;
using ImageListHandle = UniqueHandle<HIMAGELIST, FreeImageList>;
using FindHandle = UniqueHandle<HANDLE, FreeFind>;
using WindowHandleOwner = UniqueHandle<HWND, FreeWindow>;

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

// The hourglass while a long step runs.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_ ? previous_ : LoadCursorW(nullptr, IDC_ARROW)); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

// Painting suspended while nodes or rows change; nests.
class RedrawSuspender {
 public:
  explicit RedrawSuspender(HWND hwnd) : hwnd_(hwnd) { SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0); }
  ~RedrawSuspender() {
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  RedrawSuspender(const RedrawSuspender&) = delete;
  RedrawSuspender& operator=(const RedrawSuspender&) = delete;

 private:
  HWND hwnd_;
};

// A font of the given pixel height and face, in the Shift-JIS character set.
GdiFont MakeFont(const wchar_t* face, int pixelHeight);

// True when path names an existing folder.
bool FolderExists(const std::u16string& path);
// True when a find-first on the exact path succeeds (files and folders, hidden or not).
bool EntryExists(const std::u16string& path);

// Handles pending messages so that input is processed inside long enumeration loops.
void YieldToMessageQueue();

// Sounds the system's default beep: how user-level failures are reported.
void DefaultBeep();

}  // namespace tess
