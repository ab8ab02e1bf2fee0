// UTF-8 and UTF-16 conversion for the Windows boundary. Portable, so it is
// tested on every platform. Invalid input never fails: each ill-formed
// sequence becomes U+FFFD, as the Windows code-page 65001 conversions do.
#ifndef JX_BASE_JX_UTF_H_
#define JX_BASE_JX_UTF_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace jx {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// The length of the well-formed UTF-8 character at `text[at]` (1 to 4), or
// 0 when the bytes there are not one; `at` must be inside `text`.
size_t Utf8CharLength(std::string_view text, size_t at);

// Length of the longest prefix of `text` (of `length` bytes) that is at most
// `max_bytes` long and does not end inside a UTF-8 character.
size_t Utf8PrefixLength(const char* text, size_t length, size_t max_bytes);

}  // namespace jx

#endif  // JX_BASE_JX_UTF_H_
