// The decisions behind the panes' commands: rename names, new folder names, copy names and
// the paste request, type-to-find and the rows that follow their files.
#include <gtest/gtest.h>

#include <set>

#include "browse/FileCommands.h"
#include "browse/FolderTreeModel.h"

using namespace tess;

TEST(FileCommands, RenameKeepsOrAddsTheExtension) {
  struct Case {
    const char16_t* old;
    const char16_t* text;
    bool displayExt;
    const char16_t* expected;
  } cases[] = {
      {u"IMG_0001.JPG", u"holiday", true, u"holiday.JPG"},
      {u"IMG_0001.JPG", u"holiday.jpeg", true, u"holiday.jpeg"},
      {u"IMG_0001.JPG", u"holiday.jpeg", false, u"holiday.jpeg.JPG"},
      {u"IMG_0001.JPG", u"holiday", false, u"holiday.JPG"},
      {u"2012.05", u"2013", true, u"2013.05"},
      {u"README", u"notes", true, u"notes"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RenamedFileName(c.old, c.text, c.displayExt), c.expected) << (int)c.displayExt;
}

TEST(FileCommands, NamesTheFileSystemRefuses) {
  for (const char16_t* bad : {u"", u"a:b", u"a\\b", u"a/b", u"a*", u"a?", u"\"a\"", u"<a>", u"a|b", u"..", u" . "})
    EXPECT_FALSE(IsValidFileName(bad));
  for (const char16_t* good : {u"holiday.JPG", u"新しいフォルダー", u".profile", u"a b"}) EXPECT_TRUE(IsValidFileName(good));
}

TEST(FileCommands, NewFolderNamesDropTheLongVowelFromTheSecondOn) {
  EXPECT_EQ(NewFolderCandidate(u"", kListNewFolderName, 1), u"新しいフォルダー");
  EXPECT_EQ(NewFolderCandidate(u"", kListNewFolderName, 2), u"新しいフォルダ (2)");
  EXPECT_EQ(NewFolderCandidate(u"", kListNewFolderName, 10), u"新しいフォルダ (10)");
  EXPECT_EQ(NewFolderCandidate(u"", kTreeNewFolderName, 1), u"新しいフォルダ");
  EXPECT_EQ(NewFolderCandidate(u"2024", kListNewFolderName, 1), u"2024");
}

TEST(FileCommands, CopyNamesKeepTheExtensionApart) {
  EXPECT_EQ(CopyNameCandidate(u"IMG_0001.JPG", false, 1), u"IMG_0001 - コピー.JPG");
  EXPECT_EQ(CopyNameCandidate(u"IMG_0001.JPG", false, 2), u"IMG_0001 - コピー (2).JPG");
  EXPECT_EQ(CopyNameCandidate(u"2012.05", true, 1), u"2012.05 - コピー");
  EXPECT_EQ(CopyNameCandidate(u".profile", false, 1), u".profile - コピー");
  EXPECT_EQ(CopyNameCandidate(u"notes", false, 3), u"notes - コピー (3)");
}

namespace {
std::u16string Unpack(const std::u16string& packed, size_t index) {
  size_t start = 0;
  for (size_t i = 0; i < index; ++i) start = packed.find(u'\0', start) + 1;
  return packed.substr(start, packed.find(u'\0', start) - start);
}
}  // namespace

TEST(FileCommands, PasteIntoTheSameFolderGivesEveryItemAFreeName) {
  std::set<std::u16string> disk = {u"C:\\p\\a.jpg", u"C:\\p\\a - コピー.jpg", u"C:\\p\\b.jpg", u"C:\\p\\sub"};
  auto exists = [&](const std::u16string& p) { return disk.count(p) > 0; };
  auto isFolder = [](const std::u16string& p) { return p == u"C:\\p\\sub"; };
  PastePlan plan = PlanPaste({u"C:\\p\\a.jpg", u"C:\\p\\b.jpg", u"C:\\p\\sub"}, u"C:\\p\\", exists, isFolder);
  ASSERT_FALSE(plan.refused);
  EXPECT_EQ(plan.request.wFunc, FO_COPY_);
  EXPECT_EQ(plan.request.fFlags, 0x248u | FOF_MULTIDESTFILES_);
  EXPECT_EQ(plan.request.pFrom, std::u16string(u"C:\\p\\a.jpg\0C:\\p\\b.jpg\0C:\\p\\sub\0\0", 32));
  EXPECT_EQ(Unpack(plan.request.pTo, 0), u"C:\\p\\a - コピー (2).jpg");
  EXPECT_EQ(Unpack(plan.request.pTo, 1), u"C:\\p\\b - コピー.jpg");
  EXPECT_EQ(Unpack(plan.request.pTo, 2), u"C:\\p\\sub - コピー");
}

TEST(FileCommands, PasteElsewhereLetsTheShellAskAndRefusesAFolderIntoItself) {
  auto none = [](const std::u16string&) { return false; };
  PastePlan plan = PlanPaste({u"C:\\p\\a.jpg"}, u"C:\\q", none, none);
  EXPECT_EQ(plan.request.fFlags, 0x240u);
  EXPECT_EQ(plan.request.pTo, std::u16string(u"C:\\q\0\0", 6));
  auto folder = [](const std::u16string&) { return true; };
  EXPECT_TRUE(PlanPaste({u"C:\\p\\sub"}, u"C:\\p\\sub", none, folder).refused);
  EXPECT_TRUE(PlanPaste({u"C:\\p\\sub"}, u"C:\\P\\SUB\\deeper", none, folder).refused);
  EXPECT_FALSE(PlanPaste({u"C:\\p\\sub"}, u"C:\\p\\subway", none, folder).refused);
}

TEST(FileCommands, TypeToFindStartsAtTheGivenRowAndWraps) {
  std::vector<std::u16string> rows = {u"apple", u"Banana", u"berry", u"cherry", u"Blue"};
  auto caption = [&](int i) { return rows[static_cast<size_t>(i)]; };
  struct Case {
    const char16_t* prefix;
    int start;
    int expected;
  } cases[] = {
      {u"b", 0, 1}, {u"b", 2, 2}, {u"b", 3, 4}, {u"B", 5, 1}, {u"BE", 0, 2}, {u"a", 1, 0}, {u"z", 0, -1}, {u"b", -1, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindRowByPrefix(5, caption, c.prefix, c.start, true), c.expected) << c.start;
  EXPECT_EQ(FindRowByPrefix(5, caption, u"a", 1, false), -1);
}

TEST(FileCommands, NamesFindTheirRowsAfterAReorder) {
  std::vector<std::u16string> rows = {u"f05", u"f25", u"F25x"};
  auto name = [&](int i) { return rows[static_cast<size_t>(i)]; };
  EXPECT_EQ(RowsOfNames({u"f25", u"gone", u"f05", u""}, name, 3), (std::vector<int>{1, -1, 0, -1}));
}

TEST(FolderTreeModel, WhenANodeReadsItsFolder) {
  NodeState loaded{true, true, true, false, false};
  NodeState childlessTop{false, false, false, true, false};
  NodeState openEmpty{false, false, true, false, false};
  NodeState closed{false, true, false, false, false};
  EXPECT_TRUE(ReadsFolderOnSync(loaded));
  EXPECT_TRUE(ReadsFolderOnSync(childlessTop)) << "F5 shows a first sub-folder under the root";
  EXPECT_TRUE(ReadsFolderOnSync(openEmpty));
  EXPECT_FALSE(ReadsFolderOnSync(closed)) << "collapsed nodes are read when next expanded";

  EXPECT_TRUE(LoadsOnExpand(closed));
  NodeState closedLoading = closed;
  closedLoading.loading = true;
  EXPECT_FALSE(LoadsOnExpand(closedLoading));
  EXPECT_FALSE(LoadsOnExpand(loaded));
  EXPECT_TRUE(MarkAfterCollapse(true, false));
  EXPECT_TRUE(MarkAfterCollapse(false, true));
  EXPECT_FALSE(MarkAfterCollapse(false, false));
}

TEST(FolderTreeModel, SyncDropsVanishedChildrenAndAddsNewFoldersOnce) {
  ChildSyncPlan plan = PlanChildSync({u"a", u"B", u"gone"}, {true, true, false}, {u"A", u"b", u"b2", u"new"}, true);
  EXPECT_EQ(plan.remove, (std::vector<size_t>{2}));
  EXPECT_EQ(plan.add, (std::vector<std::u16string>{u"b2", u"new"}));
  EXPECT_TRUE(PlanChildSync({u"a"}, {true}, {u"a", u"x"}, false).add.empty());
}

TEST(FolderTreeModel, RefreshForgetsAVanishedRoot) {
  EXPECT_EQ(DecideRefresh(false, false), RefreshAction::ForgetRoot);
  EXPECT_EQ(DecideRefresh(false, true), RefreshAction::ForgetRoot);
  EXPECT_EQ(DecideRefresh(true, false), RefreshAction::DeleteNode);
  EXPECT_EQ(DecideRefresh(true, true), RefreshAction::Sync);
}
