#include "app/win/ToolButton.h"

#include <stdexcept>

#include "app/win/ToolImages.h"
#include "platform/UiTexts.h"

namespace tess {

namespace {
constexpr wchar_t kClassName[] = L"TplToolButton";

}  // namespace

ImageButton::ImageButton(HWND parent, int id, HINSTANCE instance, HIMAGELIST normal, HIMAGELIST disabled,
                         int imageIndex)
    : id_(id), normal_(normal), disabled_(disabled), imageIndex_(imageIndex) {
  WNDCLASSEXW wc{};
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kClassName;
  RegisterClassOnce(wc);
  CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 3, width_, height_, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, static_cast<WindowBase*>(this));
  if (!hwnd_) throw EUserError(texts::kErrorControl);
}

ImageButton::~ImageButton() {
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void ImageButton::SetLeftTop(int left, int top) {
  SetWindowPos(hwnd_, nullptr, left, top, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ImageButton::SetMetrics(int width, int height, HIMAGELIST normal, HIMAGELIST disabled) {
  width_ = width;
  height_ = height;
  normal_ = normal;
  disabled_ = disabled;
  SetWindowPos(hwnd_, nullptr, 0, 0, width_, height_, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT ImageButton::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd_, 0};
        TrackMouseEvent(&tme);
        InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return 0;
    case WM_MOUSELEAVE:
      hot_ = false;
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      pressed_ = true;
      SetCapture(hwnd_);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP: {
      bool wasPressed = pressed_;
      pressed_ = false;
      if (GetCapture() == hwnd_) ReleaseCapture();
      InvalidateRect(hwnd_, nullptr, FALSE);
      POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      RECT rc;
      GetClientRect(hwnd_, &rc);
      if (wasPressed && PtInRect(&rc, pt) && IsWindowEnabled(hwnd_))
        SendMessageW(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(id_, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd_));
      return 0;
    }
    case WM_CAPTURECHANGED:
      pressed_ = false;
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_ENABLE:
      hot_ = pressed_ = false;
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    default:
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

void ImageButton::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!dc) return;
  RECT rc;
  GetClientRect(hwnd_, &rc);
  FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  bool enabled = IsWindowEnabled(hwnd_) != FALSE;
  if (enabled && pressed_ && hot_) {
    DrawEdge(dc, &rc, BDR_SUNKENOUTER, BF_RECT);
  } else if (enabled && (hot_ || pressed_)) {
    DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT);
  }
  int offset = (enabled && pressed_ && hot_) ? 1 : 0;
  int cx = kToolImageSize, cy = kToolImageSize;
  ImageList_GetIconSize(normal_, &cx, &cy);
  int x = (rc.right - cx) / 2 + offset;
  int y = (rc.bottom - cy) / 2 + offset;
  ImageList_Draw(enabled ? normal_ : disabled_, imageIndex_, dc, x, y, ILD_TRANSPARENT);
  EndPaint(hwnd_, &ps);
}

}  // namespace tess
