// The space check before a run: bytes added up per volume as the volume stores them, against
// its free room, and the lines that say so.
#include <gtest/gtest.h>

#include "platform/Text.h"
#include "rename/SpaceCheck.h"
#include "support/FakeTransfer.h"

using namespace tess;
using tess::testing::FakeFiles;
using tess::testing::FakeTransfer;

namespace {

constexpr uint64_t KiB = 1024, MiB = 1024 * KiB, GiB = 1024 * MiB;

VolumeSpace Volume(const std::u16string& root, uint64_t freeBytes, uint64_t cluster = 4 * KiB, uint64_t total = 500 * GiB) {
  return VolumeSpace{root, freeBytes, total, cluster};
}

// Only the volume's share that the files take, before the margin.
uint64_t WithMargin(uint64_t clusters) { return clusters + SpaceMargin(clusters); }

}  // namespace

TEST(SpaceCheck, AddsUpEachVolumeAndComparesWithItsFreeRoom) {
  struct Expected {
    std::u16string root;
    uint64_t needed;
    bool known;
    bool isShort;
  };
  struct Case {
    const char* what;
    std::vector<VolumeSpace> volumes;
    std::vector<SpaceDemand> demands;
    std::vector<Expected> expected;
  } cases[] = {
      {"enough room", {Volume(u"D:\\", 1 * GiB)},
       {{u"D:\\Photos\\a.jpg", 5 * MiB}, {u"D:\\Photos\\b.jpg", 6 * MiB}},
       {{u"D:\\", WithMargin(11 * MiB), true, false}}},
      {"short on one volume of two", {Volume(u"D:\\", 1 * GiB), Volume(u"F:\\", 20 * MiB)},
       {{u"D:\\Photos\\a.jpg", 5 * MiB}, {u"F:\\Backup\\a.jpg", 5 * MiB}},
       {{u"D:\\", WithMargin(5 * MiB), true, false}, {u"F:\\", WithMargin(5 * MiB), true, true}}},
      // Each would fit alone: only their sum is too much for the volume.
      {"two folders of one volume summed", {Volume(u"D:\\", 30 * MiB)},
       {{u"D:\\2024\\a.jpg", 7 * MiB}, {u"D:\\2025\\b.jpg", 7 * MiB}},
       {{u"D:\\", WithMargin(14 * MiB), true, true}}},
      {"a volume that cannot be told never refuses", {},
       {{u"D:\\Photos\\a.jpg", 900 * GiB}},
       {{u"D:\\", WithMargin(900 * GiB), false, false}}},
      // A volume mounted in a folder is a volume of its own.
      {"a volume mounted in a folder", {Volume(u"D:\\", 1 * GiB), Volume(u"D:\\Mount\\", 1 * MiB)},
       {{u"D:\\Mount\\a.jpg", 2 * MiB}, {u"D:\\Other\\a.jpg", 2 * MiB}},
       {{u"D:\\Mount\\", WithMargin(2 * MiB), true, true}, {u"D:\\", WithMargin(2 * MiB), true, false}}},
      // Every file takes whole clusters: 100 files of one byte take 100 clusters of 64 KiB.
      {"files rounded up to the cluster", {Volume(u"D:\\", 1 * GiB, 64 * KiB)},
       std::vector<SpaceDemand>(100, SpaceDemand{u"D:\\Photos\\a.xmp", 1}),
       {{u"D:\\", WithMargin(100 * 64 * KiB), true, false}}},
      {"a cluster not told counts as 4 KiB", {Volume(u"D:\\", 1 * GiB, 0)},
       {{u"D:\\a.jpg", 4 * KiB + 1}},
       {{u"D:\\", WithMargin(8 * KiB), true, false}}},
      // What a move renamed within its volume gets: no bytes, so no margin either.
      {"nothing written needs nothing", {Volume(u"D:\\", 0)},
       {{u"D:\\Photos\\a.jpg", 0}},
       {{u"D:\\", 0, true, false}}},
      {"exactly enough", {Volume(u"D:\\", WithMargin(4 * MiB))},
       {{u"D:\\a.jpg", 4 * MiB}},
       {{u"D:\\", WithMargin(4 * MiB), true, false}}},
      {"one byte short", {Volume(u"D:\\", WithMargin(4 * MiB) - 1)},
       {{u"D:\\a.jpg", 4 * MiB}},
       {{u"D:\\", WithMargin(4 * MiB), true, true}}},
  };
  for (const Case& c : cases) {
    FakeFiles files;
    for (const VolumeSpace& v : c.volumes) files.volumes[v.root] = v;
    std::vector<VolumeNeed> needs = CheckSpace(c.demands, files);
    ASSERT_EQ(needs.size(), c.expected.size()) << c.what;
    for (size_t i = 0; i < needs.size(); ++i) {
      EXPECT_EQ(needs[i].root, c.expected[i].root) << c.what;
      EXPECT_EQ(needs[i].needed, c.expected[i].needed) << c.what;
      EXPECT_EQ(needs[i].known, c.expected[i].known) << c.what;
      EXPECT_EQ(needs[i].isShort, c.expected[i].isShort) << c.what;
    }
  }
}

