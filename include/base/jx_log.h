// Logging: every part of the toolkit and its hosts reports through one call,
// jx_log_write_log, which turns a record into one finished text line on the
// calling thread and queues it in memory for the log's writer thread. Callers
// never touch a file and never wait for the disk.
//
// A line reads, with its final line feed:
//   [2024-03-05 14:07:09:042][P812 T96][E:0400][parser.cpp(53)Parse][jx] md5 error
// that is the local time with milliseconds, the process and thread ids, the
// level's letter and its value in (at least four) upper-case hex digits, the
// location, the module and the message.
//
// Calling convention: compare the level with jx_log_min_level() first and
// skip all formatting below it; build the location with "%s(%d)%s" from the
// base name of the source file, the line and the bare function name
// (jx_file_base_name and jx_func_base_name of jx_string.h); module "jx" for
// the toolkit's own records.
//
// Nothing is kept before the log has been set up: until then every record is
// refused.
#ifndef JX_BASE_JX_LOG_H_
#define JX_BASE_JX_LOG_H_

#include "base/jx_api.h"

// Levels. Any int is accepted; its letter in the line is chosen by range:
// up to 1 V, up to 256 D, up to 512 I, up to 768 W, up to 1024 E, up to
// 1280 F, above that "?". So 300 is written I:012C and 1281 ?:0501.
#define JX_LOG_VERBOSE 1
#define JX_LOG_DEBUG 256
#define JX_LOG_INFO 512
#define JX_LOG_WARN 768
#define JX_LOG_ERROR 1024
#define JX_LOG_FATAL 1280

JX_EXTERN_C_BEGIN

// jx_log_write_log
//
// Records `message` from `module` at `level`, made at `location`. A null text
// counts as "". Returns false, keeping nothing, when the log has not been set
// up (or, rarely, when memory for the line runs out); returns true both when
// the level is below the minimum level and the record is dropped, and when
// its line was queued.
//
// The queue has no hard limit but guards itself: while more than 1024 lines
// wait, each new line is preceded by a warning line of module "plog"; once
// more than 2048 wait, the whole backlog is discarded and replaced by one
// error line of module "plog", and logging goes on.
//
// Safe from any thread. Lines of one thread keep their order. The caller pays
// for formatting and one short critical section, never for file work.
JX_API bool jx_log_write_log(const char* module, int level, const char* location,
                             const char* message);

// jx_log_min_level
//
// The minimum level a record needs to be kept; JX_LOG_INFO (512) while the log
// has not been set up. It never changes once the log is set up. Lock-free and
// safe from any thread.
JX_API int jx_log_min_level(void);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_LOG_H_
