// The version check: the manifest, the verification of a version folder and
// the entry point.
#include "qz_check_trelm_version.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string_view>
#include <utility>

#include "base/jx_file_internal.h"
#include "base/jx_guard.h"
#include "base/jx_hand_out.h"
#include "base/jx_json.h"
#include "base/jx_jvalue.h"
#include "base/jx_md5_engine.h"
#include "base/jx_path_text.h"
#include "base/jx_plog.h"
#include "mird_check.h"

namespace {

constexpr char kPathMarker[] = "*./";

}  // namespace

bool QZCheckIsReservedName(const std::string& path) {
  static constexpr const char* kReserved[] = {kUpdatingMarkName, kManifestName,
                                              ".version_ota_config", ".version_roll_back.zip"};
  for (const char* reserved : kReserved) {
    if (path == reserved) return true;
  }
  return false;
}

// --- The manifest ---

bool QZCheckManifestReader::Open(const std::string& folder) {
  uint64_t size = 0;
  file_ = jx::OpenPlainFile(jx::FixPathText(folder + kManifestName), &size);
  if (file_ == nullptr) return false;
  handle_ = file_.get();
  lines_.emplace(&handle_, size, kManifestMaxLineBytes);
  return true;
}

bool QZCheckManifestReader::Next(std::string* line) {
  while (lines_.has_value() && lines_->Next(line)) {
    if (!line->empty()) return true;
  }
  return false;
}

