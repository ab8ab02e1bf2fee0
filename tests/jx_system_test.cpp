#include "base/jx_system.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/jx_file.h"
#include "base/jx_string.h"
#include "base/jx_text.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"
#include "support/jx_test_support.h"
#include "support/jx_test_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace {

using jx::test::OnWindows;
using jx::test::ReadFile;
using jx::test::TempDir;
using jx::test::WriteFile;

using jx::test::TextGetter;

// The getter's text; "" when it returned false. A success always hands out a
// text, never empty and without NULs.
std::string TextOf(const TextGetter& getter) {
  const std::string text = jx::test::TextOf(getter, "<failed>");
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find('\0'), std::string::npos);
  return text == "<failed>" ? "" : text;
}

std::string Argument(int index) {
  return TextOf(
      [index](char** text, uint32_t* length) { return jx_command_line_at(index, text, length); });
}

std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  for (int i = 0; i < jx_command_line_args_count(); ++i) args.push_back(Argument(i));
  return args;
}

// The C view of `texts`, valid while they live.
std::vector<const char*> Pointers(const std::vector<std::string>& texts) {
  std::vector<const char*> pointers;
  for (const std::string& text : texts) pointers.push_back(text.c_str());
  return pointers;
}

void ResetArguments(const std::vector<std::string>& args) {
  const std::vector<const char*> texts = Pointers(args);
  jx_command_line_reset(static_cast<int>(texts.size()), texts.data());
}

std::string ProgramPath() { return TextOf(jx_get_path_file_current_exe); }

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Polls until `done` holds; the limit only keeps a broken build from hanging
// the run.
void WaitUntil(const std::function<bool()>& done) {
  const int64_t give_up = jx_clock_tick_milliseconds() + 120000;
  while (!done() && jx_clock_tick_milliseconds() < give_up) jx_this_thread_sleep(10);
}

void WaitUntilEnded(int64_t pid) {
  WaitUntil([pid] { return !jx_process_is_alive(pid); });
}

// Runs `check` with the id of another thread of this process that is alive
// meanwhile.
void WithLiveThreadId(const std::function<void(int64_t)>& check) {
  std::atomic<int64_t> id{0};
  std::atomic<bool> checked{false};
  std::thread other([&] {
    id = jx_get_current_thread_id();
    while (!checked.load()) jx_this_thread_yield();
  });
  while (id.load() == 0) jx_this_thread_yield();
  check(id.load());
  checked = true;
  other.join();
}

// --- children: this program started again to run one disabled test ---

// Where a child finds the file it records to: after the program and the two
// test-selection flags.
constexpr int kRecordIndex = 3;

