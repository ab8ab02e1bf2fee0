// Running programs as child processes, for the end-to-end tests.
// jx_test_process_posix.cpp and jx_test_process_win.cpp implement it.
#ifndef JX_TESTS_SUPPORT_JX_TEST_PROCESS_H_
#define JX_TESTS_SUPPORT_JX_TEST_PROCESS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace jx::test {

struct ProcessResult {
  int exit_code = -1;  // -1 when the program could not run or did not end by itself
  std::string out;     // everything it wrote to standard output
  std::string err;     // and to standard error
};

// Runs the program at the UTF-8 path `program` with `arguments` (argument 0
// is added) and this process's environment, waits for it to end and returns
// what it wrote. Standard input reads the file at `input`, or nothing.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input = "");

}  // namespace jx::test

#endif  // JX_TESTS_SUPPORT_JX_TEST_PROCESS_H_
