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
};

struct Options {
  Command command = Command::kCheck;
  // The folder the command names ("" when it takes none, or select has none).
  std::string operand;
  // Where the library's log goes; "" for no log.
  std::string log_folder;
  bool json = false;
};

// The name a command is reported under: "check", "verify", "select",
// "manifest" or "help".
const char* CommandName(Command command);

// Reads the arguments that follow the program name. Options may stand
// anywhere; "--" makes every later argument an operand. Returns false and
// says why in `*error` on a usage error; "--help" anywhere wins.
bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error);

// The text --help prints.
const char* HelpText();

}  // namespace mird_tool

#endif  // MIRD_TOOLS_OPTIONS_H_
