// The version selector: the install root from the marker file, a fixed
// default or the executable's folder, and the newest complete version under
// it.
#include <cerrno>
#include <cstdlib>

#include "base/jx_file.h"
#include "base/jx_file_internal.h"
#include "base/jx_hand_out.h"
#include "base/jx_path_text.h"
#include "base/jx_system.h"
#include "qz_check_trelm_version.h"

namespace {

// Marker files are a line of text; anything longer is not read further.
constexpr int64_t kMaxMarkerBytes = 64 * 1024;

// ASCII bytes that end a word: not printable, or white space. Bytes of 0x80
// and above are part of a word.
bool EndsWord(unsigned char c) { return c < 0x80 && (c <= 0x20 || c == 0x7F); }

// The first word of `content`, with "\" turned into "/".
std::string FirstWord(const std::string& content) {
  size_t i = 0;
  while (i < content.size() && EndsWord(static_cast<unsigned char>(content[i]))) ++i;
  std::string word;
  for (; i < content.size() && !EndsWord(static_cast<unsigned char>(content[i])); ++i) {
    word.push_back(content[i] == '\\' ? '/' : content[i]);
  }
  return word;
}

// Whether version `candidate` beats `best` on their first four numbers; equal
// numbers keep the earlier name.
bool IsNewer(const std::vector<int64_t>& candidate, const std::vector<int64_t>& best) {
  for (size_t i = 0; i < 4; ++i) {
    if (candidate[i] != best[i]) return candidate[i] > best[i];
  }
  return false;
}

}  // namespace

std::vector<int64_t> ParseVersionNumbers(const std::string& name) {
  std::vector<int64_t> numbers;
  std::string digits;
  // A component too large for 64 bits makes the whole name unusable.
  const auto close_number = [&]() {
    if (digits.empty()) {
      numbers.push_back(0);
      return true;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(digits.c_str(), &end, 10);
    digits.clear();
    if (errno == ERANGE) return false;
    numbers.push_back(value);
    return true;
  };
  for (const char c : name) {
    if (c >= '0' && c <= '9') {
      digits.push_back(c);
    } else if (c == '.') {
      if (!close_number()) return {};
    } else {
      break;
    }
  }
  if (!digits.empty() && !close_number()) return {};
  return numbers;
}

std::string GetPathBaseName(const std::string& entry) {
  std::string text = entry;
  if (!text.empty() && jx::IsPathSeparator(text.back())) text.pop_back();
  const size_t separator = text.find_last_of("/\\");
  return separator == std::string::npos ? "" : text.substr(separator + 1);
}

// --- Choosing ---

std::string QZCheckBaseVersionSelector::GetVersionPath() {
  const std::string roots[] = {GetInstallRootFromMark(), GetDefaultInstallRoot(), GetExeFolder()};
  for (const std::string& root : roots) {
    const std::string name = FindLatestVersion(root);
    if (!name.empty()) return root + name + "/";
  }
  return roots[2];
}

std::string QZCheckBaseVersionSelector::GetInstallRootFromMark() {
  std::string content = ReadFileText(GetUserRootPath() + GetInstallMarkName());
  if (content.empty()) content = ReadFileText(GetUserCachePath() + GetInstallMarkName());
  std::string root = FirstWord(content);
  if (!root.empty() && root.back() != '/') root.push_back('/');
  return FixPath(root);
}

std::string QZCheckBaseVersionSelector::FindLatestVersion(const std::string& root) {
  if (root.empty()) return "";
  std::string best_name;
  std::vector<int64_t> best_version;
  for (const std::string& name : ListSubFolderNames(root)) {
    if (IsFileExist(root + name + "/" + GetUpdatingMarkName())) continue;
    const std::vector<int64_t> version = ParseVersionNumbers(name);
    if (version.size() < 4) continue;
    if (best_version.size() < 4 || IsNewer(version, best_version)) {
      best_name = name;
      best_version = version;
    }
  }
  return best_name;
}

// --- The real file system ---

std::string QZCheckVersionSelector::GetInstallMarkName() { return ".trelm_install"; }

std::string QZCheckVersionSelector::GetUpdatingMarkName() { return kUpdatingMarkName; }

std::string QZCheckVersionSelector::GetExeFolder() {
  const std::string exe = jx::TakeText(jx_get_path_file_current_exe);
  const size_t separator = exe.find_last_of("/\\");
  if (separator == std::string::npos) return "";
  return jx::FixPathText(exe.substr(0, separator + 1));
}

std::string QZCheckVersionSelector::GetDefaultInstallRoot() { return MIRD_DEFAULT_INSTALL_ROOT; }

std::string QZCheckVersionSelector::GetUserRootPath() {
  return jx::TakeText(jx_get_os_user_root_path);
}

std::string QZCheckVersionSelector::GetUserCachePath() {
  return jx::TakeText(jx_get_os_user_cache_path);
}

bool QZCheckVersionSelector::IsFileExist(const std::string& path) {
  return jx_file_exist(path.c_str());
}

std::string QZCheckVersionSelector::FixPath(const std::string& path) {
  return jx::FixPathText(path);
}

std::string QZCheckVersionSelector::ReadFileText(const std::string& path) {
  // Only plain files: a marker that is a FIFO or device would block or never
  // end.
  const jx::ScopedFile opened = jx::OpenPlainFile(jx::PreparePath(path.c_str()), nullptr);
  if (opened == nullptr) return "";
  jx_file_t file = opened.get();
  std::string content;
  char piece[256];
  uint32_t got;
  do {
    got = jx_file_read(&file, piece, sizeof(piece));
    content.append(piece, got);
  } while (got == sizeof(piece) && static_cast<int64_t>(content.size()) < kMaxMarkerBytes);
  return content;
}

std::vector<std::string> QZCheckVersionSelector::ListSubFolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& entry : jx::ListFolder(folder.c_str(), 1)) {
    if (!entry.empty() && entry.back() == '/') names.push_back(GetPathBaseName(entry));
  }
  return names;
}
