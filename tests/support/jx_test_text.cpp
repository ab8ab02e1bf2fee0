#include "support/jx_test_text.h"

#include <gtest/gtest.h>

#include "base/jx_memory.h"

namespace jx::test {

std::string TextOf(const TextGetter& getter, const std::string& failed) {
  char sentinel = 0;
  char* text = &sentinel;
  uint32_t length = 12345;
  if (!getter(&text, &length)) {
    EXPECT_EQ(text, &sentinel);
    EXPECT_EQ(length, 12345u);
    return failed;
  }
  if (text == &sentinel) {
    EXPECT_EQ(length, 12345u);
    return "";
  }
  std::string result(text, length);
  jx_free(text);
  return result;
}

std::string JsonText(jx_json_t h) {
  return TextOf([h](char** out, uint32_t* length) { return jx_json_to_jstr(h, out, length); },
                "<none>");
}

}  // namespace jx::test
