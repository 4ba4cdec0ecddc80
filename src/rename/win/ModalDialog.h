#pragma once
// A dialog of the dialog manager that exists, hidden, for the whole run and is shown
// modally over its owner as often as needed: the owner is disabled, the dialog handles
// Tab, Enter and Esc, and the showing ends with a modal result.
#include <windows.h>

#include <functional>
#include <string>

#include "platform/win/DpiWin.h"
#include "platform/win/WinControls.h"
#include "rename/RenameForms.h"

namespace tess {

class ModalDialog {
 public:
  virtual ~ModalDialog();
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;

  HWND Handle() const { return hwnd_; }
  HWND Owner() const { return GetWindow(hwnd_, GW_OWNER); }
  // Runs BeforeShow, shows the dialog and handles messages until it ends; SaveSettingsOnClose
  // runs on every way of closing. IDOK or IDCANCEL; IDCANCEL at once while already shown.
  int ShowModal();
  bool Showing() const { return showing_; }
  // Ends the showing with this result.
  void EndModal(int result) { modalResult_ = result; }
  // The result the showing ends with; 0 while it goes on.
  int ModalResult() const { return modalResult_; }

  std::u16string Caption() const;
  void SetCaption(const std::u16string& caption);

  // The DPI the dialog lays itself out for.
  int Dpi() const { return scale_.Dpi(); }

  // Called once from inside the modal loop as soon as the dialog is shown.
  std::function<void()> OnShown;

 protected:
  ModalDialog(HINSTANCE instance, HWND owner, const std::u16string& caption, int clientWidth, int clientHeight);

  virtual void BeforeShow() {}
  virtual void SaveSettingsOnClose() {}
  virtual void LayOutControls() {}
  // The first control the keyboard focus goes to at a showing.
  virtual HWND FirstControl() const { return nullptr; }
  // After the first control got the focus at a showing.
  virtual void FirstControlFocused() {}
  // A button click or a control's notification; true when handled.
  virtual bool OnCommand(int id, int code) { return false; }
  // Other dialog messages; set handled to answer them.
  virtual INT_PTR OnDialogMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) { return 0; }
  // The smallest outer size a user or a stored placement can give the dialog (96 DPI).
  virtual SIZE MinimumSize() const { return SIZE{200, 150}; }
  // After the dialog took a new DPI, its font and its size: controls with sizes of their own
  // (columns, images) follow here.
  virtual void DpiChanged() {}

  // Rectangles are design pixels (96 DPI), scaled to the dialog's DPI here.
  HWND CreateControl(const wchar_t* className, const std::u16string& text, DWORD style, DWORD exStyle, int id,
                     const ControlRect& rect);
  void Place(HWND control, const ControlRect& rect);
  // Outer placement from stored values (sizes at 96 DPI, the position the screen's): raised
  // to the minimum size, and brought back to the screen's top-left corner when it would lie
  // wholly off the screen.
  // stored: a placement kept from before, kept where it is (moved onto a monitor when its own
  // is gone); otherwise only the size counts and the dialog is centred over its owner.
  void ApplyPlacement(int top, int left, int height, int width, bool stored = true);
  RECT OuterRect() const;
  // The caption and the borders: outer height less client height, in design pixels.
  int FrameHeight() const;
  // The placement to store: the screen position, the outer size at 96 DPI.
  WindowPlacement StoredPlacement() const;

  HINSTANCE instance_;
  DpiScale scale_;
  GdiFont font_;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  INT_PTR Dispatch(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
  void TakeDpi(int dpi, const RECT* suggested);

  HWND hwnd_ = nullptr;
  bool showing_ = false;
  bool closed_ = false;  // this showing's closing ran (SaveSettingsOnClose)
  int modalResult_ = 0;
};

}  // namespace tess
