// The allocator every JSON document is built with: values, member and
// element tables, copied strings, the parser's work stack and the writer's
// buffers all come from the C heap through it.
#ifndef JX_JSON_JX_JSON_ALLOCATOR_H_
#define JX_JSON_JX_JSON_ALLOCATOR_H_

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace jx {

// Stateless: any instance frees, grows or takes over what another allocated,
// so subtrees move freely between documents. It never reports failure to the
// JSON library; under lasting exhaustion the calling thread keeps retrying.
// Its blocks bypass the toolkit's allocation tracker. Safe from any thread.
class JXJsonAllocator {
 public:
  // The JSON library must call Free for every block.
  static constexpr bool kNeedFree = true;

  // `size` zero bytes; null for a size of 0.
  void* Malloc(size_t size) {
    if (size == 0) return nullptr;
    void* block;
    while ((block = std::malloc(size)) == nullptr) {
    }
    return std::memset(block, 0, size);
  }

  // `block` (may be null) resized to `new_size`, contents kept up to the
  // smaller size; the grown part is not cleared. A new size of 0 frees the
  // block and gives null. The old size is not needed.
  void* Realloc(void* block, size_t /*old_size*/, size_t new_size) {
    if (new_size == 0) {
      std::free(block);
      return nullptr;
    }
    void* resized;
    while ((resized = std::realloc(block, new_size)) == nullptr) {
    }
    return resized;
  }

  static void Free(void* block) { std::free(block); }
};

}  // namespace jx

#endif  // JX_JSON_JX_JSON_ALLOCATOR_H_
