// Windows implementation of the file calls.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <time.h>

#include <cstring>

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

void FillInfo(DWORD attributes, DWORD size_high, DWORD size_low, const FILETIME& access,
              const FILETIME& write, const FILETIME& create, PathInfo* info) {
  info->is_directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->is_regular = !info->is_directory && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
  info->size = (static_cast<uint64_t>(size_high) << 32) | size_low;
  info->access_time = Seconds(access);
  info->write_time = Seconds(write);
  info->create_time = Seconds(create);
}

// The C runtime opens through reparse points; a handle opened on the point
// itself shows what is there before anything is read or written.
std::FILE* OpenWithoutFollowing(const std::string& path, const char* mode, OpenRule rule) {
  const bool update = std::strchr(mode, '+') != nullptr;
  DWORD access = update ? GENERIC_READ | GENERIC_WRITE : 0;
  DWORD disposition = OPEN_ALWAYS;
  int flags = update ? _O_RDWR : _O_WRONLY;
  if (mode[0] == 'r') {
    access |= GENERIC_READ;
    disposition = OPEN_EXISTING;
    flags = update ? _O_RDWR : _O_RDONLY;
  } else {
    access |= GENERIC_WRITE;
    if (mode[0] == 'a') flags |= _O_APPEND;
    if (rule == OpenRule::kCreateNew) disposition = CREATE_NEW;
  }
  flags |= std::strchr(mode, 'b') != nullptr ? _O_BINARY : _O_TEXT;
  const HANDLE handle =
      CreateFileW(ToWidePath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION data;
  constexpr DWORD kRefused = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  const bool truncate = mode[0] == 'w' && rule != OpenRule::kCreateNew;
  if (!GetFileInformationByHandle(handle, &data) || (data.dwFileAttributes & kRefused) != 0 ||
      (truncate && !SetEndOfFile(handle))) {
    CloseHandle(handle);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* stream = _wfdopen(fd, ToWide(mode).c_str());
  if (stream == nullptr) _close(fd);
  return stream;
}

}  // namespace

std::FILE* OpenFile(const std::string& path, const char* mode, OpenRule rule) {
  if (rule != OpenRule::kFollowLinks) return OpenWithoutFollowing(path, mode, rule);
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
  FillInfo(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow, data.ftLastAccessTime,
           data.ftLastWriteTime, data.ftCreationTime, info);
  return true;
}

bool StatOpenFile(std::FILE* stream, PathInfo* info) {
  const intptr_t raw = _get_osfhandle(_fileno(stream));
  if (raw == -1) return false;
  const HANDLE handle = reinterpret_cast<HANDLE>(raw);
  if (GetFileType(handle) != FILE_TYPE_DISK) {  // a pipe, console or device
    *info = PathInfo{};
    return true;
  }
  BY_HANDLE_FILE_INFORMATION data;
  if (!GetFileInformationByHandle(handle, &data)) return false;
  FillInfo(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow, data.ftLastAccessTime,
           data.ftLastWriteTime, data.ftCreationTime, info);
  return true;
}

bool FlushToDisk(std::FILE* stream) {
  if (std::fflush(stream) != 0) return false;
  const intptr_t handle = _get_osfhandle(_fileno(stream));
  return handle != -1 && FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

int RemoveFile(const std::string& path) { return _wremove(ToWidePath(path).c_str()); }

int FileDescriptor(std::FILE* stream) { return _fileno(stream); }

int DuplicateDescriptor(int fd) { return _dup(fd); }

int DuplicateDescriptorTo(int fd1, int fd2) { return _dup2(fd1, fd2) == 0 ? 0 : -1; }

}  // namespace jx::os
