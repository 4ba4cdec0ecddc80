// The C library here runs thread_local destructors while the thread's storage still holds.
#include <vector>

#include "platform/ThreadEnd.h"

namespace tess {

namespace {

struct Releases {
  std::vector<std::function<void()>> list;
  ~Releases() {
    while (!list.empty()) {
      std::function<void()> release = std::move(list.back());
      list.pop_back();
      release();
    }
  }
};

}  // namespace

void AtThreadEnd(std::function<void()> release) {
  thread_local Releases releases;
  releases.list.push_back(std::move(release));
}

}  // namespace tess
