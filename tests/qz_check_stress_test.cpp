// The check under load: callers on several threads with the log on, a
// manifest of ten million lines, and version folders that come and go while
// they are listed. This program turns the process-wide log on.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/jx_folder.h"
#include "base/jx_log.h"
#include "base/jx_thread.h"
#include "mird_check.h"
#include "qz_check_trelm_version.h"
#include "support/jx_test_check.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::CheckOutcome;
using jx::test::ManifestLine;
using jx::test::Md5Of;
using jx::test::TempDir;
using jx::test::WriteFile;
using jx::test::WriteVersion;

// A temporary home for the user's folders with the log turned on inside it,
// made on first use, before anything has asked for those folders.
struct Home {
  Home() {
    own_profile = jx::test::UseTemporaryProfile(dir.path());
    jx_log_init((dir / "log/").c_str(), "stress", JX_LOG_VERBOSE);
  }
  TempDir dir;
  bool own_profile = false;
  const std::string log_file = dir / "log/trace.stress.blog";
};

Home& TheHome() {
  static Home home;
  return home;
}

// The log lines of the thread `thread_id`: their messages, after "[jx] ".
// Every line of the file must be whole.
std::vector<std::string> MessagesOf(const std::string& log, int64_t thread_id) {
  static const std::regex whole(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3}\]\[P\d+ T(\d+)\])"
                                R"(\[[VDIWEF?]:[0-9A-F]{4,8}\]\[[^\]]*\]\[\w+\] (.*)\r?)");
  std::vector<std::string> messages;
  size_t start = 0;
  for (size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = log.substr(start, end - start);
    std::smatch parts;
    EXPECT_TRUE(std::regex_match(line, parts, whole)) << line;
    if (std::stoll(parts[1]) == thread_id) messages.push_back(parts[2]);
  }
  EXPECT_EQ(start, log.size()) << "the log ends inside a line";
  return messages;
}

TEST(CheckUnderLoad, CallersOnFourThreadsGetOneResultAndTheLogKeepsEachCallersLines) {
  Home& home = TheHome();
  if (!home.own_profile) GTEST_SKIP() << "the profile folder cannot be replaced for one process";
  const std::string version = home.dir / "install/3.1.0.7/";
  WriteFile(version + "good", "good");
  WriteFile(version + "changed", "changed");
  WriteFile(version + "verify.md5.check", ManifestLine("good", "good") + "junk\n" +
                                              ManifestLine("changed", "before") +
                                              ManifestLine("gone", "gone"));
  WriteFile(home.dir / ".trelm_install", home.dir / "install/");

  constexpr int kThreads = 4;
  constexpr int kCalls = 20;  // 400 log lines: no backlog warning
  std::vector<std::vector<CheckOutcome>> outcomes(kThreads, std::vector<CheckOutcome>(kCalls));
  std::vector<int64_t> thread_ids(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      thread_ids[t] = jx_get_current_thread_id();
      for (CheckOutcome& outcome : outcomes[t]) mird_check(&outcome, jx::test::RecordOutcome);
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& of_thread : outcomes) {
    for (const CheckOutcome& outcome : of_thread) {
      ASSERT_EQ(outcome.calls, 1);
      EXPECT_EQ(outcome.user, &outcome);
      EXPECT_EQ(outcome.code, QZ_CHECK_FILES_MISMATCH);
      EXPECT_EQ(outcome.text1 + outcome.text2, "");
      EXPECT_EQ(outcome.report, "{\"fileLists\":[\"changed\",\"gone\"]}");
    }
  }

  // A thread's lines are written in its order, so once every call's last
  // line is in the file, all of them are.
  const std::string last = "[dest] file NOT match MD5! -> gone, [" + Md5Of("gone") + ", ]";
  const std::string log = jx::test::WaitForFileContent(home.log_file, [&](const std::string& text) {
    size_t count = 0;
    for (size_t at = text.find(last); at != std::string::npos; at = text.find(last, at + 1)) {
      ++count;
    }
    return count == size_t{kThreads} * kCalls;
  });
  const std::vector<std::regex> call_lines = {
      std::regex(R"(\[md5 error\]\[ \] -> junk)"),
      std::regex(R"(\[md5 error\] junk)"),
      std::regex(R"(\[dest\] file NOT match MD5! -> changed, \[)" + Md5Of("before") + ", " +
                 Md5Of("changed") + R"(\])"),
      std::regex(R"(\[dest\] file info match MD5! -> 7, -?\d+, -?\d+, -?\d+)"),
      std::regex(R"(\[dest\] file NOT match MD5! -> gone, \[)" + Md5Of("gone") + R"(, \])"),
  };
  for (int64_t thread_id : thread_ids) {
    const std::vector<std::string> messages = MessagesOf(log, thread_id);
    ASSERT_EQ(messages.size(), call_lines.size() * kCalls) << thread_id;
    for (size_t i = 0; i < messages.size(); ++i) {
      ASSERT_TRUE(std::regex_match(messages[i], call_lines[i % call_lines.size()])) << messages[i];
    }
  }
}

