// Windows implementation of running a child process.
#include <windows.h>

#include "platform/win/win_text.h"
#include "support/jx_test_process.h"

namespace jx::test {

namespace {

struct Handle {
  HANDLE value = INVALID_HANDLE_VALUE;
  ~Handle() {
    if (value != INVALID_HANDLE_VALUE && value != nullptr) CloseHandle(value);
  }
};

// A temporary file the child inherits and that vanishes when closed.
HANDLE InheritedFile(const wchar_t* path, DWORD access, DWORD disposition, DWORD flags) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  return CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                     disposition, flags, nullptr);
}

HANDLE OutputFile() {
  wchar_t folder[MAX_PATH];
  wchar_t path[MAX_PATH];
  if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"jxp", 0, path) == 0) {
    return INVALID_HANDLE_VALUE;
  }
  return InheritedFile(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
}

std::string ReadAll(HANDLE file) {
  std::string content;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char piece[4096];
  DWORD got = 0;
  while (ReadFile(file, piece, sizeof(piece), &got, nullptr) && got > 0) content.append(piece, got);
  return content;
}

// One argument quoted so that CommandLineToArgvW reads it back unchanged.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input) {
  ProcessResult result;
  Handle out{OutputFile()};
  Handle err{OutputFile()};
  const std::wstring in_path = input.empty() ? L"NUL" : jx::os::ToWide(input);
  Handle in{InheritedFile(in_path.c_str(), GENERIC_READ, OPEN_EXISTING, 0)};
  if (out.value == INVALID_HANDLE_VALUE || err.value == INVALID_HANDLE_VALUE) return result;

  std::wstring wide_program = jx::os::ToWide(program);
  for (wchar_t& c : wide_program) {
    if (c == L'/') c = L'\\';
  }
  std::wstring command_line = Quoted(wide_program);
  for (const std::string& argument : arguments) {
    command_line += L" " + Quoted(jx::os::ToWide(argument));
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.value;
  startup.hStdOutput = out.value;
  startup.hStdError = err.value;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(wide_program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
    return result;
  }
  Handle process_handle{process.hProcess};
  Handle thread_handle{process.hThread};
  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(process.hProcess, &code)) {
    result.exit_code = static_cast<int>(code);
  }
  result.out = ReadAll(out.value);
  result.err = ReadAll(err.value);
  return result;
}

}  // namespace jx::test
