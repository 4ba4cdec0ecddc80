#pragma once
// The address bar above the file list: an edit box that shows the shown folder's path and
// takes a typed or pasted one. Enter hands its text over; Esc puts the shown path back. The
// path rules themselves are portable (browse/AddressPath.h).
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/win/WinControls.h"

namespace tess {

class AddressBar {
 public:
  AddressBar(HWND parent, int id, HINSTANCE instance);
  ~AddressBar();
  AddressBar(const AddressBar&) = delete;
  AddressBar& operator=(const AddressBar&) = delete;

  HWND Handle() const { return hwnd_; }
  // The folder the panes show (ending in "\"), shown as Explorer shows it.
  void SetShownFolder(const std::u16string& folder);
  const std::u16string& ShownText() const { return shown_; }
  std::u16string Text() const;
  void SetText(const std::u16string& text);
  // Into the box with its whole text selected, as Alt+D does in Explorer.
  void Focus();
  // Whether the system's path completion is attached (Wine may not offer it).
  bool Completes() const { return completes_; }

  // Enter: the text as typed.
  std::function<void(const std::u16string& text)> OnEnter;
  // Esc after the shown path is back: the focus may go back to the panes.
  std::function<void()> OnEscape;
  // Tab and Shift+Tab (backwards).
  std::function<void(bool backwards)> OnTab;

 private:
  LRESULT EditMessage(UINT msg, WPARAM wp, bool& handled);

  HWND hwnd_ = nullptr;
  std::u16string shown_;
  bool completes_ = false;
  std::unique_ptr<SubclassGuard> subclass_;
};

}  // namespace tess
