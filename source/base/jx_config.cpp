// The INI reader and the application configuration store.
#include "base/jx_config.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/jx_config_internal.h"
#include "base/jx_file.h"
#include "base/jx_file_internal.h"
#include "base/jx_guard.h"
#include "base/jx_hand_out.h"
#include "base/jx_line_reader.h"
#include "base/jx_path_text.h"
#include "base/jx_system.h"

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

// The entries of the INI file at `path`; empty when it cannot be opened.
std::vector<IniLine> ReadIniFile(const char* path) {
  std::vector<IniLine> entries;
  const jx::ScopedFile opened(jx_file_open(path, "rb"));
  if (opened == nullptr) return entries;
  jx_file_t file = opened.get();
  std::string section;
  std::string line;
  bool byte_order_mark_seen = false;
  jx::LineReader lines(&file, UINT64_MAX, std::string().max_size());
  while (lines.Next(&line)) {
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

constexpr char kThisFile[] = "source/base/jx_config";
constexpr char kConfigFileName[] = "app_base_config.ini";

std::string UserAppDataFolder() { return jx::TakeText(&jx_get_os_user_cache_path); }

}  // namespace

namespace jx {

AppConfigStore::AppConfigStore(FolderSource user_folder) : user_folder_(user_folder) {}

void AppConfigStore::Set(std::string_view root, std::string_view config_path) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!settable_) return;
  settable_ = false;
  // The normaliser collapses a doubled "/", so a root that ends in one
  // already keeps exactly one.
  root_ = root.empty() ? std::string() : FixPathText(std::string(root) + "/");
  config_path_ = FixPathText(config_path);
}

AppConfigPaths AppConfigStore::Get() const {
  AppConfigPaths paths;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    paths = {root_, config_path_};
  }
  if (paths.root.empty()) paths.root = user_folder_();
  if (paths.config_path.empty()) paths.config_path = paths.root + kConfigFileName;
  return paths;
}

AppConfigStore& ProcessAppConfig() {
  static auto* store = new AppConfigStore(&UserAppDataFolder);  // outlives every caller
  return *store;
}

ConfigTable LoadConfigTable(const std::string& path) {
  ConfigTable table;
  for (IniLine& line : ReadIniFile(path.c_str())) {
    table[std::move(line.section)][std::move(line.key)] = std::move(line.value);
  }
  return table;
}

std::string_view ConfigValue(const ConfigTable& table, std::string_view section,
                             std::string_view key) {
  const auto found_section = table.find(section);
  if (found_section == table.end()) return std::string_view();
  const auto found_key = found_section->second.find(key);
  if (found_key == found_section->second.end()) return std::string_view();
  return found_key->second;
}

}  // namespace jx

extern "C" {

jx_ini_entries jx_file_ini_read_all(const char* path, jx_mem_pool_t pool) {
  return jx::Guarded(jx_ini_entries{}, [&] {
    const std::vector<IniLine> lines = ReadIniFile(path);
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

void jx_set_app_config(const char* root, const char* config_path) {
  jx::Guarded([&] {
    jx::ProcessAppConfig().Set(root != nullptr ? root : "",
                               config_path != nullptr ? config_path : "");
  });
}

jx_app_config jx_get_app_config(void) {
  return jx::Guarded(jx_app_config{}, [] {
    const jx::AppConfigPaths paths = jx::ProcessAppConfig().Get();
    return jx_app_config{jx::HandOutWithNul(paths.root, {kThisFile, __LINE__}),
                         jx::HandOutWithNul(paths.config_path, {kThisFile, __LINE__})};
  });
}

}  // extern "C"
