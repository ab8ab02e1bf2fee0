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
#include "platform/win/win_error.h"
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

// The status of a handle on what should be a plain file. A pipe, console or
// device (a listed CON or NUL) is refused by its type before anything else:
// its other answers are not those of a file.
bool PlainFileStatus(HANDLE handle, BY_HANDLE_FILE_INFORMATION* data) {
  if (GetFileType(handle) != FILE_TYPE_DISK) return Fail(ERROR_NOT_SUPPORTED);
  return GetFileInformationByHandle(handle, data) != 0;
}

bool IsPlain(const BY_HANDLE_FILE_INFORMATION& data) {
  return (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& data) {
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The C runtime opens through reparse points; a handle opened on the point
// itself shows what is there before anything is read or written. With
// `plain_size` only a plain file opens, and its size at open time goes there.
bool OpenWithoutFollowing(const std::string& path, const char* mode, OpenRule rule,
                          std::FILE** stream, uint64_t* plain_size = nullptr) {
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
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION data;
  constexpr DWORD kRefused = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  const bool truncate = mode[0] == 'w' && rule != OpenRule::kCreateNew;
  bool usable = plain_size != nullptr ? PlainFileStatus(handle, &data)
                                      : GetFileInformationByHandle(handle, &data) != 0;
  if (usable && (data.dwFileAttributes & kRefused) != 0) {
    // What the system answers for a link it will not resolve, or a folder.
    const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    usable = Fail(link ? ERROR_CANT_RESOLVE_FILENAME : ERROR_ACCESS_DENIED);
  }
  if (usable && plain_size != nullptr && !IsPlain(data)) usable = Fail(ERROR_NOT_SUPPORTED);
  if (!usable || (truncate && !SetEndOfFile(handle))) {
    KeepingError([&] { CloseHandle(handle); });
    return false;
  }
  ClearRuntimeError();
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (fd < 0) {
    RuntimeFailed();
    KeepingError([&] { CloseHandle(handle); });
    return false;
  }
  std::FILE* opened = _wfdopen(fd, ToWide(mode).c_str());
  if (opened == nullptr) {
    RuntimeFailed();
    KeepingError([&] { _close(fd); });
    return false;
  }
  if (plain_size != nullptr) *plain_size = truncate ? 0 : SizeOf(data);
  *stream = opened;
  return true;
}

}  // namespace

size_t KeptPathPrefix(std::string_view path) {
  const auto separator = [&](size_t i) { return IsSeparator(path[i]); };
  if (path.size() < 3 || !separator(0) || !separator(1) || separator(2)) return 0;
  const bool long_form = path.size() >= 4 && path[2] == '?' && separator(3);
  return long_form ? 4 : 2;
}

bool OpenFile(const std::string& path, const char* mode, std::FILE** stream, OpenRule rule) {
  if (rule != OpenRule::kFollowLinks) return OpenWithoutFollowing(path, mode, rule, stream);
  ClearRuntimeError();
  std::FILE* opened = _wfsopen(ToWidePath(path).c_str(), ToWide(mode).c_str(), _SH_DENYNO);
  if (opened == nullptr) return RuntimeFailed();
  *stream = opened;
  return true;
}

bool OpenPlainFile(const std::string& path, const char* mode, std::FILE** stream, uint64_t* size,
                   OpenRule rule) {
  if (rule != OpenRule::kFollowLinks) return OpenWithoutFollowing(path, mode, rule, stream, size);
  std::FILE* opened = nullptr;
  if (!OpenFile(path, mode, &opened, rule)) return false;
  ClearRuntimeError();
  const intptr_t raw = _get_osfhandle(_fileno(opened));
  BY_HANDLE_FILE_INFORMATION data;
  bool usable = raw != -1 || RuntimeFailed();
  usable = usable && PlainFileStatus(reinterpret_cast<HANDLE>(raw), &data);
  if (usable && !IsPlain(data)) usable = Fail(ERROR_NOT_SUPPORTED);
  if (!usable) {
    KeepingError([&] { std::fclose(opened); });
    return false;
  }
  *size = SizeOf(data);
  *stream = opened;
  return true;
}

bool OpenPlainForReading(const std::string& path, FileHandle* file, uint64_t* size) {
  constexpr DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;  // as the runtime's _SH_DENYNO
  const HANDLE handle = CreateFileW(ToWidePath(path).c_str(), GENERIC_READ, kSharing, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;  // a folder too: it needs backup semantics
  BY_HANDLE_FILE_INFORMATION data;
  bool usable = PlainFileStatus(handle, &data);
  if (usable && !IsPlain(data)) usable = Fail(ERROR_NOT_SUPPORTED);
  if (!usable) {
    KeepingError([&] { CloseHandle(handle); });
    return false;
  }
  *file = reinterpret_cast<FileHandle>(handle);
  *size = SizeOf(data);
  return true;
}

bool ReadHandle(FileHandle file, void* buffer, uint32_t size, uint32_t* got) {
  DWORD read = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(file), buffer, size, &read, nullptr)) return false;
  *got = read;
  return true;
}

void CloseFileHandle(FileHandle file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

bool ReopenFile(const std::string& path, const char* mode, std::FILE* stream) {
  std::FILE* result = nullptr;
  ClearRuntimeError();
  const errno_t failed =
      _wfreopen_s(&result, ToWidePath(path).c_str(), ToWide(mode).c_str(), stream);
  if (failed == 0) return true;
  errno = failed;
  return RuntimeFailed();
}

bool StatPath(const std::string& path, PathInfo* info) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(ToWidePath(path).c_str(), GetFileExInfoStandard, &data)) return false;
  FillInfo(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow, data.ftLastAccessTime,
           data.ftLastWriteTime, data.ftCreationTime, info);
  return true;
}

bool FlushToDisk(std::FILE* stream) {
  ClearRuntimeError();
  if (std::fflush(stream) != 0) return RuntimeFailed();
  const intptr_t handle = _get_osfhandle(_fileno(stream));
  if (handle == -1) return RuntimeFailed();
  return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

bool RemoveFile(const std::string& path) {
  ClearRuntimeError();
  return _wremove(ToWidePath(path).c_str()) == 0 || RuntimeFailed();
}

bool FileDescriptor(std::FILE* stream, int* fd) {
  ClearRuntimeError();
  const int found = _fileno(stream);
  if (found < 0) return RuntimeFailed();
  *fd = found;
  return true;
}

bool DuplicateDescriptor(int fd, int* duplicate) {
  ClearRuntimeError();
  const int made = _dup(fd);
  if (made < 0) return RuntimeFailed();
  *duplicate = made;
  return true;
}

bool DuplicateDescriptorTo(int fd1, int fd2) {
  ClearRuntimeError();
  return _dup2(fd1, fd2) == 0 || RuntimeFailed();
}

}  // namespace jx::os
