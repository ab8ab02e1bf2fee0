// Files on UTF-8 paths: buffered stream handles, calls that test, remove and
// describe single files, and whole-file reads and writes in one call. Moving
// and copying files is in jx_folder.h.
//
// Every path is normalised first (see fix_file_path in jx_string.h; "\"
// becomes "/", "." and ".." segments are resolved); a path that normalises to
// "" fails without touching the file system. On Windows the path is then
// converted to UTF-16; on Linux its bytes are used as they are.
//
// Stream calls take the address of the caller's jx_file_t variable. Nothing is
// logged; failures are reported by results only. A handle is used by one
// thread at a time; files are opened shared (deny-none on Windows), so other
// handles and processes may read and write them meanwhile.
#ifndef JX_BASE_JX_FILE_H_
#define JX_BASE_JX_FILE_H_

#include <stdio.h>

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

typedef FILE* jx_file_t;

// What jx_file_get_info reports; all fields 0 when the path cannot be read.
// Times are whole seconds since 1970-01-01 00:00:00 UTC.
typedef struct jx_file_info {
  uint32_t size;  // low 32 bits of the size in bytes; 0 for a folder
  int64_t access_time;
  int64_t write_time;
  // Creation time. Linux: the birth time where the file system reports one,
  // else the last status change.
  int64_t create_time;
} jx_file_info;

// jx_file_open
//
// Opens the file at `path` with a C runtime `mode`: "r", "w" or "a",
// optionally followed by "+", "b" and "t". Returns null when the path or mode
// is null, empty or invalid, or the file cannot be opened. Close the handle
// with jx_file_close. On Linux opening never blocks on a FIFO.
JX_API jx_file_t jx_file_open(const char* path, const char* mode);

// jx_file_ropen
//
// Reopens the open `stream` on the file at `path` (for example to redirect
// stdout) and returns the resulting handle, or null on failure, in which case
// `stream` is closed. Same argument checks as jx_file_open.
JX_API jx_file_t jx_file_ropen(const char* path, const char* mode, jx_file_t stream);

// Reads up to `n` bytes into `buffer`. Returns the count read, which is short
// only at end of file; 0 for no stream, `n` of 0, or a read error.
JX_API uint32_t jx_file_read(jx_file_t* file, void* buffer, uint32_t n);

// Writes `n` bytes. Returns `n` when all were written, else 0; 0 for no
// stream, a null buffer or `n` below 1.
JX_API int jx_file_write(jx_file_t* file, const void* buffer, int n);

// Moves the position (`whence` 0 start, 1 current, 2 end). False for no
// stream, another `whence`, or a failed seek.
JX_API bool jx_file_seek(jx_file_t* file, long offset, int whence);

// The current position; 0 for no stream or when it cannot be read.
JX_API long jx_file_tell(jx_file_t* file);

// The size of the file in bytes, leaving the position unchanged; 0 for no
// stream or when it cannot be measured. Windows: sizes of 2 GiB and more do
// not fit `long`.
JX_API long jx_file_size(jx_file_t* file);

// True at end of file, or for no stream.
JX_API bool jx_file_eof(jx_file_t* file);

// True when the stream's error indicator is set, or for no stream.
JX_API bool jx_file_error(jx_file_t* file);

// Flushes buffered output. False for no stream or a failed flush.
JX_API bool jx_file_flush(jx_file_t* file);

// Closes the stream. False for no stream or a failed close. The caller's
// variable keeps its now invalid value.
JX_API bool jx_file_close(jx_file_t* file);

// The C runtime descriptor of the stream, or -1 for no stream.
JX_API int jx_file_no(jx_file_t* file);

// The C runtime's descriptor duplication: jx_file_dup returns a new
// descriptor or -1; jx_file_dup2 makes `fd2` a copy of `fd1` and returns 0,
// or -1 on failure.
JX_API int jx_file_dup(int fd);
JX_API int jx_file_dup2(int fd1, int fd2);

// True when `path` names an existing entry that is not a folder. A symbolic
// link counts as the entry it points to; a broken link counts as a file (as
// Windows reports links without following them).
JX_API bool jx_file_exist(const char* path);

// True when no file is at `path` afterwards: a path that is not an existing
// file (missing, or a folder) succeeds without any action. False when the
// path normalises to "" or the removal fails.
JX_API bool jx_file_remove(const char* path);

// Information about the file or folder at `path`; all zeros when it cannot
// be read.
JX_API jx_file_info jx_file_get_info(const char* path);

// Named files: one open, one read or write of `size` bytes, one close.
// Each returns -1 when the file at `path` cannot be opened.

// jx_name_file_read
//
// Reads up to `size` bytes from the start of the file into `buffer`. Returns
// the count read (short only at end of file), 0 after a read error or for a
// null buffer, -1 when the file cannot be opened or `size` is below 1.
JX_API int jx_name_file_read(const char* path, void* buffer, int size);

// jx_name_file_write
//
// Replaces the content of the file (created when missing) by `size` bytes of
// `buffer`. Returns `size` when all were written, else 0; a null buffer or a
// `size` below 1 writes nothing and returns 0, but the file is still created
// or emptied. -1 when the file cannot be opened.
JX_API int jx_name_file_write(const char* path, const void* buffer, int size);

// jx_name_file_append
//
// As jx_name_file_write, adding to the end of the file instead of replacing
// its content.
JX_API int jx_name_file_append(const char* path, const void* buffer, int size);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_FILE_H_
