// Windows implementation of the thread-identity calls.
#include <windows.h>

#include <string>

#include "platform/jx_os.h"
#include "platform/win/win_error.h"
#include "platform/win/win_text.h"
#include "platform/win/win_thread.h"

namespace jx::os {

namespace {

SetThreadDescriptionFn LookUpSetThreadDescription() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<SetThreadDescriptionFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")));
}

// The record a debugger reads from the naming exception.
#pragma pack(push, 8)
struct ThreadNameInfo {
  DWORD type;       // 0x1000
  LPCSTR name;      // narrow name
  DWORD thread_id;  // current thread
  DWORD flags;      // 0
};
#pragma pack(pop)

constexpr DWORD kNameThreadException = 0x406D1388;

// A debugger sees the exception first; this handler then lets execution
// continue, so the process survives without one.
LONG CALLBACK ContinueAfterNaming(EXCEPTION_POINTERS* info) {
  return info->ExceptionRecord->ExceptionCode == kNameThreadException ? EXCEPTION_CONTINUE_EXECUTION
                                                                      : EXCEPTION_CONTINUE_SEARCH;
}

bool NameForDebugger(const char* name) {
  ThreadNameInfo info{0x1000, name, GetCurrentThreadId(), 0};
  PVOID handler = AddVectoredExceptionHandler(1, ContinueAfterNaming);
  if (handler == nullptr) return true;
  RaiseException(kNameThreadException, 0, sizeof(info) / sizeof(ULONG_PTR),
                 reinterpret_cast<const ULONG_PTR*>(&info));
  RemoveVectoredExceptionHandler(handler);
  return true;
}

}  // namespace

int64_t ProcessId() { return static_cast<int64_t>(GetCurrentProcessId()); }

int64_t ThreadId() { return static_cast<int64_t>(GetCurrentThreadId()); }

bool SetThreadName(const char* name) {
  static const SetThreadDescriptionFn set_description = LookUpSetThreadDescription();
  return NameThread(set_description, name);
}

bool NameThread(SetThreadDescriptionFn set_description, const char* name) {
  if (set_description == nullptr) return NameForDebugger(name);
  const HRESULT result = set_description(GetCurrentThread(), ToWide(name).c_str());
  if (SUCCEEDED(result)) return true;
  return Fail(HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result)
                                                         : static_cast<DWORD>(result));
}

void SleepMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

void KeepLibraryLoaded() {
  // Pinning takes effect once; later calls cost one lookup.
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&KeepLibraryLoaded), &module);
}

}  // namespace jx::os
