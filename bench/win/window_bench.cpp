// window_bench: times the running main window from outside, as a person meets it (under Wine
// or Windows). It finds the window titled "Tessarine", picks a sub-folder of the folder its
// tree shows, and asks the list a question every 10 ms until every photo's date is in:
//
//   window_bench wait [NODE]           waits until the window is up with its folder (the tree
//                                      node NODE) read, and opens that node (run it before
//                                      dropping caches)
//   window_bench measure NAME COUNT    selects the sub-folder NAME, which holds COUNT files, and
//                                      prints: first rows (s: any row shown), all rows (s), all
//                                      dates (s), the longest answer of the window (s), and the
//                                      rows with a date
//   window_bench scroll NAME COUNT SLOTS
//                                      in the thumbnail view: selects NAME as measure does,
//                                      then prints when the rows in view first all showed their
//                                      pictures (s after the first rows), then pages down
//                                      through the folder (PageDown every 250 ms) and prints the
//                                      longest answer meanwhile, the slowest page's pictures (s
//                                      from its key), and the pages. A row shows its picture
//                                      when its image is below SLOTS (the view's slot count:
//                                      682 at 96 DPI); the types' icons come after the slots
//   window_bench close                 closes the window
//
// "Answer" is the time a message sent to the list takes to come back: while the window's
// thread is busy, it is the time a click or a key would wait.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

HWND Find(HWND parent, const wchar_t* cls) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t name[64];
    GetClassNameW(c, name, 64);
    if (!lstrcmpiW(name, cls)) return c;
    if (HWND d = Find(c, cls)) return d;
  }
  return nullptr;
}

// Memory in the program's process for the messages that carry pointers.
struct Remote {
  HANDLE process = nullptr;
  BYTE* at = nullptr;
  explicit Remote(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process) at = static_cast<BYTE*>(VirtualAllocEx(process, nullptr, 8192, MEM_COMMIT, PAGE_READWRITE));
  }
  ~Remote() {
    if (at) VirtualFreeEx(process, at, 0, MEM_RELEASE);
    if (process) CloseHandle(process);
  }
  void Put(const void* data, size_t size, size_t offset = 0) { WriteProcessMemory(process, at + offset, data, size, nullptr); }
  void Get(void* data, size_t size, size_t offset = 0) { ReadProcessMemory(process, at + offset, data, size, nullptr); }
};

std::wstring TreeText(Remote& r, HWND tree, HTREEITEM item) {
  TVITEMW it{};
  it.mask = TVIF_TEXT;
  it.hItem = item;
  it.cchTextMax = 1024;
  it.pszText = reinterpret_cast<LPWSTR>(r.at + 1024);
  r.Put(&it, sizeof it);
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(r.at));
  wchar_t buf[1024] = {};
  r.Get(buf, sizeof buf - 2, 1024);
  return buf;
}

std::wstring StatusText(Remote& r, HWND status, int part) {
  if (!SendMessageTimeoutW(status, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(r.at), SMTO_NORMAL, 10000, nullptr))
    return L"?";
  wchar_t buf[512] = {};
  r.Get(buf, sizeof buf - 2);
  return buf;
}

std::wstring RowText(Remote& r, HWND list, int row, int column) {
  LVITEMW it{};
  it.iSubItem = column;
  it.cchTextMax = 256;
  it.pszText = reinterpret_cast<LPWSTR>(r.at + 1024);
  r.Put(&it, sizeof it);
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(r.at));
  wchar_t buf[256] = {};
  r.Get(buf, sizeof buf - 2, 1024);
  return buf;
}

int RowImage(Remote& r, HWND list, int row) {
  LVITEMW it{};
  it.mask = LVIF_IMAGE;
  it.iItem = row;
  r.Put(&it, sizeof it);
  SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(r.at));
  r.Get(&it, sizeof it);
  return it.iImage;
}

bool RowShows(Remote& r, HWND list, int row) {
  RECT rc{LVIR_BOUNDS, 0, 0, 0}, client{};
  r.Put(&rc, sizeof rc);
  if (!SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(r.at))) return false;
  r.Get(&rc, sizeof rc);
  GetClientRect(list, &client);
  RECT both{};
  return IntersectRect(&both, &rc, &client) != FALSE;
}

// The rows in view [first, end): icons are laid out in rows, so the rows shown are a run;
// the search starts at the last run's first row.
std::pair<int, int> RowsInView(Remote& r, HWND list, int count, int from) {
  int first = from;
  while (first > 0 && RowShows(r, list, first - 1)) --first;
  while (first < count && !RowShows(r, list, first)) ++first;
  int end = first;
  while (end < count && RowShows(r, list, end)) ++end;
  return {first, end};
}

bool PicturesIn(Remote& r, HWND list, std::pair<int, int> rows, int slots) {
  if (rows.first >= rows.second) return false;
  for (int row = rows.first; row < rows.second; ++row)
    if (RowImage(r, list, row) >= slots) return false;
  return true;
}

bool Reading(const std::wstring& status) { return status.find(L"\x8aad\x307f\x8fbc\x307f\x4e2d") != std::wstring::npos; }

