#pragma once
// MainWindow: the main window. A top bar with the drive drop-down and the ten tool
// buttons, the folder tree and the file list side by side with a splitter between them,
// and a two-panel status bar.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Eject.h"
#include "app/win/AddressBar.h"
#include "app/win/PaneHandOffs.h"
#include "app/MainCommands.h"
#include "app/win/ToolButton.h"
#include "app/win/ToolImages.h"
#include "browse/win/PreviewPaneWin.h"
#include "browse/win/FileListWin.h"
#include "browse/win/FolderTreeWin.h"
#include "platform/win/Controls.h"
#include "platform/win/WinControls.h"
#include "platform/JournalFolder.h"
#include "rename/CardEject.h"
#include "rename/RunHistory.h"
#include "platform/Volume.h"
#include "platform/win/BrowseFolderWin.h"
#include "platform/win/DpiWin.h"

namespace tess {

class RenameDialog;

struct MainWindowOptions {
  // Put in front of every settings key path: tests keep their settings under a throwaway key.
  std::u16string settingsRoot;
  // How an error that escapes a command is shown; a message box unless replaced.
  std::function<void(const std::u16string& text)> reportError;
  // The program's main window ends the message loop when it is destroyed.
  bool quitOnDestroy = true;
  // The volume calls of the eject button; the system's unless replaced.
  VolumeDevices* volumes = nullptr;
  // The shell the panes' commands go through; the system's unless replaced (tests).
  ShellServices* shell = nullptr;
  // The reader of the photos' metadata; the program's unless replaced (tests hold it back).
  MetadataSource* metadata = nullptr;
  // The codec of the preview's pictures; the system's unless replaced (tests).
  ImageDecoder* decoder = nullptr;
  // The lister of the folders the file list shows; the system's unless replaced (tests hold
  // a listing back).
  DirectoryLister* listing = nullptr;
  // The folder tree's directory reads; the system's unless replaced (tests hold them back).
  DirectoryLister* folders = nullptr;
  // How a pop-up menu is shown: modally at the screen point unless replaced (tests record
  // which menu would open, since nobody is there to choose from it).
  std::function<void(HMENU menu, POINT screen)> showPopup;
  // Called when the folder browse dialog of the root-folder button appears.
  std::function<void(BrowseFolderDialog& dialog)> onBrowseShow;
  // Where rename runs are journalled and undone from; this user's journals unless replaced.
  JournalFolder* journals = nullptr;
};

// The commands of the pop-up menus.
enum MainMenuCommand : int {
  cmdOpen = 200,
  cmdOpenWith,
  cmdExifRenameOne,
  cmdProperties,
  cmdNewFolder,
  cmdNewTextDocument,
  cmdExifRenameSelection,
  cmdExifRenameFolder,
  cmdViewThumbnails,  // 表示 → 縮小版
  cmdViewDetails,     // 表示 → 詳細
  cmdViewPreview,     // 表示 → プレビュー
  cmdViewImportedColumn,  // 表示 → 取り込み日 (the file list's column, on or off)
};

enum MainControlId : int {
  IdDriveBox = 100,
  IdFolderTree = 101,
  IdFileList = 102,
  IdStatusBar = 103,
  IdAddressBar = 104,
  IdPreviewPane = 105,
  IdViewBar = 106,  // the toolbar of the view button
  IdFirstToolButton = 110,
  IdViewButton = 130,
};


enum ToolButtonIndex : int {
  IdRootFolderButton, IdBackButton, IdRenameButton, IdCopyButton, IdPasteButton, IdDeleteButton, IdNewFolderButton, IdRefreshButton, IdEjectButton, IdEventButton,
  ToolButtonCount
};

class MainWindow : public WindowBase, private BrowseState::Observer {
 public:
  explicit MainWindow(HINSTANCE instance, MainWindowOptions options = {});
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Runs the show steps, then makes the window visible, centred.
  void Show(int showCommand);

