#pragma once
// The rename dialog and the template list editor exist, hidden, for the whole run. Their
// contents come with the rename commands; here they are only the windows.
#include <windows.h>

namespace tess {

class THiddenForm {
 public:
  THiddenForm(HINSTANCE instance, HWND owner, const wchar_t* className, const wchar_t* caption, int width, int height);
  ~THiddenForm();
  THiddenForm(const THiddenForm&) = delete;
  THiddenForm& operator=(const THiddenForm&) = delete;
  HWND Handle() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
};

class TRenameForm : public THiddenForm {
 public:
  TRenameForm(HINSTANCE instance, HWND owner);
};

class TListEditForm : public THiddenForm {
 public:
  TListEditForm(HINSTANCE instance, HWND owner);
};

}  // namespace tess
