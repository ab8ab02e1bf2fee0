#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <new>

#include "base/jx_file.h"
#include "base/jx_folder.h"
#include "mird_check.h"
#include "qz_check_trelm_version.h"
#include "support/jx_test_log.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::Md5Of;
using jx::test::OnWindows;
using jx::test::TempDir;
using jx::test::WriteFile;
using Lines = std::vector<std::string>;

TEST(Manifest, ParsesEntriesAndLeavesTheEntryAloneOnMalformedLines) {
  const std::string md5 = "0123456789abcdef0123456789abcdef";
  QZCheckMd5Entry entry;
  ASSERT_TRUE(QZCheckParseFileMd5TextLine(md5 + "  *./bin/my app.dll", &entry));
  EXPECT_EQ(entry.md5 + "|" + entry.path, md5 + "|bin/my app.dll");
  for (const std::string& line : {md5, md5 + " *bin/a", std::string("*./a b"),
                                  md5 + " *./a.txt" + std::string(1, '\0') + "junk"}) {
    QZCheckMd5Entry untouched{"keep", "keep"};
    EXPECT_FALSE(QZCheckParseFileMd5TextLine(line, &untouched)) << line;
    EXPECT_EQ(untouched.path + untouched.md5, "keepkeep");
  }
}

// The real selector with its roots in temporary folders; `after_listing` may
// change the names each listing gives.
class RootedSelector final : public QZCheckBaseVersionSelector {
 public:
  std::string user_root, default_root, exe_folder;
  std::function<void(Lines*)> after_listing = [](Lines*) {};

  std::string GetInstallMarkName() override { return real_.GetInstallMarkName(); }
  std::string GetUpdatingMarkName() override { return real_.GetUpdatingMarkName(); }
  std::string GetExeFolder() override { return exe_folder; }
  std::string GetDefaultInstallRoot() override { return default_root; }
  std::string GetUserRootPath() override { return user_root; }
  std::string GetUserCachePath() override { return user_root + "cache/"; }
  bool IsFileExist(const std::string& path) override { return real_.IsFileExist(path); }
  std::string FixPath(const std::string& path) override { return real_.FixPath(path); }
  std::string ReadFileText(const std::string& path) override { return real_.ReadFileText(path); }
  Lines ListSubFolderNames(const std::string& folder) override {
    Lines names = real_.ListSubFolderNames(folder);
    after_listing(&names);
    return names;
  }

 private:
  QZCheckVersionSelector real_;
};

TEST(VersionSelector, ReadsTheRootFromTheFirstWordOfTheFirstMarker) {
  TempDir home;
  RootedSelector selector;
  selector.user_root = home.path();
  WriteFile(home / "cache/.trelm_install", "/elsewhere/");
  const std::pair<std::string, std::string> cases[] = {
      {"  D:\\Apps\\Prod\\ \r\n", "D:/Apps/Prod/"},
      {"", "/elsewhere/"},  // an empty marker: the next one
      {" \t\r\n", ""},      // only white space: no root
      {"\x01/opt/caf\xC3\xA9\\x\x7F rest", "/opt/caf\xC3\xA9/x/"}};
  for (const auto& [marker, root] : cases) {
    WriteFile(home / ".trelm_install", marker);
    EXPECT_EQ(selector.GetInstallRootFromMark(), root) << marker;
  }
}

TEST(VersionSelector, PicksTheHighestCompleteVersionFolderAndTheFirstOfEqualOnes) {
  TempDir root;
  for (const char* name :
       {"9.9.9.9/f", "10.0.0.1/f", "10.0.0.1.7/f", "11.0.0.0/.version_updating"}) {
    WriteFile(root / name, "");
  }
  RootedSelector selector;
  for (const bool ascending : {true, false}) {
    selector.after_listing = [ascending](Lines* names) {
      std::sort(names->begin(), names->end());
      if (!ascending) std::reverse(names->begin(), names->end());
    };
    EXPECT_EQ(selector.FindLatestVersion(root.path()), ascending ? "10.0.0.1" : "10.0.0.1.7");
  }
}