  FolderTreeView& FolderTree() { return *tree_; }
  FileListView& FileList() { return *list_; }
  HWND DriveBox() const { return combo_; }
  HWND StatusBar() const { return status_; }
  AddressBar& Address() { return *address_; }
  // The address bar's Enter: the typed folder shown (a file's folder, with the file
  // selected); a path that does not exist is named in the status bar and stays in the box.
  void GoToAddress(const std::u16string& text);
  HWND ToolTips() const { return tooltip_; }
  ImageButton& ToolButton(int index) { return *buttons_[static_cast<size_t>(index)]; }
  // The view button (as Explorer's): a toolbar button whose drop-down switches the list
  // between 縮小版 and 詳細, the current one checked; its picture shows the current view.
  HWND ViewBar() const { return viewBar_; }
  HMENU ViewButtonMenu() const { return viewButtonMenu_; }
  int FolderTreeWidth() const { return treeWidth_; }
  // The preview pane (表示 → プレビュー, Alt+P): shown or hidden; it follows the list's focus.
  PreviewPane& Preview() { return *preview_; }
  bool PreviewShown() const { return previewShown_; }
  void ShowPreview(bool on);
  int PreviewWidth() const { return previewWidth_; }
  // The DPI the window lays itself out for.
  int Dpi() const { return scale_.Dpi(); }

  std::u16string RootBasePath;
  bool ActiveMonitor = false;

  void UpdateStatusPanels();
  int SetDriveCombo(const std::u16string& selectFolder);
  void OnDriveChange();
  // --- drives, cards and drag and drop ---
  void WMDeviceChange(WPARAM wp, LPARAM lp);
  void OnEjectButton();
  // The panes leave a folder that no longer exists for the selected drive or the first one
  // present (the drop-down follows).
  void LeaveVanishedFolder();
  // The drop-down rebuilt after a drive came or went, and the panes off a vanished folder.
  void DrivesChanged();
  // The folder the panes show from (the tree's root, else the list's).
  std::u16string ShownRoot() const;
  // Whether the panes show anything on the drive.
  bool PanesOnDrive(char16_t letter) const;
  PaneDragDrop& DragDrop() { return *dragDrop_; }
  // The shell's program chooser for the list's selected file.
  void OpenSelectedWithProgram();
  // A new text document in the shown folder, named in place.
  void CreateTextDocument();
  void OnActivateApp();
  // Stores the settings; closing is never refused.
  void SaveSettingsOnClose();

  // The tool buttons' commands, routed to the pane that has the focus.
  void OnRootFolderButton();
  void OnBackButton();
  void OnRenameButton();
  void OnCopyButton();
  void OnPasteButton();
  void OnDeleteButton();
  void OnNewFolderButton();
  void OnRefreshButton();
  void OnEventButton();
  // The mouse and key handlers of the panes.
  void OnListClick();
  void OnListMouseDown(POINT screen);
  void OnListKeyDown(WORD key);
  void OnListEditing();
  void OnTreeClick();
  void OnTreeSelectionChange();
  void OnTreeRightClick(POINT screen);
  // Tab and Shift+Tab between the drive drop-down, the tree and the list.
  void TabFrom(HWND control, bool backwards);

  HMENU PopupMenu(int index) const { return popupMenus_[static_cast<size_t>(index - 1)]; }

