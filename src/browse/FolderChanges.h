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

}  // namespace tess
