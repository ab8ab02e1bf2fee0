// Text conversion at the Windows boundary: UTF-8 in the toolkit, UTF-16 for
// the system (code page 65001 semantics, see base/jx_utf.h).
#ifndef JX_PLATFORM_WIN_WIN_TEXT_H_
#define JX_PLATFORM_WIN_WIN_TEXT_H_

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

// The UTF-16 form of a normalised path for the system calls. An absolute path
// near the classic 260-character limit gets the "\\?\" prefix, which lifts the
// limit; that form is not parsed further, so it takes "\" separators.
inline std::wstring ToWidePath(std::string_view path) {
  constexpr size_t kClassicLimit = 248;  // the folder-creation limit, below MAX_PATH
  std::wstring wide = ToWide(path);
  const bool absolute = wide.size() >= 3 && wide[1] == L':' && wide[2] == L'/';
  if (!absolute || wide.size() < kClassicLimit) return wide;
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return L"\\\\?\\" + wide;
}

}  // namespace jx::os

#endif  // JX_PLATFORM_WIN_WIN_TEXT_H_
