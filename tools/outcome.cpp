// Prints an outcome as aligned text or as one compact JSON object.
#include "outcome.h"

#include <cstdio>
#include <numeric>

#include "base/jx_hand_out.h"
#include "base/jx_json.h"
#include "base/jx_jvalue.h"
#include "base/jx_utf.h"
#include "mird_check.h"

namespace mird_tool {

namespace {

constexpr const char* kKindNames[kKindCount] = {"ok",         "changed", "missing",
                                                "unreadable", "empty",   "skipped-large",
                                                "malformed",  "outside", "extra"};

void PrintField(const char* label, const std::string& value) {
  std::printf("%-8s %s\n", label, value.c_str());
}

int64_t EntryCount(const Outcome& outcome) {
  return std::accumulate(outcome.kinds.begin(), outcome.kinds.end(), int64_t{0});
}

int64_t NotOkCount(const Outcome& outcome) {
  return EntryCount(outcome) - outcome.kinds[static_cast<size_t>(Kind::kOk)];
}

// "1500 entries: 1497 ok, 2 changed, 1 missing"
std::string Summary(const Outcome& outcome) {
  std::string text = std::to_string(EntryCount(outcome)) + " entries: ";
  text += std::to_string(outcome.kinds[0]) + " ok";
  for (size_t kind = 1; kind < kKindCount; ++kind) {
    if (outcome.kinds[kind] == 0) continue;
    text += ", " + std::to_string(outcome.kinds[kind]) + " " + kKindNames[kind];
  }
  return text;
}

void PrintEntries(const Outcome& outcome) {
  for (const Entry& entry : outcome.entries) {
    std::printf("%-13s %s\n", KindName(entry.kind), EntryText(entry).c_str());
  }
}

void PrintText(const Outcome& outcome, const Options& options) {
  if (outcome.command == "select") {
    std::printf("%s\n", outcome.folder.c_str());
    return;
  }
  if (outcome.command == "version") {
    std::printf("mird-check %s\nlibrary    %s %s\n", outcome.tool_version.c_str(),
                outcome.library.c_str(), outcome.library_version.c_str());
    return;
  }
  const bool verify = outcome.command == "verify";
  if (verify) PrintEntries(outcome);
  if (options.quiet) return;
  if (!outcome.folder.empty()) PrintField("folder", outcome.folder);
  if (verify) PrintField("manifest", outcome.manifest);
  if (outcome.checked) {
    PrintField("code", std::to_string(outcome.code));
    // The contract says these two are always empty; show them if not.
    if (!outcome.text1.empty()) PrintField("text1", outcome.text1);
    if (!outcome.text2.empty()) PrintField("text2", outcome.text2);
    PrintField("report", outcome.report.empty() ? "(none)" : outcome.report);
  }
  if (verify) PrintField("summary", Summary(outcome));
  if (!outcome.log_file.empty()) PrintField("log", outcome.log_file);
  if (!verify && !outcome.manifest.empty()) {
    PrintField("manifest", outcome.manifest);
    PrintField("files", std::to_string(outcome.files));
  }
}

// One warning per kind of entry that is not ok, so that no run that passes
// hides them.
void PrintWarnings(const Outcome& outcome) {
  const int64_t total = EntryCount(outcome);
  for (size_t kind = 1; kind < kKindCount; ++kind) {
    if (outcome.kinds[kind] == 0) continue;
    PrintNote("warning: " + std::to_string(outcome.kinds[kind]) + " of " + std::to_string(total) +
              " entries " + kKindNames[kind]);
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

void SetEntries(jx::Jvalue* object, const Outcome& outcome) {
  jx_json_set_as_empty_array(object->handle, "entries");
  for (size_t i = 0; i < outcome.entries.size(); ++i) {
    const Entry& entry = outcome.entries[i];
    const std::string at = "entries:" + std::to_string(i);
    jx_json_set_as_empty_map(object->handle, at.c_str());
    SetText(object, (at + ".kind").c_str(), KindName(entry.kind));
    if (!entry.path.empty()) SetText(object, (at + ".path").c_str(), entry.path);
    if (entry.line != 0) jx_json_set_int64(object->handle, (at + ".line").c_str(), entry.line);
    if (!entry.why.empty()) SetText(object, (at + ".why").c_str(), entry.why);
  }
  jx_json_set_int64(object->handle, "summary.entries", EntryCount(outcome));
  for (size_t kind = 0; kind < kKindCount; ++kind) {
    const std::string at = std::string("summary.") + kKindNames[kind];
    jx_json_set_int64(object->handle, at.c_str(), outcome.kinds[kind]);
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
  if (!outcome.manifest.empty()) SetText(&object, "manifest", outcome.manifest);
  if (outcome.files >= 0) jx_json_set_int64(object.handle, "files", outcome.files);
  if (outcome.command == "verify" && outcome.error.empty()) SetEntries(&object, outcome);
  if (!outcome.tool_version.empty()) SetText(&object, "version", outcome.tool_version);
  if (!outcome.library.empty()) SetText(&object, "library", outcome.library);
  if (!outcome.library_version.empty()) {
    SetText(&object, "libraryVersion", outcome.library_version);
  }
  if (!outcome.error.empty()) SetText(&object, "error", outcome.error);
  const std::string text = jx::TakeText(
      [&](char** out, uint32_t* length) { return jx_json_to_jstr(object.handle, out, length); });
  if (!text.empty()) std::printf("%s\n", EscapeIllFormedUtf8(text).c_str());
}

}  // namespace

const char* KindName(Kind kind) { return kKindNames[static_cast<size_t>(kind)]; }

std::string EntryText(const Entry& entry) {
  if (entry.kind != Kind::kMalformed) return entry.path;
  return "line " + std::to_string(entry.line) + ": " + entry.why;
}

int ExitStatus(const Outcome& outcome, const Options& options) {
  if (!outcome.error.empty()) return 2;
  if (options.strict && NotOkCount(outcome) != 0) return 1;
  if (!outcome.checked || outcome.code == QZ_CHECK_OK) return 0;
  return outcome.code == QZ_CHECK_FILES_MISMATCH ? 1 : 2;
}

void PrintOutcome(const Outcome& outcome, const Options& options) {
  if (!outcome.error.empty()) PrintNote(outcome.error);
  if (options.status) return;
  if (outcome.error.empty()) PrintWarnings(outcome);
  if (options.json) {
    PrintJson(outcome);
  } else if (outcome.error.empty()) {
    PrintText(outcome, options);
  }
  std::fflush(stdout);
}

void PrintNote(const std::string& text) { std::fprintf(stderr, "mird-check: %s\n", text.c_str()); }

std::string EscapeIllFormedUtf8(const std::string& json) {
  std::string escaped;
  escaped.reserve(json.size());
  for (size_t at = 0; at < json.size();) {
    const size_t length = jx::Utf8CharLength(json, at);
    if (length != 0) {
      escaped.append(json, at, length);
      at += length;
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof(escape), "\\udc%02x", static_cast<unsigned char>(json[at]));
    escaped += escape;
    ++at;
  }
  return escaped;
}

}  // namespace mird_tool
