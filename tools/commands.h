// The commands of mird-check. Each returns what it found; none prints.
#ifndef MIRD_TOOLS_COMMANDS_H_
#define MIRD_TOOLS_COMMANDS_H_

#include <string>

#include "options.h"
#include "outcome.h"

namespace mird_tool {

// The product's check: loads the library (FindLibrary), turns its log on
// into `options.log_folder` unless that is "", and calls mird_check. The
// folder reported is the one the selector chooses.
Outcome RunLibraryCheck(const Options& options);

// The versions of this program and of the library it loads (FindLibrary).
Outcome RunVersion(const Options& options);

// The version folder the check would choose; with a non-empty `root`, the
// newest complete version folder under that root.
Outcome RunSelect(const std::string& root);

// Writes the manifest of the version folder `options.operand`.
Outcome RunManifest(const Options& options);

// The normalised, absolute form of a path named on the command line.
std::string PathArgument(const std::string& text);

// The normalised form of a folder named on the command line, ending in "/".
std::string FolderArgument(const std::string& text);

// An outcome of `command` for the folder argument `text`; its error is set
// when the folder does not exist.
Outcome StartOnFolder(const char* command, const std::string& text);

}  // namespace mird_tool

#endif  // MIRD_TOOLS_COMMANDS_H_
