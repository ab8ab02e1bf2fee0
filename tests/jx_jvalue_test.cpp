#include "base/jx_jvalue.h"

#include <gtest/gtest.h>

#include <iterator>

#include "support/jx_test_text.h"

namespace {

// Each element as its kind and text, followed by "|".
std::string Read(const jx::Jpath& path) {
  std::string elements;
  for (const auto& element : path.Elements()) elements += element.kind + element.text + "|";
  return elements;
}

TEST(Jpath, ReadsThePathGrammarAndWritesAppendedElementsBack) {
  // Pairs of a path text and the elements read from it.
  const char* const cases[] = {".a..b.", ".a|.b|",   "a.:1:.b", ".a|:1|.b|", "a\\.b",
                               ".a.b|",  "a\\:b",    ".a:b|",   "a\\b",      ".a\\b|",
                               "a\\\\b", ".a\\\\b|", "a\\",     ".a|",       "...",
                               "",       ":",        "",        nullptr,     ""};
  for (size_t i = 0; i < std::size(cases); i += 2)
    EXPECT_EQ(Read(jx::Jpath(cases[i])), cases[i + 1]);
  jx::Jpath path("report");
  path.AppendKey("v1.2").AppendIndex(1).AppendKey("").AppendKey("os:win").AppendPath("x:2");
  EXPECT_EQ(path.ToText(), ".report.v1\\.2:1.os\\:win.x:2");
  EXPECT_EQ(Read(jx::Jpath(path.ToText().c_str())), Read(path));
}

}  // namespace
