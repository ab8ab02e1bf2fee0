#include "base/jx_utf.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf, ConvertsReplacesIllFormedInputAndNeverSplitsACharacter) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"a\xC3\xA9\xE0\xA0\x80\xE4\xB8\xAD\xF0\x9F\x98\x80z",  // a é U+0800 中 😀 z
       {u'a', 0x00E9, 0x0800, 0x4E2D, 0xD83D, 0xDE00, u'z'}},
      {"a\xFF\xE4\xB8", {u'a', 0xFFFD, 0xFFFD}},                // a bad byte, a cut character
      {"\xC0\xAF", {0xFFFD, 0xFFFD}},                           // overlong
      {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},               // a surrogate
      {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}}};  // above U+10FFFF
  for (const auto& [utf8, utf16] : cases) EXPECT_EQ(jx::Utf8ToUtf16(utf8), utf16);
  EXPECT_EQ(jx::Utf16ToUtf8(cases[0].second), cases[0].first);
  EXPECT_EQ(jx::Utf16ToUtf8(std::u16string{0xD800, u'x', 0xDC00}), "\xEF\xBF\xBDx\xEF\xBF\xBD");
  const char* text = "abcdefghijklm\xC3\xA9z";  // é at bytes 13-14
  EXPECT_EQ(jx::Utf8PrefixLength(text, 16, 15), 15u);
  EXPECT_EQ(jx::Utf8PrefixLength(text, 16, 14), 13u);
}

}  // namespace
