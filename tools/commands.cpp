// The commands that run inside the tool: select and manifest, and the paths
// they are given.
#include "commands.h"

#include <cctype>
#include <utility>

#include "base/jx_file.h"
#include "base/jx_folder.h"
#include "base/jx_hand_out.h"
#include "base/jx_path_text.h"
#include "base/jx_system.h"
#include "manifest.h"
#include "outcome.h"
#include "qz_check_trelm_version.h"
#include "terminal.h"

namespace mird_tool {

namespace {

// The error for a folder argument that names no folder; "" when it does.
std::string FolderError(const std::string& text, const std::string& folder) {
  return jx_folder_exist(folder.c_str()) ? "" : text + ": no such folder";
}

bool IsAbsolute(const std::string& path) {
  const bool drive =
      path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
  return drive || (!path.empty() && (path[0] == '/' || path[0] == '\\'));
}

std::string WorkingFolder() {
  const std::string folder = jx::TakeText(jx_get_current_work_path);
  return folder.empty() ? "." : folder;
}

}  // namespace

std::string PathArgument(const std::string& text) {
  // Relative paths are read from the working folder, so that the paths
  // printed are whole and "." works (the normaliser drops a lone "./").
  return jx::FixPathText(IsAbsolute(text) ? text : WorkingFolder() + "/" + text);
}

std::string FolderArgument(const std::string& text) {
  // The final "/" lets the normaliser resolve a last "." or "..".
  std::string folder = PathArgument(text + "/");
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

Outcome StartOnFolder(const char* command, const std::string& text) {
  Outcome outcome;
  outcome.command = command;
  outcome.folder = FolderArgument(text);
  outcome.error = FolderError(text, outcome.folder);
  return outcome;
}

Outcome RunSelect(const std::string& text) {
  Outcome outcome;
  outcome.command = "select";
  QZCheckVersionSelector selector;
  if (text.empty()) {
    outcome.folder = selector.GetVersionPath();
    return outcome;
  }
  const std::string root = FolderArgument(text);
  outcome.error = FolderError(text, root);
  if (!outcome.error.empty()) return outcome;
  const std::string name = selector.FindLatestVersion(root);
  if (name.empty()) {
    outcome.error = root + ": no complete version folder";
  } else {
    outcome.folder = root + name + "/";
  }
  return outcome;
}

Outcome RunManifest(const Options& options) {
  Outcome outcome = StartOnFolder("manifest", options.operand);
  if (!outcome.error.empty()) return outcome;
  outcome.manifest = outcome.folder + kManifestName;
  outcome.files = WriteManifest(outcome.folder, outcome.manifest, options.jobs,
                                !options.status && IsTerminal(stderr), &outcome.error);
  if (!outcome.error.empty()) outcome.manifest.clear();
  return outcome;
}

}  // namespace mird_tool
