// The commands that load the product library: the product's check, run by
// the library loaded the way the product loads it, and the versions.
#include <string>

#include "base/jx_config.h"
#include "base/jx_file.h"
#include "base/jx_path_text.h"

#include "commands.h"
#include "library.h"
#include "library_log.h"
#include "mird_check.h"
#include "qz_check_trelm_version.h"

namespace mird_tool {

namespace {

#ifndef MIRD_TOOL_LIBDIR_FROM_BINDIR
#define MIRD_TOOL_LIBDIR_FROM_BINDIR "../lib"
#endif

using CheckFunction = void (*)(void*, mird_check_callback);
using VersionFunction = const char* (*)();

// The library file to load: `chosen` when it is not "", else the one beside
// this program, else the one in the installation's library folder, else
// (when neither exists) the one beside this program.
std::string FindLibrary(const std::string& chosen) {
  if (!chosen.empty()) return PathArgument(chosen);
  const std::string exe_folder = QZCheckVersionSelector().GetExeFolder();
  const std::string beside = exe_folder + LibraryFileName();
  const std::string installed =
      jx::FixPathText(exe_folder + MIRD_TOOL_LIBDIR_FROM_BINDIR + "/" + LibraryFileName());
  if (!jx_file_exist(beside.c_str()) && jx_file_exist(installed.c_str())) return installed;
  return beside;
}

// Loads the library FindLibrary(chosen) names into `*path`; null with the
// reason in `*error` when it cannot.
Library* LoadProductLibrary(const std::string& chosen, std::string* path, std::string* error) {
  *path = FindLibrary(chosen);
  std::string why;
  Library* library = LoadLibraryFile(*path, &why);
  if (library == nullptr) *error = "cannot load " + *path + ": " + why;
  return library;
}

// What the callback received; the contract says it comes once, with texts.
struct Callback {
  int calls = 0;
  bool null_text = false;
  int code = 0;
  std::string text1;
  std::string text2;
  std::string report;
};

std::string ReceivedText(const char* text, bool* was_null) {
  if (text != nullptr) return text;
  *was_null = true;
  return "";
}

void Receive(void* user, int code, const char* text1, const char* text2, const char* report) {
  auto* callback = static_cast<Callback*>(user);
  ++callback->calls;
  callback->code = code;
  callback->text1 = ReceivedText(text1, &callback->null_text);
  callback->text2 = ReceivedText(text2, &callback->null_text);
  callback->report = ReceivedText(report, &callback->null_text);
}

// Why the callback broke its contract; "" when it kept it.
std::string ContractError(const Callback& callback) {
  if (callback.calls != 1) {
    return "mird_check called back " + std::to_string(callback.calls) + " times, not once";
  }
  if (callback.null_text) return "mird_check passed a null text";
  if (callback.code != QZ_CHECK_OK && callback.code != QZ_CHECK_FILES_MISMATCH) {
    return "mird_check gave the unknown code " + std::to_string(callback.code);
  }
  return "";
}

}  // namespace

Outcome RunLibraryCheck(const Options& options) {
  Outcome outcome;
  outcome.command = "check";
  outcome.folder = QZCheckVersionSelector().GetVersionPath();

  std::string path;
  Library* library = LoadProductLibrary(options.library, &path, &outcome.error);
  if (library == nullptr) return outcome;
  const auto check = FindExport<CheckFunction>(library, "mird_check");
  if (check == nullptr) {
    outcome.error = path + " does not export mird_check";
    return outcome;
  }
  const std::string& log_folder = options.log_folder;
  const LibraryLog log =
      log_folder.empty() ? LibraryLog() : LibraryLog(library, FolderArgument(log_folder));
  outcome.log_file = log.file();
  log.Write("checking " + outcome.folder);

  Callback callback;
  check(&callback, &Receive);

  outcome.error = ContractError(callback);
  outcome.checked = outcome.error.empty();
  outcome.code = callback.code;
  outcome.text1 = callback.text1;
  outcome.text2 = callback.text2;
  outcome.report = callback.report;
  if (!log.Finish("check finished with code " + std::to_string(callback.code))) {
    PrintNote("the log did not write its lines in time: " + outcome.log_file + " may lack some");
  }
  // The callback keeps its codes when the check ends early; only its log
  // tells.
  if (outcome.error.empty() && log.Holds("check ended early")) {
    outcome.error = "the check ended early; see " + outcome.log_file;
  }
  return outcome;
}

Outcome RunVersion(const Options& options) {
  Outcome outcome;
  outcome.command = "version";
  outcome.tool_version = jx_version();
  Library* library = LoadProductLibrary(options.library, &outcome.library, &outcome.error);
  if (library == nullptr) return outcome;
  const auto version = FindExport<VersionFunction>(library, "jx_version");
  if (version == nullptr) {
    outcome.error = outcome.library + " does not export jx_version";
  } else {
    outcome.library_version = version();
  }
  return outcome;
}

}  // namespace mird_tool
