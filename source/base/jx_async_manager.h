// jx::AsyncMgr: the process-wide registry of worker threads, mapping each
// thread id to that thread's loop.
#ifndef JX_BASE_JX_ASYNC_MANAGER_H_
#define JX_BASE_JX_ASYNC_MANAGER_H_

#include <cstdint>
#include <map>
#include <memory>

#include "base/jx_async_loop.h"
#include "base/jx_queue_mutex.h"

namespace jx {

// Holds weak references only: a loop lives as long as its thread and its
// queued tasks hold it. All members are safe from any thread; the registry
// lock guards the map alone and is never held while a loop is called.
class AsyncMgr {
 public:
  // The single instance, made on first use and never destroyed.
  static AsyncMgr* Instance();

  // The loop registered under `id`, or null. An entry whose loop is gone is
  // removed here.
  std::shared_ptr<AsyncLoop> GetThread(int64_t id);

  // Registers `loop` under `id`, replacing any earlier entry; refuses a null
  // loop.
  void AddThreadLoop(int64_t id, const std::shared_ptr<AsyncLoop>& loop);

  // Removes the entry of `id` and stops its loop (AsyncLoop::Stop). Returns
  // whether an entry was removed, so of two racing stops only one succeeds.
  bool EraseThreadLoop(int64_t id);

 private:
  AsyncMgr() = default;

  QueueMutex mutex_;                                    // every post takes it
  std::map<uint64_t, std::weak_ptr<AsyncLoop>> loops_;  // ids ordered as unsigned
};

}  // namespace jx

#endif  // JX_BASE_JX_ASYNC_MANAGER_H_
