// The version check: the manifest, the verification of a version folder and
// the entry point.
#include "qz_check_trelm_version.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <deque>
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
#include "base/jx_md5_lanes.h"
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

const char* QZCheckSplitFileMd5TextLine(const std::string& line, QZCheckMd5Entry* entry) {
  // A NUL would cut the path short in every call that takes it.
  if (line.find('\0') != std::string::npos) return "\\0";
  const size_t space = line.find(' ');
  if (space == std::string::npos) return " ";
  const size_t marker = line.find(kPathMarker, space);
  if (marker == std::string::npos) return kPathMarker;
  entry->path = line.substr(marker + std::strlen(kPathMarker));
  entry->md5 = line.substr(0, space);
  return nullptr;
}

bool QZCheckParseFileMd5TextLine(std::string line, QZCheckMd5Entry* entry) {
  QZCheckMd5Entry parsed;
  if (const char* lacking = QZCheckSplitFileMd5TextLine(line, &parsed)) {
    JX_LOG(JX_LOG_ERROR, "[md5 error][%s] -> %s", lacking, line.c_str());
    return false;
  }
  *entry = std::move(parsed);
  return true;
}

// --- Digests and verification ---

namespace {

constexpr uint32_t kPieceSize = 64 * 1024;

// Reads one file in pieces for its digest, by the rules of QZCheckDigestFile.
class PieceReader {
 public:
  // Opens `path` and fills in `result`'s plain flag and size. Returns whether
  // there is content to read: a plain file below `skip_size` bytes.
  bool Open(const std::string& path, uint64_t skip_size, QZCheckFileDigest* result) {
    // Pieces go straight from the system into the caller's buffer.
    if (!file_.Open(jx::PreparePath(path.c_str()), &result->size)) return false;
    result->plain = true;
    ended_ = false;
    total_ = 0;
    open_size_ = result->size;
    skip_size_ = skip_size;
    piece_size_ = kPieceSize;
    return result->size < skip_size;
  }

  // Reads the next piece, at most kPieceSize bytes and not past `wanted`
  // bytes in all, into `piece`; returns its length, 0 at the end.
  uint32_t Next(char* piece, uint64_t wanted) {
    while (!ended_ && total_ < wanted && total_ < skip_size_) {
      const auto ask = static_cast<uint32_t>(std::min<uint64_t>(piece_size_, wanted - total_));
      uint32_t got = 0;
      if (!file_.Read(piece, ask, &got) && piece_size_ != kClassicPieceSize) {
        // A locked range fails a whole read: go on in small reads up to it.
        piece_size_ = kClassicPieceSize;
        continue;
      }
      total_ += got;
      // Nothing more, or a short read once the file has given the size it
      // had when it was opened, ends the content: a small file takes one
      // read. A short read before that size (after a signal, say) does not.
      ended_ = got == 0 || (got < ask && total_ >= open_size_);
      return got;
    }
    return 0;
  }

  // Whether what was read has a digest: something, and less than the skip
  // size (a file that grew to it while it was read has none).
  bool Digestible() const { return total_ != 0 && total_ < skip_size_; }

  void Close() { file_.Close(); }

 private:
  static constexpr uint32_t kClassicPieceSize = 256;
  jx::HandleFile file_;
  bool ended_ = false;
  uint64_t total_ = 0;
  uint64_t open_size_ = 0;
  uint64_t skip_size_ = 0;
  uint32_t piece_size_ = kPieceSize;
};

}  // namespace

QZCheckFileDigest QZCheckDigestFile(const std::string& path, int32_t limit, uint64_t skip_size) {
  QZCheckFileDigest result;
  PieceReader reader;
  if (!reader.Open(path, skip_size, &result)) return result;
  const uint64_t wanted = limit > 0 ? static_cast<uint64_t>(limit) : UINT64_MAX;
  std::unique_ptr<char[]> piece(new char[kPieceSize]);
  jx::Md5 md5;
  while (const uint32_t got = reader.Next(piece.get(), wanted)) md5.Update(piece.get(), got);
  if (!reader.Digestible()) return result;
  char hex[32];
  md5.FinishHex(hex);
  result.hex.assign(hex, sizeof(hex));
  return result;
}

std::string GetFileMd5(const std::string& path, int32_t limit) {
  return QZCheckDigestFile(path, limit, UINT64_MAX).hex;
}

