// The log file as the writer keeps it: names, rotation, backups and faults.
// A small rotation size keeps these tests fast; the rules are the same at
// the real 20 MiB.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "base/jx_config.h"
#include "base/jx_file.h"
#include "base/jx_folder.h"
#include "base/jx_memory.h"
#include "base/jx_plog_file.h"
#include "support/jx_test_process.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::ReadTextFile;
using jx::test::WriteFile;

constexpr int64_t kSomeSecond = 1735808701;  // early January 2025 in every time zone
std::atomic<int32_t> fake_seconds{static_cast<int32_t>(kSomeSecond)};

// "<name>.YYYY_MM_DD_hh_mm_ss" in local time, built independently of the log.
std::string ExpectedBackupName(const std::string& name, int64_t seconds) {
  struct tm t {};
  EXPECT_EQ(jx_localtime(&t, &seconds), 0);
  char stamp[64];
  std::snprintf(stamp, sizeof(stamp), "%04d_%02d_%02d_%02d_%02d_%02d", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return name + "." + stamp;
}

// A fixed-width line: 20 bytes, so five of them fill the 100-byte file.
std::string Line(int i) {
  char line[32];
  std::snprintf(line, sizeof(line), "line %04d ---------\n", i);
  return line;
}

std::string Lines(int first, int last) {
  std::string text;
  for (int i = first; i <= last; ++i) text += Line(i);
  return text;
}

// The sorted names of the files (not folders) directly in `folder`.
std::vector<std::string> FilesIn(const std::string& folder) {
  jx_mem_pool_t pool = jx_mem_pool_create(0);
  const jx_folder_listing listing = jx_folder_enumerate_all(1, folder.c_str(), pool);
  std::vector<std::string> names;
  for (uint32_t i = 0; i < listing.count; ++i) {
    const std::string entry = listing.entries[i];
    if (entry.back() != '/') names.push_back(entry.substr(entry.rfind('/') + 1));
  }
  jx_mem_pool_destory(pool);
  std::sort(names.begin(), names.end());
  return names;
}

class LogFileTest : public ::testing::Test {
 protected:
  LogFileTest() {
    settings_.folder = dir_ / "logs/";
    settings_.rotate_bytes = 100;
    clock_.wall_seconds = [] { return fake_seconds.load(); };
    fake_seconds = static_cast<int32_t>(kSomeSecond);
  }

  std::string LogPath() const { return settings_.folder + "trace.app.blog"; }
  std::string BackupFolder() const { return settings_.folder + "blog_backup/"; }
  std::string BackupPath(int64_t seconds) const {
    return BackupFolder() + ExpectedBackupName("trace.app.blog", seconds);
  }
  void WriteLines(jx::LogFile& file, int first, int last) {
    for (int i = first; i <= last; ++i) file.Write(Line(i));
  }

  jx::test::TempDir dir_;
  jx::LogSettings settings_;
  jx::LogClock clock_;
};

TEST_F(LogFileTest, MakesTheFolderOnTheFirstLineAndAppendsToWhatEarlierRunsLeft) {
  settings_.folder = dir_ / "a/b/c/";
  {
    jx::LogFile file(settings_, clock_);
    EXPECT_FALSE(file.is_open());
    file.Write(Line(1));
    EXPECT_TRUE(file.is_open());
    EXPECT_EQ(file.bytes_written(), 20u);
  }
  EXPECT_EQ(ReadTextFile(LogPath()), Line(1));

  // An earlier run left the file oversized: the size is only learnt on
  // opening, so the backup follows the first line.
  settings_.module = "mod";
  const std::string earlier(150, 'x');
  WriteFile(settings_.folder + "trace.mod.blog", earlier);
  jx::LogFile file(settings_, clock_);
  file.Write(Line(2));
  EXPECT_EQ(file.bytes_written(), 170u);
  EXPECT_EQ(ReadTextFile(settings_.folder + "trace.mod.blog"), earlier + Line(2));
  file.Write(Line(3));
  EXPECT_EQ(ReadTextFile(BackupFolder() + ExpectedBackupName("trace.mod.blog", kSomeSecond)),
            earlier + Line(2));
  EXPECT_EQ(ReadTextFile(settings_.folder + "trace.mod.blog"), Line(3));
}

TEST_F(LogFileTest, BacksTheFullFileUpUnderTheLocalTimeAtMostOnceASecondAndStartsAfresh) {
  jx::LogFile file(settings_, clock_);
  WriteLines(file, 1, 5);
  EXPECT_EQ(file.bytes_written(), 100u);
  EXPECT_EQ(FilesIn(BackupFolder()), std::vector<std::string>{});
  file.Write(Line(6));
  EXPECT_EQ(ReadTextFile(LogPath()), Line(6));
  EXPECT_EQ(file.bytes_written(), 20u);
  WriteLines(file, 7, 10);
  file.Write(Line(11));  // a second rotation in the same second: the copy is refused
  EXPECT_EQ(FilesIn(BackupFolder()),
            std::vector<std::string>{ExpectedBackupName("trace.app.blog", kSomeSecond)});
  EXPECT_EQ(ReadTextFile(BackupPath(kSomeSecond)), Lines(1, 5));
  EXPECT_EQ(ReadTextFile(LogPath()), Line(11));
}

TEST_F(LogFileTest, WipesTheBackupsOnceThereAreMoreThanTheBackupCount) {
  settings_.backup_count = 5;
  jx::test::WriteFile(BackupFolder() + "kept/note", "folders do not count");
  jx::LogFile file(settings_, clock_);
  WriteLines(file, 1, 5);
  std::vector<std::string> expected;
  for (int rotation = 1; rotation <= 6; ++rotation) {
    fake_seconds = static_cast<int32_t>(kSomeSecond + rotation);
    WriteLines(file, 1, 5);  // the first of them rotates
    expected.push_back(ExpectedBackupName("trace.app.blog", kSomeSecond + rotation));
    EXPECT_EQ(FilesIn(BackupFolder()), expected) << rotation;
  }
  EXPECT_TRUE(jx_folder_exist((BackupFolder() + "kept/").c_str()));

  // Six files are more than five: the seventh backup starts a new series.
  fake_seconds = static_cast<int32_t>(kSomeSecond + 7);
  file.Write(Line(1));
  EXPECT_EQ(FilesIn(BackupFolder()),
            std::vector<std::string>{ExpectedBackupName("trace.app.blog", kSomeSecond + 7)});
  EXPECT_FALSE(jx_folder_exist((BackupFolder() + "kept/").c_str()));
  EXPECT_EQ(ReadTextFile(BackupPath(kSomeSecond + 7)), Lines(1, 5));
}

TEST_F(LogFileTest, DropsLinesWhileTheFolderCannotBeMadeAndWritesOnceItCan) {
  const std::string blocker = dir_ / "blocked";
  settings_.folder = blocker + "/logs/";
  WriteFile(blocker, "a file where a folder should be");
  jx::LogFile file(settings_, clock_);
  WriteLines(file, 1, 3);
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(file.bytes_written(), 0u);

  ASSERT_TRUE(jx_file_remove(blocker.c_str()));
  file.Write(Line(4));
  EXPECT_TRUE(file.is_open());
  EXPECT_EQ(ReadTextFile(LogPath()), Line(4));
}

TEST_F(LogFileTest, NeverWritesThroughALinkAndBacksUpIntoItsOwnFolderOnly) {
  std::filesystem::create_directories(std::filesystem::u8path(settings_.folder));
  const std::string victim = dir_ / "victim";
  WriteFile(victim, "precious\n");
  if (!jx::test::MakeLink(LogPath(), victim)) GTEST_SKIP() << "no links here";
  jx::LogFile file(settings_, clock_);
  WriteLines(file, 1, 2);  // dropped: the link is not followed
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(ReadTextFile(victim), "precious\n");

  ASSERT_TRUE(jx_file_remove(LogPath().c_str()));
  ASSERT_TRUE(jx::test::MakeFifo(LogPath()));  // a pipe would hold the writer
  file.Write(Line(3));
  EXPECT_FALSE(file.is_open());

  ASSERT_TRUE(jx_file_remove(LogPath().c_str()));
  const std::string elsewhere = dir_ / "elsewhere/";
  ASSERT_TRUE(jx_folder_create(elsewhere.c_str()));
  ASSERT_TRUE(jx::test::MakeFolderLink(settings_.folder + "blog_backup", elsewhere));
  WriteLines(file, 1, 6);  // the sixth rotates
  EXPECT_EQ(ReadTextFile(LogPath()), Line(6));
  EXPECT_EQ(FilesIn(elsewhere), std::vector<std::string>{});
}

// The writer is killed while it copies the full log into its backup (a
// crash once the copy holds `crash_at` bytes); the process starts again
// within the same second and writes on. No line of the full log may be lost
// and nothing under a backup's name may be cut short.
TEST_F(LogFileTest, ACrashWhileBackingUpLosesNoLineWhenTheLogRestartsInTheSameSecond) {
  settings_.rotate_bytes = 20000;  // a thousand lines
  const std::string full = Lines(1, 1001);
  const std::string backup_name = ExpectedBackupName("trace.app.blog", kSomeSecond);
  for (int64_t crash_at = 1; crash_at < 20000; crash_at += 1009) {
    SCOPED_TRACE(crash_at);
    jx::test::TempDir run;
    settings_.folder = run / "logs/";
    WriteFile(LogPath(), Lines(1, 1000));
    const bool forked = jx::test::RunInForkedChild([&] {
      jx::LogFile file(settings_, clock_);
      file.Write(Line(1001));
      jx::test::CrashOnFileSizeOver(crash_at);
      file.Write(Line(1002));  // rotates: the crash comes in the copy
    });
    if (!forked) GTEST_SKIP() << "no fork here";
    ASSERT_EQ(ReadTextFile(LogPath()), full);  // the crash came before the log was deleted
    {
      jx::LogFile restarted(settings_, clock_);
      restarted.Write(Line(1003));
      restarted.Write(Line(1004));  // rotates
    }
    EXPECT_EQ(FilesIn(BackupFolder()), std::vector<std::string>{backup_name});
    EXPECT_EQ(ReadTextFile(BackupFolder() + backup_name), full + Line(1003));
    EXPECT_EQ(ReadTextFile(LogPath()), Line(1004));
  }
}

TEST(LogFolder, DefaultsToLogInTheApplicationRoot) {
  const jx_app_config config = jx_get_app_config();
  EXPECT_EQ(jx::LogFolder(""), std::string(config.root) + "log/");
  EXPECT_EQ(jx::LogFolder("no-slash"), "no-slash");  // used as given
  jx_free(config.root);
  jx_free(config.config_path);
}

}  // namespace
