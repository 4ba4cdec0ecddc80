#include "app/win/MainWindow.h"
#include "app/ViewMenuTexts.h"

#include <dbt.h>
#include <shellapi.h>

#include <algorithm>
#include <stdexcept>

#include "app/DriveList.h"
#include "app/Eject.h"
#include "app/MainLayout.h"
#include "browse/AddressPath.h"
#include "app/WindowSettings.h"
#include "browse/FolderPaths.h"
#include "browse/win/PaneRowsWin.h"
#include "platform/Locale.h"
#include "platform/SettingsKey.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

constexpr wchar_t kClassName[] = L"TTessarineMain";
constexpr int kTopBarHeight = 39;
constexpr int kStatusHeight = 23;
constexpr int kAddressHeight = 23;
constexpr int kSplitterWidth = 3;
constexpr int kMinPaneWidth = 30;
// A stored size below this would leave a window nobody can find or use.
constexpr int kMinWindowWidth = 200;
constexpr int kMinWindowHeight = 150;

struct ButtonSpec {
  ToolImage image;
  const char16_t* hint;
};
const ButtonSpec kButtons[ToolButtonCount] = {
    {ToolImage::RootFolder, texts::kHintRootFolder}, {ToolImage::Up, texts::kHintUp},
    {ToolImage::Rename, texts::kHintRename},         {ToolImage::Copy, texts::kHintCopy},
    {ToolImage::Paste, texts::kHintPaste},           {ToolImage::Delete, texts::kHintDelete},
    {ToolImage::NewFolder, texts::kHintNewFolder},   {ToolImage::Refresh, texts::kHintRefresh},
    {ToolImage::Eject, texts::kHintEject},           {ToolImage::ExifRename, texts::kExifRename},
};

WNDCLASSEXW MainClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  wc.hIcon = LoadIconW(instance, L"MAINICON");
  if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hIconSm = wc.hIcon;
  return wc;
}

struct MenuItem {
  int id;  // 0: a separator
  const char16_t* caption;
};

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, MainWindowOptions options)
    : instance_(instance), options_(std::move(options)) {
  RegisterClassOnce(MainClass(instance_));
  scale_.Set(WindowDpi(nullptr));
  CreateWindowExW(0, kClassName, W(texts::kAppTitle), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                  scale_(644), scale_(408), nullptr, nullptr, instance_, static_cast<WindowBase*>(this));
  if (!hwnd_) throw EUserError(texts::kErrorWindow);
  scale_.Set(WindowDpi(hwnd_));
  CreateComponents();
}

MainWindow::~MainWindow() {
  dragDrop_.reset();
  browse_.RemoveObserver(*this);
  tabGuards_.clear();
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
  for (HMENU menu : popupMenus_)
    if (menu) DestroyMenu(menu);
  if (viewButtonMenu_) DestroyMenu(viewButtonMenu_);
}

void MainWindow::CreateComponents() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_USEREX_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  CreateDriveBox();
  CreateToolButtons();
  CreateViewButton();
  CreatePanes();
  ApplyDpi();
  ConnectPanes();
  InstallTabKeys();
  CreatePopupMenus();
  Layout();
}

void MainWindow::CreateDriveBox() {
  combo_ = CreateWindowExW(0, WC_COMBOBOXEXW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                           scale_(8), scale_(7), scale_(145), scale_(300), hwnd_,
                           reinterpret_cast<HMENU>(IdDriveBox), instance_, nullptr);
  if (!combo_) throw EUserError(texts::kErrorControl);
  driveImages_.reset(ImageList_Create(scale_(16), scale_(16), ILC_COLOR32 | ILC_MASK, 8, 8));
  if (!driveImages_) throw EUserError(texts::kErrorControl);
  SendMessageW(combo_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(driveImages_.get()));
}

void MainWindow::CreateToolButtons() {
  toolImages_ = MakeToolImageLists(scale_(kToolImageSize));
  // The window's icon: the picture of the program's own task, the EXIF rename.
  appIcon_.reset(ImageList_GetIcon(toolImages_.normal.get(), static_cast<int>(ToolImage::ExifRename), ILD_NORMAL));
  if (appIcon_) {
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon_.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appIcon_.get()));
  }
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_,
                             nullptr);
  for (int i = 0; i < ToolButtonCount; ++i) {
    buttons_[static_cast<size_t>(i)] =
        std::make_unique<ImageButton>(hwnd_, IdFirstToolButton + i, instance_, toolImages_.normal.get(),
                                      toolImages_.disabled.get(), static_cast<int>(kButtons[i].image));
    buttons_[static_cast<size_t>(i)]->SetMetrics(scale_(40), scale_(34), toolImages_.normal.get(),
                                                 toolImages_.disabled.get());
    if (tooltip_) {
      TTTOOLINFOW ti{};
      ti.cbSize = sizeof(ti);
      ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      ti.hwnd = hwnd_;
      ti.uId = reinterpret_cast<UINT_PTR>(buttons_[static_cast<size_t>(i)]->Handle());
      ti.lpszText = const_cast<wchar_t*>(W(kButtons[i].hint));
      SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
      // A disabled button gets no mouse input: the window under it does. The same hint as a
      // rectangle of this window tells what a greyed button is for; placed with the buttons.
      ti.uFlags = TTF_SUBCLASS;
      ti.uId = static_cast<UINT_PTR>(IdFirstToolButton + i);
      ti.rect = RECT{0, 0, 0, 0};
      SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
  }
}

void MainWindow::CreateViewButton() {
  // A real toolbar, for the system's drop-down button; like the other buttons it never takes
  // the focus (a toolbar's buttons do not), so the commands still reach the focused pane.
  viewBar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT | CCS_NORESIZE |
                                 CCS_NOPARENTALIGN | CCS_NODIVIDER,
                             0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(IdViewBar), instance_, nullptr);
  if (!viewBar_) throw EUserError(texts::kErrorControl);
  SendMessageW(viewBar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(viewBar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  SendMessageW(viewBar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolImages_.normal.get()));
  TBBUTTON button{};
  button.iBitmap = static_cast<int>(ToolImage::Details);
  button.idCommand = IdViewButton;
  button.fsState = TBSTATE_ENABLED;
  button.fsStyle = BTNS_WHOLEDROPDOWN;
  if (!SendMessageW(viewBar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button)))
    throw EUserError(texts::kErrorControl);
  viewButtonMenu_ = CreatePopupMenu();
  if (!viewButtonMenu_ || !AppendMenuW(viewButtonMenu_, MF_STRING, cmdViewThumbnails, W(texts::kMenuViewThumbnails)) ||
      !AppendMenuW(viewButtonMenu_, MF_STRING, cmdViewDetails, W(texts::kMenuViewDetails)))
    throw EUserError(texts::kErrorMenu);
  if (tooltip_) {
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(viewBar_);
    ti.lpszText = const_cast<wchar_t*>(W(texts::kMenuView));
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

void MainWindow::ApplyViewButton() {
  if (!viewBar_) return;
  SendMessageW(viewBar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolImages_.normal.get()));
  SendMessageW(viewBar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(scale_(40), scale_(34)));
  const bool thumbnails = list_ && list_->ThumbnailViewOn();
  SendMessageW(viewBar_, TB_CHANGEBITMAP, IdViewButton,
               static_cast<LPARAM>(thumbnails ? ToolImage::Thumbnails : ToolImage::Details));
  SendMessageW(viewBar_, TB_AUTOSIZE, 0, 0);
}

