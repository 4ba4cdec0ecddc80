// The folder tree on its own host window with a file list attached: what the tree shows for
// a root, how folders are found by path, how it follows the disk, and what happens to a
// folder read (on its worker) when the tree changes before the reply comes.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "browse/FolderPaths.h"
#include "browse/win/FileListWin.h"
#include "browse/win/FolderTreeWin.h"
#include "platform/Text.h"
#include "platform/win/WinText.h"
#include "../support/ExifFixtures.h"
#include "../support/HeldFolders.h"
#include "../support/WinPump.h"

using namespace tess;
using tess::testing::HeldFolderLister;
using tess::testing::Pump;
namespace fx = tess::fixtures;

namespace {

constexpr UINT kPostedStep = WM_APP + 7;

struct Host {
  FolderTreeView* tree = nullptr;
  FileListView* list = nullptr;
  std::function<void()> postedStep;
};
Host* host = nullptr;

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (host && msg == WM_NOTIFY) {
    LRESULT result = 0;
    auto* header = reinterpret_cast<NMHDR*>(lp);
    if (host->tree && host->tree->OnNotify(header, result)) return result;
    if (host->list && host->list->OnNotify(header, result)) return result;
  }
  if (host && msg == kPostedStep && host->postedStep) {
    auto step = std::move(host->postedStep);
    host->postedStep = nullptr;
    step();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void MakeFolder(const std::u16string& path) { ASSERT_TRUE(CreateDirectoryW(W(path), nullptr)) << ToUtf8(path); }

class FolderTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TessarineTreeTestHost";
    RegisterClassW(&wc);  // fails harmlessly when an earlier case registered it
    window_ = CreateWindowExW(0, L"TessarineTreeTestHost", L"", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window_);
    host = &host_;
    tree_ = std::make_unique<FolderTreeView>(window_, 1, GetModuleHandleW(nullptr), &browse_);
    list_ = std::make_unique<FileListView>(window_, 2, GetModuleHandleW(nullptr), &browse_);
    host_.tree = tree_.get();
    host_.list = list_.get();
    list_->OnFolderChanging = [this](std::u16string&) { ++changing_; };
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    root_ = IncludeTrailingBackslash(fx::MakeTempFolder("tree"));
  }
  void TearDown() override {
    host_.tree = nullptr;
    host_.list = nullptr;
    tree_.reset();
    list_.reset();
    if (window_) DestroyWindow(window_);
    host = nullptr;
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(root_), ec);
  }
  std::vector<std::u16string> Texts(HTREEITEM node) {
    std::vector<std::u16string> out;
    for (HTREEITEM c : tree_->Children(node)) out.push_back(tree_->NodeText(c));
    return out;
  }
  HTREEITEM Child(HTREEITEM node, const std::u16string& text) {
    for (HTREEITEM c : tree_->Children(node))
      if (tree_->NodeText(c) == text) return c;
    return nullptr;
  }
  void PostStep(std::function<void()> step) {
    host_.postedStep = std::move(step);
    PostMessageW(window_, kPostedStep, 0, 0);
  }
  // The folder reads asked for so far have come back and are applied.
  void Settle() { ASSERT_TRUE(tess::testing::FinishTreeReads(*tree_)); }
  bool Expanded(HTREEITEM node) {
    return (TreeView_GetItemState(tree_->Handle(), node, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
  }

  using V = std::vector<std::u16string>;
  HWND window_ = nullptr;
  Host host_;
  BrowseState browse_;  // shared by the panes, which go first
  std::unique_ptr<FolderTreeView> tree_;
  std::unique_ptr<FileListView> list_;
  std::u16string root_;
  int changing_ = 0;
};

}  // namespace

