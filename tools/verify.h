// mird-check verify: a version folder against a manifest, entry by entry.
#ifndef MIRD_TOOLS_VERIFY_H_
#define MIRD_TOOLS_VERIFY_H_

#include "options.h"
#include "outcome.h"

namespace mird_tool {

// Verifies the folder `options.operand` against its manifest, or the one
// `options.manifest` names, with the check's rules: the code and report are
// those the check gives. Each line also gets a kind, kept in the outcome
// (all of them, or only those not ok with --quiet or --status). A manifest
// with no line that lists a file is an error. Files are digested by
// `options.jobs` threads.
Outcome RunVerify(const Options& options);

}  // namespace mird_tool

#endif  // MIRD_TOOLS_VERIFY_H_
