#include "support/jx_test_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/jx_md5.h"
#include "base/jx_memory.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

namespace jx::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const fs::path base =
      fs::temp_directory_path() /
      ("jx_test_" + std::to_string(jx_get_current_process_id()) + "_" +
       std::to_string(jx_clock_tick_nanoseconds()) + "_" + std::to_string(counter++));
  fs::create_directories(base);
  path_ = base.generic_u8string();
  if (path_.empty() || path_.back() != '/') path_ += '/';
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(fs::u8path(path_), ignored);
}

void WriteFile(const std::string& path, const std::string& content) {
  const fs::path target = fs::u8path(path);
  if (target.has_parent_path()) fs::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string ReadTextFile(const std::string& path) {
  std::string text = ReadFile(path);
  size_t kept = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!OnWindows() || text.compare(i, 2, "\r\n") != 0) text[kept++] = text[i];
  }
  text.resize(kept);
  return text;
}

std::string WaitForFileContent(const std::string& path,
                               const std::function<bool(const std::string&)>& done) {
  const int64_t deadline = jx_clock_tick_milliseconds() + 60000;
  std::string content = ReadTextFile(path);
  while (!done(content) && jx_clock_tick_milliseconds() < deadline) {
    jx_this_thread_sleep(2);
    content = ReadTextFile(path);
  }
  return content;
}

std::string LogHead(int64_t wall_ms, int64_t thread_id) {
  const int64_t seconds = wall_ms / 1000;
  struct tm t {};
  jx_localtime(&t, &seconds);
  char head[128];
  std::snprintf(
      head, sizeof(head), "[%04d-%02d-%02d %02d:%02d:%02d:%03d][P%lld T%lld]", t.tm_year + 1900,
      t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(wall_ms % 1000),
      static_cast<long long>(jx_get_current_process_id()), static_cast<long long>(thread_id));
  return head;
}

std::string Md5Of(const std::string& content) {
  char* out = nullptr;
  uint32_t length = 0;
  jx_md5_string(content.data(), static_cast<uint32_t>(content.size()), &out, &length);
  std::string hex(out, length);
  jx_free(out);
  return hex;
}

}  // namespace jx::test
