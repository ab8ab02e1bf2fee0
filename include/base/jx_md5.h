// MD5 message digests (RFC 1321) as lower-case hexadecimal text.
#ifndef JX_BASE_JX_MD5_H_
#define JX_BASE_JX_MD5_H_

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

// jx_md5_string
//
// Digests the `length` bytes at `data` (which may be null only when `length`
// is 0) and hands out the 32 lower-case hex characters of the digest in a new
// buffer through `*out`, with no terminating NUL, and 32 through `*out_length`.
// Returns 32. The buffer comes from jx_trace_malloc with retry, so the call
// cannot fail; release it with jx_free. Returns 0 and writes nothing when
// `out` or `out_length` is null, or `data` is null with a non-zero length.
// Safe from any thread.
JX_API uint32_t jx_md5_string(const void* data, uint32_t length, char** out,
                              uint32_t* out_length);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_MD5_H_
