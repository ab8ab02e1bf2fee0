#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "base/jx_file.h"
#include "base/jx_folder.h"
#include "mird_check.h"
#include "qz_check_trelm_version.h"
#include "support/jx_test_check.h"
#include "support/jx_test_log.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::ManifestLine;
using jx::test::Md5Of;
using jx::test::TempDir;
using jx::test::WriteFile;

TEST(Manifest, SplitsLinesAtLineFeedsLikeTheByteReaderAndCutsThemAtTheLimit) {
  const std::string longest(kManifestMaxLineBytes, 'x');
  const struct {
    std::string content;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {""}},
      {"a", {"a"}},
      {"a\n", {"a", ""}},
      {"a\r\nb\r\n\r\nc\r", {"a", "b", "", "c\r"}},
      {longest + "\r\n" + longest + "yz\r\n" + longest + "z", {longest, longest, longest}}};
  for (const auto& [content, lines] : cases) {
    SCOPED_TRACE(content.substr(0, 16));
    TempDir dir;
    WriteFile(dir / "m", content);
    jx_file_t file = jx_file_open((dir / "m").c_str(), "rb");
    EXPECT_EQ(ReadTextLines(&file), lines);
    jx_file_close(&file);
    file = jx_file_open((dir / "m").c_str(), "rb");
    for (const std::string& line : lines) EXPECT_EQ(ReadTextLine(&file), line);
    jx_file_close(&file);
  }
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
  EXPECT_FALSE(
      QZCheckParseFileMd5TextLine(md5 + " *./a.txt" + std::string(1, '\0') + "junk", &untouched));
  EXPECT_EQ(untouched.path, "keep");
  EXPECT_EQ(untouched.md5, "keep");
}

TEST(Manifest, TellsPathsThatClimbOutOfTheVersionFolder) {
  const std::pair<const char*, bool> cases[] = {
      {"a/b", false},       {"a/../b", false},     {"a//..//b", false}, {"./a/./..", false},
      {"..", true},         {"../a", true},        {"a/../../b", true}, {"a\\..\\..\\b", true},
      {"./../etc/x", true}, {"a/b/../../..", true}};
  for (const auto& [path, leaves] : cases) EXPECT_EQ(QZCheckPathLeavesFolder(path), leaves) << path;
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
  EXPECT_EQ(GetFileMd5(dir.path(), 0), "");  // a folder
  const QZCheckFileDigest at_limit = QZCheckDigestFile(dir / "f", 0, 5000);
  EXPECT_TRUE(at_limit.plain);
  EXPECT_EQ(at_limit.size, 5000u);
  EXPECT_EQ(at_limit.hex, "");  // not read
  EXPECT_EQ(QZCheckDigestFile(dir / "f", 0, 5001).hex, Md5Of(content));
  EXPECT_FALSE(QZCheckDigestFile(dir / "missing", 0, 5001).plain);
}

TEST(VersionNumbers, ParseDottedNames) {
  using Numbers = std::vector<int64_t>;
  EXPECT_EQ(ParseVersionNumbers("1.2.3.4"), (Numbers{1, 2, 3, 4}));
  EXPECT_EQ(ParseVersionNumbers("1..2.3"), (Numbers{1, 0, 2, 3}));
  EXPECT_EQ(ParseVersionNumbers(".1.2.3"), (Numbers{0, 1, 2, 3}));
  EXPECT_EQ(ParseVersionNumbers("1.2.3.4-beta"), (Numbers{1, 2, 3, 4}));
  EXPECT_EQ(ParseVersionNumbers("1.2.3."), (Numbers{1, 2, 3}));
  EXPECT_EQ(ParseVersionNumbers("ver1.2.3.4"), Numbers{});
  EXPECT_EQ(ParseVersionNumbers("9223372036854775807.0.0.1"), (Numbers{INT64_MAX, 0, 0, 1}));
  EXPECT_EQ(ParseVersionNumbers("99999999999999999999.0.0.1"), Numbers{});  // too large
  EXPECT_EQ(GetPathBaseName("C:/root/1.2.3.4/"), "1.2.3.4");
  EXPECT_EQ(GetPathBaseName("C:\\root\\beta\\"), "beta");
  EXPECT_EQ(GetPathBaseName("plain"), "");
  EXPECT_EQ(GetPathBaseName(""), "");
}

