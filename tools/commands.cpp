// The commands that run inside the tool: verify, select and manifest.
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

// An outcome of `command` for the folder argument `text`; its error is set
// when the folder does not exist.
Outcome StartOnFolder(const char* command, const std::string& text) {
  Outcome outcome;
  outcome.command = command;
  outcome.folder = FolderArgument(text);
  outcome.error = FolderError(text, outcome.folder);
  return outcome;
}

// Warns of each manifest entry whose path climbs out of `folder`: the check
// digests such a file wherever it is.
void WarnOfEntriesOutside(const std::string& folder) {
  QZCheckManifestReader manifest;
  if (!manifest.Open(folder)) return;
  std::string line;
  QZCheckMd5Entry entry;
  while (manifest.Next(&line)) {
    if (manifest.cut() || !QZCheckParseFileMd5TextLine(line, &entry)) continue;
    if (QZCheckPathLeavesFolder(entry.path)) {
      PrintNote("warning: " + entry.path + " is outside the version folder");
    }
  }
}

}  // namespace

std::string FolderArgument(const std::string& text) {
  // Relative folders are read from the working folder, so that the folders
  // printed are whole and "." works (the normaliser drops a lone "./"). The
  // final "/" lets the normaliser resolve a last "." or "..".
  const std::string path = IsAbsolute(text) ? text : WorkingFolder() + "/" + text;
  std::string folder = jx::FixPathText(path + "/");
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

Outcome RunVerify(const std::string& text) {
  Outcome outcome = StartOnFolder("verify", text);
  QZCheckManifestReader manifest;
  if (outcome.error.empty() && !manifest.Open(outcome.folder)) {
    // The check itself passes such a folder; asked about one folder, say so.
    outcome.error =
        outcome.folder + kManifestName + ": no manifest to verify against (or not a plain file)";
  }
  if (!outcome.error.empty()) return outcome;
  WarnOfEntriesOutside(outcome.folder);
  QZCheckResult result = QZCheckVersionFilesMD5Check(outcome.folder, QZCheckRecheckFn());
  outcome.checked = true;
  outcome.code = result.code;
  outcome.text1 = std::move(result.text1);
  outcome.text2 = std::move(result.text2);
  outcome.report = std::move(result.report);
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

Outcome RunManifest(const std::string& text) {
  Outcome outcome = StartOnFolder("manifest", text);
  if (!outcome.error.empty()) return outcome;
  outcome.manifest = outcome.folder + kManifestName;
  outcome.files = WriteManifest(outcome.folder, outcome.manifest, &outcome.error);
  if (!outcome.error.empty()) outcome.manifest.clear();
  return outcome;
}

}  // namespace mird_tool
