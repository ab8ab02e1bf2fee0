#include "base/jx_debug.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/jx_file.h"
#include "support/jx_test_support.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

using jx::test::OnWindows;
using jx::test::ReadFile;
using jx::test::TempDir;
using jx::test::WriteFile;

// Stands in for the console: points the standard output and error
// descriptors at a file until Release, then gives the test runner its own
// output back.
class FakeConsole {
 public:
  explicit FakeConsole(const std::string& path) {
    Flush();
    saved_out_ = jx_file_dup(1);
    saved_err_ = jx_file_dup(2);
    jx_file_t file = jx_file_open(path.c_str(), "ab");
    jx_file_dup2(jx_file_no(&file), 1);
    jx_file_dup2(jx_file_no(&file), 2);
    jx_file_close(&file);
  }
  ~FakeConsole() { Release(); }

  void Release() {
    if (saved_out_ < 0) return;
    Reattach(stdout, saved_out_);
    Reattach(stderr, saved_err_);
    Close(saved_out_);
    Close(saved_err_);
    saved_out_ = saved_err_ = -1;
  }

 private:
  static void Flush() {
    std::fflush(stdout);
    std::fflush(stderr);
  }
  // Windows resumes by reopening the streams on "CON", which fails without a
  // console and leaves them closed: open them again before pointing them back.
  static void Reattach(std::FILE* stream, int saved) {
    std::fflush(stream);
    jx_file_t file = stream;
    if (OnWindows()) file = jx_file_ropen("NUL", "a", stream);
    jx_file_dup2(saved, jx_file_no(&file));
  }
  static void Close(int fd) {
#ifdef _WIN32
    _close(fd);
#else
    close(fd);
#endif
  }

  int saved_out_ = -1;
  int saved_err_ = -1;
};

TEST(DebugOutput, PrintsTheTextAsItIsWithALineFeed) {
  TempDir dir;
  FakeConsole console(dir / "console.txt");
  jx_debug_output("100%s done");
  jx_debug_output(nullptr);
  jx_trace_printf("%s %d", "ignored", 5);
  jx_debug_output("\xC3\xA9t\xC3\xA9");
  console.Release();
  EXPECT_EQ(ReadFile(dir / "console.txt"), "100%s done\n\n\xC3\xA9t\xC3\xA9\n");
}

TEST(ConsoleRedirect, PrintsLandAtTheEndOfTheFileUntilResumed) {
  EXPECT_FALSE(jx_std_console_print_redirect(nullptr));
  EXPECT_FALSE(jx_std_console_print_redirect(""));
  EXPECT_FALSE(jx_std_console_print_redirect("./"));  // normalises to ""
  TempDir dir;
  const std::string log = dir / "redirected.txt";
  WriteFile(log, "before\n");
  FakeConsole console(dir / "console.txt");
  const bool redirected = jx_std_console_print_redirect(log.c_str());
  std::printf("out\n");
  std::fflush(stdout);
  std::fprintf(stderr, "err\n");
  const bool resumed = jx_std_console_print_resume();
  std::printf("back\n");
  console.Release();

  EXPECT_TRUE(redirected);
  const std::string eol = OnWindows() ? "\r\n" : "\n";  // the streams write text mode
  EXPECT_EQ(ReadFile(log), "before\nout" + eol + "err" + eol);
  if (OnWindows()) {
    // Windows resumes on the console device itself, which this test cannot
    // read; under Wine without a console the reopening fails.
    EXPECT_EQ(ReadFile(dir / "console.txt"), "");
  } else {
    EXPECT_TRUE(resumed);
    EXPECT_EQ(ReadFile(dir / "console.txt"), "back\n");
  }
}

#ifndef _WIN32
TEST(ConsoleRedirect, ResumeRestoresTheOutputSavedByTheFirstRedirect) {
  TempDir dir;
  FakeConsole console(dir / "console.txt");
  const bool idle_resume = jx_std_console_print_resume();  // nothing to undo
  const bool first = jx_std_console_print_redirect((dir / "first.txt").c_str());
  const bool unusable = jx_std_console_print_redirect((dir / "missing/x.txt").c_str());
  std::printf("one\n");
  std::fflush(stdout);
  const bool second = jx_std_console_print_redirect((dir / "second.txt").c_str());
  std::printf("two\n");
  const bool resumed = jx_std_console_print_resume();
  std::printf("three\n");
  console.Release();

  EXPECT_TRUE(idle_resume);
  EXPECT_TRUE(first);
  EXPECT_FALSE(unusable);  // and changed nothing
  EXPECT_TRUE(second);
  EXPECT_TRUE(resumed);
  EXPECT_EQ(ReadFile(dir / "first.txt"), "one\n");
  EXPECT_EQ(ReadFile(dir / "second.txt"), "two\n");
  EXPECT_EQ(ReadFile(dir / "console.txt"), "three\n");
}
#endif

}  // namespace
