#include "base/jx_memory.h"

#include <gtest/gtest.h>

#include "base/jx_hand_out.h"

#include <cstring>
#include <thread>
#include <vector>

namespace {

TEST(Memory, BlocksAndPoolPiecesFollowTheirRulesUnderThreadsToo) {
  EXPECT_EQ(jx_malloc(0, true), jx_trace_malloc(nullptr, 0, -5, false));  // both null
  jx_free(nullptr);
  jx_mem_pool_destory(nullptr);
  auto* block = static_cast<char*>(jx_malloc(1 << 20, true));
  EXPECT_EQ(std::string(block, 1 << 20), std::string(1 << 20, '\0'));
  block[0] = 'a';
  block = static_cast<char*>(jx_realloc(block, 1 << 21, true));
  EXPECT_EQ(block[0], 'a');
  EXPECT_EQ(jx_realloc(block, 0, true), nullptr);  // released
  jx_mem_pool_t pool = jx_mem_pool_create(10);     // raised to 1024
  auto* a = static_cast<char*>(jx_mem_pool_malloc(pool, 1000));
  auto* b = static_cast<char*>(jx_mem_pool_malloc(pool, 100));
  EXPECT_TRUE(b < a || b >= a + 1000);  // a fresh block
  auto* big = static_cast<char*>(jx_mem_pool_malloc(pool, 1024));
  EXPECT_EQ(jx_mem_pool_malloc(pool, 10), b + 100);   // the big one left the block in use
  EXPECT_EQ(jx_mem_pool_malloc(pool, 914), b + 110);  // exactly fills it
  EXPECT_EQ(std::string(big, 1024), std::string(1024, '\0'));
  EXPECT_EQ(jx_mem_pool_malloc(pool, 0), nullptr);
  jx_mem_pool_destory(pool);
  jx_mem_pool_destory(pool);  // a second destroy is ignored
  EXPECT_EQ(jx_mem_pool_malloc(pool, 10), jx_mem_pool_malloc(nullptr, 10));  // both null
  jx_mem_pool_t other = jx_mem_pool_create(4096);  // a recycled handle goes to one owner
  pool = jx_mem_pool_create(4096);  // shared by threads, it hands out disjoint pieces
  EXPECT_NE(pool, other);
  jx_mem_pool_destory(other);
  std::vector<char*> pieces[4];
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20000; ++i) {  // long enough to overlap
        pieces[t].push_back(static_cast<char*>(std::memset(jx_mem_pool_malloc(pool, 13), t, 13)));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) {
    for (char* piece : pieces[t]) ASSERT_EQ(std::string(piece, 13), std::string(13, t));
  }
  jx_mem_pool_destory(pool);
  char* copy = jx::HandOutWithNul("", {__FILE__, __LINE__});  // room for the NUL alone
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy[0], '\0');
  jx_free(copy);
}

}  // namespace
