// UTF-8 and UTF-16 conversion with U+FFFD for ill-formed input.
#include "base/jx_utf.h"

namespace jx {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes the character at `text[*i]` into `*code` and advances `*i` past it.
// False for an ill-formed sequence: `*i` then stands past its maximal valid
// prefix (at least one byte).
bool DecodeWellFormed(std::string_view text, size_t* i, char32_t* code) {
  const auto lead = static_cast<unsigned char>(text[*i]);
  ++*i;
  *code = lead;
  if (lead < 0x80) return true;
  int extra;
  char32_t min_second = 0x80;
  char32_t max_second = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    *code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    *code = lead & 0x0F;
    if (lead == 0xE0) min_second = 0xA0;  // overlong
    if (lead == 0xED) max_second = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    *code = lead & 0x07;
    if (lead == 0xF0) min_second = 0x90;  // overlong
    if (lead == 0xF4) max_second = 0x8F;  // above U+10FFFF
  } else {
    return false;
  }
  for (int k = 0; k < extra; ++k) {
    if (*i >= text.size()) return false;
    const auto byte = static_cast<unsigned char>(text[*i]);
    const char32_t low = k == 0 ? min_second : 0x80;
    const char32_t high = k == 0 ? max_second : 0xBF;
    if (byte < low || byte > high) return false;
    *code = (*code << 6) | (byte & 0x3F);
    ++*i;
  }
  return true;
}

// One character, U+FFFD for an ill-formed sequence.
char32_t DecodeUtf8(std::string_view text, size_t* i) {
  char32_t code;
  return DecodeWellFormed(text, i, &code) ? code : kReplacement;
}

void AppendUtf8(char32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const char32_t code = DecodeUtf8(utf8, &i);
    if (code < 0x10000) {
      out.push_back(static_cast<char16_t>(code));
    } else {
      out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t code = utf16[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacement;  // lone surrogate
    }
    AppendUtf8(code, &out);
  }
  return out;
}

size_t Utf8CharLength(std::string_view text, size_t at) {
  size_t end = at;
  char32_t code;
  return DecodeWellFormed(text, &end, &code) ? end - at : 0;
}

size_t Utf8PrefixLength(const char* text, size_t length, size_t max_bytes) {
  if (length <= max_bytes) return length;
  size_t cut = max_bytes;
  while (cut > 0 && IsContinuation(static_cast<unsigned char>(text[cut]))) --cut;
  return cut;
}

}  // namespace jx
