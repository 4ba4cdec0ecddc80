#include "browse/win/PaneRowsWin.h"

#include <commctrl.h>

#include "browse/PaneRows.h"

namespace tess {

int FontCellHeight(HWND control) {
  HDC dc = GetDC(control);
  if (!dc) return 0;
  auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  TEXTMETRICW tm{};
  int height = GetTextMetricsW(dc, &tm) ? tm.tmHeight + tm.tmExternalLeading : 0;
  if (previous) SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return height;
}

ImageListHandle FitPaneRows(HWND tree, HWND list, int dpi) {
  const int icon = GetSystemMetrics(SM_CYSMICON);
  if (tree) {
    int rows = PaneRowHeight(FontCellHeight(tree), icon, dpi);
    // The tree view wants an even height unless told otherwise.
    if (rows % 2) ++rows;
    TreeView_SetItemHeight(tree, rows);
  }
  ImageListHandle spacer;
  if (list) {
    // One pixel wide: a row reserves the state image's width in its first column.
    spacer = ImageListHandle(ImageList_Create(1, PaneRowHeight(FontCellHeight(list), icon, dpi) - 1, ILC_COLOR32, 0, 1));
    if (spacer) ListView_SetImageList(list, spacer.get(), LVSIL_STATE);
  }
  return spacer;
}

}  // namespace tess
