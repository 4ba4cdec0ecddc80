#pragma once
// What every test of a real window needs: the posted messages handled, a row's text read.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>

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
template <class List>
inline bool FinishReads(List& list) {
  for (int i = 0; i < 2000; ++i) {
    Pump();
    if (!list.ListingPending() && !list.ReadsRunning()) return true;
    Sleep(5);
  }
  return false;
}

// Handles messages until the folder tree has applied every folder read it asked for (its
// reads run on a worker and post their replies), for a bounded time.
template <class Tree>
inline bool FinishTreeReads(Tree& tree) {
  for (int i = 0; i < 2000; ++i) {
    Pump();
    if (!tree.ReadsRunning()) return true;
    Sleep(2);
  }
  return false;
}

// Whether window answers a message sent from another thread within timeoutMs, this thread
// handling its messages meanwhile as the program's loop would.
inline bool AnswersAnotherThread(HWND window, UINT timeoutMs) {
  std::atomic<bool> answered = false, asked = false;
  std::thread asker([&] {
    DWORD_PTR result = 0;
    answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
    asked = true;
  });
  // Until the asker has its answer or has given up (its own time-out bounds this).
  while (!asked) {
    Pump();
    Sleep(2);
  }
  asker.join();
  return answered;
}

// The text a list view shows in a row's column.
inline std::u16string RowText(HWND list, int row, int column = 0) {
  wchar_t buf[512] = {};
  ListView_GetItemText(list, row, column, buf, 511);
  return U16(buf);
}

}  // namespace tess::testing
