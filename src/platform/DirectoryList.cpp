#include "platform/DirectoryList.h"

namespace tess {

bool DirectoryLister::Enumerate(const std::u16string& folder,
                                const std::function<bool(const DirectoryEntry&)>& visit) {
  std::vector<DirectoryEntry> entries;
  if (!List(folder, entries)) return false;
  for (const auto& entry : entries)
    if (!visit(entry)) break;
  return true;
}

}  // namespace tess
