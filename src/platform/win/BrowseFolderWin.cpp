#include "platform/win/BrowseFolderWin.h"

#include <commctrl.h>
#include <shlobj.h>

#include "platform/Locale.h"
#include "platform/win/WinHandles.h"
#include "platform/win/WinText.h"

namespace tess {
namespace {

constexpr int kTreeControlId = 14145;

struct IdListFree {
  LPITEMIDLIST p = nullptr;
  ~IdListFree() {
    if (p) CoTaskMemFree(p);
  }
};

LPITEMIDLIST GetFolderIDList(IShellFolder* desktop, HWND appWindow, const std::u16string& path, SpecialFolder dir) {
  LPITEMIDLIST list = nullptr;
  if (dir != SpecialFolder::sfNone) {
    if (FAILED(SHGetSpecialFolderLocation(appWindow, SpecialDirCsidl(dir), &list))) return nullptr;
    return list;
  }
  if (path.empty()) {
    if (FAILED(SHGetSpecialFolderLocation(appWindow, 0, &list))) return nullptr;
    return list;
  }
  std::u16string text = path;
  ULONG eaten = 0;
  if (FAILED(desktop->ParseDisplayName(appWindow, nullptr, W(text), &eaten, &list, nullptr))) return nullptr;
  return list;
}

}  // namespace

bool BrowseFolderDialog::Execute() {
  directory_.clear();
  folderName_.clear();
  ComRef<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Out())) || !desktop) {
    handle_ = nullptr;
    return false;
  }
  HWND appWindow = owner_;
  IdListFree root{GetFolderIDList(desktop.get(), appWindow, RootDir, RootSpecialDir)};
  IdListFree init{GetFolderIDList(desktop.get(), appWindow, InitDir, InitSpecialDir)};
  if (!root.p || !init.p) {
    handle_ = nullptr;
    return false;
  }
  initList_ = init.p;
  // The owner is watched while the picker runs, to place the picker when it first takes the
  // activation and to remember its rectangle when it gives it back.
  bool hooked = owner_ && SetWindowSubclass(owner_, &BrowseFolderDialog::OwnerWindowProc, 1,
                                            reinterpret_cast<DWORD_PTR>(this));
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = owner_;
  info.pidlRoot = root.p;
  info.pszDisplayName = displayName;
  info.lpszTitle = Title.empty() ? nullptr : W(Title);
  info.ulFlags = BrowseFlags(Options);
  info.lpfn = &BrowseFolderDialog::BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(this);
  info.iImage = 0;
  UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  LPITEMIDLIST chosen = nullptr;
  try {
    chosen = SHBrowseForFolderW(&info);
  } catch (...) {
    chosen = nullptr;
  }
  handle_ = nullptr;
  positioned_ = false;
  initList_ = nullptr;
  SetErrorMode(previousMode);
  if (hooked) RemoveWindowSubclass(owner_, &BrowseFolderDialog::OwnerWindowProc, 1);
  if (!chosen) return false;
  IdListFree result{chosen};
  STRRET name{};
  if (SUCCEEDED(desktop->GetDisplayNameOf(chosen, SHGDN_FORPARSING, &name))) {
    switch (name.uType) {
      case STRRET_WSTR:
        directory_ = U16(name.pOleStr);
        CoTaskMemFree(name.pOleStr);
        break;
      case STRRET_OFFSET:
        directory_ = CurrentLocale().DecodeAnsi(reinterpret_cast<const char*>(chosen) + name.uOffset);
        break;
      case STRRET_CSTR:
        directory_ = CurrentLocale().DecodeAnsi(name.cStr);
        break;
      default:
        break;
    }
  }
  folderName_ = U16(displayName);
  return true;
}

int CALLBACK BrowseFolderDialog::BrowseCallback(HWND wnd, UINT msg, LPARAM param, LPARAM data) {
  auto* self = reinterpret_cast<BrowseFolderDialog*>(data);
  if (!self) return 0;
  if (msg == BFFM_INITIALIZED) {
    if (self->initList_) SendMessageW(wnd, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(self->initList_));
    if (!self->handle_) self->handle_ = wnd;
    if (self->OnShow) self->OnShow(*self);
  } else if (msg == BFFM_SELCHANGED) {
    if (!self->handle_) self->handle_ = wnd;
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(reinterpret_cast<LPCITEMIDLIST>(param), path)) path[0] = 0;
    if (self->OnSelectionChanged) {
      bool okEnabled = IsWindowEnabled(GetDlgItem(wnd, IDOK)) != FALSE;
      std::u16string status;
      self->OnSelectionChanged(*self, wnd, U16(path), status, okEnabled);
      SendMessageW(wnd, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(W(status)));
      PostMessageW(wnd, BFFM_ENABLEOK, 0, okEnabled ? 1 : 0);
    }
  }
  return 0;
}

LRESULT CALLBACK BrowseFolderDialog::OwnerWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
  auto* self = reinterpret_cast<BrowseFolderDialog*>(data);
  if (msg == WM_ACTIVATE && self && self->handle_) {
    auto other = reinterpret_cast<HWND>(lp);
    if (LOWORD(wp) == WA_INACTIVE) {
      if (other == self->handle_ && !self->positioned_) {
        self->positioned_ = true;
        self->PositionDialog();
      }
    } else if (other == self->handle_ && self->positioned_) {
      self->positioned_ = false;
      RECT rc;
      if (GetWindowRect(self->handle_, &rc)) {
        self->FormLeft = rc.left;
        self->FormTop = rc.top;
        self->formWidth_ = rc.right - rc.left;
        self->formHeight_ = rc.bottom - rc.top;
      }
    }
  }
  return result;
}

void BrowseFolderDialog::PositionDialog() {
  HWND dlg = handle_;
  if (!dlg) return;
  if (!Caption.empty()) SetWindowTextW(dlg, W(Caption));
  formWidth_ = BrowseWidth(formWidth_);
  formHeight_ = BrowseHeight(formHeight_);
  BrowsePlacement p = PlaceBrowseDialog(FormLeft, FormTop, formWidth_, formHeight_, GetSystemMetrics(SM_CXSCREEN),
                                        GetSystemMetrics(SM_CYSCREEN));
  const UINT flags = SWP_NOZORDER | SWP_SHOWWINDOW;
  SetWindowPos(dlg, nullptr, p.left, p.top, p.width, p.height, flags);
  if (Options.Has(BrowseOption::bifNewDialogStyle)) return;
  // The classic picker's controls do not follow its size: lay them out by hand.
  HWND tree = GetDlgItem(dlg, kTreeControlId), ok = GetDlgItem(dlg, IDOK), cancel = GetDlgItem(dlg, IDCANCEL);
  RECT okRect{}, dlgRect{}, treeRect{};
  if (!ok || !GetWindowRect(ok, &okRect) || !GetWindowRect(dlg, &dlgRect)) return;
  int w = okRect.right - okRect.left, h = okRect.bottom - okRect.top;
  if (tree && GetWindowRect(tree, &treeRect))
    SetWindowPos(tree, nullptr, 0, 0, p.width - 32, dlgRect.bottom - h - treeRect.top - 18,
                 flags | SWP_NOMOVE);
  SetWindowPos(ok, nullptr, p.width - 2 * w - 25, p.height - h - 35, 0, 0, flags | SWP_NOSIZE);
  if (cancel) SetWindowPos(cancel, nullptr, p.width - 2 * w - 25 + w + 5, p.height - h - 35, 0, 0, flags | SWP_NOSIZE);
}

}  // namespace tess
