// Folder paths of the tree, and the main window's layout and status texts.
#include <gtest/gtest.h>

#include "app/MainLayout.h"
#include "browse/FolderPaths.h"
#include "platform/Text.h"

using namespace tess;

TEST(FolderPaths, RootDisplayAndNodePaths) {
  struct Case { const char16_t* root; const char16_t* header; const char16_t* top; } cases[] = {
      {u"C:\\", u"", u"C:\\"},
      {u"D:\\Photos\\", u"D:\\", u"Photos"},
      {u"D:\\Photos\\2012\\", u"D:\\Photos\\", u"2012"},
      {u"\\\\server\\share\\", u"\\\\server\\", u"share"},
  };
  for (const Case& c : cases) {
    RootDisplay d = SplitRootFolder(c.root);
    EXPECT_EQ(d.header, c.header) << ToUtf8(c.root);
    EXPECT_EQ(d.topText, c.top) << ToUtf8(c.root);
    EXPECT_EQ(JoinNodePath(d.header, {d.topText}), c.root);
  }
  EXPECT_EQ(JoinNodePath(u"D:\\", {u"Photos", u"2012", u"05"}), u"D:\\Photos\\2012\\05\\");
  EXPECT_EQ(JoinNodePath(u"", {u"C:\\", u"Users"}), u"C:\\Users\\");
}

TEST(FolderPaths, DriveRootsAndParts) {
  EXPECT_TRUE(IsDriveRootPath(u"C:\\"));
  EXPECT_TRUE(IsDriveRootPath(u"\\\\"));
  EXPECT_FALSE(IsDriveRootPath(u"C:\\Photos\\"));
  EXPECT_FALSE(IsDriveRootPath(u"C:"));
  EXPECT_EQ(IncludeTrailingBackslash(u"C:\\a"), u"C:\\a\\");
  EXPECT_EQ(IncludeTrailingBackslash(u"C:\\a\\"), u"C:\\a\\");
  EXPECT_EQ(ExtractFileExt(u"\\\\srv\\x.y\\file.JPG"), u".JPG");
  EXPECT_EQ(ExtractFileExt(u"\\\\srv\\x.y\\file"), u"");
}

TEST(FolderPaths, ComponentsBelowRootFollowOnlyTheRootPrefix) {
  using V = std::vector<std::u16string>;
  // A folder named like the root further down is not mistaken for the root.
  EXPECT_EQ(ComponentsBelowRoot(u"D:\\Photos\\", u"D:\\Photos\\2012\\Photos"), (V{u"2012", u"Photos"}));
  EXPECT_EQ(ComponentsBelowRoot(u"D:\\Photos\\", u"d:\\photos\\2012\\05\\"), (V{u"2012", u"05"}));
  EXPECT_EQ(ComponentsBelowRoot(u"D:\\Photos\\", u"D:\\Photos"), V{});
  EXPECT_FALSE(ComponentsBelowRoot(u"D:\\Photos\\", u"D:\\Other\\2012"));
  EXPECT_FALSE(ComponentsBelowRoot(u"D:\\Photos\\", u"D:\\Photos2\\x"));
  EXPECT_FALSE(ComponentsBelowRoot(u"", u"D:\\x"));
}

TEST(FolderPaths, NewFolderNamesCancelKeptNamesOneByOneIgnoringCase) {
  using V = std::vector<std::u16string>;
  EXPECT_EQ(NewFolderNames({u"a", u"B"}, {u"A", u"b", u"c"}), (V{u"c"}));
  EXPECT_EQ(NewFolderNames({}, {u"x", u"y"}), (V{u"x", u"y"}));
  EXPECT_EQ(NewFolderNames({u"x"}, {}), V{});
}

TEST(MainLayout, StatusTextsGroupThousandsWithTheLocaleSeparator) {
  EXPECT_EQ(StatusItemsText(1234, u","), u"  1,234 個の項目");
  EXPECT_EQ(StatusItemsText(0, u","), u"  0 個の項目");
  EXPECT_EQ(StatusItemsText(1234567, u"."), u"  1.234.567 個の項目");
  EXPECT_EQ(StatusSelectedText(0, u","), u"");
  EXPECT_EQ(StatusSelectedText(1000, u" "), u"  1 000 個の項目を選択");
  EXPECT_EQ(FormatCountGrouped(999, u","), u"999");
  EXPECT_EQ(FormatCountGrouped(100000, u","), u"100,000");
}

TEST(MainLayout, ToolButtonChainAndCentring) {
  std::vector<int> widths(10, 40);
  EXPECT_EQ(ToolButtonLefts(145, widths), (std::vector<int>{161, 201, 241, 281, 321, 361, 406, 446, 486, 526}));
  widths.push_back(52);  // the view button, set apart after the ten
  EXPECT_EQ(ToolButtonLefts(145, widths).back(), 571);
  Origin o = CentredOrigin(1280, 1024, 644, 408);
  EXPECT_EQ(o.left, 318);
  EXPECT_EQ(o.top, 308);
  o = CentredOrigin(1024, 768, 1025, 2000);  // larger than the screen: held at the desktop's edge
  EXPECT_EQ(o.left, 0);
  EXPECT_EQ(o.top, 0);
  o = CentredOrigin(1024, 768, 1027, 769);  // -1.5 and -0.5 truncate toward zero
  EXPECT_EQ(o.left, 0);
  EXPECT_EQ(o.top, 0);
}
