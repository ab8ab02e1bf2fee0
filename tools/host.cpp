// The default command: the product's check, run by the library loaded the way
// the product loads it.
#include <string>

#include "commands.h"
#include "library.h"
#include "library_log.h"
#include "mird_check.h"
#include "qz_check_trelm_version.h"

namespace mird_tool {

namespace {

using CheckFunction = void (*)(void*, mird_check_callback);

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

Outcome RunLibraryCheck(const std::string& log_folder) {
  Outcome outcome;
  outcome.command = "check";
  QZCheckVersionSelector selector;
  outcome.folder = selector.GetVersionPath();

  const std::string path = selector.GetExeFolder() + LibraryFileName();
  std::string why;
  Library* library = LoadLibraryFile(path, &why);
  if (library == nullptr) {
    outcome.error = "cannot load " + path + ": " + why;
    return outcome;
  }
  const auto check = FindExport<CheckFunction>(library, "mird_check");
  if (check == nullptr) {
    outcome.error = path + " does not export mird_check";
    return outcome;
  }
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

}  // namespace mird_tool
