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
//   window_bench close                 closes the window
//
// "Answer" is the time a message sent to the list takes to come back: while the window's
// thread is busy, it is the time a click or a key would wait.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
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
  if (command != L"measure" || argc < 4) {
    std::fprintf(stderr, "usage: window_bench wait [NODE] | measure NAME COUNT | close\n");
    return 2;
  }
  const std::wstring name = argv[2];
  const int count = _wtoi(argv[3]);
  auto caret = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  HTREEITEM target = nullptr;
  for (auto c = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(caret)));
       c && !target; c = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c))))
    if (TreeText(remote, tree, c) == name) target = c;
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
