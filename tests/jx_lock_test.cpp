#include "base/jx_lock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/jx_scoped_lock.h"

namespace {

void WaitForQueue(jx_lock_t lock, int length) {
  while (jx::LockQueueLength(lock) != length) std::this_thread::yield();
}

TEST(Locks, ServeInArrivalOrderAndKeepEveryUpdateUnderContention) {
  jx_lock_t ticket = jx_lock_create();
  jx_rand_lock_t spin = jx_rand_lock_create();
  std::vector<int> order;
  int64_t counts[2] = {0, 0};
  std::vector<std::thread> threads;
  {
    jx::ScopedLock hold(ticket);
    for (int i = 0; i < 8; ++i) {
      threads.emplace_back([&, i] {
        for (int n = 0; n < 2000; ++n) {
          jx::ScopedLock inner(ticket);
          if (n == 0) order.push_back(i);
          ++counts[0];
          jx_rand_lock_lock(spin);
          ++counts[1];
          jx_rand_lock_unlock(spin);
        }
      });
      WaitForQueue(ticket, i + 2);  // the holder plus every waiter so far
    }
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(counts[0] + counts[1], 32000);
  EXPECT_EQ(jx::LockQueueLength(ticket), 0);
  jx_lock_destory(ticket);
  jx_rand_lock_destory(spin);
}

TEST(TicketLock, DestroyWhileHeldReleasesAtTheLastUnlock) {
  jx_lock_t lock = jx_lock_create();
  jx_lock_lock(lock);
  std::thread waiter([&] {
    jx_lock_lock(lock);  // takes a ticket before the destroy
    jx_lock_unlock(lock);
  });
  WaitForQueue(lock, 2);
  jx_lock_destory(lock);
  EXPECT_EQ(jx::LockQueueLength(lock), 2);        // still alive: held and awaited
  std::thread late([&] { jx_lock_lock(lock); });  // destroyed: returns at once
  late.join();
  jx_lock_unlock(lock);
  waiter.join();
  EXPECT_EQ(jx::LockQueueLength(lock), 0);  // released by the waiter's unlock
}

TEST(TicketLock, DestroyAndUnlockAtOnceReleaseOnceAndNullIsIgnored) {
  for (int round = 0; round < 200; ++round) {
    jx_lock_t lock = jx_lock_create();
    jx_lock_lock(lock);
    std::thread destroyer([&] { jx_lock_destory(lock); });
    jx_lock_unlock(lock);
    destroyer.join();
    jx_lock_t a = jx_lock_create();  // one release: two creations get two blocks
    jx_lock_t b = jx_lock_create();
    ASSERT_NE(a, b);
    jx_lock_destory(a);
    jx_lock_destory(b);
  }
  jx_lock_lock(nullptr);
  jx_lock_unlock(nullptr);
  jx_lock_destory(nullptr);
  EXPECT_NE(jx_global_lock(), nullptr);
}

}  // namespace
