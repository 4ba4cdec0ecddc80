#include <windows.h>

#include <algorithm>

#include "platform/DirList.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {
struct FindHandle {
  HANDLE h;
  ~FindHandle() {
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
  }
};
}  // namespace

bool IsFolder(const std::u16string& path) {
  DWORD attributes = GetFileAttributesW(W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::vector<std::u16string>> ListFolderFiles(const std::u16string& path) {
  WIN32_FIND_DATAW data;
  FindHandle find{FindFirstFileW(W(JoinPath(path, u"*")), &data)};
  if (find.h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<std::u16string> names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(U16(data.cFileName));
  } while (FindNextFileW(find.h, &data));
  std::sort(names.begin(), names.end());
  return names;
}

std::u16string JoinPath(const std::u16string& path, const std::u16string& name) {
  if (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) return path + name;
  return path + u"\\" + name;
}

}  // namespace tess