TEST_F(FolderTreeTest, RootShowsItsNameUnderItsParentAndSameRootOnlyRefocuses) {
  MakeFolder(root_ + u"b");
  MakeFolder(root_ + u"A");
  tree_->SetRootFolder(ExcludeTrailingBackslash(root_));
  Settle();
  std::u16string bare = ExcludeTrailingBackslash(root_);
  EXPECT_EQ(tree_->RootFolder(), root_);
  EXPECT_EQ(tree_->RootHeader(), ExtractFilePath(bare));
  EXPECT_EQ(tree_->NodeText(tree_->RootNode()), ExtractFileName(bare));
  EXPECT_EQ(tree_->NodePath(tree_->RootNode()), root_);
  EXPECT_EQ(Texts(tree_->RootNode()), (V{u"A", u"b"})) << "children sorted without regard to case";
  EXPECT_EQ(tree_->Selected(), tree_->RootNode());
  EXPECT_EQ(list_->ShownFolder(), root_);
  EXPECT_EQ(changing_, 1);

  HTREEITEM top = tree_->RootNode();
  SetFocus(list_->Handle());
  tree_->SetRootFolder(root_);
  EXPECT_EQ(GetFocus(), tree_->Handle());
  EXPECT_EQ(tree_->RootNode(), top) << "the same root is not rebuilt";
  EXPECT_EQ(changing_, 1) << "nor listed again";

  tree_->SetRootFolder(root_ + u"missing");
  EXPECT_EQ(tree_->RootFolder(), root_);
}

TEST_F(FolderTreeTest, ExpandButtonsFollowOneSubFolderHiddenOnesIncluded) {
  MakeFolder(root_ + u"files");
  fx::WriteFile(root_ + u"files\\a.jpg", fx::Bytes{1, 2, 3});
  MakeFolder(root_ + u"hidden");
  MakeFolder(root_ + u"hidden\\h");
  ASSERT_TRUE(SetFileAttributesW(W(root_ + u"hidden\\h"), FILE_ATTRIBUTE_HIDDEN));
  tree_->SetRootFolder(root_);
  Settle();
  EXPECT_FALSE(tree_->HasChildrenMark(Child(tree_->RootNode(), u"files")));
  EXPECT_TRUE(tree_->HasChildrenMark(Child(tree_->RootNode(), u"hidden")));
}

TEST_F(FolderTreeTest, SelectFolderWalksBelowTheRootOnly) {
  // The root holds a folder of its own name: the walk starts below the root, not at the name.
  std::u16string name = ExtractFileName(ExcludeTrailingBackslash(root_));
  MakeFolder(root_ + name);
  MakeFolder(root_ + u"2012");
  MakeFolder(root_ + u"2012\\05");
  MakeFolder(root_ + u"2012\\05\\deep");
  tree_->SetRootFolder(root_);
  Settle();

  // The nodes on the way are read first: the walk ends when they have come.
  tree_->SetSelectFolder(root_ + u"2012\\05");
  Settle();
  ASSERT_TRUE(tree_->Selected());
  EXPECT_EQ(tree_->NodePath(tree_->Selected()), root_ + u"2012\\05\\");
  EXPECT_EQ(tree_->SelectFolder(), root_ + u"2012\\05\\");
  EXPECT_EQ(list_->ShownFolder(), root_ + u"2012\\05\\");
  EXPECT_EQ(ListView_GetItemCount(list_->Handle()), 1) << "05 is listed: its one folder";

  // Back at the root from below: the top node is selected and the root listed again.
  tree_->SetSelectFolder(root_);
  EXPECT_EQ(tree_->Selected(), tree_->RootNode());
  EXPECT_EQ(tree_->SelectFolder(), root_);
  EXPECT_EQ(list_->ShownFolder(), root_);

  // A folder created behind the tree's back is not a node yet: nothing is selected.
  MakeFolder(root_ + u"late");
  MakeFolder(root_ + u"late\\x");
  tree_->SetSelectFolder(root_ + u"late\\x");
  EXPECT_EQ(tree_->Selected(), tree_->RootNode());
  EXPECT_EQ(list_->ShownFolder(), root_);

  // Once a refresh added it (with its expand button), its sub-folders are reached by path.
  tree_->SyncChildren(root_, tree_->RootNode(), false);
  Settle();
  ASSERT_TRUE(Child(tree_->RootNode(), u"late"));
  EXPECT_TRUE(tree_->HasChildrenMark(Child(tree_->RootNode(), u"late")));
  tree_->SetSelectFolder(root_ + u"late\\x\\");
  Settle();
  EXPECT_EQ(tree_->NodePath(tree_->Selected()), root_ + u"late\\x\\");
  EXPECT_EQ(list_->ShownFolder(), root_ + u"late\\x\\");
}

