// Text conversion at the Windows boundary: UTF-8 in the toolkit, UTF-16 for
// the system (code page 65001 semantics, see base/jx_utf.h).
#ifndef JX_PLATFORM_WIN_WIN_TEXT_H_
#define JX_PLATFORM_WIN_WIN_TEXT_H_

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "base/jx_utf.h"

namespace jx::os {

// The UTF-16 form of `utf8`, cut at its first NUL.
inline std::wstring ToWide(std::string_view utf8) {
  const std::u16string wide = jx::Utf8ToUtf16(utf8);
  std::wstring result(wide.begin(), wide.end());
  const size_t nul = result.find(L'\0');
  if (nul != std::wstring::npos) result.resize(nul);
  return result;
}

inline std::string FromWide(std::wstring_view wide) {
  return jx::Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

// Reads a text the system writes into a buffer of the caller's, growing the
// buffer until it fits. `read(buffer, units)` returns what such calls return:
// the length written, or, for a buffer too small, the units needed or the
// buffer's own size. "" when the call fails or the text is longer than any
// path.
template <class Read>
std::wstring ReadGrowing(Read read) {
  constexpr size_t kLongestPath = 32768;
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const size_t length = read(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length != 0 && length < buffer.size()) return buffer.substr(0, length);
    if (length == 0 || buffer.size() > kLongestPath) return L"";
    buffer.assign(std::max(length + 1, 2 * buffer.size()), L'\0');
  }
}

// `path` with "\" separators, as the "\\?\" forms need.
inline std::wstring Backslashed(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

inline bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

// Whether `path` starts as a network (UNC) path: two separators, then a name.
inline bool IsNetworkPath(std::wstring_view path) {
  return path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

// The "\\?\" form of an absolute path: a drive path, or a network path
// starting with two separators.
inline std::wstring LongForm(std::wstring absolute) {
  const bool network = IsNetworkPath(absolute);
  absolute = Backslashed(std::move(absolute));
  return network ? L"\\\\?\\UNC" + absolute.substr(1) : L"\\\\?\\" + absolute;
}

// The UTF-16 form of a normalised path for the system calls. A path near the
// classic 260-character limit gets the "\\?\" prefix, which lifts the limit
// ("\\?\UNC\" for a network path); a relative one is made absolute first,
// since that form is not parsed further. A path already in that form only
// gets "\" separators.
inline std::wstring ToWidePath(std::string_view path) {
  constexpr size_t kClassicLimit = 248;  // the folder-creation limit, below MAX_PATH
  std::wstring wide = ToWide(path);
  if (wide.rfind(L"//?/", 0) == 0) return Backslashed(std::move(wide));
  if (wide.size() < kClassicLimit) return wide;
  const bool drive = wide.size() >= 3 && wide[1] == L':' && IsSeparator(wide[2]);
  if (IsNetworkPath(wide) || drive) return LongForm(std::move(wide));
  const std::wstring full = ReadGrowing([&](wchar_t* buffer, DWORD units) {
    return GetFullPathNameW(wide.c_str(), units, buffer, nullptr);
  });
  return full.size() >= 3 ? LongForm(full) : wide;
}

}  // namespace jx::os

#endif  // JX_PLATFORM_WIN_WIN_TEXT_H_
