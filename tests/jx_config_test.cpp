#include "base/jx_config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/jx_config_internal.h"
#include "base/jx_system.h"
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
  EXPECT_EQ(
      ReadIni("log.level = 256\n[ main ]\n  key  =  value with = sign  \n[abc\nx=1\n[a]b\ny=\n"),
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
  EXPECT_EQ(ReadIni("\xEF\xBB\xBF"
                    "k=\xC3\xA9\n\xEF\xBB\xBFz=1\n"),
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

std::string FakeUserFolder() { return "/home/u/.config/"; }
std::string NoUserFolder() { return ""; }

using Paths = std::pair<std::string, std::string>;
Paths Get(const jx::AppConfigStore& store) {
  const jx::AppConfigPaths paths = store.Get();
  return {paths.root, paths.config_path};
}

TEST(AppConfigStore, DefaultsToTheUserFolderOrToABareFileName) {
  EXPECT_EQ(Get(jx::AppConfigStore(&FakeUserFolder)),
            Paths("/home/u/.config/", "/home/u/.config/app_base_config.ini"));
  EXPECT_EQ(Get(jx::AppConfigStore(&NoUserFolder)), Paths("", "app_base_config.ini"));
}

TEST(AppConfigStore, NormalisesWhatIsSetAndKeepsOneTrailingSlash) {
  const std::pair<const char*, const char*> roots[] = {{"C:\\data\\app", "C:/data/app/"},
                                                       {"C:\\data\\app\\", "C:/data/app/"},
                                                       {"/srv//app/./x/..", "/srv/app/"},
                                                       {"/", "/"}};
  for (const auto& [given, normal] : roots) {
    jx::AppConfigStore store(&FakeUserFolder);
    store.Set(given, "");
    EXPECT_EQ(Get(store), Paths(normal, std::string(normal) + "app_base_config.ini")) << given;
  }
  jx::AppConfigStore store(&FakeUserFolder);
  store.Set("", "D:\\etc\\\\app.ini");
  EXPECT_EQ(Get(store), Paths("/home/u/.config/", "D:/etc/app.ini"));
}

TEST(AppConfigStore, TakesOnlyTheFirstSetEvenWhenItWasEmpty) {
  jx::AppConfigStore store(&FakeUserFolder);
  store.Set("", "");
  store.Set("/srv/app", "/srv/app.ini");
  EXPECT_EQ(Get(store), Get(jx::AppConfigStore(&FakeUserFolder)));
}

std::pair<std::string, std::string> TakeAppConfig() {
  const jx_app_config config = jx_get_app_config();
  std::pair<std::string, std::string> copy{config.root, config.config_path};
  jx_free(config.root);
  jx_free(config.config_path);
  return copy;
}

// The process-wide store is set once per process, so one test covers its life.
TEST(AppConfig, FollowsTheUserFolderUntilTheFirstSetAndIgnoresTheRest) {
  char* user = nullptr;
  uint32_t length = 0;
  std::string user_folder;
  if (jx_get_os_user_cache_path(&user, &length)) {
    user_folder.assign(user, length);
    jx_free(user);
  }
  EXPECT_EQ(TakeAppConfig(), Paths(user_folder, user_folder + "app_base_config.ini"));
  if (!user_folder.empty()) {
    EXPECT_EQ(user_folder.back(), '/');
  }

  jx_set_app_config("C:\\data\\app", nullptr);
  EXPECT_EQ(TakeAppConfig(), Paths("C:/data/app/", "C:/data/app/app_base_config.ini"));
  jx_set_app_config("/elsewhere", "/elsewhere/x.ini");
  jx_set_app_config(nullptr, nullptr);
  EXPECT_EQ(TakeAppConfig(), Paths("C:/data/app/", "C:/data/app/app_base_config.ini"));
}

}  // namespace
