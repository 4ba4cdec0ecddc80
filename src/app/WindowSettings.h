#pragma once
// What each window keeps in the settings hive, and the order in which it reads and writes
// it. A window fills a settings struct with its current state (its defaults before a read),
// calls Read...: values are replaced in the stored order until the first one that is
// missing or unreadable, which ends its group silently. Write... stores the struct in the
// same groups; a failed write ends only its own group.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "browse/FileColumns.h"
#include "platform/SettingsKey.h"

namespace tess {

inline constexpr char16_t kProductKey[] = u"\\Software\\Quenfold\\Tessarine";
inline constexpr char16_t kEarlierProductKey[] = u"\\Software\\Quenfold\\Brevikon";
inline constexpr char16_t kMainWindowKey[] = u"\\Software\\Quenfold\\Tessarine\\MainWindow";
inline constexpr char16_t kRenameWindowKey[] = u"\\Software\\Quenfold\\Tessarine\\RenameWindow";
inline constexpr char16_t kListEditWindowKey[] = u"\\Software\\Quenfold\\Tessarine\\ListEditWindow";

// Outer placement of a window in screen pixels, in the order it is stored.
struct WindowPlacement {
  int32_t top = 0;
  int32_t left = 0;
  int32_t height = 0;
  int32_t width = 0;
};

struct MainWindowSettings {
  std::u16string selectFolder;  // empty when none is stored: the window then starts at "C:\"
  WindowPlacement placement{0, 0, 408, 644};
  std::array<int32_t, FileColumnCount> columnWidths = DefaultColumnWidths();
  int32_t folderTreeWidth = 220;
  // The file list's order; stored apart from the placement group ("SortColumn",
  // "SortDirection0", ...), and taken only when all of it could be read.
  FileSortState sort;

  static std::array<int32_t, FileColumnCount> DefaultColumnWidths() {
    std::array<int32_t, FileColumnCount> widths{};
    for (size_t i = 0; i < widths.size(); ++i) widths[i] = kFileColumns[i].defaultWidth;
    return widths;
  }
};

struct RenameWindowSettings {
  WindowPlacement placement;
  std::vector<std::u16string> folderTemplates = BuiltInFolderTemplates();  // "CopyToPath"
  std::vector<std::u16string> fileTemplates = BuiltInFileTemplates();      // "CopyToFile"
  int32_t itemIndex[3] = {0, 0, 0};  // "ComboBox1.ItemIndex" .. "ComboBox3.ItemIndex"; -1 is none

  // The dialog's own lists, used when no stored list can be read or it holds no entry.
  static std::vector<std::u16string> BuiltInFolderTemplates();
  static std::vector<std::u16string> BuiltInFileTemplates();
};

struct ListEditWindowSettings {
  WindowPlacement placement;
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

// Rename dialog show and close. The template lists are replaced only by a stored list that
// holds at least one entry; a missing or unreadable index gives 0.
void ReadRenameWindowSettings(SettingsStore& store, RenameWindowSettings& settings);
bool WriteRenameWindowSettings(SettingsStore& store, const RenameWindowSettings& settings);

// Template list editor show and close.
void ReadListEditWindowSettings(SettingsStore& store, ListEditWindowSettings& settings);
bool WriteListEditWindowSettings(SettingsStore& store, const ListEditWindowSettings& settings);

}  // namespace tess
