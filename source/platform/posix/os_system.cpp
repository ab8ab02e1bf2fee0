// POSIX (Linux) implementation of the system and process calls.
#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jx_os.h"
#include "platform/posix/posix_error.h"

extern char** environ;

namespace jx::os {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

struct Freer {
  void operator()(void* block) const { std::free(block); }
};

// The whole text of a /proc file; their sizes read as 0, so read to the end.
// "" when the file cannot be opened.
std::string ReadProcFile(const std::string& path) {
  std::string content;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "re"));
  if (file == nullptr) return content;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof(chunk), file.get())) > 0) content.append(chunk, got);
  return content;
}

std::string StatusPath(int64_t pid) { return "/proc/" + std::to_string(pid) + "/status"; }

// The value of the "key:" line of a /proc text, leading blanks skipped; empty
// when the key is absent.
std::string_view FieldOf(std::string_view text, std::string_view key) {
  size_t line = 0;
  while (line < text.size()) {
    size_t end = text.find('\n', line);
    if (end == std::string_view::npos) end = text.size();
    std::string_view entry = text.substr(line, end - line);
    if (entry.size() > key.size() && entry.substr(0, key.size()) == key &&
        entry[key.size()] == ':') {
      entry.remove_prefix(key.size() + 1);
      while (!entry.empty() && (entry.front() == ' ' || entry.front() == '\t')) {
        entry.remove_prefix(1);
      }
      return entry;
    }
    line = end + 1;
  }
  return {};
}

// Reads a "key: N kB" line as bytes.
bool ReadKibField(std::string_view text, std::string_view key, uint64_t* bytes) {
  const std::string_view value = FieldOf(text, key);
  uint64_t kib = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), kib);
  if (error != std::errc() || end == value.data() || kib > (UINT64_MAX >> 10)) return false;
  *bytes = kib << 10;
  return true;
}

// True when the status text is that of process `pid` itself; a thread's id
// also has a /proc entry, holding its process's id as Tgid.
bool NamesProcess(std::string_view status, int64_t pid) {
  return !status.empty() && FieldOf(status, "Tgid") == std::to_string(pid);
}

enum class ProcessState { kMissing, kRunning, kEnded };

ProcessState StateOf(int64_t pid) {
  const std::string status = ReadProcFile(StatusPath(pid));
  if (status.empty()) {
    // No readable entry (gone, or /proc hidden from us): ask the kernel. A
    // process that exists but refuses us counts as running.
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM ? ProcessState::kRunning
                                                                   : ProcessState::kMissing;
  }
  if (!NamesProcess(status, pid)) return ProcessState::kMissing;
  const std::string_view state = FieldOf(status, "State");
  // Z: exited, not yet reaped; X: being reaped.
  return !state.empty() && (state.front() == 'Z' || state.front() == 'X') ? ProcessState::kEnded
                                                                          : ProcessState::kRunning;
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string PasswordEntryHome() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 4096);
  passwd entry{};
  passwd* found = nullptr;
  int error = 0;
  while ((error = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
         buffer.size() < (1u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (error != 0 || found == nullptr || found->pw_dir == nullptr) return "";
  return found->pw_dir;
}

std::string HomeFolder() {
  std::string home = EnvironmentValue("HOME");
  return home.empty() ? PasswordEntryHome() : home;
}

// $name when it holds an absolute path (relative ones are invalid there),
// else `fallback` inside the home folder.
std::string DataFolder(const char* name, const char* fallback) {
  std::string value = EnvironmentValue(name);
  if (!value.empty() && value.front() == '/') return value;
  const std::string home = HomeFolder();
  return home.empty() ? "" : home + "/" + fallback;
}

// Waits for the child so that it does not stay a zombie after it ends.
void* ReapChild(void* child) {
  const auto pid = static_cast<pid_t>(reinterpret_cast<intptr_t>(child));
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  return nullptr;
}

// A small detached thread per child, with every signal blocked so the host's
// handlers never run on it. If no thread can be made the child is reaped
// only when this process ends.
void ReapWhenEnded(pid_t child) {
  constexpr size_t kStackBytes = 128 * 1024;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return;
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_attr_setstacksize(&attributes, kStackBytes);
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  pthread_t thread;
  pthread_create(&thread, &attributes, ReapChild,
                 reinterpret_cast<void*>(static_cast<intptr_t>(child)));
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  pthread_attr_destroy(&attributes);
}

// Spawn settings that give the child a fresh start, as a new Windows process
// gets: default signal handling, nothing blocked, no descriptors but 0-2.
class SpawnSettings {
 public:
  SpawnSettings() {
    posix_spawnattr_init(&attributes_);
    posix_spawn_file_actions_init(&actions_);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes_, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes_, &signals);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
  }
  ~SpawnSettings() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSettings(const SpawnSettings&) = delete;
  SpawnSettings& operator=(const SpawnSettings&) = delete;

  const posix_spawnattr_t* attributes() const { return &attributes_; }
  const posix_spawn_file_actions_t* actions() const { return &actions_; }

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

}  // namespace

std::string CurrentThreadName() {
  char name[16] = {};  // the kernel's limit, NUL included
  return pthread_getname_np(pthread_self(), name, sizeof(name)) == 0 ? name : "";
}

std::string WorkingDirectory() {
  std::unique_ptr<char, Freer> path(getcwd(nullptr, 0));
  return path != nullptr ? path.get() : "";
}

void ChangeWorkingDirectory(const std::string& path) {
  if (chdir(path.c_str()) != 0) {
    // Ignored: the caller reads the folder back when it matters.
  }
}

std::string UserFolderPath(UserFolder folder) {
  switch (folder) {
    case UserFolder::kProfile:
      return HomeFolder();
    case UserFolder::kLocalData:
      return DataFolder("XDG_DATA_HOME", ".local/share");
    case UserFolder::kRoamingData:
      return DataFolder("XDG_CONFIG_HOME", ".config");
  }
  return "";
}

std::string ExecutablePath() {
  // A result that fills the buffer may be cut: try a larger one.
  for (size_t size = 4096; size <= (size_t{1} << 20); size *= 2) {
    std::vector<char> buffer(size);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return "";
    if (static_cast<size_t>(length) < size) return std::string(buffer.data(), length);
  }
  return "";
}

std::vector<std::string> CommandLineArguments() {
  // Each argument ends with a NUL.
  const std::string content = ReadProcFile("/proc/self/cmdline");
  std::vector<std::string> args;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\0', start);
    if (end == std::string::npos) end = content.size();
    args.emplace_back(content, start, end - start);
    start = end + 1;
  }
  return args;
}

