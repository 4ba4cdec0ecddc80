#pragma once
// The wake-up a worker gives the window's thread when something waits for it: raised once,
// then not again until the window has taken what waits, so that a worker handing back a
// result per file posts one message per batch, not one per file.
#include <functional>
#include <mutex>
#include <utility>

namespace tess {

class WakeUp {
 public:
  // post is called from the worker: it must only post a message.
  explicit WakeUp(std::function<void()> post) : post_(std::move(post)) {}

  // Called with the worker's lock held by lock: posts unless an earlier wake-up is still
  // unanswered. The post runs with the lock released (it may take the window system's own
  // locks); the lock is held again on return.
  void Raise(std::unique_lock<std::mutex>& lock) {
    if (raised_) return;
    raised_ = true;
    if (!post_) return;
    lock.unlock();
    post_();
    lock.lock();
  }
  // Under the same lock: what waited was taken (or dropped); the next hand-back wakes again.
  void Answered() { raised_ = false; }

 private:
  std::function<void()> post_;
  bool raised_ = false;
};

}  // namespace tess
