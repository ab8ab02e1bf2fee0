// The product's version check.
//
// mird_check finds the install root and the newest complete version folder
// under it, re-digests every file listed in that folder's MD5 manifest
// "verify.md5.check" and reports the outcome to the caller's callback.
#ifndef MIRD_CHECK_H_
#define MIRD_CHECK_H_

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

// Result codes.
#define QZ_CHECK_OK 0                 // no listed file failed
#define QZ_CHECK_FILES_MISMATCH 1001  // at least one listed file is missing or changed

// Receives the outcome: `user` as given to mird_check; `code` one of the codes
// above; `text1` and `text2` always ""; `report` "" for QZ_CHECK_OK, else the
// compact JSON {"fileLists":[...]} with the relative paths of the failed files
// as written in the manifest, in manifest order. The three texts are never
// null, belong to the check and are valid only during the call.
typedef void (*mird_check_callback)(void* user, int code, const char* text1, const char* text2,
                                    const char* report);

// mird_check
//
// Runs the whole check on the calling thread and calls `cb` (when not null)
// exactly once, on this thread, before returning. Every failure inside ends in
// one of the two codes; nothing else is reported and no exception escapes.
// The check's log lines reach the log only when the host called jx_log_init.
// Safe to call from several threads at once.
JX_API void mird_check(void* user, mird_check_callback cb);

JX_EXTERN_C_END

#endif  // MIRD_CHECK_H_
