#include "base/jx_utf.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf, RoundTripsEveryPlane) {
  const std::string text = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z";  // a é 中 😀 z
  const std::u16string wide = jx::Utf8ToUtf16(text);
  EXPECT_EQ(wide, (std::u16string{u'a', 0x00E9, 0x4E2D, 0xD83D, 0xDE00, u'z'}));
  EXPECT_EQ(jx::Utf16ToUtf8(wide), text);
}

TEST(Utf, ReplacesIllFormedInput) {
  EXPECT_EQ(jx::Utf8ToUtf16("a\xFF"
                            "b"),
            (std::u16string{u'a', 0xFFFD, u'b'}));
  EXPECT_EQ(jx::Utf8ToUtf16("\xC0\xAF"), (std::u16string{0xFFFD, 0xFFFD}));  // overlong
  EXPECT_EQ(jx::Utf8ToUtf16("\xED\xA0\x80"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD}));
  EXPECT_EQ(jx::Utf8ToUtf16("\xE4\xB8"), std::u16string{0xFFFD});  // cut short
  EXPECT_EQ(jx::Utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
  EXPECT_EQ(jx::Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
}

TEST(Utf, PrefixNeverSplitsACharacter) {
  const std::string text = "abcdefghijklm\xC3\xA9z";  // é at bytes 13-14
  EXPECT_EQ(jx::Utf8PrefixLength(text.data(), text.size(), 15), 15u);
  EXPECT_EQ(jx::Utf8PrefixLength(text.data(), text.size(), 14), 13u);
  EXPECT_EQ(jx::Utf8PrefixLength(text.data(), 5, 15), 5u);
}

}  // namespace