QZCheckVerdict QZCheckJudgeFile(const QZCheckFileDigest& file, const std::string& full_path,
                                const std::string& expected) {
  if (file.size >= MD5_MAX_CHECK_FILE_SIZE) return QZCheckVerdict::kSkipped;
  if (file.hex.empty() && (file.plain || jx_file_exist(full_path.c_str()))) {
    return QZCheckVerdict::kNoDigest;
  }
  return file.hex == expected ? QZCheckVerdict::kMatch : QZCheckVerdict::kMismatch;
}

namespace {

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

namespace {

// Digests files side by side on the lanes of one SIMD engine, a piece of
// each in turn, with at most one open file and one piece buffer per lane (16
// lanes and 1 MiB on AVX-512). Files finish in any order; each result arrives
// through the pointers given with its file.
class LaneDigester {
 public:
  explicit LaneDigester(uint64_t skip_size)
      : skip_size_(skip_size), lanes_(static_cast<size_t>(md5_.lanes())) {}

  // Queues the file at `path`. Once it is digested, `*digest` holds what
  // QZCheckDigestFile(path, 0, skip_size) gives and `*done` is set; both must
  // stay in place until then.
  void Add(std::string path, QZCheckFileDigest* digest, bool* done) {
    waiting_.push_back({std::move(path), digest, done});
  }

  // Starts queued files on free lanes, then moves every lane on by a piece,
  // its end or its digest.
  void Step() {
    StartWaiting();
    bool moved = false;
    for (int lane = 0; lane < md5_.lanes(); ++lane) moved = Advance(lane) || moved;
    // Rounds run as lanes are fed; a pass that fed none hashes what is left.
    if (!moved) md5_.Flush();
  }

 private:
  struct Job {
    std::string path;
    QZCheckFileDigest* digest;
    bool* done;
  };
  struct Lane {
    bool used = false;
    Job job;
    PieceReader reader;
    std::unique_ptr<char[]> piece{new char[kPieceSize]};
  };

  void StartWaiting() {
    while (in_use_ < md5_.lanes() && !waiting_.empty()) {
      Job job = std::move(waiting_.front());
      waiting_.pop_front();
      PieceReader reader;
      if (!reader.Open(job.path, skip_size_, job.digest)) {
        *job.done = true;  // nothing to read: no digest
        continue;
      }
      Lane& lane = lanes_[static_cast<size_t>(md5_.Open())];
      lane.used = true;
      lane.job = std::move(job);
      lane.reader = std::move(reader);
      ++in_use_;
    }
  }

  // Gives `index` its digest, next piece or end; returns whether it moved.
  bool Advance(int index) {
    Lane& lane = lanes_[static_cast<size_t>(index)];
    if (!lane.used) return false;
    char hex[32];
    if (md5_.TakeDigest(index, hex)) {
      lane.job.digest->hex.assign(hex, sizeof(hex));
    } else if (!md5_.NeedsData(index)) {
      return false;  // closed, its last blocks still to hash
    } else if (const uint32_t got = lane.reader.Next(lane.piece.get(), UINT64_MAX)) {
      return md5_.Feed(index, lane.piece.get(), got);
    } else if (lane.reader.Digestible()) {
      return md5_.Close(index);
    } else {
      md5_.Drop(index);  // nothing read, or grown to the size limit: no digest
    }
    *lane.job.done = true;
    lane.reader.Close();
    lane.used = false;
    --in_use_;
    return true;
  }

