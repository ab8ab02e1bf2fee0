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
  return jx::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()),
                                             wide.size()));
}

}  // namespace jx::os

#endif  // JX_PLATFORM_WIN_WIN_TEXT_H_
