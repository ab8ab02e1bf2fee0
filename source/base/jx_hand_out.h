// Buffers the toolkit hands to its callers, and taking them back. A buffer
// handed out comes from jx_trace_malloc (zero-filled, retried until memory is
// had) and is recorded under the file and line of its tag; the caller
// releases it with jx_free.
#ifndef JX_BASE_JX_HAND_OUT_H_
#define JX_BASE_JX_HAND_OUT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/jx_memory.h"

namespace jx {

// Where a handed-out buffer was made, as the leak report names it.
struct SourceTag {
  const char* file;
  int line;
};

// Hands out the bytes of `text` without a NUL: a new buffer of exactly their
// number in `*out`, the number in `*length`. False, the outputs untouched,
// when `text` is empty or longer than an int-sized block, or an output is
// null.
bool HandOut(std::string_view text, SourceTag tag, char** out, uint32_t* length);

// A NUL-terminated copy of `text` (it may be empty): a new buffer of its
// length plus one. Null when it does not fit an int-sized block.
char* HandOutWithNul(std::string_view text, SourceTag tag);

// The text a toolkit call hands out, its buffer released: `get(&text,
// &length)` is called once; "" when it returns false.
template <class Getter>
std::string TakeText(Getter&& get) {
  char* text = nullptr;
  uint32_t length = 0;
  if (!get(&text, &length)) return std::string();
  const std::unique_ptr<char, void (*)(void*)> owned(text, &jx_free);
  return std::string(text, length);
}

}  // namespace jx

#endif  // JX_BASE_JX_HAND_OUT_H_
