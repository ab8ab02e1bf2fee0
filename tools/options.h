// The command line of mird-check.
#ifndef MIRD_TOOLS_OPTIONS_H_
#define MIRD_TOOLS_OPTIONS_H_

#include <string>
#include <vector>

namespace mird_tool {

enum class Command {
  kCheck,     // no command: the product's check, run by the library
  kVerify,    // verify DIR
  kSelect,    // select [ROOT]
  kManifest,  // manifest DIR
  kHelp,      // --help
  kVersion,   // --version
};

struct Options {
  Command command = Command::kCheck;
  // The folder the command names ("" when it takes none, or select has none).
  std::string operand;
  // Where the library's log goes; "" for no log.
  std::string log_folder;
  // The library file to load; "" to look beside the program, then in the
  // installation's library folder.
  std::string library;
  // The manifest verify reads: "" for DIR's own, "-" for standard input.
  std::string manifest;
  // Threads that digest files; 0 for one per processor.
  int jobs = 0;
  bool json = false;
  bool strict = false;  // verify: any entry that is not intact fails
  bool quiet = false;   // verify: print only the entries that are not intact
  bool status = false;  // print nothing; the exit status tells
  bool extra = false;   // verify: report files below DIR that are not listed
};

// The name a command is reported under: "check", "verify", "select",
// "manifest", "help" or "version".
const char* CommandName(Command command);

// Reads the arguments that follow the program name. Options may stand
// anywhere; "--" makes every later argument an operand. Returns false and
// says why in `*error` on a usage error; "--help" anywhere wins, then
// "--version".
bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error);

// The text --help prints.
const char* HelpText();

}  // namespace mird_tool

#endif  // MIRD_TOOLS_OPTIONS_H_
