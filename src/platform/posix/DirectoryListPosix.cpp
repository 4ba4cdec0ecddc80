// Directory enumeration off Windows, shaped like the Windows find data: folders carry the
// directory attribute, dot-files the hidden one.
#include <dirent.h>
#include <limits.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "platform/DirectoryList.h"
#include "platform/Text.h"

namespace tess {
namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kFileTimeEpochOffset = 11644473600;

uint64_t ToFileTime(const timespec& t) {
  int64_t secs = static_cast<int64_t>(t.tv_sec) + kFileTimeEpochOffset;
  if (secs < 0) return 0;
  return static_cast<uint64_t>(secs) * 10000000u + static_cast<uint64_t>(t.tv_nsec) / 100u;
}

std::string NativePath(const std::u16string& path) { return ToUtf8(path); }

// dirFd is the open folder for a name relative to it, or AT_FDCWD for a whole path: a
// stat relative to the open folder saves walking the path again for every entry.
bool EntryFromStat(int dirFd, const std::string& path, const std::u16string& name, DirectoryEntry& entry) {
  struct stat st;
  if (::fstatat(dirFd, path.c_str(), &st, 0) != 0) return false;
  entry.name = name;
  entry.attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY_ : FILE_ATTRIBUTE_ARCHIVE_;
  if (!name.empty() && name[0] == u'.') entry.attributes |= FILE_ATTRIBUTE_HIDDEN_;
  entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  // No portable birth time: the inode change time stands in for the creation time.
  entry.creationTime = ToFileTime(st.st_ctim);
  entry.lastWriteTime = ToFileTime(st.st_mtim);
  return true;
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

class PosixDirectoryLister final : public DirectoryLister {
 public:
  bool List(const std::u16string& folder, std::vector<DirectoryEntry>& entries) override {
    std::string base = NativePath(folder);
    std::unique_ptr<DIR, DirCloser> dir(::opendir(base.empty() ? "." : base.c_str()));
    if (!dir) return false;
    if (!base.empty() && base.back() != '/') base += '/';
    while (dirent* e = ::readdir(dir.get())) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      DirectoryEntry entry;
      // An entry that vanished between the listing and the stat is simply not listed.
      if (EntryFromStat(::dirfd(dir.get()), name, FromUtf8(name), entry)) entries.push_back(std::move(entry));
    }
    return true;
  }

  std::optional<DirectoryEntry> Find(const std::u16string& path) override {
    std::u16string name = path;
    while (name.size() > 1 && name.back() == u'/') name.pop_back();
    size_t slash = name.find_last_of(u'/');
    if (slash != std::u16string::npos) name = name.substr(slash + 1);
    DirectoryEntry entry;
    if (!EntryFromStat(AT_FDCWD, NativePath(path), name, entry)) return std::nullopt;
    return entry;
  }

  std::u16string FullPath(const std::u16string& path) override {
    if (!path.empty() && path[0] == u'/') return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    std::u16string full = FromUtf8(cwd);
    if (full.empty() || full.back() != u'/') full += u'/';
    return full + path;
  }
};

}  // namespace

DirectoryLister& PlatformDirectoryLister() {
  static PosixDirectoryLister lister;
  return lister;
}

bool FileTimeToLocalDateTime(uint64_t fileTime, TDateTime& local) {
  local = 0;
  int64_t secs = static_cast<int64_t>(fileTime / 10000000u) - kFileTimeEpochOffset;
  int ms = static_cast<int>(fileTime % 10000000u / 10000u);
  time_t t = static_cast<time_t>(secs);
  struct tm parts;
  if (!::localtime_r(&t, &parts)) return false;
  DateTimeParts p{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                  parts.tm_sec > 59 ? 59 : parts.tm_sec, ms};
  TDateTime value;
  if (!TryEncodeDateTime(p, value)) return false;
  local = value;
  return true;
}

}  // namespace tess
