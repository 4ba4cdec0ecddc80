#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/DirList.h"
#include "platform/Text.h"

namespace tess {

bool IsFolder(const std::u16string& path) {
  struct stat st {};
  return ::stat(ToUtf8(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::vector<std::u16string>> ListFolderFiles(const std::u16string& path) {
  DIR* dir = ::opendir(ToUtf8(path).c_str());
  if (!dir) return std::nullopt;
  std::vector<std::u16string> names;
  while (dirent* e = ::readdir(dir)) {
    std::u16string name = FromUtf8(e->d_name);
    if (name == u"." || name == u"..") continue;
    if (IsFolder(JoinPath(path, name))) continue;
    names.push_back(std::move(name));
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::u16string JoinPath(const std::u16string& path, const std::u16string& name) {
  if (!path.empty() && path.back() == u'/') return path + name;
  return path + u"/" + name;
}

}  // namespace tess