std::vector<std::string> ChildArguments(const std::string& test, const std::string& record,
                                        const std::vector<std::string>& extra) {
  std::vector<std::string> args = {ProgramPath(), "--gtest_filter=SystemChild.DISABLED_" + test,
                                   "--gtest_also_run_disabled_tests", record};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

int64_t Launch(const std::vector<std::string>& args) {
  const std::vector<const char*> texts = Pointers(args);
  return jx_process_launch(static_cast<int>(texts.size()), texts.data());
}

// Runs SystemChild.DISABLED_<test> in a new process and returns what it
// recorded ("" when it recorded nothing). `launched` receives the arguments
// the child was given.
std::string RunChild(const std::string& test, const std::vector<std::string>& extra = {},
                     std::vector<std::string>* launched = nullptr) {
  TempDir dir;
  const std::vector<std::string> args = ChildArguments(test, dir / "record.txt", extra);
  if (launched != nullptr) *launched = args;
  const int64_t child = Launch(args);
  EXPECT_GT(child, 0);
  WaitUntilEnded(child);
  EXPECT_FALSE(jx_process_is_alive(child));
  return ReadFile(dir / "record.txt");
}

void Record(const std::string& text) { WriteFile(Argument(kRecordIndex), text); }

std::string Lines(const std::vector<std::string>& texts) {
  std::string lines;
  for (const std::string& text : texts) lines += "[" + text + "]\n";
  return lines;
}

TEST(SystemChild, DISABLED_RecordsItsArguments) { Record(Lines(Arguments())); }

TEST(SystemChild, DISABLED_SleepsUntilEnded) {
  for (int i = 0; i < 1200; ++i) jx_this_thread_sleep(100);
}

#ifndef _WIN32
// Applies the arguments after the record path to the environment
// ("NAME=value" sets, "-NAME" removes) before the first use of the folders.
TEST(SystemChild, DISABLED_RecordsUserFolders) {
  for (int i = kRecordIndex + 1; i < jx_command_line_args_count(); ++i) {
    const std::string setting = Argument(i);
    const size_t equals = setting.find('=');
    if (setting[0] == '-') {
      unsetenv(setting.c_str() + 1);
    } else {
      setenv(setting.substr(0, equals).c_str(), setting.c_str() + equals + 1, 1);
    }
  }
  Record(Lines({TextOf(jx_get_os_user_root_path), TextOf(jx_get_os_user_local_path),
                TextOf(jx_get_os_user_cache_path)}));
}
#endif

// Many threads make the first use of every cache at once; each records what
// it saw, and all must agree. Under ThreadSanitizer this also checks that the
// first computations do not race.
TEST(SystemChild, DISABLED_RecordsConcurrentFirstUse) {
  constexpr int kThreads = 8;
  std::atomic<bool> go{false};
  std::vector<std::string> seen(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      while (!go.load()) jx_this_thread_yield();
      seen[i] = std::to_string(jx_command_line_args_count()) + "|" + Argument(kRecordIndex) + "|" +
                TextOf(jx_get_os_user_root_path) + "|" + TextOf(jx_get_os_user_local_path) + "|" +
                TextOf(jx_get_os_user_cache_path) + "|" + ProgramPath() + "|" +
                TextOf(jx_get_os_kernel_version);
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();
  bool same = true;
  for (const std::string& one : seen) same = same && one == seen[0];
  Record(same ? "same" : Lines(seen));
}

// --- text results ---

TEST(SystemText, MissingOutputsGiveFalse) {
  char* text = nullptr;
  uint32_t length = 0;
  EXPECT_FALSE(jx_get_os_user_root_path(nullptr, &length));
  EXPECT_FALSE(jx_get_os_user_root_path(&text, nullptr));
  EXPECT_FALSE(jx_get_os_kernel_version(nullptr, nullptr));
  EXPECT_FALSE(jx_command_line_at(0, nullptr, &length));
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(length, 0u);
}

// --- user folders, program path, working folder ---

TEST(UserFolders, EndInSlashAndUseOnlySlashes) {
  for (const TextGetter& getter :
       {TextGetter(jx_get_os_user_root_path), TextGetter(jx_get_os_user_local_path),
        TextGetter(jx_get_os_user_cache_path)}) {
    const std::string folder = TextOf(getter);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(folder.find('\\'), std::string::npos) << folder;
    EXPECT_EQ(folder, jx::FixPathText(folder));
    EXPECT_EQ(folder, TextOf(getter));  // cached: the same every time
  }
}

TEST(UserFolders, FollowHomeAndTheDataVariables) {
  if (OnWindows()) GTEST_SKIP() << "Windows asks the shell";
#ifndef _WIN32
  // Without HOME the account's entry decides; a user without one has no folders.
  const passwd* entry = getpwuid(getuid());
  std::string account_home = entry != nullptr ? jx::FixPathText(entry->pw_dir) : "";
  if (!account_home.empty() && account_home.back() != '/') account_home += '/';
  const auto in_account_home = [&](const std::string& sub) {
    return account_home.empty() ? "" : account_home + sub;
  };
  EXPECT_EQ(RunChild("RecordsUserFolders", {"HOME=/home/jx", "-XDG_DATA_HOME", "-XDG_CONFIG_HOME"}),
            Lines({"/home/jx/", "/home/jx/.local/share/", "/home/jx/.config/"}));
  // Relative data folders are invalid and ignored.
  EXPECT_EQ(RunChild("RecordsUserFolders",
                     {"HOME=/tmp/jx home//x/./", "XDG_DATA_HOME=", "XDG_CONFIG_HOME=rel/config"}),
            Lines({"/tmp/jx home/x/", "/tmp/jx home/x/.local/share/", "/tmp/jx home/x/.config/"}));
  EXPECT_EQ(RunChild("RecordsUserFolders",
                     {"HOME=", "XDG_DATA_HOME=/data\\x", "XDG_CONFIG_HOME=/config/"}),
            Lines({account_home, "/data/x/", "/config/"}));
  EXPECT_EQ(RunChild("RecordsUserFolders", {"-HOME", "-XDG_DATA_HOME", "-XDG_CONFIG_HOME"}),
            Lines({account_home, in_account_home(".local/share/"), in_account_home(".config/")}));
#endif
}

TEST(ProgramPath, NamesThisTestProgramAsTheCommandLineStarts) {
  const std::string path = ProgramPath();
  EXPECT_TRUE(EndsWith(path, OnWindows() ? "/jx_system_test.exe" : "/jx_system_test")) << path;
  EXPECT_EQ(path.find('\\'), std::string::npos);
  EXPECT_TRUE(jx_file_exist(path.c_str()));
  ASSERT_GE(jx_command_line_args_count(), 1);
  const std::string program = Argument(0);
  EXPECT_TRUE(EndsWith(program, OnWindows() ? "jx_system_test.exe" : "jx_system_test")) << program;
}

TEST(WorkingFolder, FollowsTheLastSuccessfulChange) {
  const std::string original = TextOf(jx_get_current_work_path);
  ASSERT_FALSE(original.empty());
  EXPECT_EQ(original.find('\\'), std::string::npos);

  TempDir dir;
  WriteFile(dir / "marker.txt", "x");
  jx_set_current_work_path(dir.path().c_str());
  EXPECT_TRUE(jx_file_exist("marker.txt"));
  const std::string changed = TextOf(jx_get_current_work_path);
  const std::string folder_name =
      jx_file_base_name(dir.path().substr(0, dir.path().size() - 1).c_str(), 0);
  EXPECT_TRUE(EndsWith(changed, "/" + folder_name)) << changed;  // no trailing "/"

  jx_set_current_work_path(nullptr);
  jx_set_current_work_path("");
  jx_set_current_work_path((dir / "missing").c_str());
  EXPECT_EQ(TextOf(jx_get_current_work_path), changed);

  jx_set_current_work_path(original.c_str());
  EXPECT_EQ(TextOf(jx_get_current_work_path), original);
}

// --- thread name, kernel version, memory ---

TEST(ThreadName, ReadsBackWhatWasSetAndAcceptsAnyName) {
  std::thread([] {
    ASSERT_TRUE(jx_set_current_thread_name("jx-worker"));
    EXPECT_EQ(TextOf(jx_get_current_thread_name), "jx-worker");
    ASSERT_TRUE(jx_set_current_thread_name("a-long-thread-name"));
    // Linux keeps 15 bytes of a name.
    EXPECT_EQ(TextOf(jx_get_current_thread_name),
              OnWindows() ? "a-long-thread-name" : "a-long-thread-n");
    // Any name is accepted, however long, even none.
    EXPECT_TRUE(jx_set_current_thread_name(std::string(64, 'n').c_str()));
    EXPECT_TRUE(jx_set_current_thread_name("r\xC3\xA9sum\xC3\xA9-of-a-long-thread"));
    EXPECT_TRUE(jx_set_current_thread_name(nullptr));
  }).join();
}

TEST(KernelVersion, IsThreeNumbers) {
  const std::string version = TextOf(jx_get_os_kernel_version);
  int major = -1;
  int minor = -1;
  int build = -1;
  char tail = 0;
  ASSERT_EQ(std::sscanf(version.c_str(), "%d.%d.%d%c", &major, &minor, &build, &tail), 3)
      << version;
  EXPECT_GT(major, 0);
  EXPECT_EQ(version,
            std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build));
}

TEST(Memory, ReportsMebibytesOfTheSystemAndOfThisLiveProcess) {
  int64_t total = -1;
  int64_t available = -1;
  ASSERT_TRUE(jx_get_os_global_memory(&total, &available));
  EXPECT_GT(total, 0);
  EXPECT_GE(available, 0);
  EXPECT_LE(available, total);
  EXPECT_TRUE(jx_get_os_global_memory(nullptr, nullptr));
  const int64_t self = jx_get_current_process_id();
  EXPECT_TRUE(jx_process_is_alive(self));
  int64_t mib = -1;
  EXPECT_TRUE(jx_get_process_memory(self, &mib));
  EXPECT_GE(mib, 0);
}

// --- processes ---

void ExpectNoProcess(int64_t id) {
  EXPECT_FALSE(jx_process_is_alive(id)) << id;
  int64_t mib = 77;
  EXPECT_FALSE(jx_get_process_memory(id, &mib)) << id;
  EXPECT_EQ(mib, 0);
  EXPECT_EQ(jx_process_terminate(id, 1), -1) << id;
}

TEST(Processes, IdsThatNameNoProcessAreRefused) {
  // 0x100000004 would name process 4 if cut to 32 bits.
  for (int64_t never :
       {int64_t{0}, int64_t{-1}, int64_t{0x7FFFFFF0}, int64_t{0x100000004}, INT64_MIN, INT64_MAX}) {
    ExpectNoProcess(never);
  }
  WithLiveThreadId(ExpectNoProcess);  // a thread's id names no process
}

#ifndef _WIN32
TEST(ProcessAlive, HoldsForProcessesThatDenyAccessButNotForAnExitedChild) {
  EXPECT_TRUE(jx_process_is_alive(1));  // init, usually another user's
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);  // not reaped
  EXPECT_FALSE(jx_process_is_alive(child));
  EXPECT_FALSE(jx_get_process_memory(child, nullptr));
  EXPECT_EQ(jx_process_terminate(child, 1), 0);  // it is still there
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  EXPECT_FALSE(jx_process_is_alive(child));
}

