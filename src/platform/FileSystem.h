#pragma once
// The file system as the core sees it: one rule for when two paths name the same file, and
// the few questions and changes that the copy and move of a rename batch need, behind a
// seam (Win32 on Windows, POSIX natively, fakes in tests).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileTransfer.h"

namespace tess {

// A path as Windows resolves it: "/" taken as "\", runs of separators as one (a leading
// "\\" of a network path stays), "." and ".." segments resolved without climbing out of a
// drive or share, the dots and blanks that end every name dropped (a name left empty goes).
std::u16string FileSystemPath(const std::u16string& path);
// FileSystemPath with the letter case folded, as the file system compares names: two
// paths with the same key name the same file or folder. Case is folded over all of Unicode
// by a table generated from the Unicode data (scripts/gen-case-keys), so that every pair of
// names Windows takes for one has one key.
std::u16string FileSystemPathKey(const std::u16string& path);
// The case key of one code point (itself when its case joins it to no other).
char32_t CaseKey(char32_t c);
// Text with every code point replaced by its case key: a name compared as the file system
// compares it, without the path rules.
std::u16string CaseFold(std::u16string_view text);

// What is at a path, with "cannot tell" kept apart from "nothing there".
enum class PathState { Missing, File, Folder, Unknown };

// What creating and tidying destination folders needs.
class FolderSystem {
 public:
  virtual ~FolderSystem() = default;
  // Anything at the path (a file or a folder), or a state that cannot be told: true.
  virtual bool Exists(const std::u16string& path) = 0;
  virtual bool IsFolder(const std::u16string& path) = 0;
  virtual bool CreateFolder(const std::u16string& path) = 0;
  // Removes the folder only when it is empty.
  virtual bool RemoveEmptyFolder(const std::u16string& path) = 0;
};

// The volume a path lies on and the room left on it.
struct VolumeSpace {
  std::u16string root;      // where the volume is mounted: "D:\\", a mount folder, "/media/card"
  uint64_t freeBytes = 0;   // what this user may still write there
  uint64_t totalBytes = 0;  // its size: tells apart two volumes the system names alike
  uint64_t clusterBytes = 0;  // the unit a file takes room in; 0 when not known
};

// Adds what checking a batch before and after the shell needs.
class FileSystem : public FolderSystem {
 public:
  // The size of the file at the path; nothing when no file is there (missing, a folder, or
  // a state that cannot be told).
  virtual std::optional<uint64_t> FileSize(const std::u16string& path) = 0;
  // True only when both are files that could be read whole and hold the same bytes.
  virtual bool SameContent(const std::u16string& a, const std::u16string& b) = 0;
  // Removes a file, also one marked read-only.
  virtual bool RemoveFile(const std::u16string& path) = 0;
  // Moves a file to a path in an existing folder, across volumes too; never replaces
  // anything at `to` (false then, nothing moved).
  virtual bool MoveFileNoReplace(const std::u16string& from, const std::u16string& to) = 0;
  // A fingerprint of the file's bytes (ContentHashOf of all of them); nothing when it
  // cannot be read whole.
  virtual std::optional<std::string> ContentHash(const std::u16string& path) = 0;
  // What is at the path: Missing only when the system says clearly that nothing is there
  // (an invalid name or a denied access is Unknown, never Missing).
  virtual PathState Probe(const std::u16string& path) = 0;
  // True when both paths name one and the same file on disk (not a copy of it): a
  // case-only rename asks it, since a case-sensitive folder may hold another file there.
  virtual bool SameFile(const std::u16string& a, const std::u16string& b) = 0;
  // The names of the files (not folders) in a folder; nothing when it cannot be listed.
  virtual std::optional<std::vector<std::u16string>> FileNames(const std::u16string& folder) = 0;
  // Why no new file can be made in an existing folder (a read-only share, a locked card, a
  // folder without the right): asked by a test run, which leaves nothing behind. Nothing
  // when one can, or when it cannot be told.
  virtual std::optional<TransferFault> CannotWriteIn(const std::u16string& folder) { return std::nullopt; }
  // The volume of a path and its free bytes, asked of the nearest folder that exists (a
  // destination folder is often still to be made). Nothing when it cannot be told: a
  // caller then assumes there is room, never refuses.
  virtual std::optional<VolumeSpace> SpaceOf(const std::u16string& path) { return std::nullopt; }
};

// The fingerprint ContentHash gives: XXH3 (128 bits) of the bytes, as "xxh128:" and 32
// lower-case hexadecimal digits (the high half first). Streamed: feed the bytes in any
// pieces.
class ContentHasher {
 public:
  ContentHasher();
  ~ContentHasher();
  ContentHasher(const ContentHasher&) = delete;
  ContentHasher& operator=(const ContentHasher&) = delete;
  void Update(const void* data, size_t size);
  std::string Result() const;

 private:
  struct State;
  State* state_;
};
std::string ContentHashOf(std::string_view bytes);

// The machine's file system. Off Windows, paths written with "\" are taken with "/".
FileSystem& PlatformFileSystem();

}  // namespace tess
