// Path names: base names, suffixes and the exported path normaliser.
#include "base/jx_string.h"

#include <cstring>

#include "base/jx_path_text.h"

namespace {

// A length of 0 or less means "up to the NUL".
size_t MeasuredLength(const char* text, int length) {
  return length > 0 ? static_cast<size_t>(length) : std::strlen(text);
}

}  // namespace

extern "C" {

const char* jx_file_base_name(const char* text, int length) {
  if (text == nullptr) return nullptr;
  for (size_t i = MeasuredLength(text, length); i > 0; --i) {
    if (jx::IsPathSeparator(text[i - 1])) return text + i;
  }
  return text;
}

const char* jx_file_suffix(const char* text, int length) {
  const char* base = jx_file_base_name(text, length);
  if (base == nullptr) return nullptr;
  const char* dot = std::strrchr(base, '.');
  return dot != nullptr ? dot + 1 : base;
}

const char* jx_func_base_name(const char* text, int length) {
  if (text == nullptr || length <= 0) return text;
  for (int i = length; i > 0; --i) {
    if (text[i - 1] == ':') return text + i;
  }
  return text;
}

unsigned int fix_file_path(char* text, int length) {
  if (text == nullptr) return 0;
  const size_t total = MeasuredLength(text, length);
  const size_t fixed = jx::NormalizePath(text, total, text);
  std::memset(text + fixed, 0, total - fixed);
  return static_cast<unsigned int>(fixed);
}

unsigned int fix_file_path_to_dest(const char* source, int length, char* dest) {
  if (source == nullptr || dest == nullptr) return 0;
  return static_cast<unsigned int>(jx::NormalizePath(source, MeasuredLength(source, length), dest));
}

}  // extern "C"
