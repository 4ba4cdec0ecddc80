#include "browse/FolderChanges.h"

#include "browse/AddressPath.h"
#include "browse/FolderPaths.h"
#include "platform/Text.h"

namespace tess {

void MergeChangedFolders(std::vector<std::u16string>& pending, const std::vector<std::u16string>& folders) {
  for (const auto& f : folders) {
    bool known = false;
    for (const auto& p : pending) known = known || SameTextAscii(p, f);
    if (!known) pending.push_back(f);
  }
}

std::vector<std::u16string> ChangedParentFolders(std::u16string_view root, const std::vector<std::u16string>& names) {
  std::vector<std::u16string> out;
  const std::u16string base = IncludeTrailingBackslash(root);
  for (const auto& name : names) {
    std::u16string rel = ExcludeTrailingBackslash(name);
    if (rel.empty()) continue;
    size_t slash = rel.find_last_of(u'\\');
    std::u16string parent = slash == std::u16string::npos ? base : base + rel.substr(0, slash + 1);
    MergeChangedFolders(out, {parent});
  }
  return out;
}

std::u16string WatchedFolderFor(std::u16string_view root) {
  // A drive's root or a share's cannot be removed: it is watched itself.
  if (root.empty() || IsDriveRootPath(IncludeTrailingBackslash(root)) ||
      SameTextAscii(AddressDriveRoot(root), IncludeTrailingBackslash(root)))
    return std::u16string(root);
  std::u16string parent = ExtractFilePath(ExcludeTrailingBackslash(root));
  return parent.empty() ? std::u16string(root) : IncludeTrailingBackslash(parent);
}

}  // namespace tess