// The real selector with its roots in temporary folders; `after_listing` runs
// right after each listing and may change the names it gives.
class RootedSelector final : public QZCheckBaseVersionSelector {
 public:
  std::string user_root;
  std::string user_cache;
  std::string default_root;
  std::string exe_folder;
  std::function<void(const std::string&, std::vector<std::string>*)> after_listing =
      [](const std::string&, std::vector<std::string>*) {};

  std::string GetInstallMarkName() override { return real_.GetInstallMarkName(); }
  std::string GetUpdatingMarkName() override { return real_.GetUpdatingMarkName(); }
  std::string GetExeFolder() override { return exe_folder; }
  std::string GetDefaultInstallRoot() override { return default_root; }
  std::string GetUserRootPath() override { return user_root; }
  std::string GetUserCachePath() override { return user_cache; }
  bool IsFileExist(const std::string& path) override { return real_.IsFileExist(path); }
  std::string FixPath(const std::string& path) override { return real_.FixPath(path); }
  std::string ReadFileText(const std::string& path) override { return real_.ReadFileText(path); }
  std::vector<std::string> ListSubFolderNames(const std::string& folder) override {
    std::vector<std::string> names = real_.ListSubFolderNames(folder);
    after_listing(folder, &names);
    return names;
  }

 private:
  QZCheckVersionSelector real_;
};

TEST(VersionSelector, ReadsTheRootFromTheFirstWordOfTheFirstMarker) {
  TempDir home;
  TempDir cache;
  RootedSelector selector;
  selector.user_root = home.path();
  selector.user_cache = cache.path();
  WriteFile(cache / ".trelm_install", "/elsewhere/");
  const std::pair<std::string, std::string> cases[] = {
      {"  D:\\Apps\\Prod\\ \r\n", "D:/Apps/Prod/"},
      {"", "/elsewhere/"},  // an empty marker: the next one
      {" \t\r\n", ""},      // only white space: no root
      {"\x01/opt/caf\xC3\xA9\\x\x7F rest", "/opt/caf\xC3\xA9/x/"}};
  for (const auto& [marker, root] : cases) {
    SCOPED_TRACE(marker);
    WriteFile(home / ".trelm_install", marker);
    EXPECT_EQ(selector.GetInstallRootFromMark(), root);
  }
}

TEST(VersionSelector, PicksTheHighestCompleteVersionFolderAndTheFirstOfEqualOnes) {
  TempDir root;
  for (const char* name : {"9.9.9.9", "10.0.0.1", "10.0.0.1.7", "11.0.0.0", "beta/1.2.3"}) {
    WriteFile(root / name + "/f", "");
  }
  WriteFile(root / "11.0.0.0/.version_updating", "");
  WriteFile(root / "12.0.0.0", "a file, not a folder");
  RootedSelector selector;
  for (const bool ascending : {true, false}) {
    selector.after_listing = [ascending](const std::string&, std::vector<std::string>* names) {
      std::sort(names->begin(), names->end());
      if (!ascending) std::reverse(names->begin(), names->end());
    };
    EXPECT_EQ(selector.FindLatestVersion(root.path()), ascending ? "10.0.0.1" : "10.0.0.1.7");
  }
  EXPECT_EQ(selector.FindLatestVersion(root / "beta/"), "");
  EXPECT_EQ(selector.FindLatestVersion(""), "");
}

TEST(VersionSelector, TriesMarkerDefaultThenExecutableFolder) {
  TempDir home;
  TempDir marked;
  TempDir fallback;
  TempDir exe;
  RootedSelector selector;
  selector.user_root = selector.user_cache = home.path();
  selector.default_root = fallback.path();
  selector.exe_folder = exe.path();
  WriteFile(home / ".trelm_install", marked.path());
  const std::string versions[] = {marked / "1.0.0.0/", fallback / "5.0.0.0/", exe / "6.0.0.0/"};
  for (const std::string& version : versions) WriteFile(version + "f", "");
  for (const std::string& version : versions) {
    EXPECT_EQ(selector.GetVersionPath(), version);
    jx_folder_recursive_remove(version.c_str());
  }
  EXPECT_EQ(selector.GetVersionPath(), exe.path());
}

