#pragma once
// The application's own window messages, numbered in one place so that no two meet in
// one window: each is posted by a worker (or the window itself) back to the window's thread.
#include <windows.h>

namespace tess {

// A modal form has shown itself (its first message loop turn).
inline constexpr UINT kFormShownMessage = WM_APP + 0x51;
// The rename run on its worker: log text, progress, the end.
inline constexpr UINT kRunLogMessage = WM_APP + 0x61;
inline constexpr UINT kRunProgressMessage = WM_APP + 0x62;
inline constexpr UINT kRunDoneMessage = WM_APP + 0x63;
// The file list: metadata reads ready, a folder listing ready, the card read moved on.
inline constexpr UINT kReadsReadyMessage = WM_APP + 0x170;
inline constexpr UINT kListingReadyMessage = WM_APP + 0x171;
inline constexpr UINT kCardReadMessage = WM_APP + 0x172;
// The file list: thumbnails wait to be taken.
inline constexpr UINT kThumbnailsReadyMessage = WM_APP + 0x173;
// The file list's own, posted on a resize in the thumbnail view: its rows are laid out anew.
inline constexpr UINT kArrangeRowsMessage = WM_APP + 0x176;
// The preview pane: the focused photo's picture was read.
inline constexpr UINT kPreviewReadyMessage = WM_APP + 0x174;
// The file list: the import history answered about the shown folder's photos.
inline constexpr UINT kImportedReadyMessage = WM_APP + 0x175;
// The folder tree: folder reads answered.
inline constexpr UINT kFolderRepliesMessage = WM_APP + 0x180;
// The folder tree's directory watch: folders changed under the root.
inline constexpr UINT kFolderChangesMessage = WM_APP + 0x181;

}  // namespace tess
