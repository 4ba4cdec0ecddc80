// Change notifications under the tree's root become the folders to read again, each once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browse/FolderChanges.h"

using namespace tess;

TEST(FolderChanges, EachChangedFolderNamesItsParentOnce) {
  // A card being filled: one new folder, its photos' folder renamed twice, one at the top.
  std::vector<std::u16string> names = {u"DCIM\\101CANON", u"DCIM\\101canon", u"dcim\\102CANON", u"MISC",
                                       u"DCIM\\101CANON\\sub\\", u""};
  std::vector<std::u16string> expected = {u"E:\\DCIM\\", u"E:\\", u"E:\\DCIM\\101CANON\\"};
  EXPECT_EQ(ChangedParentFolders(u"E:\\", names), expected);
}

TEST(FolderChanges, GatheredChangesKeepOneEntryPerFolder) {
  std::vector<std::u16string> pending = {u"E:\\DCIM\\"};
  MergeChangedFolders(pending, {u"e:\\dcim\\", u"E:\\", u"E:\\"});
  EXPECT_EQ(pending, (std::vector<std::u16string>{u"E:\\DCIM\\", u"E:\\"}));
}

TEST(FolderChanges, TheWatchHoldsADrivesRootOrTheRootsParentNeverTheRootItself) {
  EXPECT_EQ(WatchedFolderFor(u"E:\\"), u"E:\\");
  EXPECT_EQ(WatchedFolderFor(u"E:\\DCIM\\"), u"E:\\");
  EXPECT_EQ(WatchedFolderFor(u"C:\\Users\\me\\Pictures\\"), u"C:\\Users\\me\\");
  EXPECT_EQ(WatchedFolderFor(u"\\\\nas\\photos\\2024\\"), u"\\\\nas\\photos\\");
  EXPECT_EQ(WatchedFolderFor(u"\\\\nas\\photos\\"), u"\\\\nas\\photos\\");
  EXPECT_EQ(WatchedFolderFor(u""), u"");
}
