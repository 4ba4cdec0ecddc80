#include "browse/win/FileListWin.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <utility>

#include "browse/FileCommands.h"
#include "browse/FolderPaths.h"
#include "history/RecordIdentity.h"
#include "platform/JournalFolder.h"
#include "browse/win/PaneCommandsWin.h"
#include "platform/ScopeExit.h"
#include "platform/win/Controls.h"
#include "platform/win/WinControls.h"
#include "platform/UiTexts.h"
#include "platform/win/DpiWin.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

// The rows and the status bar are redrawn at most this often while results pour in: a redraw
// per photo would cost more than the reads.
constexpr UINT_PTR kReadsTimer = 0x170;
constexpr DWORD kReadsRedrawMs = 100;
// Two requests in flight: the reader turns the read-ahead off, so workers side by side cost no
// more requests, and a disk that serves several at once gains from them. Under Wine two list a
// warm 20,000-photo folder about as fast as four, and each further worker costs about 1 MB.
constexpr int kReadThreads = 2;
// A listing that comes this soon is shown before the folder change returns, so a folder on a
// fast disk never flashes an empty list; a slower one leaves the window answering meanwhile.
constexpr auto kListingGrace = std::chrono::milliseconds(120);

void CopyToBuffer(const std::u16string& text, LVITEMW& item) {
  if (!item.pszText || item.cchTextMax <= 0) return;
  lstrcpynW(item.pszText, W(text), item.cchTextMax);
}

}  // namespace

ShortcutInfo ReadShortcut(const std::u16string& path) {
  ShortcutInfo info;
  ComRef<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.Out()))))
    return info;
  ComRef<IPersistFile> file;
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

