// Folders on UTF-8 paths: test, create, remove, list, copy and rename them,
// and move or copy single files into folders made on the way.
//
// Paths are prepared as in jx_file.h: normalised (see fix_file_path; "\"
// becomes "/", "." and ".." segments are resolved), then UTF-16 on Windows;
// a null path counts as "". A path that normalises to "" fails without
// touching the file system unless a call says otherwise. Windows: absolute
// paths longer than the classic 260-character limit work too.
//
// Links. The recursive calls never pass through a symbolic link, junction or
// other reparse point into the folder it points to: such a link is listed as
// a folder entry (ending in "/") but not entered, a recursive removal removes
// the link itself and nothing it points to, and a copy skips it. So link
// cycles cannot make a walk endless. A folder named by the caller is used
// even when it is a link, except by jx_folder_recursive_remove.
//
// Nothing is logged; results are the only report, and partial work stays in
// place. No call takes a lock: each works on the caller's thread, and a
// listing is a snapshot that may or may not show entries made or removed
// meanwhile. All calls may be made from any thread.
#ifndef JX_BASE_JX_FOLDER_H_
#define JX_BASE_JX_FOLDER_H_

#include "base/jx_api.h"
#include "base/jx_memory.h"

JX_EXTERN_C_BEGIN

// The result of jx_folder_enumerate_all: `count` entry texts at `entries`,
// all allocated from the caller's pool. On 32-bit Windows the record is one
// 64-bit value, the array pointer in its low half and the count in its high
// half.
typedef struct jx_folder_listing {
  char** entries;
  uint32_t count;
} jx_folder_listing;

// jx_folder_exist
//
// True when `path` names an existing folder (or a link to one).
JX_API bool jx_folder_exist(const char* path);

// jx_folder_create
//
// Creates one folder. False when it exists already, its parent is missing, or
// the path normalises to "".
JX_API bool jx_folder_create(const char* path);

// jx_folder_remove
//
// True when no folder is at `path` afterwards: a path that is not an existing
// folder succeeds without any action; a folder must be empty to be removed; a
// link to a folder is removed itself. False when the path normalises to "".
JX_API bool jx_folder_remove(const char* path);

// jx_folder_recursive_create
//
// Creates every missing folder along `path`. True when all of them exist at
// the end (also when they existed before, or the path normalises to ""). A
// failure part-way leaves the folders made so far.
JX_API bool jx_folder_recursive_create(const char* path);

// jx_folder_recursive_remove
//
// Removes the folder at `path` with everything below it, contents before
// their folder. Stops at the first entry that cannot be removed and returns
// false, leaving the rest. A path that is not an existing folder succeeds
// without any action; one that is a link to a folder loses the link only.
// False when the path normalises to "" or names a root folder ("/", "C:/").
JX_API bool jx_folder_recursive_remove(const char* path);

// jx_folder_enumerate_all
//
// Lists the entries below `folder`, `depth` levels deep: 1 lists the folder's
// own entries, a negative depth every level, 0 nothing. Each entry is the
// folder part followed by the names down to the entry. The folder part is
// `folder` normalised once, with a last "." or ".." resolved too ("." gives
// "", so entries read "a.txt", "sub/b.txt"); the names are appended as they
// stand (converted to UTF-8 on Windows), never normalised. Folder entries end
// with "/" and come after their contents; otherwise entries keep the order
// the system yields them in. Hidden and system entries are listed too;
// sub-folders that cannot be read are listed without contents.
//
// The array and every text (NUL-terminated) are allocated from `pool`;
// nothing is released one by one, jx_mem_pool_destory releases them all. An
// empty listing, a missing folder, an unreadable folder, a null or destroyed
// pool: {null, 0}. Linux: names are the file system's bytes, which need not
// be UTF-8 and may hold "\" (other calls read "\" in a path as a separator).
JX_API jx_folder_listing jx_folder_enumerate_all(int depth, const char* folder, jx_mem_pool_t pool);

// jx_folder_recursive_copy
//
// Copies the folders and regular files below `source` into `dest`, making
// folders on the way, empty ones included. An empty `source` or `dest` means
// the current folder. Targets that exist already are left as they are. The
// whole listing is taken first, so a `dest` inside `source` is not copied
// again. Links to folders, FIFOs, devices and sockets are skipped (and never
// opened); a link to a regular file is copied as the file's content; a link
// met inside `dest` is not passed through. True when every needed folder
// exists and every copied file was written; an empty source file counts as
// not written. False at once when `source` is not a folder; after any other
// failure the copy goes on with the remaining entries.
JX_API bool jx_folder_recursive_copy(const char* source, const char* dest);

// jx_folder_rename
//
// Moves the folder `source` to `dest`, making the folders above `dest` when
// they are missing. False when `source` is not a folder or `dest` exists
// already (never merges), or the move fails. Moves across volumes fail.
JX_API bool jx_folder_rename(const char* source, const char* dest);

// jx_file_rename
//
// Moves the file `source` to `dest`, making the folders above `dest` when
// they are missing. False when `source` is not a file, `dest` normalises to ""
// or ends with "/", an entry already exists at `dest` (never replaces), or
// the move fails. Linux: moves across file systems fail.
JX_API bool jx_file_rename(const char* source, const char* dest);

// jx_file_copy
//
// Copies the content of the file `source` to a new file `dest`, making the
// folders above `dest` when they are missing. Same refusals as
// jx_file_rename; an existing `dest` is left unchanged. True when more than 0
// bytes were copied. A source that is empty, unreadable, or not a regular
// file (FIFO, device) is never read from and leaves an empty `dest`: false.
JX_API bool jx_file_copy(const char* source, const char* dest);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_FOLDER_H_
