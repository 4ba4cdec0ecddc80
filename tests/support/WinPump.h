#pragma once
// What every test of a real window needs: the posted messages handled, a row's text read.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/win/WinText.h"

namespace tess::testing {

// Handles every message waiting for this thread, as the program's loop would.
inline void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Handles messages until the file list shows its folder's rows with every photo's metadata
// (the listing and the reads run on workers and post their results), for a bounded time.
template <class FileList>
inline bool FinishReads(FileList& list) {
  for (int i = 0; i < 2000; ++i) {
    Pump();
    if (!list.ListingPending() && !list.ReadsRunning()) return true;
    Sleep(5);
  }
  return false;
}

// Handles messages until the folder tree has applied every folder read it asked for (its
// reads run on a worker and post their replies), for a bounded time.
template <class FolderTree>
inline bool FinishTreeReads(FolderTree& tree) {
  for (int i = 0; i < 2000; ++i) {
    Pump();
    if (!tree.ReadsRunning()) return true;
    Sleep(2);
  }
  return false;
}

// The text a list view shows in a row's column.
inline std::u16string RowText(HWND list, int row, int column = 0) {
  wchar_t buf[512] = {};
  ListView_GetItemText(list, row, column, buf, 511);
  return U16(buf);
}

}  // namespace tess::testing