FileListView::FileListView(HWND parent, int id, HINSTANCE instance, BrowseState* state)
    : ownState_(state ? nullptr : std::make_unique<BrowseState>()),
      state_(state ? state : ownState_.get()),
      shell_(&PlatformShell()) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  // The system image list is shared by every program: the control must never destroy it.
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_EDITLABELS |
                              LVS_SHAREIMAGELISTS,
                          0, 0, 100, 100, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (!hwnd_) throw EUserError(texts::kErrorControl);
  for (int i = 0; i < FileColumnCount; ++i) {
    const FileColumnSpec& column = kFileColumns[static_cast<size_t>(i)];
    if (!AddListColumn(hwnd_, i, column.caption, ScaleToDpi(column.defaultWidth, WindowDpi(hwnd_)), column.alignRight))
      throw EUserError(texts::kErrorControl);
  }
  ShowSortArrow();
  // Loading: double buffering against flicker, and the system's small icons.
  ListView_SetExtendedListViewStyleEx(hwnd_, LVS_EX_DOUBLEBUFFER, LVS_EX_DOUBLEBUFFER);
  SHFILEINFOW info{};
  systemSmallIcons_ = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_SMALLICON));
  IconHandle obtained(info.hIcon);
  if (systemSmallIcons_) ListView_SetImageList(hwnd_, systemSmallIcons_, LVSIL_SMALL);
  model_.SetDeferMetadata(true);
  {
    HWND hwnd = hwnd_;
    // The database is opened by the worker, when a folder's photos are first asked about.
    lookups_ = std::make_unique<HistoryLookups>([] { return PlatformHistoryPath(); },
                                                [hwnd] { PostMessageW(hwnd, kImportedReadyMessage, 0, 0); });
  }
  SetMetadataSource(*metadata_);
  SetListingSource(model_.Lister());
  commands_ = std::make_unique<PaneCommands>(*state_, *shell_, PlatformPaneFiles(), [this](const PaneFailure& failure) {
    ReportPaneFailure(hwnd_, OnError, failure);
  });
  state_->AddObserver(*this);
  thumbnails_ = std::make_unique<ThumbnailView>(hwnd_, kThumbnailsReadyMessage);
  thumbnails_->FillPairs = [this](JpegPairs& pairs) {
    for (const auto& record : model_.Records().Items()) pairs.Add(record->Name);
  };
  subclass_ = std::make_unique<SubclassGuard>(hwnd_, [this](HWND, UINT msg, WPARAM wp, LPARAM, bool& handled) -> LRESULT {
    if (msg == kThumbnailsReadyMessage) {
      handled = true;
      thumbnails_->ReadsReady();
      return 0;
    }
    if (msg == kListingReadyMessage) {
      handled = true;
      ListingReady();
      return 0;
    }
    // Icon mode keeps the columns it was laid out in: a narrower list (the preview pane shown,
    // the window made smaller) would cut a column off. Laid out again once the size is in.
    if (msg == WM_SIZE && thumbnails_->Active()) PostMessageW(hwnd_, kArrangeRowsMessage, 0, 0);
    if (msg == kArrangeRowsMessage) {
      handled = true;
      MSG later;  // one layout for a run of sizes (a drag of the window's edge)
      if (!PeekMessageW(&later, hwnd_, kArrangeRowsMessage, kArrangeRowsMessage, PM_NOREMOVE)) ArrangeRows();
      return 0;
    }
    if (msg == kReadsReadyMessage || (msg == WM_TIMER && wp == kReadsTimer)) {
      handled = true;
      ReadsReady();
      return 0;
    }
    if (msg == kImportedReadyMessage) {
      handled = true;
      LookupsReady();
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

FileListView::~FileListView() {
  listing_.reset();
  reads_.reset();
  thumbnails_.reset();
  state_->RemoveObserver(*this);
  editLock_.reset();
  editSubclass_.reset();
  subclass_.reset();
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void FileListView::SetRootFolder(const std::u16string& value) {
  if (!FolderExists(value)) return;
  std::u16string p = IncludeTrailingBackslash(value);
  if (p == RootFolder()) return;
  if (BrowseState::Navigator* tree = state_->GetNavigator()) {
    tree->NavigateRoot(p);
  } else {
    state_->Show(p, p, FolderChange::Shown);
  }
}

void FileListView::SetShownFolder(const std::u16string& value) {
  if (RootFolder().empty() || value.find(RootFolder()) == std::u16string::npos) return;
  if (BrowseState::Navigator* tree = state_->GetNavigator()) {
    tree->NavigateTo(value);
    ClearSelection();
    return;
  }
  if (!FolderExists(value)) return;
  std::u16string p = IncludeTrailingBackslash(value);
  if (p == ShownFolder()) return;
  ShowFolder(p);
}

void FileListView::ShowFolder(const std::u16string& folder) { state_->Show(RootFolder(), folder, FolderChange::Shown); }

void FileListView::FolderChanged(FolderChange change) {
  switch (change) {
    case FolderChange::Shown:
      DoFolderChanging();
      ListFolder(ShownFolder());
      DoFolderChanged();
      break;
    case FolderChange::Released:
      ListFolder(u"");
      DoFolderChanged();
      break;
    case FolderChange::Renamed:
      // Only the path changed: the rows are the same entries. A listing on its way was of
      // the old path, which is gone.
      if (ListingPending()) {
        if (refreshing_) RefreshFilesListItems(refreshSort_);
        else ListFolder(ShownFolder());
      }
      break;
  }
}

void FileListView::RowsChanged(const std::u16string& folder) {
  if (!ShownFolder().empty() && SamePath(IncludeTrailingBackslash(folder), ShownFolder())) RefreshFilesListItems(true);
}

bool FileListView::NewFolderRequested() {
  CreateFolder(u"");
  return true;
}

void FileListView::SetFindText(const std::u16string& value) {
  if (UpperCaseText(value) == UpperCaseText(model_.FindText())) return;
  model_.SetFindText(value);
  RefreshFilesListItems(true);
}

const FileRecord* FileListView::FocusedRecord() const {
  return model_.Record(ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED));
}

void FileListView::SetDisplayExt(bool value) {
  if (value == model_.DisplayExt()) return;
  model_.SetDisplayExt(value);
  RefreshFilesListItems(false);
}

FileRecord* FileListView::FileInfo() {
  int index = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED);
  if (index < 0 || index >= model_.Count()) return nullptr;
  fileInfo_ = model_.Record(index);
  return fileInfo_;
}

int FileListView::ItemCount() const { return ListView_GetItemCount(hwnd_); }
int FileListView::SelectedCount() const { return static_cast<int>(ListView_GetSelectedCount(hwnd_)); }

void FileListView::SetRowCount() {
  // Keep the scroll position and selection where the rows stay.
  SetRows(model_.Count(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void FileListView::SetRows(int count, DWORD flags) {
  ListView_SetItemCountEx(hwnd_, count, flags);
  ArrangeRows();
}

void FileListView::ArrangeRows() {
  if (!thumbnails_ || !thumbnails_->Active()) return;
  // Without drawing meanwhile: each row moved would else be measured (its text asked) twice.
  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  ListView_Arrange(hwnd_, LVA_DEFAULT);
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void FileListView::SetMetadataSource(MetadataSource& source) {
  metadata_ = &source;
  HWND hwnd = hwnd_;
  // Posted, never sent: the worker must not wait for the window's thread.
  reads_ = std::make_unique<MetadataReads>(source, [hwnd] { PostMessageW(hwnd, kReadsReadyMessage, 0, 0); }, kReadThreads);
  KeepPicturesWithDates();
}

void FileListView::KeepPicturesWithDates() {
  // In the thumbnail view the date's read also keeps the stored picture it fetched.
  if (reads_) reads_->KeepPictures(thumbnails_ && thumbnails_->Active() ? thumbnails_->Side() : 0);
}

void FileListView::SetListingSource(DirectoryLister& lister) {
  HWND hwnd = hwnd_;
  listing_.reset();
  listing_ = std::make_unique<FolderListing>(lister, [hwnd] { PostMessageW(hwnd, kListingReadyMessage, 0, 0); });
}

void FileListView::ListFolder(const std::u16string& folder) {
  fileInfo_ = nullptr;
  selectAfterListing_.clear();
  editAfterListing_.clear();
  refreshing_ = refreshAfterEdit_ = false;
  refreshRuns_.clear();
  // The records go: results still on their way must not reach them.
  reads_->Cancel();
  lookups_->Cancel();
  importedCount_ = 0;
  thumbnails_->NewFolder(folder);
  CancelCardRead();
  SetRows(0, 0);
  model_.ShowListing(folder, {}, false);
  InvalidateRect(hwnd_, nullptr, TRUE);
  // No folder (none chosen yet, or the card went): an empty path would list the process's
  // current folder.
  if (folder.empty()) {
    listing_->Cancel();
    return;
  }
  StartListing(folder);
}

void FileListView::StartListing(const std::u16string& folder) {
  listing_->Start(folder, {model_.FindText(), model_.SortState()});
  // What comes within the grace is shown before the change returns: a fast disk's whole
  // folder, so that it never flashes an empty list, or a slow card's first rows.
  listing_->Wait(kListingGrace);
  ListingReady();
}

void FileListView::ListingReady() {
  std::optional<FolderListing::Batch> batch = listing_->Take();
  // Taken already, or a newer folder made it stale.
  if (!batch || batch->folder != ShownFolder()) return;
  thumbnails_->NamesChanged();
  if (refreshing_) {
    RefreshArrived(*batch);
    return;
  }
  fileInfo_ = nullptr;
  // A folder that could not be read to its end (a card pulled meanwhile) shows no rows.
  if (batch->complete && !batch->listed) {
    SetRows(0, 0);
    model_.ShowListing(batch->folder, {}, false);
    InvalidateRect(hwnd_, nullptr, TRUE);
    if (OnReadProgress) OnReadProgress();
    return;
  }
  // Rows shown from an earlier batch stay selected and in view while the new ones go in.
  const bool shown = model_.Count() > 0;
  RowMemo memo;
  if (shown) memo = RememberRows();
  model_.AddListed(std::move(batch->runs), batch->sort);
  SetRows(model_.Count(), shown ? LVSICF_NOSCROLL : 0);
  if (shown) RestoreRows(memo);
  InvalidateRect(hwnd_, nullptr, TRUE);
  if (!batch->complete) {
    if (OnReadProgress) OnReadProgress();
    return;
  }
  if (!selectAfterListing_.empty()) {
    int row = model_.RowOfName(selectAfterListing_);
    selectAfterListing_.clear();
    if (row >= 0) {
      SelectRow(row);
      ListView_SetSelectionMark(hwnd_, row);
    }
  }
  StartReads();
  if (OnReadProgress) OnReadProgress();
  if (!editAfterListing_.empty()) EditNewItem(std::exchange(editAfterListing_, std::u16string()));
}

void FileListView::RefreshArrived(FolderListing::Batch& batch) {
  for (auto& run : batch.runs) refreshRuns_.push_back(std::move(run));
  if (!batch.complete) return;
  refreshing_ = false;
  std::vector<RecordBatch> runs = std::move(refreshRuns_);
  refreshRuns_.clear();
  if (editLock_) {
    // Nothing may rebuild the rows under the editor: the folder is read again once the
    // edit ends.
    refreshAfterEdit_ = true;
    return;
  }
  RecordBatch listed;
  // A folder that could not be read to its end keeps no rows, as each of its entries would
  // be looked for in vain.
  if (batch.listed) {
    for (auto& run : runs)
      for (auto& record : run) listed.push_back(std::move(record));
  }
  fileInfo_ = nullptr;
  // The rows may change places: the selection, the focus and the scroll position follow
  // their files by name, never the row numbers.
  RowMemo memo = RememberRows();
  reads_->Cancel();
  lookups_->Cancel();
  bool scroll = model_.ApplyRefresh(ShownFolder(), std::move(listed), refreshSort_);
  SetRowCount();
  StartReads();
  RestoreRows(memo);
  if (scroll) ListView_EnsureVisible(hwnd_, model_.Count() - 1, TRUE);
  DoFolderChanged();
  InvalidateRect(hwnd_, nullptr, TRUE);
  if (OnReadProgress) OnReadProgress();
  if (!editAfterListing_.empty()) EditNewItem(std::exchange(editAfterListing_, std::u16string()));
}

void FileListView::StartReads() {
  MetadataReads::Jobs jobs = model_.PendingReads();
  if (jobs.Size() == 0) {
    reads_->Cancel();
    thumbnails_->DatesDone();
    StartLookups();
    return;
  }
  reads_->Start(ShownFolder(), std::move(jobs));
  // The rows in view first; the control's cache hints move this as the user scrolls.
  int top = ListView_GetTopIndex(hwnd_);
  reads_->Prefer(top, top + ListView_GetCountPerPage(hwnd_));
  if (OnReadProgress) OnReadProgress();
}

void FileListView::ReadsReady() {
  std::vector<MetadataReads::Result> results = reads_->Take();
  for (auto& r : results) {
    // Keys are records of the current run: every change that drops records cancels it first.
    auto* record = static_cast<FileRecord*>(const_cast<void*>(r.key));
    thumbnails_->DateRead(r.key, record->Name, std::move(r.picture));
    if (record->MetadataPending) ApplyRecordMetadata(*record, std::move(r.metadata));
  }
  unshownResults_ += results.size();
  const bool done = !reads_->Running();
  if (done) thumbnails_->DatesDone();
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
    model_.Sort();
    RestoreRows(memo);
  }
  InvalidateRect(hwnd_, nullptr, FALSE);
  if (done) StartLookups();
  if (OnReadProgress) OnReadProgress();
  if (done && OnSelectItem) OnSelectItem();  // the rename button may now apply
}

void FileListView::StartLookups() {
  std::vector<HistoryLookups::Job> jobs;
  for (const auto& record : model_.Records().Items())
    if (CanLookUp(*record)) jobs.push_back({record.get(), IdentityOf(*record)});
  lookups_->Start(std::move(jobs));
}

void FileListView::LookupsReady() {
  std::vector<HistoryLookups::Result> results = lookups_->Take();
  if (results.empty()) return;
  // Answers only reach records still listed (a row removed meanwhile is not among them).
  std::unordered_map<const void*, FileRecord*> listed;
  for (const auto& record : model_.Records().Items()) listed.emplace(record.get(), record.get());
  for (const HistoryLookups::Result& r : results)
    if (auto it = listed.find(r.key); it != listed.end()) it->second->ImportedAt = r.filedAt;
  importedCount_ = 0;
  for (const auto& record : model_.Records().Items()) importedCount_ += record->ImportedAt > 0;
  InvalidateRect(hwnd_, nullptr, FALSE);
  if (OnReadProgress) OnReadProgress();
}

void FileListView::FinishReadsOf(const std::vector<int>& rows) {
  bool read = false;
  for (int row : rows) {
    if (row < 0 || row >= model_.Count()) continue;
    FileRecord& record = *model_.Record(row);
    if (!record.MetadataPending) continue;
    WaitCursor wait;
    // The worker's copy, if it comes, finds the record no longer pending.
    ApplyRecordMetadata(record, ReadRecordMetadata(ShownFolder() + record.Name, *metadata_));
    read = true;
  }
  if (read) InvalidateRect(hwnd_, nullptr, FALSE);
}

void FileListView::RefreshFilesListItems(bool asort) {
  if (ShownFolder().empty()) {
    // Nothing is listed before a folder is chosen.
    ListFolder(u"");
    DoFolderChanged();
    return;
  }
  if (ListingPending() && !refreshing_) {
    // The folder's first listing is still coming: it is listed afresh (with the filter as it
    // is now), the row to select after it kept.
    std::u16string select = std::exchange(selectAfterListing_, std::u16string());
    std::u16string edit = std::exchange(editAfterListing_, std::u16string());
    ListFolder(ShownFolder());
    if (ListingPending()) {
      selectAfterListing_ = std::move(select);
      editAfterListing_ = std::move(edit);
    }
    DoFolderChanged();
    return;
  }
  // The folder is listed on the worker; the rows change when the whole listing is there
  // (within the grace, before this returns, on a fast disk). Reads go on meanwhile.
  refreshSort_ = (refreshing_ && refreshSort_) || asort;
  refreshing_ = true;
  refreshRuns_.clear();
  StartListing(ShownFolder());
}

std::vector<int> FileListView::SelectedRows() const {
  std::vector<int> rows;
  for (int i = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(hwnd_, i, LVNI_SELECTED))
    rows.push_back(i);
  return rows;
}

FileListView::RowMemo FileListView::RememberRows() const {
  RowMemo memo;
  int count = model_.Count();
  for (int i : SelectedRows())
    if (i < count) memo.selected.push_back(model_.Record(i)->Name);
  int focused = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
  if (focused >= 0 && focused < count) memo.focused = model_.Record(focused)->Name;
  int top = ListView_GetTopIndex(hwnd_);
  if (top >= 0 && top < count) memo.top = model_.Record(top)->Name;
  return memo;
}

void FileListView::RestoreRows(const RowMemo& memo) {
  int count = model_.Count();
  std::vector<std::u16string> names = memo.selected;
  names.push_back(memo.focused);
  names.push_back(memo.top);
  std::vector<int> rows = RowsOfNames(names, [this](int i) { return model_.Record(i)->Name; }, count);
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

void FileListView::RefreshView() {
  if (BrowseState::Navigator* tree = state_->GetNavigator()) {
    tree->RefreshFolders(false);
    return;
  }
  if (state_->RefreshLocked()) return;
  // Released on every way out: a refresh that failed once must not silence all later ones.
  RefreshLock lock(*state_);
  WaitCursor wait;
  RefreshFilesListItems(true);
}

void FileListView::ClearSelection() { ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED); }

void FileListView::SelectRow(int index) {
  ListView_SetItemState(hwnd_, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(hwnd_, index, FALSE);
}

void FileListView::SelectNameWhenListed(const std::u16string& name) {
  ClearSelection();
  if (ListingPending()) {
    selectAfterListing_ = name;
    return;
  }
  int row = model_.RowOfName(name);
  if (row >= 0) {
    SelectRow(row);
    ListView_SetSelectionMark(hwnd_, row);
  }
}

void FileListView::ColumnClick(int column) {
  std::u16string name;
  bool remembered = false;
  if (FileRecord* record = FileInfo()) {
    name = record->Name;
    remembered = true;
  }
  fileInfo_ = nullptr;
  int index = model_.SortByColumn(column, remembered ? &name : nullptr);
  ShowSortArrow();
  InvalidateRect(hwnd_, nullptr, TRUE);
  ClearSelection();
  if (index >= 0) SelectRow(index);
}

void FileListView::SetSortState(const FileSortState& sort) {
  RowMemo memo = RememberRows();
  model_.SetSortState(sort);
  RestoreRows(memo);
  ShowSortArrow();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void FileListView::ShowSortArrow() {
  HWND header = ListView_GetHeader(hwnd_);
  if (!header) return;
  const FileSortState& sort = model_.SortState();
  for (int i = 0; i < FileColumnCount; ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!Header_GetItem(header, i, &item)) continue;
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == sort.SortColumn) item.fmt |= sort.Direction() < 0 ? HDF_SORTDOWN : HDF_SORTUP;
    Header_SetItem(header, i, &item);
  }
}

void FileListView::LookUpIcon(FileRecord& record) {
  const std::u16string type = SharedIconKey(record);
  if (!type.empty()) {
    // The type's icon, asked for once per type without touching the file: under Wine a
    // look-up by path costs several milliseconds a row, a screenful a third of a second.
    auto it = typeIcons_.find(type);
    if (it == typeIcons_.end()) {
      SHFILEINFOW info{};
      const bool folder = record.IsFolder();
      std::u16string pattern = folder ? u"folder" : u"*" + type;
      DWORD_PTR ok = SHGetFileInfoW(W(pattern), folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL, &info,
                                    sizeof(info), SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON);
      it = typeIcons_.emplace(type, ok ? info.iIcon : 0).first;
    }
    record.IconIndex = it->second;
    return;
  }
  std::u16string path = ShownFolder() + record.Name;
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

void FileListView::LookUpIcons(int from, int to) {
  int count = model_.Count();
  if (from >= count || to >= count || to < from || from < 0) return;
  for (int i = from; i <= to; ++i) {
    FileRecord* record = model_.Record(i);
    if (record->IconIndex < 0) LookUpIcon(*record);
  }
}

bool FileListView::RowInView(int index) const {
  RECT icon{}, client{}, both{};
  icon.left = LVIR_ICON;
  // A rect the control cannot tell: asked for, as before.
  if (!SendMessageW(hwnd_, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&icon))) return true;
  GetClientRect(hwnd_, &client);
  return IntersectRect(&both, &icon, &client) != FALSE;
}

bool FileListView::OnNotify(NMHDR* header, LRESULT& result) {
  if (header->hwndFrom != hwnd_) return false;
  result = 0;
  switch (header->code) {
    case LVN_GETDISPINFOW: {
      auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
      LVITEMW& item = info->item;
      int index = item.iItem;
      if (index < 0 || index >= model_.Count()) return true;
      FileRecord& record = *model_.Record(index);
      if (item.mask & LVIF_TEXT) CopyToBuffer(model_.CellText(index, item.iSubItem, CurrentLocale()), item);
      if (item.mask & LVIF_IMAGE) {
        // The range hint normally came first; a control that gives none still gets icons.
        if (record.IconIndex < 0) LookUpIcon(record);
        item.iImage = thumbnails_->Active()
                          ? thumbnails_->ImageFor(record, record.IconIndex, record.MetadataPending, RowInView(index))
                          : record.IconIndex;
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
      if ((nm->uChanged & LVIF_STATE) && (nm->uNewState & LVIS_FOCUSED) && !(nm->uOldState & LVIS_FOCUSED) && OnFocusItem)
        OnFocusItem();
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
      if (ListingPending()) {
        // Rows still coming may move under the editor: the name typed would go to another
        // file. The edit is refused until the listing is in.
        result = TRUE;
        return true;
      }
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


int FileListView::FindItem(const NMLVFINDITEMW& find) const {
  if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return -1;
  std::u16string prefix = U16(find.lvfi.psz);
  // Explorer's type-to-find: from the start the control gives (the row after the focused
  // one for a new search), always wrapping to the top.
  return FindRowByPrefix(
      model_.Count(), [this](int i) { return RowCaption(model_.Record(i)->Name, model_.DisplayExt()); }, prefix,
      find.iStart, true);
}

int FileListView::ColumnWidth(int column) const {
  // In icon mode the control answers no column width; its header still has them.
  HDITEMW item{};
  item.mask = HDI_WIDTH;
  HWND header = ListView_GetHeader(hwnd_);
  return header && Header_GetItem(header, column, &item) ? item.cxy : ListView_GetColumnWidth(hwnd_, column);
}

void FileListView::SetThumbnailView(bool on) {
  if (on == thumbnails_->Active()) return;
  // The focused row stays in view across the switch, as in Explorer.
  const int focused = ListView_GetNextItem(hwnd_, -1, LVNI_FOCUSED);
  thumbnails_->Activate(on);
  KeepPicturesWithDates();
  if (focused >= 0) ListView_EnsureVisible(hwnd_, focused, FALSE);
  if (OnViewChanged) OnViewChanged();
}

void FileListView::KeyDown(WORD key) {
  if (OnKeyDown) OnKeyDown(key);
  if (Editing()) return;
  // Explorer's keys for its views: Ctrl+Shift+2 large icons (here the pictures), +6 details.
  if ((key == '2' || key == '6') && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_SHIFT) < 0) {
    SetThumbnailView(key == '2');
    return;
  }
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
      if (BrowseState::Navigator* tree = state_->GetNavigator()) tree->RefreshFolders(true);
      else RefreshView();
      break;
    default:
      break;
  }
}

void FileListView::SyncTreeNode(const std::u16string& folder) {
  state_->RaiseRowsChanged(folder, this);
}

void FileListView::SelectAll() { ListView_SetItemState(hwnd_, -1, LVIS_SELECTED, LVIS_SELECTED); }

void FileListView::DblClick() {
  FileRecord* record = FileInfo();
  if (!record) return;
  std::u16string path = ShownFolder() + record->Name;
  FileInfoResult attributes = shell_->GetFileInfo({path, 0, 0x0800});
  if (!attributes.returnValue) {
    // The entry is gone: show what is there now.
    DefaultBeep();
    RefreshFilesListItems(true);
    SyncTreeNode(ShownFolder());
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
  RefreshLock lock(*state_);
  std::u16string ext = ExtractFileExt(path);
  while (!ext.empty() && ext.back() == u' ') ext.pop_back();
  std::u16string command = shell_->QueryAssociation({0x20, 1, ext, u"open"});
  // SFGAO_FOLDER or SFGAO_FILESYSANCESTOR, without an open command of its own.
  if ((attributes.attributes & (0x20000000u | 0x10000000u)) && command.empty()) {
    std::u16string folder = IncludeTrailingBackslash(path);
    if (BrowseState::Navigator* tree = state_->GetNavigator()) {
      tree->NavigateTo(folder);
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

bool FileListView::BackFolder() {
  if (ShownFolder() == RootFolder()) return false;
  const std::u16string from = ShownFolder();
  if (BrowseState::Navigator* tree = state_->GetNavigator()) {
    tree->NavigateUp();
  } else {
    std::u16string parent = ExtractFilePath(ExcludeTrailingBackslash(from));
    if (parent.empty()) return false;
    ShowFolder(IncludeTrailingBackslash(parent));
  }
  ClearSelection();
  // As in Explorer: the folder just left is the selected row, so that Enter goes back in
  // and the arrow keys move on from there. The focus stays in the list.
  std::u16string parent = IncludeTrailingBackslash(ExtractFilePath(ExcludeTrailingBackslash(from)));
  if (SamePath(parent, ShownFolder())) {
    const std::u16string name = ExtractFileName(ExcludeTrailingBackslash(from));
    if (ListingPending()) {
      selectAfterListing_ = name;
      return true;
    }
    int row = model_.RowOfName(name);
    if (row >= 0) {
      SelectRow(row);
      ListView_SetSelectionMark(hwnd_, row);
    }
  }
  return true;
}

bool FileListView::EditFileName() {
  if (!Focused() || SelectedCount() != 1) return false;
  int row = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED);
  if (row < 0) return false;
  return ListView_EditLabel(hwnd_, row) != nullptr;
}

void FileListView::BeginLabelEdit() {
  // Nothing may rebuild the rows under the editor (a return to the window refreshes): the
  // name typed would go to another file. Every edit holds the lock, however it started.
  if (!editLock_) editLock_ = std::make_unique<RefreshLock>(*state_);
  OpenImeHiragana(hwnd_);
  if (HWND edit = ListView_GetEditControl(hwnd_)) {
    editSubclass_ = std::make_unique<SubclassGuard>(edit, [](HWND, UINT m, WPARAM, LPARAM, bool& handled) {
      handled = m == WM_CONTEXTMENU;  // no context menu in the edit box
      return LRESULT(1);
    });
  }
  if (OnEditing) OnEditing();
}

bool FileListView::EndLabelEdit(const NMLVDISPINFOW& info) {
  CloseIme(hwnd_);
  // A refresh held off by the edit, or one whose listing may predate the new name, reads the
  // folder again once the edit is over.
  ScopeExit refreshAfter([this] {
    if (refreshAfterEdit_ || refreshing_) {
      refreshAfterEdit_ = false;
      RefreshFilesListItems(refreshSort_);
    }
  });
  std::unique_ptr<RefreshLock> unlock = std::move(editLock_);
  int row = info.item.iItem;
  if (!info.item.pszText || row < 0 || row >= model_.Count()) return false;
  std::u16string text = U16(info.item.pszText);
  FileRecord* record = model_.Record(row);
  const std::u16string old = record->Name;
  // A cleared name changes nothing, as a cancelled edit does.
  if (text.find_first_not_of(u' ') == std::u16string::npos) return false;
  std::u16string name = RenamedFileName(old, text, model_.DisplayExt());
  const std::u16string folder = ShownFolder();
  if (!commands_->Rename(folder + old, folder, name, AppWindowOf(hwnd_))) return false;
  // The row takes its place in the order under its new name, still selected and in view.
  if (row < model_.Count() && model_.Record(row) == record) record->Name = name;
  RowMemo memo = RememberRows();
  model_.Sort();
  RestoreRows(memo);
  int now = model_.RowOfName(name);
  if (now >= 0) ListView_EnsureVisible(hwnd_, now, FALSE);
  InvalidateRect(hwnd_, nullptr, FALSE);
  SyncTreeNode(folder);
  if (OnRenamed) OnRenamed(folder + old, folder + name);
  return true;
}

bool FileListView::CopyFiles() { return Copy(); }
bool FileListView::PasteFiles() { return Paste(); }
bool FileListView::DeleteFiles() { return Focused() && Delete(); }
bool FileListView::CreateFolder(const std::u16string& folderName) { return NewFolder(folderName); }
void FileListView::FileInfoDlg() { Properties(); }

std::vector<std::u16string> FileListView::SelectedPaths() const {
  std::vector<std::u16string> paths;
  for (int i : SelectedRows())
    if (const FileRecord* record = model_.Record(i)) paths.push_back(ShownFolder() + record->Name);
  return paths;
}

void FileListView::EndEdit() {
  if (Editing()) ListView_CancelEditLabel(hwnd_);
}

WindowHandle FileListView::Owner() const { return AppWindowOf(hwnd_); }

// Shift held: deleted outright, after the shell's own question.
unsigned FileListView::DeleteFlags() const {
  return GetKeyState(VK_SHIFT) < 0 ? 0u : static_cast<unsigned>(FOF_ALLOWUNDO_);
}

void FileListView::ItemsDeleted(const std::vector<std::u16string>&) {
  // The rows go, and the tree's node of the folder follows.
  state_->RaiseRowsChanged(ShownFolder());
  ClearSelection();
}

void FileListView::EditNewItem(const std::u16string& name) {
  if (ListingPending()) {
    // The new item's row comes with the listing under way.
    editAfterListing_ = name;
    return;
  }
  ClearSelection();
  int row = model_.RowOfName(name);
  if (row < 0) return;  // hidden by the filter
  ListView_EnsureVisible(hwnd_, row, FALSE);
  SelectRow(row);
  SetFocus(hwnd_);
  ListView_EditLabel(hwnd_, row);
}

}  // namespace tess
