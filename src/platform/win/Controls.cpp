#include "platform/win/Controls.h"

#include <algorithm>

#include "platform/win/WinText.h"

namespace tess {

std::u16string WindowText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
  return U16(text);
}

int ComboSelection(HWND combo) {
  LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? -1 : static_cast<int>(index);
}

std::vector<std::u16string> ComboItems(HWND combo) {
  std::vector<std::u16string> items;
  LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length == CB_ERR) {
      items.emplace_back();
      continue;
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<size_t>(got));
    items.push_back(U16(text));
  }
  return items;
}

bool FillCombo(HWND combo, const std::vector<std::u16string>& items, int index) {
  SendMessageW(combo, WM_SETREDRAW, FALSE, 0);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  bool filled = true;
  for (const std::u16string& item : items) {
    if (SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item))) < 0) {
      filled = false;
      break;
    }
  }
  const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index >= 0 && index < count ? index : -1), 0);
  SendMessageW(combo, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(combo, nullptr, TRUE);
  return filled;
}

std::u16string ComboExItemText(HWND combo, int index) {
  wchar_t buffer[MAX_PATH + 8] = {};
  COMBOBOXEXITEMW item{};
  item.mask = CBEIF_TEXT;
  item.iItem = index;
  item.pszText = buffer;
  item.cchTextMax = MAX_PATH + 7;
  if (!SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return {};
  return U16(buffer);
}

std::vector<std::u16string> ComboExItems(HWND combo) {
  std::vector<std::u16string> texts;
  LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) texts.push_back(ComboExItemText(combo, static_cast<int>(i)));
  return texts;
}

std::u16string ComboExSelectedText(HWND combo) {
  int selected = ComboSelection(combo);
  return selected < 0 ? std::u16string() : ComboExItemText(combo, selected);
}

bool AddListColumn(HWND list, int index, const std::u16string& caption, int width, bool alignRight) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
  column.pszText = const_cast<wchar_t*>(W(caption));
  column.cx = width;
  column.fmt = alignRight ? LVCFMT_RIGHT : LVCFMT_LEFT;
  column.iSubItem = index;
  return ListView_InsertColumn(list, index, &column) >= 0;
}

std::u16string ListCellText(HWND list, int row, int column) {
  wchar_t buffer[512] = {};
  ListView_GetItemText(list, row, column, buffer, static_cast<int>(std::size(buffer)) - 1);
  return U16(buffer);
}

namespace {

// A little inside the item's label and under it, as Explorer opens it.
POINT MenuPointUnder(HWND control, const RECT& label) {
  POINT pt{label.left + 8, label.bottom};
  ClientToScreen(control, &pt);
  return pt;
}

}  // namespace

POINT ListMenuPoint(HWND list) {
  RECT rc{};
  int row = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
  if (row < 0 || !ListView_GetItemRect(list, row, &rc, LVIR_LABEL)) rc = RECT{0, 0, 0, 0};
  return MenuPointUnder(list, rc);
}

POINT TreeMenuPoint(HWND tree) {
  RECT rc{};
  HTREEITEM node = TreeView_GetSelection(tree);
  if (!node || !TreeView_GetItemRect(tree, node, &rc, TRUE)) rc = RECT{0, 0, 0, 0};
  return MenuPointUnder(tree, rc);
}

bool Splitter::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  const POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  switch (msg) {
    case WM_SETCURSOR: {
      if (reinterpret_cast<HWND>(wp) != owner_) return false;
      POINT cursor;
      GetCursorPos(&cursor);
      ScreenToClient(owner_, &cursor);
      RECT bar = callbacks_.bar();
      if (!PtInRect(&bar, cursor)) return false;
      SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
      result = TRUE;
      return true;
    }
    case WM_LBUTTONDOWN: {
      RECT bar = callbacks_.bar();
      if (!PtInRect(&bar, pt)) return false;
      dragging_ = true;
      grabOffset_ = pt.x - callbacks_.position();
      SetCapture(owner_);
      result = 0;
      return true;
    }
    case WM_MOUSEMOVE: {
      if (!dragging_) return false;
      int low = 0, high = 0;
      callbacks_.limits(low, high);
      // The lower limit wins: in a window too narrow for both, the first pane stays.
      int x = std::min(static_cast<int>(pt.x) - grabOffset_, high);
      x = std::max(x, low);
      callbacks_.moveTo(x);
      result = 0;
      return true;
    }
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (!dragging_) return false;
      dragging_ = false;
      if (msg == WM_LBUTTONUP) ReleaseCapture();
      result = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace tess
