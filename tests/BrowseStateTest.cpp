// The state the two panes share: who hears which change, and the refresh lock.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "browse/BrowseState.h"

using namespace tess;

namespace {

struct Pane : BrowseState::Observer {
  std::vector<std::string> heard;
  bool takesNewFolder = false;
  std::function<void()> onFolder;
  void FolderChanged(FolderChange change) override {
    heard.push_back(change == FolderChange::Shown ? "shown" : change == FolderChange::Renamed ? "renamed" : "released");
    if (onFolder) onFolder();
  }
  void RowsChanged(const std::u16string& folder) override { heard.push_back("rows " + std::string(folder.begin(), folder.end())); }
  bool NewFolderRequested() override {
    heard.push_back("new folder");
    return takesNewFolder;
  }
};

}  // namespace

TEST(BrowseState, EveryPaneHearsAFolderChangeAndTheSourceOfARowChangeDoesNot) {
  BrowseState state;
  Pane tree, list;
  state.AddObserver(tree);
  state.AddObserver(list);
  state.AddObserver(list);  // once is enough
  state.Show(u"D:\\", u"D:\\DCIM\\", FolderChange::Shown);
  EXPECT_EQ(state.RootFolder(), u"D:\\");
  EXPECT_EQ(state.ShownFolder(), u"D:\\DCIM\\");
  state.RaiseRowsChanged(u"D:\\DCIM\\", &tree);
  state.Show(u"", u"", FolderChange::Released);
  EXPECT_EQ(tree.heard, (std::vector<std::string>{"shown", "released"}));
  EXPECT_EQ(list.heard, (std::vector<std::string>{"shown", "rows D:\\DCIM\\", "released"}));
  EXPECT_TRUE(state.ShownFolder().empty());
}

TEST(BrowseState, APaneRemovedWhileTheOthersAreToldHearsNothingMore) {
  BrowseState state;
  Pane first, second;
  first.onFolder = [&] { state.RemoveObserver(second); };
  state.AddObserver(first);
  state.AddObserver(second);
  state.Show(u"C:\\", u"C:\\", FolderChange::Shown);
  EXPECT_EQ(first.heard.size(), 1u);
  EXPECT_TRUE(second.heard.empty());
}

TEST(BrowseState, ANewFolderGoesToThePaneThatTakesIt) {
  BrowseState state;
  Pane tree, list;
  state.AddObserver(tree);
  EXPECT_FALSE(state.RequestNewFolder()) << "a tree alone makes the folder itself";
  list.takesNewFolder = true;
  state.AddObserver(list);
  EXPECT_TRUE(state.RequestNewFolder());
  EXPECT_EQ(list.heard, std::vector<std::string>{"new folder"});
}

TEST(BrowseState, TheRefreshLockIsReleasedOnlyByTheStepThatTookIt) {
  BrowseState state;
  {
    RefreshLock edit(state);
    EXPECT_TRUE(state.RefreshLocked());
    {
      RefreshLock open(state);  // a file opened while a name is edited
    }
    EXPECT_TRUE(state.RefreshLocked()) << "the inner step leaves the edit's lock";
  }
  EXPECT_FALSE(state.RefreshLocked());
  try {
    RefreshLock failing(state);
    throw std::runtime_error("a handler failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(state.RefreshLocked()) << "an error escaping a step releases its lock";
}
