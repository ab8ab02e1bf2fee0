#include "base/jx_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "base/jx_scoped_lock.h"

namespace {

void WaitForQueue(jx_lock_t lock, int length) {
  while (jx::LockQueueLength(lock) != length) std::this_thread::yield();
}

TEST(Locks, ServeInArrivalOrderAndLetNoSecondThreadIn) {
  jx_lock_t ticket = jx_lock_create();
  jx_rand_lock_t spin = jx_rand_lock_create();
  std::vector<int> order;
  std::atomic<bool> spun{false};
  std::vector<std::thread> threads;
  jx_rand_lock_lock(spin);
  {
    jx::ScopedLock hold(ticket);
    for (int i = 0; i < 4; ++i) {
      threads.emplace_back([&, i] {
        jx::ScopedLock inner(ticket);
        order.push_back(i);
      });
      WaitForQueue(ticket, i + 2);  // the holder plus every waiter so far
    }
    threads.emplace_back([&] {
      jx_rand_lock_lock(spin);
      spun = true;
      jx_rand_lock_unlock(spin);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(spun.load());
  }
  jx_rand_lock_unlock(spin);
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_TRUE(spun.load() && jx::LockQueueLength(ticket) == 0);
  jx_lock_t next = jx_lock_create();
  EXPECT_NE(next, ticket);  // alive after its last unlock: its block is not handed out again
  jx_lock_destory(next);
  jx_lock_destory(ticket);
  jx_rand_lock_destory(spin);
}

TEST(TicketLock, DestroyWhileHeldReleasesAtTheLastUnlockAndOnlyOnce) {
  jx_lock_t lock = jx_lock_create();
  jx_lock_lock(lock);
  std::thread waiter([&] { jx::ScopedLock hold(lock); });  // queued before the destroy
  WaitForQueue(lock, 2);
  jx_lock_destory(lock);
  EXPECT_EQ(jx::LockQueueLength(lock), 2);        // still alive: held and awaited
  std::thread late([&] { jx_lock_lock(lock); });  // destroyed: returns at once
  late.join();
  jx_lock_unlock(lock);
  waiter.join();
  EXPECT_EQ(jx::LockQueueLength(lock), 0);  // released by the waiter's unlock
  for (int round = 0; round < 200; ++round) {
    lock = jx_lock_create();
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
}

}  // namespace
