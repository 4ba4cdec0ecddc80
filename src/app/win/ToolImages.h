#pragma once
// The tool button pictures, drawn in code: each is painted four times larger with GDI
// and reduced with area averaging, which gives smooth edges and an alpha channel.
#include <windows.h>
#include <commctrl.h>

#include "platform/win/WinControls.h"

namespace tess {

// The ten buttons' pictures, then the view button's two (the list's current view).
enum class ToolImage { RootFolder, Up, Rename, Copy, Paste, Delete, NewFolder, Refresh, Eject, ExifRename, Thumbnails, Details, Count };

// The pictures' size at 96 DPI; drawn afresh at the size a window's DPI asks for.
constexpr int kToolImageSize = 24;

struct ToolImageLists {
  ImageListHandle normal;
  ImageListHandle disabled;
};
// Both lists hold the pictures in ToolImage order, size pixels square.
ToolImageLists MakeToolImageLists(int size = kToolImageSize);

}  // namespace tess
