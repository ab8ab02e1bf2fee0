// The version check: manifest reading, file verification, the version
// selector and the entry point's pieces.
#ifndef MIRD_CHECK_SOURCE_QZ_CHECK_TRELM_VERSION_H_
#define MIRD_CHECK_SOURCE_QZ_CHECK_TRELM_VERSION_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/jx_file.h"

// Files at or above this size are not verified.
constexpr int64_t MD5_MAX_CHECK_FILE_SIZE = 52428800;

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

// The next line of `file` without its line feed (and a carriage return before
// it); what was collected when the file ends or fails.
std::string ReadTextLine(jx_file_t* file);
// Every line of `file`, always at least one (an empty file gives one "").
std::vector<std::string> ReadTextLines(jx_file_t* file);
// Parses "<md5> <gap>*./<path>"; logs and returns false, leaving `entry`
// unchanged, when the line has no space or no "*./" after it.
bool QZCheckParseFileMd5TextLine(std::string line, QZCheckMd5Entry* entry);

// --- Digests and verification ---

// The hex MD5 of the file's content (its first `limit` bytes when `limit` is
// above 0), read in pieces. "" when the file is not a plain file, cannot be
// opened, is empty, or holds more than `max_bytes` bytes.
std::string GetFileMd5(const std::string& path, int32_t limit,
                       int64_t max_bytes = INT64_MAX);

// Verifies the version folder `folder` (ending in "/") against its manifest.
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
  std::string ReadFileText(const std::string& path) override;
  std::vector<std::string> ListSubFolderNames(const std::string& folder) override;
};

#endif  // MIRD_CHECK_SOURCE_QZ_CHECK_TRELM_VERSION_H_
