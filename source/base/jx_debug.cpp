// Debug output and console redirection.
#include "base/jx_debug.h"

#include <cstdio>
#include <string>

#include "base/jx_file_internal.h"
#include "base/jx_guard.h"
#include "platform/jx_os.h"

extern "C" {

void jx_debug_output(const char* text) {
  jx::Guarded([&] {
    std::string line = text != nullptr ? text : "";
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    jx::os::DebuggerOutput(line);
  });
}

void jx_trace_printf(const char*, ...) {}

bool jx_std_console_print_redirect(const char* path) {
  return jx::Guarded(false, [&] {
    const std::string prepared = jx::PreparePath(path);
    return !prepared.empty() && jx::os::RedirectConsole(prepared);
  });
}

bool jx_std_console_print_resume(void) {
  return jx::Guarded(false, [] { return jx::os::ResumeConsole(); });
}

}  // extern "C"
