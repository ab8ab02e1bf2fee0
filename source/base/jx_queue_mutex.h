// The mutex of the toolkit's internal queues (the log queue, the task
// queues). Their critical sections are a few moves long, so a thread that
// finds the mutex taken first retries for about a microsecond, while the
// holder is almost certainly running and about to release it, and only then
// sleeps in the kernel. Unlike the exported fair lock it lets a running
// thread take it ahead of a waiter that is not running.
#ifndef JX_BASE_JX_QUEUE_MUTEX_H_
#define JX_BASE_JX_QUEUE_MUTEX_H_

#include <mutex>

namespace jx {

// A spin-wait hint to the processor: lets the other hyper-thread run and
// saves power while a thread looks again at a word another thread will change.
inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

class QueueMutex {
 public:
  void lock() {
    for (int i = 0; i < kTries; ++i) {
      if (mutex_.try_lock()) return;
      CpuRelax();
    }
    mutex_.lock();
  }
  bool try_lock() { return mutex_.try_lock(); }
  void unlock() { mutex_.unlock(); }

 private:
  static constexpr int kTries = 64;
  std::mutex mutex_;
};

}  // namespace jx

#endif  // JX_BASE_JX_QUEUE_MUTEX_H_
