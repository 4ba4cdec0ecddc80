#pragma once
// Runs a step when a scope ends, by any way out (an error escaping it too): the one guard
// the program uses to undo a flag or a half-done step, instead of a struct made for each.
#include <utility>

namespace tess {

template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F step) : step_(std::move(step)) {}
  ~ScopeExit() {
    if (active_) step_();
  }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

  // The step is not needed any more: the scope ended as it should.
  void Release() { active_ = false; }

 private:
  F step_;
  bool active_ = true;
};

// Sets target to value when the scope ends: `auto ready = RestoreOnExit(flag, true);`.
template <typename T>
[[nodiscard]] auto RestoreOnExit(T& target, T value) {
  return ScopeExit([&target, value = std::move(value)] { target = value; });
}

}  // namespace tess
