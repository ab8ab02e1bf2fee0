// Thread identity and pauses: who is running, naming the current thread, and
// giving up the processor. Reading a thread's name back is
// jx_get_current_thread_name in jx_system.h.
//
// All calls are safe from any thread. A null text counts as "".
#ifndef JX_BASE_JX_THREAD_H_
#define JX_BASE_JX_THREAD_H_

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

// Id of the current process, read once and cached.
JX_API int64_t jx_get_current_process_id(void);

// Id of the calling thread: GetCurrentThreadId on Windows, the kernel thread
// id (gettid) on Linux. Unique among live threads of the system.
JX_API int64_t jx_get_current_thread_id(void);

// jx_set_current_thread_name
//
// Names the calling thread. Returns true when the platform accepted the name.
// Windows: SetThreadDescription when kernel32.dll has it, else the debugger
// naming exception (always true). Linux: the kernel keeps 15 bytes, so a
// longer name is cut at a UTF-8 character boundary, never refused.
JX_API bool jx_set_current_thread_name(const char* name);

// Sleeps `milliseconds`; a value of 0 or less yields the processor instead.
JX_API void jx_this_thread_sleep(int milliseconds);

// Gives up the rest of the calling thread's time slice.
JX_API void jx_this_thread_yield(void);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_THREAD_H_
