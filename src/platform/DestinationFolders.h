#pragma once
// Destination folders of a multi-destination copy or move. Windows' shell creates missing
// destination folders itself; Wine's does not for a move (it gives up with "cancelled").
// So the platform layer creates them before handing the request over, and removes the ones
// it created that are still empty when the operation did not succeed. Existing files and
// folders are never touched here; the rename run refuses destinations that exist before
// it hands a batch over.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Shell.h"

namespace tess {

// The paths of a packed list (each followed by a NUL, the list ends at an empty path).
std::vector<std::u16string> UnpackPathList(std::u16string_view packed);

// The folder that holds a path ("C:\A\B.JPG" -> "C:\A"), without a trailing separator;
// empty for a root, a path without a folder, or a relative path.
std::u16string ParentFolder(std::u16string_view path);

// The folders that must be created for the destinations to have their folders, parents
// before children, each once (compared as the file system compares paths). A chain stops
// at the first folder that exists; a chain that meets a file, or reaches no root, plans
// nothing.
std::vector<std::u16string> PlanMissingFolders(const std::vector<std::u16string>& destinations, FolderSystem& fs);

// True when the request is one whose destination folders this layer prepares: a copy or
// move with one full destination per source and folders created without asking.
bool PreparesDestinationFolders(const FileOperationRequest& request);

// Runs a file operation through `shell`, creating the missing destination folders first
// when PreparesDestinationFolders says so, and removing afterwards, deepest first, those it
// created that stay empty when the operation failed or was aborted. The request reaches
// the shell unchanged. A folder that exists by the time it is created (made meanwhile by
// someone else) is used and left alone. If a folder cannot be created, the ones created so
// far are removed and the request still goes to the shell, which reports the problem in
// its own way.
FileOperationResult RunWithDestinationFolders(const FileOperationRequest& request, FolderSystem& fs,
                                              const std::function<FileOperationResult(const FileOperationRequest&)>& shell);

}  // namespace tess
