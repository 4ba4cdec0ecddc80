#pragma once
// What the main window keeps in the settings hive, the order in which it reads and writes
// it (the rules of platform/WindowKeys.h), and the move of the earlier product name's key.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "browse/FileColumns.h"
#include "platform/SettingsKey.h"
#include "platform/WindowKeys.h"

namespace tess {

inline constexpr char16_t kMainWindowKey[] = u"\\Software\\Quenfold\\Tessarine\\MainWindow";

// The preview pane's width that is kept: narrower is no preview, wider no longer a pane.
inline constexpr int32_t kMinPreviewWidth = 60;
inline constexpr int32_t kMaxPreviewWidth = 4000;

struct MainWindowSettings {
  std::u16string selectFolder;  // empty when none is stored: the window then starts at "C:\"
  WindowPlacement placement{0, 0, 408, 644};
  std::array<int32_t, FileColumnCount> columnWidths = DefaultColumnWidths();
  int32_t folderTreeWidth = 220;
  // The file list's order; stored apart from the placement group ("SortColumn",
  // "SortDirection0", ...), and taken only when all of it could be read.
  FileSortState sort;
  // The file list's view, "FileListView": 0 details (詳細), 1 thumbnails (縮小版).
  int32_t fileListView = 0;
  // The preview pane, "PreviewPane": 0 hidden, 1 shown; and its width, "PreviewWidth", in
  // pixels at 96 DPI (as the tree's width).
  int32_t previewPane = 0;
  int32_t previewWidth = 260;

  static std::array<int32_t, FileColumnCount> DefaultColumnWidths() {
    std::array<int32_t, FileColumnCount> widths{};
    for (size_t i = 0; i < widths.size(); ++i) widths[i] = kFileColumns[i].defaultWidth;
    return widths;
  }
};

// Moves the key of the earlier product name to the current one, when only the earlier one
// exists. The earlier key is deleted only after everything was copied; a copy that failed
// is removed again and the earlier key stays for the next start. True when nothing was
// to do or the move succeeded. Until a move succeeds no Read.../Write... below creates the
// product key (the windows keep their defaults and store nothing), so the move is tried
// again at every main window show.
bool MigrateEarlierSettings(SettingsStore& store);

// Main window show: migrates, then reads "SelectFolder" (missing or not a string: empty)
// and the "MainWindow" group.
void ReadMainWindowSettings(SettingsStore& store, MainWindowSettings& settings);
// Main window close. A failure never stops the window from closing; false tells that
// something was not stored.
bool WriteMainWindowSettings(SettingsStore& store, const MainWindowSettings& settings);

}  // namespace tess
