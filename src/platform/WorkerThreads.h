#pragma once
// Worker threads that end when they run out of work and are started again by the next piece
// of it: an idle window keeps no worker, and under Wine every thread holds about 1 MB.
//
// The owner's loop takes its work under the owner's lock; finding none, it calls Ending
// (still under that lock) and returns, so that work handed over under the same lock either
// is seen by a running worker or starts a new one.
#include <functional>
#include <list>
#include <thread>
#include <vector>

namespace tess {

class WorkerThreads {
 public:
  WorkerThreads(int count, std::function<void()> loop) : count_(count), loop_(std::move(loop)) {}
  ~WorkerThreads() { Join(); }
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  // Under the owner's lock: work has come; up to count threads run the loop.
  void Start() {
    Reap();
    while (running_ < count_) {
      ++running_;
      threads_.emplace_back(loop_);
    }
  }
  // Under the owner's lock, from a worker's loop about to return: it found nothing to do.
  void Ending() {
    --running_;
    ended_.push_back(std::this_thread::get_id());
  }
  // Without the owner's lock, once the owner has told its loops to stop: waits for them.
  void Join() {
    for (auto& t : threads_)
      if (t.joinable()) t.join();
    threads_.clear();
    ended_.clear();
    running_ = 0;
  }

 private:
  // Threads that ended return right after Ending: they are joined before new ones start.
  void Reap() {
    for (std::thread::id id : ended_) {
      for (auto it = threads_.begin(); it != threads_.end(); ++it) {
        if (it->get_id() != id) continue;
        it->join();
        threads_.erase(it);
        break;
      }
    }
    ended_.clear();
  }

  const int count_;
  std::function<void()> loop_;
  std::list<std::thread> threads_;
  std::vector<std::thread::id> ended_;
  int running_ = 0;
};

}  // namespace tess
