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

void RecordOutcome(void* user, int code, const char* text1, const char* text2, const char* report) {
  auto* outcome = static_cast<CheckOutcome*>(user);
  ++outcome->calls;
  outcome->user = user;
  outcome->code = code;
  outcome->text1 = text1;
  outcome->text2 = text2;
  outcome->report = report;
}

}  // namespace jx::test
