#pragma once
// The DPI a window is shown at, and the one small helper every size the program sets goes
// through: designed at 96 DPI, scaled to the window's DPI when applied.
#include <windows.h>

#include <string>

#include "platform/Dpi.h"

namespace tess {

// The window's DPI: its monitor's under per-monitor awareness, the system's otherwise.
// Without a window, the system's.
int WindowDpi(HWND hwnd);

// A window's current DPI with the scaling of its design sizes. It starts at the window's
// DPI and follows WM_DPICHANGED (Set), so that a window moved to another monitor lays
// itself out again at that monitor's scale.
class DpiScale {
 public:
  DpiScale() = default;
  explicit DpiScale(int dpi) : dpi_(dpi > 0 ? dpi : kDesignDpi) {}
  int Dpi() const { return dpi_; }
  void Set(int dpi) { dpi_ = dpi > 0 ? dpi : kDesignDpi; }
  int operator()(int designPixels) const { return ScaleToDpi(designPixels, dpi_); }
  int Unscale(int pixels) const { return UnscaleFromDpi(pixels, dpi_); }

 private:
  int dpi_ = kDesignDpi;
};

// The size text takes in the control's font; {0, 0} when it cannot be measured.
SIZE TextExtent(HWND control, const std::u16string& text);

// The new DPI a WM_DPICHANGED carries.
inline int DpiOfDpiChanged(WPARAM wp) { return static_cast<int>(HIWORD(wp)); }

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

}  // namespace tess