TEST(CheckUnderLoad, AManifestOfTenMillionLinesIsReadToItsEndInBoundedMemory) {
  TheHome();
  constexpr int kManifestLines = 10000000;
  TempDir version;
  WriteFile(version / "first", "first");
  {
    // Empty lines, which the check skips without a log line: 20 bytes a line
    // pair of CR LF, about 20 MB in all.
    std::ofstream manifest(std::filesystem::u8path(version / "verify.md5.check"), std::ios::binary);
    manifest << ManifestLine("first", "first");
    std::string crlf;
    for (int i = 0; i < 50000; ++i) crlf += "\r\n";
    for (int i = 0; i < kManifestLines / 50000; ++i) manifest << crlf;
    manifest << ManifestLine("last", "last");
  }
  const int64_t peak_before = jx::test::PeakResidentBytes();
  const QZCheckResult result = QZCheckVersionFilesMD5Check(version.path(), QZCheckRecheckFn());
  EXPECT_EQ(result.code, QZ_CHECK_FILES_MISMATCH);
  EXPECT_EQ(result.report, "{\"fileLists\":[\"last\"]}");  // the last line was reached
  if (peak_before > 0) {
    // Holding every line at once would take hundreds of megabytes.
    EXPECT_LT(jx::test::PeakResidentBytes() - peak_before, int64_t{64} << 20);
  }
}

TEST(CheckUnderLoad, AQuarterGigabyteLineIsCutInBoundedMemoryAndTheNextLineIsRead) {
  TheHome();
  TempDir version;
  const std::filesystem::path manifest = std::filesystem::u8path(version / "verify.md5.check");
  { std::ofstream create(manifest, std::ios::binary); }
  std::filesystem::resize_file(manifest, int64_t{256} << 20);  // NULs, sparse where it can be
  {
    std::ofstream append(manifest, std::ios::binary | std::ios::app);
    append << "\n" << ManifestLine("last", "last");
  }
  const int64_t peak_before = jx::test::PeakResidentBytes();
  const QZCheckResult result = QZCheckVersionFilesMD5Check(version.path(), QZCheckRecheckFn());
  EXPECT_EQ(result.report, "{\"fileLists\":[\"last\"]}");
  if (peak_before > 0) {
    EXPECT_LT(jx::test::PeakResidentBytes() - peak_before, int64_t{16} << 20);
  }
}

// Another program swaps a listed file for a FIFO that a writer holds open,
// and back, by renames, while the check runs again and again: a file tested
// by name and then opened could turn into the FIFO in between and block the
// read for ever.
TEST(CheckUnderLoad, AListedFileSwappedForAHeldPipeNeverHoldsTheCheck) {
  TempDir version;
  WriteVersion(version.path(), {{"f", "content"}});
  if (!jx::test::MakeFifo(version / "probe")) GTEST_SKIP() << "no FIFOs here";
  constexpr int kSwaps = 400;  // each held pipe takes a descriptor
  std::vector<std::unique_ptr<std::fstream>> writers;
  for (int i = 0; i < kSwaps; ++i) {
    const std::string pipe = version / ("pipe" + std::to_string(i));
    ASSERT_TRUE(jx::test::MakeFifo(pipe));
    // Read and write: opening does not wait for a reader.
    writers.push_back(std::make_unique<std::fstream>(std::filesystem::u8path(pipe),
                                                     std::ios::in | std::ios::out));
    WriteFile(version / ("file" + std::to_string(i)), "content");
  }
  std::atomic<bool> swapping{true};
  std::thread swapper([&] {
    for (int i = 0; i < kSwaps; ++i) {
      std::filesystem::rename(std::filesystem::u8path(version / ("pipe" + std::to_string(i))),
                              std::filesystem::u8path(version / "f"));
      std::filesystem::rename(std::filesystem::u8path(version / ("file" + std::to_string(i))),
                              std::filesystem::u8path(version / "f"));
    }
    swapping = false;
  });
  int checks = 0;
  while (swapping || checks == 0) {
    const int code = QZCheckVersionFilesMD5Check(version.path(), QZCheckRecheckFn()).code;
    ASSERT_TRUE(code == QZ_CHECK_OK || code == QZ_CHECK_FILES_MISMATCH);
    ++checks;
  }
  swapper.join();
}

TEST(CheckUnderLoad, SelectionWhileVersionFoldersComeAndGoAlwaysSeesTheOneThatStays) {
  TempDir root;
  WriteFile(root / "1.0.0.0/a", "a");
  std::atomic<bool> done{false};
  std::thread churn([&] {
    for (int i = 0; i < 100; ++i) {
      const std::string folder = root / ("2.0.0." + std::to_string(i % 7) + "/");
      WriteFile(folder + "a", "a");
      jx_folder_recursive_remove(folder.c_str());
    }
    done = true;
  });
  QZCheckVersionSelector selector;
  std::set<std::string> chosen;
  while (!done) chosen.insert(selector.FindLatestVersion(root.path()));
  churn.join();
  for (const std::string& name : chosen) {
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(1\.0\.0\.0|2\.0\.0\.[0-6])"))) << name;
  }
  EXPECT_EQ(selector.FindLatestVersion(root.path()), "1.0.0.0");
}

}  // namespace
