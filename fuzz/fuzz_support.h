// What every fuzz target shares: property checks that stop the run with the
// failed condition, and a scratch file for code that reads from files.
#ifndef FUZZ_FUZZ_SUPPORT_H_
#define FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace jx::fuzz {

[[noreturn]] inline void PropertyFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, condition);
  std::abort();
}

// A file of this process's own in the temporary folder, rewritten for each
// input and removed when the process ends.
class ScratchFile {
 public:
  explicit ScratchFile(const char* name) {
    const char* folder = std::getenv("TMPDIR");
    path_ = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/" + name + "." +
            std::to_string(getpid());
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Replaces the content; the path of the file.
  const std::string& Write(std::string_view content) {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (!content.empty() &&
        std::fwrite(content.data(), 1, content.size(), file) != content.size()) {
      std::abort();
    }
    std::fclose(file);
    return path_;
  }

 private:
  std::string path_;
};

// `text` cut at every line feed, which is not kept: n feeds give n + 1 lines.
inline std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines(1);
  for (const char c : text) {
    if (c == '\n') {
      lines.emplace_back();
    } else {
      lines.back().push_back(c);
    }
  }
  return lines;
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace jx::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::jx::fuzz::PropertyFailed(#condition, __FILE__, __LINE__))

#endif  // FUZZ_FUZZ_SUPPORT_H_
