// The folder listing off the window's thread: the listing asked for last is handed back
// once, and nothing of a listing dropped by a newer folder or a cancel ever is.
#include "browse/FolderListing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "browse/FileListModel.h"
#include "support/HeldFolders.h"
#include "support/RecordFakes.h"

using namespace tess;
using tess::testing::HeldFolderLister;

namespace {

using namespace std::chrono_literals;

DirectoryEntry File(const std::u16string& name) { return DirectoryEntry{name, FILE_ATTRIBUTE_ARCHIVE_, 1, 0, 0}; }
DirectoryEntry Folder(const std::u16string& name) { return DirectoryEntry{name, FILE_ATTRIBUTE_DIRECTORY_, 0, 0, 0}; }

class FolderListingTest : public ::testing::Test {
 protected:
  FolderListingTest() {
    lister.Add(u"D:\\A\\", {u"a1.jpg", u"a2.jpg"});
    lister.Add(u"D:\\B\\", {u"b1.jpg"});
  }
  std::vector<std::u16string> Names(const FolderListing::Result& result) {
    std::vector<std::u16string> out;
    for (const auto& e : result.entries) out.push_back(e.name);
    return out;
  }

  // The wake-up is raised just after the listing is there to take.
  bool WaitReady(int count) {
    for (int i = 0; i < 1000 && ready < count; ++i) std::this_thread::sleep_for(1ms);
    return ready == count;
  }

  HeldFolderLister lister;
  std::atomic<int> ready = 0;
  FolderListing listing{lister, [this] { ++ready; }};
};

TEST_F(FolderListingTest, HandsTheListingBackOnceAndSaysSo) {
  EXPECT_FALSE(listing.Pending());
  listing.Start(u"D:\\A\\");
  EXPECT_TRUE(listing.Pending());
  EXPECT_EQ(listing.PendingFolder(), u"D:\\A\\");
  ASSERT_TRUE(listing.Wait(10s));
  EXPECT_TRUE(WaitReady(1));
  auto result = listing.Take();
  ASSERT_TRUE(result);
  EXPECT_EQ(result->folder, u"D:\\A\\");
  EXPECT_TRUE(result->listed);
  EXPECT_EQ(Names(*result), (std::vector<std::u16string>{u"a1.jpg", u"a2.jpg"}));
  EXPECT_FALSE(listing.Pending());
  EXPECT_FALSE(listing.Take());
}

TEST_F(FolderListingTest, AnUnreadableFolderComesBackUnlisted) {
  listing.Start(u"D:\\Gone\\");
  ASSERT_TRUE(listing.Wait(10s));
  auto result = listing.Take();
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->listed);
  EXPECT_TRUE(result->entries.empty());
}

TEST_F(FolderListingTest, AHeldListingIsNotThereToTakeAndTheWaitEnds) {
  lister.Hold();
  listing.Start(u"D:\\A\\");
  ASSERT_TRUE(lister.WaitStarted(1));
  EXPECT_FALSE(listing.Wait(20ms));
  EXPECT_FALSE(listing.Take());
  EXPECT_TRUE(listing.Pending());
  lister.Release();
  ASSERT_TRUE(listing.Wait(10s));
  EXPECT_TRUE(listing.Take());
}

TEST_F(FolderListingTest, ANewerFolderDropsTheListingUnderWay) {
  lister.Hold();
  listing.Start(u"D:\\A\\");
  ASSERT_TRUE(lister.WaitStarted(1));
  listing.Start(u"D:\\B\\");
  EXPECT_EQ(listing.PendingFolder(), u"D:\\B\\");
  lister.Release();
  ASSERT_TRUE(listing.Wait(10s));
  auto result = listing.Take();
  ASSERT_TRUE(result);
  EXPECT_EQ(result->folder, u"D:\\B\\");
  EXPECT_EQ(Names(*result), (std::vector<std::u16string>{u"b1.jpg"}));
  EXPECT_EQ(lister.Started(), (std::vector<std::u16string>{u"D:\\A\\", u"D:\\B\\"}));
  EXPECT_TRUE(WaitReady(1));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(ready, 1) << "the dropped listing raised no wake-up";
}

TEST_F(FolderListingTest, ACancelDropsTheListingUnderWayAndStartsNoOther) {
  lister.Hold();
  listing.Start(u"D:\\A\\");
  ASSERT_TRUE(lister.WaitStarted(1));
  listing.Cancel();
  EXPECT_FALSE(listing.Pending());
  EXPECT_EQ(listing.PendingFolder(), u"");
  lister.Release();
  // A later folder is listed as usual: the worker is free again.
  listing.Start(u"D:\\B\\");
  ASSERT_TRUE(listing.Wait(10s));
  auto result = listing.Take();
  ASSERT_TRUE(result);
  EXPECT_EQ(result->folder, u"D:\\B\\");
  EXPECT_EQ(lister.Started().size(), 2u);
}

TEST_F(FolderListingTest, GoesAwayWhileAListingIsHeld) {
  auto held = std::make_unique<FolderListing>(lister, [] {});
  lister.Hold();
  held->Start(u"D:\\A\\");
  ASSERT_TRUE(lister.WaitStarted(1));
  std::thread releaser([&] {
    std::this_thread::sleep_for(20ms);
    lister.Release();
  });
  held.reset();  // waits for the listing under way, then its worker ends
  releaser.join();
}

// The model shows a listing taken elsewhere as it shows its own: filtered, sorted, the
// records' metadata left to read.
TEST(FileListModelListing, ShowsAListingTakenElsewhere) {
  tess::testing::FakeDirectoryLister unused;
  tess::testing::FakeMetadataSource metadata;
  FileListModel model(unused, metadata);
  model.DeferMetadata = true;
  model.FindText = u"IMG";
  model.ShowListing(u"D:\\A\\", {File(u"img_2.jpg"), File(u"dsc.jpg"), Folder(u"sub"), File(u"IMG_1.jpg")}, true);
  std::vector<std::u16string> names;
  for (int i = 0; i < model.Count(); ++i) names.push_back(model.Record(i)->Name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"sub", u"IMG_1.jpg", u"img_2.jpg"}));
  EXPECT_EQ(model.PendingReads(u"D:\\A\\").size(), 3u);
  model.ShowListing(u"D:\\A\\", {File(u"img_3.jpg")}, false);
  EXPECT_EQ(model.Count(), 0) << "an unreadable folder shows no rows";
}

}  // namespace
