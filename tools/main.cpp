// mird-check: the product's version check from the command line.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "base/jx_hand_out.h"
#include "base/jx_system.h"
#include "commands.h"
#include "options.h"
#include "outcome.h"
#include "verify.h"

namespace {

using mird_tool::Command;
using mird_tool::Options;
using mird_tool::Outcome;

// The arguments after the program name, as UTF-8 on every platform.
std::vector<std::string> Arguments() {
  std::vector<std::string> arguments;
  const int count = jx_command_line_args_count();
  for (int i = 1; i < count; ++i) {
    // An empty argument reads as false, and as "".
    arguments.push_back(jx::TakeText(
        [i](char** text, uint32_t* length) { return jx_command_line_at(i, text, length); }));
  }
  return arguments;
}

Outcome Run(const Options& options) {
  switch (options.command) {
    case Command::kVerify:
      return mird_tool::RunVerify(options);
    case Command::kSelect:
      return mird_tool::RunSelect(options.operand);
    case Command::kManifest:
      return mird_tool::RunManifest(options);
    case Command::kVersion:
      return mird_tool::RunVersion(options);
    case Command::kCheck:
    case Command::kHelp:
      break;
  }
  return mird_tool::RunLibraryCheck(options);
}

}  // namespace

int main() {
  Options options;
  std::string error;
  if (!mird_tool::ParseOptions(Arguments(), &options, &error)) {
    Outcome usage;
    usage.error = error + " (see mird-check --help)";
    mird_tool::PrintOutcome(usage, options);
    return mird_tool::ExitStatus(usage, options);
  }
  if (options.command == Command::kHelp) {
    std::fputs(mird_tool::HelpText(), stdout);
    return 0;
  }
  Outcome outcome;
  try {
    outcome = Run(options);
  } catch (const std::exception& failure) {
    outcome.command = mird_tool::CommandName(options.command);
    outcome.error = std::string("stopped: ") + failure.what();
  }
  mird_tool::PrintOutcome(outcome, options);
  return mird_tool::ExitStatus(outcome, options);
}
