// The log's state, its write path and its writer, and JX_LOG, the one way the
// toolkit writes a record.
//
// LogContext holds everything the callers and the writer thread share. It
// can be created and fed without any thread, and its writer's steps can be
// called one by one, so the queue and file rules are testable on their own;
// the process-wide log is simply one installed LogContext with a detached
// writer thread.
#ifndef JX_BASE_JX_PLOG_H_
#define JX_BASE_JX_PLOG_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/jx_log.h"
#include "base/jx_memory_tracker.h"
#include "base/jx_plog_file.h"
#include "base/jx_queue_mutex.h"

#if defined(__MINGW32__)
#define JX_PRINTF_LIKE(format_index, first_arg) \
  __attribute__((format(__MINGW_PRINTF_FORMAT, format_index, first_arg)))
#elif defined(__GNUC__)
#define JX_PRINTF_LIKE(format_index, first_arg) \
  __attribute__((format(printf, format_index, first_arg)))
#else
#define JX_PRINTF_LIKE(format_index, first_arg)
#endif

// JX_LOG(level, format, ...)
//
// Writes a printf-style message from module "jx" when `level` reaches
// jx_log_min_level(); below it nothing is formatted and the arguments are not
// evaluated. The location is "<file base name>(<line>)<bare function name>"
// of the call site. JX_LOG_TO names another module.
#define JX_LOG_TO(module, level, ...)                                                      \
  do {                                                                                     \
    const int jx_log_level = (level);                                                      \
    if (jx_log_level >= jx_log_min_level()) {                                              \
      ::jx::LogFormatted(module, jx_log_level, __FILE__, __LINE__, __func__, __VA_ARGS__); \
    }                                                                                      \
  } while (false)
#define JX_LOG(level, ...) JX_LOG_TO("jx", level, __VA_ARGS__)

namespace jx {

// "%s(%d)%s" of the base name of `file`, `line` and the part of `function`
// after its last ":".
std::string LogLocation(const char* file, int line, const char* function);

// Formats the message and hands the record to jx_log_write_log. Never throws.
void LogFormatted(const char* module, int level, const char* file, int line, const char* function,
                  const char* format, ...) noexcept JX_PRINTF_LIKE(6, 7);

class LogContext {
 public:
  // Queue limits: above kWarnLines waiting lines each new line is preceded by
  // a warning (once the tick clock is past one second); above kMaxLines the
  // backlog is discarded.
  static constexpr size_t kWarnLines = 1024;
  static constexpr size_t kMaxLines = 2048;

  explicit LogContext(LogSettings settings, LogClock clock = {});
  LogContext(const LogContext&) = delete;
  LogContext& operator=(const LogContext&) = delete;

  const LogSettings& settings() const { return settings_; }
  int min_level() const { return settings_.min_level; }

  // --- Callers, any thread ---

  // Drops a record below the minimum level, else builds its line and queues
  // it. Returns true either way.
  bool Write(int level, std::string_view module, std::string_view location,
             std::string_view message);

  // The finished line of one record, stamped now on the calling thread.
  std::string BuildLine(int level, std::string_view module, std::string_view location,
                        std::string_view message) const;

  // Queues a finished line under the queue lock, applying the backlog
  // warning and discard, then wakes the writer if it is idle. The name is
  // part of the log text: the backlog lines name it as their function.
  void JXAddLogForWrite(std::string line);

  // --- The writer: one thread, the only one that touches the file ---

  // The writer's loop: it writes the lines queued so far in one batch, then
  // the leak report, then takes the next batch, sleeping while there is
  // none. It names its thread "jx_log_thread". It returns only after
  // StopWriter, once every line queued before that call has been written.
  void RunWriter();

  // Asks RunWriter to finish. The process-wide log never does; tests and
  // benchmarks stop the writers of their own logs.
  void StopWriter();

  // The writer's steps, public so that tests can take them one at a time.

  // The writer clears the idle flag while it writes a batch and sets it
  // afterwards; callers signal the wake condition only while it is set.
  void SetWriterIdle(bool idle) { writer_idle_.store(idle); }

  // Writes `batch` to the file in order. After every 102 ms of writing it
  // sleeps 102 ms, so under a flood it writes about half of the time.
  void WriteBatch(const std::vector<std::string>& batch);

  // Writes a leak line for each block the memory tracker reports as older
  // than a minute, yielding the processor after each.
  void WriteLeakReport();

  // Moves every queued line, oldest first, into `*batch` (emptied first) and
  // leaves the queue empty.
  void TakeQueued(std::vector<std::string>* batch);

  // Blocks until a line is queued or the writer is asked to stop, unless that
  // has happened already. It may also return spuriously; the writer just
  // looks again. A line queued while the writer is idle always ends the wait:
  // the queue is checked under the wake mutex, which callers take to signal.
  void WaitForLines();

  const LogFile& file() const { return file_; }

 private:
  static constexpr int kPaceMilliseconds = 102;
  static constexpr int64_t kLeakAgeMilliseconds = 60000;

  bool QueueIsEmpty();
  void Wake();
  // A line of the log's own, module "plog".
  std::string OwnLine(int level, std::string_view location, std::string_view message) const;
  // The backlog's own lines, located in JXAddLogForWrite.
  std::string BacklogLine(int level, std::string_view message) const;
  std::string BacklogWarning() const;

  const LogSettings settings_;
  const LogClock clock_;
  // Callers contend for it under load: a mutex that lets a running thread
  // take it, where the fair lock would wait for a descheduled one.
  QueueMutex queue_mutex_;
  std::vector<std::string> queue_;
  std::atomic<size_t> queued_lines_{0};  // queue_.size() as last set under the lock, a hint
  std::mutex wake_mutex_;
  std::condition_variable wake_condition_;
  std::atomic<bool> writer_idle_{true};
  std::atomic<bool> stop_writer_{false};
  LogFile file_{settings_, clock_};
  std::vector<TrackRecord> leaks_;  // the writer's, kept to reuse its memory
};

// "## memory leak ## " and the stamp of the block's allocation time and
// thread, then "[%p][%s:%d]" of its address, source file and line.
std::string LeakLine(const TrackRecord& record);

// The settings of a log set up with the host's `folder`, `module` and
// `default_level` and the configuration file at `config_path`. The keys
// "log.level" and "log.count_backup_files" of the file's unnamed section win
// when they read as integers above 0; otherwise the level is `default_level`
// when above 0, else JX_LOG_INFO, and the backup count 5. Null texts count
// as "".
LogSettings LoadLogSettings(const std::string& config_path, const char* folder, const char* module,
                            int default_level);

// The process-wide log, or null while none is installed.
LogContext* InstalledLog();

// Makes `log` the process-wide log unless one is installed already; returns
// whether this call installed it (else `log` is destroyed). Safe when several
// threads race: exactly one log wins. The installed log is never destroyed.
bool InstallLog(std::unique_ptr<LogContext> log);

}  // namespace jx

#endif  // JX_BASE_JX_PLOG_H_
