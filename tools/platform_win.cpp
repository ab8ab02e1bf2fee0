// Windows half of the tool: loading the product library, the terminal.
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "base/jx_utf.h"
#include "library.h"
#include "terminal.h"

namespace mird_tool {

const char* LibraryFileName() { return "mird_check.dll"; }

Library* LoadLibraryFile(const std::string& path, std::string* error) {
  // The loader wants "\" separators; the altered search path lets the DLL's
  // own dependencies be found beside it, as for the product's processes.
  std::u16string wide = jx::Utf8ToUtf16(path);
  for (char16_t& c : wide) {
    if (c == u'/') c = u'\\';
  }
  HMODULE module = LoadLibraryExW(reinterpret_cast<const wchar_t*>(wide.c_str()), nullptr,
                                  LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) *error = "Windows error " + std::to_string(GetLastError());
  return reinterpret_cast<Library*>(module);
}

Function FindFunction(Library* library, const char* name) {
  return reinterpret_cast<Function>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

}  // namespace mird_tool
