// The product library loaded at run time, the way the product's own processes
// load it. platform_posix.cpp and platform_win.cpp implement it; CMake picks one.
#ifndef MIRD_TOOLS_LIBRARY_H_
#define MIRD_TOOLS_LIBRARY_H_

#include <string>

namespace mird_tool {

// "libmird_check.so" or "mird_check.dll".
const char* LibraryFileName();

// A loaded library. It is never unloaded: the log writer thread that
// jx_log_init starts inside it runs until the process ends.
struct Library;

// Loads the library file at the UTF-8 `path` and resolves all its references
// at once. Returns null and describes the failure in `*error` when it cannot.
Library* LoadLibraryFile(const std::string& path, std::string* error);

// Any exported function; FindExport casts it to its real type.
using Function = void (*)();

// The exported function `name` of `library`, or null when it has none.
Function FindFunction(Library* library, const char* name);

template <typename Pointer>
Pointer FindExport(Library* library, const char* name) {
  return reinterpret_cast<Pointer>(FindFunction(library, name));
}

}  // namespace mird_tool

#endif  // MIRD_TOOLS_LIBRARY_H_
