#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/jx_file.h"
#include "base/jx_md5.h"
#include "base/jx_memory.h"
#include "mird_check.h"
#include "qz_check_trelm_version.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::TempDir;
using jx::test::WriteFile;

std::string Md5Of(const std::string& content) {
  char* out = nullptr;
  uint32_t length = 0;
  jx_md5_string(content.data(), static_cast<uint32_t>(content.size()), &out, &length);
  std::string hex(out, length);
  jx_free(out);
  return hex;
}

std::vector<std::string> LinesOf(const std::string& content) {
  TempDir dir;
  WriteFile(dir / "m", content);
  jx_file_t file = jx_file_open((dir / "m").c_str(), "rb");
  std::vector<std::string> lines = ReadTextLines(&file);
  jx_file_close(&file);
  return lines;
}

TEST(Manifest, SplitsLinesLikeTheByteReader) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(LinesOf(""), Lines{""});
  EXPECT_EQ(LinesOf("a"), Lines{"a"});
  EXPECT_EQ(LinesOf("a\n"), (Lines{"a", ""}));
  EXPECT_EQ(LinesOf("a\r\nb\r\n\r\nc\r"), (Lines{"a", "b", "", "c\r"}));
  const std::string long_line(200000, 'x');
  EXPECT_EQ(LinesOf(long_line + "\n" + long_line), (Lines{long_line, long_line}));

  TempDir dir;
  WriteFile(dir / "m", "one\r\ntwo");
  jx_file_t file = jx_file_open((dir / "m").c_str(), "rb");
  EXPECT_EQ(ReadTextLine(&file), "one");
  EXPECT_EQ(ReadTextLine(&file), "two");
  EXPECT_EQ(ReadTextLine(&file), "");
  jx_file_close(&file);
}

TEST(Manifest, ParsesEntriesAndRefusesMalformedLines) {
  const std::string md5 = "0123456789abcdef0123456789abcdef";
  QZCheckMd5Entry entry;
  ASSERT_TRUE(QZCheckParseFileMd5TextLine(md5 + " *./bin/my app.dll", &entry));
  EXPECT_EQ(entry.path, "bin/my app.dll");
  EXPECT_EQ(entry.md5, md5);
  ASSERT_TRUE(QZCheckParseFileMd5TextLine(md5 + "  *./a", &entry));
  EXPECT_EQ(entry.path, "a");
  ASSERT_TRUE(QZCheckParseFileMd5TextLine(" *./x", &entry));
  EXPECT_EQ(entry.md5, "");
  EXPECT_EQ(entry.path, "x");
  ASSERT_TRUE(QZCheckParseFileMd5TextLine(md5 + " *./", &entry));
  EXPECT_EQ(entry.path, "");

  QZCheckMd5Entry untouched{"keep", "keep"};
  EXPECT_FALSE(QZCheckParseFileMd5TextLine(md5, &untouched));
  EXPECT_FALSE(QZCheckParseFileMd5TextLine("", &untouched));
  EXPECT_FALSE(QZCheckParseFileMd5TextLine(md5 + " *bin/a", &untouched));
  EXPECT_FALSE(QZCheckParseFileMd5TextLine("*./a b", &untouched));  // marker before the space
  EXPECT_EQ(untouched.path, "keep");
  EXPECT_EQ(untouched.md5, "keep");
}

