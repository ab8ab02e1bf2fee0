// Reads mird-check's command line.
#include "options.h"

#include <algorithm>

namespace mird_tool {

namespace {

struct CommandWord {
  const char* word;
  Command command;
  size_t min_operands;
  size_t max_operands;
};

constexpr CommandWord kCommands[] = {
    {"verify", Command::kVerify, 1, 1},
    {"select", Command::kSelect, 0, 1},
    {"manifest", Command::kManifest, 1, 1},
};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Splits the arguments into options (applied to `options`) and words.
bool ReadOptions(const std::vector<std::string>& arguments, Options* options,
                 std::vector<std::string>* words, std::string* error) {
  bool only_words = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (only_words || argument == "-" || !StartsWith(argument, "-")) {
      words->push_back(argument);
    } else if (argument == "--") {
      only_words = true;
    } else if (argument == "--json") {
      options->json = true;
    } else if (argument == "--log" || StartsWith(argument, "--log=")) {
      const bool joined = argument != "--log";
      if (!joined && i + 1 == arguments.size()) {
        *error = "--log needs a folder";
        return false;
      }
      options->log_folder = joined ? argument.substr(6) : arguments[++i];
      if (options->log_folder.empty()) {
        *error = "--log needs a folder";
        return false;
      }
    } else {
      *error = "unknown option " + argument;
      return false;
    }
  }
  return true;
}

}  // namespace

const char* CommandName(Command command) {
  switch (command) {
    case Command::kCheck:
      return "check";
    case Command::kVerify:
      return "verify";
    case Command::kSelect:
      return "select";
    case Command::kManifest:
      return "manifest";
    case Command::kHelp:
      break;
  }
  return "help";
}

bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error) {
  *options = Options();
  if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end() ||
      std::find(arguments.begin(), arguments.end(), "-h") != arguments.end()) {
    options->command = Command::kHelp;
    return true;
  }
  std::vector<std::string> words;
  if (!ReadOptions(arguments, options, &words, error)) return false;
  if (words.empty()) return true;

  const auto* found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                   [&](const CommandWord& c) { return words[0] == c.word; });
  if (found == std::end(kCommands)) {
    *error = "unknown command " + words[0];
    return false;
  }
  const size_t operands = words.size() - 1;
  if (operands > found->max_operands) {
    *error = std::string(found->word) + ": too many arguments";
    return false;
  }
  if (operands < found->min_operands || (operands == 1 && words[1].empty())) {
    *error = std::string(found->word) + " needs a folder";
    return false;
  }
  if (!options->log_folder.empty()) {
    *error = std::string("--log goes with the default command only: ") + found->word +
             " runs inside this tool, not in the library";
    return false;
  }
  options->command = found->command;
  if (operands == 1) options->operand = words[1];
  return true;
}

const char* HelpText() {
  return R"(usage: mird-check [--json] [--log DIR]
       mird-check [--json] verify DIR
       mird-check [--json] select [ROOT]
       mird-check [--json] manifest DIR
       mird-check --help

Checks an installed version of the product against its MD5 manifest
"verify.md5.check".

With no command, mird-check does what the product does: it loads the library
(libmird_check.so / mird_check.dll) from its own folder and calls mird_check,
which finds the install root (the first word of ".trelm_install" in the user's
profile folder, else in the user's application-data folder, else the default
root, else this program's folder), picks the newest version folder there that
holds no ".version_updating", and re-digests every file its manifest lists.
It prints the chosen version folder, the result code and the report: the
files that are missing or changed, as JSON.

Commands:
  verify DIR     verify the version folder DIR against DIR/verify.md5.check,
                 with the same rules, inside this tool
  select [ROOT]  print the version folder the check would choose; with ROOT,
                 the newest complete version folder under ROOT
  manifest DIR   write DIR/verify.md5.check: one line "<md5> *./<path>" per
                 plain file below DIR, paths in byte order, the version
                 folder's own files (verify.md5.check, .version_updating,
                 .version_ota_config, .version_roll_back.zip) left out. The
                 lines are those of "md5sum -b" run in DIR on "./" paths.

Options:
  --log DIR      turn the library's log on, into DIR/trace.mird-check.blog
                 (default command only); the program waits until the
                 check's lines are written
  --json         print one JSON object instead of text
  --help         print this text

Exit status: 0 every listed file is intact (or nothing was listed), 1 files
are missing or changed, 2 usage or I/O error. The check skips files of
50 MiB and more, and files that exist but give no digest (empty, unreadable,
not a plain file); its log names them.
)";
}

}  // namespace mird_tool
