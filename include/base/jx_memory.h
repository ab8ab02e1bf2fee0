// Memory: the one allocation family for every buffer the toolkit hands to a
// caller, and bump-allocation pools released as a whole.
//
// Any buffer returned by a jx_ call is released with jx_free. Blocks come
// zero-filled. With the retry flag set an allocation retries until the heap
// yields memory and never returns null for a positive size; with it clear a
// heap failure returns null. All calls are safe from any thread.
#ifndef JX_BASE_JX_MEMORY_H_
#define JX_BASE_JX_MEMORY_H_

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

typedef struct jx_mem_pool_s* jx_mem_pool_t;

// jx_trace_malloc
//
// A zero-filled block of `size` bytes, recorded with the requesting source
// file and line. Returns null when `size` is 0 or less, or when the heap fails
// and `retry` is false. The caller owns the block; release it with jx_free.
JX_API void* jx_trace_malloc(const char* file, int line, int size, bool retry);

// jx_trace_realloc
//
// Resizes `block` (which may be null) to `size` bytes; the grown part is not
// zero-filled. A size of 0 or less releases `block` and returns null. Returns
// null, leaving `block` untouched, when the heap fails and `retry` is false.
JX_API void* jx_trace_realloc(const char* file, int line, void* block, int size, bool retry);

// As jx_trace_malloc and jx_trace_realloc, recorded with this module's own
// file and line.
JX_API void* jx_malloc(int size, bool retry);
JX_API void* jx_realloc(void* block, int size, bool retry);

// Releases a block from any jx_ allocation. A null pointer does nothing.
JX_API void jx_free(void* block);

// jx_mem_pool_create
//
// Creates a pool that hands out pieces of blocks of `block_size` bytes (raised
// to 1024 when smaller). Never returns null. Release it, with everything it
// handed out, by jx_mem_pool_destory.
JX_API jx_mem_pool_t jx_mem_pool_create(int block_size);

// jx_mem_pool_malloc
//
// `size` zero-filled bytes from the pool, unaligned, valid until the pool is
// destroyed. A request of at least the block size gets a block of its own.
// Returns null when the pool is null or destroyed, or `size` is 0 or less.
// Several threads may share one pool.
JX_API void* jx_mem_pool_malloc(jx_mem_pool_t pool, int size);

// jx_mem_pool_destory
//
// Releases the pool and all memory it handed out. A null or destroyed pool is
// ignored. No other thread may still be allocating from the pool. ("destory"
// is the spelling products link against, here and in jx_lock.h.)
JX_API void jx_mem_pool_destory(jx_mem_pool_t pool);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_MEMORY_H_
