// Shared test helpers for the lines the process-wide log queues.
#ifndef JX_TESTS_SUPPORT_JX_TEST_LOG_H_
#define JX_TESTS_SUPPORT_JX_TEST_LOG_H_

#include <string>
#include <vector>

namespace jx::test {

// Installs a process-wide log at the verbose level that only queues (on the
// first call), then returns the lines queued since the last call, each
// without its head and line end: "[E:0400][location][module] message".
std::vector<std::string> TakeLogBodies();

// The part of the log line `line` after its head "[time][P.. T..]", without
// the line end.
std::string LogBody(const std::string& line);

}  // namespace jx::test

#endif  // JX_TESTS_SUPPORT_JX_TEST_LOG_H_
