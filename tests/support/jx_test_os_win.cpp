// Windows side of the test support: file times and folder links.
#include <sys/utime.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "support/jx_test_support.h"

namespace jx::test {

namespace fs = std::filesystem;

void SetFileTimes(const std::string& path, int64_t seconds) {
  struct __utimbuf64 times = {seconds, seconds};
  _utime64(path.c_str(), &times);
}

bool MakeFolderLink(const std::string& link, const std::string& target) {
  // Some systems (Wine among them) report success without making the link.
  const std::wstring wide_link = fs::u8path(link).make_preferred().wstring();
  const DWORD unprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  CreateSymbolicLinkW(wide_link.c_str(), fs::u8path(target).make_preferred().wstring().c_str(),
                      SYMBOLIC_LINK_FLAG_DIRECTORY | unprivileged);
  const DWORD attributes = GetFileAttributesW(wide_link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Links and pipes of the POSIX kind, and a movable profile folder, do not
// exist here: the tests that need them skip.
bool MakeLink(const std::string&, const std::string&) { return false; }

bool MakeFifo(const std::string&) { return false; }

bool UseTemporaryProfile(const std::string&) { return false; }

std::shared_ptr<void> OfferNamedPipe(std::string* path) {
  static int count = 0;
  *path =
      "//?/pipe/jx_test_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++count);
  const HANDLE pipe =
      CreateNamedPipeW(fs::u8path(*path).make_preferred().wstring().c_str(), PIPE_ACCESS_OUTBOUND,
                       PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return nullptr;
  return std::shared_ptr<void>(pipe, [](void* handle) { CloseHandle(handle); });
}

std::shared_ptr<void> HoldOpenForReading(const std::string& path) {
  const HANDLE file =
      CreateFileW(fs::u8path(path).wstring().c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::shared_ptr<void>(file, [](void* handle) { CloseHandle(handle); });
}

bool OnWindows() { return true; }

}  // namespace jx::test