void MainWindow::ShowViewButtonMenu() {
  RECT button{};
  SendMessageW(viewBar_, TB_GETRECT, IdViewButton, reinterpret_cast<LPARAM>(&button));
  MapWindowPoints(viewBar_, nullptr, reinterpret_cast<POINT*>(&button), 2);
  if (tooltip_) SendMessageW(tooltip_, TTM_POP, 0, 0);  // its hint would cover the menu's first line
  ShowPopup(viewButtonMenu_, POINT{button.left, button.bottom});
}

void MainWindow::CreatePanes() {
  // Both panes show one browse state: the tree chooses folders, the list lists them.
  browse_.AddObserver(*this);
  tree_ = std::make_unique<FolderTreeView>(hwnd_, IdFolderTree, instance_, &browse_);
  list_ = std::make_unique<FileListView>(hwnd_, IdFileList, instance_, &browse_);
  ListView_SetTextColor(list_->Handle(), RGB(0, 0, 0));
  address_ = std::make_unique<AddressBar>(hwnd_, IdAddressBar, instance_);
  address_->OnEnter = [this](const std::u16string& text) { GoToAddress(text); };
  address_->OnEscape = [this] { SetFocus(list_->Handle()); };
  address_->OnTab = [this](bool backwards) { TabFrom(address_->Handle(), backwards); };

  status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_NORESIZE |
                                                          CCS_NOPARENTALIGN | CCS_NODIVIDER,
                            0, 0, 100, scale_(kStatusHeight), hwnd_, reinterpret_cast<HMENU>(IdStatusBar), instance_,
                            nullptr);
  if (!status_) throw EUserError(texts::kErrorControl);
  splitter_ = std::make_unique<Splitter>(
      hwnd_, Splitter::Callbacks{[this] { return SplitterRect(); }, [this] { return treeWidth_; },
                                 [this](int& low, int& high) {
                                   RECT rc;
                                   GetClientRect(hwnd_, &rc);
                                   low = scale_(kMinPaneWidth);
                                   high = rc.right - scale_(kSplitterWidth) - low;
                                 },
                                 [this](int x) { SetTreeWidth(x); }});
  preview_ = std::make_unique<PreviewPane>(hwnd_, IdPreviewPane, instance_, options_.decoder);
  previewSplitter_ = std::make_unique<Splitter>(
      hwnd_, Splitter::Callbacks{[this] { return PreviewSplitterRect(); }, [this] { return ListRight(); },
                                 [this](int& low, int& high) {
                                   RECT rc;
                                   GetClientRect(hwnd_, &rc);
                                   low = treeWidth_ + scale_(kSplitterWidth) + scale_(kMinPaneWidth);
                                   high = rc.right - scale_(kSplitterWidth) - scale_(kMinPreviewWidth);
                                 },
                                 [this](int x) {
                                   RECT rc;
                                   GetClientRect(hwnd_, &rc);
                                   previewWidth_ = rc.right - x - scale_(kSplitterWidth);
                                   Layout();
                                 }});
}

void MainWindow::ConnectPanes() {
  list_->OnFolderChanging = [](std::u16string& findText) { findText.clear(); };  // every folder shows all files
  list_->OnFolderChanged = [this] {
    // A file named in the address bar is selected once its folder's rows come.
    if (!addressFile_.empty() && SameTextAscii(list_->ShownFolder(), addressFolder_))
      list_->SelectNameWhenListed(std::exchange(addressFile_, std::u16string()));
    UpdateStatusPanels();
    UpdatePreview();
  };
  list_->OnSelectItem = [this] { UpdateStatusPanels(); };
  list_->OnFocusItem = [this] { UpdatePreview(); };
  list_->OnReadProgress = [this] {
    UpdateStatusPanels();
    UpdatePreview();  // the focused photo's date and camera may have come
  };
  if (options_.metadata) list_->SetMetadataSource(*options_.metadata);
  if (options_.listing) list_->SetListingSource(*options_.listing);
  if (options_.folders) tree_->SetDirectoryLister(*options_.folders);
  // Drags out of the panes and drops onto them.
  dragDrop_ = std::make_unique<PaneDragDrop>(hwnd_, *tree_, *list_, [this](const std::u16string& t) { ReportError(t); });
  list_->OnClick = [this] { OnListClick(); };
  list_->OnRightClick = [this](POINT pt) { OnListMouseDown(pt); };
  list_->OnKeyDown = [this](WORD key) { OnListKeyDown(key); };
  list_->OnEditing = [this] { OnListEditing(); };
  list_->OnError = [this](const std::u16string& text) { ReportError(text); };
  list_->OnViewChanged = [this] { ShowViewChoice(); };
  tree_->OnClick = [this] { OnTreeClick(); };
  tree_->OnChange = [this](HTREEITEM) { OnTreeSelectionChange(); };
  tree_->OnRightClick = [this](POINT pt) { OnTreeRightClick(pt); };
  tree_->OnKeyDown = [this](WORD key) { CopyPasteKeys(key); };
  tree_->OnError = [this](const std::u16string& text) { ReportError(text); };
  list_->OnRenamed = [this](const std::u16string& from, const std::u16string& to) { PaneRenamed(from, to); };
  tree_->OnRenamed = [this](const std::u16string& from, const std::u16string& to) { PaneRenamed(from, to); };
  if (options_.shell) {
    list_->SetShell(*options_.shell);
    tree_->SetShell(*options_.shell);
  }
}

