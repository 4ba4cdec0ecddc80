#pragma once
// Rows of the folder tree and the file list tall enough for their font's descenders and
// underscores (browse/PaneRows.h has the rule).
#include <windows.h>

#include "platform/win/WinControls.h"

namespace tess {

// The tree's item height follows at once. The list (report view) takes its row height from
// the tallest of its font, its icons and its state images: an empty state image list of the
// row's height is what gives it the room, and the caller keeps it for the list's lifetime.
// Call after the panes got their font.
ImageListHandle FitPaneRows(HWND tree, HWND list, int dpi);

// The font's cell height as the controls measure it (height plus external leading).
int FontCellHeight(HWND control);

}  // namespace tess
