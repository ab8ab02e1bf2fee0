// The log record and its write path (level filter, line layout, the queue
// with its backlog limits and the wake-up of the writer), the writer's loop,
// and the set-up of the process-wide log.
#include "base/jx_plog.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <future>
#include <thread>

#include "base/jx_calendar.h"
#include "base/jx_config_internal.h"
#include "base/jx_guard.h"
#include "base/jx_hand_out.h"
#include "base/jx_number_text.h"
#include "base/jx_string.h"
#include "base/jx_thread.h"
#include "platform/jx_os.h"

namespace jx {

namespace {

std::atomic<LogContext*> installed_log{nullptr};

char LevelLetter(int level) {
  if (level <= JX_LOG_VERBOSE) return 'V';
  if (level <= JX_LOG_DEBUG) return 'D';
  if (level <= JX_LOG_INFO) return 'I';
  if (level <= JX_LOG_WARN) return 'W';
  if (level <= JX_LOG_ERROR) return 'E';
  if (level <= JX_LOG_FATAL) return 'F';
  return '?';
}

// Room for the stamp and the level field of a line.
constexpr size_t kHeadReserve = 96;

constexpr char kThisFile[] = "source/base/jx_plog";

// "[%04d-%02d-%02d %02d:%02d:%02d:%03d][P%lld T%lld]" of a time and a thread
// of this process. All but the milliseconds stay the same for the lines a
// thread makes within one second, so each thread keeps them ready.
void AppendHead(std::string* line, int64_t wall_milliseconds, int64_t thread_id) {
  struct Cache {
    int64_t seconds = INT64_MIN;
    int64_t thread_id = -1;
    std::string date_time;  // "YYYY-MM-DD hh:mm:ss:"
    std::string ids;        // "][P<process> T<thread>]"
  };
  thread_local Cache cache;
  const int64_t seconds = wall_milliseconds / 1000;
  if (seconds != cache.seconds) {
    cache.date_time.clear();
    AppendLocalStamp(&cache.date_time, seconds * 1000, ' ', ':');
    cache.date_time.resize(cache.date_time.size() - 3);  // the milliseconds, "000"
    cache.seconds = seconds;
  }
  if (thread_id != cache.thread_id) {
    cache.ids = "][P";
    AppendZeroPadded(&cache.ids, jx_get_current_process_id(), 0);
    cache.ids.append(" T");
    AppendZeroPadded(&cache.ids, thread_id, 0);
    cache.ids.push_back(']');
    cache.thread_id = thread_id;
  }
  line->push_back('[');
  line->append(cache.date_time);
  AppendZeroPadded(line, wall_milliseconds - seconds * 1000, 3);
  line->append(cache.ids);
}

// A setting of the configuration file's unnamed section, read as an int.
int ConfigInteger(const ConfigTable& table, std::string_view key) {
  return static_cast<int>(TextToInteger(ConfigValue(table, "", key), 10));
}

int PositiveOr(int value, int fallback) { return value > 0 ? value : fallback; }

// Formats the message into `small` when it fits, else into `*large`; returns
// the text. A format the C library rejects gives an empty message.
template <size_t kSize>
const char* FormatLogMessage(char (&small)[kSize], std::string* large, const char* format,
                             va_list args) {
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, kSize, format, args);
  const char* message = small;
  if (length < 0) {
    small[0] = '\0';
  } else if (static_cast<size_t>(length) >= kSize) {
    large->resize(static_cast<size_t>(length));
    std::vsnprintf(large->data(), large->size() + 1, format, again);
    message = large->c_str();
  }
  va_end(again);
  return message;
}

// Replaces `*location` with "<file base name>(<line>)<function base name>".
void WriteLocation(std::string* location, const char* file, int line, const char* function) {
  const char* name = function != nullptr ? function : "";
  location->assign(jx_file_base_name(file != nullptr ? file : "", 0));
  location->push_back('(');
  AppendZeroPadded(location, line, 0);
  location->push_back(')');
  location->append(jx_func_base_name(name, static_cast<int>(std::strlen(name))));
}

}  // namespace

std::string LogLocation(const char* file, int line, const char* function) {
  std::string location;
  WriteLocation(&location, file, line, function);
  return location;
}

void LogFormatted(const char* module, int level, const char* file, int line, const char* function,
                  const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  Guarded([&] {
    // Kept per thread, so that a record allocates only its line (and a
    // message too long for the small buffer, its own text).
    thread_local char small[1024];
    thread_local std::string location;
    std::string large;
    const char* message = FormatLogMessage(small, &large, format, args);
    WriteLocation(&location, file, line, function);
    jx_log_write_log(module, level, location.c_str(), message);
  });
  va_end(args);
}

