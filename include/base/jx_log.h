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
// Nothing is kept before the log has been set up with jx_log_init: until
// then every record is refused. Once set up, one background thread,
// "jx_log_thread", appends the queued lines to the log file
// "trace.<module>.blog" in the log folder, flushing each line. When the file
// reaches 20 MiB (20971520 bytes) it is copied into "blog_backup/" in the log
// folder as "trace.<module>.blog.<YYYY_MM_DD_hh_mm_ss>" (local time), then
// deleted and started afresh. Backups pile up until the backup folder holds
// more than the backup count, and then it is emptied before the next one. A
// backup is written under a temporary name ("<name>.partial"), put on the
// disk and then renamed, so a crash never leaves part of a log under a
// backup's name and a restart never deletes a log whose backup is not whole.
// The log file is opened only when it is a plain file that is not itself a
// link (on Windows, a reparse point), and a backup folder that is a link gets
// no backups: a process running with more rights than the owner of the log
// folder cannot be made to write into another file. A line longer than 20 MiB
// is cut to that length, and a warning line follows it. The
// writer pauses 102 ms after every 102 ms of writing. The file is opened in
// the C runtime's text mode ("a+"), so on Windows each line ends in "\r\n" on
// disk; the size counted towards the 20 MiB is that of the lines as built.
// There is no shutdown or flush call: lines still queued when the process
// ends are lost.
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

// jx_log_init
//
// Sets up the process-wide log and starts its writer thread; only the first
// call in the life of the process has an effect. `folder` is the log folder,
// ending in "/" (null or "" for "log/" in the application root, see
// jx_get_app_config); `module` names the log file (null or "" for "app");
// `default_level` is the minimum level (0 or less for JX_LOG_INFO).
//
// The configuration file (see jx_get_app_config) is read once, here. In its
// unnamed section, before any "[section]" line, "log.level" overrides
// `default_level` and "log.count_backup_files" sets the backup count
// (default 5), each only when its value reads as an integer above 0; "true"
// reads as 1, "false" and text that is not a number as 0. A missing or
// unreadable file leaves the defaults. Set the application configuration
// first.
//
// Always returns true. Meant to be called once, early, before other threads
// log; racing first calls still make exactly one log.
JX_API bool jx_log_init(const char* folder, const char* module, int default_level);

// jx_log_mod
//
// The module name of the log: the one given to jx_log_init, or "app" when it
// was empty or the log is not set up. A new NUL-terminated text owned by the
// caller; release it with jx_free. Null only when memory runs out. Safe from
// any thread.
JX_API char* jx_log_mod(void);

// jx_log_path
//
// The log folder: the one given to jx_log_init, else the application root
// followed by "log/", worked out at the call (also before the log is set
// up). A new NUL-terminated text owned by the caller; release it with
// jx_free. Null only when memory runs out. Safe from any thread.
JX_API char* jx_log_path(void);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_LOG_H_
