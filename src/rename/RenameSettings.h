#pragma once
// What the rename dialog and its template list editor keep in the settings hive, their
// built-in template lists, and the order in which they are read and written (the rules of
// platform/WindowKeys.h: a group ends at its first missing value; a failed write ends only
// its own group).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/SettingsKey.h"
#include "platform/WindowKeys.h"

namespace tess {

inline constexpr char16_t kRenameWindowKey[] = u"\\Software\\Quenfold\\Tessarine\\RenameWindow";
inline constexpr char16_t kListEditWindowKey[] = u"\\Software\\Quenfold\\Tessarine\\ListEditWindow";

struct RenameWindowSettings {
  WindowPlacement placement;
  std::vector<std::u16string> folderTemplates = BuiltInFolderTemplates();  // "CopyToPath"
  std::vector<std::u16string> fileTemplates = BuiltInFileTemplates();      // "CopyToFile"
  int32_t itemIndex[3] = {0, 0, 0};  // "ComboBox1.ItemIndex" .. "ComboBox3.ItemIndex"; -1 is none
  bool includeImported = false;      // "IncludeImported": 取り込み済みも含める, off unless stored on
  // The backup destination: its own template list, whose first entry is empty (no backup).
  // "BackupToPath", stored without its empty entry; "ComboBox4.ItemIndex" counts it (0: no
  // backup, -1: none selected).
  std::vector<std::u16string> backupTemplates = BuiltInBackupTemplates();
  int32_t backupIndex = 0;
  bool ejectWhenDone = false;        // "EjectWhenDone": 完了後にカードを取り出す, off unless stored on

  // The dialog's own lists, used when no stored list can be read or it holds no entry.
  static std::vector<std::u16string> BuiltInFolderTemplates();
  static std::vector<std::u16string> BuiltInFileTemplates();
  static std::vector<std::u16string> BuiltInBackupTemplates();
};

struct ListEditWindowSettings {
  WindowPlacement placement;
};

// Rename dialog show and close. The template lists are replaced only by a stored list that
// holds at least one entry; a missing or unreadable index gives 0.
void ReadRenameWindowSettings(SettingsStore& store, RenameWindowSettings& settings);
bool WriteRenameWindowSettings(SettingsStore& store, const RenameWindowSettings& settings);

// Template list editor show and close.
void ReadListEditWindowSettings(SettingsStore& store, ListEditWindowSettings& settings);
bool WriteListEditWindowSettings(SettingsStore& store, const ListEditWindowSettings& settings);

}  // namespace tess