LogContext::LogContext(LogSettings settings, LogClock clock)
    : settings_(std::move(settings)), clock_(clock) {}

bool LogContext::Write(int level, std::string_view module, std::string_view location,
                       std::string_view message) {
  if (level < settings_.min_level) return true;
  // No line may outgrow a whole log file: the message is cut before it is
  // copied, then the line to the rotation size, keeping its line end.
  const size_t limit = std::max<size_t>(settings_.rotate_bytes, 2);
  std::string line = BuildLine(level, module, location, message.substr(0, limit));
  if (line.size() <= limit) {
    JXAddLogForWrite(std::move(line));
    return true;
  }
  line.resize(limit - 1);
  line.push_back('\n');
  JXAddLogForWrite(std::move(line));
  char warning[64];
  std::snprintf(warning, sizeof(warning), "warn: the line above was cut to %zu bytes", limit);
  JXAddLogForWrite(OwnLine(JX_LOG_WARN, LogLocation(__FILE__, __LINE__, __func__), warning));
  return true;
}

std::string LogContext::BuildLine(int level, std::string_view module, std::string_view location,
                                  std::string_view message) const {
  // The head, then "[%c:%04X][%s][%s] %s\n".
  std::string line;
  line.reserve(kHeadReserve + location.size() + module.size() + message.size());
  AppendHead(&line, clock_.wall_milliseconds(), jx_get_current_thread_id());
  line.push_back('[');
  line.push_back(LevelLetter(level));
  line.push_back(':');
  AppendZeroPadded(&line, static_cast<unsigned int>(level), 4, 16);
  line.append("][").append(location).append("][").append(module).append("] ").append(message);
  line.push_back('\n');
  return line;
}

std::string LogContext::OwnLine(int level, std::string_view location,
                                std::string_view message) const {
  return BuildLine(level, "plog", location, message);
}

// The backlog lines name the queueing call as their place.
std::string LogContext::BacklogLine(int level, std::string_view message) const {
  static const std::string location = LogLocation(__FILE__, __LINE__, "JXAddLogForWrite");
  return OwnLine(level, location, message);
}

void LogContext::JXAddLogForWrite(std::string line) {
  // Under a backlog the warning line is made before the lock, and a
  // discarded backlog is freed after it, so the lock covers only the moves.
  std::string warning;
  if (queued_lines_.load(std::memory_order_relaxed) >= kWarnLines) warning = BacklogWarning();
  std::vector<std::string> discarded;
  {
    std::lock_guard<QueueMutex> hold(queue_mutex_);
    if (queue_.size() > kWarnLines && clock_.tick_milliseconds() > 1000) {
      queue_.push_back(warning.empty() ? BacklogWarning() : std::move(warning));
    }
    if (queue_.size() > kMaxLines) {
      discarded.swap(queue_);
      queue_.push_back(BacklogLine(JX_LOG_ERROR, "error: [overflow] log over max, discard!"));
    }
    queue_.push_back(std::move(line));
    queued_lines_.store(queue_.size(), std::memory_order_relaxed);
  }
  // Signalled after the queue lock is released, and only while the writer is
  // idle, so callers do not contend on the mutex while it writes.
  if (writer_idle_.load()) Wake();
}

std::string LogContext::BacklogWarning() const {
  static const std::string text =
      "warn: pay attention!! log items > " + std::to_string(static_cast<int>(kMaxLines));
  return BacklogLine(JX_LOG_WARN, text);
}

void LogContext::Wake() {
  std::lock_guard<std::mutex> hold(wake_mutex_);
  wake_condition_.notify_all();
}

void LogContext::RunWriter() {
  jx_set_current_thread_name("jx_log_thread");
  std::vector<std::string> batch;
  for (;;) {
    SetWriterIdle(false);
    WriteBatch(batch);
    SetWriterIdle(true);
    WriteLeakReport();
    TakeQueued(&batch);
    if (batch.empty()) {
      if (stop_writer_.load()) return;
      WaitForLines();
    }
  }
}

void LogContext::StopWriter() {
  stop_writer_.store(true);
  Wake();
}

void LogContext::WriteBatch(const std::vector<std::string>& batch) {
  int64_t pace_mark = clock_.wall_milliseconds();
  for (const std::string& line : batch) {
    file_.Write(line);
    const int64_t now = clock_.wall_milliseconds();
    if (now - pace_mark >= kPaceMilliseconds) {
      clock_.sleep_milliseconds(kPaceMilliseconds);
      pace_mark = now;
    }
  }
}