  const uint64_t skip_size_;
  jx::Md5Lanes md5_;
  std::vector<Lane> lanes_;
  std::deque<Job> waiting_;
  int in_use_ = 0;
};

// One non-empty manifest line, in order, with what it asks for.
struct ManifestItem {
  std::string line;
  bool cut = false;     // longer than kManifestMaxLineBytes
  bool listed = false;  // parses, and names a file to check
  bool digested = false;
  QZCheckMd5Entry entry;
  QZCheckFileDigest digest;
};

// At most this many manifest lines wait, read ahead while their files are
// digested, before their results are reported in the manifest's order: with
// lines of at most kManifestMaxLineBytes, 16 MiB of lines at worst, beside
// the lanes' pieces.
constexpr size_t kLinesAhead = 256;

// Logs what `item` found, as its turn in the manifest comes, and adds a file
// that is missing or changed to `*failed`.
void ReportItem(ManifestItem& item, const std::string& folder, const QZCheckRecheckFn& recheck,
                std::vector<std::string>* failed) {
  if (item.cut) {
    JX_LOG(JX_LOG_ERROR, "[md5 error] line longer than %zu bytes, cut: %s", kManifestMaxLineBytes,
           item.line.c_str());
    return;
  }
  QZCheckMd5Entry& entry = item.entry;
  if (!item.listed) {
    if (!QZCheckParseFileMd5TextLine(item.line, &entry)) {
      JX_LOG(JX_LOG_ERROR, "[md5 error] %s", item.line.c_str());
    }
    return;  // a line that does not parse, or a reserved name
  }
  const std::string full_path = folder + entry.path;
  QZCheckVerdict verdict = QZCheckJudgeFile(item.digest, full_path, entry.md5);
  if (verdict == QZCheckVerdict::kMismatch && recheck && recheck(entry.path)) {
    item.digest = QZCheckDigestFile(full_path, 0, MD5_MAX_CHECK_FILE_SIZE);
    verdict = QZCheckJudgeFile(item.digest, full_path, entry.md5);
    // Grown to the size limit since: there, but without a digest.
    if (verdict == QZCheckVerdict::kSkipped) verdict = QZCheckVerdict::kNoDigest;
  }
  if (verdict == QZCheckVerdict::kSkipped || verdict == QZCheckVerdict::kMatch) return;
  if (verdict == QZCheckVerdict::kNoDigest) {
    JX_LOG(JX_LOG_ERROR, "file MD5 failed! -> %s", full_path.c_str());
    return;
  }
  JX_LOG(JX_LOG_ERROR, "[dest] file NOT match MD5! -> %s, [%s, %s]", entry.path.c_str(),
         entry.md5.c_str(), item.digest.hex.c_str());
  if (jx_file_exist(full_path.c_str())) {
    const jx_file_info info = jx_file_get_info(full_path.c_str());
    JX_LOG(JX_LOG_ERROR,
           "[dest] file info match MD5! -> %" PRIu32 ", %" PRId64 ", %" PRId64 ", %" PRId64,
           info.size, info.access_time, info.write_time, info.create_time);
  }
  failed->push_back(entry.path);
}

}  // namespace

QZCheckResult QZCheckMismatchResult(const std::vector<std::string>& paths) {
  QZCheckResult result;
  if (paths.empty()) return result;
  std::vector<jx::Jvalue> items;
  for (const std::string& path : paths) items.push_back(TextValue(path));
  jx::Jvalue report;
  report.SetArray(jx::Jpath("fileLists"), items);
  result.code = QZ_CHECK_FILES_MISMATCH;
  result.report = CompactText(report);
  return result;
}

std::vector<QZCheckFileDigest> QZCheckDigestFiles(const std::vector<std::string>& paths,
                                                  uint64_t skip_size) {
  std::vector<QZCheckFileDigest> digests(paths.size());
  std::unique_ptr<bool[]> done(new bool[paths.size()]());
  LaneDigester digester(skip_size);
  for (size_t i = 0; i < paths.size(); ++i) digester.Add(paths[i], &digests[i], &done[i]);
  size_t waited = 0;
  for (;;) {
    while (waited < paths.size() && done[waited]) ++waited;
    if (waited == paths.size()) return digests;
    digester.Step();
  }
}

QZCheckResult QZCheckVersionFilesMD5Check(const std::string& folder, QZCheckRecheckFn recheck) {
  QZCheckManifestReader manifest;
  if (!manifest.Open(folder)) {
    JX_LOG(JX_LOG_WARN, "NO file MD5 for check ?????? --> %s", folder.c_str());
    return QZCheckResult{};
  }
  std::vector<std::string> failed;
  std::deque<ManifestItem> ahead;  // its elements stay in place as it grows
  LaneDigester digester(MD5_MAX_CHECK_FILE_SIZE);
  bool more = true;
  for (;;) {
    std::string line;
    while (more && ahead.size() < kLinesAhead && (more = manifest.Next(&line))) {
      ManifestItem& item = ahead.emplace_back();
      item.cut = manifest.cut();
      item.listed = !item.cut && QZCheckSplitFileMd5TextLine(line, &item.entry) == nullptr &&
                    !QZCheckIsReservedName(item.entry.path);
      item.line = std::move(line);
      if (item.listed) {
        digester.Add(folder + item.entry.path, &item.digest, &item.digested);
      } else {
        item.digested = true;
      }
    }
    while (!ahead.empty() && ahead.front().digested) {
      ReportItem(ahead.front(), folder, recheck, &failed);
      ahead.pop_front();
    }
    if (ahead.empty() && !more) break;
    digester.Step();
  }
  return QZCheckMismatchResult(failed);
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
