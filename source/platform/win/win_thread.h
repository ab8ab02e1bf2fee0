// Windows thread naming, apart so that a test can choose the way the system
// would: SetThreadDescription where it exists (Windows 10 1607 on), else the
// exception a debugger reads the name from.
#ifndef JX_PLATFORM_WIN_WIN_THREAD_H_
#define JX_PLATFORM_WIN_WIN_THREAD_H_

#include <windows.h>

namespace jx::os {

using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);

// Names the calling thread through `set_description`, or through the
// debugger's exception when it is null; the process survives that exception
// without a debugger.
bool NameThread(SetThreadDescriptionFn set_description, const char* name);

}  // namespace jx::os

#endif  // JX_PLATFORM_WIN_WIN_THREAD_H_
