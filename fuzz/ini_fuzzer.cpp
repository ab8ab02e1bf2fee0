// The INI reader.
//
// Properties: there are never more entries than lines; every entry has
// texts without line breaks, and, for text without NUL bytes (which end the
// texts handed out), a non-empty trimmed key without "=" and a trimmed value;
// the table view keeps the last value of each section and key.
#include <map>
#include <string>
#include <utility>

#include "base/jx_config.h"
#include "base/jx_config_internal.h"
#include "base/jx_memory.h"
#include "fuzz_support.h"

namespace {

bool IsTrimmed(const std::string& text) {
  const auto blank = [](char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
  };
  return text.empty() || (!blank(text.front()) && !blank(text.back()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static jx::fuzz::ScratchFile scratch("ini_fuzzer.ini");
  const std::string_view content = jx::fuzz::AsText(data, size);
  const std::string& path = scratch.Write(content);

  jx_mem_pool_t pool = jx_mem_pool_create(256);
  const jx_ini_entries read = jx_file_ini_read_all(path.c_str(), pool);
  FUZZ_CHECK((read.entries == nullptr) == (read.count == 0));
  size_t lines = 1;
  for (const char c : content) lines += c == '\n' ? 1 : 0;
  FUZZ_CHECK(read.count <= lines);

  const bool has_nul = content.find('\0') != std::string_view::npos;
  std::map<std::pair<std::string, std::string>, std::string> last;
  for (uint32_t i = 0; i < read.count; ++i) {
    const std::string section = read.entries[i].section;
    const std::string key = read.entries[i].key;
    const std::string value = read.entries[i].value;
    if (!has_nul) {
      FUZZ_CHECK(!key.empty());
      FUZZ_CHECK(key.find('=') == std::string::npos);
      FUZZ_CHECK(IsTrimmed(key) && IsTrimmed(value));
    }
    for (const std::string* text : {&section, &key, &value}) {
      FUZZ_CHECK(text->find('\n') == std::string::npos);
    }
    last[{section, key}] = value;
  }
  jx_mem_pool_destory(pool);

  const jx::ConfigTable table = jx::LoadConfigTable(path);
  for (const auto& [where, value] : last) {
    if (has_nul) break;
    FUZZ_CHECK(jx::ConfigValue(table, where.first, where.second) == value);
  }
  return 0;
}
