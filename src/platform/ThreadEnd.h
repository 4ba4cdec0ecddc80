#pragma once
// Per-thread resources let go when their thread ends. The Windows build's runtime may free a
// thread_local object's memory before its destructor runs at the thread's end, so a
// thread_local with a destructor reads freed memory there (a heap corrupted, or a crash, in
// the read workers that come and go). A thread's resources are kept behind plain pointers
// instead and let go here.
#include <functional>

namespace tess {

// Runs release when the calling thread ends (last registered, first run).
void AtThreadEnd(std::function<void()> release);

// The calling thread's own T, made on first use and destroyed when the thread ends.
template <class T>
T& PerThread() {
  thread_local T* object = nullptr;
  if (!object) {
    object = new T();
    AtThreadEnd([gone = object] { delete gone; });
  }
  return *object;
}

}  // namespace tess
