// The verified copy and move against a fake disk with a card's and a disk's faults: no
// fault may leave a half-written file under a final name or lose a source.
#include <gtest/gtest.h>

#include "platform/Text.h"
#include "rename/VerifiedTransfer.h"
#include "support/FakeTransfer.h"

using namespace tess;
using tess::testing::FakeFiles;
using tess::testing::FakeTransfer;

namespace {

using R = PairResult;

struct StepLog final : TransferObserver {
  std::vector<std::pair<size_t, PairStep>> steps;
  std::vector<TransferProgress> progress;
  void OnProgress(const TransferProgress& p) override { progress.push_back(p); }
  void OnPairStep(size_t i, const TransferPair&, PairStep s) override { steps.emplace_back(i, s); }
};

// Three photos on the card E:, each of several blocks, to be filed in C:\Photos\2024.
struct World {
  World() {
    for (int i = 1; i <= 3; ++i) {
      std::u16string name = u"IMG_000" + PadNumber(i, 1) + u".JPG";
      std::string bytes;
      for (int b = 0; b < 40 + i; ++b) bytes += char('a' + (b * i) % 26);
      files.Put(u"E:\\DCIM\\" + name, bytes);
      original[u"E:\\DCIM\\" + name] = bytes;
      pairs.push_back({u"E:\\DCIM\\" + name, u"C:\\Photos\\2024\\" + name});
    }
    files.folders.insert(FileSystemPathKey(u"C:\\Photos"));
    io.cancel = &cancel;
  }
  std::vector<PairResult> Go(TransferAction action) {
    TransferOptions options;
    options.observer = &steps;
    options.cancel = &cancel;
    options.blockSize = 8;
    options.verifyBlockSize = 8;
    return TransferFiles(pairs, action, files, io, options);
  }
  bool AtSource(size_t i) const {
    const FakeFiles::File* f = files.Find(pairs[i].source);
    return f && f->bytes == original.at(pairs[i].source);
  }
  bool Filed(size_t i) const {
    const FakeFiles::File* f = files.Find(pairs[i].destination);
    return f && f->bytes == original.at(pairs[i].source);
  }
  // Every photo whole at one place at least, nothing at a final name that is not whole,
  // no temporary file left, nothing left open.
  void ExpectNothingLost() const {
    for (size_t i = 0; i < pairs.size(); ++i) {
      EXPECT_TRUE(AtSource(i) || Filed(i)) << i;
      if (files.Find(pairs[i].destination)) EXPECT_TRUE(Filed(i)) << i;
    }
    for (const auto& f : files.files) EXPECT_EQ(f.second.path.find(u".tessarine"), std::u16string::npos);
    EXPECT_EQ(io.openFiles, 0u);
  }

  FakeFiles files;
  FakeTransfer io{files};
  CancelToken cancel;
  StepLog steps;
  std::vector<TransferPair> pairs;
  std::map<std::u16string, std::string> original;
};


TEST(VerifiedTransfer, CopyAndMoveAcrossVolumesVerifyEveryPhoto) {
  for (TransferAction action : {TransferAction::Copy, TransferAction::Move}) {
    SCOPED_TRACE(action == TransferAction::Copy ? "copy" : "move");
    World w;
    EXPECT_EQ(w.Go(action), (std::vector<R>{R::Done, R::Done, R::Done}));
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_TRUE(w.Filed(i));
      EXPECT_EQ(w.AtSource(i), action == TransferAction::Copy);
    }
    EXPECT_EQ(w.io.pastCacheReads, 3);  // each copy read back from the disk
    w.ExpectNothingLost();
    // Each pair's steps in their order (the next pair's copy begins while one is read back).
    std::vector<PairStep> first;
    for (const auto& step : w.steps.steps)
      if (step.first == 0) first.push_back(step.second);
    std::vector<PairStep> expected{PairStep::Planned, PairStep::Written, PairStep::Verified};
    if (action == TransferAction::Move) expected.push_back(PairStep::SourceRemoved);
    EXPECT_EQ(first, expected);
    ASSERT_FALSE(w.steps.progress.empty());
    const TransferProgress& last = w.steps.progress.back();
    EXPECT_EQ(last.filesDone, 3u);
    EXPECT_EQ(last.bytesTotal, 41u + 42u + 43u);
    EXPECT_EQ(last.bytesDone, last.bytesTotal);
  }
}