bool QZCheckParseFileMd5TextLine(std::string line, QZCheckMd5Entry* entry) {
  // A NUL would cut the path short in every call that takes it.
  if (line.find('\0') != std::string::npos) {
    JX_LOG(JX_LOG_ERROR, "[md5 error][%s] -> %s", "\\0", line.c_str());
    return false;
  }
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

QZCheckFileDigest QZCheckDigestFile(const std::string& path, int32_t limit, uint64_t skip_size) {
  QZCheckFileDigest result;
  const jx::ScopedFile opened = jx::OpenPlainFile(jx::PreparePath(path.c_str()), &result.size);
  if (opened == nullptr) return result;
  result.plain = true;
  if (result.size >= skip_size) return result;
  const uint64_t wanted = limit > 0 ? static_cast<uint64_t>(limit) : UINT64_MAX;
  constexpr uint32_t kPieceSize = 256 * 1024;
  constexpr uint32_t kClassicPieceSize = 256;
  uint32_t piece_size = kPieceSize;
  std::unique_ptr<char[]> piece(new char[kPieceSize]);
  jx_file_t file = opened.get();
  jx::Md5 md5;
  uint64_t total = 0;
  // A file that grows to the skip size while it is read gives no digest.
  while (total < wanted && total < skip_size) {
    const auto ask = static_cast<uint32_t>(std::min<uint64_t>(piece_size, wanted - total));
    const uint32_t got = jx_file_read(&file, piece.get(), ask);
    if (got == 0 && piece_size != kClassicPieceSize && jx_file_error(&file)) {
      // A locked range fails a whole read: go on in small reads up to it.
      std::clearerr(file);
      piece_size = kClassicPieceSize;
      continue;
    }
    if (got == 0) break;
    md5.Update(piece.get(), got);
    total += got;
  }
  if (total == 0 || total >= skip_size) return result;
  char hex[32];
  md5.FinishHex(hex);
  result.hex.assign(hex, sizeof(hex));
  return result;
}

std::string GetFileMd5(const std::string& path, int32_t limit) {
  return QZCheckDigestFile(path, limit, UINT64_MAX).hex;
}

namespace {

enum class Verdict { kSkipped, kMatch, kNoDigest, kMismatch };

// Digests the file at `full_path` into `*digest` and compares it with
// `expected`. Files at or above the size limit are skipped. A file that
// exists but gives no digest (unreadable, empty, not a plain file, or grown
// to the size limit) has no verdict of its own.
Verdict Compare(const std::string& full_path, const std::string& expected, std::string* digest) {
  QZCheckFileDigest file = QZCheckDigestFile(full_path, 0, MD5_MAX_CHECK_FILE_SIZE);
  if (file.size >= MD5_MAX_CHECK_FILE_SIZE) return Verdict::kSkipped;
  *digest = std::move(file.hex);
  if (digest->empty() && (file.plain || jx_file_exist(full_path.c_str()))) {
    return Verdict::kNoDigest;
  }
  return *digest == expected ? Verdict::kMatch : Verdict::kMismatch;
}

jx::Jvalue TextValue(const std::string& text) {
  jx::Jvalue value;
  jx_json_set_cstr(value.handle, "", text.c_str());
  return value;
}

std::string CompactText(const jx::Jvalue& document) {
  return jx::TakeText([&](char** text, uint32_t* length) {
    return jx_json_to_jstr(document.handle, text, length);
  });
}

}  // namespace

bool QZCheckPathLeavesFolder(const std::string& path) {
  int depth = 0;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("/\\", start);
    if (end == std::string::npos) end = path.size();
    const std::string_view part(path.data() + start, end - start);
    if (part == "..") {
      if (--depth < 0) return true;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    start = end + 1;
  }
  return false;
}

QZCheckResult QZCheckVersionFilesMD5Check(const std::string& folder, QZCheckRecheckFn recheck) {
  QZCheckManifestReader manifest;
  if (!manifest.Open(folder)) {
    JX_LOG(JX_LOG_WARN, "NO file MD5 for check ?????? --> %s", folder.c_str());
    return QZCheckResult{};
  }
  std::vector<jx::Jvalue> failed;
  std::string line;
  while (manifest.Next(&line)) {
    if (manifest.cut()) {
      JX_LOG(JX_LOG_ERROR, "[md5 error] line longer than %zu bytes, cut: %s", kManifestMaxLineBytes,
             line.c_str());
      continue;
    }
    QZCheckMd5Entry entry;
    if (!QZCheckParseFileMd5TextLine(line, &entry)) {
      JX_LOG(JX_LOG_ERROR, "[md5 error] %s", line.c_str());
      continue;
    }
    if (QZCheckIsReservedName(entry.path)) continue;
    const std::string full_path = folder + entry.path;
    std::string digest;
    Verdict verdict = Compare(full_path, entry.md5, &digest);
    if (verdict == Verdict::kMismatch && recheck && recheck(entry.path)) {
      verdict = Compare(full_path, entry.md5, &digest);
      // Grown to the size limit since: there, but without a digest.
      if (verdict == Verdict::kSkipped) verdict = Verdict::kNoDigest;
    }
    if (verdict == Verdict::kSkipped || verdict == Verdict::kMatch) continue;
    if (verdict == Verdict::kNoDigest) {
      JX_LOG(JX_LOG_ERROR, "file MD5 failed! -> %s", full_path.c_str());
      continue;
    }
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

namespace {

// The check of the chosen version. Should it end early (no memory left), the
// log says why and the host still gets the codes of an intact version.
QZCheckResult CheckChosenVersion() noexcept {
  const char* why = "unknown failure";
  try {
    QZCheckVersionSelector selector;
    return QZCheckVersionFilesMD5Check(selector.GetVersionPath(), QZCheckRecheckFn());
  } catch (const std::exception& failure) {
    why = failure.what();
  } catch (...) {
  }
  JX_LOG(JX_LOG_ERROR, "check ended early: %s", why);
  return QZCheckResult{};
}

}  // namespace

extern "C" void mird_check(void* user, mird_check_callback cb) {
  QZCheckResult result = CheckChosenVersion();
  if (cb == nullptr) return;
  jx::Guarded([&] {
    cb(user, result.code, result.text1.c_str(), result.text2.c_str(), result.report.c_str());
  });
}
