#include "browse/win/FileListWin.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <stdexcept>

#include "browse/FileCommands.h"
#include "browse/FolderPaths.h"
#include "browse/win/FolderTreeWin.h"
#include "browse/win/WinControls.h"
#include "platform/UiTexts.h"
#include "platform/win/DpiWin.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** Out() { return &p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

struct ColumnSpec {
  const char16_t* caption;
  int width;
  int format;
};
const ColumnSpec kColumns[4] = {
    {texts::kColumnName, 150, LVCFMT_LEFT},
    {texts::kColumnShotDate, 90, LVCFMT_RIGHT},
    {texts::kColumnModel, 125, LVCFMT_LEFT},
    {texts::kColumnMake, 125, LVCFMT_LEFT},
};

// Posted to the list by a metadata worker: results wait.
constexpr UINT kReadsReadyMessage = WM_APP + 0x170;
// The rows and the status bar are redrawn at most this often while results pour in: a redraw
// per photo would cost more than the reads.
constexpr UINT_PTR kReadsTimer = 0x170;
constexpr DWORD kReadsRedrawMs = 100;
// One worker: on a card each file's read is one request, and requests from several threads at
// once interleave the card's read-ahead and cost it more requests in all.
constexpr int kReadThreads = 1;

void CopyToBuffer(const std::u16string& text, LVITEMW& item) {
  if (!item.pszText || item.cchTextMax <= 0) return;
  lstrcpynW(item.pszText, W(text), item.cchTextMax);
}

}  // namespace

ShortcutInfo ReadShortcut(const std::u16string& path) {
  ShortcutInfo info;
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.Out()))))
    return info;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out())))) return info;
  if (FAILED(file->Load(W(path), STGM_READ))) return info;
  wchar_t buf[MAX_PATH + 1] = {};
  if (SUCCEEDED(link->GetPath(buf, MAX_PATH, nullptr, SLGP_UNCPRIORITY))) info.target = U16(buf);
  buf[0] = 0;
  if (SUCCEEDED(link->GetWorkingDirectory(buf, MAX_PATH))) info.workingFolder = U16(buf);
  buf[0] = 0;
  if (SUCCEEDED(link->GetArguments(buf, MAX_PATH))) info.arguments = U16(buf);
  return info;
}

TplFileList::TplFileList(HWND parent, int id, HINSTANCE instance) : shell_(&PlatformShell()) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  // The system image list is shared by every program: the control must never destroy it.
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_EDITLABELS |
                              LVS_SHAREIMAGELISTS,
                          0, 0, 100, 100, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (!hwnd_) throw EUserError(texts::kErrorControl);
  for (int i = 0; i < 4; ++i) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    col.pszText = const_cast<wchar_t*>(W(kColumns[i].caption));
    col.cx = ScaleToDpi(kColumns[i].width, WindowDpi(hwnd_));
    col.fmt = kColumns[i].format;
    col.iSubItem = i;
    if (ListView_InsertColumn(hwnd_, i, &col) < 0) throw EUserError(texts::kErrorControl);
  }
  ResetSortState();
  // Loading: double buffering against flicker, and the system's small icons.
  ListView_SetExtendedListViewStyleEx(hwnd_, LVS_EX_DOUBLEBUFFER, LVS_EX_DOUBLEBUFFER);
  SHFILEINFOW info{};
  ImgListSHandle = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_SMALLICON));
  IconHandle obtained(info.hIcon);
  if (ImgListSHandle) ListView_SetImageList(hwnd_, ImgListSHandle, LVSIL_SMALL);
  model_.DeferMetadata = true;
  SetMetadataSource(*metadata_);
  subclass_ = std::make_unique<SubclassGuard>(hwnd_, [this](HWND, UINT msg, WPARAM wp, LPARAM, bool& handled) -> LRESULT {
    if (msg == kReadsReadyMessage || (msg == WM_TIMER && wp == kReadsTimer)) {
      handled = true;
      ReadsReady();
      return 0;
    }
    if (msg == kCardReadMessage) {
      handled = true;
      CardReadReady();
      return 0;
    }
    // The hourglass stays while a long step runs, whatever the mouse does.
    if (msg == WM_SETCURSOR && WaitCursor::ShowsWait()) {
      handled = true;
      return TRUE;
    }
    return 0;
  });
}

