// The path normaliser.
#include "base/jx_path_text.h"

#include <cstdint>

#include "platform/jx_os.h"

namespace jx {

namespace {

// The output so far is out[0, n). Handles one "/" of the source and returns
// the new output length. `floor` marks the part a ".." may not remove.
size_t AppendSeparator(char* out, size_t n, size_t* floor) {
  if (n == 0) {
    out[n++] = '/';
  } else if (out[n - 1] == '/') {
    // Repeated separators collapse.
  } else if (n == 1 && out[0] == '.') {
    n = 0;  // A leading "./" vanishes.
  } else if (n >= 2 && out[n - 2] == '/' && out[n - 1] == '.') {
    n -= 1;  // "/./" becomes "/".
  } else if (n == 2 && out[0] == '.' && out[1] == '.') {
    out[n++] = '/';  // A leading "../" stays.
    *floor = 3;
  } else if (n == 3 && out[0] == '/' && out[1] == '.' && out[2] == '.') {
    out[n++] = '/';
    *floor = 4;
  } else if (n > 3 && out[n - 3] == '/' && out[n - 2] == '.' && out[n - 1] == '.') {
    // Look for the separator before the segment that ".." removes.
    size_t found = SIZE_MAX;
    for (size_t i = n - 4 + 1; i-- > *floor;) {
      if (out[i] == '/') {
        found = i;
        break;
      }
    }
    if (found != SIZE_MAX) {
      n = found;  // x/a/.. becomes x/
    } else if (*floor == 0) {
      n = 0;  // nothing protects the start: cut it away with the segment
    }
    out[n++] = '/';
  } else {
    out[n++] = '/';
  }
  return n;
}

}  // namespace

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

size_t NormalizePath(const char* source, size_t length, char* out) {
  size_t n = 0;
  size_t floor = 0;
  for (size_t i = 0; i < length; ++i) {
    const char c = source[i];
    if (IsPathSeparator(c)) {
      n = AppendSeparator(out, n, &floor);
    } else {
      out[n++] = c;
    }
  }
  return n;
}

std::string FixPathText(std::string_view path) {
  std::string copy(path);
  const size_t kept = os::KeptPathPrefix(path);
  for (size_t i = 0; i < kept; ++i) {
    if (IsPathSeparator(copy[i])) copy[i] = '/';
  }
  char* rest = copy.data() + kept;
  copy.resize(kept + NormalizePath(rest, copy.size() - kept, rest));
  return copy;
}

}  // namespace jx
