#include "browse/win/FileListWin.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <stdexcept>

#include "browse/FolderPaths.h"
#include "browse/win/FolderTreeWin.h"
#include "browse/win/WinControls.h"
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
  const wchar_t* caption;
  int width;
  int format;
};
const ColumnSpec kColumns[4] = {
    {L"名前", 150, LVCFMT_LEFT},
    {L"撮影日時", 90, LVCFMT_RIGHT},
    {L"カメラのモデル", 125, LVCFMT_LEFT},
    {L"カメラの製造元", 125, LVCFMT_LEFT},
};

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

TplFileList::TplFileList(HWND parent, int id, HINSTANCE instance) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  // The system image list is shared by every program: the control must never destroy it.
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_EDITLABELS |
                              LVS_SHAREIMAGELISTS,
                          0, 0, 100, 100, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (!hwnd_) throw std::runtime_error("the file list could not be created");
  for (int i = 0; i < 4; ++i) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    col.pszText = const_cast<wchar_t*>(kColumns[i].caption);
    col.cx = kColumns[i].width;
    col.fmt = kColumns[i].format;
    col.iSubItem = i;
    if (ListView_InsertColumn(hwnd_, i, &col) < 0) throw std::runtime_error("a list column could not be added");
  }
  ResetSortState();
  // Loading: double buffering against flicker, and the system's small icons.
  ListView_SetExtendedListViewStyleEx(hwnd_, LVS_EX_DOUBLEBUFFER, LVS_EX_DOUBLEBUFFER);
  SHFILEINFOW info{};
  ImgListSHandle = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_SMALLICON));
  IconHandle obtained(info.hIcon);
  if (ImgListSHandle) ListView_SetImageList(hwnd_, ImgListSHandle, LVSIL_SMALL);
}

TplFileList::~TplFileList() {
  if (FplFolderTree) FplFolderTree->ForgetFileList();
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
    DoFolderChanging();
    ListFolder(FExpandFolder);
    DoFolderChanged();
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
  FExpandFolder = p;
  DoFolderChanging();
  ListFolder(FExpandFolder);
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

void TplFileList::ListFolder(const std::u16string& folder) {
  FFileInfo = nullptr;
  ListView_SetItemCountEx(hwnd_, 0, 0);
  {
    WaitCursor wait;
    model_.ListFolder(folder);
  }
  ListView_SetItemCountEx(hwnd_, FileDataList.Count(), 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TplFileList::RefreshFilesListItems(bool asort) {
  FFileInfo = nullptr;
  bool scroll = model_.Refresh(FExpandFolder, asort);
  SetRowCount();
  if (scroll) ListView_EnsureVisible(hwnd_, FileDataList.Count() - 1, TRUE);
  DoFolderChanged();
  InvalidateRect(hwnd_, nullptr, TRUE);
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
    case LVN_BEGINLABELEDITW:
      result = FALSE;
      return true;
    case LVN_ENDLABELEDITW:
      result = FALSE;  // renaming in place is a command of its own, not wired here
      return true;
    default:
      return false;
  }
}

}  // namespace tess
