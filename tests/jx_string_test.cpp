#include "base/jx_string.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "base/jx_text.h"

namespace {

std::string Fixed(std::string path) {
  std::vector<char> buffer(path.begin(), path.end());
  buffer.push_back('\0');
  const unsigned int length = fix_file_path(buffer.data(), 0);
  // The rest of the text is cleared.
  for (size_t i = length; i < path.size(); ++i) EXPECT_EQ(buffer[i], '\0') << path;
  return std::string(buffer.data(), length);
}

TEST(PathNormaliser, CollapsesSeparatorsDotsAndParentsAboveTheFloor) {
  EXPECT_EQ(Fixed("C:\\data\\\\app\\.\\logs\\"), "C:/data/app/logs/");
  EXPECT_EQ(Fixed(".\\.\\a"), "a");
  EXPECT_EQ(Fixed("//"), "/");
  EXPECT_EQ(Fixed(""), "");
  EXPECT_EQ(Fixed("a/../b"), "/b");
  EXPECT_EQ(Fixed("../../a"), "../../a");
  EXPECT_EQ(Fixed("/../a"), "/../a");
  EXPECT_EQ(Fixed("C:/../y"), "/y");
  EXPECT_EQ(Fixed("x/y/z/../../w"), "x/w");
  // Trailing dots and dotted names stay.
  EXPECT_EQ(Fixed("a/b/.."), "a/b/..");
  EXPECT_EQ(Fixed("a../b"), "a../b");
  EXPECT_EQ(Fixed("a/b."), "a/b.");
  EXPECT_EQ(Fixed("a/.b/c"), "a/.b/c");
}

TEST(PathNormaliser, HandlesPathsLongerThanThePlatformLimit) {
  std::string segment(100, 'd');
  std::string path;
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    path += segment + "\\\\.\\";
    expected += segment + "/";
  }
  EXPECT_EQ(Fixed(path), expected);
  std::vector<char> dest(path.size(), '\0');
  EXPECT_EQ(fix_file_path_to_dest(path.c_str(), 0, dest.data()), expected.size());
  EXPECT_EQ(std::string(dest.data(), expected.size()), expected);
}

TEST(PathNormaliser, RespectsExplicitLengthAndNulls) {
  char text[] = "a//b//c";
  EXPECT_EQ(fix_file_path(text, 4), 3u);  // only "a//b" is normalised
  EXPECT_EQ(std::string(text, 3), "a/b");
  EXPECT_EQ(fix_file_path(nullptr, 0), 0u);
  char dest[8] = {};
  EXPECT_EQ(fix_file_path_to_dest(nullptr, 0, dest), 0u);
  EXPECT_EQ(fix_file_path_to_dest("a\\\\b", 0, dest), 3u);
  EXPECT_STREQ(dest, "a/b");
}

TEST(NameHelpers, BaseNameSuffixAndFunctionName) {
  const char* path = "C:\\x\\y.txt";
  EXPECT_EQ(jx_file_base_name(path, 0), path + 5);
  EXPECT_STREQ(jx_file_base_name("y.txt", 0), "y.txt");
  EXPECT_STREQ(jx_file_base_name("a/b/", 0), "");
  EXPECT_EQ(jx_file_base_name(nullptr, 0), nullptr);
  EXPECT_STREQ(jx_file_base_name("dir/file", 4), "file");  // length stops the search
  EXPECT_STREQ(jx_file_suffix("y.tar.gz", 0), "gz");
  EXPECT_STREQ(jx_file_suffix("a.b/README", 0), "README");
  EXPECT_EQ(jx_file_suffix(nullptr, 0), nullptr);
  const char* function = "ns::Class::Method";
  EXPECT_STREQ(jx_func_base_name(function, 17), "Method");
  EXPECT_EQ(jx_func_base_name(function, 0), function);
  EXPECT_STREQ(jx_func_base_name("plain", 5), "plain");
  EXPECT_EQ(jx_func_base_name(nullptr, 3), nullptr);
}

TEST(TextToInteger, ReadsTheLeadingNumberLenientlyInEachBase) {
  EXPECT_EQ(jx::TextToInteger(" 42abc ", 10), 42);
  EXPECT_EQ(jx::TextToInteger("TRUE", 10), 1);
  EXPECT_EQ(jx::TextToInteger("false", 10), 0);
  EXPECT_EQ(jx::TextToInteger("", 10), 0);
  EXPECT_EQ(jx::TextToInteger("-7", 10), -7);
  EXPECT_EQ(jx::TextToInteger("+8", 10), 8);
  EXPECT_EQ(jx::TextToInteger("- 8", 10), 0);
  EXPECT_EQ(jx::TextToInteger("9223372036854775807", 10), INT64_MAX);
  EXPECT_EQ(jx::TextToInteger("-9223372036854775808", 10), INT64_MIN);
  EXPECT_EQ(jx::TextToInteger("9223372036854775808", 10), 0);  // overflow fails
  EXPECT_EQ(jx::TextToInteger("12", 7), 12);                   // unknown bases read decimal
  EXPECT_EQ(jx::TextToInteger("0x1A", 16), 26);
  EXPECT_EQ(jx::TextToInteger("-ff", 16), -255);
  EXPECT_EQ(jx::TextToInteger("0x", 16), 0);
  EXPECT_EQ(jx::TextToInteger("17", 8), 15);
  EXPECT_EQ(jx::TextToInteger("111111111", 2), 255);  // first 8 characters
  EXPECT_EQ(jx::TextToInteger("1012", 2), 0);
  EXPECT_EQ(jx::TextToInteger("true", 2), 1);
}

TEST(TextToDouble, ReadsLeadingNumberLeniently) {
  EXPECT_DOUBLE_EQ(jx::TextToDouble(" 1.5abc "), 1.5);
  EXPECT_DOUBLE_EQ(jx::TextToDouble("-2.5e2x"), -250.0);
  EXPECT_DOUBLE_EQ(jx::TextToDouble("+.5"), 0.5);
  EXPECT_DOUBLE_EQ(jx::TextToDouble("5."), 5.0);
  EXPECT_DOUBLE_EQ(jx::TextToDouble("True"), 1.0);
  EXPECT_DOUBLE_EQ(jx::TextToDouble("abc"), 0.0);
  EXPECT_DOUBLE_EQ(jx::TextToDouble("."), 0.0);
  EXPECT_DOUBLE_EQ(jx::TextToDouble("1e"), 0.0);
  EXPECT_DOUBLE_EQ(jx::TextToDouble("1e999"), 0.0);
  EXPECT_DOUBLE_EQ(jx::TextToDouble("inf"), 0.0);
  EXPECT_DOUBLE_EQ(jx::TextToDouble("1E3"), 1000.0);
}

TEST(AppendZeroPadded, WritesWhatPrintfWrites) {
  const long long values[] = {0, 7, -7, 42, 255, 1024, 12345, -12345, LLONG_MAX, LLONG_MIN};
  for (long long value : values) {
    for (int width : {0, 2, 3, 4}) {
      char expected[64];
      std::string text = "x";
      jx::AppendZeroPadded(&text, value, width);
      std::snprintf(expected, sizeof(expected), "x%0*lld", width, value);
      EXPECT_EQ(text, expected) << value << " width " << width;
      if (value < 0) continue;
      text = "x";
      jx::AppendZeroPadded(&text, value, width, 16);
      std::snprintf(expected, sizeof(expected), "x%0*llX", width, value);
      EXPECT_EQ(text, expected) << value << " hex width " << width;
    }
  }
}

}  // namespace
