// Lenient text-to-number conversion and zero-padded number text.
#include "base/jx_number_text.h"

#include <charconv>
#include <system_error>

namespace jx {

namespace {

bool IsBlank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Trimmed, lower-cased text with "true" as "1" and "false" or "" as "0".
std::string PrepareNumberText(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && IsBlank(static_cast<unsigned char>(text[end - 1]))) --end;
  std::string prepared(text.substr(begin, end - begin));
  for (char& c : prepared) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (prepared == "true") return "1";
  if (prepared == "false" || prepared.empty()) return "0";
  return prepared;
}

int64_t ReadBinary(const std::string& text) {
  int64_t value = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '0' && text[i] != '1') return 0;
    if (i < 8) value = value * 2 + (text[i] - '0');
  }
  return value;
}

int64_t ReadInteger(const std::string& text, int base) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (base == 16 && i + 1 < text.size() && text[i] == '0' && text[i + 1] == 'x') i += 2;
  uint64_t magnitude = 0;
  const char* first = text.data() + i;
  const auto [last, error] = std::from_chars(first, text.data() + text.size(), magnitude, base);
  if (error != std::errc() || last == first) return 0;
  if (negative) {
    if (magnitude > static_cast<uint64_t>(INT64_MAX) + 1) return 0;
    return static_cast<int64_t>(0 - magnitude);
  }
  return magnitude > static_cast<uint64_t>(INT64_MAX) ? 0 : static_cast<int64_t>(magnitude);
}

size_t SkipDigits(const std::string& text, size_t i) {
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  return i;
}

}  // namespace

int64_t TextToInteger(std::string_view text, int base) {
  const std::string prepared = PrepareNumberText(text);
  if (base == 2) return ReadBinary(prepared);
  return ReadInteger(prepared, base == 16 || base == 8 ? base : 10);
}

double TextToDouble(std::string_view text) {
  const std::string prepared = PrepareNumberText(text);
  // The longest prefix a stream read would take: sign, digits, fraction,
  // exponent. An exponent marker without digits fails the whole read.
  size_t i = 0;
  if (i < prepared.size() && (prepared[i] == '+' || prepared[i] == '-')) ++i;
  const size_t integer_end = SkipDigits(prepared, i);
  size_t digits = integer_end - i;
  i = integer_end;
  if (i < prepared.size() && prepared[i] == '.') {
    const size_t fraction_end = SkipDigits(prepared, i + 1);
    digits += fraction_end - (i + 1);
    i = fraction_end;
  }
  if (digits == 0) return 0.0;
  if (i < prepared.size() && prepared[i] == 'e') {
    size_t e = i + 1;
    if (e < prepared.size() && (prepared[e] == '+' || prepared[e] == '-')) ++e;
    const size_t exponent_end = SkipDigits(prepared, e);
    if (exponent_end == e) return 0.0;
    i = exponent_end;
  }
  const char* first = prepared.data() + (prepared[0] == '+' ? 1 : 0);
  double value = 0.0;
  const auto [last, error] = std::from_chars(first, prepared.data() + i, value);
  if (error != std::errc() || last != prepared.data() + i) return 0.0;
  return value;
}

void AppendZeroPadded(std::string* out, long long value, int width, int base) {
  char digits[24];
  const char* first = digits;
  const char* const last = std::to_chars(digits, digits + sizeof(digits), value, base).ptr;
  if (*first == '-') {
    out->push_back('-');
    ++first;
    --width;
  }
  if (last - first < width) out->append(static_cast<size_t>(width - (last - first)), '0');
  for (const char* c = first; c != last; ++c) {
    out->push_back(*c >= 'a' ? static_cast<char>(*c - 'a' + 'A') : *c);
  }
}

}  // namespace jx
