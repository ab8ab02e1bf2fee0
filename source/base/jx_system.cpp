// Process, thread and OS information, and the command-line store.
#include "base/jx_system.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/jx_file.h"
#include "base/jx_guard.h"
#include "base/jx_hand_out.h"
#include "base/jx_lock.h"
#include "base/jx_memory.h"
#include "base/jx_path_text.h"
#include "base/jx_scoped_lock.h"
#include "base/jx_thread.h"
#include "platform/jx_os.h"

namespace {

constexpr char kThisFile[] = "source/base/jx_system";

// Runs `compute` (which returns the text) behind the exception guard and hands
// its result out: an exact-length buffer without NUL, nothing for an empty
// text or a missing output.
template <class Compute>
bool ReturnText(char** out, uint32_t* length, Compute&& compute) {
  return jx::Guarded(false, [&] {
    return jx::HandOut(compute(), {kThisFile, __LINE__}, out, length);
  });
}

std::string AsFolder(const std::string& path) {
  std::string folder = jx::FixPathText(path);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

template <jx::os::UserFolder kFolder>
const std::string& UserFolderPath() {
  static const std::string path = AsFolder(jx::os::UserFolderPath(kFolder));
  return path;
}

std::string FormatKernelVersion() {
  jx::os::KernelVersion version{};
  if (!jx::os::ReadKernelVersion(&version)) return std::string();
  char text[48];
  std::snprintf(text, sizeof(text), "%d.%d.%d", version.major, version.minor, version.build);
  return text;
}

const std::string& KernelVersion() {
  static const std::string version = FormatKernelVersion();
  return version;
}

// The executable's path as the platform names it, normalised.
const std::string& ModulePath() {
  static const std::string path = jx::FixPathText(jx::os::ExecutablePath());
  return path;
}

bool IsProcessId(int64_t pid) { return pid > 0 && pid <= INT32_MAX; }

int64_t ToMib(uint64_t bytes) { return static_cast<int64_t>(bytes >> 20); }

void SetIfWanted(int64_t* out, int64_t value) {
  if (out != nullptr) *out = value;
}

// Copies of the `count` texts of `texts`, a null text read as "".
std::vector<std::string> CopyTexts(int count, const char* const* texts) {
  std::vector<std::string> copies;
  if (count <= 0 || texts == nullptr) return copies;
  copies.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) copies.emplace_back(texts[i] != nullptr ? texts[i] : "");
  return copies;
}

// --- the command-line store ---

struct CommandLineStore {
  jx_lock_t lock = jx_lock_create();
  std::vector<std::string> args = jx::os::CommandLineArguments();
};

// Made on first use under the process-wide creation lock; kept until the
// process ends, since readers may still arrive while it exits.
CommandLineStore& Store() {
  static std::atomic<CommandLineStore*> store{nullptr};
  CommandLineStore* current = store.load(std::memory_order_acquire);
  if (current != nullptr) return *current;
  jx::ScopedLock creating(jx::CommandLineCreationLock());
  current = store.load(std::memory_order_acquire);
  if (current == nullptr) {
    current = new CommandLineStore();
    store.store(current, std::memory_order_release);
  }
  return *current;
}

std::string CommandLineArgument(int index) {
  CommandLineStore& store = Store();
  {
    jx::ScopedLock hold(store.lock);
    if (index >= 0 && static_cast<size_t>(index) < store.args.size()) {
      return store.args[static_cast<size_t>(index)];
    }
    if (index != 0 || !store.args.empty()) return std::string();
  }
  // Asked outside the store lock, and without the program path's own fallback
  // to this store, so the two lookups never wait for each other.
  return ModulePath();
}

// The module path while it names a file; once it does not, argument 0 of the
// command line for good. "" when the chosen path names no file.
std::string ExistingProgramPath() {
  static std::atomic<bool> module_path_gone{false};
  if (!module_path_gone.load()) {
    if (jx_file_exist(ModulePath().c_str())) return ModulePath();
    module_path_gone.store(true);
  }
  static const std::string from_command_line = jx::FixPathText(CommandLineArgument(0));
  return jx_file_exist(from_command_line.c_str()) ? from_command_line : std::string();
}

}  // namespace