TEST(ProcessLaunch, ReapsTheChildOnceItEnds) {
  const char* args[] = {"/bin/sh", "-c", "exit 3"};
  const int64_t child = jx_process_launch(3, args);
  ASSERT_GT(child, 0);
  // Gone from the process table, not left a zombie.
  WaitUntil([child] { return kill(static_cast<pid_t>(child), 0) != 0; });
  EXPECT_NE(kill(static_cast<pid_t>(child), 0), 0);
}
#endif

TEST(ProcessLaunch, PassesEveryArgumentWhole) {
  std::vector<std::string> launched;
  const std::string recorded = RunChild(
      "RecordsItsArguments",
      {"two words", "", "tail", "back\\slash", "r\xC3\xA9sum\xC3\xA9 \xE4\xB8\xAD"}, &launched);
  EXPECT_EQ(recorded, Lines(launched));
}

TEST(ProcessLaunch, RefusesMissingArgumentsAndPrograms) {
  const char* program[] = {"jx-no-such-program-anywhere", "x"};
  const char* nothing[] = {nullptr};
  EXPECT_EQ(jx_process_launch(0, program), -1);
  EXPECT_EQ(jx_process_launch(-2, program), -1);
  EXPECT_EQ(jx_process_launch(2, nullptr), -1);
  EXPECT_EQ(jx_process_launch(1, nothing), -1);
  EXPECT_EQ(jx_process_launch(2, program), -1);
}

