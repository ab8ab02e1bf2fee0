// POSIX implementation of the file calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/jx_os.h"
#include "platform/posix/posix_error.h"

namespace jx::os {

namespace {

int OpenFlags(const char* mode, OpenRule rule) {
  const bool update = std::strchr(mode, '+') != nullptr;
  int flags;
  switch (mode[0]) {
    case 'r':
      flags = update ? O_RDWR : O_RDONLY;
      break;
    case 'w':
      flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
      break;
    default:  // 'a'
      flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
      break;
  }
  if (rule == OpenRule::kNoFinalLink) flags |= O_NOFOLLOW;
  // O_EXCL never follows a final link: an entry of any kind fails the open.
  if (rule == OpenRule::kCreateNew) flags = (flags & ~O_TRUNC) | O_EXCL;
  return flags;
}

int64_t Seconds(const struct statx_timestamp& stamp) { return stamp.tv_sec; }

void FillInfo(const struct statx& status, PathInfo* info) {
  info->is_directory = S_ISDIR(status.stx_mode);
  info->is_regular = S_ISREG(status.stx_mode);
  info->size = info->is_directory ? 0 : status.stx_size;
  info->access_time = Seconds(status.stx_atime);
  info->write_time = Seconds(status.stx_mtime);
  info->create_time =
      (status.stx_mask & STATX_BTIME) != 0 ? Seconds(status.stx_btime) : Seconds(status.stx_ctime);
}

constexpr unsigned kStatMask = STATX_BASIC_STATS | STATX_BTIME;

// Opens `path` without blocking on a FIFO or device that has no peer, and
// fills `status` from one status call on the new descriptor. The descriptor,
// or -1 on failure and for a folder (Windows never opens one).
int OpenDescriptor(const std::string& path, const char* mode, OpenRule rule, struct stat* status) {
  const int fd = open(path.c_str(), OpenFlags(mode, rule) | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  const bool readable = fstat(fd, status) == 0;
  if (!readable || S_ISDIR(status->st_mode)) {
    if (readable) errno = EISDIR;
    KeepingError([&] { close(fd); });
    return -1;
  }
  return fd;
}

// As OpenDescriptor, for a plain file only: -1 for a FIFO, device or socket.
int OpenPlainDescriptor(const std::string& path, const char* mode, OpenRule rule,
                        struct stat* status) {
  const int fd = OpenDescriptor(path, mode, rule, status);
  if (fd < 0 || S_ISREG(status->st_mode)) return fd;
  close(fd);
  errno = EINVAL;
  return -1;
}

// Puts a stream on `fd`, which OpenDescriptor opened and found as `status`
// says; closes `fd` when that fails.
bool StreamOn(int fd, const struct stat& status, const char* mode, std::FILE** stream) {
  // Reads of anything but a plain file (which ignores the flag) block again.
  if (!S_ISREG(status.st_mode)) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  }
  std::FILE* opened = fdopen(fd, mode);
  if (opened == nullptr) {
    KeepingError([&] { close(fd); });
    return false;
  }
  *stream = opened;
  return true;
}

}  // namespace

size_t KeptPathPrefix(std::string_view) { return 0; }

bool OpenFile(const std::string& path, const char* mode, std::FILE** stream, OpenRule rule) {
  struct stat status {};
  const int fd = OpenDescriptor(path, mode, rule, &status);
  return fd >= 0 && StreamOn(fd, status, mode, stream);
}

bool OpenPlainFile(const std::string& path, const char* mode, std::FILE** stream, uint64_t* size,
                   OpenRule rule) {
  struct stat status {};
  const int fd = OpenPlainDescriptor(path, mode, rule, &status);
  if (fd < 0 || !StreamOn(fd, status, mode, stream)) return false;
  *size = static_cast<uint64_t>(status.st_size);
  return true;
}

bool OpenPlainForReading(const std::string& path, FileHandle* file, uint64_t* size) {
  struct stat status {};
  const int fd = OpenPlainDescriptor(path, "rb", OpenRule::kFollowLinks, &status);
  if (fd < 0) return false;
  *file = fd;
  *size = static_cast<uint64_t>(status.st_size);
  return true;
}

bool ReadHandle(FileHandle file, void* buffer, uint32_t size, uint32_t* got) {
  ssize_t read_now;
  do {
    read_now = read(static_cast<int>(file), buffer, size);
  } while (read_now < 0 && errno == EINTR);
  if (read_now < 0) return false;
  *got = static_cast<uint32_t>(read_now);
  return true;
}

void CloseFileHandle(FileHandle file) { close(static_cast<int>(file)); }

bool ReopenFile(const std::string& path, const char* mode, std::FILE* stream) {
  return std::freopen(path.c_str(), mode, stream) != nullptr;
}

bool StatPath(const std::string& path, PathInfo* info) {
  struct statx status {};
  // A broken link (or a loop of links) still is an entry of its folder: it
  // reports itself, as Windows reports a link without following it.
  if (statx(AT_FDCWD, path.c_str(), 0, kStatMask, &status) != 0 &&
      statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, kStatMask, &status) != 0) {
    return false;
  }
  FillInfo(status, info);
  return true;
}

bool FlushToDisk(std::FILE* stream) {
  return std::fflush(stream) == 0 && fsync(fileno(stream)) == 0;
}

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool FileDescriptor(std::FILE* stream, int* fd) {
  const int found = fileno(stream);
  if (found < 0) return false;
  *fd = found;
  return true;
}

bool DuplicateDescriptor(int fd, int* duplicate) {
  const int made = dup(fd);
  if (made < 0) return false;
  *duplicate = made;
  return true;
}

bool DuplicateDescriptorTo(int fd1, int fd2) { return dup2(fd1, fd2) >= 0; }

}  // namespace jx::os
