#include "app/MainLayout.h"

#include "platform/UiTexts.h"

namespace tess {

std::u16string FormatCountGrouped(int64_t value, std::u16string_view separator) {
  bool negative = value < 0;
  uint64_t v = negative ? uint64_t(0) - uint64_t(value) : uint64_t(value);
  std::u16string digits;
  do {
    digits.insert(digits.begin(), char16_t(u'0' + v % 10));
    v /= 10;
  } while (v != 0);
  std::u16string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return negative ? u"-" + out : out;
}

std::u16string StatusItemsText(int64_t items, std::u16string_view separator) {
  return u"  " + FormatCountGrouped(items, separator) + texts::kStatusItemsSuffix;
}

std::u16string StatusImportedText(int64_t imported, std::u16string_view separator) {
  if (imported <= 0) return {};
  return u"  " + std::u16string(texts::kStatusImportedPrefix) + FormatCountGrouped(imported, separator) +
         texts::kStatusImportedSuffix;
}

std::u16string StatusSelectedText(int64_t selected, std::u16string_view separator) {
  if (selected <= 0) return {};
  return u"  " + FormatCountGrouped(selected, separator) + texts::kStatusSelectedSuffix;
}

std::u16string StatusReadingText(int64_t done, int64_t total, std::u16string_view separator) {
  return u"  " + std::u16string(texts::kStatusReadingPrefix) + FormatCountGrouped(done, separator) + u" / " + FormatCountGrouped(total, separator);
}

std::u16string StatusVanishedText(std::u16string_view folder) {
  return u"  " + std::u16string(texts::kStatusFolderVanishedPrefix) + std::u16string(folder);
}

int PlaceToolButton(int buttonWidth, int x) { return x + buttonWidth; }

std::vector<int> ToolButtonLefts(int comboWidth, const std::vector<int>& buttonWidths) {
  std::vector<int> lefts;
  int x = comboWidth + 16;
  for (size_t i = 0; i < buttonWidths.size(); ++i) {
    if (i == 6 || i == 10) x += 5;  // sets the folder commands, then the view button, apart
    lefts.push_back(x);
    x = PlaceToolButton(buttonWidths[i], x);
  }
  return lefts;
}

Origin CentredOrigin(int screenWidth, int screenHeight, int windowWidth, int windowHeight, int desktopLeft,
                     int desktopTop) {
  Origin o;
  o.left = (screenWidth - windowWidth) / 2;
  o.top = (screenHeight - windowHeight) / 2;
  if (o.left < desktopLeft) o.left = desktopLeft;
  if (o.top < desktopTop) o.top = desktopTop;
  return o;
}

}  // namespace tess