TEST(FileDigest, ReadsWholeFilesOrTheirStart) {
  TempDir dir;
  std::string content(5000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  WriteFile(dir / "f", content);
  WriteFile(dir / "empty", "");
  EXPECT_EQ(GetFileMd5(dir / "f", 0), Md5Of(content));
  EXPECT_EQ(GetFileMd5(dir / "f", 1000), Md5Of(content.substr(0, 1000)));
  EXPECT_EQ(GetFileMd5(dir / "f", 9999), Md5Of(content));
  EXPECT_EQ(GetFileMd5(dir / "empty", 0), "");
  EXPECT_EQ(GetFileMd5(dir / "missing", 0), "");
  EXPECT_EQ(GetFileMd5(dir.path(), 0), "");              // a folder
  EXPECT_EQ(GetFileMd5(dir / "f", 0, 4999), "");          // larger than allowed
  EXPECT_EQ(GetFileMd5(dir / "f", 0, 5000), Md5Of(content));
}

TEST(VersionNumbers, ParseDottedNames) {
  using Numbers = std::vector<int64_t>;
  EXPECT_EQ(ParseVersionNumbers("1.2.3.4"), (Numbers{1, 2, 3, 4}));
  EXPECT_EQ(ParseVersionNumbers("1..2.3"), (Numbers{1, 0, 2, 3}));
  EXPECT_EQ(ParseVersionNumbers(".1.2.3"), (Numbers{0, 1, 2, 3}));
  EXPECT_EQ(ParseVersionNumbers("1.2.3.4-beta"), (Numbers{1, 2, 3, 4}));
  EXPECT_EQ(ParseVersionNumbers("1.2.3."), (Numbers{1, 2, 3}));
  EXPECT_EQ(ParseVersionNumbers("ver1.2.3.4"), Numbers{});
  EXPECT_EQ(ParseVersionNumbers("9223372036854775807.0.0.1"),
            (Numbers{INT64_MAX, 0, 0, 1}));
  EXPECT_EQ(ParseVersionNumbers("99999999999999999999.0.0.1"), Numbers{});  // too large
  EXPECT_EQ(GetPathBaseName("C:/root/1.2.3.4/"), "1.2.3.4");
  EXPECT_EQ(GetPathBaseName("C:\\root\\beta\\"), "beta");
  EXPECT_EQ(GetPathBaseName("plain"), "");
  EXPECT_EQ(GetPathBaseName(""), "");
}

// A selector over an in-memory world: files, folders and OS folders.
class FakeSelector final : public QZCheckBaseVersionSelector {
 public:
  std::map<std::string, std::string> files;                // path -> content
  std::map<std::string, std::vector<std::string>> folders;  // root -> sub-folder names
  std::string user_root = "/home/u/";
  std::string user_cache = "/home/u/.config/";
  std::string exe_folder = "/app/bin/";
  std::vector<std::string> reads;

  std::string GetInstallMarkName() override { return ".trelm_install"; }
  std::string GetUpdatingMarkName() override { return ".version_updating"; }
  std::string GetExeFolder() override { return exe_folder; }
  std::string GetDefaultInstallRoot() override { return "C:/opt/zel-mird/"; }
  std::string GetUserRootPath() override { return user_root; }
  std::string GetUserCachePath() override { return user_cache; }
  bool IsFileExist(const std::string& path) override { return files.count(path) != 0; }
  std::string FixPath(const std::string& path) override { return jx::FixPathText(path); }
  std::string ReadFileText(const std::string& path) override {
    reads.push_back(path);
    auto found = files.find(path);
    return found == files.end() ? "" : found->second;
  }
  std::vector<std::string> ListSubFolderNames(const std::string& root) override {
    auto found = folders.find(root);
    return found == folders.end() ? std::vector<std::string>{} : found->second;
  }
};

TEST(VersionSelector, ReadsTheRootFromTheFirstMarkerWord) {
  FakeSelector selector;
  selector.files["/home/u/.trelm_install"] = "  D:\\Apps\\Prod\\ \r\n";
  selector.files["/home/u/.config/.trelm_install"] = "/elsewhere/";
  EXPECT_EQ(selector.GetInstallRootFromMark(), "D:/Apps/Prod/");
  EXPECT_EQ(selector.reads.size(), 1u);  // the cache marker is not read

  selector.files["/home/u/.trelm_install"] = "";
  EXPECT_EQ(selector.GetInstallRootFromMark(), "/elsewhere/");
  selector.files["/home/u/.trelm_install"] = " \t\r\n";  // only white space: no root
  EXPECT_EQ(selector.GetInstallRootFromMark(), "");
  selector.files["/home/u/.trelm_install"] = "\x01/opt/caf\xC3\xA9\\x\x7F rest";
  EXPECT_EQ(selector.GetInstallRootFromMark(), "/opt/caf\xC3\xA9/x/");
}

TEST(VersionSelector, PicksTheHighestCompleteVersion) {
  FakeSelector selector;
  const std::string root = "C:/opt/zel-mird/";
  selector.folders[root] = {"9.9.9.9", "10.0.0.1", "10.0.0.1.7", "beta", "1.2.3"};
  EXPECT_EQ(selector.FindLatestVersion(root), "10.0.0.1");
  selector.folders[root] = {"10.0.0.1.7", "10.0.0.1"};
  EXPECT_EQ(selector.FindLatestVersion(root), "10.0.0.1.7");  // equal numbers keep the first
  selector.folders[root] = {"2.0.0.0", "1.0.0.0"};
  selector.files[root + "2.0.0.0/.version_updating"] = "";
  EXPECT_EQ(selector.GetVersionPath(), root + "1.0.0.0/");
  selector.folders[root] = {"1.2.3", "beta"};
  EXPECT_EQ(selector.FindLatestVersion(root), "");
  EXPECT_EQ(selector.FindLatestVersion(""), "");
}

TEST(VersionSelector, TriesMarkerDefaultThenExecutableFolder) {
  FakeSelector selector;
  selector.files["/home/u/.trelm_install"] = "/mark/";
  selector.folders["/mark/"] = {"1.0.0.0"};
  selector.folders["C:/opt/zel-mird/"] = {"5.0.0.0"};
  selector.folders["/app/bin/"] = {"6.0.0.0"};
  EXPECT_EQ(selector.GetVersionPath(), "/mark/1.0.0.0/");
  selector.folders["/mark/"] = {"junk"};
  EXPECT_EQ(selector.GetVersionPath(), "C:/opt/zel-mird/5.0.0.0/");
  selector.folders.erase("C:/opt/zel-mird/");
  EXPECT_EQ(selector.GetVersionPath(), "/app/bin/6.0.0.0/");
  selector.folders.clear();
  EXPECT_EQ(selector.GetVersionPath(), "/app/bin/");
}

TEST(VersionSelector, ListsOnlyRealSubFolders) {
  TempDir dir;
  WriteFile(dir / "3.0.0.0", "a file, not a folder");
  WriteFile(dir / "1.0.0.0/x", "");
  WriteFile(dir / "2.0.0.0/.version_updating", "");
  QZCheckVersionSelector selector;
  EXPECT_EQ(selector.FindLatestVersion(dir.path()), "1.0.0.0");
  EXPECT_EQ(selector.ReadFileText(dir / "3.0.0.0"), "a file, not a folder");
  EXPECT_EQ(selector.ReadFileText(dir / "missing"), "");
}

}  // namespace
