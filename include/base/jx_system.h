// Process, thread and operating-system information, launching and ending
// processes, and the toolkit's copy of the command line.
//
// Text results. A getter that succeeds stores in `*text` a new buffer from
// jx_trace_malloc holding exactly `*length` bytes of UTF-8, with no
// terminating NUL; the caller owns it and releases it with jx_free. A getter
// returns false and leaves both outputs untouched when the text would be
// empty, and also when `text` or `length` is null.
//
// Paths. Every path returned is normalised (see fix_file_path in
// jx_string.h): "/" separators, "." and ".." resolved. Folder paths of the
// user end in "/"; the working folder and the program path do not.
//
// Caches. The three user folders, the kernel version and the program path are
// computed on first use and kept for the life of the process; concurrent
// first callers compute them once. Environment changes made later are not
// seen.
//
// Process ids are those of jx_get_current_process_id. Ids of 0 or less, and
// ids beyond the platform's range, name no process.
//
// Argument arrays are read, never kept or changed; C code passing main's
// `char** argv` casts it to `const char* const*`.
//
// All calls are safe from any thread. A null text argument counts as "".
// Nothing is logged.
#ifndef JX_BASE_JX_SYSTEM_H_
#define JX_BASE_JX_SYSTEM_H_

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

// jx_get_current_thread_name
//
// The name of the calling thread (set with jx_set_current_thread_name in
// jx_thread.h). Windows: the thread description, false where the system has
// none (GetThreadDescription missing) or the thread has no description.
// Linux: the kernel's name of the thread, at most 15 bytes; a thread never
// named reports the name it inherited from its creator (at first the
// program's name).
JX_API bool jx_get_current_thread_name(char** text, uint32_t* length);

// jx_get_current_work_path
//
// The process's current working folder, without a trailing "/" (except for a
// root such as "/"). Windows: false when it is longer than 260 UTF-16 units.
JX_API bool jx_get_current_work_path(char** text, uint32_t* length);

// jx_set_current_work_path
//
// Makes `path` the process's working folder, for every thread. Failures (a
// missing folder, "") are ignored; read the folder back to check.
JX_API void jx_set_current_work_path(const char* path);

// jx_get_os_user_root_path
//
// The user's profile folder, ending in "/". Windows: the shell's profile
// folder. Linux: $HOME when set and not empty, else the home folder of the
// user's password entry.
JX_API bool jx_get_os_user_root_path(char** text, uint32_t* length);

// jx_get_os_user_local_path
//
// The user's local (non-roaming) application-data folder, ending in "/".
// Windows: the shell's local application-data folder. Linux: $XDG_DATA_HOME
// when it holds an absolute path, else ".local/share/" in the profile folder.
JX_API bool jx_get_os_user_local_path(char** text, uint32_t* length);

// jx_get_os_user_cache_path
//
// The user's roaming application-data folder, ending in "/"; the default home
// of the application configuration. Windows: the shell's roaming
// application-data folder. Linux: $XDG_CONFIG_HOME when it holds an absolute
// path, else ".config/" in the profile folder.
JX_API bool jx_get_os_user_cache_path(char** text, uint32_t* length);

// jx_get_path_file_current_exe
//
// The full path of the running program's executable file (Windows: the
// module file name, at most 260 UTF-16 units; Linux: /proc/self/exe). When
// that path names no existing file (the program was moved or deleted), the
// call falls back, from then on, to argument 0 of the command line
// (jx_command_line_at), and returns false when that names no file either.
JX_API bool jx_get_path_file_current_exe(char** text, uint32_t* length);

// jx_get_os_kernel_version
//
// The kernel version as "major.minor.build", for example "10.0.19041".
// Windows: the file version of kernel32.dll. Linux: the first three numbers
// of the kernel release (uname), a missing third number read as 0. False
// when the version cannot be read.
JX_API bool jx_get_os_kernel_version(char** text, uint32_t* length);

// jx_get_os_global_memory
//
// Total and available physical memory in MiB, stored through the outputs
// that are not null. Returns false, with the non-null outputs set to 0, when
// the system cannot be queried (it is asked twice). Linux: MemTotal and
// MemAvailable of /proc/meminfo.
JX_API bool jx_get_os_global_memory(int64_t* total_mb, int64_t* available_mb);

// jx_get_process_memory
//
// The committed private memory of process `pid` in MiB, stored through
// `memory_mb` when not null. Returns false, with the output set to 0, when
// the process does not exist, has ended or cannot be read. Windows: the
// page-file usage of the process memory counters. Linux: VmData plus VmStk of
// /proc/PID/status (private writable mappings and the stack).
JX_API bool jx_get_process_memory(int64_t pid, int64_t* memory_mb);

// jx_process_is_alive
//
// True while process `pid` exists and has not ended. A process that has
// ended but whose id is still held (a zombie on Linux, an open handle on
// Windows) is not alive; a process that exists but denies access to it is
// alive.
JX_API bool jx_process_is_alive(int64_t pid);

// jx_process_launch
//
// Starts the program `args[0]` with the `count` arguments `args` (argument 0
// included; a null text counts as "") and returns the child's id at once,
// without waiting. Returns -1 when `count` is 0 or less, `args` is null, or
// the program cannot be started. A program given without a folder is looked
// for the way the platform's shell would (PATH on Linux). The child gets the
// caller's environment and working folder.
// Windows: the command line is every argument in double quotes, separated by
// one blank, with no escaping, so an argument must neither contain '"' nor
// end in ""; the child inherits no handles. Linux: every argument arrives
// exactly as given; the child starts with default signal handling, no
// blocked signals and only descriptors 0, 1 and 2 open. The library reaps the
// child when it ends (one small waiting thread per child), so do not wait for
// it yourself; once it is reaped its id may be reused.
JX_API int64_t jx_process_launch(int count, const char* const* args);

// jx_process_terminate
//
// Ends process `pid` at once and waits up to 2000 ms for it to be gone.
// Returns -1 when the process does not exist or may not be ended, else 0
// (also when the wait times out). Windows: the process ends with
// `exit_code`, 259 (STILL_ACTIVE) being replaced by 260. Linux: the exit code
// cannot be chosen; the process is killed with SIGKILL.
JX_API int jx_process_terminate(int64_t pid, int exit_code);

// jx_process_terminate_self
//
// Ends the calling process at once with `exit_code`, without running exit
// handlers or flushing streams. Returns false only when that failed. Linux:
// the parent sees the low 8 bits of `exit_code`.
JX_API bool jx_process_terminate_self(int exit_code);

// jx_command_line_args_count
//
// The number of stored command-line arguments. The store is filled from the
// process's command line on first use of any jx_command_line_ call (Windows:
// CommandLineToArgvW of GetCommandLineW; Linux: /proc/self/cmdline) and
// replaced by jx_command_line_reset.
JX_API int jx_command_line_args_count(void);

// jx_command_line_at
//
// Stored argument `index` as a text result (see the top of this header).
// False for an index outside [0, count) and for an empty argument. When the
// store is empty, index 0 gives the path of the program's executable file
// instead.
JX_API bool jx_command_line_at(int index, char** text, uint32_t* length);

// jx_command_line_reset
//
// Replaces the stored arguments by copies of the `count` texts of `args`; a
// null text is stored as "". A count of 0 or less, or a null `args`, leaves
// the store empty. Readers see the list either before or after the reset.
JX_API void jx_command_line_reset(int count, const char* const* args);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_SYSTEM_H_