// Markers that are FIFOs, devices or link loops lead on to the default root,
// then to the program's folder.
TEST(VersionSelector, TriesMarkerDefaultThenExecutableFolderPastBrokenMarkers) {
  TempDir home, marked, fallback, exe;
  RootedSelector selector;
  selector.user_root = home.path();
  selector.default_root = fallback.path();
  selector.exe_folder = exe.path();
  const std::string marker = home / ".trelm_install";
  const std::string versions[] = {marked / "1.0.0.0/", fallback / "5.0.0.0/", exe / "6.0.0.0/"};
  for (const std::string& version : versions) WriteFile(version + "f", "");
  for (const std::string& target : {std::string(), std::string("/dev/zero"), marker}) {
    if (target.empty() ? !jx::test::MakeFifo(marker) : !jx::test::MakeLink(marker, target)) break;
    EXPECT_EQ(selector.GetVersionPath(), versions[1]) << target;  // none on Windows
    ASSERT_TRUE(jx_file_remove(marker.c_str()));
  }
  WriteFile(marker, marked.path());
  for (const std::string& version : versions) {
    EXPECT_EQ(selector.GetVersionPath(), version);
    jx_folder_recursive_remove(version.c_str());
  }
  EXPECT_EQ(selector.GetVersionPath(), exe.path());
}

// Sizes around the 64 KiB pieces: one read, a full piece then the end, and
// more pieces; each alone, side by side on the lanes, and cut at a limit.
TEST(Digest, GivesTheMd5OfEachPlainFileWholeOrUpToTheLimit) {
  TempDir dir;
  std::vector<std::string> paths, contents;
  for (const size_t size : {size_t{1}, size_t{4096}, size_t{65535}, size_t{65536}, size_t{65537},
                            size_t{3} << 16, size_t{200000}}) {
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 7 + size);
    paths.push_back(dir / ("f" + std::to_string(size)));
    contents.push_back(content);
    WriteFile(paths.back(), content);
  }
  const std::vector<QZCheckFileDigest> side_by_side = QZCheckDigestFiles(paths, UINT64_MAX);
  ASSERT_EQ(side_by_side.size(), paths.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    const QZCheckFileDigest alone = QZCheckDigestFile(paths[i], 0, UINT64_MAX);
    EXPECT_TRUE(alone.plain && alone.size == contents[i].size()) << paths[i];
    EXPECT_EQ(alone.hex, Md5Of(contents[i])) << paths[i];
    EXPECT_EQ(side_by_side[i].hex, alone.hex) << paths[i];
    EXPECT_EQ(GetFileMd5(paths[i], 65537), Md5Of(contents[i].substr(0, 65537))) << paths[i];
    // From the skip size on there is no digest, only the size.
    const QZCheckFileDigest skipped = QZCheckDigestFile(paths[i], 0, contents[i].size());
    EXPECT_TRUE(skipped.plain && skipped.size == contents[i].size() && skipped.hex.empty());
  }
}

// What is not a plain file is never read: no digest, not even of nothing.
// The skip size ends the test should a device be read all the same.
TEST(Digest, GivesNoneForAnEmptyFileAndWhatIsNotAFile) {
  TempDir dir;
  WriteFile(dir / "empty", "");
  QZCheckFileDigest digest = QZCheckDigestFile(dir / "empty", 0, UINT64_MAX);
  EXPECT_TRUE(digest.plain && digest.size == 0 && digest.hex.empty());
  std::vector<std::string> paths = {dir.path(), dir / "missing"};
  if (OnWindows()) {
    paths.insert(paths.end(), {dir / "NUL", dir / "CON", "NUL"});
  } else {
    ASSERT_TRUE(jx::test::MakeFifo(dir / "pipe") && jx::test::MakeLink(dir / "zero", "/dev/zero"));
    paths.insert(paths.end(), {dir / "pipe", dir / "zero", "/dev/null"});
  }
  for (const std::string& path : paths) {
    digest = QZCheckDigestFile(path, 0, MD5_MAX_CHECK_FILE_SIZE);
    EXPECT_TRUE(!digest.plain && digest.size == 0 && digest.hex.empty()) << path;
  }
  for (const QZCheckFileDigest& each : QZCheckDigestFiles(paths, MD5_MAX_CHECK_FILE_SIZE)) {
    EXPECT_TRUE(!each.plain && each.size == 0 && each.hex.empty());
  }
}