HWND MainWindow(int waitMs) {
  for (int waited = 0; waited <= waitMs; waited += 100) {
    if (HWND w = FindWindowW(nullptr, L"Tessarine"); w && IsWindowVisible(w)) return w;
    Sleep(100);
  }
  return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  HWND main = MainWindow(command == L"wait" ? 120000 : 2000);
  if (!main) {
    std::fprintf(stderr, "no window titled Tessarine\n");
    return 1;
  }
  HWND tree = Find(main, WC_TREEVIEWW), list = Find(main, WC_LISTVIEWW), status = Find(main, STATUSCLASSNAMEW);
  if (!tree || !list || !status) {
    std::fprintf(stderr, "the window has no tree, list or status bar\n");
    return 1;
  }
  Remote remote(main);
  if (!remote.at) {
    std::fprintf(stderr, "cannot reach the program's memory\n");
    return 1;
  }
  if (command == L"close") {
    PostMessageW(main, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == L"wait") {
    for (int i = 0; i < 1200; ++i, Sleep(100)) {
      auto caret = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
      if (!caret || (argc > 2 && TreeText(remote, tree, caret) != argv[2]) || Reading(StatusText(remote, status, 1))) continue;
      SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(caret));
      if (SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(caret))) return 0;
    }
    std::fprintf(stderr, "the window never settled\n");
    return 1;
  }
  const bool scroll = command == L"scroll" && argc >= 5;
  if ((command != L"measure" || argc < 4) && !scroll) {
    std::fprintf(stderr, "usage: window_bench wait [NODE] | measure NAME COUNT | scroll NAME COUNT SLOTS | close\n");
    return 2;
  }
  const std::wstring name = argv[2];
  const int count = _wtoi(argv[3]);
  auto caret = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  HTREEITEM target = nullptr;
  // The tree may still be filling in its folders' names: ask again for a while.
  for (int tries = 0; tries < 600 && !target; ++tries) {
    if (tries) Sleep(100);
    for (auto c = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(caret)));
         c && !target; c = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c))))
      if (TreeText(remote, tree, c) == name) target = c;
  }
  if (!target) {
    for (auto c = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(caret)));
         c; c = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c))))
      std::fwprintf(stderr, L"  child \"%ls\"\n", TreeText(remote, tree, c).c_str());
    std::fwprintf(stderr, L"no sub-folder of that name under the tree's node \"%ls\"\n",
                  caret ? TreeText(remote, tree, caret).c_str() : L"");
    return 1;
  }

  // The rows of the folder shown before (the tree's parent: a row for NAME) are not the
  // first rows of NAME.
  const int before = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  const Clock::time_point t0 = Clock::now();
  // Sent from a thread of its own: the choice of a folder is itself a message the window's
  // thread may take long to answer, and the questions below must go on meanwhile.
  std::thread choose([&] { SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(target)); });
  double firstRows = -1, allRows = -1, allDates = -1, longest = 0;
  if (scroll) {
    const int slots = _wtoi(argv[4]);
    double firstScreen = -1;
    std::pair<int, int> view{0, 0};
    while (Since(t0) < 600 && firstScreen < 0) {
      const Clock::time_point asked = Clock::now();
      DWORD_PTR rows = 0;
      SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 600000, &rows);
      longest = std::max(longest, Since(asked));
      if (rows > 0 && static_cast<int>(rows) != before && firstRows < 0) firstRows = Since(t0);
      if (firstRows >= 0) {
        view = RowsInView(remote, list, static_cast<int>(rows), view.first);
        if (PicturesIn(remote, list, view, slots)) firstScreen = Since(t0) - firstRows;
      }
      Sleep(10);
    }
    // Pages down while asking every 10 ms; a page's pictures are timed from its key to the
    // moment every row in view shows one.
    SetForegroundWindow(main);
    double longestScrolling = 0, slowestPage = 0;
    int pages = 0, pagesLate = 0;
    while (Since(t0) < 1200) {
      PostMessageW(list, WM_KEYDOWN, VK_NEXT, 0);
      PostMessageW(list, WM_KEYUP, VK_NEXT, 0xC0000001);
      const Clock::time_point key = Clock::now();
      ++pages;
      double shown = -1;
      while (Since(key) < 0.25 || (shown < 0 && Since(key) < 5)) {
        const Clock::time_point asked = Clock::now();
        DWORD_PTR rows = 0;
        SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 600000, &rows);
        longestScrolling = std::max(longestScrolling, Since(asked));
        if (shown < 0) {
          view = RowsInView(remote, list, count, view.first);
          if (PicturesIn(remote, list, view, slots)) shown = Since(key);
        }
        Sleep(10);
      }
      if (shown < 0 || shown > 1) ++pagesLate;
      slowestPage = std::max(slowestPage, shown < 0 ? 5.0 : shown);
      if (view.second >= count) break;
    }
    choose.join();
    std::printf("first_rows %.3f first_screen %.3f longest_answer %.3f scrolling_longest_answer %.3f slowest_page %.3f "
                "pages %d pages_over_1s %d\n",
                firstRows, firstScreen, longest, longestScrolling, slowestPage, pages, pagesLate);
    return firstScreen < 0 ? 1 : 0;
  }
  while (Since(t0) < 600) {
    const Clock::time_point asked = Clock::now();
    DWORD_PTR rows = 0;
    SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 600000, &rows);
    const double answer = Since(asked);
    if (answer > longest) longest = answer;
    if (rows > 0 && static_cast<int>(rows) != before && firstRows < 0) firstRows = Since(t0);
    if (static_cast<int>(rows) == count) {
      if (allRows < 0) allRows = Since(t0);
      if (!Reading(StatusText(remote, status, 1))) {
        allDates = Since(t0);
        break;
      }
    }
    Sleep(10);
  }
  choose.join();
  int dated = 0;
  for (int row = 0; row < count; ++row) dated += RowText(remote, list, row, 1).empty() ? 0 : 1;
  std::printf("first_rows %.3f all_rows %.3f all_dates %.3f longest_answer %.3f dated %d\n", firstRows, allRows, allDates,
              longest, dated);
  return allDates < 0 ? 1 : 0;
}
