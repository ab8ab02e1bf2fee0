// Shared test helpers for the version check: version folders with their
// manifest.
#ifndef JX_TESTS_SUPPORT_JX_TEST_CHECK_H_
#define JX_TESTS_SUPPORT_JX_TEST_CHECK_H_

#include <string>
#include <utility>
#include <vector>

namespace jx::test {

// Relative path and content of each file of a version, in manifest order.
using VersionFiles = std::vector<std::pair<std::string, std::string>>;

// The manifest line that lists `path` with the MD5 of `content`.
std::string ManifestLine(const std::string& path, const std::string& content);

// Writes `files` into the "/"-terminated `folder` with a manifest listing them.
void WriteVersion(const std::string& folder, const VersionFiles& files);

}  // namespace jx::test

#endif  // JX_TESTS_SUPPORT_JX_TEST_CHECK_H_