bool ReadKernelVersion(KernelVersion* version) {
  utsname names{};
  if (uname(&names) != 0) return false;
  *version = {};
  // A release such as "6.1.0-18-amd64"; a missing third number stays 0.
  return std::sscanf(names.release, "%d.%d.%d", &version->major, &version->minor,
                     &version->build) >= 2 ||
         Fail(EINVAL);
}

bool ReadGlobalMemory(MemoryStatus* status) {
  const std::string info = ReadProcFile("/proc/meminfo");
  if (info.empty()) return false;
  return (ReadKibField(info, "MemTotal", &status->total_bytes) &&
          ReadKibField(info, "MemAvailable", &status->available_bytes)) ||
         Fail(ENODATA);
}

bool ReadProcessCommittedMemory(int64_t pid, uint64_t* bytes) {
  // Private writable mappings and the stack: what Windows counts as the
  // process's committed private memory. An ended process has neither line.
  const std::string status = ReadProcFile(StatusPath(pid));
  uint64_t data = 0;
  uint64_t stack = 0;
  if (status.empty()) return false;
  if (!NamesProcess(status, pid) || !ReadKibField(status, "VmData", &data) ||
      !ReadKibField(status, "VmStk", &stack)) {
    return Fail(ESRCH);
  }
  *bytes = data + stack;
  return true;
}

bool ProcessAlive(int64_t pid) { return StateOf(pid) == ProcessState::kRunning; }

bool LaunchProcess(const std::vector<std::string>& args, int64_t* pid) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const SpawnSettings settings;
  pid_t child = 0;
  const int error = posix_spawnp(&child, argv[0], settings.actions(), settings.attributes(),
                                 argv.data(), environ);
  if (error != 0) return Fail(error);
  ReapWhenEnded(child);
  *pid = child;
  return true;
}

bool EndProcess(int64_t pid, int /*exit_code: Linux reports the signal instead*/) {
  if (StateOf(pid) == ProcessState::kMissing) return Fail(ESRCH);
  if (kill(static_cast<pid_t>(pid), SIGKILL) != 0) return false;
  constexpr int kPollMilliseconds = 5;
  const int64_t deadline = MonotonicNanoseconds() + int64_t{kEndWaitMilliseconds} * 1000000;
  while (StateOf(pid) == ProcessState::kRunning && MonotonicNanoseconds() < deadline) {
    SleepMilliseconds(kPollMilliseconds);
  }
  return true;
}

void EndSelf(int exit_code) { _exit(exit_code); }

}  // namespace jx::os
