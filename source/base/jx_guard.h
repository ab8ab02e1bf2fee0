// What the exported calls do at the C boundary. Exceptions stop here: an
// exported call that can throw inside (allocation, containers) runs its body
// through Guarded and returns its documented failure value instead. A null
// text argument reads as "" through TextOrEmpty.
#ifndef JX_BASE_JX_GUARD_H_
#define JX_BASE_JX_GUARD_H_

#include <string_view>
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

inline std::string_view TextOrEmpty(const char* text) {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

}  // namespace jx

#endif  // JX_BASE_JX_GUARD_H_