TplFileList::~TplFileList() {
  reads_.reset();
  if (FplFolderTree) FplFolderTree->ForgetFileList();
  if (editLocked_) RefreshLocked = false;
  editSubclass_.reset();
  subclass_.reset();
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void TplFileList::SetRootFolder(const std::u16string& value) {
  if (!FolderExists(value)) return;
  std::u16string p = IncludeTrailingBackslash(value);
  if (p == FRootFolder) return;
  FRootFolder = p;
  FExpandFolder = p;
  if (FplFolderTree) {
    FplFolderTree->SetRootFolder(p);
  } else {
    ShowFolder(p);
  }
}

void TplFileList::SetExpandFolder(const std::u16string& value) {
  if (FRootFolder.empty() || value.find(FRootFolder) == std::u16string::npos) return;
  if (FplFolderTree) {
    FplFolderTree->SetSelectFolder(value);
    return;
  }
  if (!FolderExists(value)) return;
  std::u16string p = IncludeTrailingBackslash(value);
  if (p == FExpandFolder) return;
  ShowFolder(p);
}

void TplFileList::ShowFolder(const std::u16string& folder) {
  FExpandFolder = folder;
  DoFolderChanging();
  ListFolder(folder);
  DoFolderChanged();
}

void TplFileList::SetFindText(const std::u16string& value) {
  if (UpperCaseText(value) == UpperCaseText(model_.FindText)) return;
  model_.FindText = value;
  RefreshFilesListItems(true);
}

void TplFileList::SetDisplayExt(bool value) {
  if (value == model_.DisplayExt) return;
  model_.DisplayExt = value;
  RefreshFilesListItems(false);
}

TplFileDataListItem* TplFileList::FileInfo() {
  int index = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED);
  if (index < 0 || index >= FileDataList.Count()) return nullptr;
  FFileInfo = FileDataList.Get(index);
  return FFileInfo;
}

int TplFileList::ItemCount() const { return ListView_GetItemCount(hwnd_); }
int TplFileList::SelectedCount() const { return static_cast<int>(ListView_GetSelectedCount(hwnd_)); }

