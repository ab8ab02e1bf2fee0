// Tracked, zero-filled allocation and bump-allocation pools.
#include "base/jx_memory.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/jx_guard.h"
#include "base/jx_hand_out.h"
#include "base/jx_memory_tracker.h"
#include "base/jx_recycle.h"
#include "base/jx_scoped_lock.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

namespace {
constexpr char kThisFile[] = "source/base/jx_memory";
constexpr int kMinimumBlockSize = 1024;
}  // namespace

struct jx_mem_pool_s {
  std::atomic<jx_mem_pool_s*> mark{nullptr};
  int32_t used = 0;
  int32_t block_size = 0;
  char* block = nullptr;
  jx_lock_t lock = nullptr;
  std::vector<void*> retired;
};

namespace jx {

std::shared_ptr<MemoryTracker> MemoryTracker::Instance() {
  // Never destroyed: allocations may still be released during exit.
  static auto* instance = new std::shared_ptr<MemoryTracker>(new MemoryTracker());
  return *instance;
}

MemoryTracker::MemoryTracker() : lock_(jx_lock_create()) {}

MemoryTracker::~MemoryTracker() { jx_lock_destory(lock_); }

void MemoryTracker::Add(const TrackRecord&) {}

void MemoryTracker::Remove(void*) {}

void MemoryTracker::QueryLeaks(int64_t, std::vector<TrackRecord>* leaks) {
  ScopedLock hold(lock_);
  leaks->assign(records_.begin(), records_.end());
}

namespace {

// A zeroed buffer of `size` bytes holding `text`; null when `size` does not
// fit an int.
char* CopyOf(std::string_view text, size_t size, SourceTag tag) {
  if (size > static_cast<size_t>(INT_MAX)) return nullptr;
  auto* buffer =
      static_cast<char*>(jx_trace_malloc(tag.file, tag.line, static_cast<int>(size), true));
  if (buffer != nullptr && !text.empty()) std::memcpy(buffer, text.data(), text.size());
  return buffer;
}

}  // namespace

bool HandOut(std::string_view text, SourceTag tag, char** out, uint32_t* length) {
  if (text.empty() || out == nullptr || length == nullptr) return false;
  char* buffer = CopyOf(text, text.size(), tag);
  if (buffer == nullptr) return false;
  *out = buffer;
  *length = static_cast<uint32_t>(text.size());
  return true;
}

char* HandOutWithNul(std::string_view text, SourceTag tag) {
  return CopyOf(text, text.size() + 1, tag);
}

}  // namespace jx

namespace {

void Track(void* block, const char* file, int line) {
  if constexpr (jx::MemoryTracker::kRecording) {
    jx::MemoryTracker::Instance()->Add({block, file != nullptr ? file : "", line,
                                        jx_system_time_milliseconds(), jx_get_current_thread_id()});
  }
}

void Untrack(void* block) {
  if constexpr (jx::MemoryTracker::kRecording) jx::MemoryTracker::Instance()->Remove(block);
}

bool IsAlive(jx_mem_pool_t pool) { return pool != nullptr && pool->mark.load() == pool; }

char* NewBlock(int size) {
  return static_cast<char*>(jx_trace_malloc(kThisFile, __LINE__, size, true));
}

}  // namespace

extern "C" {

void* jx_trace_malloc(const char* file, int line, int size, bool retry) {
  if (size <= 0) return nullptr;
  void* block;
  while ((block = std::calloc(1, static_cast<size_t>(size))) == nullptr) {
    if (!retry) return nullptr;
    jx_this_thread_yield();
  }
  Track(block, file, line);
  return block;
}

void* jx_trace_realloc(const char* file, int line, void* block, int size, bool retry) {
  if (size <= 0) {
    jx_free(block);
    return nullptr;
  }
  Untrack(block);
  void* resized;
  while ((resized = std::realloc(block, static_cast<size_t>(size))) == nullptr) {
    if (!retry) {
      if (block != nullptr) Track(block, file, line);  // still the caller's
      return nullptr;
    }
    jx_this_thread_yield();
  }
  Track(resized, file, line);
  return resized;
}

void* jx_malloc(int size, bool retry) { return jx_trace_malloc(kThisFile, __LINE__, size, retry); }

void* jx_realloc(void* block, int size, bool retry) {
  return jx_trace_realloc(kThisFile, __LINE__, block, size, retry);
}

void jx_free(void* block) {
  if (block == nullptr) return;
  Untrack(block);
  std::free(block);
}

jx_mem_pool_t jx_mem_pool_create(int block_size) {
  jx_mem_pool_t pool = jx::Recycler<jx_mem_pool_s>::Acquire();
  pool->block_size = block_size < kMinimumBlockSize ? kMinimumBlockSize : block_size;
  pool->used = 0;
  pool->lock = jx_lock_create();
  pool->block = NewBlock(pool->block_size);
  pool->mark.store(pool);
  return pool;
}

void* jx_mem_pool_malloc(jx_mem_pool_t pool, int size) {
  if (!IsAlive(pool) || size <= 0) return nullptr;
  return jx::Guarded<void*>(nullptr, [&]() -> void* {
    jx::ScopedLock hold(pool->lock);
    if (static_cast<int64_t>(pool->used) + size <= pool->block_size) {
      char* piece = pool->block + pool->used;
      pool->used += size;
      return piece;
    }
    pool->retired.reserve(pool->retired.size() + 1);
    if (size < pool->block_size) {
      // The rest of the current block is never handed out.
      pool->retired.push_back(pool->block);
      pool->block = NewBlock(pool->block_size);
      pool->used = size;
      return pool->block;
    }
    char* own = NewBlock(size);
    pool->retired.push_back(own);
    return own;
  });
}

void jx_mem_pool_destory(jx_mem_pool_t pool) {
  if (!IsAlive(pool)) return;
  bool released = false;
  {
    jx::ScopedLock hold(pool->lock);
    if (pool->mark.load() == pool) {
      pool->mark.store(nullptr);
      for (void* block : pool->retired) jx_free(block);
      jx_free(pool->block);
      pool->block = nullptr;
      std::vector<void*>().swap(pool->retired);
      released = true;
    }
  }
  // Only the call that cleared the mark recycles the pool.
  if (released) {
    jx_lock_destory(pool->lock);
    pool->lock = nullptr;
    jx::Recycler<jx_mem_pool_s>::Release(pool);
  }
}

}  // extern "C"
