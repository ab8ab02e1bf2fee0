// Internal text helpers shared across the toolkit and the check.
#ifndef JX_BASE_JX_TEXT_H_
#define JX_BASE_JX_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace jx {

// Writes the normal form of the `length` bytes at `source` to `out` and
// returns its length, never more than `length`. `out` may be `source`: the
// normaliser never writes ahead of what it has read.
size_t NormalizePath(const char* source, size_t length, char* out);

// A normalised copy of `path`; "" when nothing is left.
std::string FixPathText(std::string_view path);

// Lenient conversions for settings and JSON texts: white space trimmed,
// lower-cased, "true" reads as 1, "false" and "" as 0, then the number at the
// start of the text as a formatted stream read would take it. Any failure
// (no digits, overflow) gives 0. TextToInteger reads base 16, 8 or 2 when
// asked, any other base as 10; base 2 uses at most the first 8 characters
// and gives 0 when the text holds anything but "0" and "1".
int64_t TextToInteger(std::string_view text, int base);
double TextToDouble(std::string_view text);

// Appends `value` as printf's "%0<width>lld" writes it, or "%0<width>llX" for
// base 16 (upper-case digits). A width of 0 pads nothing.
void AppendZeroPadded(std::string* out, long long value, int width, int base = 10);

}  // namespace jx

#endif  // JX_BASE_JX_TEXT_H_