// The check's log lines since the last call: their messages, after "[jx] ".
std::vector<std::string> TakeMessages() {
  std::vector<std::string> messages;
  for (const std::string& body : jx::test::TakeLogBodies()) {
    const size_t at = body.find("[jx] ");
    messages.push_back(at == std::string::npos ? body : body.substr(at + 5));
  }
  return messages;
}

// Each test starts with the log's queue empty.
class Verification : public ::testing::Test {
 protected:
  void SetUp() override { TakeMessages(); }
};
using CheckFaults = Verification;
using CheckEntry = Verification;

class Version {
 public:
  void Add(const std::string& path, const std::string& content) {
    WriteFile(dir_ / path, content);
    manifest_ += ManifestLine(path, content);
  }
  void AddLine(const std::string& line) { manifest_ += line + "\n"; }
  void WriteManifest() { WriteFile(dir_ / "verify.md5.check", manifest_); }
  const std::string& folder() const { return dir_.path(); }
  std::string operator/(const std::string& path) const { return dir_ / path; }

 private:
  TempDir dir_;
  std::string manifest_;
};

TEST_F(Verification, PassesIntactFilesAndReportsMissingAndChangedOnesInManifestOrder) {
  Version version;
  version.Add("gone.txt", "was here");
  version.Add("my docs/changed.txt", "original");
  version.Add("same.txt", "same");
  version.WriteManifest();
  QZCheckResult result = QZCheckVersionFilesMD5Check(version.folder(), QZCheckRecheckFn());
  EXPECT_EQ(result.code, QZ_CHECK_OK);
  EXPECT_EQ(result.text1 + result.text2 + result.report, "");
  EXPECT_TRUE(TakeMessages().empty());

  jx_file_remove((version / "gone.txt").c_str());
  WriteFile(version / "my docs/changed.txt", "tampered");
  result = QZCheckVersionFilesMD5Check(version.folder(), QZCheckRecheckFn());
  EXPECT_EQ(result.code, QZ_CHECK_FILES_MISMATCH);
  EXPECT_EQ(result.report, "{\"fileLists\":[\"gone.txt\",\"my docs/changed.txt\"]}");
  const std::vector<std::string> messages = TakeMessages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0], "[dest] file NOT match MD5! -> gone.txt, [" + Md5Of("was here") + ", ]");
  EXPECT_EQ(messages[1], "[dest] file NOT match MD5! -> my docs/changed.txt, [" +
                             Md5Of("original") + ", " + Md5Of("tampered") + "]");
  EXPECT_EQ(messages[2].rfind("[dest] file info match MD5! -> 8, ", 0), 0u) << messages[2];
}

TEST_F(Verification, SkipsReservedTooLargeAndUnparsableEntries) {
  Version version;
  version.AddLine("0123 *./verify.md5.check");
  version.AddLine("0123 *./.version_roll_back.zip");
  version.AddLine("0123 *./.version_updating");
  version.AddLine("0123 *./.version_ota_config");
  version.Add("sub/.version_updating", "verified like any file");
  version.AddLine("no-space-here");
  version.AddLine("abc bin/no-marker");
  WriteFile(version / "big", std::string(MD5_MAX_CHECK_FILE_SIZE, 'b'));
  version.AddLine(Md5Of("nothing") + " *./big");  // exactly the limit: skipped
  const std::string below(MD5_MAX_CHECK_FILE_SIZE - 1, 'b');
  WriteFile(version / "below", below);
  version.AddLine(Md5Of("nothing") + " *./below");  // just below: digested
  version.WriteManifest();
  const QZCheckResult result = QZCheckVersionFilesMD5Check(version.folder(), QZCheckRecheckFn());
  EXPECT_EQ(result.report, "{\"fileLists\":[\"below\"]}");
  std::vector<std::string> messages = TakeMessages();
  ASSERT_EQ(messages.size(), 6u);
  messages.pop_back();  // the file information line
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "[md5 error][ ] -> no-space-here",
                          "[md5 error] no-space-here",
                          "[md5 error][*./] -> abc bin/no-marker",
                          "[md5 error] abc bin/no-marker",
                          "[dest] file NOT match MD5! -> below, [" + Md5Of("nothing") + ", " +
                              Md5Of(below) + "]",
                      }));
}

