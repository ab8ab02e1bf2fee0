// Windows implementation of the debugger output and console redirection.
#include <windows.h>

#include <stdio.h>

#include <string>

#include "platform/jx_os.h"
#include "platform/win/win_error.h"
#include "platform/win/win_text.h"

namespace jx::os {

namespace {

bool ReopenStandardStreams(const std::string& path) {
  const bool out = ReopenFile(path, "a", stdout);
  const DWORD out_error = GetLastError();
  // An open that succeeds may still set the error (an existing file does).
  const bool err = ReopenFile(path, "a", stderr);
  if (!out) SetLastError(out_error);
  return out && err;
}

}  // namespace

void DebuggerOutput(const std::string& text) { OutputDebugStringW(ToWide(text).c_str()); }

bool RedirectConsole(const std::string& path) { return ReopenStandardStreams(path); }

bool ResumeConsole() { return ReopenStandardStreams("CON"); }

}  // namespace jx::os
