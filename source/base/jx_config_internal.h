// The application configuration as the toolkit reads it inside: the store
// behind jx_set_app_config and jx_get_app_config, and INI files loaded into a
// table.
#ifndef JX_BASE_JX_CONFIG_INTERNAL_H_
#define JX_BASE_JX_CONFIG_INTERNAL_H_

#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace jx {

struct AppConfigPaths {
  std::string root;  // ends in "/", or "" when no folder can be named
  std::string config_path;
};

// The root folder and configuration file of the application: unset, then set
// once. Defaults are worked out on every Get, never stored, so a first Set
// made late still counts. Safe from any thread.
class AppConfigStore {
 public:
  // `user_folder` names the user's application-data folder, ending in "/",
  // or "" when the platform cannot name it.
  using FolderSource = std::string (*)();
  explicit AppConfigStore(FolderSource user_folder);
  AppConfigStore(const AppConfigStore&) = delete;
  AppConfigStore& operator=(const AppConfigStore&) = delete;

  // Stores both paths, normalised, on the first call only; the root gets one
  // trailing "/". Empty texts are stored too, leaving the defaults in force.
  void Set(std::string_view root, std::string_view config_path);
  // The stored paths, or the user folder and "app_base_config.ini" in the
  // root where they are empty.
  AppConfigPaths Get() const;

 private:
  const FolderSource user_folder_;
  mutable std::mutex mutex_;
  bool settable_ = true;
  std::string root_;
  std::string config_path_;
};

// The process-wide store, made on first use and never destroyed.
AppConfigStore& ProcessAppConfig();

// An INI file as section name to (key to value). The last value read for a
// section and key wins.
using ConfigSection = std::map<std::string, std::string, std::less<>>;
using ConfigTable = std::map<std::string, ConfigSection, std::less<>>;

// The entries of the INI file at `path` (see jx_file_ini_read_all); empty when
// the file is missing or unreadable.
ConfigTable LoadConfigTable(const std::string& path);

// The value of `key` in `section`; "" when either is absent.
std::string_view ConfigValue(const ConfigTable& table, std::string_view section,
                             std::string_view key);

}  // namespace jx

#endif  // JX_BASE_JX_CONFIG_INTERNAL_H_
