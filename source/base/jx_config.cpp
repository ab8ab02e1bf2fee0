// The INI reader.
#include "base/jx_config.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/jx_file.h"
#include "base/jx_guard.h"

namespace {

struct IniLine {
  std::string section;
  std::string key;
  std::string value;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Reads one line without its line feed and a carriage return before it.
// Returns false when nothing was read because the file ended or failed.
bool ReadLine(jx_file_t* file, std::string* line) {
  line->clear();
  char c;
  bool any = false;
  while (jx_file_read(file, &c, 1) == 1) {
    any = true;
    if (c == '\n') break;
    line->push_back(c);
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return any;
}

// Applies one trimmed, non-empty line to the current section and entries.
void Classify(std::string_view line, std::string* section, std::vector<IniLine>* entries) {
  if (line.front() == ';') return;
  if (line.front() == '[') {
    const std::string_view inner = line.substr(1, line.find(']') - 1);
    *section = std::string(Trim(inner));
    return;
  }
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return;
  const std::string_view key = Trim(line.substr(0, equals));
  if (key.empty()) return;
  entries->push_back({*section, std::string(key), std::string(Trim(line.substr(equals + 1)))});
}

std::vector<IniLine> ParseIniFile(jx_file_t file) {
  std::vector<IniLine> entries;
  std::string section;
  std::string line;
  bool byte_order_mark_seen = false;
  while (ReadLine(&file, &line)) {
    if (!byte_order_mark_seen && line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      line.erase(0, 3);
      byte_order_mark_seen = true;
    }
    const std::string_view trimmed = Trim(line);
    if (!trimmed.empty()) Classify(trimmed, &section, &entries);
  }
  return entries;
}

char* PoolCopy(jx_mem_pool_t pool, const std::string& text) {
  auto* copy = static_cast<char*>(jx_mem_pool_malloc(pool, static_cast<int>(text.size() + 1)));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

extern "C" {

jx_ini_entries jx_file_ini_read_all(const char* path, jx_mem_pool_t pool) {
  return jx::Guarded(jx_ini_entries{}, [&] {
    jx_file_t file = jx_file_open(path, "rb");
    if (file == nullptr) return jx_ini_entries{};
    const std::vector<IniLine> lines = ParseIniFile(file);
    jx_file_close(&file);
    const size_t bytes = lines.size() * sizeof(jx_ini_entry);
    if (lines.empty() || bytes > INT32_MAX) return jx_ini_entries{};
    auto* entries = static_cast<jx_ini_entry*>(jx_mem_pool_malloc(pool, static_cast<int>(bytes)));
    if (entries == nullptr) return jx_ini_entries{};
    for (size_t i = 0; i < lines.size(); ++i) {
      entries[i] = {PoolCopy(pool, lines[i].section), PoolCopy(pool, lines[i].key),
                    PoolCopy(pool, lines[i].value)};
    }
    return jx_ini_entries{entries, static_cast<uint32_t>(lines.size())};
  });
}

}  // extern "C"
