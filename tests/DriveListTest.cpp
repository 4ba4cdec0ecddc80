// The drive drop-down's entries and the selection a rebuild leaves; where the panes go when
// the drive they show is gone.
#include <gtest/gtest.h>

#include <map>

#include "app/DriveList.h"

using namespace tess;

namespace {
std::vector<std::u16string> Texts(const std::vector<DriveEntry>& entries) {
  std::vector<std::u16string> out;
  for (const auto& e : entries) out.push_back(e.Text());
  return out;
}
}  // namespace

TEST(DriveListTest, EntriesInLetterOrderWithLabelsAndImagesOfReadableDrivesOnly) {
  std::map<std::u16string, std::u16string> labels{
      {u"C:\\", u"Windows"}, {u"E:\\", std::u16string(u"PHOTOS\0junk", 11)}, {u"Z:\\", u""}};
  auto entries = BuildDriveEntries((1u << 0) | (1u << 2) | (1u << 4) | (1u << 5) | (1u << 25),
                                   [&](const std::u16string& root) -> std::optional<std::u16string> {
                                     auto it = labels.find(root);
                                     if (it == labels.end()) return std::nullopt;
                                     return it->second;
                                   });
  EXPECT_EQ(Texts(entries), (std::vector<std::u16string>{u"A:\\", u"C:\\ [Windows]", u"E:\\ [PHOTOS]", u"F:\\",
                                                          u"Z:\\ []"}));
  std::vector<int> images;
  for (const auto& e : entries) images.push_back(e.image);
  EXPECT_EQ(images, (std::vector<int>{-1, 0, 1, -1, 2}));
  EXPECT_TRUE(BuildDriveEntries(0, [](const std::u16string&) { return std::optional<std::u16string>(u"x"); }).empty());
  // Bits above Z are no drives.
  EXPECT_EQ(BuildDriveEntries(0xFC000000u, [](const std::u16string&) { return std::nullopt; }).size(), 0u);
}

TEST(DriveListTest, RebuildSelectsByFolderFirstThenKeepsThePosition) {
  const std::vector<std::u16string> drives{u"A:\\", u"C:\\ [Windows]", u"D:\\ [DATA]", u"E:\\ [CARD]"};
  struct Case {
    const char* name;
    std::vector<std::u16string> texts;
    std::u16string folder;
    int remembered;
    int select, result;
  } cases[] = {
      {"first build at the stored folder's drive", drives, u"D:\\Photos\\", -1, 2, 2},
      {"first build, folder on a missing drive", drives, u"Q:\\x\\", -1, 0, -1},
      {"first build, no folder", drives, u"", -1, 0, -1},
      {"two characters are no folder", drives, u"D:", -1, 0, -1},
      {"letters compared exactly: lower case matches nothing", drives, u"d:\\Photos\\", -1, 0, -1},
      {"a later rebuild keeps the position, not the drive", drives, u"E:\\DCIM\\", 1, 1, 1},
      {"position 0 is kept too", drives, u"E:\\", 0, 0, 0},
      {"a letter added before the selection: same position, other drive",
       {u"A:\\", u"B:\\ [USB]", u"C:\\ [Windows]", u"D:\\ [DATA]"}, u"C:\\", 2, 2, 2},
      {"the remembered position past the last entry selects nothing", {u"A:\\", u"C:\\ [Windows]"}, u"C:\\", 3, -1, 3},
      {"no drives at all", {}, u"C:\\", -1, -1, -1},
  };
  for (const Case& c : cases) {
    DriveSelection s = ChooseDriveSelection(c.texts, c.folder, c.remembered);
    EXPECT_EQ(s.selectIndex, c.select) << c.name;
    EXPECT_EQ(s.result, c.result) << c.name;
  }
}

TEST(DriveListTest, DriveLettersOfPaths) {
  EXPECT_EQ(DriveLetterOf(u"E:\\DCIM\\"), u'E');
  EXPECT_EQ(DriveLetterOf(u"e:\\"), u'E');
  EXPECT_EQ(DriveLetterOf(u"\\\\server\\share\\"), 0);
  EXPECT_EQ(DriveLetterOf(u"E"), 0);
  EXPECT_EQ(DriveLetterOf(u""), 0);
  EXPECT_EQ(DriveLetterOf(u"1:\\"), 0);
  EXPECT_TRUE(IsOnDrive(u"e:\\DCIM\\", u'E'));
  EXPECT_TRUE(IsOnDrive(u"E:\\", u'e'));
  EXPECT_FALSE(IsOnDrive(u"C:\\E:\\", u'E'));
  EXPECT_FALSE(IsOnDrive(u"", u'E'));
  EXPECT_FALSE(IsOnDrive(u"E:\\", 0));
}

TEST(DriveListTest, PanesLeaveAVanishedDriveForTheSelectedOrFirstPresentOne) {
  const std::vector<std::u16string> texts{u"A:\\", u"C:\\ [Windows]", u"E:\\", u"Z:\\ []"};
  auto present = [](const std::u16string& root) { return root == u"C:\\" || root == u"Z:\\"; };
  EXPECT_EQ(FallbackDriveEntry(texts, 3, present), 3) << "the selected drive is there: it stays";
  EXPECT_EQ(FallbackDriveEntry(texts, 2, present), 1) << "the card slot is empty: the first present drive";
  EXPECT_EQ(FallbackDriveEntry(texts, -1, present), 1) << "nothing selected";
  EXPECT_EQ(FallbackDriveEntry(texts, 9, present), 1) << "position beyond the entries";
  EXPECT_EQ(FallbackDriveEntry(texts, 1, [](const std::u16string&) { return false; }), -1);
  EXPECT_EQ(FallbackDriveEntry({}, 0, present), -1);
}