TEST(SpaceCheck, TheMarginIsAPercentAndSixteenMebibytes) {
  EXPECT_EQ(SpaceMargin(0), 0u);
  EXPECT_EQ(SpaceMargin(100 * MiB), 17 * MiB);
  EXPECT_EQ(SpaceMargin(100 * GiB), 1 * GiB + 16 * MiB);
  EXPECT_EQ(SpaceMargin(UINT64_MAX), UINT64_MAX / 100 + 16 * MiB);
}

TEST(SpaceCheck, EachFolderIsAskedOnce) {
  FakeFiles files;
  files.volumes[u"D:\\"] = Volume(u"D:\\", 1 * GiB);
  std::vector<SpaceDemand> demands;
  for (int i = 0; i < 500; ++i) demands.push_back({u"D:\\Photos\\" + PadNumber(i, 4) + u".jpg", MiB});
  demands.push_back({u"D:\\Other\\x.jpg", MiB});
  CheckSpace(demands, files);
  EXPECT_EQ(files.spaceAsked, (std::vector<std::u16string>{u"D:\\Photos", u"D:\\Other"}));
}

// Two mounts that the system names with one root (Wine's one drive for the whole Linux
// tree) are told apart by their sizes, so that a small one is not hidden by a large one.
TEST(SpaceCheck, TwoVolumesOfOneNameAreNotAddedTogether) {
  class TwoMounts final : public FileSystem {
   public:
    bool Exists(const std::u16string&) override { return false; }
    bool IsFolder(const std::u16string&) override { return false; }
    bool CreateFolder(const std::u16string&) override { return false; }
    bool RemoveEmptyFolder(const std::u16string&) override { return false; }
    std::optional<uint64_t> FileSize(const std::u16string&) override { return std::nullopt; }
    bool SameContent(const std::u16string&, const std::u16string&) override { return false; }
    bool RemoveFile(const std::u16string&) override { return false; }
    bool MoveFileNoReplace(const std::u16string&, const std::u16string&) override { return false; }
    std::optional<std::string> ContentHash(const std::u16string&) override { return std::nullopt; }
    PathState Probe(const std::u16string&) override { return PathState::Unknown; }
    bool SameFile(const std::u16string&, const std::u16string&) override { return false; }
    std::optional<std::vector<std::u16string>> FileNames(const std::u16string&) override { return std::nullopt; }
    std::optional<VolumeSpace> SpaceOf(const std::u16string& path) override {
      if (path.rfind(u"Z:\\small", 0) == 0) return Volume(u"Z:\\", 10 * MiB, 4 * KiB, 16 * MiB);
      return Volume(u"Z:\\", 100 * GiB);
    }
  } files;
  std::vector<VolumeNeed> needs = CheckSpace({{u"Z:\\big\\a.jpg", 5 * MiB}, {u"Z:\\small\\a.jpg", 5 * MiB}}, files);
  ASSERT_EQ(needs.size(), 2u);
  EXPECT_FALSE(needs[0].isShort);
  EXPECT_TRUE(needs[1].isShort);
}