void MainWindow::InstallTabKeys() {
  // Tab and Shift+Tab go round the three controls that take the focus.
  HWND comboInner = reinterpret_cast<HWND>(SendMessageW(combo_, CBEM_GETCOMBOCONTROL, 0, 0));
  for (HWND control : {comboInner ? comboInner : combo_, tree_->Handle(), list_->Handle()}) {
    tabGuards_.push_back(std::make_unique<SubclassGuard>(
        control, [this](HWND h, UINT m, WPARAM w, LPARAM, bool& handled) -> LRESULT {
          if (m == WM_KEYDOWN && w == VK_TAB) {
            TabFrom(h, GetKeyState(VK_SHIFT) < 0);
            handled = true;
          } else if (m == WM_KEYDOWN && w == VK_F4 && !IsChild(combo_, h)) {
            // As in Explorer; F4 in the drive box still opens its list.
            address_->Focus();
            handled = true;
          } else if (m == WM_SYSKEYDOWN && (w == 'D' || w == 'P')) {
            // Alt+D to the address bar, Alt+P the preview, as in Explorer. The key goes on to
            // the system too: an Alt it never saw a key after would open the window menu on
            // its release, and the keys after it would go to that menu.
            if (w == 'D') address_->Focus();
            else ShowPreview(!previewShown_);
          } else if (m == WM_SYSCHAR && (w == L'd' || w == L'D' || w == L'p' || w == L'P')) {
            handled = true;  // no menu beep for the Alt+D or Alt+P just taken
          } else if (m == WM_CHAR && w == L'\t') {
            handled = true;  // no beep for the tab character
          }
          return 0;
        }));
  }
}

void MainWindow::Show(int showCommand) {
  BeforeShow();
  // As the window becomes visible it is centred with its outer size as it now is.
  RECT rc;
  if (GetWindowRect(hwnd_, &rc)) {
    Origin o = CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), rc.right - rc.left,
                             rc.bottom - rc.top, GetSystemMetrics(SM_XVIRTUALSCREEN),
                             GetSystemMetrics(SM_YVIRTUALSCREEN));
    SetWindowPos(hwnd_, nullptr, o.left, o.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  // The window is up and drawn before the last folder is read: a cold card answers slowly.
  OpenLastFolder();
}

void MainWindow::BeforeShow() {
  shown_ = true;
  SetWindowTextW(hwnd_, W(texts::kAppTitle));
  ListView_SetExtendedListViewStyleEx(list_->Handle(), LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);

  // Defaults, which the stored settings may override.
  MainWindowSettings settings;
  RECT rc;
  GetWindowRect(hwnd_, &rc);
  // Sizes, stored and default, are 96-DPI pixels; positions are the screen's.
  settings.placement = {rc.top, rc.left, 408, 644};
  settings.sort = list_->Model().SortState();
  {
    std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(options_.settingsRoot);
    if (store) ReadMainWindowSettings(*store, settings);
  }
  int width = std::max(settings.placement.width, kMinWindowWidth);
  int height = std::max(settings.placement.height, kMinWindowHeight);
  SetWindowPos(hwnd_, nullptr, settings.placement.left, settings.placement.top, scale_(width), scale_(height),
               SWP_NOZORDER | SWP_NOACTIVATE);
  for (int i = 0; i < FileColumnCount; ++i)
    ListView_SetColumnWidth(list_->Handle(), i, scale_(settings.columnWidths[static_cast<size_t>(i)]));
  SetTreeWidth(scale_(settings.folderTreeWidth));
  list_->SetThumbnailView(settings.fileListView == 1);
  previewWidth_ = scale_(settings.previewWidth);
  ShowPreview(settings.previewPane == 1);

  buttons_[IdEjectButton]->SetVisible(true);
  ActiveMonitor = false;
  for (int i : {IdBackButton, IdRenameButton, IdCopyButton, IdPasteButton, IdDeleteButton, IdNewFolderButton, IdRefreshButton})
    buttons_[static_cast<size_t>(i)]->SetEnabled(false);
  PlaceToolButtons();

  lastFolder_ = settings.selectFolder;

  // Every column but the first one left-aligned, as the window has always shown them; the
  // first column's format cannot change.
  for (int i = 1; i < FileColumnCount; ++i) {
    LVCOLUMNW col{};
    col.mask = LVCF_FMT;
    col.fmt = LVCFMT_LEFT;
    ListView_SetColumn(list_->Handle(), i, &col);
  }
  // After the formats: setting a column's format clears its header's arrow.
  list_->SetSortState(settings.sort);
  UpdateStatusPanels();
}

void MainWindow::OpenLastFolder() {
  std::u16string selectFolder = lastFolder_;
  std::u16string treeRoot;
  if (selectFolder.empty()) {
    selectFolder = u"C:\\";
    treeRoot = u"C:\\";
  }
  SetDriveCombo(selectFolder);
  OnDriveChange();
  tree_->SetRootFolder(treeRoot);
  tree_->SetSelectFolder(selectFolder);
  UpdateStatusPanels();
}

void MainWindow::PlaceToolButtons() {
  RECT rc;
  GetWindowRect(combo_, &rc);
  // The chain is laid out in design pixels and scaled, so that its gaps scale too.
  std::vector<int> widths;
  for (const auto& b : buttons_) widths.push_back(scale_.Unscale(b->Width()));
  RECT viewButton{};
  if (viewBar_) SendMessageW(viewBar_, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&viewButton));
  widths.push_back(scale_.Unscale(viewButton.right));
  std::vector<int> lefts = ToolButtonLefts(scale_.Unscale(rc.right - rc.left), widths);
  for (int& left : lefts) left = scale_(left);
  const int top = scale_(3);
  if (viewBar_)
    SetWindowPos(viewBar_, nullptr, lefts.back(), top, viewButton.right, viewButton.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
  for (size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i]->SetLeftTop(lefts[i], top);
    if (tooltip_) {
      TTTOOLINFOW ti{};
      ti.cbSize = sizeof(ti);
      ti.hwnd = hwnd_;
      ti.uId = static_cast<UINT_PTR>(IdFirstToolButton + static_cast<int>(i));
      ti.rect = RECT{lefts[i], top, lefts[i] + buttons_[i]->Width(), top + buttons_[i]->Height()};
      SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
  }
}

RECT MainWindow::SplitterRect() const {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  return RECT{treeWidth_, scale_(kTopBarHeight), treeWidth_ + scale_(kSplitterWidth), rc.bottom - scale_(kStatusHeight)};
}

