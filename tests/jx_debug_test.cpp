#include "base/jx_debug.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/jx_file.h"
#include "support/jx_test_support.h"

#ifdef _WIN32
#include <io.h>
#define close _close
#else
#include <unistd.h>
#endif

namespace {

using jx::test::OnWindows;
using jx::test::ReadFile;

// Stands in for the console: the standard output and error descriptors point
// at a file until Release gives the test runner its own output back.
class FakeConsole {
 public:
  explicit FakeConsole(const std::string& path) : saved_{Flush(stdout), Flush(stderr)} {
    jx_file_t file = jx_file_open(path.c_str(), "ab");
    jx_file_dup2(jx_file_no(&file), 1);
    jx_file_dup2(jx_file_no(&file), 2);
    jx_file_close(&file);
  }
  ~FakeConsole() { Release(); }
  void Release() {
    for (int i = 0; i < 2 && saved_[i] >= 0; ++i) {
      std::FILE* stream = i == 0 ? stdout : stderr;
      std::fflush(stream);
      // Windows resumes by reopening the streams on "CON", which fails
      // without a console and leaves them closed: open them again first.
      jx_file_t file = OnWindows() ? jx_file_ropen("NUL", "a", stream) : stream;
      jx_file_dup2(saved_[i], jx_file_no(&file));
      close(saved_[i]);
      saved_[i] = -1;
    }
  }

 private:
  static int Flush(std::FILE* stream) {
    std::fflush(stream);
    return jx_file_dup(stream == stdout ? 1 : 2);
  }
  int saved_[2];
};

TEST(ConsoleOutput, DebugLinesAreFlushedAndRedirectsAppendUntilTheFirstOutputIsResumed) {
  for (const char* none : {static_cast<const char*>(nullptr), "", "./"}) {
    EXPECT_FALSE(jx_std_console_print_redirect(none));
  }
  jx::test::TempDir dir;
  jx::test::WriteFile(dir / "first.txt", "before\n");
  FakeConsole console(dir / "console.txt");
  jx_debug_output("100%s done");
  jx_debug_output(nullptr);
  jx_trace_printf("%s %d", "ignored", 5);
  jx_debug_output("\xC3\xA9t\xC3\xA9");
  const std::string debug = ReadFile(dir / "console.txt");
  const bool idle_resume = OnWindows() || jx_std_console_print_resume();  // nothing to undo
  const bool first = jx_std_console_print_redirect((dir / "first.txt").c_str());
  std::printf("out\n");
  std::fflush(stdout);
  std::fprintf(stderr, "err\n");
  bool later = true;  // Windows resumes on the console device, which no test can read
  if (!OnWindows()) {
    later = !jx_std_console_print_redirect((dir / "missing/x.txt").c_str()) &&
            jx_std_console_print_redirect((dir / "second.txt").c_str());
    std::printf("two\n");
  }
  const bool resumed = jx_std_console_print_resume();
  std::printf("three\n");
  console.Release();

  EXPECT_EQ(debug, "100%s done\n\n\xC3\xA9t\xC3\xA9\n");
  EXPECT_TRUE(idle_resume && first && later);
  const std::string eol = OnWindows() ? "\r\n" : "\n";  // the streams write text mode
  EXPECT_EQ(ReadFile(dir / "first.txt"), "before\nout" + eol + "err" + eol);
  EXPECT_EQ(ReadFile(dir / "console.txt"), debug + (OnWindows() ? "" : "three\n"));
  EXPECT_TRUE(OnWindows() || (resumed && ReadFile(dir / "second.txt") == "two\n"));
}

}  // namespace
