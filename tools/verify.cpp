// Verifies a folder against a manifest and gives every line its kind.
#include "verify.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unordered_set>
#include <utility>

#include "base/jx_file.h"
#include "base/jx_file_internal.h"
#include "base/jx_line_reader.h"
#include "base/jx_path_text.h"
#include "commands.h"
#include "digest.h"
#include "manifest.h"
#include "qz_check_trelm_version.h"
#include "terminal.h"

namespace mird_tool {

namespace {

// Lines read ahead and digested together: at most this many, and at most
// this many bytes of them, whatever the manifest.
constexpr size_t kBatchLines = 4096;
constexpr size_t kBatchBytes = 16 << 20;

// The non-empty lines of a manifest file or of standard input, numbered.
class ManifestLines {
 public:
  // Opens the plain file at `path`, or standard input for "-".
  bool Open(const std::string& path) {
    uint64_t size = UINT64_MAX;
    if (path == "-") {
      handle_ = stdin;
    } else {
      file_ = jx::OpenPlainFile(jx::FixPathText(path), &size);
      if (file_ == nullptr) return false;
      handle_ = file_.get();
    }
    lines_.emplace(&handle_, size, kManifestMaxLineBytes);
    return true;
  }

  // The next non-empty line and its number; false at the end.
  bool Next(std::string* line, int64_t* number) {
    while (lines_->Next(line)) {
      ++number_;
      if (!line->empty()) {
        *number = number_;
        return true;
      }
    }
    return false;
  }
  // Whether that line was longer than kManifestMaxLineBytes and cut there.
  bool cut() const { return lines_->cut(); }

