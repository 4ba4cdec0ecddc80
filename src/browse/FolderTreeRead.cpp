#include "browse/FolderTreeRead.h"

#include "browse/FolderFiles.h"

namespace tess {

FolderTreeRead::FolderTreeRead(DirectoryLister& lister, MetadataSource& metadata, std::function<void()> ready)
    : lister_(lister), metadata_(metadata), ready_(std::move(ready)) {}

FolderTreeRead::~FolderTreeRead() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void FolderTreeRead::Start(std::u16string folder, char16_t separator, std::set<std::u16string> known) {
  thread_ = std::thread([this, folder = std::move(folder), separator, known = std::move(known)]() mutable {
    Work(std::move(folder), separator, std::move(known));
  });
}

FolderTreeRead::Progress FolderTreeRead::Poll() {
  std::lock_guard lock(mutex_);
  ready_.Answered();
  return progress_;
}

std::vector<FolderTreeRead::File> FolderTreeRead::TakeFiles() {
  std::lock_guard lock(mutex_);
  return std::move(files_);
}

void FolderTreeRead::Moved() {
  std::unique_lock lock(mutex_);
  ready_.Raise(lock);
}

void FolderTreeRead::Work(std::u16string folder, char16_t separator, std::set<std::u16string> known) {
  std::vector<FolderTreeFile> listed;
  ListFolderTreeFiles(lister_, folder, separator, listed);
  int toRead = 0;
  for (const auto& f : listed) toRead += !(f.folder.size() == folder.size() && known.count(f.entry.name));
  {
    std::lock_guard lock(mutex_);
    progress_.total = toRead;
  }
  Moved();
  std::vector<File> files;
  for (const auto& f : listed) {
    if (stop_) return;
    File file{f.folder, nullptr};
    if (!(f.folder.size() == folder.size() && known.count(f.entry.name))) {
      file.record = MakeFileRecord(f.entry, f.folder, metadata_);
      std::lock_guard lock(mutex_);
      ++progress_.done;
    }
    files.push_back(std::move(file));
    Moved();
  }
  {
    std::lock_guard lock(mutex_);
    files_ = std::move(files);
    progress_.finished = true;
    ready_.Answered();  // the end is always told
  }
  Moved();
}

}  // namespace tess
