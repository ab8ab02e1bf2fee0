#include "base/jx_config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/jx_test_support.h"

namespace {

using Entry = std::vector<std::string>;  // section, key, value

std::vector<Entry> ReadIni(const std::string& content) {
  jx::test::TempDir dir;
  jx::test::WriteFile(dir / "app.ini", content);
  jx_mem_pool_t pool = jx_mem_pool_create(1024);
  const jx_ini_entries result = jx_file_ini_read_all((dir / "app.ini").c_str(), pool);
  std::vector<Entry> entries;
  for (uint32_t i = 0; i < result.count; ++i) {
    entries.push_back({result.entries[i].section, result.entries[i].key, result.entries[i].value});
  }
  if (result.count == 0) {
    EXPECT_EQ(result.entries, nullptr);
  }
  jx_mem_pool_destory(pool);
  return entries;
}

TEST(IniReader, ReadsEntriesWithTheirSections) {
  EXPECT_EQ(ReadIni("a=1"), (std::vector<Entry>{{"", "a", "1"}}));
  EXPECT_EQ(ReadIni("log.level = 256\n[ main ]\n  key  =  value with = sign  \n[abc\nx=1\n[a]b\ny=\n"),
            (std::vector<Entry>{{"", "log.level", "256"},
                                {"main", "key", "value with = sign"},
                                {"abc", "x", "1"},
                                {"a", "y", ""}}));
  EXPECT_EQ(ReadIni("[]\nk=v"), (std::vector<Entry>{{"", "k", "v"}}));
}

TEST(IniReader, SkipsCommentsBlankLinesAndLinesWithoutAKey) {
  EXPECT_EQ(ReadIni("; comment = no\n\n=x\nplain line\n  \t\nk=v ; not a comment # nor this\n"),
            (std::vector<Entry>{{"", "k", "v ; not a comment # nor this"}}));
  EXPECT_TRUE(ReadIni("").empty());
  EXPECT_TRUE(ReadIni("\n\n\n").empty());
}

TEST(IniReader, TreatsLineEndsAndByteOrderMarkAlike) {
  const std::vector<Entry> expected{{"s", "a", "1"}, {"s", "b", "2"}, {"s", "a", "3"}};
  EXPECT_EQ(ReadIni("[s]\na=1\nb=2\na=3\n"), expected);
  EXPECT_EQ(ReadIni("[s]\r\na=1\r\nb=2\r\na=3"), expected);
  EXPECT_EQ(ReadIni("\xEF\xBB\xBF[s]\na=1\nb=2\na=3\n"), expected);
  // Only the first mark is removed; UTF-8 survives trimming.
  EXPECT_EQ(ReadIni("\xEF\xBB\xBF" "k=\xC3\xA9\n\xEF\xBB\xBFz=1\n"),
            (std::vector<Entry>{{"", "k", "\xC3\xA9"}, {"", "\xEF\xBB\xBFz", "1"}}));
}

TEST(IniReader, ToleratesBinaryAndLongLines) {
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>(i * 37));
  ReadIni(binary);  // whatever it finds, it must not crash
  const std::string long_value(200000, 'v');
  EXPECT_EQ(ReadIni("k=" + long_value), (std::vector<Entry>{{"", "k", long_value}}));
}

TEST(IniReader, FailsWithoutAFileOrAPool) {
  jx_mem_pool_t pool = jx_mem_pool_create(1024);
  jx_ini_entries result = jx_file_ini_read_all("/no/such/file.ini", pool);
  EXPECT_EQ(result.entries, nullptr);
  EXPECT_EQ(result.count, 0u);
  result = jx_file_ini_read_all(nullptr, pool);
  EXPECT_EQ(result.count, 0u);
  jx_mem_pool_destory(pool);
  jx::test::TempDir dir;
  jx::test::WriteFile(dir / "a.ini", "a=1\n");
  result = jx_file_ini_read_all((dir / "a.ini").c_str(), pool);  // destroyed pool
  EXPECT_EQ(result.entries, nullptr);
  EXPECT_EQ(result.count, 0u);
}

}  // namespace
