#pragma once
// A file system in memory and a shell that does its file work there, for the rename run's
// checks before and after the shell.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/DestinationFolders.h"
#include "platform/FileSystem.h"
#include "RecordingShell.h"

namespace tess::testing {

class FakeFiles final : public FileSystem {
 public:
  struct File {
    std::u16string path;
    std::string bytes;
  };
  std::map<std::u16string, File> files;  // by FileSystemPathKey
  std::set<std::u16string> folders;      // by FileSystemPathKey; drive roots always exist
  int sameContentCalls = 0;
  std::set<std::u16string> readOnlyFolders;  // by FileSystemPathKey: no file can be made there

  // Adds a file, with its folders.
  void Put(const std::u16string& path, std::string bytes) {
    AddParents(path);
    files[FileSystemPathKey(path)] = {path, std::move(bytes)};
  }
  const File* Find(const std::u16string& path) const {
    auto it = files.find(FileSystemPathKey(path));
    return it == files.end() ? nullptr : &it->second;
  }
  bool HasFolder(const std::u16string& path) const { return IsRoot(path) || folders.count(FileSystemPathKey(path)); }

  bool Exists(const std::u16string& path) override { return Find(path) || HasFolder(path); }
  bool IsFolder(const std::u16string& path) override { return HasFolder(path); }
  bool CreateFolder(const std::u16string& path) override {
    // A folder right below a drive's root has no parent folder to look for.
    std::u16string parent = ParentFolder(path);
    if (Exists(path) || (!parent.empty() && !HasFolder(parent))) return false;
    folders.insert(FileSystemPathKey(path));
    return true;
  }
  bool RemoveEmptyFolder(const std::u16string& path) override {
    std::u16string key = FileSystemPathKey(path);
    if (!folders.count(key)) return false;
    std::u16string prefix = key + u'\\';
    for (const auto& f : files)
      if (f.first.compare(0, prefix.size(), prefix) == 0) return false;
    for (const auto& d : folders)
      if (d.compare(0, prefix.size(), prefix) == 0) return false;
    folders.erase(key);
    return true;
  }
  std::optional<uint64_t> FileSize(const std::u16string& path) override {
    const File* f = Find(path);
    if (!f) return std::nullopt;
    return f->bytes.size();
  }
  bool SameContent(const std::u16string& a, const std::u16string& b) override {
    ++sameContentCalls;
    const File* fa = Find(a);
    const File* fb = Find(b);
    return fa && fb && fa->bytes == fb->bytes;
  }
  bool RemoveFile(const std::u16string& path) override { return files.erase(FileSystemPathKey(path)) > 0; }
  bool MoveFileNoReplace(const std::u16string& from, const std::u16string& to) override {
    const File* f = Find(from);
    const bool sameKey = FileSystemPathKey(from) == FileSystemPathKey(to);
    if (!f || (Exists(to) && !sameKey) || !HasFolder(ParentFolder(to))) return false;
    std::string bytes = f->bytes;
    files.erase(FileSystemPathKey(from));
    files[FileSystemPathKey(to)] = {to, std::move(bytes)};
    return true;
  }
  std::optional<TransferFault> CannotWriteIn(const std::u16string& folder) override {
    if (readOnlyFolders.count(FileSystemPathKey(folder))) return TransferFault::AccessDenied;
    return std::nullopt;
  }
  // Volumes by their root ("D:\\", "E:\\DCIM\\" for one mounted in a folder): a path lies on the
  // one with the longest root it starts with. Without one its space cannot be told.
  std::map<std::u16string, VolumeSpace> volumes;
  std::vector<std::u16string> spaceAsked;
  std::optional<VolumeSpace> SpaceOf(const std::u16string& path) override {
    spaceAsked.push_back(path);
    std::u16string key = FileSystemPathKey(path);
    while (!key.empty() && key.back() == u'\\') key.pop_back();
    key += u'\\';
    const VolumeSpace* best = nullptr;
    size_t bestLength = 0;
    for (const auto& [root, space] : volumes) {
      std::u16string rootKey = FileSystemPathKey(root);
      while (!rootKey.empty() && rootKey.back() == u'\\') rootKey.pop_back();
      rootKey += u'\\';
      if (key.compare(0, rootKey.size(), rootKey) == 0 && rootKey.size() > bestLength) {
        best = &space;
        bestLength = rootKey.size();
      }
    }
    if (!best) return std::nullopt;
    return *best;
  }
  std::optional<std::string> ContentHash(const std::u16string& path) override {
    const File* f = Find(path);
    if (!f) return std::nullopt;
    return ContentHashOf(f->bytes);
  }
  // Paths whose existence cannot be told (an invalid name, a denied access).
  std::set<std::u16string> unknown;  // by FileSystemPathKey
  // Exact paths of files that share a key with another file, as a case-sensitive folder
  // holds them: found by Probe, never the same file as anything else.
  std::set<std::u16string> caseTwins;
  PathState Probe(const std::u16string& path) override {
    if (unknown.count(FileSystemPathKey(path))) return PathState::Unknown;
    if (caseTwins.count(FileSystemPath(path))) return PathState::File;
    if (Find(path)) return PathState::File;
    return HasFolder(path) ? PathState::Folder : PathState::Missing;
  }
  bool SameFile(const std::u16string& a, const std::u16string& b) override {
    if (caseTwins.count(FileSystemPath(a)) || caseTwins.count(FileSystemPath(b))) return false;
    const File* fa = Find(a);
    return fa && fa == Find(b);
  }
  std::optional<std::vector<std::u16string>> FileNames(const std::u16string& folder) override {
    if (!HasFolder(folder)) return std::nullopt;
    std::vector<std::u16string> names;
    std::u16string key = FileSystemPathKey(folder);
    for (const auto& f : files)
      if (FileSystemPathKey(ParentFolder(f.second.path)) == key)
        names.push_back(f.second.path.substr(f.second.path.find_last_of(u"\\/") + 1));
    return names;
  }

