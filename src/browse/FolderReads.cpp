#include "browse/FolderReads.h"

#include <algorithm>

#include "browse/FolderPaths.h"

namespace tess {

FolderReads::FolderReads(DirectoryLister& lister, std::function<void()> ready,
                         std::function<FolderLook(const std::u16string&)> describe)
    : lister_(lister), ready_(std::move(ready)), describe_(std::move(describe)) {}

FolderReads::~FolderReads() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    lists_.clear();
    probes_.clear();
    current_.clear();
  }
  thread_.Join();
}

bool FolderReads::Current(const Slot& slot, uint64_t ticket) const {
  auto it = current_.find(slot);
  return it != current_.end() && it->second == ticket;
}

void FolderReads::Request(uint64_t node, Kind kind, std::u16string folder) {
  {
    std::lock_guard lock(mutex_);
    const Slot slot = SlotOf(node, kind);
    const uint64_t ticket = ++nextTicket_;
    current_[slot] = ticket;
    // The replaced request is not read at all when it has not started.
    auto& queue = kind == Kind::Probe ? probes_ : lists_;
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [&](const Job& j) { return SlotOf(j.node, j.kind) == slot; }),
                queue.end());
    queue.push_back(Job{node, kind, std::move(folder), ticket});
    thread_.Start();
  }
}

void FolderReads::Forget(uint64_t node) {
  std::lock_guard lock(mutex_);
  current_.erase(SlotOf(node, Kind::Fill));
  current_.erase(SlotOf(node, Kind::Probe));
  for (auto* queue : {&lists_, &probes_})
    queue->erase(std::remove_if(queue->begin(), queue->end(), [&](const Job& j) { return j.node == node; }),
                 queue->end());
}

void FolderReads::CancelAll() {
  std::lock_guard lock(mutex_);
  current_.clear();
  lists_.clear();
  probes_.clear();
  replies_.clear();
}

void FolderReads::WaitIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [&] { return !running_; });
}

std::vector<FolderReads::Reply> FolderReads::Take() {
  std::vector<Reply> out;
  std::lock_guard lock(mutex_);
  for (auto& [ticket, reply] : replies_) {
    const Slot slot = SlotOf(reply.node, reply.kind);
    // A reply is applied only for the request its node still waits for.
    if (!Current(slot, ticket)) continue;
    current_.erase(slot);
    out.push_back(std::move(reply));
  }
  replies_.clear();
  ready_.Answered();
  return out;
}

bool FolderReads::Busy() const {
  std::lock_guard lock(mutex_);
  return !current_.empty();
}

bool FolderReads::Listing(uint64_t node) const {
  std::lock_guard lock(mutex_);
  return current_.count(SlotOf(node, Kind::Fill)) != 0;
}

FolderReads::Reply FolderReads::Read(const Job& job) {
  Reply reply;
  reply.node = job.node;
  reply.kind = job.kind;
  reply.folder = job.folder;
  const Slot slot = SlotOf(job.node, job.kind);
  bool stopped = false;
  reply.listed = lister_.Enumerate(job.folder, [&](const DirectoryEntry& entry) {
    {
      // Checked at every entry, files too: a folder of thousands of photos stops at once.
      std::lock_guard lock(mutex_);
      if (stopping_ || !Current(slot, job.ticket)) {
        stopped = true;
        return false;
      }
    }
    if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY_) || IsDotEntry(entry.name)) return true;
    if (job.kind == Kind::Probe) {
      reply.hasSubFolder = true;
      return false;  // the first sub-folder answers
    }
    reply.folders.push_back(entry.name);
    return true;
  });
  if (stopped) reply.listed = false;
  // Looked up after the search has closed: the shell may open the folder itself.
  if (!stopped && describe_ && job.kind == Kind::Probe) reply.look = describe_(job.folder);
  return reply;
}

void FolderReads::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stopping_ || (lists_.empty() && probes_.empty())) {
      thread_.Ending();
      return;
    }
    auto& queue = !lists_.empty() ? lists_ : probes_;
    Job job = std::move(queue.front());
    queue.pop_front();
    running_ = true;
    lock.unlock();
    Reply reply = Read(job);
    lock.lock();
    running_ = false;
    idle_.notify_all();
    if (!Current(SlotOf(job.node, job.kind), job.ticket)) continue;
    replies_.emplace_back(job.ticket, std::move(reply));
    ready_.Raise(lock);
  }
}

}  // namespace tess