TEST_F(Verification, EmptyFilesAreLoggedNotFailedAndUpperCaseNeverMatches) {
  Version version;
  version.Add("empty", "");
  std::string upper = Md5Of("x");
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  WriteFile(version / "x", "x");
  version.AddLine(upper + " *./x");
  version.AddLine(" *./missing-with-empty-digest");
  version.WriteManifest();
  const QZCheckResult result = QZCheckVersionFilesMD5Check(version.folder(), QZCheckRecheckFn());
  EXPECT_EQ(result.report, "{\"fileLists\":[\"x\"]}");
  const std::vector<std::string> messages = TakeMessages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0], "file MD5 failed! -> " + version.folder() + "empty");
}

TEST_F(Verification, RechecksOnlyWhenTheCallableAsks) {
  Version version;
  version.Add("a", "good");
  version.WriteManifest();
  WriteFile(version / "a", "bad");
  std::vector<std::string> asked;
  QZCheckRecheckFn repair = [&](std::string path) {
    asked.push_back(path);
    WriteFile(version / path, "good");
    return true;
  };
  EXPECT_EQ(QZCheckVersionFilesMD5Check(version.folder(), repair).code, QZ_CHECK_OK);
  EXPECT_EQ(asked, std::vector<std::string>{"a"});
  WriteFile(version / "a", "bad");
  QZCheckRecheckFn refuse = [](std::string) { return false; };
  EXPECT_EQ(QZCheckVersionFilesMD5Check(version.folder(), refuse).code, QZ_CHECK_FILES_MISMATCH);
}

// --- Faults met in the middle of a check ---

// Every file below differs from its manifest line, so the check asks for a
// recheck; before answering, the recheck does to the file what another
// program or a crash might.
TEST_F(CheckFaults, AFileChangedJustBeforeItsRecheckFailsOnlyWhenItIsNoLongerAFile) {
  Version version;
  using Fault = std::function<bool(const std::string&)>;
  std::vector<std::pair<std::string, Fault>> faults = {
      {"removed", [](const std::string& path) { return jx_file_remove(path.c_str()); }},
      {"emptied",
       [](const std::string& path) {
         WriteFile(path, "");
         return true;
       }},
      {"grown past the limit",
       [](const std::string& path) {
         WriteFile(path, std::string(MD5_MAX_CHECK_FILE_SIZE, 'g'));
         return true;
       }},
      {"now a folder",
       [](const std::string& path) {
         return jx_file_remove(path.c_str()) && jx_folder_create(path.c_str());
       }},
  };
  if (!jx::test::OnWindows()) {
    faults.emplace_back("now a pipe", [](const std::string& path) {
      return jx_file_remove(path.c_str()) && jx::test::MakeFifo(path);
    });
  }
  for (const auto& fault : faults) {
    version.Add(fault.first, "listed");
    WriteFile(version / fault.first, "changed");
  }
  version.WriteManifest();
  QZCheckRecheckFn recheck = [&](std::string path) {
    for (const auto& [name, fault] : faults) {
      if (name == path) {
        EXPECT_TRUE(fault(version / path)) << path;
      }
    }
    return true;
  };
  const QZCheckResult result = QZCheckVersionFilesMD5Check(version.folder(), recheck);
  EXPECT_EQ(result.code, QZ_CHECK_FILES_MISMATCH);
  EXPECT_EQ(result.report, "{\"fileLists\":[\"removed\",\"now a folder\"]}");
  // Gone files fail without a file information line; files that are there
  // but give no digest are logged and pass.
  std::vector<std::string> expected = {
      "[dest] file NOT match MD5! -> removed, [" + Md5Of("listed") + ", ]",
      "file MD5 failed! -> " + (version / "emptied"),
      "file MD5 failed! -> " + (version / "grown past the limit"),
      "[dest] file NOT match MD5! -> now a folder, [" + Md5Of("listed") + ", ]",
  };
  if (!jx::test::OnWindows()) expected.push_back("file MD5 failed! -> " + (version / "now a pipe"));
  EXPECT_EQ(TakeMessages(), expected);
}

