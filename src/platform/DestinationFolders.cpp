#include "platform/DestinationFolders.h"

#include <algorithm>

#include "platform/Text.h"

namespace tess {
namespace {

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Length of the root of an absolute path ("C:", "\\server\share", "\\?\C:",
// "\\?\UNC\server\share"); 0 for a relative path. The root is never created.
size_t RootLength(std::u16string_view p) {
  auto drive = [&](size_t at) -> size_t {
    return p.size() >= at + 2 && IsDriveLetter(p[at]) && p[at + 1] == u':' ? at + 2 : 0;
  };
  // Past `count` separated components starting at `at`; 0 when they are not all there.
  auto components = [&](size_t at, int count) -> size_t {
    size_t i = at;
    for (int c = 0; c < count; ++c) {
      size_t start = i;
      while (i < p.size() && !IsPathSeparator(p[i])) ++i;
      if (i == start) return 0;
      if (c + 1 < count) {
        if (i >= p.size()) return 0;
        ++i;
      }
    }
    return i;
  };
  if (p.size() >= 4 && IsPathSeparator(p[0]) && IsPathSeparator(p[1]) && (p[2] == u'?' || p[2] == u'.') && IsPathSeparator(p[3])) {
    if (p.size() >= 8 && SameTextAscii(p.substr(4, 3), u"UNC") && IsPathSeparator(p[7])) return components(8, 2);
    return drive(4);
  }
  if (p.size() >= 2 && IsPathSeparator(p[0]) && IsPathSeparator(p[1])) return components(2, 2);
  if (size_t d = drive(0); d && p.size() > 2 && IsPathSeparator(p[2])) return d;
  // Off Windows a path from "/" (written "\" by the rename run) is absolute too.
  if (!kNativeWindowsPaths && p.size() >= 2 && IsPathSeparator(p[0]) && !IsPathSeparator(p[1])) return 1;
  return 0;  // relative, or drive-relative ("C:x"): nothing is planned for it
}

}  // namespace

std::vector<std::u16string> UnpackPathList(std::u16string_view packed) {
  std::vector<std::u16string> paths;
  size_t i = 0;
  while (i < packed.size()) {
    size_t end = packed.find(u'\0', i);
    if (end == std::u16string_view::npos) end = packed.size();
    if (end == i) break;  // the empty path that ends the list
    paths.emplace_back(packed.substr(i, end - i));
    i = end + 1;
  }
  return paths;
}

std::u16string ParentFolder(std::u16string_view path) {
  size_t root = RootLength(path);
  if (root == 0) return {};
  size_t end = path.size();
  while (end > root && IsPathSeparator(path[end - 1])) --end;  // "C:\A\" names the folder A
  while (end > root && !IsPathSeparator(path[end - 1])) --end;  // drop the last component
  while (end > root && IsPathSeparator(path[end - 1])) --end;
  if (end <= root) return {};
  return std::u16string(path.substr(0, end));
}

std::vector<std::u16string> PlanMissingFolders(const std::vector<std::u16string>& destinations, FolderSystem& fs) {
  std::vector<std::u16string> plan;
  std::vector<std::u16string> planKeys;
  auto planned = [&](const std::u16string& folder) {
    return std::find(planKeys.begin(), planKeys.end(), FileSystemPathKey(folder)) != planKeys.end();
  };
  for (const std::u16string& destination : destinations) {
    std::vector<std::u16string> chain;  // deepest first
    bool usable = false;
    for (std::u16string folder = ParentFolder(destination); !folder.empty(); folder = ParentFolder(folder)) {
      if (planned(folder)) {
        usable = true;
        break;
      }
      if (fs.Exists(folder)) {
        // A file in the way: the shell will refuse this destination in its own way.
        usable = fs.IsFolder(folder);
        break;
      }
      chain.push_back(folder);
      if (ParentFolder(folder).empty()) {
        // Up to the root: a drive or share that is not there gives nothing to create.
        usable = fs.IsFolder(folder.substr(0, RootLength(folder)) + u'\\');
        break;
      }
    }
    if (!usable) continue;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      plan.push_back(*it);
      planKeys.push_back(FileSystemPathKey(*it));
    }
  }
  return plan;
}

bool PreparesDestinationFolders(const FileOperationRequest& request) {
  return (request.wFunc == FO_MOVE_ || request.wFunc == FO_COPY_) && (request.fFlags & FOF_MULTIDESTFILES_) &&
         (request.fFlags & FOF_NOCONFIRMMKDIR_);
}

FileOperationResult RunWithDestinationFolders(const FileOperationRequest& request, FolderSystem& fs,
                                              const std::function<FileOperationResult(const FileOperationRequest&)>& shell) {
  if (!PreparesDestinationFolders(request)) return shell(request);

  std::vector<std::u16string> created;
  auto removeCreated = [&] {
    for (auto it = created.rbegin(); it != created.rend(); ++it) fs.RemoveEmptyFolder(*it);
    created.clear();
  };
  for (const std::u16string& folder : PlanMissingFolders(UnpackPathList(request.pTo), fs)) {
    if (!fs.CreateFolder(folder)) {
      // Someone else made it meanwhile (or it is the same folder spelled another way):
      // it serves, but it is not ours to remove.
      if (fs.IsFolder(folder)) continue;
      removeCreated();
      break;
    }
    created.push_back(folder);
  }
  FileOperationResult result = shell(request);
  if (result.returnValue != 0 || result.fAnyOperationsAborted) removeCreated();
  return result;
}

}  // namespace tess
