// POSIX implementation of the error text.
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/jx_os.h"

namespace jx::os {

namespace {

// The GNU strerror_r returns the text, which may not be in the buffer; the
// XSI one fills the buffer and returns 0 or an error number.
[[maybe_unused]] const char* TextOf(const char* result, const char*) { return result; }
[[maybe_unused]] const char* TextOf(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}

}  // namespace

std::string LastError() {
  const int error = errno;
  char buffer[256] = {};
  const char* text = TextOf(strerror_r(error, buffer, sizeof(buffer)), buffer);
  if (text == nullptr || *text == '\0') return "error " + std::to_string(error);
  return text;
}

}  // namespace jx::os
