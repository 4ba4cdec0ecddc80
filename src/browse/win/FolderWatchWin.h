#pragma once
// Folders made, renamed or removed under the tree's root by another program: one directory
// watch on the root (its whole depth, folder names only) kept on a worker, which gathers
// what comes for a moment before it wakes the window once, so that a card being filled or a
// program making many folders does not flood the window.
#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tess {

class FolderWatch {
 public:
  // ready runs on the worker when changes wait and the last Take has seen the previous ones:
  // it must only post a wake-up.
  explicit FolderWatch(std::function<void()> ready);
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Watches root (ending in "\"), or nothing when empty. Returns once the previous root's
  // directory handle is closed: a card about to be ejected is held by nothing of the tree.
  void Watch(const std::u16string& root);
  // The folders (ending in "\") whose sub-folders changed since the last call; everything is
  // set when the system lost count (too many changes at once) and the whole tree should be
  // read again.
  std::vector<std::u16string> Take(bool& everything);

 private:
  void Work();

  std::function<void()> ready_;
  std::mutex mutex_;
  std::condition_variable applied_;
  std::u16string wanted_;
  unsigned wantedGeneration_ = 0, appliedGeneration_ = 0;
  bool stopping_ = false;
  bool ended_ = false;  // the worker is gone: nothing is watched any more
  std::vector<std::u16string> changed_;
  bool everything_ = false;
  bool signalled_ = false;  // ready called and not yet taken
  HANDLE wake_ = nullptr;
  std::thread thread_;
};

}  // namespace tess
