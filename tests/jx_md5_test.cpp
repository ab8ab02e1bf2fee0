#include "base/jx_md5.h"

#include <gtest/gtest.h>

#include <string>

#include "base/jx_memory.h"

namespace {

// Runs of 'a' that end before, at and after the padding boundary (56) and
// the block boundary (64), and one long enough to take many blocks.
TEST(Md5, GivesKnownDigestsAroundEveryBlockBoundaryAndRefusesMissingArguments) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "d41d8cd98f00b204e9800998ecf8427e"},  {3, "47bce5c74f589f4867dbd57e9ca9f808"},
      {55, "ef1772b6dff9a122358552954ad0df65"}, {56, "3b0c8ac703f828b04c6c197006d17218"},
      {63, "b06521f39153d618550606be297466d5"}, {64, "014842d480b571495a4a0363793f7367"},
      {65, "c743a45e0d2e6a95cb859adae0248435"}, {1 << 20, "7202826a7791073fe2787f0c94603278"}};
  char* out = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(jx_md5_string(nullptr, 5, &out, &length) + jx_md5_string("abc", 3, nullptr, &length) +
                jx_md5_string("abc", 3, &out, nullptr),
            0u);
  EXPECT_EQ(out, nullptr);
  for (const auto& [size, digest] : cases) {
    EXPECT_EQ(jx_md5_string(std::string(size, 'a').data(), size, &out, &length), 32u);
    EXPECT_EQ(std::string(out, length), digest);
    jx_free(out);
  }
  EXPECT_EQ(jx_md5_string(nullptr, 0, &out, &length), 32u);  // the empty message
  jx_free(out);
}

}  // namespace
