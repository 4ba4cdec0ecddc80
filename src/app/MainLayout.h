#pragma once
// Layout and status-bar rules of the main window, kept apart from the window so they are
// tested natively.
#include <cstdint>
#include <string>
#include <vector>

namespace tess {

// "#,##0": digits grouped by three with the given separator.
std::u16string FormatCountGrouped(int64_t value, std::u16string_view separator);
// Status panel 0: two spaces, the item count, " 個の項目".
std::u16string StatusItemsText(int64_t items, std::u16string_view separator);
// Status panel 1: two spaces, the selected count, " 個の項目を選択"; empty with nothing selected.
std::u16string StatusSelectedText(int64_t selected, std::u16string_view separator);
// The shown folder's photos the import history knows as filed: "  取り込み済み 12 個"; empty for none.
std::u16string StatusImportedText(int64_t imported, std::u16string_view separator);
// While the photos' metadata is read: how far (files read of files to read).
std::u16string StatusReadingText(int64_t done, int64_t total, std::u16string_view separator);
// The selection panel after a pane's folder vanished: "  フォルダが見つかりません: D:\DCIM\101".
std::u16string StatusVanishedText(std::u16string_view folder);

// Lefts of the tool buttons (the ten, then the view button): a chain that starts after the
// drive drop-down, with a gap of 5 pixels before the seventh button and before the view button.
std::vector<int> ToolButtonLefts(int comboWidth, const std::vector<int>& buttonWidths);
// Places one button at x and answers the x of the next one.
int PlaceToolButton(int buttonWidth, int x);

struct Origin { int left = 0, top = 0; };
// Centred on the screen (truncating division), never above or left of the desktop's edge.
Origin CentredOrigin(int screenWidth, int screenHeight, int windowWidth, int windowHeight,
                     int desktopLeft = 0, int desktopTop = 0);

}  // namespace tess
