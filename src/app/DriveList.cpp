#include "app/DriveList.h"

namespace tess {

std::u16string DriveEntry::Text() const { return readable ? root + u" [" + label + u"]" : root; }

std::vector<DriveEntry> BuildDriveEntries(uint32_t driveMask, const VolumeLabelQuery& labelOf) {
  std::vector<DriveEntry> entries;
  int image = -1;
  for (int i = 0; i < 26; ++i) {
    if (!(driveMask & (uint32_t{1} << i))) continue;
    DriveEntry e;
    e.root = std::u16string{char16_t(u'A' + i), u':', u'\\'};
    if (std::optional<std::u16string> label = labelOf(e.root)) {
      e.readable = true;
      size_t nul = label->find(u'\0');
      e.label = nul == std::u16string::npos ? *label : label->substr(0, nul);
      e.image = ++image;
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

DriveSelection ChooseDriveSelection(const std::vector<std::u16string>& entryTexts, const std::u16string& selectFolder,
                                    int remembered) {
  DriveSelection s;
  int count = static_cast<int>(entryTexts.size());
  s.selectIndex = count > 0 ? 0 : -1;
  if (selectFolder.size() > 2) {
    std::u16string head = selectFolder.substr(0, 3);
    for (int i = 0; i < count; ++i) {
      if (entryTexts[static_cast<size_t>(i)].substr(0, 3) == head) {
        s.selectIndex = s.result = i;
        break;
      }
    }
  }
  if (remembered >= 0) {
    // By position, whatever drive is there now; past the last entry nothing is selected.
    s.selectIndex = remembered < count ? remembered : -1;
    s.result = remembered;
  }
  return s;
}

char16_t DriveLetterOf(const std::u16string& path) {
  if (path.size() < 2 || path[1] != u':') return 0;
  char16_t c = path[0];
  if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
  return c >= u'A' && c <= u'Z' ? c : 0;
}

bool IsOnDrive(const std::u16string& path, char16_t letter) {
  if (letter >= u'a' && letter <= u'z') letter = char16_t(letter - u'a' + u'A');
  return letter != 0 && DriveLetterOf(path) == letter;
}

int FallbackDriveEntry(const std::vector<std::u16string>& entryTexts, int preferred,
                       const std::function<bool(const std::u16string& root)>& rootExists) {
  auto usable = [&](int i) {
    const std::u16string& t = entryTexts[static_cast<size_t>(i)];
    return t.size() > 2 && rootExists(t.substr(0, 3));
  };
  int count = static_cast<int>(entryTexts.size());
  if (preferred >= 0 && preferred < count && usable(preferred)) return preferred;
  for (int i = 0; i < count; ++i)
    if (usable(i)) return i;
  return -1;
}

}  // namespace tess
