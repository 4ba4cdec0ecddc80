// The folder listing off the window's thread: the listing asked for last is handed back
// once, and nothing of a listing dropped by a newer folder or a cancel ever is.
#include "browse/FolderListing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
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

std::vector<std::u16string> Names(const FolderListing::Batch& batch) {
  std::vector<std::u16string> out;
  for (const auto& run : batch.runs)
    for (const auto& record : run) out.push_back(record->Name);
  return out;
}

class FolderListingTest : public ::testing::Test {
 protected:
  FolderListingTest() {
    lister.Add(u"D:\\A\\", {u"a1.jpg", u"a2.jpg"});
    lister.Add(u"D:\\B\\", {u"b1.jpg"});
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
  EXPECT_TRUE(result->complete);
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
  EXPECT_TRUE(result->complete);
  EXPECT_FALSE(result->listed);
  EXPECT_TRUE(Names(*result).empty());
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

// A lister that hands its entries over one by one, stopping after stopAfter of them until
// the test lets it go on, and counts the entries the walk was given.
class SteppedLister : public DirectoryLister {
 public:
  SteppedLister(std::vector<DirectoryEntry> entries, size_t stopAfter) : entries_(std::move(entries)), stopAfter_(stopAfter) {}
  bool List(const std::u16string&, std::vector<DirectoryEntry>& entries) override {
    entries = entries_;
    return true;
  }
  bool Enumerate(const std::u16string&, const std::function<bool(const DirectoryEntry&)>& visit) override {
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (i == stopAfter_) {
        std::unique_lock lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return goOn_; });
      }
      ++visited;
      if (!visit(entries_[i])) return true;
    }
    return true;
  }
  std::optional<DirectoryEntry> Find(const std::u16string&) override { return std::nullopt; }
  std::u16string FullPath(const std::u16string& path) override { return path; }

  bool WaitStopped() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return stopped_; });
  }
  void GoOn() {
    std::lock_guard lock(mutex_);
    goOn_ = true;
    changed_.notify_all();
  }
  std::atomic<int> visited = 0;

 private:
  std::vector<DirectoryEntry> entries_;
  size_t stopAfter_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopped_ = false, goOn_ = false;
};

// On a slow card the first rows come long before the last entry: what was read is handed over
// in runs, each in the order asked for and filtered, and the runs merged give the whole
// listing in that order.
TEST(FolderListingBatches, RowsComeInSortedFilteredRunsBeforeTheListingEnds) {
  SteppedLister lister({File(u"IMG_3.JPG"), File(u"skip.txt"), File(u"IMG_1.JPG"), Folder(u"sub"), File(u"IMG_4.JPG"),
                        File(u"img_2.jpg"), File(u".")},
                       4);
  std::atomic<int> ready = 0;
  FolderListing listing(lister, [&] { ++ready; }, 0ms);
  FolderListing::Options options;
  options.findText = u"img";
  options.sort.SortDirection[ColumnName] = -1;
  listing.Start(u"D:\\A\\", options);
  ASSERT_TRUE(lister.WaitStopped());
  std::this_thread::sleep_for(20ms);
  auto first = listing.Take();
  ASSERT_TRUE(first);
  EXPECT_FALSE(first->complete);
  EXPECT_TRUE(listing.Pending());
  EXPECT_FALSE(listing.Wait(0ms)) << "the end is not there yet";
  lister.GoOn();
  ASSERT_TRUE(listing.Wait(10s));
  auto rest = listing.Take();
  ASSERT_TRUE(rest);
  EXPECT_TRUE(rest->complete);
  EXPECT_FALSE(listing.Pending());

  FileSortState descending = options.sort;
  for (const auto* batch : {&*first, &*rest})
    for (const auto& run : batch->runs)
      for (size_t i = 1; i < run.size(); ++i)
        EXPECT_LE(CompareFileData(run[i - 1].get(), run[i].get(), descending), 0) << "each run comes sorted";
  tess::testing::FakeDirectoryLister unused;
  tess::testing::FakeMetadataSource metadata;
  FileListModel model(unused, metadata);
  model.SetSortState(descending);
  model.AddListed(std::move(first->runs), first->sort);
  model.AddListed(std::move(rest->runs), rest->sort);
  std::vector<std::u16string> names;
  for (int i = 0; i < model.Count(); ++i) {
    names.push_back(model.Record(i)->Name);
    EXPECT_TRUE(model.Record(i)->MetadataPending);
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"IMG_4.JPG", u"IMG_3.JPG", u"img_2.jpg", u"IMG_1.JPG", u"sub"}));
}

