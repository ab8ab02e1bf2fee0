// Windows implementation of the file calls.
#include <windows.h>

#include <io.h>
#include <share.h>
#include <stdio.h>
#include <time.h>

#include <string>

#include "platform/jx_os.h"
#include "platform/win/win_text.h"

namespace jx::os {

namespace {

// Calendar fields of the UTC file time, then the UTC calendar-to-seconds
// conversion; milliseconds are dropped.
int64_t Seconds(const FILETIME& time) {
  SYSTEMTIME utc;
  if (!FileTimeToSystemTime(&time, &utc)) return 0;
  struct tm fields = {};
  fields.tm_year = utc.wYear > 1900 ? utc.wYear - 1900 : 0;
  fields.tm_mon = utc.wMonth >= 2 ? utc.wMonth - 1 : 0;
  fields.tm_mday = utc.wDay;
  fields.tm_hour = utc.wHour;
  fields.tm_min = utc.wMinute;
  fields.tm_sec = utc.wSecond;
  fields.tm_isdst = 0;
  return static_cast<int64_t>(_mkgmtime64(&fields));
}

}  // namespace

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfsopen(ToWidePath(path).c_str(), ToWide(mode).c_str(), _SH_DENYNO);
}

std::FILE* ReopenFile(const std::string& path, const char* mode, std::FILE* stream) {
  std::FILE* result = nullptr;
  const errno_t failed =
      _wfreopen_s(&result, ToWidePath(path).c_str(), ToWide(mode).c_str(), stream);
  return failed == 0 ? result : nullptr;
}

bool StatPath(const std::string& path, PathInfo* info) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(ToWidePath(path).c_str(), GetFileExInfoStandard, &data)) return false;
  info->is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->is_regular = !info->is_directory && (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
  info->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  info->access_time = Seconds(data.ftLastAccessTime);
  info->write_time = Seconds(data.ftLastWriteTime);
  info->create_time = Seconds(data.ftCreationTime);
  return true;
}

int RemoveFile(const std::string& path) { return _wremove(ToWidePath(path).c_str()); }

int FileDescriptor(std::FILE* stream) { return _fileno(stream); }

int DuplicateDescriptor(int fd) { return _dup(fd); }

int DuplicateDescriptorTo(int fd1, int fd2) { return _dup2(fd1, fd2) == 0 ? 0 : -1; }

}  // namespace jx::os
