// Number text: lenient reading of numbers in settings and JSON texts, and
// zero-padded writing.
#ifndef JX_BASE_JX_NUMBER_TEXT_H_
#define JX_BASE_JX_NUMBER_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace jx {

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

#endif  // JX_BASE_JX_NUMBER_TEXT_H_
