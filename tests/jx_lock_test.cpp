#include "base/jx_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "base/jx_scoped_lock.h"
#include "base/jx_thread.h"

namespace {

void WaitForQueue(jx_lock_t lock, int length) {
  while (jx::LockQueueLength(lock) != length) jx_this_thread_yield();
}

TEST(TicketLock, ServesSevenWaitersInArrivalOrder) {
  jx_lock_t lock = jx_lock_create();
  std::vector<int> order;
  std::vector<std::thread> waiters;
  jx_lock_lock(lock);
  for (int i = 0; i < 7; ++i) {
    waiters.emplace_back([&, i] {
      jx_lock_lock(lock);
      order.push_back(i);
      jx_lock_unlock(lock);
    });
    WaitForQueue(lock, i + 2);  // the holder plus every waiter so far
  }
  jx_lock_unlock(lock);
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  jx_lock_destory(lock);
}

// Eight threads each add 2000 to a counter between `lock` and `unlock`;
// returns the count.
template <typename Lock, typename Unlock>
int64_t CountUnderContention(Lock lock, Unlock unlock) {
  int64_t counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        lock();
        ++counter;
        unlock();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  return counter;
}

TEST(Locks, KeepEveryUpdateUnderContention) {
  jx_lock_t ticket = jx_lock_create();
  EXPECT_EQ(CountUnderContention([&] { jx_lock_lock(ticket); }, [&] { jx_lock_unlock(ticket); }),
            16000);
  jx_lock_destory(ticket);
  jx_rand_lock_t spin = jx_rand_lock_create();
  EXPECT_EQ(
      CountUnderContention([&] { jx_rand_lock_lock(spin); }, [&] { jx_rand_lock_unlock(spin); }),
      16000);
  jx_rand_lock_destory(spin);
}

TEST(TicketLock, DestroyWhileHeldReleasesAtTheLastUnlock) {
  jx_lock_t lock = jx_lock_create();
  jx_lock_lock(lock);
  std::atomic<bool> waiter_done{false};
  std::thread waiter([&] {
    jx_lock_lock(lock);  // takes a ticket before the destroy
    jx_lock_unlock(lock);
    waiter_done = true;
  });
  WaitForQueue(lock, 2);
  jx_lock_destory(lock);
  EXPECT_EQ(jx::LockQueueLength(lock), 2);        // still alive: held and awaited
  std::thread late([&] { jx_lock_lock(lock); });  // destroyed: returns at once
  late.join();
  jx_lock_unlock(lock);
  waiter.join();
  EXPECT_TRUE(waiter_done);
  EXPECT_EQ(jx::LockQueueLength(lock), 0);  // released by the waiter's unlock
  jx_lock_lock(lock);                       // a released handle is ignored
  jx_lock_unlock(lock);
  jx_lock_destory(lock);
}

TEST(TicketLock, DestroyOfAFreeLockReleasesAtOnce) {
  jx_lock_t lock = jx_lock_create();
  jx_lock_destory(lock);
  jx_lock_lock(lock);  // returns without waiting
  jx_lock_unlock(lock);
  jx_lock_destory(lock);
  jx_lock_lock(nullptr);
  jx_lock_unlock(nullptr);
  jx_lock_destory(nullptr);
}

TEST(TicketLock, ConcurrentDestroyAndUnlockReleaseOnce) {
  for (int round = 0; round < 200; ++round) {
    jx_lock_t lock = jx_lock_create();
    jx_lock_lock(lock);
    std::thread destroyer([&] { jx_lock_destory(lock); });
    jx_lock_unlock(lock);
    destroyer.join();
    // Exactly one release: the next two creations get two different blocks.
    jx_lock_t a = jx_lock_create();
    jx_lock_t b = jx_lock_create();
    EXPECT_NE(a, b);
    jx_lock_destory(a);
    jx_lock_destory(b);
  }
}

TEST(GlobalLocks, AreOneLockForEveryThreadAndExistFromLoad) {
  jx_lock_t first = jx_global_lock();
  jx_lock_t other = nullptr;
  std::thread([&] { other = jx_global_lock(); }).join();
  EXPECT_EQ(first, other);
  EXPECT_NE(first, nullptr);
  jx_lock_lock(first);
  jx_lock_unlock(first);
  EXPECT_NE(jx::CommandLineCreationLock(), nullptr);
  EXPECT_NE(jx::RegistryCreationLock(), nullptr);
  EXPECT_NE(jx::CommandLineCreationLock(), jx::RegistryCreationLock());
}

}  // namespace
