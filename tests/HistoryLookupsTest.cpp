// The file list's look-ups in the import history on a worker: answers only for the photos
// filed, none where no history exists (and none is made), and a new folder drops the old.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/MainLayout.h"
#include "browse/HistoryLookups.h"
#include "platform/DateTime.h"

using namespace tess;
namespace fs = std::filesystem;

namespace {

PhotoIdentity Photo(const char16_t* name, int second) {
  PhotoIdentity p;
  p.make = u"Canon";
  p.model = u"EOS R6";
  p.name = name;
  p.size = 1000;
  EXPECT_TRUE(TryEncodeDateTime({2024, 5, 1, 9, 0, second, 0}, p.shot));
  return p;
}

class HistoryLookupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tessarine-lookups-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::u16string Path() const { return (dir_ / "history.sqlite3").u16string(); }
  // Waits for the worker's wake-up, or a little while when none is expected.
  bool WaitReady(std::chrono::milliseconds wait = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    bool woke = ready_.wait_for(lock, wait, [&] { return raised_; });
    raised_ = false;
    return woke;
  }
  std::function<void()> Ready() {
    return [this] {
      std::lock_guard lock(mutex_);
      raised_ = true;
      ready_.notify_all();
    };
  }

  fs::path dir_;
  std::mutex mutex_;
  std::condition_variable ready_;
  bool raised_ = false;
};

}  // namespace

TEST_F(HistoryLookupsTest, AnswersOnlyForThePhotosFiled) {
  {
    std::vector<std::u16string> notices;
    auto history = ImportHistory::Open(Path(), notices);
    ASSERT_TRUE(history);
    ASSERT_EQ(history->Record({ImportEntry{Photo(u"IMG_0001.JPG", 1), u"E:\\IMG_0001.JPG", u"D:\\a.JPG", u"run",
                                           u"2024-05-02 10:11:12"}}),
              HistoryStatus::Ok);
  }
  HistoryLookups lookups([this] { return Path(); }, Ready());
  int a = 0, b = 0;
  lookups.Start({{&a, Photo(u"IMG_0001.JPG", 1)}, {&b, Photo(u"IMG_0002.JPG", 2)}});
  ASSERT_TRUE(WaitReady());
  std::vector<HistoryLookups::Result> results = lookups.Take();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].key, &a);
  EXPECT_EQ(FormatDateTime(results[0].filedAt), u"2024/05/02 10:11:12");
}

TEST_F(HistoryLookupsTest, NoHistoryYetAnswersNothingAndMakesNone) {
  HistoryLookups lookups([this] { return Path(); }, Ready());
  int a = 0;
  lookups.Start({{&a, Photo(u"IMG_0001.JPG", 1)}});
  EXPECT_FALSE(WaitReady(std::chrono::milliseconds(300)));
  lookups.Cancel();  // waits for nothing: the worker ends by itself
  EXPECT_TRUE(lookups.Take().empty());
  EXPECT_FALSE(fs::exists(dir_ / "history.sqlite3")) << "browsing makes no database";
}

TEST(MainLayout, TheStatusBarCountsThePhotosFiledBefore) {
  EXPECT_EQ(StatusImportedText(0, u","), u"");
  EXPECT_EQ(StatusImportedText(1234, u","), u"  取り込み済み 1,234 個");
}
