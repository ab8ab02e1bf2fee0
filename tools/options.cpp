// Reads mird-check's command line.
#include "options.h"

#include <algorithm>
#include <cstring>

namespace mird_tool {

namespace {

// Each command as a bit, for the commands an option goes with.
constexpr unsigned Bit(Command command) { return 1u << static_cast<unsigned>(command); }
constexpr unsigned kAnyCommand = ~0u;

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

constexpr int kMaxJobs = 256;

bool SetJobs(const std::string& value, Options* options) {
  if (value.empty() || value.size() > 3 ||
      value.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  options->jobs = std::stoi(value);
  return options->jobs >= 1 && options->jobs <= kMaxJobs;
}

struct OptionWord {
  const char* name;
  const char* value;  // what it takes ("a folder"), null for a flag
  unsigned commands;  // the commands it goes with
  // Applies the option with its value ("" for a flag); false for a value it
  // does not take.
  bool (*apply)(const std::string& value, Options* options);
};

template <bool Options::*flag>
bool SetFlag(const std::string&, Options* options) {
  options->*flag = true;
  return true;
}

template <std::string Options::*text>
bool SetText(const std::string& value, Options* options) {
  options->*text = value;
  return !value.empty();
}

bool SetVersion(const std::string&, Options* options) {
  options->command = Command::kVersion;
  return true;
}

constexpr unsigned kVerifyOnly = Bit(Command::kVerify);

constexpr OptionWord kOptionWords[] = {
    {"--json", nullptr, kAnyCommand, &SetFlag<&Options::json>},
    {"--status", nullptr, kAnyCommand, &SetFlag<&Options::status>},
    {"--strict", nullptr, kVerifyOnly, &SetFlag<&Options::strict>},
    {"--quiet", nullptr, kVerifyOnly, &SetFlag<&Options::quiet>},
    {"--extra", nullptr, kVerifyOnly, &SetFlag<&Options::extra>},
    {"--version", nullptr, kAnyCommand, &SetVersion},
    {"-V", nullptr, kAnyCommand, &SetVersion},
    {"--log", "a folder", Bit(Command::kCheck), &SetText<&Options::log_folder>},
    {"--library", "a file", Bit(Command::kCheck) | Bit(Command::kVersion),
     &SetText<&Options::library>},
    {"--manifest", "a file or -", kVerifyOnly, &SetText<&Options::manifest>},
    {"--jobs", "a number from 1 to 256", kVerifyOnly | Bit(Command::kManifest), &SetJobs},
};

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// Splits the arguments into options (applied to `options`, and kept in
// `*given`) and words. A value follows its option as the next argument or
// after "=".
bool ReadOptions(const std::vector<std::string>& arguments, Options* options,
                 std::vector<const OptionWord*>* given, std::vector<std::string>* words,
                 std::string* error) {
  bool only_words = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (only_words || argument == "-" || !StartsWith(argument, "-")) {
      words->push_back(argument);
      continue;
    }
    if (argument == "--") {
      only_words = true;
      continue;
    }
    const auto* option =
        std::find_if(std::begin(kOptionWords), std::end(kOptionWords), [&](const OptionWord& word) {
          return argument == word.name ||
                 (word.value && StartsWith(argument, word.name + std::string("=")));
        });
    if (option == std::end(kOptionWords)) {
      *error = "unknown option " + argument;
      return false;
    }
    std::string value;
    if (option->value != nullptr) {
      const bool joined = argument != option->name;
      if (!joined && i + 1 == arguments.size()) {
        *error = std::string(option->name) + " needs " + option->value;
        return false;
      }
      value = joined ? argument.substr(std::strlen(option->name) + 1) : arguments[++i];
    }
    if (!option->apply(value, options)) {
      *error = std::string(option->name) + " needs " + option->value;
      return false;
    }
    given->push_back(option);
  }
  return true;
}

// The command the words name, with its operand; false and why on an error.
bool ReadCommand(const std::vector<std::string>& words, Options* options, std::string* error) {
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
  options->command = found->command;
  if (operands == 1) options->operand = words[1];
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
    case Command::kVersion:
      return "version";
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
  std::vector<const OptionWord*> given;
  if (!ReadOptions(arguments, options, &given, &words, error)) return false;
  // --version wins over any command.
  if (options->command != Command::kVersion && !ReadCommand(words, options, error)) return false;
  for (const OptionWord* option : given) {
    if ((option->commands & Bit(options->command)) == 0) {
      *error = std::string(option->name) + " does not go with " +
               (options->command == Command::kCheck ? "the default command"
                                                    : CommandName(options->command));
      return false;
    }
  }
  return true;
}

const char* HelpText() {
  return R"(usage: mird-check [--json] [--status] [--log DIR] [--library FILE]
       mird-check [--json] [--strict] [--quiet | --status] [--extra]
                  [--manifest FILE] [--jobs N] verify DIR
       mird-check [--json] select [ROOT]
       mird-check [--json] [--jobs N] manifest DIR
       mird-check [--json] [--library FILE] --version
       mird-check --help

Checks an installed version of the product against its MD5 manifest
"verify.md5.check".

With no command, mird-check does what the product does: it loads the library
(libmird_check.so / mird_check.dll) from its own folder, else from the
installation's library folder, and calls mird_check, which finds the install
root (the first word of ".trelm_install" in the user's profile folder, else in
the user's application-data folder, else the default root, else this
program's folder), picks the newest version folder there that holds no
".version_updating", and re-digests every file its manifest lists. It prints
the chosen version folder, the result code and the report: the files that are
missing or changed, as JSON.

Commands:
  verify DIR     verify the version folder DIR against DIR/verify.md5.check
                 with the check's rules, inside this tool, and give each line
                 a kind: ok, changed, missing, unreadable, empty (a listed file
                 now empty), skipped-large (50 MiB or more: not verified),
                 malformed (the line number says why), outside (a path that
                 leaves DIR), and with --extra, extra (a file below DIR that
                 no line lists). The code and report are the check's.
  select [ROOT]  print the version folder the check would choose; with ROOT,
                 the newest complete version folder under ROOT
  manifest DIR   write DIR/verify.md5.check: one line "<md5> *./<path>" per
                 plain file below DIR, paths in byte order, the version
                 folder's own files (verify.md5.check, .version_updating,
                 .version_ota_config, .version_roll_back.zip) left out. The
                 lines are those of "md5sum -b" run in DIR on "./" paths.

Options:
  --strict       verify: any line not ok fails (exit status 1)
  --quiet        verify: print only the lines that are not ok
  --status       print nothing; the exit status tells
  --extra        verify: also report files below DIR that are not listed
  --manifest F   verify: read the manifest F (- for standard input); its
                 paths are relative to DIR
  --jobs N       verify, manifest: digest on N threads (default: one per
                 processor)
  --log DIR      turn the library's log on, into DIR/trace.mird-check.blog
                 (default command only); the program waits until the
                 check's lines are written
  --library F    load the library file F
  --json         print one JSON object instead of text; bytes of names that
                 are not UTF-8 are written as \udcXX (XX the byte in hex)
  --version      print this program's version and the loaded library's
  --help         print this text

While files are digested, a progress line shows on standard error when it is
a terminal.

Exit status: 0 every listed file is intact (or nothing was listed), 1 files
are missing or changed (with --strict: a line is not ok), 2 usage or I/O
error, or a manifest with no line that lists a file. Without --strict, the
check's rules pass lines of the other kinds; a warning on standard error
counts each kind.
)";
}

}  // namespace mird_tool
