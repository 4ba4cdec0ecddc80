#pragma once
// A metadata source for the reads done off the window's thread: every file answers one
// date, and reads can be held back at a gate until the test lets them through. Safe to
// use from several threads.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "browse/FileRecords.h"

namespace tess::testing {

class HeldMetadataSource : public MetadataSource {
 public:
  // The date every file answers (2021/03/04 05:06:07).
  static constexpr double kDate = 44259.212581018519;

  void Hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      held_ = false;
    }
    gate_.notify_all();
  }
  // While held, lets the loads begun so far through and holds every later one: each worker
  // takes exactly one more file and waits with it.
  void AllowStarted() {
    {
      std::lock_guard lock(mutex_);
      allowed_ = started_.size();
    }
    gate_.notify_all();
  }
  // The paths whose load began, in the order they began.
  std::vector<std::u16string> Started() const {
    std::lock_guard lock(mutex_);
    return started_;
  }
  // Waits (a bounded time) until count loads have begun.
  bool WaitStarted(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return started_.size() >= count; });
  }

  std::unique_ptr<MetadataReader> CreateReader() override { return std::make_unique<Reader>(*this); }

 private:
  class Reader : public MetadataReader {
   public:
    explicit Reader(HeldMetadataSource& owner) : owner_(owner) {}
    bool LoadFromGraphic(const std::u16string& path) override {
      std::unique_lock lock(owner_.mutex_);
      size_t index = owner_.started_.size();
      owner_.started_.push_back(path);
      owner_.changed_.notify_all();
      owner_.gate_.wait(lock, [&] { return !owner_.held_ || index < owner_.allowed_; });
      return true;
    }
    TDateTime DateTime() override { return kDate; }
    TDateTime DateTimeOriginal() override { return kDate; }
    TDateTime DateTimeDigitized() override { return kDate; }
    std::u16string CameraModel() override { return u"HELD"; }
    std::u16string CameraMake() override { return u"Maker"; }

   private:
    HeldMetadataSource& owner_;
  };

  mutable std::mutex mutex_;
  std::condition_variable gate_, changed_;
  bool held_ = false;
  size_t allowed_ = 0;
  std::vector<std::u16string> started_;
};

}  // namespace tess::testing
