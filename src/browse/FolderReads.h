#pragma once
// The folder tree's reads off the window's thread: one worker lists a node's sub-folders or
// probes whether a folder has any, and hands the replies back. Every request is made for a
// node (the tree's own key for it); a newer request for the same node and purpose, a
// forgotten node or a cancel makes the older reply stale, and Take never returns a stale
// reply. A cancel also stops a running enumeration at its next entry, so that no directory
// search stays open on a volume about to go.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/WakeUp.h"
#include "platform/WorkerThreads.h"
#include "platform/DirectoryList.h"

namespace tess {

// How a sub-folder looks in the tree (the system's icon indexes), found on the worker since
// asking the shell may touch the disk. -1: unknown.
struct FolderLook {
  int image = -1;
  int openImage = -1;
  bool shared = false;
};

class FolderReads {
 public:
  enum class Kind {
    Fill,   // the sub-folders of a node about to show them
    Sync,   // the sub-folders of a loaded node, to bring its children in line with the disk
    Probe,  // whether the folder has at least one sub-folder (its expand button)
  };
  struct Reply {
    uint64_t node = 0;
    Kind kind = Kind::Fill;
    std::u16string folder;
    bool listed = false;                  // false: the folder could not be read
    std::vector<std::u16string> folders;  // Fill, Sync: the sub-folder names, "." and ".." left out
    bool hasSubFolder = false;            // Probe
    FolderLook look;                      // Probe: the folder's look when a describer is set
  };
  // ready is called from the worker when replies wait and the last Take emptied them (once
  // per batch): it must only post a wake-up. describe, when set, runs on the worker for every
  // probed folder (a full path ending with a separator): a node's look comes with its button.
  FolderReads(DirectoryLister& lister, std::function<void()> ready,
              std::function<FolderLook(const std::u16string& folder)> describe = nullptr);
  ~FolderReads();
  FolderReads(const FolderReads&) = delete;
  FolderReads& operator=(const FolderReads&) = delete;

  // Asks for a read of folder (ending with a separator) for node. Fill and Sync share one
  // place per node, Probe has its own: a request replaces the one in its place. Lists are
  // read before probes (an expansion does not wait behind the probes of a big folder).
  void Request(uint64_t node, Kind kind, std::u16string folder);
  // The node is gone or closed: its requests are dropped, its running read stops.
  void Forget(uint64_t node);
  // Everything dropped (a new root, an eject, closing); a running read stops at its next entry.
  void CancelAll();
  // Returns once no enumeration is open (after a cancel: the one running has stopped).
  void WaitIdle();
  // The current replies that arrived since the last call; a node's request is done once its
  // reply is taken.
  std::vector<Reply> Take();
  // Whether requests are waiting, running or not yet taken (the window's thread).
  bool Busy() const;
  // Whether a list (Fill or Sync) for node is asked for and not yet taken.
  bool Listing(uint64_t node) const;

 private:
  struct Job {
    uint64_t node;
    Kind kind;
    std::u16string folder;
    uint64_t ticket;
  };
  using Slot = std::pair<uint64_t, bool>;  // node, is a probe
  static Slot SlotOf(uint64_t node, Kind kind) { return {node, kind == Kind::Probe}; }
  bool Current(const Slot& slot, uint64_t ticket) const;  // under the lock
  void Work();
  Reply Read(const Job& job);

  DirectoryLister& lister_;
  WakeUp ready_;
  std::function<FolderLook(const std::u16string&)> describe_;
  mutable std::mutex mutex_;
  std::condition_variable idle_;
  std::deque<Job> lists_, probes_;
  std::map<Slot, uint64_t> current_;  // the ticket of the request each slot waits for
  std::vector<std::pair<uint64_t, Reply>> replies_;  // with their tickets
  uint64_t nextTicket_ = 0;
  bool running_ = false;
  bool stopping_ = false;
  WorkerThreads thread_{1, [this] { Work(); }};  // last: it ends before the rest goes
};

}  // namespace tess
