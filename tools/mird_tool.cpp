// Command-line host of the library for release engineers.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/jx_string.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

namespace {

int PrintInfo() {
  const int64_t now = jx_system_time_milliseconds();
  const int64_t seconds = now / 1000;
  struct tm local {};
  char stamp[64] = "?";
  if (jx_localtime(&local, &seconds) == 0) {
    std::snprintf(stamp, sizeof(stamp), "%04d-%02d-%02d %02d:%02d:%02d.%03d",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<int>(now % 1000));
  }
  std::printf("toolkit        mird_check (pointer size %d bits)\n",
              static_cast<int>(sizeof(void*) * 8));
  std::printf("local time     %s\n", stamp);
  std::printf("process id     %" PRId64 "\n", jx_get_current_process_id());
  std::printf("thread id      %" PRId64 "\n", jx_get_current_thread_id());
  std::printf("monotonic ms   %" PRId64 "\n", jx_clock_tick_milliseconds());
  char sample[] = "C:\\data\\\\app\\.\\logs\\..\\bin\\tool.exe";
  std::printf("path sample    %s -> ", sample);
  fix_file_path(sample, 0);
  std::printf("%s\n", sample);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "info") != 0) {
    std::fprintf(stderr, "usage: %s [info]\n", argv[0]);
    return 2;
  }
  return PrintInfo();
}
