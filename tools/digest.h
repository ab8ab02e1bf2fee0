// Digesting many files on several threads, for verify and manifest.
#ifndef MIRD_TOOLS_DIGEST_H_
#define MIRD_TOOLS_DIGEST_H_

#include <string>
#include <vector>

#include "progress.h"
#include "qz_check_trelm_version.h"

namespace mird_tool {

// QZCheckDigestFiles(paths, skip_size), computed by `jobs` threads (the
// caller's among them; 0 for one per processor), each with its own MD5
// lanes; results in the order of `paths`. Files and bytes are added to `progress` as they are done.
std::vector<QZCheckFileDigest> DigestFiles(const std::vector<std::string>& paths,
                                           uint64_t skip_size, int jobs, Progress* progress);

}  // namespace mird_tool

#endif  // MIRD_TOOLS_DIGEST_H_
