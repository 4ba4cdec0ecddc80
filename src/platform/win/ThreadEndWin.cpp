// Thread ends through a fiber-local slot: the system calls its callback as each thread ends,
// before the runtime lets the thread's storage go.
#include <windows.h>

#include <vector>

#include "platform/ThreadEnd.h"

namespace tess {

namespace {

using Releases = std::vector<std::function<void()>>;

void CALLBACK RunReleases(void* data) {
  auto* releases = static_cast<Releases*>(data);
  if (!releases) return;
  while (!releases->empty()) {
    std::function<void()> release = std::move(releases->back());
    releases->pop_back();
    release();
  }
  delete releases;
}

DWORD Slot() {
  static const DWORD slot = FlsAlloc(RunReleases);
  return slot;
}

}  // namespace

void AtThreadEnd(std::function<void()> release) {
  const DWORD slot = Slot();
  if (slot == FLS_OUT_OF_INDEXES) return;  // kept until the process ends
  auto* releases = static_cast<Releases*>(FlsGetValue(slot));
  if (!releases) {
    releases = new Releases();
    if (!FlsSetValue(slot, releases)) {
      delete releases;
      return;
    }
  }
  releases->push_back(std::move(release));
}

}  // namespace tess
