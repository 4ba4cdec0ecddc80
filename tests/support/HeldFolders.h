#pragma once
// A directory lister for the reads done off the window's thread: folders made in memory (or
// the disk's, through another lister), whose listings can be held back at a gate until the
// test lets them through. A held listing waits before its first entry. Safe to use from
// several threads.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <optional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DirectoryList.h"

namespace tess::testing {

class HeldFolderLister : public DirectoryLister {
 public:
  // With disk set, the folders are the ones it lists; Add is not used then.
  explicit HeldFolderLister(DirectoryLister* disk = nullptr) : disk_(disk) {}

  // A folder (ending with "\") and its entries; a name ending with "\" is a sub-folder.
  void Add(const std::u16string& folder, const std::vector<std::u16string>& names) {
    std::lock_guard lock(mutex_);
    auto& entries = folders_[folder];
    for (const auto& name : names) {
      DirectoryEntry e;
      const bool isFolder = !name.empty() && name.back() == u'\\';
      e.name = isFolder ? name.substr(0, name.size() - 1) : name;
      e.attributes = isFolder ? FILE_ATTRIBUTE_DIRECTORY_ : FILE_ATTRIBUTE_ARCHIVE_;
      entries.push_back(e);
      if (isFolder) folders_[folder + name];
    }
  }
  // Only the listings of folders for which held answers true wait (all when none is given).
  void Hold(std::function<bool(const std::u16string&)> held = nullptr) {
    std::lock_guard lock(mutex_);
    holding_ = true;
    heldFilter_ = std::move(held);
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      holding_ = false;
    }
    gate_.notify_all();
  }
  std::vector<std::u16string> Started() const {
    std::lock_guard lock(mutex_);
    return started_;
  }
  // Entries the visitors were handed, over every listing.
  int Visited() const {
    std::lock_guard lock(mutex_);
    return visited_;
  }
  // Listings begun and not yet returned (a search the system would hold open).
  int InProgress() const {
    std::lock_guard lock(mutex_);
    return inProgress_;
  }
  // Waits (a bounded time) until count listings have begun.
  bool WaitStarted(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return started_.size() >= count; });
  }
  // Waits (a bounded time) until a listing of folder is held at the gate.
  bool WaitHeld(const std::u16string& folder) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return waiting_.count(folder) != 0; });
  }

  bool List(const std::u16string& folder, std::vector<DirectoryEntry>& entries) override {
    return Enumerate(folder, [&](const DirectoryEntry& e) {
      entries.push_back(e);
      return true;
    });
  }
  bool Enumerate(const std::u16string& folder, const std::function<bool(const DirectoryEntry&)>& visit) override {
    struct Done {
      HeldFolderLister& owner;
      ~Done() {
        std::lock_guard lock(owner.mutex_);
        --owner.inProgress_;
      }
    } done{*this};
    std::vector<DirectoryEntry> entries;
    {
      std::unique_lock lock(mutex_);
      ++inProgress_;
      started_.push_back(folder);
      changed_.notify_all();
      if (holding_ && (!heldFilter_ || heldFilter_(folder))) {
        ++waiting_[folder];
        changed_.notify_all();
        gate_.wait(lock, [&] { return !holding_; });
        if (--waiting_[folder] == 0) waiting_.erase(folder);
      }
      if (!disk_) {
        auto it = folders_.find(folder);
        if (it == folders_.end()) return false;
        entries = it->second;
      }
    }
    if (disk_ && !disk_->List(folder, entries)) return false;
    for (const auto& e : entries) {
      {
        std::lock_guard lock(mutex_);
        ++visited_;
      }
      if (!visit(e)) break;
    }
    return true;
  }
  std::optional<DirectoryEntry> Find(const std::u16string& path) override {
    return disk_ ? disk_->Find(path) : std::nullopt;
  }
  std::u16string FullPath(const std::u16string& path) override { return disk_ ? disk_->FullPath(path) : path; }

 private:
  DirectoryLister* disk_;
  mutable std::mutex mutex_;
  std::condition_variable gate_, changed_;
  std::map<std::u16string, std::vector<DirectoryEntry>> folders_;
  std::map<std::u16string, int> waiting_;
  std::function<bool(const std::u16string&)> heldFilter_;
  bool holding_ = false;
  std::vector<std::u16string> started_;
  int visited_ = 0;
  int inProgress_ = 0;
};

}  // namespace tess::testing
