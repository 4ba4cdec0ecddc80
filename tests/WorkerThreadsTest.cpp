// Workers that end when idle and start again with the next piece of work: no piece handed
// over while the last worker is ending may be left behind.
#include "platform/WorkerThreads.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

using namespace tess;

namespace {

class Queue {
 public:
  explicit Queue(int threads) : threads_(threads, [this] { Loop(); }) {}
  ~Queue() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    threads_.Join();
  }
  void Push(int item) {
    std::lock_guard lock(mutex_);
    items_.push_back(item);
    threads_.Start();
  }
  bool WaitDone(int count) {
    std::unique_lock lock(mutex_);
    return done_cv_.wait_for(lock, std::chrono::seconds(10), [&] { return done_ == count; });
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (stopping_ || items_.empty()) {
        threads_.Ending();
        return;
      }
      items_.pop_front();
      lock.unlock();
      std::this_thread::yield();
      lock.lock();
      ++done_;
      done_cv_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable done_cv_;
  std::deque<int> items_;
  int done_ = 0;
  bool stopping_ = false;
  WorkerThreads threads_;
};

TEST(WorkerThreads, WorkHandedOverAsTheWorkersEndIsNeverLeftBehind) {
  for (int threads : {1, 2}) {
    Queue queue(threads);
    int pushed = 0;
    for (int round = 0; round < 300; ++round) {
      // Some rounds find the workers still running, others just ending, others gone.
      for (int i = 0; i < round % 3; ++i) queue.Push(pushed++);
      if (round % 7 == 0) ASSERT_TRUE(queue.WaitDone(pushed)) << threads << " threads, round " << round;
    }
    EXPECT_TRUE(queue.WaitDone(pushed)) << threads << " threads";
  }
}

}  // namespace
