// What one run of mird-check found, and how it is printed.
#ifndef MIRD_TOOLS_OUTCOME_H_
#define MIRD_TOOLS_OUTCOME_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "options.h"

namespace mird_tool {

// What verify found for one manifest line, or with --extra one unlisted file.
enum class Kind {
  kOk,            // digested, and the digest is the listed one
  kChanged,       // digested, and the digest differs
  kMissing,       // not there
  kUnreadable,    // there, but gives no digest: not a plain file, or a read failed
  kEmpty,         // a plain file of no bytes: the check never digests one
  kSkippedLarge,  // 50 MiB or more: the check does not verify such a file
  kMalformed,     // a line that lists no file the check verifies
  kOutside,       // a path that leaves the version folder
  kExtra,         // below the folder but not listed (--extra)
};
constexpr size_t kKindCount = static_cast<size_t>(Kind::kExtra) + 1;

// "ok", "changed", "missing", "unreadable", "empty", "skipped-large",
// "malformed", "outside" or "extra".
const char* KindName(Kind kind);

struct Entry {
  Kind kind = Kind::kOk;
  std::string path;  // as listed, relative to the folder; "" for a malformed line
  int64_t line = 0;  // its line in the manifest; 0 for an extra file
  std::string why;   // for a malformed line: what is wrong with it
};

// How an entry's line shows: its path, or for a malformed line
// "line <n>: <why>".
std::string EntryText(const Entry& entry);

struct Outcome {
  std::string command;   // "check", "verify", "select", "manifest" or "version"
  std::string folder;    // the version folder checked or chosen
  bool checked = false;  // a check ran and gave the four values below
  int code = 0;
  std::string text1;
  std::string text2;
  std::string report;
  std::string log_file;  // where the library's log went, "" for none
  std::string manifest;  // the manifest written or read
  int64_t files = -1;    // the number of files it lists
  // verify: the entries kept for printing (all, or those not ok), in the
  // manifest's order and then the extra files; and how many of each kind.
  std::vector<Entry> entries;
  std::array<int64_t, kKindCount> kinds{};
  // version: the library loaded, and the versions of the tool and of it.
  std::string library;
  std::string tool_version;
  std::string library_version;
  std::string error;  // why the command failed; "" when it did not
};

// 0 when the command worked and every listed file is intact, 1 when files
// are missing or changed (with --strict, when any entry is not ok), 2 for a
// usage or I/O error.
int ExitStatus(const Outcome& outcome, const Options& options);

// Prints the outcome on standard output, as text or as one JSON object, and
// an error and warnings on standard error; with --status, only an error.
void PrintOutcome(const Outcome& outcome, const Options& options);

// Prints "mird-check: <text>" on standard error.
void PrintNote(const std::string& text);

// `json` with each byte that is not part of a well-formed UTF-8 character
// written as the escape "\udcXX" (XX its hex value), the way Python's
// "surrogateescape" handler shows such bytes: valid UTF-8 JSON for any file
// name, from which the original bytes can be restored. Bytes outside strings
// are always ASCII, so only strings are affected.
std::string EscapeIllFormedUtf8(const std::string& json);

}  // namespace mird_tool

#endif  // MIRD_TOOLS_OUTCOME_H_
