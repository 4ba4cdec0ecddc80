#include "rename/TemplatePaths.h"

#include "platform/Text.h"
#include "rename/RenameTemplate.h"

namespace tess {

// Windows drops the dots and blanks that end a name: the log must show what the disk will.
void TrimNameEnd(std::u16string& name) {
  while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
}

// A device name (CON, NUL, COM1, ...; with any extension) opens the device, not a file:
// it gets "_" after its base name.
void MendReservedName(std::u16string& name) {
  static constexpr const char16_t* kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
  size_t dot = name.find(u'.');
  size_t end = dot == std::u16string::npos ? name.size() : dot;
  while (end > 0 && name[end - 1] == u' ') --end;
  std::u16string_view base(name.data(), end);
  bool reserved = false;
  for (const char16_t* device : kDevices) reserved = reserved || SameTextAscii(base, device);
  if (base.size() == 4 && (SameTextAscii(base.substr(0, 3), u"COM") || SameTextAscii(base.substr(0, 3), u"LPT"))) {
    char16_t d = base[3];
    reserved = reserved || (d >= u'1' && d <= u'9') || d == u'¹' || d == u'²' || d == u'³';
  }
  if (reserved) name.insert(end, 1, u'_');
}

bool IsPosixRootedPath(const std::u16string& path) {
  return !kNativeWindowsPaths && !path.empty() && path[0] == u'/' && (path.size() < 2 || path[1] != u'/');
}

// Splits a folder that exists (a photo's own folder) into root and levels, as it is.
DestinationPath SplitFolder(const std::u16string& folder) {
  DestinationPath path;
  if (IsPosixRootedPath(folder)) path.separator = u'/';
  size_t i = 0;
  if (folder.size() >= 2 && IsPathSeparator(folder[0]) && IsPathSeparator(folder[1])) {
    // "\\server\share": both names belong to the root.
    size_t server = folder.find_first_of(u"\\/", 2);
    size_t share = server == std::u16string::npos ? server : folder.find_first_of(u"\\/", server + 1);
    if (share == std::u16string::npos) share = folder.size();
    path.root = u"\\\\" + folder.substr(2, share - 2);
    for (char16_t& c : path.root)
      if (c == u'/') c = u'\\';
    i = share;
  } else if (folder.size() >= 2 && folder[1] == u':') {
    path.root = folder.substr(0, 2);
    i = 2;
  } else if (folder.empty() || !IsPathSeparator(folder[0])) {
    path.relative = true;
  }
  while (i < folder.size()) {
    size_t end = i;
    while (end < folder.size() && !IsPathSeparator(folder[end])) ++end;
    std::u16string level = folder.substr(i, end - i);
    if (level == u"..")
      path.Up();
    else if (!level.empty() && level != u".")
      path.levels.push_back(level);
    i = end + 1;
  }
  return path;
}

// What a line of a template becomes below `path`: the template's own "." and ".." move
// within the path, every other level is expanded with values fit for a name, loses its
// trailing dots and blanks, is dropped when nothing is left and mended when it names a
// device. The last level of a name template is returned rather than added.
std::u16string AddTemplateLevels(DestinationPath& path, const std::u16string& templateText,
                                 const SourceRecord& entry, int sequence, bool lastIsName) {
  std::vector<std::u16string> parts;
  size_t i = 0;
  while (true) {
    size_t end = i;
    while (end < templateText.size() && !IsPathSeparator(templateText[end])) ++end;
    parts.push_back(templateText.substr(i, end - i));
    if (end >= templateText.size()) break;
    i = end + 1;
  }
  std::u16string name;
  for (size_t p = 0; p < parts.size(); ++p) {
    const bool isName = lastIsName && p + 1 == parts.size();
    if (isName) {
      name = ExpandRenameTemplateForName(parts[p], entry, sequence);
      break;
    }
    if (parts[p] == u".") continue;
    if (parts[p] == u"..") {
      path.Up();
      continue;
    }
    std::u16string level = ExpandRenameTemplateForName(parts[p], entry, sequence);
    TrimNameEnd(level);
    if (level.empty()) continue;
    MendReservedName(level);
    path.levels.push_back(std::move(level));
  }
  return name;
}

// The destination folder of a photo by the folder template.
DestinationPath DestinationFolder(const std::u16string& folderTemplate, const SourceRecord& entry,
                                  int sequence) {
  const std::u16string& source = entry.Folder;
  if (IsTemplateMarker(folderTemplate, MarkerKind::KeepFolder)) return SplitFolder(source);
  DestinationPath path;
  std::u16string rest = folderTemplate;
  if (rest.size() >= 2 && rest[0] == u'\\' && rest[1] == u'\\') {
    // A network path: its server and share are the root, never climbed out of.
    path.root = u"\\\\";
    size_t at = 2;
    for (int part = 0; part < 2; ++part) {
      size_t end = at;
      while (end < rest.size() && !IsPathSeparator(rest[end])) ++end;
      std::u16string name = ExpandRenameTemplateForName(rest.substr(at, end - at), entry, sequence);
      TrimNameEnd(name);
      path.root += (part == 1 ? u"\\" : u"") + name;
      at = end < rest.size() ? end + 1 : end;
    }
    AddTemplateLevels(path, rest.substr(at), entry, sequence, false);
    return path;
  }
  if (IsPosixRootedPath(rest) || (!rest.empty() && rest[0] == u'\\' && IsPosixRootedPath(source))) {
    // Natively a folder from the root, as "C:\\" names one on Windows.
    path.separator = u'/';
    rest.erase(0, 1);
  } else if (!rest.empty() && rest[0] == u'\\') {
    path.root = source.substr(0, 2);  // the photo's drive
    rest.erase(0, 1);
  } else if (rest.size() >= 3 && rest[1] == u':' && rest[2] == u'\\') {
    path.root = rest.substr(0, 2);
    rest.erase(0, 3);
  } else {
    path = SplitFolder(source);
  }
  AddTemplateLevels(path, rest, entry, sequence, false);
  return path;
}

}  // namespace tess
