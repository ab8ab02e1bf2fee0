// A progress line on standard error while files are digested.
#ifndef MIRD_TOOLS_PROGRESS_H_
#define MIRD_TOOLS_PROGRESS_H_

#include <chrono>
#include <cstdint>

namespace mird_tool {

// Rewrites one line on standard error, first after the first files are done,
// then at most five times a second: files
// and bytes done, the rate and, when the number of files is known, the time
// left. Off, it prints nothing.
class Progress {
 public:
  // `total_files` is 0 when not known.
  Progress(bool on, int64_t total_files);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  // Clears the line.
  ~Progress();

  void Add(int64_t files, uint64_t bytes);

 private:
  using Clock = std::chrono::steady_clock;

  const bool on_;
  const int64_t total_files_;
  int64_t files_ = 0;
  uint64_t bytes_ = 0;
  const Clock::time_point start_ = Clock::now();
  bool shown_once_ = false;
  Clock::time_point shown_ = start_;
  int width_ = 0;  // of the line shown
};

}  // namespace mird_tool

#endif  // MIRD_TOOLS_PROGRESS_H_
