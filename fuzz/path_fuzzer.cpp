// The path normaliser and the base-name helpers.
//
// Properties: the normal form is never longer than its source; normalising in
// place gives what normalising into another buffer gives; the normal form is
// a fixed point (normalising it again changes nothing) and has no repeated
// "/" and no "\"; the C entry points agree with the internal one. A base name
// holds no separator and ends its path.
#include <cstring>
#include <string>
#include <vector>

#include "base/jx_path_text.h"
#include "base/jx_string.h"
#include "fuzz_support.h"
#include "qz_check_trelm_version.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

void CheckNormalForm(const std::string& source) {
  std::vector<char> out(source.size() + 1, '\0');
  const size_t length = jx::NormalizePath(source.data(), source.size(), out.data());
  FUZZ_CHECK(length <= source.size());
  const std::string fixed(out.data(), length);

  std::string in_place = source;
  in_place.resize(jx::NormalizePath(in_place.data(), in_place.size(), in_place.data()));
  FUZZ_CHECK(in_place == fixed);
  FUZZ_CHECK(jx::FixPathText(fixed) == fixed);
  FUZZ_CHECK(fixed.find('\\') == std::string::npos);
  FUZZ_CHECK(fixed.find("//") == std::string::npos);

  // The C calls measure up to the NUL; compare them on the text before it.
  const std::string measured = source.substr(0, source.find('\0'));
  if (measured.empty()) return;
  std::string c_copy = measured;
  const unsigned int c_length = fix_file_path(c_copy.data(), static_cast<int>(c_copy.size()));
  FUZZ_CHECK(std::string(c_copy.data(), c_length) == jx::FixPathText(measured));
  for (size_t i = c_length; i < c_copy.size(); ++i) FUZZ_CHECK(c_copy[i] == '\0');
}

void CheckBaseNames(const std::string& path) {
  const std::string base = GetPathBaseName(path);
  FUZZ_CHECK(base.find_first_of("/\\") == std::string::npos);
  std::string trimmed = path;
  if (!trimmed.empty() && IsSeparator(trimmed.back())) trimmed.pop_back();
  FUZZ_CHECK(trimmed.size() >= base.size());
  FUZZ_CHECK(trimmed.compare(trimmed.size() - base.size(), base.size(), base) == 0);

  const std::string measured = path.substr(0, path.find('\0'));
  const char* file_base = jx_file_base_name(measured.c_str(), 0);
  FUZZ_CHECK(file_base >= measured.c_str() && file_base <= measured.c_str() + measured.size());
  FUZZ_CHECK(std::strpbrk(file_base, "/\\") == nullptr);
  const char* suffix = jx_file_suffix(measured.c_str(), 0);
  FUZZ_CHECK(suffix >= file_base && suffix <= measured.c_str() + measured.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path(jx::fuzz::AsText(data, size));
  CheckNormalForm(path);
  CheckBaseNames(path);
  return 0;
}