TEST_F(FolderTreeTest, VanishedFolderBeepsDropsItsNodeAndKeepsTheListedRoot) {
  MakeFolder(root_ + u"gone");
  MakeFolder(root_ + u"stay");
  tree_->SetRootFolder(root_);
  Settle();
  int listings = changing_;
  HTREEITEM gone = Child(tree_->RootNode(), u"gone");
  ASSERT_TRUE(RemoveDirectoryW(W(root_ + u"gone")));
  TreeView_SelectItem(tree_->Handle(), gone);
  Settle();
  EXPECT_EQ(Texts(tree_->RootNode()), V{u"stay"});
  EXPECT_EQ(tree_->SelectFolder(), root_) << "the list still shows the root";
  EXPECT_EQ(tree_->Selected(), tree_->RootNode());
  EXPECT_EQ(list_->ShownFolder(), root_);
  EXPECT_EQ(changing_, listings) << "nothing was listed";
}

TEST_F(FolderTreeTest, F5BringsTheWholeLoadedTreeInLineWithTheDisk) {
  MakeFolder(root_ + u"a");
  MakeFolder(root_ + u"a\\old");
  MakeFolder(root_ + u"b");
  tree_->SetRootFolder(root_);
  Settle();
  HTREEITEM a = Child(tree_->RootNode(), u"a");
  TreeView_Expand(tree_->Handle(), a, TVE_EXPAND);
  Settle();
  ASSERT_EQ(Texts(a), V{u"old"});

  ASSERT_TRUE(RemoveDirectoryW(W(root_ + u"a\\old")));
  MakeFolder(root_ + u"a\\new");
  ASSERT_TRUE(RemoveDirectoryW(W(root_ + u"b")));
  MakeFolder(root_ + u"c");
  SendMessageW(tree_->Handle(), WM_KEYDOWN, VK_F5, 0);
  Settle();
  EXPECT_EQ(Texts(tree_->RootNode()), (V{u"a", u"c"}));
  EXPECT_EQ(Texts(a), V{u"new"});
  EXPECT_FALSE(browse_.RefreshLocked());
}

TEST_F(FolderTreeTest, EditBoxAnswersItsContextMenuItself) {
  MakeFolder(root_ + u"a");
  tree_->SetRootFolder(root_);
  Settle();
  HTREEITEM a = Child(tree_->RootNode(), u"a");
  SetFocus(tree_->Handle());
  HWND edit = TreeView_EditLabel(tree_->Handle(), a);
  ASSERT_TRUE(edit);
  EXPECT_EQ(SendMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(-1, -1)), 1);
  TreeView_EndEditLabelNow(tree_->Handle(), TRUE);
  EXPECT_EQ(tree_->NodeText(a), u"a");
}

// A node opens at once on its placeholder, without waiting for its folder; the sub-folders
// and their expand buttons come with the replies.
TEST_F(FolderTreeTest, ANodeOpensAtOnceAndFillsWhenItsReadComesBack) {
  MakeFolder(root_ + u"a");
  for (int i = 0; i < 4; ++i) MakeFolder(root_ + u"a\\s" + PadNumber(i, 1));
  MakeFolder(root_ + u"a\\s2\\deeper");
  HeldFolderLister held(&PlatformDirectoryLister());
  tree_->SetDirectoryLister(held);
  tree_->SetRootFolder(root_);
  Settle();
  HTREEITEM a = Child(tree_->RootNode(), u"a");
  ASSERT_TRUE(a);
  held.Hold([&](const std::u16string& f) { return f == root_ + u"a\\"; });
  TreeView_Expand(tree_->Handle(), a, TVE_EXPAND);
  ASSERT_TRUE(held.WaitHeld(root_ + u"a\\"));
  Pump();
  EXPECT_TRUE(Expanded(a)) << "the node opened before its folder was read";
  EXPECT_TRUE(TreeView_GetChild(tree_->Handle(), a)) << "on its placeholder";
  EXPECT_TRUE(tree_->Children(a).empty());
  EXPECT_TRUE(tree_->ReadsRunning());
  held.Release();
  Settle();
  EXPECT_EQ(Texts(a), (V{u"s0", u"s1", u"s2", u"s3"}));
  EXPECT_TRUE(tree_->HasChildrenMark(Child(a, u"s2")));
  EXPECT_FALSE(tree_->HasChildrenMark(Child(a, u"s0")));
  tree_->SetDirectoryLister(PlatformDirectoryLister());
}

