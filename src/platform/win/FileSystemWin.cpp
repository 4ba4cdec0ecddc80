// The file system on Windows.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/DestinationFolders.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/win/WinHandles.h"
#include "platform/win/RemoveFileWin.h"
#include "platform/win/WinText.h"

namespace tess {
namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

HANDLE OpenForReading(const std::u16string& path) {
  return CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Reads up to `size` bytes, going on after short reads; false on an error.
bool ReadFull(HANDLE h, char* buffer, DWORD size, DWORD& done) {
  done = 0;
  while (done < size) {
    DWORD n = 0;
    if (!ReadFile(h, buffer + done, size - done, &n, nullptr)) return false;
    if (n == 0) break;
    done += n;
  }
  return true;
}

class WinFileSystem final : public FileSystem {
 public:
  bool Exists(const std::u16string& path) override {
    if (GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES) return true;
    DWORD error = GetLastError();
    // Only a clear "not there" counts as missing; anything else is left to the shell.
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
  }
  bool IsFolder(const std::u16string& path) override {
    DWORD attributes = GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool CreateFolder(const std::u16string& path) override { return CreateDirectoryW(W(path), nullptr) != 0; }
  bool RemoveEmptyFolder(const std::u16string& path) override { return RemoveDirectoryW(W(path)) != 0; }
  std::optional<uint64_t> FileSize(const std::u16string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  bool SameContent(const std::u16string& a, const std::u16string& b) override {
    FileHandle fa(OpenForReading(a));
    FileHandle fb(OpenForReading(b));
    if (fa.get() == INVALID_HANDLE_VALUE || fb.get() == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(fa.get()) != FILE_TYPE_DISK || GetFileType(fb.get()) != FILE_TYPE_DISK) return false;
    LARGE_INTEGER sa, sb;
    if (!GetFileSizeEx(fa.get(), &sa) || !GetFileSizeEx(fb.get(), &sb) || sa.QuadPart != sb.QuadPart) return false;
    constexpr DWORD kChunk = 1 << 16;
    std::vector<char> ba(kChunk), bb(kChunk);
    for (;;) {
      DWORD na, nb;
      if (!ReadFull(fa.get(), ba.data(), kChunk, na) || !ReadFull(fb.get(), bb.data(), kChunk, nb) || na != nb)
        return false;
      if (na == 0) return true;
      if (std::memcmp(ba.data(), bb.data(), na) != 0) return false;
    }
  }
  bool RemoveFile(const std::u16string& path) override {
    return RemoveFileEvenReadOnly(path);
  }
  bool MoveFileNoReplace(const std::u16string& from, const std::u16string& to) override {
    // Without MOVEFILE_REPLACE_EXISTING an existing destination fails the call.
    return MoveFileExW(W(from), W(to), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != 0;
  }
  std::optional<std::string> ContentHash(const std::u16string& path) override {
    FileHandle file(OpenForReading(path));
    if (file.get() == INVALID_HANDLE_VALUE || GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
    ContentHasher hasher;
    constexpr DWORD kChunk = 1 << 16;
    std::vector<char> buffer(kChunk);
    for (;;) {
      DWORD n = 0;
      if (!ReadFull(file.get(), buffer.data(), kChunk, n)) return std::nullopt;
      if (n == 0) return hasher.Result();
      hasher.Update(buffer.data(), n);
    }
  }
  PathState Probe(const std::u16string& path) override {
    DWORD attributes = GetFileAttributesW(W(path));
    if (attributes != INVALID_FILE_ATTRIBUTES)
      return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathState::Folder : PathState::File;
    DWORD error = GetLastError();
    // ERROR_PATH_NOT_FOUND also answers a path through a file; the run looks at the folders
    // of a destination apart, so here it only means that nothing is at this path.
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathState::Missing : PathState::Unknown;
  }
  bool SameFile(const std::u16string& a, const std::u16string& b) override {
    FileHandle fa(OpenForReading(a));
    FileHandle fb(OpenForReading(b));
    if (fa.get() == INVALID_HANDLE_VALUE || fb.get() == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!GetFileInformationByHandle(fa.get(), &ia) || !GetFileInformationByHandle(fb.get(), &ib)) return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
  }
  std::optional<std::vector<std::u16string>> FileNames(const std::u16string& folder) override {
    std::u16string pattern = folder;
    if (pattern.empty() || (pattern.back() != u'\\' && pattern.back() != u'/')) pattern += u'\\';
    pattern += u'*';
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(W(pattern), &data));
    if (!find) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::vector<std::u16string>{};
      return std::nullopt;
    }
    std::vector<std::u16string> names;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        names.emplace_back(reinterpret_cast<const char16_t*>(data.cFileName));
    } while (FindNextFileW(find.get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
    return names;
  }
  std::optional<TransferFault> CannotWriteIn(const std::u16string& folder) override {
    // A file that is gone when its handle closes: the only way to ask the folder, its
    // volume and the rights on them all at once, and nothing is left behind.
    std::u16string probe = folder;
    if (probe.empty() || (probe.back() != u'\\' && probe.back() != u'/')) probe += u'\\';
    probe += u"~tessarine-" + PadNumber(static_cast<long long>(GetCurrentProcessId()), 1) + u".tmp";
    HANDLE h = CreateFileW(W(probe), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      return std::nullopt;
    }
    TransferFault fault = FaultOfError(GetLastError());
    if (fault == TransferFault::Unknown || fault == TransferFault::NotFound) return std::nullopt;
    return fault;
  }
  std::optional<VolumeSpace> SpaceOf(const std::u16string& path) override {
    // A folder right below a root has no parent to walk up to: the root itself then.
    std::u16string existing = path;
    while (!existing.empty() && GetFileAttributesW(W(existing)) == INVALID_FILE_ATTRIBUTES) existing = ParentFolder(existing);
    wchar_t root[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(W(existing.empty() ? path : existing), root, MAX_PATH + 1)) return std::nullopt;
    // Asked of the folder itself, not of the root: the free bytes then count this user's
    // quota, and under Wine they are the free bytes of the mount the folder is on.
    std::u16string folder = existing.empty() ? U16(root) : existing;
    if (folder.back() != u'\\') folder += u'\\';
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExW(W(folder), &available, &total, &free)) return std::nullopt;
    VolumeSpace space;
    space.root = U16(root);
    // Windows ends a root with a backslash; Wine names a Linux mount point without one.
    if (space.root.empty() || space.root.back() != u'\\') space.root += u'\\';
    space.freeBytes = available.QuadPart;
    space.totalBytes = total.QuadPart;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (GetDiskFreeSpaceW(W(space.root), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
      space.clusterBytes = uint64_t{sectorsPerCluster} * bytesPerSector;
    return space;
  }
};

}  // namespace

FileSystem& PlatformFileSystem() {
  static WinFileSystem fs;
  return fs;
}

}  // namespace tess
