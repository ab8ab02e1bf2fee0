// Debug output for a host process, and switching its standard output and
// error streams to a file and back.
#ifndef JX_BASE_JX_DEBUG_H_
#define JX_BASE_JX_DEBUG_H_

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

// jx_debug_output
//
// Writes `text` and a line feed to the standard output stream, as it is (the
// text is not a format; null counts as ""), and flushes it. Windows: the same
// line also goes to an attached debugger (OutputDebugStringW). Safe from any
// thread; lines of concurrent callers may interleave.
JX_API void jx_debug_output(const char* text);

// jx_trace_printf
//
// Does nothing, whatever the arguments; kept for callers built against it.
JX_API void jx_trace_printf(const char* format, ...);

// jx_std_console_print_redirect
//
// Sends everything later printed to the standard output and error streams to
// the end of the file at `path` (created when missing). True only when both
// streams were switched; false for a path that is null or normalises to "".
// Windows: each stream is reopened on the file, and a stream whose reopening
// fails is left closed. Linux: the descriptors behind the streams are
// pointed at the file; the first redirection saves the ones they had.
JX_API bool jx_std_console_print_redirect(const char* path);

// jx_std_console_print_resume
//
// Sends the standard output and error streams back to the console. True only
// when both were switched. Windows: both streams are reopened on the console
// device "CON" (false in a process without a console). Linux: the
// descriptors saved by the first redirection are put back (true, doing
// nothing, when no redirection is in force). Redirection and resumption are
// safe from any thread, but output printed meanwhile by other threads may
// land on either side.
JX_API bool jx_std_console_print_resume(void);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_DEBUG_H_