// What happens meanwhile makes the held reply stale: it is never applied.
TEST_F(FolderTreeTest, AReplyForANodeChangedMeanwhileIsNotApplied) {
  MakeFolder(root_ + u"first");
  MakeFolder(root_ + u"first\\a");
  MakeFolder(root_ + u"first\\a\\x");
  MakeFolder(root_ + u"first\\b");
  MakeFolder(root_ + u"second");
  MakeFolder(root_ + u"second\\s");
  struct Case {
    const char* what;
    std::function<void(HTREEITEM a)> meanwhile;
    V rootChildren;  // the top node's children afterwards
    V aChildren;     // a's children afterwards (when a is there)
    bool readsLeft;  // a new root reads its own folder
  } cases[] = {
      {"a deleted", [&](HTREEITEM a) { TreeView_DeleteItem(tree_->Handle(), a); }, V{u"b"}, V{}, false},
      {"a closed", [&](HTREEITEM a) { TreeView_Expand(tree_->Handle(), a, TVE_COLLAPSE); }, (V{u"a", u"b"}), V{},
       false},
      {"another root chosen", [&](HTREEITEM) { tree_->SetRootFolder(root_ + u"second"); }, V{u"s"}, V{}, true},
  };
  for (const Case& c : cases) {
    HeldFolderLister held(&PlatformDirectoryLister());
    tree_->SetDirectoryLister(held);
    tree_->SetRootFolder(root_);  // away from first, so that first is read anew
    tree_->SetRootFolder(root_ + u"first");
    Settle();
    HTREEITEM a = Child(tree_->RootNode(), u"a");
    ASSERT_TRUE(a) << c.what;
    held.Hold([&](const std::u16string& f) { return f == root_ + u"first\\a\\"; });
    TreeView_Expand(tree_->Handle(), a, TVE_EXPAND);
    ASSERT_TRUE(held.WaitHeld(root_ + u"first\\a\\")) << c.what;
    c.meanwhile(a);
    Pump();
    if (!c.readsLeft) EXPECT_FALSE(tree_->ReadsRunning()) << c.what << ": the read was dropped at once";
    held.Release();
    Sleep(50);
    Settle();
    EXPECT_EQ(Texts(tree_->RootNode()), c.rootChildren) << c.what;
    if (HTREEITEM still = Child(tree_->RootNode(), u"a")) {
      EXPECT_EQ(Texts(still), c.aChildren) << c.what;
      EXPECT_TRUE(tree_->HasChildrenMark(still)) << c.what << ": it opens again";
      TreeView_Expand(tree_->Handle(), still, TVE_EXPAND);
      Settle();
      EXPECT_EQ(Texts(still), V{u"x"}) << c.what;
    }
    EXPECT_EQ(list_->ShownFolder(), tree_->RootFolder()) << c.what;
    tree_->SetDirectoryLister(PlatformDirectoryLister());
  }
  // The tree still works: a click on a node lists it, and a refresh brings a deleted node back.
  TreeView_SelectItem(tree_->Handle(), Child(tree_->RootNode(), u"s"));
  EXPECT_EQ(list_->ShownFolder(), root_ + u"second\\s\\");
  tree_->SetRootFolder(root_ + u"first");
  Settle();
  ASSERT_TRUE(RemoveDirectoryW(W(root_ + u"first\\b")));
  MakeFolder(root_ + u"first\\c");
  tree_->RefreshView(true);
  Settle();
  EXPECT_EQ(Texts(tree_->RootNode()), (V{u"a", u"c"}));
}
