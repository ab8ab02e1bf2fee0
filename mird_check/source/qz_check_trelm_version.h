// The version check: manifest reading, file verification, the version
// selector and the entry point's pieces.
#ifndef MIRD_CHECK_SOURCE_QZ_CHECK_TRELM_VERSION_H_
#define MIRD_CHECK_SOURCE_QZ_CHECK_TRELM_VERSION_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/jx_file.h"
#include "base/jx_file_internal.h"
#include "base/jx_line_reader.h"

// The manifest of a version folder, and the file that marks one being updated.
constexpr char kManifestName[] = "verify.md5.check";
constexpr char kUpdatingMarkName[] = ".version_updating";

// Files at or above this size are not verified.
constexpr uint64_t MD5_MAX_CHECK_FILE_SIZE = 52428800;

// Manifest lines are kept up to this many bytes. A path is at most a few KiB
// on every platform, so a longer line is not an entry; cutting it keeps a
// hostile manifest from taking the host's memory.
constexpr size_t kManifestMaxLineBytes = 64 * 1024;

struct QZCheckResult {
  int32_t code = 0;
  std::string text1;
  std::string text2;
  std::string report;
};

// Asked, for a file that does not match, whether to digest it once more.
using QZCheckRecheckFn = std::function<bool(std::string)>;

// One manifest line: the relative path and the expected MD5 text.
struct QZCheckMd5Entry {
  std::string path;
  std::string md5;
};

// --- The manifest ---

// Whether a manifest entry's `path` is one of the version folder's own files
// that are never verified; the whole path is compared, case-sensitively.
bool QZCheckIsReservedName(const std::string& path);

// The non-empty lines of a version folder's manifest, read as they are
// needed, so a manifest of any length takes memory for one line at a time.
class QZCheckManifestReader {
 public:
  // Opens the manifest of `folder` (ending in "/"). False when it cannot be
  // opened or is not a plain file (a FIFO or device could block or never
  // end). Reading stops at the size the manifest had when opened, so one that
  // keeps growing cannot hold the caller.
  bool Open(const std::string& folder);
  // The next non-empty line; false at the end.
  bool Next(std::string* line);
  // Whether that line was longer than kManifestMaxLineBytes and cut there.
  bool cut() const { return lines_.has_value() && lines_->cut(); }

 private:
  jx::ScopedFile file_;
  jx_file_t handle_ = nullptr;
  std::optional<jx::LineReader> lines_;
};

// Splits "<md5> <gap>*./<path>" into `entry` without logging. Returns null,
// or when the line does not parse, what it lacks or holds: "\\0" (a NUL,
// which would cut the path short), " " (no space) or "*./" (no "*./" after
// the space).
const char* QZCheckSplitFileMd5TextLine(const std::string& line, QZCheckMd5Entry* entry);

// Parses "<md5> <gap>*./<path>"; logs and returns false, leaving `entry`
// unchanged, when the line has no space or no "*./" after it, or holds a NUL
// (which would cut the path short).
bool QZCheckParseFileMd5TextLine(std::string line, QZCheckMd5Entry* entry);

// --- Digests and verification ---

// What digesting one file found.
struct QZCheckFileDigest {
  bool plain = false;  // the file was opened and is a plain file
  uint64_t size = 0;   // its size when opened
  std::string hex;     // the 32 hex characters of its MD5, or ""
};

// Digests the file at `path` (its first `limit` bytes when `limit` is above
// 0), read in pieces. The file is opened once and tested on the handle, so it
// cannot be swapped for a FIFO or device in between. No digest ("") when the
// file cannot be opened, is not a plain file, is empty, or has `skip_size`
// bytes or more (such a file is not read; one that grows to that size while
// it is read gives no digest either). A read that fails part way (another
// program holds a byte-range lock) ends the content there, as the classic
// 256-byte reads would: the digest is of the bytes before the failure, so the
// file counts as changed, and with none before it there is no digest.
QZCheckFileDigest QZCheckDigestFile(const std::string& path, int32_t limit, uint64_t skip_size);

// What a listed file's digest says against the manifest.
enum class QZCheckVerdict {
  kSkipped,   // MD5_MAX_CHECK_FILE_SIZE bytes or more: not verified
  kMatch,     // digested and equal to the listed MD5
  kNoDigest,  // there, but no digest: empty, unreadable or not a plain file
  kMismatch,  // missing, or digested and different: reported
};

