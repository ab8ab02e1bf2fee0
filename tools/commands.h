// The commands of mird-check. Each returns what it found; none prints.
#ifndef MIRD_TOOLS_COMMANDS_H_
#define MIRD_TOOLS_COMMANDS_H_

#include <string>

#include "outcome.h"

namespace mird_tool {

// The product's check: loads the library from this program's folder, turns
// its log on into `log_folder` unless that is "", and calls mird_check. The
// folder reported is the one the selector chooses.
Outcome RunLibraryCheck(const std::string& log_folder);

// Verifies the version folder `folder` against its manifest in this process.
Outcome RunVerify(const std::string& folder);

// The version folder the check would choose; with a non-empty `root`, the
// newest complete version folder under that root.
Outcome RunSelect(const std::string& root);

// Writes the manifest of the version folder `folder`.
Outcome RunManifest(const std::string& folder);

// The normalised form of a folder named on the command line, ending in "/".
std::string FolderArgument(const std::string& text);

}  // namespace mird_tool

#endif  // MIRD_TOOLS_COMMANDS_H_
