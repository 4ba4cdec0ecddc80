#pragma once
// Owners of Win32 handles: nothing is released by hand.
#include <windows.h>

#include <utility>

namespace tess {

// Owns one handle released by Free; move-only. Invalid is the value that means "none"
// (NULL for most handles, INVALID_HANDLE_VALUE for a find handle).
template <typename H, auto Free, H (*Invalid)() = nullptr>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  static H None() { return Invalid ? Invalid() : H{}; }
  explicit UniqueHandle(H h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, None())) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) {
      reset();
      h_ = std::exchange(o.h_, None());
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  H get() const { return h_; }
  explicit operator bool() const { return h_ != None() && h_ != H{}; }
  void reset(H h = None()) {
    if (h_ != None() && h_ != H{}) Free(h_);
    h_ = h;
  }
  H release() { return std::exchange(h_, None()); }

 private:
  H h_ = None();
};

inline HANDLE NoFindHandle() { return INVALID_HANDLE_VALUE; }
inline void FreeFind(HANDLE h) { FindClose(h); }
inline void FreeKernelHandle(HANDLE h) { CloseHandle(h); }

// A FindFirstFileW search: INVALID_HANDLE_VALUE when none.
using FindHandle = UniqueHandle<HANDLE, FreeFind, NoFindHandle>;
using KernelHandle = UniqueHandle<HANDLE, FreeKernelHandle>;

}  // namespace tess
