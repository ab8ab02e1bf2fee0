// The registry of worker threads.
#include "base/jx_async_manager.h"

#include <atomic>

#include "base/jx_plog.h"
#include "base/jx_scoped_lock.h"

namespace jx {

namespace {
std::atomic<AsyncMgr*> instance{nullptr};
}  // namespace

AsyncMgr* AsyncMgr::Instance() {
  AsyncMgr* registry = instance.load(std::memory_order_acquire);
  if (registry != nullptr) return registry;
  ScopedLock hold(RegistryCreationLock());
  registry = instance.load(std::memory_order_acquire);
  if (registry == nullptr) {
    registry = new AsyncMgr();
    instance.store(registry, std::memory_order_release);
  }
  return registry;
}

std::shared_ptr<AsyncLoop> AsyncMgr::GetThread(int64_t id) {
  std::lock_guard<QueueMutex> hold(mutex_);
  const auto entry = loops_.find(static_cast<uint64_t>(id));
  if (entry == loops_.end()) return nullptr;
  std::shared_ptr<AsyncLoop> loop = entry->second.lock();
  if (loop == nullptr) {
    loops_.erase(entry);
    JX_LOG(JX_LOG_ERROR, "thread erase! [id:%lld]", static_cast<long long>(id));
  }
  return loop;
}

void AsyncMgr::AddThreadLoop(int64_t id, const std::shared_ptr<AsyncLoop>& loop) {
  if (loop == nullptr) {
    JX_LOG(JX_LOG_ERROR, "invalid thread [id:%lld]", static_cast<long long>(id));
    return;
  }
  {
    std::lock_guard<QueueMutex> hold(mutex_);
    loops_[static_cast<uint64_t>(id)] = loop;
  }
  JX_LOG(JX_LOG_INFO, "thread add [%lld:%s]", static_cast<long long>(id), loop->name().c_str());
}

bool AsyncMgr::EraseThreadLoop(int64_t id) {
  JX_LOG(JX_LOG_INFO, "thread stop [id:%lld]", static_cast<long long>(id));
  std::shared_ptr<AsyncLoop> loop;
  bool erased = false;
  {
    std::lock_guard<QueueMutex> hold(mutex_);
    const auto entry = loops_.find(static_cast<uint64_t>(id));
    if (entry != loops_.end()) {
      loop = entry->second.lock();
      loops_.erase(entry);
      erased = true;
      JX_LOG(JX_LOG_INFO, "thread erase! [id:%lld]", static_cast<long long>(id));
    }
  }
  if (loop != nullptr) loop->Stop();
  return erased;
}

}  // namespace jx
