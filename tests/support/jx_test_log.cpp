#include "support/jx_test_log.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/jx_plog.h"

namespace jx::test {

std::vector<std::string> TakeLogBodies() {
  static LogContext* const log = [] {
    LogSettings settings;
    settings.min_level = JX_LOG_VERBOSE;
    EXPECT_TRUE(InstallLog(std::make_unique<LogContext>(settings)));
    return InstalledLog();
  }();
  std::vector<std::string> lines;
  log->TakeQueued(&lines);
  for (std::string& line : lines) line = LogBody(line);
  return lines;
}

std::string LogBody(const std::string& line) {
  const size_t start = line.find(']', line.find("[P")) + 1;
  size_t end = line.size();
  while (end > start && (line[end - 1] == '\n' || line[end - 1] == '\r')) --end;
  return line.substr(start, end - start);
}

}  // namespace jx::test
