#pragma once
// Directory enumeration: the find data of each entry of a folder, as the file list and the
// command-line tool read it, and the conversion of its file times to local time.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/DateTime.h"

namespace tess {

enum : uint32_t {
  FILE_ATTRIBUTE_READONLY_ = 0x01,
  FILE_ATTRIBUTE_HIDDEN_ = 0x02,
  FILE_ATTRIBUTE_SYSTEM_ = 0x04,
  FILE_ATTRIBUTE_DIRECTORY_ = 0x10,
  FILE_ATTRIBUTE_ARCHIVE_ = 0x20,
  FILE_ATTRIBUTE_REPARSE_POINT_ = 0x400,
};

// One entry as a directory search reports it. Times are FILETIME counts (100 ns since
// 1601-01-01, UTC).
struct DirectoryEntry {
  std::u16string name;  // long name, no folder part
  uint32_t attributes = 0;
  uint64_t size = 0;
  uint64_t creationTime = 0;
  uint64_t lastWriteTime = 0;
};

class DirectoryLister {
 public:
  virtual ~DirectoryLister() = default;
  // Every entry of folder (which ends with a separator) except "." and "..", in the order
  // the system gives them. False when the folder cannot be read.
  virtual bool List(const std::u16string& folder, std::vector<DirectoryEntry>& entries) = 0;
  // The same entries handed one by one to visit, which stops the walk by answering false
  // (a probe for one sub-folder need not read a folder of thousands of photos). False when
  // the folder cannot be read.
  virtual bool Enumerate(const std::u16string& folder, const std::function<bool(const DirectoryEntry&)>& visit);
  // The entry for one exact path (a find-first on it); nothing when it does not exist.
  virtual std::optional<DirectoryEntry> Find(const std::u16string& path) = 0;
  // The full form of a path given relative to the current folder; the path unchanged when
  // the system cannot answer.
  virtual std::u16string FullPath(const std::u16string& path) = 0;
};

// The running system's directory enumeration.
DirectoryLister& PlatformDirectoryLister();

// A file time as a local date-time value: false (and 0) when a conversion step fails.
bool FileTimeToLocalDateTime(uint64_t fileTime, TDateTime& local);

}  // namespace tess
