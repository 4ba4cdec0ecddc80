// The metadata reads off the window's thread: every file read once, the rows in view first,
// and nothing of a dropped run handed back.
#include "browse/MetadataReads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "platform/Text.h"
#include "support/HeldReads.h"

using namespace tess;
using tess::testing::HeldMetadataSource;

namespace {

MetadataReads::Jobs Jobs(int count, std::vector<int>& keys) {
  keys.resize(static_cast<size_t>(count));
  MetadataReads::Jobs jobs;
  for (int i = 0; i < count; ++i) jobs.Add(&keys[static_cast<size_t>(i)], std::u16string(1, char16_t(u'a' + i)));
  return jobs;
}

// Takes results until the run is done (or a bounded time has passed).
std::vector<MetadataReads::Result> TakeAll(MetadataReads& reads) {
  std::vector<MetadataReads::Result> all;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (reads.Running() && std::chrono::steady_clock::now() < until) {
    for (auto& r : reads.Take()) all.push_back(std::move(r));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return all;
}

TEST(MetadataReads, ReadsEveryFileOnceAndHandsBackItsValues) {
  HeldMetadataSource source;
  std::atomic<int> wakeUps = 0;
  MetadataReads reads(source, [&] { ++wakeUps; }, 4);
  std::vector<int> keys;
  reads.Start(u"/card/", Jobs(20, keys));
  EXPECT_EQ(reads.Total(), 20);
  std::vector<MetadataReads::Result> all = TakeAll(reads);
  ASSERT_EQ(all.size(), 20u);
  EXPECT_EQ(reads.Done(), 20);
  std::set<const void*> seen;
  for (const auto& r : all) {
    seen.insert(r.key);
    EXPECT_TRUE(r.metadata.HasMetadata);
    EXPECT_EQ(r.metadata.ExifDateTimeOriginal, HeldMetadataSource::kDate);
    EXPECT_EQ(r.metadata.ExifCameraModel, u"HELD");
  }
  EXPECT_EQ(seen.size(), 20u);
  EXPECT_EQ(source.Started().size(), 20u) << "no file read twice";
  EXPECT_GE(wakeUps.load(), 1);
}

TEST(MetadataReads, ThePreferredRowsAreReadFirst) {
  HeldMetadataSource source;
  source.Hold();
  MetadataReads reads(source, nullptr, 1);
  std::vector<int> keys;
  reads.Start(u"/card/", Jobs(10, keys));
  ASSERT_TRUE(source.WaitStarted(1));  // the one worker holds the first file
  reads.Prefer(6, 8);
  source.Release();
  TakeAll(reads);
  std::vector<std::u16string> started = source.Started();
  ASSERT_EQ(started.size(), 10u);
  EXPECT_EQ(started[1], u"/card/g");
  EXPECT_EQ(started[2], u"/card/h");
  EXPECT_EQ(started[3], u"/card/i");
  EXPECT_EQ(started[4], u"/card/b") << "then the rest in order";
}

// With several workers side by side the rows in view still come before the rest.
TEST(MetadataReads, SeveralWorkersTakeThePreferredRowsFirst) {
  HeldMetadataSource source;
  source.Hold();
  MetadataReads reads(source, nullptr, 4);
  std::vector<int> keys;
  reads.Start(u"/card/", Jobs(20, keys));
  ASSERT_TRUE(source.WaitStarted(4));  // each worker holds one of the first four files
  reads.Prefer(12, 15);
  // The four held files end; each worker takes its next file and is held with it: those are
  // the preferred ones, whichever worker took which.
  source.AllowStarted();
  ASSERT_TRUE(source.WaitStarted(8));
  std::vector<std::u16string> started = source.Started();
  std::set<std::u16string> next(started.begin() + 4, started.begin() + 8);
  EXPECT_EQ(next, (std::set<std::u16string>{u"/card/m", u"/card/n", u"/card/o", u"/card/p"}));
  source.Release();
  EXPECT_EQ(TakeAll(reads).size(), 20u);
  EXPECT_EQ(source.Started().size(), 20u);
}

TEST(MetadataReads, ANewRunDropsWhatTheOldOneHadNotHandedBack) {
  HeldMetadataSource source;
  source.Hold();
  MetadataReads reads(source, nullptr, 2);
  std::vector<int> oldKeys, newKeys;
  reads.Start(u"/old/", Jobs(50, oldKeys));
  ASSERT_TRUE(source.WaitStarted(2));
  reads.Start(u"/new/", Jobs(3, newKeys));
  source.Release();
  std::vector<MetadataReads::Result> all = TakeAll(reads);
  ASSERT_EQ(all.size(), 3u);
  for (const auto& r : all) EXPECT_TRUE(r.key >= &newKeys[0] && r.key <= &newKeys[2]);
  // Only the two files already in hand when the old run was dropped were read of it.
  size_t oldReads = 0;
  for (const auto& p : source.Started()) oldReads += p.rfind(u"/old/", 0) == 0;
  EXPECT_EQ(oldReads, 2u);
}

TEST(MetadataReads, CancelLeavesNothingRunning) {
  HeldMetadataSource source;
  source.Hold();
  MetadataReads reads(source, nullptr, 2);
  std::vector<int> keys;
  reads.Start(u"/card/", Jobs(5, keys));
  ASSERT_TRUE(source.WaitStarted(2));
  reads.Cancel();
  EXPECT_FALSE(reads.Running());
  source.Release();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(reads.Take().empty());
  EXPECT_EQ(source.Started().size(), 2u);
}

}  // namespace

namespace {

// The names of a run kept in one block give each job its own name back, whatever its length.
TEST(MetadataReadsJobs, EachJobGivesItsOwnKeyAndNameBack) {
  const std::vector<std::u16string> names = {u"IMG_0001.JPG", u"", u"x", u"写真 (2).jpg", std::u16string(300, u'n')};
  std::vector<int> keys(names.size());
  MetadataReads::Jobs jobs;
  for (size_t i = 0; i < names.size(); ++i) jobs.Add(&keys[i], names[i]);
  ASSERT_EQ(jobs.Size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(jobs.Key(i), &keys[i]);
    EXPECT_EQ(std::u16string(jobs.Name(i)), names[i]) << i;
  }
}

}  // namespace
