#pragma once
// What every window shares in the settings hive: the product key its own key lives under,
// the placement group each window stores, and the rule for opening a window's key while
// the settings of the earlier product name still wait to be moved.
//
// A window fills a settings struct with its current state (its defaults before a read) and
// reads it group by group: values are replaced in the stored order until the first one that
// is missing or unreadable, which ends its group silently. A failed write ends only its own
// group.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/SettingsKey.h"

namespace tess {

inline constexpr char16_t kProductKey[] = u"\\Software\\Quenfold\\Tessarine";
inline constexpr char16_t kEarlierProductKey[] = u"\\Software\\Quenfold\\Brevikon";

// Outer placement of a window in screen pixels, in the order it is stored.
struct WindowPlacement {
  int32_t top = 0;
  int32_t left = 0;
  int32_t height = 0;
  int32_t width = 0;
};

// Reads integers in order into their targets; the first that is missing or unreadable ends
// the group, leaving it and the later targets as they were. False when the group ended early.
bool ReadIntegerGroup(SettingsKey& key, const std::vector<std::pair<std::u16string, int32_t*>>& items);
// Writes in order; the first failure ends the group.
bool WriteIntegerGroup(SettingsKey& key, const std::vector<std::pair<std::u16string, int32_t>>& items);

// "Top", "Left", "Height", "Width".
bool ReadPlacement(SettingsKey& key, WindowPlacement& placement);
bool WritePlacement(SettingsKey& key, const WindowPlacement& placement);

// Opens a window's key, creating it unless the earlier product key waits to be moved: its
// mere existence would stop every later move, so the window then keeps its defaults and
// stores nothing. Null when the key cannot be opened.
std::unique_ptr<SettingsKey> OpenWindowKey(SettingsStore& store, std::u16string_view path);

}  // namespace tess
