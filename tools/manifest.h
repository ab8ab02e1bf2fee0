// Writing a version folder's MD5 manifest.
#ifndef MIRD_TOOLS_MANIFEST_H_
#define MIRD_TOOLS_MANIFEST_H_

#include <cstdint>
#include <string>
#include <vector>

namespace mird_tool {

// The MD5 of no bytes. The check never digests an empty file; a manifest
// lists one with this digest, as md5sum does.
constexpr char kEmptyDigest[] = "d41d8cd98f00b204e9800998ecf8427e";

// The files below the version folder `folder` (normalised, ending in "/"),
// folders left out, relative to it with "/" separators, in byte order; the
// version folder's own files (the manifest among them) are left out.
std::vector<std::string> ListVersionFiles(const std::string& folder);

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
// Files are digested by `jobs` threads (0: one per processor); `progress` shows a progress line.
int64_t WriteManifest(const std::string& folder, const std::string& manifest, int jobs,
                      bool progress, std::string* error);

}  // namespace mird_tool

#endif  // MIRD_TOOLS_MANIFEST_H_
