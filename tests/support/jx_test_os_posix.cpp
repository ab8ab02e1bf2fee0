// POSIX side of the test support: file times, links, pipes and the profile
// folder.
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/jx_test_support.h"

namespace jx::test {

namespace fs = std::filesystem;

void SetFileTimes(const std::string& path, int64_t seconds) {
  struct utimbuf times = {static_cast<time_t>(seconds), static_cast<time_t>(seconds)};
  utime(path.c_str(), &times);
}

bool MakeFolderLink(const std::string& link, const std::string& target) {
  std::error_code error;
  fs::create_directory_symlink(fs::u8path(target), fs::u8path(link), error);
  return !error;
}

bool MakeLink(const std::string& link, const std::string& target) {
  return symlink(target.c_str(), link.c_str()) == 0;
}

bool MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }

bool UseTemporaryProfile(const std::string& home) {
  return setenv("HOME", home.c_str(), 1) == 0 &&
         setenv("XDG_CONFIG_HOME", (home + ".config").c_str(), 1) == 0 &&
         setenv("XDG_DATA_HOME", (home + ".local/share").c_str(), 1) == 0;
}

std::shared_ptr<void> OfferNamedPipe(std::string*) { return nullptr; }

std::shared_ptr<void> HoldOpenForReading(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  return std::shared_ptr<void>(file,
                               [](void* held) { std::fclose(static_cast<std::FILE*>(held)); });
}

bool OnWindows() { return false; }

}  // namespace jx::test
