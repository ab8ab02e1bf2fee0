// Writing a version folder's MD5 manifest.
#ifndef MIRD_TOOLS_MANIFEST_H_
#define MIRD_TOOLS_MANIFEST_H_

#include <cstdint>
#include <string>

namespace mird_tool {

// Writes to `manifest` one line "<md5> *./<path>" for every plain file below
// the version folder `folder` (normalised, ending in "/"): the layout that
// "md5sum -b" writes for "./" paths and that the check reads. Paths are
// relative to `folder`, with "/" separators, in byte order; the version
// folder's own files (the manifest among them) are left out, and so are
// FIFOs, devices and sockets (a note names each). Returns the number of
// lines written, or -1 with the reason in `*error` when a file cannot be read
// or named in a manifest line, or the manifest cannot be written; nothing is
// written then. The manifest appears whole or not at all (written beside it,
// then renamed over it); one that is a link or not a plain file is refused.
int64_t WriteManifest(const std::string& folder, const std::string& manifest, std::string* error);

}  // namespace mird_tool

#endif  // MIRD_TOOLS_MANIFEST_H_
