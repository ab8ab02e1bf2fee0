// The version check: the manifest, the verification of a version folder and
// the entry point.
#include "qz_check_trelm_version.h"

#include <cinttypes>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "base/jx_guard.h"
#include "base/jx_json.h"
#include "base/jx_jvalue.h"
#include "base/jx_md5_engine.h"
#include "base/jx_memory.h"
#include "base/jx_plog.h"
#include "base/jx_text.h"
#include "mird_check.h"
#include "platform/jx_os.h"

namespace {

constexpr char kManifestName[] = "verify.md5.check";
constexpr char kPathMarker[] = "*./";

// Paths in the version folder that are never verified (compared whole).
bool IsReservedName(const std::string& path) {
  static constexpr const char* kReserved[] = {".version_updating", "verify.md5.check",
                                              ".version_ota_config", ".version_roll_back.zip"};
  for (const char* reserved : kReserved) {
    if (path == reserved) return true;
  }
  return false;
}

// A line ends at a line feed, which is not kept, nor a carriage return
// before it.
void EndLine(std::string* line) {
  if (!line->empty() && line->back() == '\r') line->pop_back();
}

// Reads a manifest's lines in large pieces. The lines are those that
// ReadTextLine gives when called until the file ends or fails: the content
// split at every line feed, so a final line feed is followed by one empty
// line. (A read error loses the piece being read, not only its tail.)
class LineReader {
 public:
  explicit LineReader(jx_file_t* file) : file_(file), buffer_(new char[kPieceSize]) {}

  // The next line; false once the last line has been returned.
  bool Next(std::string* line) {
    if (finished_) return false;
    line->clear();
    for (;;) {
      if (next_ == filled_ && !Refill()) {
        finished_ = true;
        return true;
      }
      const char* start = buffer_.get() + next_;
      const size_t available = filled_ - next_;
      const auto* feed = static_cast<const char*>(std::memchr(start, '\n', available));
      if (feed == nullptr) {
        line->append(start, available);
        next_ = filled_;
        continue;
      }
      line->append(start, static_cast<size_t>(feed - start));
      next_ += static_cast<size_t>(feed - start) + 1;
      EndLine(line);
      return true;
    }
  }

 private:
  bool Refill() {
    next_ = 0;
    filled_ = jx_file_read(file_, buffer_.get(), kPieceSize);
    return filled_ != 0;
  }

  static constexpr uint32_t kPieceSize = 64 * 1024;
  jx_file_t* file_;
  std::unique_ptr<char[]> buffer_;
  size_t next_ = 0;
  size_t filled_ = 0;
  bool finished_ = false;
};

}  // namespace

// --- The manifest ---

std::string ReadTextLine(jx_file_t* file) {
  std::string line;
  char byte;
  while (jx_file_read(file, &byte, 1) == 1) {
    if (byte == '\n') {
      EndLine(&line);
      break;
    }
    line.push_back(byte);
  }
  return line;
}

std::vector<std::string> ReadTextLines(jx_file_t* file) {
  std::vector<std::string> lines;
  LineReader reader(file);
  std::string line;
  while (reader.Next(&line)) lines.push_back(std::move(line));
  return lines;
}

bool QZCheckParseFileMd5TextLine(std::string line, QZCheckMd5Entry* entry) {
  const size_t space = line.find(' ');
  if (space == std::string::npos) {
    JX_LOG(JX_LOG_ERROR, "[md5 error][ ] -> %s", line.c_str());
    return false;
  }
  const size_t marker = line.find(kPathMarker, space);
  if (marker == std::string::npos) {
    JX_LOG(JX_LOG_ERROR, "[md5 error][%s] -> %s", kPathMarker, line.c_str());
    return false;
  }
  entry->path = line.substr(marker + std::strlen(kPathMarker));
  entry->md5 = line.substr(0, space);
  return true;
}

// --- Digests and verification ---

std::string GetFileMd5(const std::string& path, int32_t limit, int64_t max_bytes) {
  // Only plain files: a FIFO or device could block or never end.
  jx::os::PathInfo info{};
  const std::string prepared = jx::FixPathText(path);
  if (prepared.empty() || !jx::os::StatPath(prepared, &info) || !info.is_regular) return "";
  jx_file_t file = jx_file_open(path.c_str(), "rb");
  if (file == nullptr) return "";
  const int64_t wanted = limit > 0 ? limit : INT64_MAX;
  constexpr uint32_t kPieceSize = 256 * 1024;
  std::unique_ptr<char[]> piece(new char[kPieceSize]);
  jx::Md5 md5;
  int64_t total = 0;
  while (total < wanted && total <= max_bytes) {
    const auto ask = static_cast<uint32_t>(std::min<int64_t>(kPieceSize, wanted - total));
    const uint32_t got = jx_file_read(&file, piece.get(), ask);
    if (got == 0) break;
    md5.Update(piece.get(), got);
    total += got;
  }
  jx_file_close(&file);
  if (total == 0 || total > max_bytes) return "";
  char hex[32];
  md5.FinishHex(hex);
  return std::string(hex, sizeof(hex));
}

