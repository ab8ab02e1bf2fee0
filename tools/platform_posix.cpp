// POSIX half of the tool: loading the product library, the terminal.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

#include "library.h"
#include "terminal.h"

namespace mird_tool {

const char* LibraryFileName() { return "libmird_check.so"; }

Library* LoadLibraryFile(const std::string& path, std::string* error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    *error = reason != nullptr ? reason : "unknown error";
  }
  return static_cast<Library*>(handle);
}

Function FindFunction(Library* library, const char* name) {
  return reinterpret_cast<Function>(dlsym(library, name));
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

}  // namespace mird_tool
