#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/ThreadEnd.h"

using namespace tess;

namespace {

std::atomic<int> intact{0}, damaged{0};

// A resource that checks, as it goes, that its memory still holds what it was made with.
struct Resource {
  int mark = 0x5EED;
  std::unique_ptr<int> owned = std::make_unique<int>(7);
  ~Resource() {
    (mark == 0x5EED && owned && *owned == 7 ? intact : damaged)++;
    mark = 0;
  }
};

}  // namespace

// Threads that come and go, as the read workers do: each one's resource is destroyed once,
// whole, when it ends (a thread_local with a destructor read freed memory there on Windows).
TEST(ThreadEnd, EachThreadsResourceGoesWholeWhenItEnds) {
  intact = 0, damaged = 0;
  constexpr int kRounds = 50, kThreads = 4;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
      threads.emplace_back([] {
        Resource& a = PerThread<Resource>();
        EXPECT_EQ(&a, &PerThread<Resource>()) << "one per thread";
        std::vector<char> churn(4096, 1);  // the heap moves on meanwhile
      });
    for (auto& t : threads) t.join();
  }
  EXPECT_EQ(damaged.load(), 0);
  EXPECT_EQ(intact.load(), kRounds * kThreads);
}
