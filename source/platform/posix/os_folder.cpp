// POSIX implementation of the folder calls.
#include <dirent.h>
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

// lstat and unlink act on a link itself only when the path has no trailing
// "/"; with one, the system resolves the link first.
std::string WithoutTrailingSlash(const std::string& path) {
  return path.size() > 1 && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

EntryKind KindOfTarget(int folder_fd, const char* name) {
  struct stat target {};
  if (fstatat(folder_fd, name, &target, 0) != 0) return EntryKind::kOther;  // broken link
  if (S_ISDIR(target.st_mode)) return EntryKind::kFolderLink;
  return S_ISREG(target.st_mode) ? EntryKind::kFile : EntryKind::kOther;
}

// The kind of one entry, looking through a link only to learn what it
// points to, never to enter it.
EntryKind KindOf(int folder_fd, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return EntryKind::kFolder;
    case DT_REG:
      return EntryKind::kFile;
    case DT_LNK:
      return KindOfTarget(folder_fd, entry.d_name);
    case DT_UNKNOWN:
      break;  // some file systems leave the type to lstat
    default:
      return EntryKind::kOther;
  }
  struct stat own {};
  if (fstatat(folder_fd, entry.d_name, &own, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::kOther;
  if (S_ISLNK(own.st_mode)) return KindOfTarget(folder_fd, entry.d_name);
  if (S_ISDIR(own.st_mode)) return EntryKind::kFolder;
  return S_ISREG(own.st_mode) ? EntryKind::kFile : EntryKind::kOther;
}

}  // namespace

bool ReadFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  const int fd = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    entries->push_back({entry->d_name, KindOf(fd, *entry)});
  }
  closedir(dir);
  return true;
}

bool CreateFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool RemoveFolder(const std::string& path) {
  const std::string own = WithoutTrailingSlash(path);
  if (IsLink(own)) return unlink(own.c_str()) == 0;
  return rmdir(path.c_str()) == 0;
}

bool ReplacePath(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool IsLink(const std::string& path) {
  struct stat own {};
  return lstat(WithoutTrailingSlash(path).c_str(), &own) == 0 && S_ISLNK(own.st_mode);
}

bool RenamePath(const std::string& from, const std::string& to) {
  // Windows never replaces the destination of a rename; neither do we.
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: the callers have checked the destination.
  struct stat taken {};
  if (lstat(to.c_str(), &taken) == 0) return Fail(EEXIST);
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace jx::os