  void AddParents(const std::u16string& path) {
    for (std::u16string folder = ParentFolder(path); !folder.empty(); folder = ParentFolder(folder))
      folders.insert(FileSystemPathKey(folder));
  }

 private:
  static bool IsRoot(const std::u16string& path) {
    std::u16string p = FileSystemPath(path);
    if (p.size() == 2 && p[1] == u':') return true;
    // A network share: "\\server\share".
    return p.size() > 2 && p[0] == u'\\' && p[1] == u'\\' && std::count(p.begin() + 2, p.end(), u'\\') == 1;
  }
};

// A shell that copies or moves in a FakeFiles as told, replacing whatever is at a
// destination without asking (as Wine's does), and returns what the test says.
class FileWorkShell final : public RecordingShell {
 public:
  // CopyOnly: a move that copies whole but cannot take the source away (a read-only card).
  enum class Work { Whole, Skip, Short, Empty, CopyOnly };
  explicit FileWorkShell(FakeFiles& files) : files_(files) {}
  // How each pair is handled, by its position in the batch; pairs beyond the list are whole.
  std::vector<Work> work;

  FileOperationResult FileOperation(const FileOperationRequest& r) override {
    fileOperations.push_back(r);
    std::vector<std::u16string> from = UnpackPathList(r.pFrom), to = UnpackPathList(r.pTo);
    // Every destination folder first, as the shell (or the platform layer under Wine) does.
    for (const std::u16string& folder : PlanMissingFolders(to, files_)) files_.CreateFolder(folder);
    for (size_t i = 0; i < from.size() && i < to.size(); ++i) {
      Work w = i < work.size() ? work[i] : Work::Whole;
      const FakeFiles::File* source = files_.Find(from[i]);
      if (w == Work::Skip || !source) continue;
      std::string bytes = source->bytes;
      if (w == Work::Short) bytes.resize(bytes.size() / 2);
      if (w == Work::Empty) bytes.clear();
      // A full volume leaves the source in place; a whole move takes it away.
      if (r.wFunc == FO_MOVE_ && w == Work::Whole) files_.RemoveFile(from[i]);
      files_.Put(to[i], std::move(bytes));
    }
    return nextFileOperation;
  }

 private:
  FakeFiles& files_;
};

}  // namespace tess::testing
