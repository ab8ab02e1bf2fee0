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

TEST(TicketLock, KeepsEveryUpdateUnderContention) {
  jx_lock_t lock = jx_lock_create();
  int64_t counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        jx::ScopedLock hold(lock);
        ++counter;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 16000);
  jx_lock_destory(lock);
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

TEST(GlobalLock, IsOneLockForEveryThread) {
  jx_lock_t first = jx_global_lock();
  jx_lock_t other = nullptr;
  std::thread([&] { other = jx_global_lock(); }).join();
  EXPECT_EQ(first, other);
  EXPECT_NE(first, nullptr);
  jx_lock_lock(first);
  jx_lock_unlock(first);
}

TEST(SpinLock, ExcludesAndToleratesDestroyWhileHeld) {
  jx_rand_lock_t lock = jx_rand_lock_create();
  int64_t counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        jx_rand_lock_lock(lock);
        ++counter;
        jx_rand_lock_unlock(lock);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 16000);

  jx_rand_lock_lock(lock);
  jx_rand_lock_destory(lock);
  std::thread([&] { jx_rand_lock_lock(lock); }).join();  // destroyed: no wait
  jx_rand_lock_unlock(lock);                             // last claim releases
  jx_rand_lock_lock(lock);
  jx_rand_lock_destory(lock);
  jx_rand_lock_lock(nullptr);
  jx_rand_lock_unlock(nullptr);
  jx_rand_lock_destory(nullptr);
}

TEST(CreationLocks, ExistFromLoad) {
  EXPECT_NE(jx::CommandLineCreationLock(), nullptr);
  EXPECT_NE(jx::RegistryCreationLock(), nullptr);
  EXPECT_NE(jx::CommandLineCreationLock(), jx::RegistryCreationLock());
}

}  // namespace
