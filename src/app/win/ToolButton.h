#pragma once
// A flat tool button with a normal and a disabled picture. It never takes the keyboard
// focus, as a toolbar's buttons do not: the commands ask which pane has the focus.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/win/WinControls.h"

namespace tess {

class ImageButton : public WindowBase {
 public:
  ImageButton(HWND parent, int id, HINSTANCE instance, HIMAGELIST normal, HIMAGELIST disabled, int imageIndex);
  ~ImageButton() override;
  ImageButton(const ImageButton&) = delete;
  ImageButton& operator=(const ImageButton&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeftTop(int left, int top);
  // A new size and pictures (the window's DPI changed); the lists outlive the button.
  void SetMetrics(int width, int height, HIMAGELIST normal, HIMAGELIST disabled);
  void SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
  bool Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
  void SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void Paint();

  int id_;
  HIMAGELIST normal_, disabled_;
  int imageIndex_;
  int width_ = 40, height_ = 34;
  bool hot_ = false, pressed_ = false;
};

}  // namespace tess
