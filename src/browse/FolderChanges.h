#pragma once
// Folders made, renamed or removed under the tree's root by another program, as the
// system's change notifications name them (paths relative to the root): the folders whose
// sub-folders changed, each once, so that the tree reads only those again.
#include <string>
#include <string_view>
#include <vector>

namespace tess {

// root ends in "\"; each name is a relative path of a folder that came, went or was renamed.
// Answers the parent folders (ending in "\"), in first-seen order, without repeats (ASCII
// letters folded).
std::vector<std::u16string> ChangedParentFolders(std::u16string_view root, const std::vector<std::u16string>& names);

// Adds folders to pending without repeats: notifications that come while the window is busy
// are gathered into one pass.
void MergeChangedFolders(std::vector<std::u16string>& pending, const std::vector<std::u16string>& folders);

// The folder the directory watch opens for a tree rooted at root (ending in "\"): a drive's
// root itself, else the root's parent, so that the watch holds no handle on the root and the
// root can still be removed or renamed by another program (a held folder is only marked for
// deletion until its last handle closes).
std::u16string WatchedFolderFor(std::u16string_view root);

}  // namespace tess
