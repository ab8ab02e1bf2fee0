// Turns the library's log on and makes sure the check's lines are in the file
// before the tool leaves.
#include "library_log.h"

#include <algorithm>

#include "base/jx_file.h"
#include "base/jx_file_internal.h"
#include "base/jx_log.h"
#include "base/jx_path_text.h"
#include "base/jx_plog.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"
#include "outcome.h"

namespace mird_tool {

namespace {

constexpr char kModule[] = "mird-check";
constexpr int64_t kWaitMilliseconds = 5000;
constexpr int kPollMilliseconds = 10;

int64_t FileSize(const std::string& path) {
  return static_cast<int64_t>(jx::StatEntry(jx::FixPathText(path)).size);
}

// The file's bytes from `offset` on; from the start when the file is shorter
// (it was rotated meanwhile).
std::string ReadFrom(const std::string& path, int64_t offset) {
  jx_file_t file = jx_file_open(path.c_str(), "rb");
  if (file == nullptr) return "";
  if (offset > jx_file_size(&file) || !jx_file_seek(&file, static_cast<long>(offset), 0)) {
    jx_file_seek(&file, 0, 0);
  }
  std::string content;
  char piece[4096];
  uint32_t got;
  while ((got = jx_file_read(&file, piece, sizeof(piece))) > 0) content.append(piece, got);
  jx_file_close(&file);
  return content;
}

}  // namespace

LibraryLog::LibraryLog(Library* library, const std::string& folder) {
  const auto init = FindExport<InitFunction>(library, "jx_log_init");
  if (init == nullptr) {
    PrintNote("the library has no jx_log_init; running without a log");
    return;
  }
  write_ = FindExport<WriteFunction>(library, "jx_log_write_log");
  min_level_ = FindExport<LevelFunction>(library, "jx_log_min_level");
  file_ = folder + "trace." + kModule + ".blog";
  start_size_ = FileSize(file_);
  run_ = std::to_string(jx_get_current_process_id()) + "." +
         std::to_string(jx_clock_tick_nanoseconds());
  init(folder.c_str(), kModule, JX_LOG_INFO);
  init_ = init;
}

void LibraryLog::Write(const std::string& message, const char* file, int line,
                       const char* function) const {
  WriteAt(JX_LOG_INFO, message, file, line, function);
}

bool LibraryLog::WriteAt(int level, const std::string& message, const char* file, int line,
                         const char* function) const {
  if (!on() || write_ == nullptr) return false;
  const std::string location = jx::LogLocation(file, line, function);
  return write_(kModule, level, location.c_str(), message.c_str());
}

bool LibraryLog::Finish(const std::string& message, const char* file, int line,
                        const char* function) const {
  if (!on()) return true;
  // A configured minimum level may be above the information level.
  const int level = std::max(JX_LOG_INFO, min_level_ != nullptr ? min_level_() : JX_LOG_INFO);
  const std::string last = message + " (run " + run_ + ")";
  if (!WriteAt(level, last, file, line, function)) return false;
  const int64_t deadline = jx_clock_tick_milliseconds() + kWaitMilliseconds;
  while (!FileHolds(last)) {
    if (jx_clock_tick_milliseconds() > deadline) return false;
    jx_this_thread_sleep(kPollMilliseconds);
  }
  return true;
}

bool LibraryLog::FileHolds(const std::string& text) const {
  return ReadFrom(file_, start_size_).find(text) != std::string::npos;
}

}  // namespace mird_tool
