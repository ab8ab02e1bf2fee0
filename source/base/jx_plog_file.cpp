// The log file: names, rotation and backups.
#include "base/jx_plog_file.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "base/jx_config_internal.h"
#include "base/jx_file_internal.h"
#include "base/jx_folder.h"
#include "base/jx_memory.h"
#include "platform/jx_os.h"

namespace jx {

namespace {

// Files directly inside `folder`; sub-folders (listed with a final "/") do
// not count.
int CountFiles(const std::string& folder) {
  const std::vector<std::string> entries = ListFolder(folder.c_str(), 1);
  return static_cast<int>(
      std::count_if(entries.begin(), entries.end(),
                    [](const std::string& entry) { return entry.back() != '/'; }));
}

// Copies the log file into the new backup `backup`, which appears whole or
// not at all: a crash never leaves part of a log under a backup's name. False
// when the backup was not made (its name is taken, or the copy failed).
bool CopyToBackup(const std::string& log_path, const std::string& backup) {
  if (IsFileAt(backup)) return false;
  const ScopedFile source = OpenPlainFile(log_path, nullptr);
  if (source == nullptr) return false;
  return WriteWholeFile(
      backup, [&](std::FILE* target) { return CopyStream(source.get(), target) > 0; }, false);
}

// The log file, open for appending when it is a plain file that is not
// reached through a link: a link could make the log append to any file the
// process may write, and a FIFO could block the writer.
jx_file_t OpenLogFile(const std::string& path) {
  return OpenPlainFile(path, nullptr, "a+", false).release();
}

// Empties the log file where it is: a reader that does not share deletion
// (a log viewer on Windows) keeps the name from being deleted, and a log
// that stayed full would be backed up again at every write.
void EmptyLogFile(const std::string& path) { OpenPlainFile(path, nullptr, "wb", false); }

}  // namespace

std::string LogModuleName(std::string_view module) {
  return module.empty() ? std::string("app") : std::string(module);
}

std::string LogFolder(std::string_view folder) {
  return folder.empty() ? ProcessAppConfig().Get().root + "log/" : std::string(folder);
}

std::string LogFileName(std::string_view module_name) {
  return std::string("trace.").append(module_name).append(".blog");
}

std::string BackupFileName(std::string_view log_file_name, int64_t seconds) {
  std::tm t{};
  jx_localtime(&t, &seconds);
  char stamp[64];
  std::snprintf(stamp, sizeof(stamp), "%04d_%02d_%02d_%02d_%02d_%02d", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return std::string(log_file_name).append(".").append(stamp);
}

void MakeLogBackup(const std::string& folder, int backup_count, const std::string& file_name,
                   int64_t now_seconds) {
  const std::string log_path = PreparePath((folder + file_name).c_str());
  if (log_path.empty() || !IsFileAt(log_path)) return;
  std::string backup_folder = PreparePath((folder + kBackupFolderName).c_str());
  if (backup_folder.empty()) return;
  if (backup_folder.back() != '/') backup_folder.push_back('/');
  if (os::IsLink(backup_folder)) return;  // backups go into our own folder only
  if (CountFiles(backup_folder) > backup_count) jx_folder_recursive_remove(backup_folder.c_str());
  jx_folder_recursive_create(backup_folder.c_str());
  CopyToBackup(log_path, backup_folder + BackupFileName(file_name, now_seconds));
}

LogFile::LogFile(const LogSettings& settings, const LogClock& clock)
    : settings_(settings), clock_(clock) {}

LogFile::~LogFile() { Close(); }

void LogFile::Write(std::string_view line) {
  if (file_ == nullptr || bytes_written_ >= settings_.rotate_bytes) Prepare();
  if (file_ == nullptr) return;
  jx_file_write(&file_, line.data(), static_cast<int>(line.size()));
  jx_file_flush(&file_);
  bytes_written_ += static_cast<uint32_t>(line.size());
}

void LogFile::Prepare() {
  // Names are worked out afresh each time: the default folder follows the
  // application configuration.
  const std::string folder = LogFolder(settings_.folder);
  const std::string file_name = LogFileName(LogModuleName(settings_.module));
  const std::string path = folder + file_name;
  const std::string prepared = PreparePath(path.c_str());
  jx_folder_recursive_create(folder.c_str());
  if (file_ != nullptr && bytes_written_ >= settings_.rotate_bytes) {
    MakeLogBackup(folder, settings_.backup_count, file_name, clock_.wall_seconds());
    Close();
    if (!RemoveFileAt(prepared)) EmptyLogFile(prepared);
  }
  if (file_ == nullptr && !prepared.empty()) {
    file_ = OpenLogFile(prepared);
    const long size = jx_file_size(&file_);
    bytes_written_ = static_cast<uint32_t>(std::min<unsigned long>(size, UINT32_MAX));
  }
}

void LogFile::Close() {
  if (file_ != nullptr) jx_file_close(&file_);
  file_ = nullptr;
  bytes_written_ = 0;
}

}  // namespace jx
