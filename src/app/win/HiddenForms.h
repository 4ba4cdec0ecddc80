#pragma once
// The rename dialog and the template list editor exist, hidden, for the whole run. Their
// contents come with the rename commands; here they are only the windows.
#include <windows.h>

#include "browse/win/WinControls.h"

namespace tess {

class THiddenForm : public WindowBase {
 public:
  THiddenForm(HINSTANCE instance, HWND owner, const wchar_t* className, const wchar_t* caption, int width, int height);
  ~THiddenForm() override;
  THiddenForm(const THiddenForm&) = delete;
  THiddenForm& operator=(const THiddenForm&) = delete;

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
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
