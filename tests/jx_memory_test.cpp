#include "base/jx_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

TEST(Allocation, RejectsNonPositiveSizes) {
  EXPECT_EQ(jx_malloc(0, true), nullptr);
  EXPECT_EQ(jx_malloc(-5, false), nullptr);
  EXPECT_EQ(jx_trace_malloc(nullptr, 0, 0, true), nullptr);
  jx_free(nullptr);
}

TEST(Allocation, BlocksArriveZeroFilled) {
  for (int size : {1, 7, 4096, 1 << 20}) {
    auto* block = static_cast<unsigned char*>(jx_trace_malloc(__FILE__, __LINE__, size, true));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << size;
    jx_free(block);
  }
}

TEST(Allocation, ReallocKeepsContentAndReleasesAtZero) {
  auto* block = static_cast<char*>(jx_malloc(4, true));
  std::memcpy(block, "abcd", 4);
  block = static_cast<char*>(jx_realloc(block, 1000, true));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::memcmp(block, "abcd", 4), 0);
  EXPECT_EQ(jx_realloc(block, 0, true), nullptr);  // released
  auto* fresh = static_cast<char*>(jx_realloc(nullptr, 8, false));
  ASSERT_NE(fresh, nullptr);
  jx_free(fresh);
}

TEST(Pool, FollowsItsBlockRules) {
  jx_mem_pool_t pool = jx_mem_pool_create(10);  // raised to 1024
  auto* a = static_cast<char*>(jx_mem_pool_malloc(pool, 1000));
  auto* b = static_cast<char*>(jx_mem_pool_malloc(pool, 100));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b < a || b >= a + 1000);  // a fresh block
  auto* big = static_cast<char*>(jx_mem_pool_malloc(pool, 1024));
  ASSERT_NE(big, nullptr);
  auto* c = static_cast<char*>(jx_mem_pool_malloc(pool, 10));
  EXPECT_EQ(c, b + 100);  // the big request left the current block in use
  auto* d = static_cast<char*>(jx_mem_pool_malloc(pool, 914));
  EXPECT_EQ(d, c + 10);  // exactly fills the block
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(big[i], 0);
  std::memset(big, 0x5A, 1024);
  std::memset(a, 0x11, 1000);
  EXPECT_EQ(jx_mem_pool_malloc(pool, 0), nullptr);
  EXPECT_EQ(jx_mem_pool_malloc(pool, -1), nullptr);
  jx_mem_pool_destory(pool);
  EXPECT_EQ(jx_mem_pool_malloc(pool, 10), nullptr);
  jx_mem_pool_destory(pool);  // a second destroy is ignored
  EXPECT_EQ(jx_mem_pool_malloc(nullptr, 10), nullptr);
  jx_mem_pool_destory(nullptr);
}

TEST(Pool, SharedByThreadsHandsOutDisjointPieces) {
  jx_mem_pool_t pool = jx_mem_pool_create(4096);
  constexpr int kThreads = 4;
  constexpr int kPieces = 500;
  std::vector<std::thread> threads;
  std::vector<std::vector<unsigned char*>> pieces(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPieces; ++i) {
        auto* piece = static_cast<unsigned char*>(jx_mem_pool_malloc(pool, 1 + i % 97));
        std::memset(piece, t + 1, 1 + i % 97);
        pieces[t].push_back(piece);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPieces; ++i) {
      for (int k = 0; k < 1 + i % 97; ++k) ASSERT_EQ(pieces[t][i][k], t + 1);
    }
  }
  jx_mem_pool_destory(pool);
}

}  // namespace
