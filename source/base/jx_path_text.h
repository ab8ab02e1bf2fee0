// Path text: the normaliser behind every path the toolkit takes.
#ifndef JX_BASE_JX_PATH_TEXT_H_
#define JX_BASE_JX_PATH_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace jx {

// Whether `c` separates path names: "/", and "\\" on every platform.
bool IsPathSeparator(char c);

// Writes the normal form of the `length` bytes at `source` to `out` and
// returns its length, never more than `length`. `out` may be `source`: the
// normaliser never writes ahead of what it has read.
size_t NormalizePath(const char* source, size_t length, char* out);

// A normalised copy of `path`; "" when nothing is left. On Windows the
// "\\?\" prefix and the "\\" of a network path stay (as "//?/" and "//"),
// which the exported normaliser would collapse.
std::string FixPathText(std::string_view path);

}  // namespace jx

#endif  // JX_BASE_JX_PATH_TEXT_H_
