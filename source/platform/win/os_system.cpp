// Windows implementation of the system and process calls.
#include <windows.h>

#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/jx_os.h"
#include "platform/win/win_error.h"
#include "platform/win/win_text.h"

namespace jx::os {

namespace {

struct HandleCloser {
  // Closed after a failure too, which must keep its error.
  void operator()(HANDLE handle) const {
    KeepingError([&] { CloseHandle(handle); });
  }
};
using ScopedHandle = std::unique_ptr<void, HandleCloser>;

struct LocalFreer {
  void operator()(void* block) const { LocalFree(block); }
};

ScopedHandle OpenProcessById(DWORD access, int64_t pid) {
  return ScopedHandle(OpenProcess(access, FALSE, static_cast<DWORD>(pid)));
}

using GetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);

// Looked up at run time: systems before Windows 10 1607 lack it.
GetThreadDescriptionFn LookUpGetThreadDescription() {
  HMODULE kernel = GetModuleHandleW(L"Kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<GetThreadDescriptionFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetThreadDescription")));
}

int FolderId(UserFolder folder) {
  switch (folder) {
    case UserFolder::kProfile:
      return CSIDL_PROFILE;  // 0x28
    case UserFolder::kLocalData:
      return CSIDL_LOCAL_APPDATA;  // 0x1C
    case UserFolder::kRoamingData:
      return CSIDL_APPDATA;  // 0x1A
  }
  return CSIDL_PROFILE;
}

// Each argument in double quotes, one blank between them. Quotes inside an
// argument are not escaped.
std::wstring QuotedCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) line += ' ';
    line += '"';
    line += args[i];
    line += '"';
  }
  return ToWide(line);
}

}  // namespace

std::string CurrentThreadName() {
  static const GetThreadDescriptionFn get_description = LookUpGetThreadDescription();
  if (get_description == nullptr) return "";
  PWSTR raw = nullptr;
  if (FAILED(get_description(GetCurrentThread(), &raw))) return "";
  const std::unique_ptr<wchar_t, LocalFreer> description(raw);
  return description != nullptr ? FromWide(description.get()) : "";
}

std::string WorkingDirectory() {
  return FromWide(ReadGrowing(
      [](wchar_t* buffer, DWORD units) { return GetCurrentDirectoryW(units, buffer); }));
}

void ChangeWorkingDirectory(const std::string& path) { SetCurrentDirectoryW(ToWide(path).c_str()); }

std::string UserFolderPath(UserFolder folder) {
  wchar_t buffer[MAX_PATH] = {};  // the call writes at most MAX_PATH units
  // Some failures still leave a usable path in the buffer: the text decides.
  SHGetFolderPathW(nullptr, FolderId(folder), nullptr, 0, buffer);
  return FromWide(buffer);
}

std::string ExecutablePath() {
  const std::wstring module = ReadGrowing(
      [](wchar_t* buffer, DWORD units) { return GetModuleFileNameW(nullptr, buffer, units); });
  if (module.empty()) return "";
  return FromWide(ReadGrowing([&](wchar_t* buffer, DWORD units) {
    return GetFullPathNameW(module.c_str(), units, buffer, nullptr);
  }));
}

std::vector<std::string> CommandLineArguments() {
  int count = 0;
  const std::unique_ptr<LPWSTR, LocalFreer> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> args;
  if (argv == nullptr) return args;
  for (int i = 0; i < count; ++i) args.push_back(FromWide(argv.get()[i]));
  return args;
}

bool ReadKernelVersion(KernelVersion* version) {
  const wchar_t* kKernel = L"kernel32.dll";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(kKernel, &ignored);
  if (size == 0) return false;
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(kKernel, 0, size, data.data())) return false;
  void* translation = nullptr;
  UINT translation_size = 0;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &translation,
                      &translation_size) ||
      translation_size == 0) {
    return Fail(ERROR_INVALID_DATA);
  }
  void* fixed_block = nullptr;
  UINT fixed_size = 0;
  if (!VerQueryValueW(data.data(), L"\\", &fixed_block, &fixed_size) ||
      fixed_size < sizeof(VS_FIXEDFILEINFO)) {
    return Fail(ERROR_INVALID_DATA);
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(fixed_block);
  version->major = HIWORD(fixed->dwFileVersionMS);
  version->minor = LOWORD(fixed->dwFileVersionMS);
  version->build = HIWORD(fixed->dwFileVersionLS);
  return true;
}

bool ReadGlobalMemory(MemoryStatus* status) {
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof(memory);
  if (!GlobalMemoryStatusEx(&memory)) return false;
  status->total_bytes = memory.ullTotalPhys;
  status->available_bytes = memory.ullAvailPhys;
  return true;
}

bool ReadProcessCommittedMemory(int64_t pid, uint64_t* bytes) {
  const ScopedHandle process =
      OpenProcessById(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, pid);  // 0x410
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (process == nullptr || !K32GetProcessMemoryInfo(process.get(), &counters, sizeof(counters))) {
    return false;
  }
  *bytes = counters.PagefileUsage;
  return true;
}

bool ProcessAlive(int64_t pid) {
  const ScopedHandle process = OpenProcessById(PROCESS_QUERY_INFORMATION, pid);
  // Only "invalid parameter" means no such process; other refusals come from
  // processes that exist but deny access.
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  return GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE;
}

bool LaunchProcess(const std::vector<std::string>& args, int64_t* pid) {
  std::wstring command_line = QuotedCommandLine(args);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &created)) {
    return false;
  }
  CloseHandle(created.hThread);
  CloseHandle(created.hProcess);
  *pid = static_cast<int64_t>(created.dwProcessId);
  return true;
}

bool EndProcess(int64_t pid, int exit_code) {
  const ScopedHandle process = OpenProcessById(PROCESS_ALL_ACCESS, pid);
  if (process == nullptr) return false;
  // 259 would read as "still active" to anyone asking for the exit code.
  const UINT code = exit_code == STILL_ACTIVE ? STILL_ACTIVE + 1 : static_cast<UINT>(exit_code);
  if (::TerminateProcess(process.get(), code)) {
    WaitForSingleObject(process.get(), kEndWaitMilliseconds);
  }
  return true;
}

void EndSelf(int exit_code) {
  ::TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exit_code));
}

}  // namespace jx::os
