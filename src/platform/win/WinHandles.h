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

// Owns one COM reference: the one smart pointer of the program's COM objects.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* p) : p_(p) {}  // takes over a reference
  ~ComRef() { reset(); }
  ComRef(ComRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ComRef& operator=(ComRef&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = o.p_;
      o.p_ = nullptr;
    }
    return *this;
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T** Out() {
    reset();
    return &p_;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace tess