extern "C" {

bool jx_get_current_thread_name(char** text, uint32_t* length) {
  return ReturnText(text, length, [] { return jx::os::CurrentThreadName(); });
}

bool jx_get_current_work_path(char** text, uint32_t* length) {
  return ReturnText(text, length, [] { return jx::FixPathText(jx::os::WorkingDirectory()); });
}

void jx_set_current_work_path(const char* path) {
  jx::Guarded([&] { jx::os::ChangeWorkingDirectory(path != nullptr ? path : ""); });
}

bool jx_get_os_user_root_path(char** text, uint32_t* length) {
  return ReturnText(text, length, UserFolderPath<jx::os::UserFolder::kProfile>);
}

bool jx_get_os_user_local_path(char** text, uint32_t* length) {
  return ReturnText(text, length, UserFolderPath<jx::os::UserFolder::kLocalData>);
}

bool jx_get_os_user_cache_path(char** text, uint32_t* length) {
  return ReturnText(text, length, UserFolderPath<jx::os::UserFolder::kRoamingData>);
}

bool jx_get_path_file_current_exe(char** text, uint32_t* length) {
  return ReturnText(text, length, ExistingProgramPath);
}

bool jx_get_os_kernel_version(char** text, uint32_t* length) {
  return ReturnText(text, length, KernelVersion);
}

bool jx_get_os_global_memory(int64_t* total_mb, int64_t* available_mb) {
  jx::os::MemoryStatus status{};
  const bool ok = jx::Guarded(false, [&] {
    if (jx::os::ReadGlobalMemory(&status)) return true;
    jx_this_thread_yield();  // a passing failure gets one more try
    return jx::os::ReadGlobalMemory(&status);
  });
  if (!ok) status = {};
  SetIfWanted(total_mb, ToMib(status.total_bytes));
  SetIfWanted(available_mb, ToMib(status.available_bytes));
  return ok;
}

bool jx_get_process_memory(int64_t pid, int64_t* memory_mb) {
  uint64_t bytes = 0;
  const bool ok = IsProcessId(pid) && jx::Guarded(false, [&] {
                    return jx::os::ReadProcessCommittedMemory(pid, &bytes);
                  });
  SetIfWanted(memory_mb, ok ? ToMib(bytes) : 0);
  return ok;
}

bool jx_process_is_alive(int64_t pid) {
  return IsProcessId(pid) && jx::Guarded(false, [&] { return jx::os::ProcessAlive(pid); });
}

int64_t jx_process_launch(int count, const char* const* args) {
  return jx::Guarded<int64_t>(-1, [&]() -> int64_t {
    const std::vector<std::string> arguments = CopyTexts(count, args);
    int64_t pid = -1;
    return !arguments.empty() && jx::os::LaunchProcess(arguments, &pid) ? pid : -1;
  });
}

int jx_process_terminate(int64_t pid, int exit_code) {
  if (!IsProcessId(pid)) return -1;
  return jx::Guarded(-1, [&] { return jx::os::EndProcess(pid, exit_code) ? 0 : -1; });
}

bool jx_process_terminate_self(int exit_code) {
  jx::os::EndSelf(exit_code);
  return false;
}

int jx_command_line_args_count(void) {
  return jx::Guarded(0, [] {
    CommandLineStore& store = Store();
    jx::ScopedLock hold(store.lock);
    return static_cast<int>(store.args.size());
  });
}

bool jx_command_line_at(int index, char** text, uint32_t* length) {
  return ReturnText(text, length, [index] { return CommandLineArgument(index); });
}

void jx_command_line_reset(int count, const char* const* args) {
  jx::Guarded([&] {
    std::vector<std::string> replacement = CopyTexts(count, args);
    CommandLineStore& store = Store();
    jx::ScopedLock hold(store.lock);
    store.args.swap(replacement);  // the old list is freed after the unlock
  });
}

}  // extern "C"
