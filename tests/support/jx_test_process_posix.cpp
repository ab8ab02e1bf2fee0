// POSIX implementation of running a child process.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "support/jx_test_process.h"

extern char** environ;

namespace jx::test {

namespace {

using TempFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

std::string ReadAll(std::FILE* file) {
  std::string content;
  std::rewind(file);
  char piece[4096];
  size_t got;
  while ((got = std::fread(piece, 1, sizeof(piece), file)) > 0) content.append(piece, got);
  return content;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input) {
  ProcessResult result;
  TempFile out(std::tmpfile(), &std::fclose);
  TempFile err(std::tmpfile(), &std::fclose);
  if (!out || !err) return result;

  std::vector<std::string> argv_texts{program};
  argv_texts.insert(argv_texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = Pointers(argv_texts);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(),
                                   O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fileno(out.get()), 1);
  posix_spawn_file_actions_adddup2(&actions, fileno(err.get()), 2);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return result;

  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited == pid && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  result.out = ReadAll(out.get());
  result.err = ReadAll(err.get());
  return result;
}

}  // namespace jx::test