namespace {

// The whole size of the file, also beyond 4 GiB; 0 when it cannot be read.
int64_t FileSize(const std::string& path) {
  jx::os::PathInfo info{};
  const std::string prepared = jx::FixPathText(path);
  if (prepared.empty() || !jx::os::StatPath(prepared, &info)) return 0;
  return static_cast<int64_t>(info.size);
}

enum class Verdict { kMatch, kNoDigest, kMismatch };

// Digests the file at `full_path` into `*digest` and compares it with
// `expected`. A file that exists but gives no digest (unreadable, empty, not a
// plain file, or grown past the size limit) has no verdict of its own.
Verdict Compare(const std::string& full_path, const std::string& expected, std::string* digest) {
  *digest = GetFileMd5(full_path, 0, MD5_MAX_CHECK_FILE_SIZE - 1);
  if (digest->empty() && jx_file_exist(full_path.c_str())) return Verdict::kNoDigest;
  return *digest == expected ? Verdict::kMatch : Verdict::kMismatch;
}

jx::Jvalue TextValue(const std::string& text) {
  jx::Jvalue value;
  jx_json_set_cstr(value.handle, "", text.c_str());
  return value;
}

std::string CompactText(const jx::Jvalue& document) {
  char* text = nullptr;
  uint32_t length = 0;
  if (!jx_json_to_jstr(document.handle, &text, &length)) return "";
  std::string result(text, length);
  jx_free(text);
  return result;
}

}  // namespace

QZCheckResult QZCheckVersionFilesMD5Check(const std::string& folder, QZCheckRecheckFn recheck) {
  const std::string manifest_path = jx::FixPathText(folder + kManifestName);
  jx_file_t manifest = jx_file_open(manifest_path.c_str(), "rb");
  if (manifest == nullptr) {
    JX_LOG(JX_LOG_WARN, "NO file MD5 for check ?????? --> %s", folder.c_str());
    return QZCheckResult{};
  }
  // Lines are handled as they are read, so a manifest of any length takes
  // memory for one line at a time.
  LineReader reader(&manifest);
  std::vector<jx::Jvalue> failed;
  std::string line;
  while (reader.Next(&line)) {
    if (line.empty()) continue;
    QZCheckMd5Entry entry;
    if (!QZCheckParseFileMd5TextLine(line, &entry)) {
      JX_LOG(JX_LOG_ERROR, "[md5 error] %s", line.c_str());
      continue;
    }
    if (IsReservedName(entry.path)) continue;
    const std::string full_path = folder + entry.path;
    if (FileSize(full_path) >= MD5_MAX_CHECK_FILE_SIZE) continue;
    std::string digest;
    Verdict verdict = Compare(full_path, entry.md5, &digest);
    if (verdict == Verdict::kMismatch && recheck && recheck(entry.path)) {
      verdict = Compare(full_path, entry.md5, &digest);
    }
    if (verdict == Verdict::kNoDigest) {
      JX_LOG(JX_LOG_ERROR, "file MD5 failed! -> %s", full_path.c_str());
      continue;
    }
    if (verdict == Verdict::kMatch) continue;
    JX_LOG(JX_LOG_ERROR, "[dest] file NOT match MD5! -> %s, [%s, %s]", entry.path.c_str(),
           entry.md5.c_str(), digest.c_str());
    if (jx_file_exist(full_path.c_str())) {
      const jx_file_info info = jx_file_get_info(full_path.c_str());
      JX_LOG(JX_LOG_ERROR,
             "[dest] file info match MD5! -> %" PRIu32 ", %" PRId64 ", %" PRId64 ", %" PRId64,
             info.size, info.access_time, info.write_time, info.create_time);
    }
    failed.push_back(TextValue(entry.path));
  }
  jx_file_close(&manifest);

  QZCheckResult result;
  if (!failed.empty()) {
    jx::Jvalue report;
    report.SetArray(jx::Jpath("fileLists"), failed);
    result.code = QZ_CHECK_FILES_MISMATCH;
    result.report = CompactText(report);
  }
  return result;
}

// --- The entry point ---

extern "C" void mird_check(void* user, mird_check_callback cb) {
  QZCheckResult result = jx::Guarded(QZCheckResult{}, [] {
    QZCheckVersionSelector selector;
    return QZCheckVersionFilesMD5Check(selector.GetVersionPath(), QZCheckRecheckFn());
  });
  if (cb == nullptr) return;
  jx::Guarded([&] {
    cb(user, result.code, result.text1.c_str(), result.text2.c_str(), result.report.c_str());
  });
}
