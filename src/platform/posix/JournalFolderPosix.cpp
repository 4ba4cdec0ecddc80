// The journal folder off Windows.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/JournalFolder.h"
#include "platform/Text.h"

namespace tess {
namespace {

const char kSuffix[] = ".tsv";

std::string Folder() {
  if (const char* dir = std::getenv("TESSARINE_JOURNAL_DIR"); dir && *dir) return dir;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) return std::string(state) + "/tessarine/journal";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.local/state/tessarine/journal";
}

bool MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

class PosixJournalFile final : public JournalFile {
 public:
  explicit PosixJournalFile(int fd) : fd_(fd) {}
  ~PosixJournalFile() override { ::close(fd_); }
  bool Append(std::string_view bytes) override {
    while (!bytes.empty()) {
      ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(size_t(n));
    }
    return true;
  }
  bool Sync() override { return ::fsync(fd_) == 0; }

 private:
  int fd_;
};

class PosixJournalFolder final : public JournalFolder {
 public:
  std::vector<std::u16string> Names() override {
    std::vector<std::u16string> names;
    DIR* dir = ::opendir(Folder().c_str());
    if (!dir) return names;
    while (dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, kSuffix) == 0)
        names.push_back(FromUtf8(name.substr(0, name.size() - 4)));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
  }
  std::optional<std::string> Read(const std::u16string& name) override {
    int fd = ::open(PathOf(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[1 << 16];
    for (;;) {
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ::close(fd);
        return std::nullopt;
      }
      if (n == 0) break;
      text.append(buffer, size_t(n));
    }
    ::close(fd);
    return text;
  }
  std::unique_ptr<JournalFile> Open(const std::u16string& name) override {
    if (!MakeFolders(Folder())) return nullptr;
    int fd = ::open(PathOf(name).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    // Held for as long as it is open: while a run writes its journal, no undo can open it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixJournalFile>(fd);
  }
  bool Remove(const std::u16string& name) override { return ::unlink(PathOf(name).c_str()) == 0; }
  std::u16string Location() override { return FromUtf8(Folder()); }

 private:
  static std::string PathOf(const std::u16string& name) { return Folder() + "/" + ToUtf8(name) + kSuffix; }
};

}  // namespace

JournalFolder& PlatformJournalFolder() {
  static PosixJournalFolder folder;
  return folder;
}

std::u16string PlatformHistoryPath() {
  if (const char* path = std::getenv("TESSARINE_HISTORY"); path && *path) return FromUtf8(path);
  if (const char* dir = std::getenv("TESSARINE_JOURNAL_DIR"); dir && *dir) return FromUtf8(std::string(dir) + "/history.sqlite3");
  std::string journals = Folder();
  return FromUtf8(journals.substr(0, journals.rfind('/') + 1) + "history.sqlite3");
}

}  // namespace tess
