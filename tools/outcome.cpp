// Prints an outcome as aligned text or as one compact JSON object.
#include "outcome.h"

#include <cstdio>

#include "base/jx_hand_out.h"
#include "base/jx_json.h"
#include "base/jx_jvalue.h"
#include "mird_check.h"

namespace mird_tool {

namespace {

void PrintField(const char* label, const std::string& value) {
  std::printf("%-8s %s\n", label, value.c_str());
}

void PrintText(const Outcome& outcome) {
  if (outcome.command == "select") {
    std::printf("%s\n", outcome.folder.c_str());
    return;
  }
  if (!outcome.folder.empty()) PrintField("folder", outcome.folder);
  if (outcome.checked) {
    PrintField("code", std::to_string(outcome.code));
    // The contract says these two are always empty; show them if not.
    if (!outcome.text1.empty()) PrintField("text1", outcome.text1);
    if (!outcome.text2.empty()) PrintField("text2", outcome.text2);
    PrintField("report", outcome.report.empty() ? "(none)" : outcome.report);
  }
  if (!outcome.log_file.empty()) PrintField("log", outcome.log_file);
  if (!outcome.manifest.empty()) {
    PrintField("manifest", outcome.manifest);
    PrintField("files", std::to_string(outcome.files));
  }
}

void SetText(jx::Jvalue* object, const char* name, const std::string& text) {
  jx_json_set_cstr(object->handle, name, text.c_str());
}

// The report as JSON (null when empty); a text that does not parse is kept
// as a string so that nothing is lost.
void SetReport(jx::Jvalue* object, const std::string& report) {
  if (report.empty()) {
    jx_json_set_as_null(object->handle, "report");
    return;
  }
  jx::Jvalue parsed;
  if (jx_json_parse(parsed.handle, report.c_str(), nullptr)) {
    jx_json_set_jvalue(object->handle, "report", parsed.handle);
  } else {
    SetText(object, "report", report);
  }
}

void PrintJson(const Outcome& outcome) {
  jx::Jvalue object;
  jx_json_set_as_empty_map(object.handle, "");
  if (!outcome.command.empty()) SetText(&object, "command", outcome.command);
  if (!outcome.folder.empty()) SetText(&object, "folder", outcome.folder);
  if (outcome.checked) {
    jx_json_set_int64(object.handle, "code", outcome.code);
    SetText(&object, "text1", outcome.text1);
    SetText(&object, "text2", outcome.text2);
    SetReport(&object, outcome.report);
  }
  if (!outcome.log_file.empty()) SetText(&object, "log", outcome.log_file);
  if (!outcome.manifest.empty()) {
    SetText(&object, "manifest", outcome.manifest);
    jx_json_set_int64(object.handle, "files", outcome.files);
  }
  if (!outcome.error.empty()) SetText(&object, "error", outcome.error);
  const std::string text = jx::TakeText(
      [&](char** out, uint32_t* length) { return jx_json_to_jstr(object.handle, out, length); });
  if (!text.empty()) std::printf("%s\n", text.c_str());
}

}  // namespace

int ExitStatus(const Outcome& outcome) {
  if (!outcome.error.empty()) return 2;
  if (!outcome.checked || outcome.code == QZ_CHECK_OK) return 0;
  return outcome.code == QZ_CHECK_FILES_MISMATCH ? 1 : 2;
}

void PrintOutcome(const Outcome& outcome, bool json) {
  if (!outcome.error.empty()) PrintNote(outcome.error);
  if (json) {
    PrintJson(outcome);
  } else if (outcome.error.empty()) {
    PrintText(outcome);
  }
  std::fflush(stdout);
}

void PrintNote(const std::string& text) { std::fprintf(stderr, "mird-check: %s\n", text.c_str()); }

}  // namespace mird_tool
