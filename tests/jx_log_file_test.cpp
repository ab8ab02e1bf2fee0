// The log file as the writer keeps it: rotation, backups and faults. A small
// rotation size keeps these tests fast; the rules are the same at 20 MiB.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "base/jx_file.h"
#include "base/jx_folder.h"
#include "base/jx_plog_file.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::ReadTextFile;
using Names = std::vector<std::string>;

constexpr int32_t kSomeSecond = 1735808701;  // early January 2025 in every time zone
int32_t fake_seconds = kSomeSecond;

// Fixed-width lines of 20 bytes, so five of them fill the 100-byte file.
std::string Lines(int first, int last) {
  std::string text;
  for (char line[32]; first <= last; ++first) {
    text += (std::snprintf(line, sizeof(line), "line %04d ---------\n", first), line);
  }
  return text;
}

// The sorted names of the files (not folders) directly in `folder`.
Names FilesIn(const std::string& folder) {
  Names names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class LogFileTest : public ::testing::Test {
 protected:
  LogFileTest() {
    settings_.folder = dir_ / "logs/";
    settings_.rotate_bytes = 100;
    clock_.wall_seconds = [] { return fake_seconds; };
    fake_seconds = kSomeSecond;
  }
  std::string LogPath() const { return settings_.folder + "trace.app.blog"; }
  std::string Backups() const { return settings_.folder + "blog_backup/"; }
  static void Write(jx::LogFile& file, int first, int last) {
    for (; first <= last; ++first) file.Write(Lines(first, first));
  }

  jx::test::TempDir dir_;
  jx::LogSettings settings_;
  jx::LogClock clock_;
};

// A backup at most once a second; past the backup count (files only) the
// backup folder is wiped and a new series starts.
TEST_F(LogFileTest, BacksTheFullFileUpUnderTheLocalTimeAndWipesBackupsPastTheCount) {
  settings_.backup_count = 2;
  jx::test::WriteFile(Backups() + "kept/note", "folders do not count");
  jx::LogFile file(settings_, clock_);
  Write(file, 1, 5);
  EXPECT_EQ(FilesIn(Backups()), Names{});
  Write(file, 6, 11);  // the sixth rotates; the eleventh is refused a copy in the same second
  EXPECT_EQ(ReadTextFile(LogPath()), Lines(11, 11));
  const Names first = FilesIn(Backups());
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].rfind("trace.app.blog.2025_01_0", 0), 0u) << first[0];  // the local time
  EXPECT_EQ(ReadTextFile(Backups() + first[0]), Lines(1, 5));
  for (fake_seconds = kSomeSecond + 1; fake_seconds <= kSomeSecond + 2; ++fake_seconds) {
    Write(file, 1, 5);
  }
  EXPECT_EQ(FilesIn(Backups()).size(), 3u);
  EXPECT_TRUE(jx_folder_exist((Backups() + "kept/").c_str()));
  Write(file, 1, 5);
  EXPECT_EQ(FilesIn(Backups()).size(), 1u);  // wiped, then the new one
}

// A viewer that keeps the log open without sharing deletion (Windows): the
// log is emptied in place, and each rotation makes one backup.
TEST_F(LogFileTest, AViewerHoldingTheLogOpenDoesNotStopItsRotation) {
  jx::LogFile file(settings_, clock_);
  Write(file, 1, 1);
  const auto viewer = jx::test::HoldOpenForReading(LogPath());
  ASSERT_NE(viewer, nullptr);
  Write(file, 2, 6);  // the sixth rotates
  ++fake_seconds;
  Write(file, 7, 11);  // and the eleventh, a second later
  EXPECT_EQ(ReadTextFile(LogPath()), Lines(11, 11));
  EXPECT_EQ(FilesIn(Backups()).size(), 2u);
}

// Lines that cannot be written safely are dropped.
TEST_F(LogFileTest, NeverWritesThroughALinkOrIntoAPipeNorBacksUpThroughALinkedFolder) {
  jx::LogFile file(settings_, clock_);
  ASSERT_TRUE(jx_folder_create(settings_.folder.c_str()));
  jx::test::WriteFile(dir_ / "victim", "precious\n");
  if (jx::test::MakeLink(LogPath(), dir_ / "victim")) {
    Write(file, 1, 2);
    EXPECT_FALSE(file.is_open());
    EXPECT_EQ(ReadTextFile(dir_ / "victim"), "precious\n");
    ASSERT_TRUE(jx_file_remove(LogPath().c_str()) && jx::test::MakeFifo(LogPath()));
    Write(file, 3, 3);  // a pipe would hold the writer
    EXPECT_FALSE(file.is_open());
    ASSERT_TRUE(jx_file_remove(LogPath().c_str()));
  }
  ASSERT_TRUE(jx_folder_create((dir_ / "elsewhere/").c_str()));
  const bool linked = jx::test::MakeFolderLink(Backups(), dir_ / "elsewhere/");
  Write(file, 1, 6);  // the sixth rotates
  EXPECT_EQ(ReadTextFile(LogPath()), Lines(6, 6));
  EXPECT_TRUE(!linked || FilesIn(dir_ / "elsewhere/").empty());
}

}  // namespace
