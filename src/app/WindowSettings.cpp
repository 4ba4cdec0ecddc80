#include "app/WindowSettings.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tess {
namespace {

constexpr const char16_t* kPlacementNames[] = {u"Top", u"Left", u"Height", u"Width"};
constexpr const char16_t* kItemIndexNames[] = {u"ComboBox1.ItemIndex", u"ComboBox2.ItemIndex",
                                               u"ComboBox3.ItemIndex"};

// Reads integers in order into their targets; the first that is missing or unreadable ends
// the group, leaving it and the later targets as they were.
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

// "ColumnWidth0", "ColumnWidth1", ...: one per column of the file list.
std::u16string IndexedName(const char16_t* stem, int index) {
  std::u16string name = stem;
  for (char c : std::to_string(index)) name += static_cast<char16_t>(c);
  return name;
}

// The column widths, then the tree's width.
std::vector<std::pair<std::u16string, int32_t*>> PaneWidthTargets(MainWindowSettings& s) {
  std::vector<std::pair<std::u16string, int32_t*>> items;
  for (int i = 0; i < FileColumnCount; ++i) items.emplace_back(IndexedName(u"ColumnWidth", i), &s.columnWidths[static_cast<size_t>(i)]);
  items.emplace_back(u"FolderTreeWidth", &s.folderTreeWidth);
  return items;
}

// The file list's order: the column, then each column's direction.
std::vector<std::pair<std::u16string, int32_t*>> SortTargets(FileSortState& sort) {
  std::vector<std::pair<std::u16string, int32_t*>> items;
  items.emplace_back(u"SortColumn", &sort.SortColumn);
  for (int i = 0; i < FileColumnCount; ++i) items.emplace_back(IndexedName(u"SortDirection", i), &sort.SortDirection[static_cast<size_t>(i)]);
  return items;
}

std::vector<std::pair<std::u16string, int32_t>> Values(const std::vector<std::pair<std::u16string, int32_t*>>& targets) {
  std::vector<std::pair<std::u16string, int32_t>> values;
  for (const auto& [name, target] : targets) values.emplace_back(name, *target);
  return values;
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

std::vector<std::u16string> ReadTemplateList(SettingsKey& key, const char16_t* name,
                                             std::vector<std::u16string> builtIn) {
  std::vector<std::u16string> list;
  if (ReadMultiString(key, name, list) == ReadResult::Ok && !list.empty()) return list;
  return builtIn;
}

// While the earlier key waits to be moved (a move failed), no window may create the
// product key: its mere existence would stop every later move, and the earlier settings
// would be lost for good. The window then keeps its defaults and stores nothing.
bool EarlierKeyPending(SettingsStore& store) {
  return store.KeyExists(kEarlierProductKey) && !store.KeyExists(kProductKey);
}

std::unique_ptr<SettingsKey> OpenWindowKey(SettingsStore& store, std::u16string_view path) {
  return store.Open(path, !EarlierKeyPending(store));
}

}  // namespace

std::vector<std::u16string> RenameWindowSettings::BuiltInFolderTemplates() {
  return {u"@元のフォルダ名", u"@年4@月2@日2", u"@モデル\\@年4@月2@日2", u"@メーカー\\@モデル\\@年4@月2@日2",
          u"C:\\DSC\\@元号2@元号年1年@月1月@日1日"};
}

std::vector<std::u16string> RenameWindowSettings::BuiltInFileTemplates() {
  return {u"@元のファイル名", u"@年4@月2@日2-@時2@分2@秒2", u"@年4@月2@日2(@曜1)-@時2@分2@秒2",
          u"@年4@月2@日2-@通1"};
}

bool MigrateEarlierSettings(SettingsStore& store) {
  if (!store.KeyExists(kEarlierProductKey) || store.KeyExists(kProductKey)) return true;
  if (!CopyKeyTree(store, kEarlierProductKey, kProductKey)) {
    // A partial copy would hide the earlier key for good (the current key now exists):
    // remove it, keep the earlier key, and try again at the next start.
    store.DeleteTree(kProductKey);
    return false;
  }
  return store.DeleteTree(kEarlierProductKey);
}

void ReadMainWindowSettings(SettingsStore& store, MainWindowSettings& settings) {
  MigrateEarlierSettings(store);
  if (std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kProductKey)) {
    // A value of another type is treated as missing rather than stopping the show.
    std::u16string folder;
    settings.selectFolder = ReadString(*key, u"SelectFolder", folder) == ReadResult::Ok ? folder : std::u16string();
  } else {
    settings.selectFolder.clear();
  }
  if (std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kMainWindowKey)) {
    // One group: the column widths and the tree width are read only after the placement.
    if (ReadPlacement(*key, settings.placement)) ReadIntegerGroup(*key, PaneWidthTargets(settings));
    // A group of its own, read whole or not at all: settings stored before the order was
    // kept have no such values, and a half-read order would mix two.
    FileSortState sort = settings.sort;
    if (ReadIntegerGroup(*key, SortTargets(sort))) settings.sort = sort;
  }
}

bool WriteMainWindowSettings(SettingsStore& store, const MainWindowSettings& settings) {
  bool ok = true;
  // A failure to store the folder must not keep the window open, nor skip the rest.
  if (std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kProductKey)) {
    ok = WriteString(*key, u"SelectFolder", settings.selectFolder);
  } else {
    ok = false;
  }
  std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kMainWindowKey);
  if (!key) return false;
  MainWindowSettings copy = settings;
  bool group = WritePlacement(*key, settings.placement) && WriteIntegerGroup(*key, Values(PaneWidthTargets(copy)));
  bool sort = WriteIntegerGroup(*key, Values(SortTargets(copy.sort)));
  return ok && group && sort;
}

void ReadRenameWindowSettings(SettingsStore& store, RenameWindowSettings& settings) {
  std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kRenameWindowKey);
  if (!key) return;
  ReadPlacement(*key, settings.placement);
  settings.folderTemplates = ReadTemplateList(*key, u"CopyToPath", RenameWindowSettings::BuiltInFolderTemplates());
  settings.fileTemplates = ReadTemplateList(*key, u"CopyToFile", RenameWindowSettings::BuiltInFileTemplates());
  for (int i = 0; i < 3; ++i) {
    int32_t value;
    settings.itemIndex[i] = ReadInteger(*key, kItemIndexNames[i], value) == ReadResult::Ok ? value : 0;
  }
}

bool WriteRenameWindowSettings(SettingsStore& store, const RenameWindowSettings& settings) {
  std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kRenameWindowKey);
  if (!key) return false;
  const auto& index = settings.itemIndex;
  bool placement = WritePlacement(*key, settings.placement);
  bool indices = WriteIntegerGroup(
      *key, {{kItemIndexNames[0], index[0]}, {kItemIndexNames[1], index[1]}, {kItemIndexNames[2], index[2]}});
  bool folders = WriteMultiString(*key, u"CopyToPath", settings.folderTemplates);
  bool files = WriteMultiString(*key, u"CopyToFile", settings.fileTemplates);
  return placement && indices && folders && files;
}

void ReadListEditWindowSettings(SettingsStore& store, ListEditWindowSettings& settings) {
  if (std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kListEditWindowKey)) ReadPlacement(*key, settings.placement);
}

bool WriteListEditWindowSettings(SettingsStore& store, const ListEditWindowSettings& settings) {
  std::unique_ptr<SettingsKey> key = OpenWindowKey(store, kListEditWindowKey);
  return key && WritePlacement(*key, settings.placement);
}

}  // namespace tess