// The open descriptors of this process; -1 where the system does not list them
// (under Wine the folder lists the emulator's own, which come and go).
int OpenDescriptors() {
  if (jx::test::OnWindows()) return -1;
  std::error_code error;
  std::filesystem::directory_iterator entries("/proc/self/fd", error);
  if (error) return -1;
  return static_cast<int>(std::distance(entries, std::filesystem::directory_iterator()));
}

TEST_F(CheckFaults, ACheckEndedByAnExceptionLeavesNoHandleOpen) {
  Version version;
  version.Add("a", "listed");
  version.WriteManifest();
  WriteFile(version / "a", "changed");
  const int before = OpenDescriptors();
  QZCheckRecheckFn fail = [](std::string) -> bool { throw std::bad_alloc(); };
  EXPECT_THROW(QZCheckVersionFilesMD5Check(version.folder(), fail), std::bad_alloc);
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(CheckFaults, PipesDevicesAndLinkLoopsWhereFilesAreListedNeverHang) {
  Version version;
  if (!jx::test::MakeFifo(version / "pipe")) GTEST_SKIP() << "no FIFOs or links here";
  ASSERT_TRUE(jx::test::MakeLink(version / "zero", "/dev/zero"));
  ASSERT_TRUE(jx::test::MakeLink(version / "loop", version / "loop"));
  for (const char* path : {"pipe", "zero", "loop", "loop/inside"}) {
    version.AddLine(Md5Of("") + " *./" + path);
  }
  version.WriteManifest();
  const QZCheckResult result = QZCheckVersionFilesMD5Check(version.folder(), QZCheckRecheckFn());
  EXPECT_EQ(result.report, "{\"fileLists\":[\"loop/inside\"]}");
  EXPECT_EQ(TakeMessages(), (std::vector<std::string>{
                                "file MD5 failed! -> " + (version / "pipe"),
                                "file MD5 failed! -> " + (version / "zero"),
                                "file MD5 failed! -> " + (version / "loop"),
                                "[dest] file NOT match MD5! -> loop/inside, [" + Md5Of("") + ", ]",
                            }));

  // A manifest that is a pipe (one a writer holds open too), a device or
  // behind a link loop counts as missing.
  std::fstream writer(std::filesystem::u8path(version / "pipe"), std::ios::in | std::ios::out);
  std::vector<std::string> expected;
  for (const std::string& target : {version / "pipe", version / "loop", std::string("/dev/zero"),
                                    std::string("/dev/urandom")}) {
    TempDir manifest_folder;
    ASSERT_TRUE(jx::test::MakeLink(manifest_folder / "verify.md5.check", target));
    EXPECT_EQ(QZCheckVersionFilesMD5Check(manifest_folder.path(), QZCheckRecheckFn()).code,
              QZ_CHECK_OK);
    expected.push_back("NO file MD5 for check ?????? --> " + manifest_folder.path());
  }
  EXPECT_EQ(TakeMessages(), expected);
}

TEST_F(CheckFaults, OverlongAndNonUtf8PathsAreReportedAsWritten) {
  Version version;
  std::string deep;
  while (deep.size() < 4096) deep += "folder/";
  deep += "file";
  const std::string wide_name(300, 'n');
  version.AddLine(Md5Of("") + " *./" + deep);
  version.AddLine(Md5Of("") + " *./" + wide_name);
  version.WriteManifest();
  QZCheckResult result = QZCheckVersionFilesMD5Check(version.folder(), QZCheckRecheckFn());
  EXPECT_EQ(result.report, "{\"fileLists\":[\"" + deep + "\",\"" + wide_name + "\"]}");

  std::string long_folder = version.folder();
  while (long_folder.size() < 4096) long_folder += "sub/";
  result = QZCheckVersionFilesMD5Check(long_folder, QZCheckRecheckFn());
  EXPECT_EQ(result.code, QZ_CHECK_OK);
  EXPECT_EQ(result.report, "");

  if (jx::test::OnWindows()) return;  // Windows names are UTF-16: no such files
  Version bytes;
  bytes.Add("\xFF\xFE.bin", "kept");
  bytes.Add("caf\xE9", "latin-1");
  bytes.WriteManifest();
  WriteFile(bytes / "caf\xE9", "changed");
  result = QZCheckVersionFilesMD5Check(bytes.folder(), QZCheckRecheckFn());
  EXPECT_EQ(result.code, QZ_CHECK_FILES_MISMATCH);
  EXPECT_EQ(result.report, "{\"fileLists\":[\"caf\xE9\"]}");
}

TEST_F(CheckFaults, AVersionRemovedRightAfterItWasListedIsCheckedAsHavingNoManifest) {
  TempDir root;
  for (const char* name : {"1.0.0.0/", "2.0.0.0/"}) {
    WriteFile(root / name + "a", "a");
    WriteFile(root / name + "verify.md5.check", Md5Of("a") + " *./a\n");
  }
  RootedSelector selector;
  selector.default_root = root.path();
  selector.after_listing = [&](const std::string&, std::vector<std::string>*) {
    jx_folder_recursive_remove((root / "2.0.0.0/").c_str());
  };
  const std::string chosen = selector.GetVersionPath();
  EXPECT_EQ(chosen, root / "2.0.0.0/");
  const QZCheckResult result = QZCheckVersionFilesMD5Check(chosen, QZCheckRecheckFn());
  EXPECT_EQ(result.code, QZ_CHECK_OK);
  EXPECT_EQ(result.report, "");
  EXPECT_EQ(TakeMessages(), std::vector<std::string>{"NO file MD5 for check ?????? --> " + chosen});
}

TEST_F(CheckFaults, MarkersAndRootsThatAreNotWhatTheyShouldBeLeadToTheNextRoot) {
  TempDir home;
  TempDir fallback;
  WriteFile(fallback / "1.0.0.0/a", "a");
  RootedSelector selector;
  selector.user_root = selector.user_cache = home.path();
  selector.default_root = fallback.path();
  const std::string marker = home / ".trelm_install";
  const std::string expected = fallback / "1.0.0.0/";

  ASSERT_TRUE(jx_folder_create(marker.c_str()));
  EXPECT_EQ(selector.GetVersionPath(), expected);
  ASSERT_TRUE(jx_folder_remove(marker.c_str()));
  WriteFile(marker, home / "root-that-is-a-file");
  WriteFile(home / "root-that-is-a-file", "");
  EXPECT_EQ(selector.GetVersionPath(), expected);
  ASSERT_TRUE(jx_file_remove(marker.c_str()));

  if (jx::test::OnWindows()) return;  // no FIFOs, devices or links there
  ASSERT_TRUE(jx::test::MakeFifo(marker));
  EXPECT_EQ(selector.GetVersionPath(), expected);
  for (const std::string& target : {std::string("/dev/zero"), marker}) {
    ASSERT_TRUE(jx_file_remove(marker.c_str()));
    ASSERT_TRUE(jx::test::MakeLink(marker, target));
    EXPECT_EQ(selector.GetVersionPath(), expected) << target;
  }
  ASSERT_TRUE(jx_file_remove(marker.c_str()));
  ASSERT_TRUE(jx::test::MakeLink(home / "looped", home / "looped"));
  WriteFile(marker, home / "looped");
  EXPECT_EQ(selector.GetVersionPath(), expected);
}

TEST_F(CheckEntry, CallsBackOnceWithTextsThatAreNeverNull) {
  jx::test::CheckOutcome outcome;
  mird_check(&outcome, jx::test::RecordOutcome);
  EXPECT_EQ(outcome.calls, 1);
  EXPECT_EQ(outcome.user, &outcome);
  EXPECT_TRUE(outcome.code == QZ_CHECK_OK || outcome.code == QZ_CHECK_FILES_MISMATCH);
  EXPECT_EQ(outcome.text1 + outcome.text2, "");
  mird_check(nullptr, nullptr);  // runs, reports to nobody
}

}  // namespace
