#pragma once
// The whole-folder rename's read off the window's thread: every file under a folder (a card's
// DCIM with its sub-folders) listed as ListFolderTreeFiles gives them, and each file's
// metadata read, with the count done so far and a cancel that stops at the next file.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "browse/FileRecords.h"
#include "platform/WakeUp.h"
#include "platform/DirectoryList.h"

namespace tess {

class FolderTreeRead {
 public:
  struct File {
    std::u16string folder;                         // ends with a separator
    std::unique_ptr<FileRecord> record;   // null for a file of the folder named in known
  };
  struct Progress {
    int done = 0;
    int total = 0;  // 0 until the files are listed
    bool finished = false;
  };

  // ready is called from the worker when the progress moved and the last Poll has seen the
  // previous move (so a handful of times, not once per file): it must only post a wake-up.
  FolderTreeRead(DirectoryLister& lister, MetadataSource& metadata, std::function<void()> ready);
  // Stops at the next file and waits for the worker.
  ~FolderTreeRead();
  FolderTreeRead(const FolderTreeRead&) = delete;
  FolderTreeRead& operator=(const FolderTreeRead&) = delete;

  // Reads every file under folder (ending with separator); the files of folder itself whose
  // names are in known are listed but not read (their records are at hand already).
  void Start(std::u16string folder, char16_t separator, std::set<std::u16string> known);
  Progress Poll();
  // Once finished: the files in order.
  std::vector<File> TakeFiles();

 private:
  void Work(std::u16string folder, char16_t separator, std::set<std::u16string> known);
  void Moved();

  DirectoryLister& lister_;
  MetadataSource& metadata_;
  WakeUp ready_;
  std::mutex mutex_;
  std::atomic<bool> stop_ = false;
  Progress progress_;
  std::vector<File> files_;
  std::thread thread_;
};

}  // namespace tess
