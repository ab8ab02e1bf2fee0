// The log's settings and the file its writer thread keeps: the file and
// folder names, the rotation at a size limit and the time-stamped backups.
#ifndef JX_BASE_JX_PLOG_FILE_H_
#define JX_BASE_JX_PLOG_FILE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "base/jx_file.h"
#include "base/jx_log.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

namespace jx {

// Where the log reads the time and how its writer pauses. Tests replace them.
struct LogClock {
  int64_t (*wall_milliseconds)() = &jx_system_time_milliseconds;  // line stamps, pacing
  int64_t (*tick_milliseconds)() = &jx_clock_tick_milliseconds;   // backlog warning
  int32_t (*wall_seconds)() = &jx_system_time_seconds;            // backup names
  void (*sleep_milliseconds)(int) = &jx_this_thread_sleep;        // pacing
};

struct LogSettings {
  // A log file that has reached this size is backed up and started afresh.
  static constexpr uint32_t kRotateBytes = 20971520;

  std::string module;  // "" means "app"
  std::string folder;  // "" means the default log folder; expected to end in "/"
  int min_level = JX_LOG_INFO;
  int backup_count = 5;
  uint32_t rotate_bytes = kRotateBytes;  // tests make it small
};

// The module name in the file name: `module`, or "app" when it is empty.
std::string LogModuleName(std::string_view module);

// The log folder: `folder` as given, or the application root (see
// jx_get_app_config) followed by "log/" when it is empty.
std::string LogFolder(std::string_view folder);

// "trace.<module name>.blog".
std::string LogFileName(std::string_view module_name);

// The backup folder inside the log folder.
inline constexpr char kBackupFolderName[] = "blog_backup/";

// "<log file name>.<local time as %04d_%02d_%02d_%02d_%02d_%02d>" of `seconds`
// since 1970.
std::string BackupFileName(std::string_view log_file_name, int64_t seconds);

// Copies the log file `file_name` of `folder` into its backup folder under
// the name BackupFileName gives for `now_seconds`: whole under a temporary
// name first, on the disk, then renamed, never through a link. When the backup
// folder holds more than `backup_count` files already it is removed first, so
// backups pile up to that count and then start a new series. Nothing happens
// when the log file is missing or the backup folder is a link; a failed copy
// (an existing name, a device) is not reported.
void MakeLogBackup(const std::string& folder, int backup_count, const std::string& file_name,
                   int64_t now_seconds);

// The open log file and the count of bytes in it. Used by the writer thread
// alone, so nothing here is locked.
class LogFile {
 public:
  // Keeps references: `settings` and `clock` must outlive the file.
  LogFile(const LogSettings& settings, const LogClock& clock);
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Appends `line` and flushes it. The file is opened (in append mode, its
  // folder made first, only when it is a plain file and not a link) when it
  // is not open, and backed up, deleted and
  // started afresh once the count has reached the rotation size; text left
  // by earlier runs counts. When the file cannot be opened the line is lost
  // and the next one tries again. Write failures are ignored: the count
  // grows by the line's length regardless.
  void Write(std::string_view line);

  bool is_open() const { return file_ != nullptr; }
  uint32_t bytes_written() const { return bytes_written_; }

 private:
  // Makes the file ready for the next line: opened, or rotated and reopened.
  void Prepare();
  void Close();

  const LogSettings& settings_;
  const LogClock& clock_;
  jx_file_t file_ = nullptr;
  uint32_t bytes_written_ = 0;
};

}  // namespace jx

#endif  // JX_BASE_JX_PLOG_FILE_H_