TEST(SpaceCheck, AMoveWithinItsVolumeNeedsNoRoom) {
  FakeFiles files;
  FakeTransfer io(files);
  files.Put(u"E:\\DCIM\\a.jpg", std::string(3000, 'a'));
  files.Put(u"E:\\DCIM\\b.jpg", std::string(5000, 'b'));
  files.Put(u"E:\\DCIM\\c.jpg", std::string(7000, 'c'));
  std::vector<phases::Pair> batch = {
      {u"E:\\DCIM\\a.jpg", u"E:\\2024\\a.jpg"},  // renamed on the card
      {u"E:\\DCIM\\b.jpg", u"D:\\2024\\b.jpg"},  // copied to another drive, then removed
      {u"E:\\DCIM\\c.jpg", u"E:\\DCIM\\C.jpg", true},  // a change of case
  };
  auto bytesOf = [](const std::vector<SpaceDemand>& demands) {
    std::vector<uint64_t> bytes;
    for (const SpaceDemand& d : demands) bytes.push_back(d.bytes);
    return bytes;
  };
  EXPECT_EQ(bytesOf(BatchSpaceDemands(batch, false, files, io)), (std::vector<uint64_t>{0, 5000, 0}));
  EXPECT_EQ(bytesOf(BatchSpaceDemands(batch, true, files, io)), (std::vector<uint64_t>{3000, 5000, 7000}));
  // A card with no room left still takes a move within it.
  files.volumes[u"E:\\"] = Volume(u"E:\\", 0);
  files.volumes[u"D:\\"] = Volume(u"D:\\", 1 * GiB);
  for (const VolumeNeed& need : CheckSpace(BatchSpaceDemands(batch, false, files, io), files))
    EXPECT_FALSE(need.isShort) << ToUtf8(need.root);
}

TEST(SpaceCheck, SizesAsExplorerGivesThem) {
  struct Case {
    uint64_t bytes;
    const char16_t* down;
    const char16_t* up;
  } cases[] = {
      {0, u"0.0 KB", u"0.0 KB"},
      {1, u"0.0 KB", u"0.1 KB"},
      {1023, u"0.9 KB", u"1.0 KB"},
      {1 * KiB, u"1.0 KB", u"1.0 KB"},
      {1 * MiB - 1, u"1023.9 KB", u"1024.0 KB"},
      {1 * MiB, u"1.0 MB", u"1.0 MB"},
      {uint64_t(12.34 * GiB), u"12.3 GB", u"12.4 GB"},
      {uint64_t(8.15 * GiB), u"8.1 GB", u"8.2 GB"},
      {3 * 1024 * GiB + 512 * GiB, u"3.5 TB", u"3.5 TB"},
      {UINT64_MAX, u"16777215.9 TB", u"16777216.0 TB"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatVolumeSize(c.bytes, false), c.down) << c.bytes;
    EXPECT_EQ(FormatVolumeSize(c.bytes, true), c.up) << c.bytes;
  }
  // A need shown rounded up, the room rounded down: never a short volume that reads as enough.
  VolumeNeed need{u"D:\\", uint64_t(12.25 * GiB) + 1, uint64_t(8.15 * GiB), true, true};
  EXPECT_EQ(SpaceShortLine(need), u"空き容量が足りません: D:\\ (必要 12.3 GB、空き 8.1 GB)");
  EXPECT_EQ(SpaceNeededLine(need), u"必要な空き容量: D:\\ 12.3 GB (空き 8.1 GB)");
  need.known = false;
  EXPECT_EQ(SpaceNeededLine(need), u"必要な空き容量: D:\\ 12.3 GB (空き容量は不明)");
}