 private:
  jx::ScopedFile file_;
  jx_file_t handle_ = nullptr;
  std::optional<jx::LineReader> lines_;
  int64_t number_ = 0;
};

// The non-empty lines of the manifest at `path`, for the progress line; 0
// for standard input, which can be read once only.
int64_t CountLines(const std::string& path) {
  ManifestLines manifest;
  if (path == "-" || !manifest.Open(path)) return 0;
  std::string line;
  int64_t number = 0, count = 0;
  while (manifest.Next(&line, &number)) ++count;
  return count;
}

// Why a line the check reads no file from is so.
std::string MalformedWhy(const char* lacking) {
  if (lacking == std::string("\\0")) return "holds a NUL byte";
  if (lacking == std::string(" ")) return "no space after the digest";
  return "no \"*./\" before the path: lines read \"<md5> *./<path>\", as md5sum -b writes "
         "them for ./ paths";
}

bool IsLowerHexDigest(const std::string& md5) {
  return md5.size() == 32 && md5.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// The kind of the listed file at `full_path` from the check's verdict on it
// and its listed MD5 `expected`.
Kind KindOf(QZCheckVerdict verdict, const QZCheckFileDigest& digest, const std::string& full_path,
            const std::string& expected) {
  switch (verdict) {
    case QZCheckVerdict::kSkipped:
      return Kind::kSkippedLarge;
    case QZCheckVerdict::kMatch:
      return Kind::kOk;
    case QZCheckVerdict::kNoDigest:
      if (!digest.plain || digest.size != 0) return Kind::kUnreadable;
      // Empty, as listed: intact, though the check cannot tell.
      return expected == kEmptyDigest ? Kind::kOk : Kind::kEmpty;
    case QZCheckVerdict::kMismatch:
      break;
  }
  if (!digest.hex.empty()) return Kind::kChanged;
  // The check reports a listed folder as it does a missing file.
  return jx::StatEntry(jx::PreparePath(full_path.c_str())).exists ? Kind::kUnreadable
                                                                  : Kind::kMissing;
}

// Takes manifest lines in order, digests their files in batches and records
// what each is, as the check would judge it.
class Verifier {
 public:
  Verifier(const Options& options, Outcome* outcome, Progress* progress)
      : options_(options), outcome_(outcome), progress_(progress) {}

  void Add(const std::string& line, int64_t number, bool cut) {
    Item& item = batch_.emplace_back();
    item.entry.line = number;
    batch_bytes_ += line.size();
    if (cut) {
      item.entry.why = "longer than " + std::to_string(kManifestMaxLineBytes) + " bytes";
    } else if (const char* lacking = QZCheckSplitFileMd5TextLine(line, &item.listed)) {
      item.entry.why = MalformedWhy(lacking);
    } else if (QZCheckIsReservedName(item.listed.path)) {
      item.entry.why = "lists the version folder's own file " + item.listed.path;
    } else {
      item.digest_it = true;
      item.entry.path = item.listed.path;
    }
    if (batch_.size() == kBatchLines || batch_bytes_ >= kBatchBytes) RunBatch();
  }

  // Judges the last lines; then the code, the report and, with --extra, the
  // files not listed. False when no line listed a file.
  bool Finish() {
    RunBatch();
    if (listed_ == 0) return false;
    const QZCheckResult result = QZCheckMismatchResult(failed_);
    outcome_->checked = true;
    outcome_->code = result.code;
    outcome_->report = result.report;
    if (options_.extra) AddExtraFiles();
    return true;
  }

 private:
  struct Item {
    Entry entry;
    QZCheckMd5Entry listed;
    bool digest_it = false;
  };

  void RunBatch() {
    std::vector<std::string> paths;
    for (const Item& item : batch_) {
      if (item.digest_it) paths.push_back(outcome_->folder + item.listed.path);
    }
    const std::vector<QZCheckFileDigest> digests =
        DigestFiles(paths, MD5_MAX_CHECK_FILE_SIZE, options_.jobs, progress_);
    size_t next = 0;
    for (Item& item : batch_) {
      if (item.digest_it) Judge(&item, digests[next++]);
      if (!item.digest_it) item.entry.kind = Kind::kMalformed;
      Record(std::move(item.entry));
    }
    batch_.clear();
    batch_bytes_ = 0;
  }

  void Judge(Item* item, const QZCheckFileDigest& digest) {
    const std::string full_path = outcome_->folder + item->listed.path;
    const QZCheckVerdict verdict = QZCheckJudgeFile(digest, full_path, item->listed.md5);
    ++listed_;
    if (verdict == QZCheckVerdict::kMismatch) failed_.push_back(item->listed.path);
    if (options_.extra) listed_paths_.insert(jx::FixPathText(full_path));
    item->entry.kind = KindOf(verdict, digest, full_path, item->listed.md5);
    if (QZCheckPathLeavesFolder(item->listed.path)) {
      item->entry.kind = Kind::kOutside;
    } else if (!IsLowerHexDigest(item->listed.md5)) {
      item->entry.kind = Kind::kMalformed;
      item->entry.why = "the digest is not 32 lower-case hex digits";
    }
  }

  void Record(Entry entry) {
    ++outcome_->kinds[static_cast<size_t>(entry.kind)];
    if (entry.kind != Kind::kOk || (!options_.quiet && !options_.status)) {
      outcome_->entries.push_back(std::move(entry));
    }
  }

  void AddExtraFiles() {
    const std::string manifest = jx::FixPathText(outcome_->manifest);
    for (std::string& path : ListVersionFiles(outcome_->folder)) {
      const std::string full_path = jx::FixPathText(outcome_->folder + path);
      if (full_path == manifest || listed_paths_.count(full_path) != 0) continue;
      Entry entry;
      entry.kind = Kind::kExtra;
      entry.path = std::move(path);
      Record(std::move(entry));
    }
  }

 private:
  const Options& options_;
  Outcome* outcome_;
  Progress* progress_;
  std::vector<Item> batch_;
  size_t batch_bytes_ = 0;
  int64_t listed_ = 0;
  std::vector<std::string> failed_;
  std::unordered_set<std::string> listed_paths_;  // with --extra
};

}  // namespace

Outcome RunVerify(const Options& options) {
  Outcome outcome = StartOnFolder("verify", options.operand);
  if (!outcome.error.empty()) return outcome;
  outcome.manifest = options.manifest.empty()  ? outcome.folder + kManifestName
                     : options.manifest == "-" ? "-"
                                               : PathArgument(options.manifest);
  ManifestLines manifest;
  if (!manifest.Open(outcome.manifest)) {
    // The check itself passes such a folder; asked about one folder, say so.
    outcome.error = outcome.manifest + ": no manifest to verify against (or not a plain file)";
    return outcome;
  }
  const bool show_progress = !options.status && IsTerminal(stderr);
  Progress progress(show_progress, show_progress ? CountLines(outcome.manifest) : 0);
  Verifier verifier(options, &outcome, &progress);
  std::string line;
  int64_t number = 0;
  while (manifest.Next(&line, &number)) verifier.Add(line, number, manifest.cut());
  if (!verifier.Finish()) {
    outcome.error = outcome.manifest + ": no line lists a file to verify";
    // Every line was malformed, and each is kept: say what is wrong with the first.
    if (!outcome.entries.empty()) outcome.error += " (" + EntryText(outcome.entries[0]) + ")";
  }
  return outcome;
}

}  // namespace mird_tool
