#include "base/jx_string.h"

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "base/jx_number_text.h"
#include "base/jx_path_text.h"
#ifdef _WIN32
#include "platform/win/win_text.h"
#endif

namespace {

// Normalises in place and checks that the rest of the text is cleared.
std::string Fixed(std::string path) {
  std::vector<char> buffer(path.c_str(), path.c_str() + path.size() + 1);
  const unsigned int length = fix_file_path(buffer.data(), 0);
  EXPECT_EQ(std::string(buffer.data() + length, path.size() - length),
            std::string(path.size() - length, '\0'));
  return std::string(buffer.data(), length);
}

TEST(PathHelpers, NormaliseSeparatorsAndParentsAndFindBaseNames) {
  std::string long_path;  // longer than any platform's limit
  for (int i = 0; i < 40; ++i) long_path += std::string(100, 'd') + "\\\\.\\";
  EXPECT_EQ(Fixed(long_path).size(), 4040u);
  EXPECT_EQ(Fixed("C:\\data\\\\app\\.\\logs\\"), "C:/data/app/logs/");
  // Pairs of a path and its normal form.
  const char* const cases[] = {
      ".\\.\\a", "a",       "//",    "/",     "",        "",       "a/../b",        "/b",
      "../../a", "../../a", "/../a", "/../a", "C:/../y", "/y",     "x/y/z/../../w", "x/w",
      "a/b/..",  "a/b/..",  "a../b", "a../b", "a/.b./c", "a/.b./c"};
  for (size_t i = 0; i < std::size(cases); i += 2) EXPECT_EQ(Fixed(cases[i]), cases[i + 1]);
  char dest[8] = {};
  EXPECT_EQ(fix_file_path_to_dest("a\\\\b//c", 5, dest), 4u);  // only "a\\b/" is read
  EXPECT_STREQ(dest, "a/b/");
  EXPECT_EQ(fix_file_path(nullptr, 0) + fix_file_path_to_dest(nullptr, 0, dest), 0u);
  const char* path = "C:\\x\\y.tar.gz";
  EXPECT_EQ(jx_file_base_name(path, 0), path + 5);
  EXPECT_EQ(jx_file_suffix(path, 0), path + 11);
  EXPECT_STREQ(jx_func_base_name("ns::Class::Method", 17), "Method");
  EXPECT_EQ(jx_file_base_name(nullptr, 0), jx_file_suffix(nullptr, 0));
}

#ifdef _WIN32
// Inside, network paths and the long form keep their start, which the
// exported normaliser collapses; past the classic limit both take the long
// form.
TEST(PathText, WindowsNetworkAndLongFormsKeepTheirStart) {
  EXPECT_EQ(jx::FixPathText("\\\\server\\share\\a\\..\\b"), "//server/share/b");
  EXPECT_EQ(jx::FixPathText("\\\\?\\C:\\x\\.\\y"), "//?/C:/x/y");
  const std::string name(250, 'n');
  EXPECT_EQ(jx::os::ToWidePath("//server/share/" + name),
            L"\\\\?\\UNC\\server\\share\\" + std::wstring(250, L'n'));
  EXPECT_EQ(jx::os::ToWidePath("//?/C:/x"), L"\\\\?\\C:\\x");
}
#endif

// Reads the leading number leniently; the fuzzer covers the general rules.
TEST(TextHelpers, ReadNumbersAtTheirLimitsAndWriteThemPadded) {
  EXPECT_EQ(jx::TextToInteger("-9223372036854775808", 10), INT64_MIN);
  EXPECT_EQ(jx::TextToInteger(" 9223372036854775808", 10), 0);  // overflow
  EXPECT_EQ(jx::TextToInteger("111111111", 2), 255);            // eight digits at most
  EXPECT_EQ(jx::TextToInteger("TRUE", 16) + jx::TextToInteger("-ff", 16), -254);
  std::string text;
  jx::AppendZeroPadded(&text, -7, 3);
  jx::AppendZeroPadded(&text, 255, 4, 16);
  jx::AppendZeroPadded(&text, 42, 0);  // decimal unless told
  EXPECT_EQ(text, "-0700FF42");
}

}  // namespace
