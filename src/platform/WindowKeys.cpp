#include "platform/WindowKeys.h"

namespace tess {
namespace {

constexpr const char16_t* kPlacementNames[] = {u"Top", u"Left", u"Height", u"Width"};

// While the earlier key waits to be moved (a move failed), no window may create the
// product key: its mere existence would stop every later move, and the earlier settings
// would be lost for good.
bool EarlierKeyPending(SettingsStore& store) {
  return store.KeyExists(kEarlierProductKey) && !store.KeyExists(kProductKey);
}

}  // namespace

bool ReadIntegerGroup(SettingsKey& key, const std::vector<std::pair<std::u16string, int32_t*>>& items) {
  for (const auto& [name, target] : items) {
    int32_t value;
    if (ReadInteger(key, name, value) != ReadResult::Ok) return false;
    *target = value;
  }
  return true;
}

bool WriteIntegerGroup(SettingsKey& key, const std::vector<std::pair<std::u16string, int32_t>>& items) {
  for (const auto& [name, value] : items) {
    if (!WriteInteger(key, name, value)) return false;
  }
  return true;
}

bool ReadPlacement(SettingsKey& key, WindowPlacement& p) {
  return ReadIntegerGroup(key, {{kPlacementNames[0], &p.top},
                                {kPlacementNames[1], &p.left},
                                {kPlacementNames[2], &p.height},
                                {kPlacementNames[3], &p.width}});
}

bool WritePlacement(SettingsKey& key, const WindowPlacement& p) {
  return WriteIntegerGroup(key, {{kPlacementNames[0], p.top},
                                 {kPlacementNames[1], p.left},
                                 {kPlacementNames[2], p.height},
                                 {kPlacementNames[3], p.width}});
}

std::unique_ptr<SettingsKey> OpenWindowKey(SettingsStore& store, std::u16string_view path) {
  return store.Open(path, !EarlierKeyPending(store));
}

}  // namespace tess
