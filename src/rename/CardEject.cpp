#include "rename/CardEject.h"

#include <algorithm>

#include "platform/FileSystem.h"
#include "platform/UiTexts.h"

namespace tess {

bool EjectsAfterRun(bool asked, RenameMode mode, RenameOutcome outcome) {
  return asked && mode == RenameMode::Real && outcome == RenameOutcome::Done;
}

std::vector<std::u16string> SourceDrives(const std::vector<RenamePhoto>& photos) {
  std::vector<std::u16string> drives, keys;
  for (const RenamePhoto& photo : photos) {
    const std::u16string path = FileSystemPath(photo.source);
    std::u16string drive;
    if (path.size() >= 2 && path[1] == u':') {
      drive = path.substr(0, 2) + u"\\";
    } else if (path.size() > 2 && path[0] == u'\\' && path[1] == u'\\') {
      // "\\server\share\...": the share.
      size_t server = path.find(u'\\', 2);
      size_t share = server == std::u16string::npos ? server : path.find(u'\\', server + 1);
      drive = share == std::u16string::npos ? path : path.substr(0, share);
    } else {
      continue;
    }
    std::u16string key = FileSystemPathKey(drive);
    if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
    keys.push_back(key);
    drives.push_back(drive);
  }
  return drives;
}

std::u16string CardEjectLine(const std::u16string& drive, const CardEjectResult& result) {
  switch (result.outcome) {
    case CardEjectOutcome::Ejected: return texts::kCardEjected + drive;
    case CardEjectOutcome::NotRemovable: return texts::kCardNotEjected + drive + texts::kCardNotRemovable;
    case CardEjectOutcome::InUse: return texts::kCardEjectFailed + drive + texts::kCardInUse;
    case CardEjectOutcome::Failed: break;
  }
  std::u16string line = texts::kCardEjectFailed + drive;
  if (!result.reason.empty()) line += u" (" + result.reason + u")";
  return line;
}

}  // namespace tess