std::string Mismatch(const std::string& path, const std::string& listed, const std::string& now) {
  return "[dest] file NOT match MD5! -> " + path + ", [" + listed + ", " + now + "]";
}

// A version folder whose manifest the test writes line by line.
class Verification : public ::testing::Test {
 protected:
  void SetUp() override { TakeMessages(); }
  void Add(const std::string& path, const std::string& content) {
    WriteFile(dir_ / path, content);
    manifest_ += Md5Of(content) + " *./" + path + "\n";
  }
  QZCheckResult Check(QZCheckRecheckFn recheck = nullptr) {
    WriteFile(dir_ / "verify.md5.check", manifest_);
    return QZCheckVersionFilesMD5Check(dir_.path(), recheck);
  }
  // The check's log lines since the last call: their messages, after "[jx] ".
  static Lines TakeMessages() {
    Lines messages;
    for (const std::string& body : jx::test::TakeLogBodies()) {
      messages.push_back(body.substr(body.find("[jx] ") + 5));
    }
    return messages;
  }
  TempDir dir_;
  std::string manifest_;
};

// Reserved names, files from the size limit on and unparsable lines are
// skipped; empty files are logged, not failed.
TEST_F(Verification, ReportsMissingAndChangedFilesInManifestOrderAndSkipsTheRest) {
  Add("same.txt", "same");
  Add("gone.txt", "was here");
  Add("my docs/changed.txt", "original");
  for (const char* name : {"verify.md5.check", ".version_roll_back.zip", ".version_updating",
                           ".version_ota_config", "big"}) {
    manifest_ += Md5Of("x") + " *./" + name + "\n";
  }
  manifest_ += "no-space-here\n";
  Add("sub/.version_updating", "verified like any file");
  Add("empty", "");
  WriteFile(dir_ / "big", std::string(MD5_MAX_CHECK_FILE_SIZE, 'b'));  // exactly the limit
  jx_file_remove((dir_ / "gone.txt").c_str());
  WriteFile(dir_ / "my docs/changed.txt", "tampered");
  const QZCheckResult result = Check();
  EXPECT_EQ(result.code, QZ_CHECK_FILES_MISMATCH);
  EXPECT_EQ(result.text1 + result.text2, "");
  EXPECT_EQ(result.report, "{\"fileLists\":[\"gone.txt\",\"my docs/changed.txt\"]}");
  Lines messages = TakeMessages();
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[2].rfind("[dest] file info match MD5! -> 8, ", 0), 0u) << messages[2];
  messages.erase(messages.begin() + 2);  // after a changed file that is there
  EXPECT_EQ(messages, (Lines{Mismatch("gone.txt", Md5Of("was here"), ""),
                             Mismatch("my docs/changed.txt", Md5Of("original"), Md5Of("tampered")),
                             "[md5 error][ ] -> no-space-here", "[md5 error] no-space-here",
                             "file MD5 failed! -> " + (dir_ / "empty")}));
}