  // The file list shows this dialog and the dialog runs on the list's rename lists.
  void ConnectRenameForm(RenameDialog& form);
  // After a real rename run: the panes show the disk as it now is.
  void RenameFilesChanged();
  // Ctrl+Z: undoes the last rename batch or the panes' last in-place rename, whichever was
  // the later; a beep when there is neither.
  void UndoLastChange();
  // At the start: a rename run that the program or the machine cut short is offered for
  // undo, once (undo, or leave it as it is).
  void AskAboutCutShortRun();
  void AskAboutCutShortRunWith(const std::function<bool(const std::u16string& question)>& askYesNo);

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  // WM_COMMAND: the drive box, the tool buttons and the menus.
  void Command(int id, int code);
  void ToolButtonCommand(int button);
  // WM_CONTEXTMENU from the keyboard on a pane; false when it is not one.
  bool KeyboardContextMenu(HWND control, LPARAM lp);
  void CreatePopupMenus();
  void ShowPopup(HMENU menu, POINT screen);
  void MenuCommand(int id);
  // The view menus' radio mark on the list's view.
  void ShowViewChoice();
  void ApplyButtons(ButtonEvent event);
  void CopyPasteKeys(WORD key);
  Pane FocusedPane() const;
  // The pane every tool button's command goes to; null when neither has the focus.
  BrowsePane* FocusedBrowsePane() const;
  void CreateComponents();
  void CreateDriveBox();
  void CreateToolButtons();
  void CreateViewButton();
  // The view button's picture and size for the list's view and the window's DPI.
  void ApplyViewButton();
  void ShowViewButtonMenu();
  void CreatePanes();
  // The panes' events that the window answers.
  void ConnectPanes();
  // Tab and Shift+Tab round the controls, Alt+D and F4 to the address bar.
  void InstallTabKeys();
  void BeforeShow();
  void OpenLastFolder();
  void PlaceToolButtons();
  void Layout();
  void SetTreeWidth(int width);
  // Fonts, pictures and control sizes for the window's DPI; then a new layout.
  void ApplyDpi();
  void DpiChanged(int dpi, const RECT* suggested);
  void PaintTopBar(HDC dc);
  RECT SplitterRect() const;
  void ReportError(const std::u16string& text);
  // The eject of one drive, and the folders the panes showed before they let go of it.
  struct PaneFolders {
    std::u16string root, select;
  };
  void EjectDrive(char16_t letter, const PaneFolders& shown, bool released);
  // The eject with the panes letting go of the drive first, and showing it again when it
  // stays; nothing, with the system's text in `error`, when a step was refused.
  std::optional<EjectOutcome> EjectAndRelease(char16_t letter, const PaneFolders& shown, bool released,
                                              std::u16string& error);
  // 完了後にカードを取り出す: the rename dialog's eject of the card a run filed, the same as the
  // eject button's, its outcome told to the dialog's log instead of a message box.
  CardEjectResult EjectRenamedCard(char16_t letter);
  void RestorePaneFolders(const PaneFolders& shown);
  VolumeDevices& Volumes() { return options_.volumes ? *options_.volumes : PlatformVolumes(); }
  JournalFolder& Journals() { return options_.journals ? *options_.journals : PlatformJournalFolder(); }
  // The import history beside this user's journals; none beside journals a test replaced.
  HistoryPlace History() { return options_.journals ? HistoryPlace{} : PlatformHistoryPlace(); }
  void PaneRenamed(const std::u16string& from, const std::u16string& to);
  void UndoInPlaceRename();
  void UndoLastBatch();
  void ToggleImportedColumn();
  void PanesChanged();
  // BrowseState::Observer: a folder shown clears the notice of a vanished one.
  void FolderChanged(FolderChange change) override;
  void FolderVanished(const std::u16string& folder) override;

  HINSTANCE instance_;
  MainWindowOptions options_;
  HWND combo_ = nullptr;
  HWND status_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND lastFocus_ = nullptr;  // the control to give the focus back to on activation
  BrowseState browse_;  // before the panes, which observe it
  std::unique_ptr<FolderTreeView> tree_;
  std::unique_ptr<FileListView> list_;
  std::unique_ptr<AddressBar> address_;
  // A file named in the address bar, selected once its folder is listed.
  std::u16string addressFolder_, addressFile_;
  std::unique_ptr<PaneDragDrop> dragDrop_;
  std::array<std::unique_ptr<ImageButton>, ToolButtonCount> buttons_;
  ToolImageLists toolImages_;
  IconHandle appIcon_;  // outlives the window: destroyed after it
  ImageListHandle driveImages_;
  GdiFont formFont_, paneFont_;
  ImageListHandle rowSpacer_;  // the list's rows as tall as their font needs
  DpiScale scale_;
  int treeWidth_ = 220;  // at the window's DPI
  std::unique_ptr<PreviewPane> preview_;
  std::unique_ptr<Splitter> previewSplitter_;
  bool previewShown_ = false;
  int previewWidth_ = 260;  // at the window's DPI
  // The preview follows the list's focused row.
  void UpdatePreview();
  RECT PreviewSplitterRect() const;
  // Where the list ends on the right: the window's edge, or the preview's splitter.
  int ListRight() const;
  std::unique_ptr<Splitter> splitter_;
  bool shown_ = false;
  std::u16string lastFolder_;      // the folder shown when the window was last closed
  std::u16string statusNotice_;    // what an undo did (or that there was none), until the next folder or action
  void ShowStatusNotice(const std::u16string& text);
  std::u16string vanishedNotice_;  // shown in the selection panel until the next folder or action
  std::u16string vanishedShown_;   // the folder the panes moved to off the vanished one
  bool vanishedMoved_ = false;     // whether they have moved yet
  bool destroying_ = false;
  std::array<HMENU, 4> popupMenus_{};
  std::array<HMENU, 2> viewMenus_{};  // sub-menus of the first two (destroyed with them)
  HWND viewBar_ = nullptr;
  HMENU viewButtonMenu_ = nullptr;
  std::vector<std::unique_ptr<SubclassGuard>> tabGuards_;
  // What Ctrl+Z undoes: only changes made in this session, the latest one.
  enum class LastChange { None, Batch, InPlace } lastChange_ = LastChange::None;
  struct {
    std::u16string from, to;
  } lastInPlace_;
};

}  // namespace tess
