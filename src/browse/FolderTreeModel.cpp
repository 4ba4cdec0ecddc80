#include "browse/FolderTreeModel.h"

#include "browse/FolderPaths.h"

namespace tess {

bool LoadsOnExpand(const NodeState& node) { return node.marked && !node.hasChildNodes && !node.loading; }

bool MarkAfterCollapse(bool hadChildNodes, bool loading) { return hadChildNodes || loading; }

bool ReadsFolderOnSync(const NodeState& node) { return node.hasChildNodes || node.expanded || node.isTop; }

ChildSyncPlan PlanChildSync(const std::vector<std::u16string>& childNames, const std::vector<bool>& childExists,
                            const std::vector<std::u16string>& diskFolders, bool readFolder) {
  ChildSyncPlan plan;
  std::vector<std::u16string> kept;
  for (size_t i = 0; i < childNames.size(); ++i) {
    if (i < childExists.size() && childExists[i]) {
      kept.push_back(childNames[i]);
    } else {
      plan.remove.push_back(i);
    }
  }
  if (readFolder) plan.add = NewFolderNames(kept, diskFolders);
  return plan;
}

RefreshAction DecideRefresh(bool rootExists, bool subjectExists) {
  if (!rootExists) return RefreshAction::ForgetRoot;
  if (!subjectExists) return RefreshAction::DeleteNode;
  return RefreshAction::Sync;
}

}  // namespace tess
