// The library's own log, turned on through its exports when the tool runs the
// product's check.
#ifndef MIRD_TOOLS_LIBRARY_LOG_H_
#define MIRD_TOOLS_LIBRARY_LOG_H_

#include <cstdint>
#include <string>

#include "library.h"

namespace mird_tool {

class LibraryLog {
 public:
  // No log: every call does nothing.
  LibraryLog() = default;

  // Turns the log of `library` on into `folder` (normalised, ending in "/")
  // under the module name "mird-check". When the library lacks jx_log_init
  // the log stays off and a note says so.
  LibraryLog(Library* library, const std::string& folder);

  bool on() const { return init_ != nullptr; }
  // The log file, "" when the log is off.
  const std::string& file() const { return file_; }

  // Records `message` at the information level, located at the caller.
  void Write(const std::string& message, const char* file = __builtin_FILE(),
             int line = __builtin_LINE(), const char* function = __builtin_FUNCTION()) const;

  // Records the last line, at a level the log keeps, and waits up to a few
  // seconds until it is in the file: the writer thread appends lines a
  // moment after they are queued, and lines still queued when the process
  // ends are lost. False when the line did not arrive in time.
  bool Finish(const std::string& message, const char* file = __builtin_FILE(),
              int line = __builtin_LINE(), const char* function = __builtin_FUNCTION()) const;

  // Whether the lines this run wrote to the file hold `text`; false when the
  // log is off.
  bool Holds(const std::string& text) const { return on() && FileHolds(text); }

 private:
  using InitFunction = bool (*)(const char*, const char*, int);
  using WriteFunction = bool (*)(const char*, int, const char*, const char*);
  using LevelFunction = int (*)();

  bool WriteAt(int level, const std::string& message, const char* file, int line,
               const char* function) const;
  // Whether the file holds `text` past the point where this run began.
  bool FileHolds(const std::string& text) const;

  InitFunction init_ = nullptr;
  WriteFunction write_ = nullptr;
  LevelFunction min_level_ = nullptr;
  std::string file_;
  std::string run_;         // tags this run's lines
  int64_t start_size_ = 0;  // the file's size before this run wrote to it
};

}  // namespace mird_tool

#endif  // MIRD_TOOLS_LIBRARY_LOG_H_