TEST(FolderListingBatches, ACancelStopsTheWalkAtItsNextEntry) {
  std::vector<DirectoryEntry> entries;
  for (int i = 0; i < 100; ++i) entries.push_back(File(u"IMG_" + std::u16string(1, char16_t(u'A' + i % 26)) + u".JPG"));
  SteppedLister lister(entries, 1);
  FolderListing listing(lister, [] {});
  listing.Start(u"D:\\A\\");
  ASSERT_TRUE(lister.WaitStopped());
  listing.Cancel();
  lister.GoOn();
  // The listing is free again as soon as the walk stopped: a later one is listed.
  listing.Start(u"D:\\B\\");
  ASSERT_TRUE(listing.Wait(10s));
  EXPECT_EQ(lister.visited.load(), 2 + 100) << "the cancelled walk stopped at the entry after the cancel";
  EXPECT_EQ(Names(*listing.Take()).size(), 100u);
}

// The model shows a listing taken elsewhere as it shows its own: filtered, sorted, the
// records' metadata left to read.
TEST(FileListModelListing, ShowsAListingTakenElsewhere) {
  tess::testing::FakeDirectoryLister unused;
  tess::testing::FakeMetadataSource metadata;
  FileListModel model(unused, metadata);
  model.SetDeferMetadata(true);
  model.SetFindText(u"IMG");
  model.ShowListing(u"D:\\A\\", {File(u"img_2.jpg"), File(u"dsc.jpg"), Folder(u"sub"), File(u"IMG_1.jpg")}, true);
  std::vector<std::u16string> names;
  for (int i = 0; i < model.Count(); ++i) names.push_back(model.Record(i)->Name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"sub", u"IMG_1.jpg", u"img_2.jpg"}));
  EXPECT_EQ(model.PendingReads().Size(), 3u);
  model.ShowListing(u"D:\\A\\", {File(u"img_3.jpg")}, false);
  EXPECT_EQ(model.Count(), 0) << "an unreadable folder shows no rows";
}

}  // namespace

namespace {

// A column clicked while a listing comes: its later runs, sorted by the worker in the order of
// the start, still land in the order the rows show now.
TEST(FileListModelListing, ARunMadeBeforeAColumnClickLandsInTheNewOrder) {
  tess::testing::FakeDirectoryLister unused;
  tess::testing::FakeMetadataSource metadata;
  FileListModel model(unused, metadata);
  const FileSortState ascending = model.SortState();
  auto run = [](std::vector<std::u16string> names) {
    RecordBatch out;
    for (const auto& name : names) out.push_back(MakeFileRecord(File(name), u"D:\\A\\", nullptr));
    return out;
  };
  std::vector<RecordBatch> first;
  first.push_back(run({u"b.jpg", u"d.jpg"}));
  model.AddListed(std::move(first), ascending);
  model.SortByColumn(ColumnName, nullptr);  // now descending
  std::vector<RecordBatch> later;
  later.push_back(run({u"a.jpg", u"c.jpg", u"e.jpg"}));  // made ascending, before the click
  model.AddListed(std::move(later), ascending);
  std::vector<std::u16string> names;
  for (int i = 0; i < model.Count(); ++i) names.push_back(model.Record(i)->Name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"e.jpg", u"d.jpg", u"c.jpg", u"b.jpg", u"a.jpg"}));
}

}  // namespace
