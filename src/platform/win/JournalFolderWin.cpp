// The journal folder on Windows: %LOCALAPPDATA%\Tessarine\journal.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "platform/JournalFolder.h"
#include "platform/win/WinHandles.h"
#include "platform/win/WinText.h"

namespace tess {
namespace {

using FileHandle = UniqueHandle<HANDLE, FreeKernelHandle, NoFindHandle>;

const char16_t kSuffix[] = u".tsv";

std::u16string Environment(const wchar_t* name) {
  DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
  if (length == 0) return {};
  std::wstring value(length, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), length));
  return U16(value);
}

std::u16string LocalAppData() {
  std::u16string folder = Environment(L"LOCALAPPDATA");
  if (folder.empty()) {
    PWSTR known = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known))) folder = U16(known);
    CoTaskMemFree(known);
  }
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  return folder;
}

std::u16string Folder() {
  std::u16string folder = Environment(L"TESSARINE_JOURNAL_DIR");
  if (!folder.empty()) return folder;
  folder = LocalAppData();
  if (folder.empty()) return {};
  return folder + u"Tessarine\\journal";
}

bool MakeFolders(const std::u16string& path) {
  for (size_t i = 3; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != u'\\' && path[i] != u'/') continue;
    std::u16string part = path.substr(0, i);
    if (!CreateDirectoryW(W(part), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return true;
}

class WinJournalFile final : public JournalFile {
 public:
  explicit WinJournalFile(FileHandle file) : file_(std::move(file)) {}
  bool Append(std::string_view bytes) override {
    while (!bytes.empty()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30)), written = 0;
      if (!WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr) || written == 0) return false;
      bytes.remove_prefix(written);
    }
    return true;
  }
  bool Sync() override { return FlushFileBuffers(file_.get()) != 0; }

 private:
  FileHandle file_;
};

class WinJournalFolder final : public JournalFolder {
 public:
  std::vector<std::u16string> Names() override {
    std::vector<std::u16string> names;
    std::u16string folder = Folder();
    if (folder.empty()) return names;
    std::u16string pattern = folder + u"\\*" + kSuffix;
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(W(pattern), &data));
    if (!find) return names;
    do {
      std::u16string name = U16(data.cFileName);
      const size_t suffix = std::char_traits<char16_t>::length(kSuffix);
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > suffix)
        names.push_back(name.substr(0, name.size() - suffix));
    } while (FindNextFileW(find.get(), &data));
    std::sort(names.begin(), names.end());
    return names;
  }
  std::optional<std::string> Read(const std::u16string& name) override {
    FileHandle file(CreateFileW(W(PathOf(name)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string text;
    char buffer[1 << 16];
    for (;;) {
      DWORD n = 0;
      if (!ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) return std::nullopt;
      if (n == 0) break;
      text.append(buffer, n);
    }
    return text;
  }
  std::unique_ptr<JournalFile> Open(const std::u16string& name) override {
    std::u16string folder = Folder();
    if (folder.empty() || !MakeFolders(folder)) return nullptr;
    // Not shared for writing: while a run writes its journal, no undo can open it.
    FileHandle file(CreateFileW(W(PathOf(name)), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    return std::make_unique<WinJournalFile>(std::move(file));
  }
  bool Remove(const std::u16string& name) override { return DeleteFileW(W(PathOf(name))) != 0; }
  std::u16string Location() override { return Folder(); }

 private:
  static std::u16string PathOf(const std::u16string& name) { return Folder() + u"\\" + name + kSuffix; }
};

}  // namespace

JournalFolder& PlatformJournalFolder() {
  static WinJournalFolder folder;
  return folder;
}

std::u16string PlatformHistoryPath() {
  std::u16string path = Environment(L"TESSARINE_HISTORY");
  if (!path.empty()) return path;
  std::u16string journals = Environment(L"TESSARINE_JOURNAL_DIR");
  if (!journals.empty()) return journals + (journals.back() == u'\\' ? u"" : u"\\") + u"history.sqlite3";
  std::u16string folder = LocalAppData();
  return folder.empty() ? u"history.sqlite3" : folder + u"Tessarine\\history.sqlite3";
}

}  // namespace tess
