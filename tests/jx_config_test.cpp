#include "base/jx_config.h"

#include <gtest/gtest.h>

#include <string>

#include "base/jx_config_internal.h"
#include "support/jx_test_support.h"

namespace {

// The entries as "section|key|value;" texts; "none" when the read fails.
std::string ReadIni(const std::string& content, bool with_pool = true) {
  jx::test::TempDir dir;
  jx::test::WriteFile(dir / "app.ini", content);
  jx_mem_pool_t pool = jx_mem_pool_create(1024);
  if (!with_pool) jx_mem_pool_destory(pool);
  const jx_ini_entries result = jx_file_ini_read_all((dir / "app.ini").c_str(), pool);
  std::string entries = result.entries == nullptr && result.count == 0 ? "none" : "";
  for (uint32_t i = 0; i < result.count; ++i) {
    const jx_ini_entry& entry = result.entries[i];
    entries += std::string(entry.section) + "|" + entry.key + "|" + entry.value + ";";
  }
  if (with_pool) jx_mem_pool_destory(pool);
  return entries;
}

TEST(IniReader, ReadsTrimmedEntriesWithTheirSectionsAndFailsWithoutAny) {
  EXPECT_EQ(ReadIni("\xEF\xBB\xBF"
                    "a = 1\r\n[ main ]\n  key  =  v = w  \n[abc\nx=1\n[s]b\ny=\n"
                    "; c = no\n\n=x\nplain\nk=v ; not # a comment\n\xEF\xBB\xBF"
                    "z=\xC3\xA9"),
            "|a|1;main|key|v = w;abc|x|1;s|y|;s|k|v ; not # a comment;s|\xEF\xBB\xBFz|\xC3\xA9;");
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>(i * 37));
  ReadIni(binary);  // whatever it finds, it must not crash
  EXPECT_EQ(ReadIni("\n\n"), "none");
  EXPECT_EQ(ReadIni("a=1", false), "none");
  EXPECT_EQ(jx_file_ini_read_all("/no/such/file.ini", nullptr).entries, nullptr);
  EXPECT_EQ(jx_file_ini_read_all(nullptr, nullptr).count, 0u);
}

std::string Get(const jx::AppConfigStore& store) {
  return store.Get().root + "|" + store.Get().config_path;
}

TEST(AppConfigStore, NormalisesTheFirstSetAndIgnoresTheRest) {
  EXPECT_EQ(Get(jx::AppConfigStore([] { return std::string(); })), "|app_base_config.ini");
  for (const char* root : {"C:\\data\\app", "C:\\data\\\\app\\.\\"}) {
    jx::AppConfigStore store([] { return std::string("/home/u/"); });
    store.Set(root, "");
    store.Set("/elsewhere", "/elsewhere/x.ini");
    EXPECT_EQ(Get(store), "C:/data/app/|C:/data/app/app_base_config.ini") << root;
  }
  jx::AppConfigStore store([] { return std::string("/home/u/"); });
  store.Set("", "D:\\etc\\\\app.ini");
  EXPECT_EQ(Get(store), "/home/u/|D:/etc/app.ini");
}

}  // namespace
