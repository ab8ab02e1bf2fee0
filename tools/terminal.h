// Whether output goes to a person. platform_posix.cpp and platform_win.cpp
// implement it.
#ifndef MIRD_TOOLS_TERMINAL_H_
#define MIRD_TOOLS_TERMINAL_H_

#include <cstdio>

namespace mird_tool {

// Whether `stream` is a terminal (a console on Windows), not a file or pipe.
bool IsTerminal(std::FILE* stream);

}  // namespace mird_tool

#endif  // MIRD_TOOLS_TERMINAL_H_
