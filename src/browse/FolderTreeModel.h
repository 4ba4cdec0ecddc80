#pragma once
// The decisions of the folder tree, apart from the tree control that shows them: when a
// node reads its folder, which child nodes a refresh keeps, drops and adds, what a node's
// expand button says afterwards, and what a refresh does when folders have vanished.
#include <string>
#include <vector>

namespace tess {

// What the tree knows of one node when it decides.
struct NodeState {
  bool hasChildNodes = false;  // child nodes are present (the node is loaded)
  bool marked = false;         // the expand button shows
  bool expanded = false;       // the node is open
  bool isTop = false;          // the single top node
  bool loading = false;        // a load of this node has not finished
};

// An expansion reads the folder when the node shows an expand button but holds no child
// nodes, unless a load of it is still running (it would add every child twice).
bool LoadsOnExpand(const NodeState& node);
// After a collapse the children are dropped; the button stays when there were any, or when a
// load was cut short (the folder is read whole on the next expansion).
bool MarkAfterCollapse(bool hadChildNodes, bool loading);
// A refresh reads the folder of a loaded node, and also of an open node or the top node
// that has no child nodes (yet): the first sub-folder made under them must appear at once.
bool ReadsFolderOnSync(const NodeState& node);

struct ChildSyncPlan {
  std::vector<size_t> remove;       // indices of children whose folder is gone
  std::vector<std::u16string> add;  // names of folders on disk without a node
};
// childNames and childExists describe the node's children in order; diskFolders are the
// folder entries on disk ("." and ".." left out), read only when readFolder is set.
ChildSyncPlan PlanChildSync(const std::vector<std::u16string>& childNames, const std::vector<bool>& childExists,
                            const std::vector<std::u16string>& diskFolders, bool readFolder);

// A refresh on request, when the folders it concerns are checked.
enum class RefreshAction {
  ForgetRoot,  // the root is gone (a card pulled): no nodes, no rows, the next choice takes effect
  DeleteNode,  // the refreshed folder is gone: its node goes, a neighbour is shown
  Sync,        // bring the nodes and the rows in line with the disk
};
RefreshAction DecideRefresh(bool rootExists, bool subjectExists);

}  // namespace tess