void MainWindow::SetTreeWidth(int width) {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  if (width < 0) width = 0;
  treeWidth_ = width;
  Layout();
  if (splitter_ && splitter_->Dragging()) {
    // Both panes repaint whole, frame and scroll bars included: a list narrowed or widened
    // under the mouse would otherwise keep its old scroll bar and cut-off names.
    for (HWND pane : {tree_->Handle(), list_->Handle()})
      RedrawWindow(pane, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
}

void MainWindow::Layout() {
  if (!tree_ || !list_ || !status_) return;
  RECT rc;
  GetClientRect(hwnd_, &rc);
  const int topBar = scale_(kTopBarHeight), statusHeight = scale_(kStatusHeight);
  int paneTop = topBar;
  int paneHeight = rc.bottom - topBar - statusHeight;
  if (paneHeight < 0) paneHeight = 0;
  int listLeft = treeWidth_ + scale_(kSplitterWidth);
  int listWidth = ListRight() - listLeft;
  if (listWidth < 0) listWidth = 0;
  // The address bar sits on top of the list, as wide as it.
  const int addressHeight = std::min(scale_(kAddressHeight), paneHeight);
  HDWP dwp = BeginDeferWindowPos(5);
  if (dwp) dwp = DeferWindowPos(dwp, tree_->Handle(), nullptr, 0, paneTop, treeWidth_, paneHeight, SWP_NOZORDER);
  if (dwp && address_)
    dwp = DeferWindowPos(dwp, address_->Handle(), nullptr, listLeft, paneTop, listWidth, addressHeight, SWP_NOZORDER);
  if (dwp)
    dwp = DeferWindowPos(dwp, list_->Handle(), nullptr, listLeft, paneTop + addressHeight, listWidth,
                         paneHeight - addressHeight, SWP_NOZORDER);
  if (dwp)
    dwp = DeferWindowPos(dwp, status_, nullptr, 0, rc.bottom - statusHeight, rc.right, statusHeight, SWP_NOZORDER);
  if (dwp && preview_ && previewShown_) {
    const int previewLeft = ListRight() + scale_(kSplitterWidth);
    dwp = DeferWindowPos(dwp, preview_->Handle(), nullptr, previewLeft, paneTop, std::max(0, static_cast<int>(rc.right) - previewLeft),
                         paneHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (dwp) EndDeferWindowPos(dwp);
  RECT bar{0, 0, rc.right, topBar};
  InvalidateRect(hwnd_, &bar, TRUE);
  RECT split = SplitterRect();
  InvalidateRect(hwnd_, &split, TRUE);
  if (previewShown_) {
    RECT previewSplit = PreviewSplitterRect();
    InvalidateRect(hwnd_, &previewSplit, TRUE);
  }
}

int MainWindow::ListRight() const {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  if (!previewShown_) return rc.right;
  // The list keeps its least width; the preview gives way first.
  const int least = treeWidth_ + scale_(kSplitterWidth) + scale_(kMinPaneWidth);
  return std::max(least, static_cast<int>(rc.right) - previewWidth_ - scale_(kSplitterWidth));
}

RECT MainWindow::PreviewSplitterRect() const {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  const int left = ListRight();
  return RECT{left, scale_(kTopBarHeight), left + scale_(kSplitterWidth), rc.bottom - scale_(kStatusHeight)};
}

void MainWindow::ShowPreview(bool on) {
  if (!preview_) return;
  previewShown_ = on;
  Layout();
  ShowWindow(preview_->Handle(), on ? SW_SHOWNA : SW_HIDE);
  ShowViewChoice();
  UpdatePreview();
}

void MainWindow::UpdatePreview() {
  if (!preview_ || !previewShown_) return;
  const FileRecord* record = list_->FocusedRecord();
  preview_->ShowFile(record ? list_->ShownFolder() + record->Name : std::u16string(), record);
}

void MainWindow::ApplyDpi() {
  formFont_ = MakeFont(L"ＭＳ Ｐゴシック", scale_(12));
  paneFont_ = MakeFont(L"メイリオ", scale_(12));
  for (HWND control : {combo_, status_})
    if (formFont_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(formFont_.get()), TRUE);
  for (HWND pane : {tree_->Handle(), list_->Handle(), address_->Handle()})
    if (paneFont_) SendMessageW(pane, WM_SETFONT, reinterpret_cast<WPARAM>(paneFont_.get()), TRUE);
  if (preview_) preview_->SetFont(paneFont_.get());
  list_->SetDpi(scale_.Dpi());
  // Rows that show a name's underscores and descenders whole, at every DPI.
  ImageListHandle spacer = FitPaneRows(tree_->Handle(), list_->Handle(), scale_.Dpi());
  if (spacer) rowSpacer_ = std::move(spacer);
  SetWindowPos(combo_, nullptr, scale_(8), scale_(7), scale_(145), scale_(300), SWP_NOZORDER | SWP_NOACTIVATE);
  // The status bar's own height follows its font; the window gives it the scaled one.
  SendMessageW(status_, SB_SETMINHEIGHT, static_cast<WPARAM>(scale_(kStatusHeight)), 0);
  int parts[2] = {scale_(150), -1};
  SendMessageW(status_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

void MainWindow::DpiChanged(int dpi, const RECT* suggested) {
  int before = scale_.Dpi();
  if (dpi <= 0 || dpi == before) return;
  scale_.Set(dpi);
  treeWidth_ = RescaleDpi(treeWidth_, before, dpi);
  previewWidth_ = RescaleDpi(previewWidth_, before, dpi);
  for (int i = 0; i < FileColumnCount; ++i)
    ListView_SetColumnWidth(list_->Handle(), i, RescaleDpi(ListView_GetColumnWidth(list_->Handle(), i), before, dpi));
  // The drive icons come again with the next rebuild of the drop-down, at the new size.
  ImageListHandle drives(ImageList_Create(scale_(16), scale_(16), ILC_COLOR32 | ILC_MASK, 8, 8));
  if (drives) {
    SendMessageW(combo_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(drives.get()));
    driveImages_ = std::move(drives);
  }
  ToolImageLists pictures = MakeToolImageLists(scale_(kToolImageSize));
  for (size_t i = 0; i < buttons_.size(); ++i)
    buttons_[i]->SetMetrics(scale_(40), scale_(34), pictures.normal.get(), pictures.disabled.get());
  toolImages_ = std::move(pictures);
  ApplyViewButton();
  ApplyDpi();
  if (suggested)
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  PlaceToolButtons();
  if (shown_) SetDriveCombo(tree_->SelectFolder());
  Layout();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void MainWindow::PaintTopBar(HDC dc) {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  RECT bar{0, 0, rc.right, scale_(kTopBarHeight)};
  FillRect(dc, &bar, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &bar, BDR_RAISEDINNER, BF_RECT);
  RECT split = SplitterRect();
  FillRect(dc, &split, GetSysColorBrush(COLOR_BTNFACE));
}

int MainWindow::SetDriveCombo(const std::u16string& selectFolder) {
  LRESULT remembered = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
  SendMessageW(combo_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
  ImageList_RemoveAll(driveImages_.get());
  ImageList_SetBkColor(driveImages_.get(), GetSysColor(COLOR_WINDOW));
  // A drive without a medium would ask the user to insert one: keep the system quiet.
  UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  std::vector<DriveEntry> entries =
      BuildDriveEntries(GetLogicalDrives(), [](const std::u16string& root) -> std::optional<std::u16string> {
        wchar_t label[MAX_PATH + 1] = {}, fileSystem[MAX_PATH + 1] = {};
        if (!GetVolumeInformationW(W(root), label, MAX_PATH, nullptr, nullptr, nullptr, fileSystem, MAX_PATH))
          return std::nullopt;
        return U16(label, MAX_PATH);  // cut at the first NUL by the entry
      });
  SetErrorMode(previousMode);
  std::vector<std::u16string> texts;
  for (const DriveEntry& e : entries) {
    std::u16string text = e.Text();
    COMBOBOXEXITEMW item{};
    // An entry without an image says so: left out, the control would draw image 0 for it.
    item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
    item.iImage = item.iSelectedImage = -1;
    item.iItem = static_cast<INT_PTR>(texts.size());
    item.pszText = W(text);
    if (e.readable) {
      SHFILEINFOW info{};
      if (SHGetFileInfoW(W(e.root), 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON | SHGFI_SHELLICONSIZE) &&
          info.hIcon) {
        IconHandle icon(info.hIcon);
        int image = ImageList_AddIcon(driveImages_.get(), icon.get());
        if (image >= 0) item.iImage = item.iSelectedImage = image;
      }
    }
    if (SendMessageW(combo_, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) >= 0) texts.push_back(text);
  }
  DriveSelection selection =
      ChooseDriveSelection(texts, selectFolder, remembered == CB_ERR ? -1 : static_cast<int>(remembered));
  SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(selection.selectIndex), 0);
  SendMessageW(combo_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(combo_, nullptr, TRUE);
  return selection.result;
}

void MainWindow::OnDriveChange() {
  std::u16string text = ComboExSelectedText(combo_);
  if (text.size() > 2) {
    RootBasePath = text.substr(0, 3);
    list_->SetRootFolder(RootBasePath);
  }
}

void MainWindow::WMDeviceChange(WPARAM wp, LPARAM lp) {
  if (wp != DBT_DEVICEARRIVAL && wp != DBT_DEVICEREMOVECOMPLETE) return;
  auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lp);
  if (!header || header->dbch_devicetype != DBT_DEVTYP_VOLUME) return;
  if (wp == DBT_DEVICEREMOVECOMPLETE) {
    // A card pulled: the panes stop showing (and touching) its folders at once. The same drive
    // letter may come back with another card, whose folders are not the ones shown.
    auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lp);
    char16_t letter = DriveLetterOf(ShownRoot());
    if (letter && (volume->dbcv_unitmask & (1u << (letter - u'A')))) tree_->ReleaseFolders();
  }
  DrivesChanged();
}

std::u16string MainWindow::ShownRoot() const {
  return !tree_->RootFolder().empty() ? tree_->RootFolder() : list_->RootFolder();
}

bool MainWindow::PanesOnDrive(char16_t letter) const {
  return IsOnDrive(tree_->RootFolder(), letter) || IsOnDrive(list_->ShownFolder(), letter);
}

void MainWindow::DrivesChanged() {
  SetDriveCombo(tree_->SelectFolder());
  OnDriveChange();
  LeaveVanishedFolder();
}

void MainWindow::LeaveVanishedFolder() {
  std::u16string root = ShownRoot();
  if (!root.empty() && FolderExists(root)) return;
  LRESULT selected = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
  int entry = FallbackDriveEntry(ComboExItems(combo_), selected == CB_ERR ? -1 : static_cast<int>(selected),
                                 [](const std::u16string& r) { return FolderExists(r); });
  // Nothing to show on any drive: show nothing rather than what is gone.
  if (entry < 0) {
    if (!root.empty()) tree_->ReleaseFolders();
  } else {
    SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
    OnDriveChange();
  }
  if (!root.empty()) FolderVanished(root);
}

void MainWindow::OnEjectButton() {
  // No entry selected (a rebuild left the position beyond the last one): no drive to eject.
  char16_t letter = DriveLetterOf(ComboExSelectedText(combo_));
  if (!letter) return;
  PaneFolders shown{tree_->RootFolder(), tree_->SelectFolder()};
  EjectDrive(letter, shown, false);
}

void MainWindow::EjectDrive(char16_t letter, const PaneFolders& shown, bool released) {
  std::u16string error;
  std::optional<EjectOutcome> outcome = EjectAndRelease(letter, shown, released, error);
  if (!outcome) {
    ReportError(error);
    return;
  }
  // Files still open elsewhere: the eject gave up, as a user-level failure does.
  if (*outcome == EjectOutcome::LockFailed) DefaultBeep();
  DrivesChanged();
}

std::optional<EjectOutcome> MainWindow::EjectAndRelease(char16_t letter, const PaneFolders& shown, bool released,
                                                        std::u16string& error) {
  EjectOutcome outcome;
  try {
    WaitCursor wait;
    outcome = EjectVolume(Volumes(), letter, [&] {
      // Nothing of the program may hold the volume when it is locked (what the panes show now:
      // something may have shown the drive again since an earlier release).
      if (PanesOnDrive(letter)) {
        tree_->ReleaseFolders();
        released = true;
      }
    });
  } catch (const EVolumeError& e) {
    if (released) RestorePaneFolders(shown);
    error = e.Text();
    return std::nullopt;
  }
  if (outcome != EjectOutcome::Ejected && released) RestorePaneFolders(shown);
  return outcome;
}

CardEjectResult MainWindow::EjectRenamedCard(char16_t letter) {
  std::u16string error;
  std::optional<EjectOutcome> outcome = EjectAndRelease(letter, {tree_->RootFolder(), tree_->SelectFolder()}, false, error);
  if (!outcome) {
    // The log's line names the drive already: only the system's reason, on one line.
    while (!error.empty() && (error.back() == u'\r' || error.back() == u'\n' || error.back() == u' ')) error.pop_back();
    size_t reason = error.rfind(u'\n');
    if (reason != std::u16string::npos) error.erase(0, reason + 1);
    return {CardEjectOutcome::Failed, error};
  }
  switch (*outcome) {
    case EjectOutcome::Ejected:
      // Only a drive gone changes what the panes can show: a run's card left in stays shown.
      DrivesChanged();
      return {CardEjectOutcome::Ejected, {}};
    case EjectOutcome::LockFailed: return {CardEjectOutcome::InUse, {}};
    case EjectOutcome::NotEjectable: break;
  }
  return {CardEjectOutcome::NotRemovable, {}};
}

void MainWindow::RestorePaneFolders(const PaneFolders& shown) {
  tree_->SetRootFolder(shown.root);
  tree_->SetSelectFolder(shown.select);
}

void MainWindow::OpenSelectedWithProgram() { OpenWithProgram(list_->Shell(), SelectedItemPath(*list_)); }

void MainWindow::CreateTextDocument() { CreateNewTextDocument(*list_); }

void MainWindow::UpdateStatusPanels() {
  std::u16string separator = CurrentLocale().ThousandSeparator();
  std::u16string items = StatusItemsText(list_->ItemCount(), separator);
  std::u16string selected = StatusSelectedText(list_->SelectedCount(), separator);
  // The selection's text gives way while the dates come in: it is back when they are all read.
  if (list_->ListingPending()) selected = u"  " + std::u16string(texts::kStatusListing);
  else if (list_->ReadsRunning()) selected = StatusReadingText(list_->ReadsDone(), list_->ReadsTotal(), separator);
  else if (!vanishedNotice_.empty()) selected = vanishedNotice_;
  else if (!statusNotice_.empty()) selected = u"  " + statusNotice_;
  // Beside the selection: how many of the folder's photos were filed before.
  else selected += StatusImportedText(list_->ImportedCount(), separator);
  if (list_->CardReadRunning()) selected = StatusReadingText(list_->CardReadDone(), list_->CardReadTotal(), separator);
  SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(W(items)));
  SendMessageW(status_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(W(selected)));
}

void MainWindow::ShowStatusNotice(const std::u16string& text) {
  statusNotice_ = text;
  UpdateStatusPanels();
}

void MainWindow::FolderChanged(FolderChange change) {
  if (address_) address_->SetShownFolder(browse_.ShownFolder());
  if (change == FolderChange::Renamed || vanishedNotice_.empty()) return;
  // The panes' move off the vanished folder may come after the notice (the tree's reads come
  // back later) and the folder moved to may be shown again: only another folder ends it.
  if (!vanishedMoved_) {
    vanishedMoved_ = true;
    vanishedShown_ = browse_.ShownFolder();
    return;
  }
  if (browse_.ShownFolder() != vanishedShown_) vanishedNotice_.clear();
}

void MainWindow::FolderVanished(const std::u16string& folder) {
  vanishedNotice_ = StatusVanishedText(ExcludeTrailingBackslash(folder));
  vanishedShown_ = browse_.ShownFolder();
  vanishedMoved_ = IncludeTrailingBackslash(vanishedShown_) != IncludeTrailingBackslash(folder);
  if (status_) UpdateStatusPanels();
}

void MainWindow::OnActivateApp() {
  if (!ActiveMonitor) {
    ActiveMonitor = true;
    return;
  }
  list_->RefreshView();
}

void MainWindow::SaveSettingsOnClose() {
  MainWindowSettings settings;
  settings.selectFolder = tree_->SelectFolder();
  WINDOWPLACEMENT wp{};
  wp.length = sizeof(wp);
  RECT rc{};
  if (IsIconic(hwnd_) && GetWindowPlacement(hwnd_, &wp)) rc = wp.rcNormalPosition;
  else GetWindowRect(hwnd_, &rc);
  settings.placement = {rc.top, rc.left, scale_.Unscale(rc.bottom - rc.top), scale_.Unscale(rc.right - rc.left)};
  for (int i = 0; i < FileColumnCount; ++i)
    settings.columnWidths[static_cast<size_t>(i)] = scale_.Unscale(list_->ColumnWidth(i));
  settings.fileListView = list_->ThumbnailViewOn() ? 1 : 0;
  settings.sort = list_->Model().SortState();
  settings.folderTreeWidth = scale_.Unscale(treeWidth_);
  settings.previewPane = previewShown_ ? 1 : 0;
  settings.previewWidth = std::clamp(scale_.Unscale(previewWidth_), kMinPreviewWidth, kMaxPreviewWidth);
  if (std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(options_.settingsRoot))
    WriteMainWindowSettings(*store, settings);
}

void MainWindow::ReportError(const std::u16string& text) {
  if (options_.reportError) {
    options_.reportError(text);
    return;
  }
  MessageBoxW(hwnd_, W(text), W(texts::kAppTitle), MB_OK | MB_ICONERROR);
}

LRESULT MainWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  try {
    return HandleMessage(msg, wp, lp);
  } catch (const std::exception& e) {
    // The command ends; the window stays usable.
    ReportError(UserErrorText(e));
  } catch (...) {
    ReportError(texts::kErrorUnexpected);
  }
  return 0;
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_DPICHANGED:
      DpiChanged(DpiOfDpiChanged(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      if (dc) PaintTopBar(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lp);
      LRESULT result = 0;
      // The panes' items go with their windows: nothing to list or draw any more.
      if (destroying_) return DefWindowProcW(hwnd_, msg, wp, lp);
      if (header->hwndFrom == viewBar_ && header->code == TBN_DROPDOWN) {
        ShowViewButtonMenu();
        return TBDDRET_DEFAULT;
      }
      if (dragDrop_ && dragDrop_->OnNotify(header, result)) return result;  // drags out of the panes
      if (tree_ && tree_->OnNotify(header, result)) return result;
      if (list_ && list_->OnNotify(header, result)) return result;
      return DefWindowProcW(hwnd_, msg, wp, lp);
    }
    case WM_COMMAND:
      Command(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_CONTEXTMENU:
      if (KeyboardContextMenu(reinterpret_cast<HWND>(wp), lp)) return 0;
      return DefWindowProcW(hwnd_, msg, wp, lp);
    case WM_DEVICECHANGE:
      WMDeviceChange(wp, lp);
      return TRUE;
    case WM_SETCURSOR: {
      if (WaitCursor::ShowsWait()) return TRUE;  // the hourglass for the whole of a long step
      LRESULT result = 0;
      if (splitter_ && splitter_->OnMessage(msg, wp, lp, result)) return result;
      if (previewShown_ && previewSplitter_ && previewSplitter_->OnMessage(msg, wp, lp, result)) return result;
      return DefWindowProcW(hwnd_, msg, wp, lp);
    }
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: {
      LRESULT result = 0;
      if (splitter_ && splitter_->OnMessage(msg, wp, lp, result)) return 0;
      if (previewShown_ && previewSplitter_) previewSplitter_->OnMessage(msg, wp, lp, result);
      return 0;
    }
    case WM_ACTIVATE:
      // Keyboard focus goes back to the control that had it when the window was left, so
      // that keys and commands after a switch to another program reach that pane again.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
      } else if (!HIWORD(wp)) {
        // At first the first control in tab order, the drive drop-down.
        SetFocus(lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_) ? lastFocus_ : combo_);
      }
      return 0;
    case WM_ACTIVATEAPP:
      if (wp) OnActivateApp();
      return 0;
    case WM_QUERYENDSESSION:
      // The session ends without a WM_CLOSE: store now what closing would store. Closing is
      // never refused, and neither is the end of the session.
      try {
        SaveSettingsOnClose();
      } catch (...) {
      }
      return TRUE;
    case WM_CLOSE:
      SaveSettingsOnClose();
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      destroying_ = true;
      dragDrop_.reset();  // the drop targets are revoked while their windows still exist
      if (options_.quitOnDestroy) PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}


void MainWindow::Command(int id, int code) {
  if (id == IdDriveBox) {
    if (code == CBN_SELCHANGE) OnDriveChange();
    return;
  }
  if (id >= IdFirstToolButton && id < IdFirstToolButton + static_cast<int>(ToolButtonCount)) {
    ToolButtonCommand(id - IdFirstToolButton);
    return;
  }
  if (id >= cmdOpen && id <= cmdViewImportedColumn) MenuCommand(id);
}

void MainWindow::ToolButtonCommand(int button) {
  switch (button) {
    case IdRootFolderButton: OnRootFolderButton(); break;
    case IdBackButton: OnBackButton(); break;
    case IdRenameButton: OnRenameButton(); break;
    case IdCopyButton: OnCopyButton(); break;
    case IdPasteButton: OnPasteButton(); break;
    case IdDeleteButton: OnDeleteButton(); break;
    case IdNewFolderButton: OnNewFolderButton(); break;
    case IdRefreshButton: OnRefreshButton(); break;
    case IdEjectButton: OnEjectButton(); break;
    case IdEventButton: OnEventButton(); break;
    default: break;
  }
}

bool MainWindow::KeyboardContextMenu(HWND control, LPARAM lp) {
  // The menu key or Shift+F10 (no mouse position): the menu opens at the focused row or node.
  if (lp != -1) return false;
  if (control == list_->Handle()) {
    OnListMouseDown(ListMenuPoint(control));
    return true;
  }
  if (control == tree_->Handle()) {
    OnTreeRightClick(TreeMenuPoint(control));
    return true;
  }
  return false;
}


// --- Pop-up menus ---

void MainWindow::CreatePopupMenus() {
  static const std::vector<MenuItem> kMenus[4] = {
      {{cmdOpen, texts::kMenuOpen},
       {cmdOpenWith, texts::kMenuOpenWith},
       {0, nullptr},
       {cmdExifRenameOne, texts::kExifRename},
       {0, nullptr},
       {cmdProperties, texts::kMenuProperties}},
      {{cmdNewFolder, texts::kMenuNewFolder}, {0, nullptr}, {cmdNewTextDocument, texts::kMenuNewText}},
      {{cmdExifRenameSelection, texts::kExifRename}},
      {{cmdExifRenameFolder, texts::kExifRename}},
  };
  for (size_t m = 0; m < popupMenus_.size(); ++m) {
    HMENU menu = CreatePopupMenu();
    if (!menu) throw EUserError(texts::kErrorMenu);
    popupMenus_[m] = menu;
    for (const MenuItem& item : kMenus[m]) {
      BOOL ok = item.id ? AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.id), W(item.caption))
                        : AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      if (!ok) throw EUserError(texts::kErrorMenu);
    }
    // The list's menus (on a row, on the empty space) end with its views.
    if (m < 2) {
      HMENU views = CreatePopupMenu();
      if (!views || !AppendMenuW(menu, MF_SEPARATOR, 0, nullptr) ||
          !AppendMenuW(views, MF_STRING, cmdViewThumbnails, W(texts::kMenuViewThumbnails)) ||
          !AppendMenuW(views, MF_STRING, cmdViewDetails, W(texts::kMenuViewDetails)) ||
          !AppendMenuW(views, MF_SEPARATOR, 0, nullptr) ||
          !AppendMenuW(views, MF_STRING, cmdViewPreview, W(texts::kMenuViewPreview)) ||
          !AppendMenuW(views, MF_STRING, cmdViewImportedColumn, W(texts::kColumnImported)) ||
          !AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(views), W(texts::kMenuView)))
        throw EUserError(texts::kErrorMenu);
      viewMenus_[m] = views;
    }
  }
  ShowViewChoice();
}

void MainWindow::ShowViewChoice() {
  const bool imported = ListView_GetColumnWidth(list_->Handle(), ColumnImported) > 0;
  if (viewButtonMenu_)
    CheckMenuRadioItem(viewButtonMenu_, cmdViewThumbnails, cmdViewDetails,
                       list_->ThumbnailViewOn() ? cmdViewThumbnails : cmdViewDetails, MF_BYCOMMAND);
  ApplyViewButton();
  for (HMENU views : viewMenus_) {
    if (!views) continue;
    CheckMenuRadioItem(views, cmdViewThumbnails, cmdViewDetails,
                       list_->ThumbnailViewOn() ? cmdViewThumbnails : cmdViewDetails, MF_BYCOMMAND);
    CheckMenuItem(views, cmdViewPreview, MF_BYCOMMAND | (previewShown_ ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(views, cmdViewImportedColumn, MF_BYCOMMAND | (imported ? MF_CHECKED : MF_UNCHECKED));
  }
}

void MainWindow::ToggleImportedColumn() {
  // Off is a column of no width: its place and its stored width stay where they are.
  const bool on = ListView_GetColumnWidth(list_->Handle(), ColumnImported) > 0;
  ListView_SetColumnWidth(list_->Handle(), ColumnImported, on ? 0 : scale_(kImportedColumnWidth));
  ShowViewChoice();
}

void MainWindow::ShowPopup(HMENU menu, POINT screen) {
  ShowViewChoice();  // a column dragged shut meanwhile is off
  if (options_.showPopup) {
    options_.showPopup(menu, screen);
    return;
  }
  // The menu's choice arrives as WM_COMMAND.
  SetForegroundWindow(hwnd_);
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd_, nullptr);
}

void MainWindow::MenuCommand(int id) {
  switch (id) {
    case cmdOpen: list_->Execute(); break;
    case cmdOpenWith: OpenSelectedWithProgram(); break;
    case cmdExifRenameOne:
    case cmdExifRenameSelection: list_->ExifRenameFiles(); break;
    case cmdProperties: list_->FileInfoDlg(); break;
    case cmdViewThumbnails: list_->SetThumbnailView(true); break;
    case cmdViewDetails: list_->SetThumbnailView(false); break;
    case cmdViewPreview: ShowPreview(!previewShown_); break;
    case cmdViewImportedColumn: ToggleImportedColumn(); break;
    case cmdNewFolder: list_->CreateFolder(u""); break;
    case cmdNewTextDocument: CreateTextDocument(); break;
    case cmdExifRenameFolder: list_->ExifRenameFolderTree(); break;
    default: break;
  }
}

// --- Routing and button states ---

Pane MainWindow::FocusedPane() const {
  return CommandTarget(list_->Focused(), tree_->Focused());
}

BrowsePane* MainWindow::FocusedBrowsePane() const {
  switch (FocusedPane()) {
    case Pane::List: return list_.get();
    case Pane::Tree: return tree_.get();
    case Pane::None: break;
  }
  return nullptr;
}

void MainWindow::ApplyButtons(ButtonEvent event) {
  PaneFacts facts;
  facts.listSelected = list_->SelectedCount();
  facts.listEditing = list_->Editing();
  facts.treeHasSelection = tree_->Selected() != nullptr;
  facts.treeEditing = tree_->Editing();
  facts.treeSelectFolder = tree_->SelectFolder();
  facts.treeRootFolder = tree_->RootFolder();
  ButtonStates states{};
  for (int i = 0; i < SwitchableCount; ++i) states[static_cast<size_t>(i)] = buttons_[static_cast<size_t>(i + IdBackButton)]->Enabled();
  states = ApplyButtonEvent(states, event, facts);
  for (int i = 0; i < SwitchableCount; ++i) buttons_[static_cast<size_t>(i + IdBackButton)]->SetEnabled(states[static_cast<size_t>(i)]);
}

void MainWindow::OnRootFolderButton() {
  BrowseFolderDialog dialog(hwnd_);
  dialog.Options = BrowseOptions{BrowseOption::bifReturnOnlyFSDirs, BrowseOption::bifNoNewFolderButton};
  RECT rc{};
  GetWindowRect(hwnd_, &rc);
  dialog.FormLeft = rc.left + 50;
  dialog.FormTop = rc.top + 50;
  dialog.InitDir = RootBasePath;
  if (options_.onBrowseShow) dialog.OnShow = options_.onBrowseShow;
  if (!dialog.Execute()) return;
  RootBasePath = dialog.Directory();
  list_->SetRootFolder(RootBasePath);
}

void MainWindow::OnBackButton() {
  if (BrowsePane* pane = FocusedBrowsePane()) pane->BackFolder();
}

void MainWindow::OnRenameButton() {
  if (BrowsePane* pane = FocusedBrowsePane()) pane->StartRename();
}

void MainWindow::OnCopyButton() {
  if (BrowsePane* pane = FocusedBrowsePane()) pane->Copy();
  ApplyButtons(ButtonEvent::CopyDone);
}

void MainWindow::OnPasteButton() {
  if (BrowsePane* pane = FocusedBrowsePane()) pane->Paste();
}

void MainWindow::OnDeleteButton() {
  if (BrowsePane* pane = FocusedBrowsePane()) pane->Delete();
  SetFocus(tree_->Handle());
  ApplyButtons(ButtonEvent::DeleteDone);
}

void MainWindow::OnNewFolderButton() {
  if (BrowsePane* pane = FocusedBrowsePane()) pane->NewFolder();
}

void MainWindow::OnRefreshButton() {
  tree_->RefreshView(true);
  SetDriveCombo(tree_->SelectFolder());
}

void MainWindow::OnEventButton() {
  // From the tree, the whole folder with its sub-folders: a card's DCIM files in one go.
  if (FocusedPane() == Pane::Tree) {
    list_->ExifRenameFolderTree();
    return;
  }
  list_->ExifRenameFiles();
}

void MainWindow::OnListClick() {
  vanishedNotice_.clear();
  statusNotice_.clear();
  if (!list_->Editing()) CloseIme(list_->Handle());
  ApplyButtons(ButtonEvent::ListClick);
  UpdateStatusPanels();
}

void MainWindow::OnListMouseDown(POINT screen) {
  OnListClick();
  switch (ListPopupFor(list_->SelectedCount())) {
    case ListPopup::OneSelected: ShowPopup(PopupMenu(1), screen); break;
    case ListPopup::NoneSelected: ShowPopup(PopupMenu(2), screen); break;
    case ListPopup::SeveralSelected: ShowPopup(PopupMenu(3), screen); break;
  }
}

void MainWindow::CopyPasteKeys(WORD key) {
  // Esc in either pane gives up the read of a whole card for the rename.
  if (key == VK_ESCAPE && list_->CardReadRunning()) {
    list_->CancelCardRead();
    return;
  }
  if (GetKeyState(VK_CONTROL) >= 0) return;
  if (key == 'C') OnCopyButton();
  else if (key == 'V') OnPasteButton();
  else if (key == 'Z') UndoLastChange();
}

void MainWindow::OnListKeyDown(WORD key) {
  vanishedNotice_.clear();
  statusNotice_.clear();
  if (IsSelectAllKey(key, GetKeyState(VK_CONTROL) < 0)) list_->SelectAll();
  CopyPasteKeys(key);
  UpdateStatusPanels();
}

void MainWindow::OnListEditing() {
  OpenImeHiragana(list_->Handle());
  ApplyButtons(ButtonEvent::ListEditing);
}

void MainWindow::OnTreeClick() {
  if (!tree_->Editing()) CloseIme(tree_->Handle());
  ApplyButtons(ButtonEvent::TreeClick);
  UpdateStatusPanels();
}

void MainWindow::OnTreeSelectionChange() { ApplyButtons(ButtonEvent::TreeChange); }

void MainWindow::OnTreeRightClick(POINT screen) {
  OnTreeClick();
  if (tree_->Selected()) ShowPopup(PopupMenu(4), screen);
}

void MainWindow::TabFrom(HWND control, bool backwards) {
  HWND order[4] = {combo_, tree_->Handle(), address_->Handle(), list_->Handle()};
  int at = 0;
  for (int i = 0; i < 4; ++i)
    if (control == order[i] || IsChild(order[i], control)) at = i;
  SetFocus(order[(at + (backwards ? 3 : 1)) % 4]);
}

void MainWindow::GoToAddress(const std::u16string& text) {
  AddressTarget target = ResolveAddress(text, browse_.ShownFolder(), [](const std::u16string& path) {
    DWORD attributes = GetFileAttributesW(W(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
  });
  if (target.kind == AddressKind::Missing) {
    // Said where the user looks after Enter; the text stays for correcting.
    DefaultBeep();
    vanishedNotice_ = StatusAddressMissingText(target.path);
    vanishedShown_ = browse_.ShownFolder();
    vanishedMoved_ = true;
    UpdateStatusPanels();
    address_->Focus();
    return;
  }
  // A path that was not there is forgotten once one that is has been entered.
  if (vanishedNotice_.rfind(StatusAddressMissingText(u""), 0) == 0) vanishedNotice_.clear();
  addressFolder_ = target.folder;
  addressFile_ = target.fileName;
  std::u16string root = AddressTreeRoot(target.folder, tree_->RootFolder());
  if (root != tree_->RootFolder()) {
    // Another drive or share: the drive box shows its drive, the tree is rooted there.
    SetDriveCombo(target.folder);
    RootBasePath = root;
    tree_->SetRootFolder(root);
  }
  tree_->SetSelectFolder(target.folder);
  if (!addressFile_.empty() && SameTextAscii(list_->ShownFolder(), addressFolder_))
    list_->SelectNameWhenListed(std::exchange(addressFile_, std::u16string()));
  address_->SetShownFolder(browse_.ShownFolder());
  UpdateStatusPanels();
  // The focus goes where the folder shows: the list, with the file selected in it.
  SetFocus(list_->Handle());
}

}  // namespace tess