// More lines than the check reads ahead, and a few large files among many
// small ones, so digests finish out of order: results still come in the
// manifest's order.
TEST_F(Verification, ReportsInManifestOrderWhenDigestsFinishOutOfOrder) {
  Lines expected;
  std::string report;
  for (int i = 0; i < 600; ++i) {
    const std::string name = "f" + std::to_string(i);
    const std::string content(i % 97 == 0 ? size_t{3} << 20 : size_t(i % 7 + 1), 'a');
    Add(name, content);
    if (i % 50 == 3) {
      WriteFile(dir_ / name, content + "!");
      expected.push_back(Mismatch(name, Md5Of(content), Md5Of(content + "!")));
      report += (report.empty() ? "\"" : ",\"") + name + "\"";
    }
    if (i % 120 == 0) {
      manifest_ += "bad" + name + "\n";
      expected.push_back("[md5 error] bad" + name);
    }
  }
  EXPECT_EQ(Check().report, "{\"fileLists\":[" + report + "]}");
  Lines messages = TakeMessages();
  messages.erase(std::remove_if(messages.begin(), messages.end(),
                                [](const std::string& message) {
                                  return message.rfind("[md5 error] ", 0) != 0 &&
                                         message.rfind("[dest] file NOT", 0) != 0;
                                }),
                 messages.end());
  EXPECT_EQ(messages, expected);
}

// Each file differs from its manifest line, so the check asks for a recheck;
// before answering, the recheck does to the file what another program might.
// Only files no longer there fail and a pipe is never read; a recheck that
// throws leaves no handle open.
TEST_F(Verification, AFileChangedBeforeItsRecheckFailsOnlyWhenItIsNoLongerAFile) {
  for (const std::string name : {"removed", "now a folder", "now a pipe"}) {
    Add(name, "listed");
    WriteFile(dir_ / name, "changed");
  }
  const QZCheckResult result = Check([&](std::string name) {
    const std::string path = dir_ / name;
    EXPECT_TRUE(jx_file_remove(path.c_str()));
    EXPECT_TRUE(name != "now a folder" || jx_folder_create(path.c_str()));
    if (name == "now a pipe" && !jx::test::MakeFifo(path)) WriteFile(path, "");  // none on Windows
    return true;
  });
  EXPECT_EQ(result.report, "{\"fileLists\":[\"removed\",\"now a folder\"]}");
  EXPECT_EQ(TakeMessages(), (Lines{Mismatch("removed", Md5Of("listed"), ""),
                                   Mismatch("now a folder", Md5Of("listed"), ""),
                                   "file MD5 failed! -> " + (dir_ / "now a pipe")}));
  // Under Wine the folder lists the emulator's own descriptors, which come and go.
  auto open_descriptors = [] {
    std::error_code error;
    std::filesystem::directory_iterator fds("/proc/self/fd", error);
    return OnWindows() || error ? -1 : std::distance(fds, std::filesystem::directory_iterator());
  };
  const auto before = open_descriptors();
  EXPECT_THROW(Check([](std::string) -> bool { throw std::bad_alloc(); }), std::bad_alloc);
  EXPECT_EQ(open_descriptors(), before);
}

// The recheck of the first file cuts the second short while a lane may be
// reading it: the read ends where the file now does, and the second fails.
TEST_F(Verification, AFileCutShortWhileItIsReadEndsThereAndFails) {
  const std::string big(size_t{2} << 20, 'b');
  Add("a", std::string(size_t{1} << 20, 'a'));
  WriteFile(dir_ / "a", std::string(size_t{1} << 20, 'c'));  // read as long as half of "big"
  Add("big", big);
  const QZCheckResult result = Check([&](std::string name) {
    if (name == "a") WriteFile(dir_ / "big", big.substr(0, 100000));
    return true;
  });
  EXPECT_EQ(result.report, "{\"fileLists\":[\"a\",\"big\"]}");
}

TEST(CheckEntry, CallsBackOnceWithTextsThatAreNeverNull) {
  Lines calls;  // the code and the texts of each call, which must not be null
  mird_check(
      &calls, [](void* user, int code, const char* text1, const char* text2, const char* report) {
        static_cast<Lines*>(user)->push_back(std::to_string(code) + text1 + text2 + "|" + report);
      });
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0] == "0|" || calls[0].rfind("1001|{\"fileLists\":[", 0) == 0) << calls[0];
  mird_check(nullptr, nullptr);  // runs, reports to nobody
}

}  // namespace
