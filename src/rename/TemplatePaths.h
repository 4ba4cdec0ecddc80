#pragma once
// Where a photo goes by the two templates: its destination folder as levels under a root
// and the levels a template line adds, each expanded with values fit for a name.
#include <string>
#include <vector>

#include "records/FileRecord.h"

namespace tess {

// A destination path as levels under a root, so that a template's "." and ".." are
// resolved without ever climbing above its drive or share.
struct DestinationPath {
  std::u16string root;  // "C:", "\\server\share", or empty (a path from the root of the drive in use)
  bool relative = false;
  std::vector<std::u16string> levels;
  // "\" as Windows writes paths; natively "/" for a path from the root, as the system writes it.
  char16_t separator = u'\\';

  std::u16string Folder() const {
    std::u16string out = root;
    for (size_t i = 0; i < levels.size(); ++i) {
      if (i > 0 || !relative) out += separator;
      out += levels[i];
    }
    if (levels.empty() && !relative && root.empty()) out += separator;
    return out;
  }
  std::u16string Join(const std::u16string& name) const {
    std::u16string folder = Folder();
    if (!folder.empty() && folder.back() != separator) folder += separator;
    return folder + name;
  }
  void Up() {
    if (!levels.empty()) levels.pop_back();
  }
};

// Windows drops the dots and blanks that end a name: the log must show what the disk will.
void TrimNameEnd(std::u16string& name);
// A device name (CON, NUL, COM1, ...; with any extension) opens the device, not a file:
// it gets "_" after its base name.
void MendReservedName(std::u16string& name);
// True natively for a path from the root as the system writes it ("/home/me"): it keeps
// "/" and has no drive. Never on Windows.
bool IsPosixRootedPath(const std::u16string& path);
// Splits a folder that exists (a photo's own folder) into root and levels, as it is.
DestinationPath SplitFolder(const std::u16string& folder);
// What a line of a template becomes below `path`; the last level of a name template is
// returned rather than added.
std::u16string AddTemplateLevels(DestinationPath& path, const std::u16string& templateText,
                                 const SourceRecord& entry, int sequence, bool lastIsName);
// The destination folder of a photo by the folder template: below the photo's folder, or
// where the template says: "C:\..." and "\\server\share\..." as written, "\..." on the
// photo's drive (natively, where the photo has none, from the root), and natively
// "/..." from the root.
DestinationPath DestinationFolder(const std::u16string& folderTemplate, const SourceRecord& entry,
                                  int sequence);

}  // namespace tess
