#include "support/jx_test_check.h"

#include "support/jx_test_support.h"

namespace jx::test {

std::string ManifestLine(const std::string& path, const std::string& content) {
  return Md5Of(content) + " *./" + path + "\n";
}

void WriteVersion(const std::string& folder, const VersionFiles& files) {
  std::string manifest;
  for (const auto& [path, content] : files) {
    WriteFile(folder + path, content);
    manifest += ManifestLine(path, content);
  }
  WriteFile(folder + "verify.md5.check", manifest);
}

}  // namespace jx::test
