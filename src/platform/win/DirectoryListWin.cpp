// Directory enumeration with FindFirstFileW/FindNextFileW.
#include <windows.h>

#include "platform/DirectoryList.h"
#include "platform/win/WinHandles.h"
#include "platform/win/WinText.h"

namespace tess {
namespace {

uint64_t ToUint64(const FILETIME& ft) { return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

DirectoryEntry ToEntry(const WIN32_FIND_DATAW& fd) {
  DirectoryEntry e;
  e.name = U16(fd.cFileName);
  e.attributes = fd.dwFileAttributes;
  e.size = (uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
  e.creationTime = ToUint64(fd.ftCreationTime);
  e.lastWriteTime = ToUint64(fd.ftLastWriteTime);
  return e;
}

bool IsDotEntry(const wchar_t* name) {
  return (name[0] == L'.' && name[1] == 0) || (name[0] == L'.' && name[1] == L'.' && name[2] == 0);
}

class WinDirectoryLister final : public DirectoryLister {
 public:
  bool List(const std::u16string& folder, std::vector<DirectoryEntry>& entries) override {
    return Enumerate(folder, [&](const DirectoryEntry& e) {
      entries.push_back(e);
      return true;
    });
  }

  bool Enumerate(const std::u16string& folder, const std::function<bool(const DirectoryEntry&)>& visit) override {
    std::u16string pattern = folder;
    if (!pattern.empty() && pattern.back() != u'\\' && pattern.back() != u'/') pattern += u'\\';
    pattern += u"*.*";
    WIN32_FIND_DATAW fd;
    FindHandle find(FindFirstFileW(W(pattern), &fd));
    if (!find) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
      if (!IsDotEntry(fd.cFileName) && !visit(ToEntry(fd))) return true;
    } while (FindNextFileW(find.get(), &fd));
    // A card pulled in the middle of the listing ends it with another error.
    return GetLastError() == ERROR_NO_MORE_FILES;
  }

  std::optional<DirectoryEntry> Find(const std::u16string& path) override {
    WIN32_FIND_DATAW fd;
    FindHandle find(FindFirstFileW(W(path), &fd));
    if (!find) return std::nullopt;
    return ToEntry(fd);
  }

  std::u16string FullPath(const std::u16string& path) override {
    DWORD n = GetFullPathNameW(W(path), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::u16string full(n, u'\0');
    DWORD written = GetFullPathNameW(W(path), n, W(full), nullptr);
    if (written == 0 || written >= n) return path;
    full.resize(written);
    return full;
  }
};

}  // namespace

DirectoryLister& PlatformDirectoryLister() {
  static WinDirectoryLister lister;
  return lister;
}

bool FileTimeToLocalDateTime(uint64_t fileTime, TDateTime& local) {
  local = 0;
  FILETIME utc{DWORD(fileTime & 0xFFFFFFFFu), DWORD(fileTime >> 32)};
  FILETIME localTime;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &localTime)) return false;
  if (!FileTimeToSystemTime(&localTime, &st)) return false;
  TDateTime value;
  if (!TryEncodeDateTime({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds}, value))
    return false;
  local = value;
  return true;
}

}  // namespace tess
