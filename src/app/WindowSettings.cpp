#include "app/WindowSettings.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tess {
namespace {

// "ColumnWidth0", "ColumnWidth1", ...: one per column of the file list.
std::u16string IndexedName(const char16_t* stem, int index) {
  std::u16string name = stem;
  for (char c : std::to_string(index)) name += static_cast<char16_t>(c);
  return name;
}

// The column widths, then the tree's width.
std::vector<std::pair<std::u16string, int32_t*>> PaneWidthTargets(MainWindowSettings& s) {
  std::vector<std::pair<std::u16string, int32_t*>> items;
  for (int i = 0; i < kFirstOptionalColumn; ++i) items.emplace_back(IndexedName(u"ColumnWidth", i), &s.columnWidths[static_cast<size_t>(i)]);
  items.emplace_back(u"FolderTreeWidth", &s.folderTreeWidth);
  return items;
}

// The file list's order: the column, then each column's direction.
std::vector<std::pair<std::u16string, int32_t*>> SortTargets(FileSortState& sort) {
  std::vector<std::pair<std::u16string, int32_t*>> items;
  items.emplace_back(u"SortColumn", &sort.SortColumn);
  for (int i = 0; i < kFirstOptionalColumn; ++i) items.emplace_back(IndexedName(u"SortDirection", i), &sort.SortDirection[static_cast<size_t>(i)]);
  return items;
}

std::vector<std::pair<std::u16string, int32_t>> Values(const std::vector<std::pair<std::u16string, int32_t*>>& targets) {
  std::vector<std::pair<std::u16string, int32_t>> values;
  for (const auto& [name, target] : targets) values.emplace_back(name, *target);
  return values;
}

}  // namespace

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
    // Stored apart: a key from before the thumbnail view has none, and an unknown view is
    // the details view.
    int32_t view = 0;
    if (ReadIntegerGroup(*key, {{u"FileListView", &view}}) && (view == 0 || view == 1)) settings.fileListView = view;
    // The preview pane's pair, read whole or not at all; a width no pane can have is the
    // default one.
    int32_t preview = 0, width = 0;
    if (ReadIntegerGroup(*key, {{u"PreviewPane", &preview}, {u"PreviewWidth", &width}}) && (preview == 0 || preview == 1) &&
        width >= kMinPreviewWidth && width <= kMaxPreviewWidth) {
      settings.previewPane = preview;
      settings.previewWidth = width;
    }
    // The optional columns' widths, each on its own: 0 (the default) keeps one off.
    for (int i = kFirstOptionalColumn; i < FileColumnCount; ++i) {
      int32_t width = 0;
      if (ReadIntegerGroup(*key, {{IndexedName(u"ColumnWidth", i), &width}}) && width >= 0)
        settings.columnWidths[static_cast<size_t>(i)] = width;
    }
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
  bool view = WriteIntegerGroup(*key, {{u"FileListView", settings.fileListView}});
  bool preview = WriteIntegerGroup(*key, {{u"PreviewPane", settings.previewPane}, {u"PreviewWidth", settings.previewWidth}});
  for (int i = kFirstOptionalColumn; i < FileColumnCount; ++i)
    view = WriteIntegerGroup(*key, {{IndexedName(u"ColumnWidth", i), settings.columnWidths[static_cast<size_t>(i)]}}) && view;
  return ok && group && sort && view && preview;
}

}  // namespace tess
