// The one place where exceptions are stopped at the C boundary: an exported
// call that can throw inside (allocation, containers) runs its body through
// Guarded and returns its documented failure value instead.
#ifndef JX_BASE_JX_GUARD_H_
#define JX_BASE_JX_GUARD_H_

#include <utility>

namespace jx {

template <class R, class F>
R Guarded(R failure, F&& body) noexcept {
  try {
    return std::forward<F>(body)();
  } catch (...) {
    return failure;
  }
}

template <class F>
void Guarded(F&& body) noexcept {
  try {
    std::forward<F>(body)();
  } catch (...) {
  }
}

}  // namespace jx

#endif  // JX_BASE_JX_GUARD_H_
