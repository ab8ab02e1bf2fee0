// Windows implementation of the folder calls.
#include <windows.h>

#include <io.h>
#include <stdio.h>

#include <string>
#include <string_view>

#include "platform/jx_os.h"
#include "platform/win/win_error.h"
#include "platform/win/win_text.h"

namespace jx::os {

namespace {

// Symbolic links, junctions and every other reparse point on a folder are
// listed, never entered.
EntryKind KindOf(DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return EntryKind::kFile;
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::kFolderLink
                                                          : EntryKind::kFolder;
}

// The path that reaches a link itself: with a trailing "/" the system goes
// through the link first. A drive root keeps its "/" ("C:" alone names the
// drive's current folder).
std::wstring OwnPath(const std::string& path) {
  const bool drive_root = path.size() == 3 && path[1] == ':';
  if (path.size() < 2 || path.back() != '/' || drive_root) return ToWidePath(path);
  return ToWidePath(std::string_view(path).substr(0, path.size() - 1));
}

}  // namespace

bool ReadFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(ToWidePath(folder + "*.*").c_str(), &found);
  // A drive root has no "." entry, so an empty one yields nothing at all.
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::wstring_view name(found.cFileName);
    if (name.empty() || name == L"." || name == L"..") continue;
    entries->push_back({FromWide(name), KindOf(found.dwFileAttributes)});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return true;
}

bool CreateFolder(const std::string& path) {
  return CreateDirectoryW(ToWidePath(path).c_str(), nullptr) != 0;
}

// RemoveDirectoryW removes a folder link itself, not its target.
bool RemoveFolder(const std::string& path) { return RemoveDirectoryW(OwnPath(path).c_str()) != 0; }

bool ReplacePath(const std::string& from, const std::string& to) {
  return MoveFileExW(ToWidePath(from).c_str(), ToWidePath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool IsLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(OwnPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool RenamePath(const std::string& from, const std::string& to) {
  ClearRuntimeError();
  return _wrename(ToWidePath(from).c_str(), ToWidePath(to).c_str()) == 0 || RuntimeFailed();
}

}  // namespace jx::os
