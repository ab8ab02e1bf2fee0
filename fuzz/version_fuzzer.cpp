// The version-number parser and the choice of the newest version folder.
//
// Properties: the numbers are those of the leading run of digits and dots,
// one for each dot (an empty part reads as 0) and one for digits after the
// last dot, and no numbers at all when a part does not fit 64 bits; of a list of folder names the
// chosen one has four numbers or more, is not being updated, and no other usable name beats it on
// its first four numbers (the earliest of equals wins).
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "qz_check_trelm_version.h"

namespace {

std::vector<int64_t> ExpectedNumbers(const std::string& name) {
  std::vector<int64_t> numbers;
  unsigned __int128 value = 0;
  bool has_digits = false;
  for (const char c : name) {
    if (c >= '0' && c <= '9') {
      value = value * 10 + static_cast<unsigned>(c - '0');
      if (value > INT64_MAX) return {};
      has_digits = true;
    } else if (c == '.') {
      numbers.push_back(static_cast<int64_t>(value));
      value = 0;
      has_digits = false;
    } else {
      break;
    }
  }
  if (has_digits) numbers.push_back(static_cast<int64_t>(value));
  return numbers;
}

// Folders named by the input, one name a line; a name ending in "~" is being
// updated.
class ListedFolders final : public QZCheckBaseVersionSelector {
 public:
  explicit ListedFolders(std::vector<std::string> names) : names_(std::move(names)) {}
  std::string GetInstallMarkName() override { return ".mark"; }
  std::string GetUpdatingMarkName() override { return ".updating"; }
  std::string GetExeFolder() override { return "/exe/"; }
  std::string GetDefaultInstallRoot() override { return "/root/"; }
  std::string GetUserRootPath() override { return "/user/"; }
  std::string GetUserCachePath() override { return "/cache/"; }
  bool IsFileExist(const std::string& path) override {
    static const std::string kUpdating = "~/.updating";
    return path.size() >= kUpdating.size() &&
           path.compare(path.size() - kUpdating.size(), kUpdating.size(), kUpdating) == 0;
  }
  std::string FixPath(const std::string& path) override { return path; }
  std::string ReadFileText(const std::string&) override { return ""; }
  std::vector<std::string> ListSubFolderNames(const std::string&) override { return names_; }

 private:
  std::vector<std::string> names_;
};

bool Beats(const std::vector<int64_t>& a, const std::vector<int64_t>& b) {
  for (size_t i = 0; i < 4; ++i) {
    if (a[i] != b[i]) return a[i] > b[i];
  }
  return false;
}

void CheckChoice(const std::vector<std::string>& names) {
  ListedFolders folders(names);
  const std::string chosen = folders.FindLatestVersion("/root/");
  size_t chosen_at = names.size();
  for (size_t i = 0; i < names.size() && !chosen.empty(); ++i) {
    if (names[i] == chosen) {
      chosen_at = i;
      break;
    }
  }
  std::vector<int64_t> best;
  if (!chosen.empty()) {
    FUZZ_CHECK(chosen_at < names.size());
    FUZZ_CHECK(!folders.IsFileExist("/root/" + chosen + "/.updating"));
    best = ParseVersionNumbers(chosen);
    FUZZ_CHECK(best.size() >= 4);
  }
  for (size_t i = 0; i < names.size(); ++i) {
    if (folders.IsFileExist("/root/" + names[i] + "/.updating")) continue;
    const std::vector<int64_t> numbers = ParseVersionNumbers(names[i]);
    if (numbers.size() < 4) continue;
    FUZZ_CHECK(!chosen.empty());
    FUZZ_CHECK(!Beats(numbers, best));
    if (i < chosen_at) FUZZ_CHECK(Beats(best, numbers));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(jx::fuzz::AsText(data, size));
  const std::vector<std::string> names = jx::fuzz::SplitLines(text);
  for (const std::string& name : names)
    FUZZ_CHECK(ParseVersionNumbers(name) == ExpectedNumbers(name));
  CheckChoice(names);
  return 0;
}