TEST(VerifiedTransfer, FaultsLoseNothing) {
  struct Case {
    const char* what;
    TransferAction action;
    std::function<void(FakeTransfer&)> fault;
    std::vector<R> results;
  } cases[] = {
      {"one wrong byte in a copy", TransferAction::Copy, [](FakeTransfer& t) { t.corruptNamesWith = u"IMG_0002"; },
       {R::Done, R::VerifyFailed, R::Done}},
      {"one wrong byte in a move", TransferAction::Move, [](FakeTransfer& t) { t.corruptNamesWith = u"IMG_0002"; },
       {R::Done, R::VerifyFailed, R::Done}},
      {"the card fails half-way through a read", TransferAction::Move,
       [](FakeTransfer& t) { t.failingReads = {u"E:\\DCIM\\IMG_0001.JPG"}; }, {R::ReadFailed, R::Done, R::Done}},
      {"the disk fills up", TransferAction::Move, [](FakeTransfer& t) { t.spaceLeft = 41 + 20; },
       {R::Done, R::WriteFailed, R::WriteFailed}},
      {"a write-protected card", TransferAction::Move,
       [](FakeTransfer& t) { t.lockedSources = {u"E:\\DCIM\\IMG_0003.JPG"}; }, {R::Done, R::Done, R::SourceStays}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    World w;
    c.fault(w.io);
    std::vector<R> results = w.Go(c.action);
    EXPECT_EQ(results, c.results);
    w.ExpectNothingLost();
    for (size_t i = 0; i < 3; ++i) {
      if (results[i] != R::Done) EXPECT_TRUE(w.AtSource(i)) << i;  // a source goes only after its copy verified
      if (results[i] == R::Done || results[i] == R::SourceStays) EXPECT_TRUE(w.Filed(i)) << i;
      else EXPECT_EQ(w.files.Find(w.pairs[i].destination), nullptr) << i;
    }
  }
}

TEST(VerifiedTransfer, CancelHalfWayLeavesEveryPhotoFiledOrAtItsSource) {
  for (TransferAction action : {TransferAction::Copy, TransferAction::Move}) {
    SCOPED_TRACE(action == TransferAction::Copy ? "copy" : "move");
    World w;
    w.io.cancelAfterBytes = 41 + 16;  // two blocks into the second photo
    EXPECT_EQ(w.Go(action), (std::vector<R>{R::Done, R::Cancelled, R::NotStarted}));
    EXPECT_TRUE(w.Filed(0));
    EXPECT_EQ(w.AtSource(0), action == TransferAction::Copy);
    EXPECT_TRUE(w.AtSource(1));
    EXPECT_TRUE(w.AtSource(2));
    EXPECT_EQ(w.files.Find(w.pairs[1].destination), nullptr);
    w.ExpectNothingLost();
    EXPECT_TRUE(w.files.HasFolder(u"C:\\Photos\\2024"));  // it holds the first photo
  }
}

TEST(VerifiedTransfer, MoveWithinAVolumeIsARename) {
  World w;
  for (TransferPair& p : w.pairs) p.destination = u"E:\\Sorted\\" + p.source.substr(8);
  EXPECT_EQ(w.Go(TransferAction::Move), (std::vector<R>{R::Done, R::Done, R::Done}));
  EXPECT_EQ(w.io.written, 0u);
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(w.Filed(i) && !w.AtSource(i));
  EXPECT_EQ(w.steps.steps[1], std::make_pair(size_t(0), PairStep::Renamed));

  // Two mounts under one drive letter (as under Wine's Z:): the rename is refused and the
  // photo is copied and verified instead.
  World mounts;
  for (TransferPair& p : mounts.pairs) p.destination = u"E:\\Sorted\\" + p.source.substr(8);
  mounts.io.foldersAreMounts = true;
  EXPECT_EQ(mounts.Go(TransferAction::Move), (std::vector<R>{R::Done, R::Done, R::Done}));
  EXPECT_EQ(mounts.io.written, 41u + 42u + 43u);
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(mounts.Filed(i) && !mounts.AtSource(i));
  mounts.ExpectNothingLost();
}

TEST(VerifiedTransfer, NothingIsReplacedAndEmptyNewFoldersGo) {
  // A file that appears at a destination after the run's check is never replaced.
  World w;
  w.files.Put(w.pairs[1].destination, "someone else's");
  EXPECT_EQ(w.Go(TransferAction::Move), (std::vector<R>{R::Done, R::DestinationTaken, R::Done}));
  EXPECT_EQ(w.files.Find(w.pairs[1].destination)->bytes, "someone else's");
  EXPECT_TRUE(w.AtSource(1));

  // Every copy fails: the folders the run made are removed, the ones that were there stay.
  World full;
  full.io.spaceLeft = 0;
  EXPECT_EQ(full.Go(TransferAction::Copy), (std::vector<R>{R::WriteFailed, R::WriteFailed, R::WriteFailed}));
  EXPECT_FALSE(full.files.HasFolder(u"C:\\Photos\\2024"));
  EXPECT_TRUE(full.files.HasFolder(u"C:\\Photos"));
  full.ExpectNothingLost();
}

TEST(VerifiedTransfer, TemporaryNameStaysInTheDestinationFolder) {
  EXPECT_EQ(TemporaryCopyName(u"C:\\P\\a.jpg", 0), u"C:\\P\\~a.jpg.tessarine.tmp");
  EXPECT_EQ(TemporaryCopyName(u"/p/a.jpg", 2), u"/p/~a.jpg.tessarine-2.tmp");
}

}  // namespace