// The verdict on `file`, digested from `full_path`, against the listed MD5
// `expected` (compared as text).
QZCheckVerdict QZCheckJudgeFile(const QZCheckFileDigest& file, const std::string& full_path,
                                const std::string& expected);

// The result that reports the listed `paths` as missing or changed: code 0
// and no report when there are none, else code 1001 and the compact JSON
// {"fileLists":[...]}.
QZCheckResult QZCheckMismatchResult(const std::vector<std::string>& paths);

// QZCheckDigestFile(path, 0, skip_size) of every path, in order, computed
// side by side on the MD5 lanes (16 on AVX-512), a 64 KiB piece of each file
// in turn, with at most one file per lane open at a time.
std::vector<QZCheckFileDigest> QZCheckDigestFiles(const std::vector<std::string>& paths,
                                                  uint64_t skip_size);

// The hex MD5 of the file's content (its first `limit` bytes when `limit` is
// above 0); "" when QZCheckDigestFile gives none.
std::string GetFileMd5(const std::string& path, int32_t limit);

// Whether the relative `path` climbs above the folder it is relative to
// through "..", with "/" or "\" as separators: "a/../../b" does, "a/../b"
// does not.
bool QZCheckPathLeavesFolder(const std::string& path);

// Verifies the version folder `folder` (ending in "/") against its manifest
// and returns code 0, or 1001 with the JSON report of the missing or changed
// files. A manifest that QZCheckManifestReader cannot open counts as missing:
// code 0 and a warning. Lines longer than kManifestMaxLineBytes are logged,
// cut and skipped. Each listed path is appended to `folder` as it
// stands: a path holding "../" reaches outside the version folder, and such a
// file is digested (and its size and times logged when it does not match)
// like any other, so the manifest must come from a trusted source.
// Throws only what allocation throws; no handle is left open then.
QZCheckResult QZCheckVersionFilesMD5Check(const std::string& folder, QZCheckRecheckFn recheck);

// --- The version selector ---

// The numbers of a dotted version name: "1.2.3.4-beta" gives [1,2,3,4],
// "1..2" gives [1,0,2]; the scan stops at the first other character. A
// component too large for 64 bits gives the empty list, so the folder is
// never chosen.
std::vector<int64_t> ParseVersionNumbers(const std::string& name);
// The last name of a listing entry: one trailing separator dropped, then the
// text after the last "/" or "\"; "" without a separator.
std::string GetPathBaseName(const std::string& entry);

class QZCheckBaseVersionSelector {
 public:
  // The chosen version folder ending in "/", or the executable's folder when
  // no root holds a usable version.
  virtual std::string GetVersionPath();
  virtual std::string GetInstallMarkName() = 0;
  virtual std::string GetUpdatingMarkName() = 0;
  virtual std::string GetExeFolder() = 0;
  virtual std::string GetDefaultInstallRoot() = 0;
  virtual std::string GetUserRootPath() = 0;
  virtual std::string GetUserCachePath() = 0;
  virtual bool IsFileExist(const std::string& path) = 0;
  virtual std::string FixPath(const std::string& path) = 0;
  virtual std::string ReadFileText(const std::string& path) = 0;
  virtual std::vector<std::string> ListSubFolderNames(const std::string& folder) = 0;

  std::string GetInstallRootFromMark();
  std::string FindLatestVersion(const std::string& root);

 protected:
  ~QZCheckBaseVersionSelector() = default;
};

// The selector over the real file system and OS folders.
class QZCheckVersionSelector final : public QZCheckBaseVersionSelector {
 public:
  std::string GetInstallMarkName() override;
  std::string GetUpdatingMarkName() override;
  std::string GetExeFolder() override;
  std::string GetDefaultInstallRoot() override;
  std::string GetUserRootPath() override;
  std::string GetUserCachePath() override;
  bool IsFileExist(const std::string& path) override;
  std::string FixPath(const std::string& path) override;
  // Reads plain files only, and at most about 64 KiB of one: the marker holds
  // one path, and a hostile or endless file must not take the host's memory
  // or time.
  std::string ReadFileText(const std::string& path) override;
  std::vector<std::string> ListSubFolderNames(const std::string& folder) override;
};

#endif  // MIRD_CHECK_SOURCE_QZ_CHECK_TRELM_VERSION_H_
