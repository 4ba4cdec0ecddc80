// The whole-folder rename's read off the window's thread: every file under the folder in the
// order the rename takes them, the shown folder's known files not read again, progress, and a
// cancel that stops at the next file.
#include "browse/FolderTreeRead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/HeldFolders.h"
#include "support/HeldReads.h"

using namespace tess;
using tess::testing::HeldFolderLister;
using tess::testing::HeldMetadataSource;
using V = std::vector<std::u16string>;

namespace {

void MakeCard(HeldFolderLister& lister) {
  lister.Add(u"C:\\DCIM\\", {u"b.jpg", u"101\\", u"a.jpg", u"100\\"});
  lister.Add(u"C:\\DCIM\\100\\", {u"p2.jpg", u"p1.jpg"});
  lister.Add(u"C:\\DCIM\\101\\", {u"q.jpg"});
}

FolderTreeRead::Progress WaitFinished(FolderTreeRead& read) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  FolderTreeRead::Progress p;
  while (!(p = read.Poll()).finished && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return p;
}

TEST(FolderTreeRead, ReadsEveryFileUnderTheFolderInOrderButTheKnownOnes) {
  HeldFolderLister lister;
  MakeCard(lister);
  HeldMetadataSource source;
  std::atomic<int> wakeUps = 0;
  FolderTreeRead read(lister, source, [&] { ++wakeUps; });
  read.Start(u"C:\\DCIM\\", u'\\', {u"a.jpg"});
  FolderTreeRead::Progress p = WaitFinished(read);
  ASSERT_TRUE(p.finished);
  EXPECT_EQ(p.total, 4);
  EXPECT_EQ(p.done, 4);
  std::vector<FolderTreeRead::File> files = read.TakeFiles();
  V paths;
  for (const auto& f : files) paths.push_back(f.folder + (f.record ? f.record->Name : u"(known)"));
  EXPECT_EQ(paths, (V{u"C:\\DCIM\\(known)", u"C:\\DCIM\\b.jpg", u"C:\\DCIM\\100\\p1.jpg", u"C:\\DCIM\\100\\p2.jpg",
                      u"C:\\DCIM\\101\\q.jpg"}));
  ASSERT_TRUE(files[2].record);
  EXPECT_TRUE(files[2].record->HasMetadata);
  EXPECT_EQ(files[2].record->ExifDateTimeOriginal, HeldMetadataSource::kDate);
  EXPECT_FALSE(files[2].record->MetadataPending);
  EXPECT_EQ(source.Started().size(), 4u) << "the known file is not read again";
  EXPECT_GE(wakeUps.load(), 1);
}

TEST(FolderTreeRead, DroppingTheReadStopsItAtTheNextFile) {
  HeldFolderLister lister;
  MakeCard(lister);
  HeldMetadataSource source;
  source.Hold();
  auto read = std::make_unique<FolderTreeRead>(lister, source, nullptr);
  read->Start(u"C:\\DCIM\\", u'\\', {});
  ASSERT_TRUE(source.WaitStarted(1));
  EXPECT_FALSE(read->Poll().finished);
  EXPECT_EQ(read->Poll().total, 5);
  std::thread step([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    source.Release();
  });
  read.reset();
  step.join();
  EXPECT_EQ(source.Started().size(), 1u);
}

}  // namespace