void TplFileList::SetRowCount() {
  // Keep the scroll position and selection where the rows stay.
  ListView_SetItemCountEx(hwnd_, FileDataList.Count(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void TplFileList::SetMetadataSource(MetadataSource& source) {
  metadata_ = &source;
  HWND hwnd = hwnd_;
  // Posted, never sent: the worker must not wait for the window's thread.
  reads_ = std::make_unique<MetadataReads>(source, [hwnd] { PostMessageW(hwnd, kReadsReadyMessage, 0, 0); }, kReadThreads);
}

void TplFileList::ListFolder(const std::u16string& folder) {
  FFileInfo = nullptr;
  // The records go: results still on their way must not reach them.
  reads_->Cancel();
  CancelCardRead();
  ListView_SetItemCountEx(hwnd_, 0, 0);
  model_.ListFolder(folder);
  ListView_SetItemCountEx(hwnd_, FileDataList.Count(), 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
  StartReads();
}

void TplFileList::StartReads() {
  std::vector<MetadataReads::Job> jobs = model_.PendingReads(FExpandFolder);
  if (jobs.empty()) {
    reads_->Cancel();
    return;
  }
  reads_->Start(std::move(jobs));
  // The rows in view first; the control's cache hints move this as the user scrolls.
  int top = ListView_GetTopIndex(hwnd_);
  reads_->Prefer(top, top + ListView_GetCountPerPage(hwnd_));
  if (OnReadProgress) OnReadProgress();
}

void TplFileList::ReadsReady() {
  std::vector<MetadataReads::Result> results = reads_->Take();
  for (auto& r : results) {
    // Keys are records of the current run: every change that drops records cancels it first.
    auto* record = static_cast<TplFileDataListItem*>(const_cast<void*>(r.key));
    if (record->MetadataPending) ApplyRecordMetadata(*record, std::move(r.metadata));
  }
  unshownResults_ += results.size();
  const bool done = !reads_->Running();
  const DWORD now = GetTickCount();
  if (!done && now - lastRedraw_ < kReadsRedrawMs) {
    if (unshownResults_ > 0) SetTimer(hwnd_, kReadsTimer, kReadsRedrawMs, nullptr);
    return;
  }
  KillTimer(hwnd_, kReadsTimer);
  if (unshownResults_ == 0) return;
  unshownResults_ = 0;
  lastRedraw_ = now;
  if (done && model_.SortNeedsMetadata()) {
    // Sorted by a date or camera column: the order is known only now. The rows the user
    // selected and looked at stay selected and in view.
    RowMemo memo = RememberRows();
    SortFileDataList(FileDataList);
    RestoreRows(memo);
  }
  InvalidateRect(hwnd_, nullptr, FALSE);
  if (OnReadProgress) OnReadProgress();
  if (done && OnSelectItem) OnSelectItem();  // the rename button may now apply
}

void TplFileList::FinishReadsOf(const std::vector<int>& rows) {
  bool read = false;
  for (int row : rows) {
    if (row < 0 || row >= FileDataList.Count()) continue;
    TplFileDataListItem& record = *FileDataList.Get(row);
    if (!record.MetadataPending) continue;
    WaitCursor wait;
    // The worker's copy, if it comes, finds the record no longer pending.
    ApplyRecordMetadata(record, ReadRecordMetadata(FExpandFolder + record.Name, *metadata_));
    read = true;
  }
  if (read) InvalidateRect(hwnd_, nullptr, FALSE);
}

void TplFileList::RefreshFilesListItems(bool asort) {
  FFileInfo = nullptr;
  // The rows may change places: the selection, the focus and the scroll position follow
  // their files by name, never the row numbers.
  RowMemo memo = RememberRows();
  reads_->Cancel();
  bool scroll = model_.Refresh(FExpandFolder, asort);
  SetRowCount();
  StartReads();
  RestoreRows(memo);
  if (scroll) ListView_EnsureVisible(hwnd_, FileDataList.Count() - 1, TRUE);
  DoFolderChanged();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

std::vector<int> TplFileList::SelectedRows() const {
  std::vector<int> rows;
  for (int i = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(hwnd_, i, LVNI_SELECTED))
    rows.push_back(i);
  return rows;
}

TplFileList::RowMemo TplFileList::RememberRows() const {
  RowMemo memo;
  int count = FileDataList.Count();
  for (int i : SelectedRows())
    if (i < count) memo.selected.push_back(FileDataList.Get(i)->Name);
  int focused = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
  if (focused >= 0 && focused < count) memo.focused = FileDataList.Get(focused)->Name;
  int top = ListView_GetTopIndex(hwnd_);
  if (top >= 0 && top < count) memo.top = FileDataList.Get(top)->Name;
  return memo;
}

void TplFileList::RestoreRows(const RowMemo& memo) {
  int count = FileDataList.Count();
  std::vector<std::u16string> names = memo.selected;
  names.push_back(memo.focused);
  names.push_back(memo.top);
  std::vector<int> rows = RowsOfNames(names, [](int i) { return FileDataList.Get(i)->Name; }, count);
  ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  for (size_t k = 0; k < memo.selected.size(); ++k)
    if (rows[k] >= 0) ListView_SetItemState(hwnd_, rows[k], LVIS_SELECTED, LVIS_SELECTED);
  int focused = memo.focused.empty() ? -1 : rows[memo.selected.size()];
  if (focused >= 0) {
    ListView_SetItemState(hwnd_, focused, LVIS_FOCUSED, LVIS_FOCUSED);
    ListView_SetSelectionMark(hwnd_, focused);
  }
  int top = memo.top.empty() ? -1 : rows[memo.selected.size() + 1];
  int currentTop = ListView_GetTopIndex(hwnd_);
  if (top >= 0 && top != currentTop) {
    RECT rc{};
    if (ListView_GetItemRect(hwnd_, 0, &rc, LVIR_BOUNDS) && rc.bottom > rc.top)
      ListView_Scroll(hwnd_, 0, (top - currentTop) * (rc.bottom - rc.top));
  }
}

void TplFileList::RefreshView() {
  if (FplFolderTree) {
    FplFolderTree->RefreshView(false);
    return;
  }
  if (RefreshLocked) return;
  // Released on every way out: a refresh that failed once must not silence all later ones.
  struct Lock {
    Lock() { RefreshLocked = true; }
    ~Lock() { RefreshLocked = false; }
  } lock;
  WaitCursor wait;
  RefreshFilesListItems(true);
}

void TplFileList::ClearSelection() { ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED); }

void TplFileList::SelectRow(int index) {
  ListView_SetItemState(hwnd_, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(hwnd_, index, FALSE);
}

void TplFileList::ColumnClick(int column) {
  std::u16string name;
  bool remembered = false;
  if (TplFileDataListItem* record = FileInfo()) {
    name = record->Name;
    remembered = true;
  }
  FFileInfo = nullptr;
  int index = model_.SortByColumn(column, remembered ? &name : nullptr);
  InvalidateRect(hwnd_, nullptr, TRUE);
  ClearSelection();
  if (index >= 0) SelectRow(index);
}

void TplFileList::LookUpIcon(TplFileDataListItem& record) {
  std::u16string path = FExpandFolder + record.Name;
  ShortcutInfo shortcut = ReadShortcut(path);
  SHFILEINFOW info{};
  DWORD_PTR ok;
  if (shortcut.target.find(u"\\\\") != std::u16string::npos) {
    // A network target: ask by file type only, so the network is not touched.
    std::u16string pattern = u"*" + ExtractFileExt(shortcut.target);
    ok = SHGetFileInfoW(W(pattern), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                        SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON);
  } else {
    ok = SHGetFileInfoW(W(path), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  }
  // A path the shell cannot answer for (removed since the listing) gets the plain file icon.
  record.IconIndex = ok ? info.iIcon : 0;
}

void TplFileList::LookUpIcons(int from, int to) {
  int count = FileDataList.Count();
  if (from >= count || to >= count || to < from || from < 0) return;
  for (int i = from; i <= to; ++i) {
    TplFileDataListItem* record = FileDataList.Get(i);
    if (record->IconIndex < 0) LookUpIcon(*record);
  }
}

bool TplFileList::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->hwndFrom != hwnd_) return false;
  result = 0;
  switch (header->code) {
    case LVN_GETDISPINFOW: {
      auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
      LVITEMW& item = info->item;
      int index = item.iItem;
      if (index < 0 || index >= FileDataList.Count()) return true;
      TplFileDataListItem& record = *FileDataList.Get(index);
      if (item.mask & LVIF_TEXT) {
        switch (item.iSubItem) {
          case 0: CopyToBuffer(RowCaption(record.Name, model_.DisplayExt), item); break;
          case 1: CopyToBuffer(RowDateText(record, CurrentLocale()), item); break;
          case 2: CopyToBuffer(record.ExifCameraModel, item); break;
          case 3: CopyToBuffer(record.ExifCameraMake, item); break;
          default: break;
        }
      }
      if (item.mask & LVIF_IMAGE) {
        // The range hint normally came first; a control that gives none still gets icons.
        if (record.IconIndex < 0) LookUpIcon(record);
        item.iImage = record.IconIndex;
      }
      return true;
    }
    case LVN_ODCACHEHINT: {
      auto* hint = reinterpret_cast<NMLVCACHEHINT*>(header);
      LookUpIcons(hint->iFrom, hint->iTo);
      if (reads_->Running()) reads_->Prefer(hint->iFrom, hint->iTo);
      return true;
    }
    case LVN_COLUMNCLICK:
      ColumnClick(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
      return true;
    case LVN_ITEMCHANGED: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(header);
      if ((nm->uChanged & LVIF_STATE) && ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED) && OnSelectItem)
        OnSelectItem();
      return true;
    }
    case LVN_ODSTATECHANGED: {
      auto* nm = reinterpret_cast<NMLVODSTATECHANGE*>(header);
      if (((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED) && OnSelectItem) OnSelectItem();
      return true;
    }
    case LVN_ODFINDITEMW:
      result = FindItem(*reinterpret_cast<NMLVFINDITEMW*>(header));
      return true;
    case LVN_KEYDOWN:
      KeyDown(reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey);
      return true;
    case NM_CLICK:
      if (OnClick) OnClick();
      return true;
    case NM_RCLICK: {
      POINT pt{};
      GetCursorPos(&pt);
      if (OnRightClick) OnRightClick(pt);
      result = 1;  // the menu is the window's own: no WM_CONTEXTMENU after it
      return true;
    }
    case NM_DBLCLK:
      DblClick();
      return true;
    case LVN_BEGINLABELEDITW:
      BeginLabelEdit();
      result = FALSE;  // the edit is always allowed
      return true;
    case LVN_ENDLABELEDITW:
      // The rows are owner data: the control keeps no text, a rename updates the record.
      EndLabelEdit(*reinterpret_cast<NMLVDISPINFOW*>(header));
      result = FALSE;
      return true;
    default:
      return false;
  }
}


int TplFileList::FindItem(const NMLVFINDITEMW& find) const {
  if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return -1;
  std::u16string prefix = U16(find.lvfi.psz);
  // Explorer's type-to-find: from the start the control gives (the row after the focused
  // one for a new search), always wrapping to the top.
  return FindRowByPrefix(
      FileDataList.Count(), [this](int i) { return RowCaption(FileDataList.Get(i)->Name, model_.DisplayExt); }, prefix,
      find.iStart, true);
}

void TplFileList::KeyDown(WORD key) {
  if (OnKeyDown) OnKeyDown(key);
  if (Editing()) return;
  switch (key) {
    case VK_RETURN:
      if (SelectedCount() > 0) DblClick();
      break;
    case VK_BACK:
      BackFolder();
      break;
    case VK_F2:
      if (SelectedCount() > 0) EditFileName();
      break;
    case VK_DELETE:
      if (SelectedCount() > 0) DeleteFiles();
      break;
    case VK_F5:
      if (FplFolderTree) FplFolderTree->RefreshView(true);
      else RefreshView();
      break;
    default:
      break;
  }
}

void TplFileList::ReportError(const std::u16string& text) {
  if (OnError) {
    OnError(text);
    return;
  }
  HWND owner = reinterpret_cast<HWND>(AppWindowOf(hwnd_));
  MessageBoxW(owner, W(text), W(texts::kAppTitle), MB_OK | MB_ICONERROR);
}

void TplFileList::ReportFailure(const FileOperationResult& result) {
  if (result.returnValue == 0 || FileOperationCancelled(result) || result.errorShown) return;
  ReportError(FileOperationErrorText(result.returnValue));
}

bool TplFileList::Exists(const std::u16string& path) { return model_.Lister().Find(path).has_value(); }

void TplFileList::SyncTreeNode(const std::u16string& folder) {
  if (FplFolderTree) FplFolderTree->SyncSelectedNode(folder);
}

void TplFileList::SelectAll() { ListView_SetItemState(hwnd_, -1, LVIS_SELECTED, LVIS_SELECTED); }

void TplFileList::DblClick() {
  TplFileDataListItem* record = FileInfo();
  if (!record) return;
  std::u16string path = FExpandFolder + record->Name;
  FileInfoResult attributes = shell_->GetFileInfo({path, 0, 0x0800});
  if (!attributes.returnValue) {
    // The entry is gone: show what is there now.
    DefaultBeep();
    RefreshFilesListItems(true);
    SyncTreeNode(FExpandFolder);
    return;
  }
  bool shortcut = false;
  ShortcutInfo link;
  if (attributes.attributes & 0x10000) {  // SFGAO_LINK
    {
      WaitCursor wait;
      link = ReadShortcut(path);
    }
    if (!link.target.empty()) {
      path = link.target;
      attributes = shell_->GetFileInfo({path, 0, 0x0800});
      if (!attributes.returnValue) {
        DefaultBeep();
        return;
      }
      shortcut = true;
    }
  }
  WaitCursor wait;
  RefreshLocked = true;
  struct Unlock {
    ~Unlock() { RefreshLocked = false; }
  } unlock;
  std::u16string ext = ExtractFileExt(path);
  while (!ext.empty() && ext.back() == u' ') ext.pop_back();
  std::u16string command = shell_->QueryAssociation({0x20, 1, ext, u"open"});
  // SFGAO_FOLDER or SFGAO_FILESYSANCESTOR, without an open command of its own.
  if ((attributes.attributes & (0x20000000u | 0x10000000u)) && command.empty()) {
    std::u16string folder = IncludeTrailingBackslash(path);
    if (FplFolderTree) {
      FplFolderTree->SetSelectFolder(folder);
    } else {
      ShowFolder(folder);
    }
    ClearSelection();
    return;
  }
  ShellExecuteExRequest request;
  request.fMask = 0x440;
  request.hwnd = AppWindowOf(hwnd_);
  request.verb = u"open";
  request.file = path;
  if (shortcut) {
    request.parameters = link.arguments;
    request.directory = link.workingFolder;
  }
  request.nShow = SW_SHOWNORMAL;
  ShellExecuteExResult started = shell_->ExecuteEx(request);
  if (started.hInstApp <= 32) DefaultBeep();
}

bool TplFileList::BackFolder() {
  if (FExpandFolder == FRootFolder) return false;
  if (FplFolderTree) {
    FplFolderTree->SelectParentNode();
    SetFocus(FplFolderTree->Handle());
  } else {
    std::u16string parent = ExtractFilePath(ExcludeTrailingBackslash(FExpandFolder));
    if (parent.empty()) return false;
    ShowFolder(IncludeTrailingBackslash(parent));
  }
  ClearSelection();
  return true;
}

bool TplFileList::EditFileName() {
  if (!Focused() || SelectedCount() != 1) return false;
  int row = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED);
  if (row < 0) return false;
  return ListView_EditLabel(hwnd_, row) != nullptr;
}

void TplFileList::BeginLabelEdit() {
  // Nothing may rebuild the rows under the editor (a return to the window refreshes): the
  // name typed would go to another file. Every edit holds the lock, however it started.
  if (!RefreshLocked) {
    RefreshLocked = true;
    editLocked_ = true;
  }
  OpenImeHiragana(hwnd_);
  if (HWND edit = ListView_GetEditControl(hwnd_)) {
    editSubclass_ = std::make_unique<SubclassGuard>(edit, [](HWND, UINT m, WPARAM, LPARAM, bool& handled) {
      handled = m == WM_CONTEXTMENU;  // no context menu in the edit box
      return LRESULT(1);
    });
  }
  if (OnEditing) OnEditing();
}

bool TplFileList::EndLabelEdit(const NMLVDISPINFOW& info) {
  CloseIme(hwnd_);
  struct Unlock {
    bool& locked;
    ~Unlock() {
      if (locked) RefreshLocked = false;
      locked = false;
    }
  } unlock{editLocked_};
  int row = info.item.iItem;
  if (!info.item.pszText || row < 0 || row >= FileDataList.Count()) return false;
  std::u16string text = U16(info.item.pszText);
  TplFileDataListItem* record = FileDataList.Get(row);
  const std::u16string old = record->Name;
  // A cleared name changes nothing, as a cancelled edit does.
  if (text.find_first_not_of(u' ') == std::u16string::npos) return false;
  std::u16string name = RenamedFileName(old, text, model_.DisplayExt);
  if (name == old) return false;
  if (!IsValidFileName(name)) {
    ReportError(SystemErrorMessage(ERROR_INVALID_NAME));
    return false;
  }
  // Another entry of that name would be replaced or refused after a question: say so now,
  // the same on every system. The same file in another case is a rename.
  if (!SamePath(name, old) && Exists(FExpandFolder + name)) {
    ReportError(SystemErrorMessage(ERROR_ALREADY_EXISTS));
    return false;
  }
  FileOperationRequest request;
  request.hwnd = AppWindowOf(hwnd_);
  request.wFunc = FO_RENAME_;
  request.pFrom = PackPaths({FExpandFolder + old});
  request.pTo = PackPaths({FExpandFolder + name});
  request.fFlags = FOF_ALLOWUNDO_;
  FileOperationResult renamed = shell_->FileOperation(request);
  if (renamed.returnValue != 0 || renamed.fAnyOperationsAborted) {
    ReportFailure(renamed);
    return false;
  }
  // The row keeps its place; only its name changed.
  if (row < FileDataList.Count() && FileDataList.Get(row) == record) record->Name = name;
  ListView_RedrawItems(hwnd_, row, row);
  SyncTreeNode(FExpandFolder);
  if (OnRenamed) OnRenamed(FExpandFolder + old, FExpandFolder + name);
  return true;
}

bool TplFileList::CopyFiles() {
  std::vector<int> rows = SelectedRows();
  if (rows.empty()) return false;
  FCopyFiles.clear();
  if (Editing()) ListView_CancelEditLabel(hwnd_);
  for (int i : rows)
    if (i < FileDataList.Count()) FCopyFiles.push_back(FExpandFolder + FileDataList.Get(i)->Name);
  if (FplFolderTree) FplFolderTree->ClearCopyFiles();
  return !FCopyFiles.empty();
}

bool TplFileList::PasteFiles() {
  if (!Focused() || FExpandFolder.empty()) return false;
  if (FCopyFiles.empty()) {
    if (!FplFolderTree || FplFolderTree->StoredCopyFiles().empty()) return false;
    FCopyFiles = FplFolderTree->StoredCopyFiles();
  }
  std::optional<FileOperationResult> pasted = PasteThroughShell(
      *shell_, hwnd_, FCopyFiles, ExcludeTrailingBackslash(FExpandFolder),
      [this](const std::u16string& p) { return Exists(p); }, [this](const std::u16string& t) { ReportError(t); });
  if (!pasted) return false;
  const FileOperationResult& copied = *pasted;
  // Whatever was copied before a failure is shown.
  SyncTreeNode(FExpandFolder);
  RefreshFilesListItems(false);
  if (copied.returnValue != 0) {
    if (copied.returnValue != -1) ReportFailure(copied);
    return false;
  }
  return true;
}

bool TplFileList::DeleteFiles() {
  if (!Focused()) return false;
  std::vector<int> rows = SelectedRows();
  if (rows.empty()) return false;
  if (Editing()) ListView_CancelEditLabel(hwnd_);
  std::vector<std::u16string> paths;
  for (int i : rows)
    if (i < FileDataList.Count()) paths.push_back(FExpandFolder + FileDataList.Get(i)->Name);
  if (paths.empty()) return false;
  FileOperationRequest request;
  request.hwnd = AppWindowOf(hwnd_);
  request.wFunc = FO_DELETE_;
  request.pFrom = PackPaths(paths);
  // Shift held: deleted outright, after the shell's own question.
  request.fFlags = GetKeyState(VK_SHIFT) < 0 ? 0u : static_cast<unsigned>(FOF_ALLOWUNDO_);
  FileOperationResult deleted = shell_->FileOperation(request);
  if (deleted.returnValue != 0) {
    ReportFailure(deleted);
    // Some entries may be gone before the failure.
    RefreshFilesListItems(false);
    return false;
  }
  RefreshFilesListItems(false);
  ClearSelection();
  if (FplFolderTree) FplFolderTree->SyncSelectedNode(FplFolderTree->SelectFolder());
  return true;
}

bool TplFileList::CreateFolder(const std::u16string& folderName) {
  if (FExpandFolder.empty()) return false;
  std::u16string name;
  bool created = false;
  for (int n = 1; n <= kNewFolderAttempts && !created; ++n) {
    name = NewFolderCandidate(folderName, kListNewFolderName, n);
    std::u16string path = FExpandFolder + name;
    if (Exists(path)) continue;
    int error = SHCreateDirectoryExW(nullptr, W(path), nullptr);
    if (error == ERROR_SUCCESS) {
      created = true;
    } else if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
      // Not a taken name (a read-only card, no rights): no other name would do better.
      ReportError(SystemErrorMessage(static_cast<unsigned long>(error)));
      return false;
    }
  }
  if (!created) {
    ReportError(SystemErrorMessage(ERROR_ALREADY_EXISTS));
    return false;
  }
  ClearSelection();
  RefreshFilesListItems(false);
  std::vector<int> rows = RowsOfNames({name}, [](int i) { return FileDataList.Get(i)->Name; }, FileDataList.Count());
  SyncTreeNode(FExpandFolder);
  if (rows[0] >= 0) {
    ListView_EnsureVisible(hwnd_, rows[0], FALSE);
    SelectRow(rows[0]);
    SetFocus(hwnd_);
    ListView_EditLabel(hwnd_, rows[0]);
  }
  return true;
}

void TplFileList::FileInfoDlg() {
  if (SelectedCount() != 1) return;
  TplFileDataListItem* record = FileInfo();
  if (!record) return;
  ShellExecuteExRequest request;
  request.fMask = 0x44C;
  request.hwnd = AppWindowOf(hwnd_);
  request.verb = u"Properties";
  request.file = FExpandFolder + record->Name;
  request.nShow = SW_SHOWNA;
  if (!shell_->ExecuteEx(request).ok) DefaultBeep();
}

}  // namespace tess