TEST(ProcessTerminate, EndsASleepingChild) {
  const std::vector<std::string> args = ChildArguments("SleepsUntilEnded", "unused", {});
  const int64_t child = Launch(args);
  ASSERT_GT(child, 0);
  EXPECT_TRUE(jx_process_is_alive(child));
  EXPECT_TRUE(jx_get_process_memory(child, nullptr));
#ifdef _WIN32
  // Held open, the exited child keeps its id, and its exit code stays readable.
  HANDLE held = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(child));
  ASSERT_NE(held, nullptr);
#endif
  EXPECT_EQ(jx_process_terminate(child, 259), 0);
  WaitUntilEnded(child);
  EXPECT_FALSE(jx_process_is_alive(child));
#ifdef _WIN32
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(held, &code));
  EXPECT_EQ(code, 260u);  // 259 would read as still active
  CloseHandle(held);
#endif
}

TEST(ProcessTerminateSelf, EndsThisProcessWithTheCode) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(jx_process_terminate_self(7), testing::ExitedWithCode(7), "");
}

// --- command line ---

TEST(CommandLine, ResetReplacesTheWholeList) {
  const std::vector<std::string> saved = Arguments();

  const char* two[] = {"x", "y z"};
  jx_command_line_reset(2, two);
  EXPECT_EQ(jx_command_line_args_count(), 2);
  EXPECT_EQ(Argument(0), "x");
  EXPECT_EQ(Argument(1), "y z");
  EXPECT_EQ(Argument(2), "");
  EXPECT_EQ(Argument(-1), "");
  EXPECT_EQ(Argument(INT32_MIN), "");

  const char* with_gaps[] = {"a", nullptr, ""};
  jx_command_line_reset(3, with_gaps);
  EXPECT_EQ(jx_command_line_args_count(), 3);
  EXPECT_EQ(Argument(1), "");  // stored, but empty
  EXPECT_EQ(Argument(2), "");

  jx_command_line_reset(0, two);
  EXPECT_EQ(jx_command_line_args_count(), 0);
  EXPECT_EQ(Argument(0), ProgramPath());  // an empty list still names the program
  EXPECT_EQ(Argument(1), "");
  jx_command_line_reset(-3, two);
  EXPECT_EQ(jx_command_line_args_count(), 0);
  jx_command_line_reset(2, nullptr);
  EXPECT_EQ(jx_command_line_args_count(), 0);

  ResetArguments(saved);
  EXPECT_EQ(Arguments(), saved);
}

TEST(CommandLine, ReadersSeeAWholeListDuringResets) {
  const std::vector<std::string> saved = Arguments();
  const char* one[] = {"one"};
  const char* three[] = {"a", "b", "c"};
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i) {
      if (i % 2 == 0) {
        jx_command_line_reset(1, one);
      } else {
        jx_command_line_reset(3, three);
      }
    }
    done = true;
  });
  while (!done.load()) {
    const std::string first = Argument(0);
    EXPECT_TRUE(first == "one" || first == "a" || first == saved[0]) << first;
    const int count = jx_command_line_args_count();
    EXPECT_TRUE(count == 1 || count == 3 || count == static_cast<int>(saved.size())) << count;
  }
  writer.join();
  ResetArguments(saved);
}

TEST(ConcurrentFirstUse, GivesEveryThreadTheSameCaches) {
  EXPECT_EQ(RunChild("RecordsConcurrentFirstUse"), "same");
}

}  // namespace
