// What one run of mird-check found, and how it is printed.
#ifndef MIRD_TOOLS_OUTCOME_H_
#define MIRD_TOOLS_OUTCOME_H_

#include <cstdint>
#include <string>

namespace mird_tool {

struct Outcome {
  std::string command;   // "check", "verify", "select" or "manifest"
  std::string folder;    // the version folder checked or chosen
  bool checked = false;  // a check ran and gave the four values below
  int code = 0;
  std::string text1;
  std::string text2;
  std::string report;
  std::string log_file;  // where the library's log went, "" for none
  std::string manifest;  // the manifest written
  int64_t files = -1;    // the number of files it lists
  std::string error;     // why the command failed; "" when it did not
};

// 0 when the command worked and every listed file is intact, 1 when files
// are missing or changed, 2 for a usage or I/O error.
int ExitStatus(const Outcome& outcome);

// Prints the outcome on standard output, as text or as one JSON object, and
// an error also on standard error.
void PrintOutcome(const Outcome& outcome, bool json);

// Prints "mird-check: <text>" on standard error.
void PrintNote(const std::string& text);

}  // namespace mird_tool

#endif  // MIRD_TOOLS_OUTCOME_H_
