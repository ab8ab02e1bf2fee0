// The progress line.
#include "progress.h"

#include <cinttypes>
#include <cstdio>

namespace mird_tool {

namespace {

constexpr auto kInterval = std::chrono::milliseconds(200);

}  // namespace

Progress::Progress(bool on, int64_t total_files) : on_(on), total_files_(total_files) {}

Progress::~Progress() {
  if (on_ && width_ > 0) std::fprintf(stderr, "\r%*s\r", width_, "");
}

void Progress::Add(int64_t files, uint64_t bytes) {
  files_ += files;
  bytes_ += bytes;
  const Clock::time_point now = Clock::now();
  if (!on_ || (shown_once_ && now - shown_ < kInterval)) return;
  shown_once_ = true;
  shown_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double megabytes = static_cast<double>(bytes_) / 1e6;
  char line[160];
  int length = std::snprintf(line, sizeof(line), "%" PRId64, files_);
  if (total_files_ > 0) {
    length += std::snprintf(line + length, sizeof(line) - static_cast<size_t>(length), "/%" PRId64,
                            total_files_);
  }
  length += std::snprintf(line + length, sizeof(line) - static_cast<size_t>(length),
                          " files, %.1f MB, %.1f MB/s", megabytes, megabytes / seconds);
  if (total_files_ > files_ && files_ > 0) {
    const double left =
        seconds * static_cast<double>(total_files_ - files_) / static_cast<double>(files_);
    length += std::snprintf(line + length, sizeof(line) - static_cast<size_t>(length),
                            ", %.0f s left", left);
  }
  // Blanks over the rest of a longer line shown before.
  std::fprintf(stderr, "\r%s%*s", line, width_ > length ? width_ - length : 0, "");
  std::fflush(stderr);
  width_ = length;
}

}  // namespace mird_tool
