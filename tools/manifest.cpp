// Lists a version folder's files, digests them and writes the manifest.
#include "manifest.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/jx_file.h"
#include "base/jx_file_internal.h"
#include "base/jx_path_text.h"
#include "digest.h"
#include "outcome.h"
#include "progress.h"
#include "qz_check_trelm_version.h"

namespace mird_tool {

namespace {

struct File {
  std::string path;  // relative to the version folder
  uint64_t size;
};

// Why `path` cannot stand in a manifest line; "" when it can.
std::string NameError(const std::string& path) {
  // A line ends at a line feed (and drops a carriage return before it), and
  // the check reads "\" as a separator.
  if (path.find_first_of("\r\n") != std::string::npos) return "its name holds a line break";
  if (path.find('\\') != std::string::npos) return "its name holds a backslash";
  return "";
}

// Every plain file below `folder`, in byte order of the relative paths.
bool ListFiles(const std::string& folder, std::vector<File>* files, std::string* error) {
  for (const std::string& path : ListVersionFiles(folder)) {
    const std::string entry = folder + path;
    const jx::EntryInfo info = jx::StatEntry(entry);
    if (!info.is_plain) {
      PrintNote("left out " + entry + ": not a plain file");
      continue;
    }
    const std::string why = NameError(path);
    if (!why.empty()) {
      *error = entry + ": " + why;
      return false;
    }
    files->push_back(File{path, info.size});
  }
  return true;
}

// The manifest's text: one line per file.
bool ManifestText(const std::string& folder, const std::vector<File>& files, int jobs,
                  bool show_progress, std::string* text, std::string* error) {
  std::vector<std::string> paths;
  for (const File& file : files) paths.push_back(folder + file.path);
  Progress progress(show_progress, static_cast<int64_t>(files.size()));
  const std::vector<QZCheckFileDigest> digests = DigestFiles(paths, UINT64_MAX, jobs, &progress);
  for (size_t i = 0; i < files.size(); ++i) {
    const File& file = files[i];
    std::string digest = digests[i].hex;
    if (digest.empty() && file.size == 0) digest = kEmptyDigest;
    if (digest.empty()) {
      *error = folder + file.path + ": cannot be read";
      return false;
    }
    text->append(digest).append(" *./").append(file.path).push_back('\n');
  }
  return true;
}

// Why the manifest at `path` may not be replaced; "" when it may. Replacing
// a link would not write through it, but whoever made it meant something else.
std::string ReplaceError(const std::string& path) {
  if (jx::IsLinkAt(path)) return path + ": is a link; not replaced";
  const jx::EntryInfo info = jx::StatEntry(path);
  if (info.exists && !info.is_plain) {
    return path + ": is not a plain file; not replaced";
  }
  return "";
}

// Writes the manifest whole, or leaves the one there untouched.
bool WriteFile(const std::string& path, const std::string& text, std::string* error) {
  std::string why;
  const bool written = jx::WriteWholeFile(
      path,
      [&](std::FILE* file) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
      },
      true, &why);
  if (!written) *error = path + ": cannot be written: " + why;
  return written;
}

}  // namespace

std::vector<std::string> ListVersionFiles(const std::string& folder) {
  std::string prefix = jx::FixPathText(folder);
  if (prefix.empty() || prefix.back() != '/') prefix.push_back('/');
  std::vector<std::string> paths;
  for (const std::string& entry : jx::ListFolder(folder.c_str(), -1)) {
    if (entry.empty() || entry.back() == '/') continue;
    std::string path =
        entry.compare(0, prefix.size(), prefix) == 0 ? entry.substr(prefix.size()) : entry;
    if (!QZCheckIsReservedName(path)) paths.push_back(std::move(path));
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

int64_t WriteManifest(const std::string& folder, const std::string& manifest, int jobs,
                      bool progress, std::string* error) {
  const std::string path = jx::FixPathText(manifest);
  *error = ReplaceError(path);
  std::vector<File> files;
  std::string text;
  if (!error->empty() || !ListFiles(folder, &files, error) ||
      !ManifestText(folder, files, jobs, progress, &text, error) || !WriteFile(path, text, error)) {
    return -1;
  }
  return static_cast<int64_t>(files.size());
}

}  // namespace mird_tool