void LogContext::WriteLeakReport() {
  // With recording off nothing is ever recorded: skip the tracker's lock and
  // the shared handle on every batch.
  if constexpr (!MemoryTracker::kRecording) return;
  MemoryTracker::Instance()->QueryLeaks(kLeakAgeMilliseconds, &leaks_);
  for (const TrackRecord& leak : leaks_) {
    file_.Write(LeakLine(leak));
    jx_this_thread_yield();
  }
}

void LogContext::TakeQueued(std::vector<std::string>* batch) {
  batch->clear();
  std::lock_guard<QueueMutex> hold(queue_mutex_);
  batch->swap(queue_);
  queued_lines_.store(0, std::memory_order_relaxed);
}

bool LogContext::QueueIsEmpty() {
  std::lock_guard<QueueMutex> hold(queue_mutex_);
  return queue_.empty();
}

void LogContext::WaitForLines() {
  std::unique_lock<std::mutex> hold(wake_mutex_);
  if (QueueIsEmpty() && !stop_writer_.load()) wake_condition_.wait(hold);
}

std::string LeakLine(const TrackRecord& record) {
  std::string line = "## memory leak ## ";
  AppendHead(&line, record.time_ms, record.thread_id);
  char where[64];
  std::snprintf(where, sizeof(where), "[%p][", record.address);
  line.append(where).append(record.file != nullptr ? record.file : "").push_back(':');
  AppendZeroPadded(&line, record.line, 0);
  line.append("]\n");
  return line;
}

LogSettings LoadLogSettings(const std::string& config_path, const char* folder, const char* module,
                            int default_level) {
  const ConfigTable table = LoadConfigTable(config_path);
  LogSettings settings;
  settings.folder = TextOrEmpty(folder);
  settings.module = TextOrEmpty(module);
  settings.min_level =
      PositiveOr(ConfigInteger(table, "log.level"), PositiveOr(default_level, JX_LOG_INFO));
  settings.backup_count = PositiveOr(ConfigInteger(table, "log.count_backup_files"), 5);
  return settings;
}

LogContext* InstalledLog() { return installed_log.load(std::memory_order_acquire); }

bool InstallLog(std::unique_ptr<LogContext> log) {
  LogContext* expected = nullptr;
  if (!installed_log.compare_exchange_strong(expected, log.get(), std::memory_order_acq_rel)) {
    return false;
  }
  log.release();  // lives until the process ends
  return true;
}

namespace {

// Makes the process-wide log and starts its writer, once. Racing first
// callers are serialised, so only one log and one writer thread are made.
void SetUpProcessLog(const char* folder, const char* module, int default_level) {
  static std::mutex set_up_mutex;
  std::lock_guard<std::mutex> hold(set_up_mutex);
  if (InstalledLog() != nullptr) return;
  auto log = std::make_unique<LogContext>(
      LoadLogSettings(ProcessAppConfig().Get().config_path, folder, module, default_level));
  LogContext* installed = log.get();
  InstallLog(std::move(log));
  // Returns once the writer runs; it is never joined.
  os::KeepLibraryLoaded();
  std::promise<void> started;
  std::future<void> running = started.get_future();
  std::thread([installed, started = std::move(started)]() mutable {
    started.set_value();
    installed->RunWriter();
  }).detach();
  running.wait();
}

}  // namespace

}  // namespace jx

extern "C" {

bool jx_log_write_log(const char* module, int level, const char* location, const char* message) {
  jx::LogContext* log = jx::InstalledLog();
  if (log == nullptr) return false;
  return jx::Guarded(false, [&] {
    return log->Write(level, jx::TextOrEmpty(module), jx::TextOrEmpty(location),
                      jx::TextOrEmpty(message));
  });
}

int jx_log_min_level(void) {
  const jx::LogContext* log = jx::InstalledLog();
  return log != nullptr ? log->min_level() : JX_LOG_INFO;
}

bool jx_log_init(const char* folder, const char* module, int default_level) {
  if (jx::InstalledLog() == nullptr) {
    jx::Guarded([&] { jx::SetUpProcessLog(folder, module, default_level); });
  }
  return true;
}

char* jx_log_mod(void) {
  return jx::Guarded<char*>(nullptr, [] {
    const jx::LogContext* log = jx::InstalledLog();
    return jx::HandOutWithNul(jx::LogModuleName(log != nullptr ? log->settings().module : ""),
                              {jx::kThisFile, __LINE__});
  });
}

char* jx_log_path(void) {
  return jx::Guarded<char*>(nullptr, [] {
    const jx::LogContext* log = jx::InstalledLog();
    return jx::HandOutWithNul(jx::LogFolder(log != nullptr ? log->settings().folder : ""),
                              {jx::kThisFile, __LINE__});
  });
}

}  // extern "C"
