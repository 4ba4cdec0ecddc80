// The folder tree's reads off the window's thread: what a list and a probe answer, and which
// replies are stale (a newer request for the node, a forgotten node, a cancel).
#include "browse/FolderReads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "support/HeldFolders.h"

using namespace tess;
using tess::testing::HeldFolderLister;
using Kind = FolderReads::Kind;
using V = std::vector<std::u16string>;

namespace {

// Takes replies until the reads are done (or a bounded time has passed).
std::vector<FolderReads::Reply> TakeAll(FolderReads& reads) {
  std::vector<FolderReads::Reply> all;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (reads.Busy() && std::chrono::steady_clock::now() < until) {
    for (auto& r : reads.Take()) all.push_back(std::move(r));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return all;
}

void MakeCard(HeldFolderLister& lister) {
  lister.Add(u"C:\\card\\", {u"a.jpg", u"DCIM\\", u"b.jpg", u"MISC\\", u"c.jpg"});
  lister.Add(u"C:\\card\\DCIM\\", {u"100\\", u"101\\"});
  lister.Add(u"C:\\card\\MISC\\", {u"x.jpg", u"y.jpg", u"z.jpg"});
  lister.Add(u"C:\\card\\DCIM\\100\\", {u"p1.jpg", u"p2.jpg", u"p3.jpg", u"p4.jpg"});
}

TEST(FolderReads, ListsAndProbesAnswerWhatTheFolderHolds) {
  struct Case {
    const char* what;
    Kind kind;
    std::u16string folder;
    bool listed;
    V folders;
    bool hasSubFolder;
    int visited;  // entries handed to the walk: a probe stops at the first sub-folder
  } cases[] = {
      {"fill: only the sub-folders, in order", Kind::Fill, u"C:\\card\\", true, {u"DCIM", u"MISC"}, false, 5},
      {"sync reads as a fill does", Kind::Sync, u"C:\\card\\DCIM\\", true, {u"100", u"101"}, false, 2},
      {"probe stops at the first sub-folder", Kind::Probe, u"C:\\card\\", true, {}, true, 2},
      {"probe of a folder of files only", Kind::Probe, u"C:\\card\\MISC\\", true, {}, false, 3},
      {"a folder that cannot be read", Kind::Fill, u"C:\\gone\\", false, {}, false, 0},
  };
  for (const Case& c : cases) {
    HeldFolderLister lister;
    MakeCard(lister);
    FolderReads reads(lister, nullptr);
    reads.Request(7, c.kind, c.folder);
    auto replies = TakeAll(reads);
    ASSERT_EQ(replies.size(), 1u) << c.what;
    const auto& r = replies[0];
    EXPECT_EQ(r.node, 7u) << c.what;
    EXPECT_EQ(r.kind, c.kind) << c.what;
    EXPECT_EQ(r.folder, c.folder) << c.what;
    EXPECT_EQ(r.listed, c.listed) << c.what;
    EXPECT_EQ(r.folders, c.folders) << c.what;
    EXPECT_EQ(r.hasSubFolder, c.hasSubFolder) << c.what;
    EXPECT_EQ(lister.Visited(), c.visited) << c.what;
  }
}

TEST(FolderReads, TheLookOfAProbedFolderIsFoundOnTheWorker) {
  HeldFolderLister lister;
  MakeCard(lister);
  std::thread::id caller = std::this_thread::get_id();
  bool onCaller = false;
  V described;
  FolderReads reads(lister, nullptr, [&](const std::u16string& folder) {
    onCaller |= std::this_thread::get_id() == caller;
    described.push_back(folder);
    return FolderLook{folder == u"C:\\card\\MISC\\" ? 2 : 1, 3, true};
  });
  reads.Request(1, Kind::Fill, u"C:\\card\\");
  reads.Request(2, Kind::Probe, u"C:\\card\\MISC\\");
  auto replies = TakeAll(reads);
  ASSERT_EQ(replies.size(), 2u);
  const auto& probe = replies[0].kind == Kind::Probe ? replies[0] : replies[1];
  EXPECT_EQ(probe.look.image, 2);
  EXPECT_EQ(probe.look.openImage, 3);
  EXPECT_TRUE(probe.look.shared);
  EXPECT_EQ(described, V{u"C:\\card\\MISC\\"}) << "a list does not wait for the looks of its folders";
  EXPECT_FALSE(onCaller);
}

// What makes a held read's reply stale once it is let through.
TEST(FolderReads, OnlyTheRepliesOfCurrentRequestsAreHandedBack) {
  struct Case {
    const char* what;
    std::function<void(FolderReads&)> meanwhile;
    V expected;  // the folders of the replies taken
  } cases[] = {
      {"nothing: the held reply arrives", [](FolderReads&) {}, {u"C:\\card\\"}},
      {"a newer fill of the same node replaces it",
       [](FolderReads& r) { r.Request(1, Kind::Sync, u"C:\\card\\DCIM\\"); }, {u"C:\\card\\DCIM\\"}},
      {"a probe of the node has its own place",
       [](FolderReads& r) { r.Request(1, Kind::Probe, u"C:\\card\\DCIM\\"); }, {u"C:\\card\\", u"C:\\card\\DCIM\\"}},
      {"the node forgotten (deleted, closed)", [](FolderReads& r) { r.Forget(1); }, {}},
      {"another node forgotten", [](FolderReads& r) { r.Forget(2); }, {u"C:\\card\\"}},
      {"a cancel (new root, eject, close)", [](FolderReads& r) { r.CancelAll(); }, {}},
  };
  for (const Case& c : cases) {
    HeldFolderLister lister;
    MakeCard(lister);
    lister.Hold([](const std::u16string& f) { return f == u"C:\\card\\"; });
    FolderReads reads(lister, nullptr);
    reads.Request(1, Kind::Fill, u"C:\\card\\");
    ASSERT_TRUE(lister.WaitHeld(u"C:\\card\\")) << c.what;
    c.meanwhile(reads);
    lister.Release();
    V taken;
    for (const auto& r : TakeAll(reads)) taken.push_back(r.folder);
    std::sort(taken.begin(), taken.end());
    EXPECT_EQ(taken, c.expected) << c.what;
    EXPECT_FALSE(reads.Busy()) << c.what;
  }
}

TEST(FolderReads, ACancelStopsTheRunningReadAtItsNextEntryAndDropsTheQueue) {
  HeldFolderLister lister;
  MakeCard(lister);
  lister.Hold();
  FolderReads reads(lister, nullptr);
  reads.Request(1, Kind::Fill, u"C:\\card\\");
  reads.Request(2, Kind::Probe, u"C:\\card\\DCIM\\");
  reads.Request(3, Kind::Probe, u"C:\\card\\MISC\\");
  ASSERT_TRUE(lister.WaitHeld(u"C:\\card\\"));
  reads.CancelAll();
  EXPECT_FALSE(reads.Busy());
  lister.Release();
  reads.WaitIdle();
  EXPECT_EQ(lister.Visited(), 1) << "the walk stopped at the entry after the cancel";
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(lister.Started(), V{u"C:\\card\\"}) << "the queued probes were never read";
  EXPECT_TRUE(reads.Take().empty());
}

TEST(FolderReads, ListsGoBeforeProbesAndWakeUpsComeOncePerBatch) {
  HeldFolderLister lister;
  MakeCard(lister);
  lister.Hold([](const std::u16string& f) { return f == u"C:\\card\\MISC\\"; });
  std::atomic<int> wakeUps = 0;
  FolderReads reads(lister, [&] { ++wakeUps; });
  reads.Request(1, Kind::Probe, u"C:\\card\\MISC\\");
  ASSERT_TRUE(lister.WaitHeld(u"C:\\card\\MISC\\"));
  reads.Request(2, Kind::Probe, u"C:\\card\\DCIM\\100\\");
  reads.Request(3, Kind::Probe, u"C:\\card\\DCIM\\");
  reads.Request(4, Kind::Fill, u"C:\\card\\DCIM\\");
  lister.Release();
  auto replies = TakeAll(reads);
  EXPECT_EQ(replies.size(), 4u);
  EXPECT_EQ(lister.Started(),
            (V{u"C:\\card\\MISC\\", u"C:\\card\\DCIM\\", u"C:\\card\\DCIM\\100\\", u"C:\\card\\DCIM\\"}));
  EXPECT_GE(wakeUps.load(), 1);
  EXPECT_LE(wakeUps.load(), 4);
}

}  // namespace
