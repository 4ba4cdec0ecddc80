#pragma once
// Folder path rules shared by the folder tree and the file list. Paths held by the two
// browsing controls always end in "\"; comparisons that the tree makes fold ASCII letters
// only, as the file system's own look-ups of these names do for the common case.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tess {

std::u16string IncludeTrailingBackslash(std::u16string_view path);
std::u16string ExcludeTrailingBackslash(std::u16string_view path);
// The part up to and including the last "\" (or ":"), as a directory part.
std::u16string ExtractFilePath(std::u16string_view path);
// The part after the last "\" (or ":").
std::u16string ExtractFileName(std::u16string_view path);
// The extension with its ".", from the last "." of the name part; empty without one.
std::u16string ExtractFileExt(std::u16string_view path);
// A path is a drive root when it equals its own directory part: "C:\", or a path ending in
// "\" right after another "\".
bool IsDriveRootPath(std::u16string_view path);

// What the tree shows for a root folder: the header above the top node and the top node's text.
struct RootDisplay {
  std::u16string header;   // empty for a drive root, else the parent folder with trailing "\"
  std::u16string topText;  // the whole root for a drive root, else the root folder's own name
};
RootDisplay SplitRootFolder(std::u16string_view rootWithBackslash);

// Full path of a node: the header, then every text from the top node down, each followed by "\".
std::u16string JoinNodePath(std::u16string_view header, const std::vector<std::u16string>& textsTopDown);

// The folder names below root that lead to path (both compared with ASCII letters folded);
// nothing when path does not lie in root. An empty vector means path is root itself.
std::optional<std::vector<std::u16string>> ComponentsBelowRoot(std::u16string_view root, std::u16string_view path);

// Bringing a loaded node's children in line with the disk: the caller keeps the children
// that still exist and adds a node for each name returned here.
// kept: names of the children that still exist; diskFolders: the folder entries found on disk
// ("." and ".." already left out). Each disk name cancels one kept name (ignoring ASCII case).
std::vector<std::u16string> NewFolderNames(const std::vector<std::u16string>& kept,
                                           const std::vector<std::u16string>& diskFolders);

// True for "." and "..", the entries every listing skips.
bool IsDotEntry(std::u16string_view name);

}  // namespace tess
