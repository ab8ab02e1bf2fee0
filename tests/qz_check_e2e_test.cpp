// mird-check run as a real process: the product's check found through the
// profile marker or the program's own folder, the commands and their exit
// statuses, the library's log, and the check set against md5sum on a
// generated tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "base/jx_file.h"
#include "base/jx_folder.h"
#include "base/jx_json.h"
#include "base/jx_jvalue.h"
#include "base/jx_md5.h"
#include "base/jx_memory.h"
#include "qz_check_trelm_version.h"
#include "support/jx_test_check.h"
#include "support/jx_test_process.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::ManifestLine;
using jx::test::Md5Of;
using jx::test::OnWindows;
using jx::test::ProcessResult;
using jx::test::ReadFile;
using jx::test::RunProcess;
using jx::test::TempDir;
using jx::test::WriteFile;
using jx::test::WriteVersion;

std::string ProgramFolder() { return QZCheckVersionSelector().GetExeFolder(); }

std::string Program(const std::string& name) {
  return ProgramFolder() + name + (OnWindows() ? ".exe" : "");
}

// Output with the console's CR LF line ends read as LF.
std::string PlainLines(std::string text) {
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

// The "fileLists" of a JSON outcome printed by the tool.
std::vector<std::string> FailedFiles(const std::string& json) {
  jx::Jvalue outcome;
  jx::Jvalue list;
  std::vector<std::string> files;
  if (!jx_json_parse(outcome.handle, json.c_str(), nullptr) ||
      !jx_json_get_jvalue(outcome.handle, "report.fileLists", list.handle)) {
    return files;
  }
  for (int i = 0; i < jx_json_array_size(list.handle); ++i) {
    char* text = nullptr;
    uint32_t length = 0;
    if (jx_json_get_cstr(list.handle, (":" + std::to_string(i)).c_str(), &text, &length)) {
      files.emplace_back(text, length);
      jx_free(text);
    }
  }
  return files;
}

class Tool : public ::testing::Test {
 protected:
  Tool() { jx_folder_recursive_create(home_.c_str()); }

  // Runs the tool with the temporary home folder as the user's profile.
  ProcessResult Run(const std::vector<std::string>& arguments) const {
    return RunCopy(tool_, arguments);
  }
  ProcessResult RunCopy(const std::string& tool, const std::vector<std::string>& arguments) const {
    ProcessResult result =
        RunProcess(tool, arguments, {"HOME=" + home_, "XDG_CONFIG_HOME=" + home_ + ".config/"});
    result.out = PlainLines(result.out);
    result.err = PlainLines(result.err);
    return result;
  }

  // The profile marker naming the install root, padded as people write it.
  void MarkInstallRoot() const { WriteFile(home_ + ".trelm_install", "  " + root_ + " \r\n"); }

  // The tool and the library copied into a folder of their own, where the
  // search ends when no marker and no default root names a version.
  std::string CopyToolTo(const std::string& folder) const {
    namespace fs = std::filesystem;
    const std::string library = OnWindows() ? "mird_check.dll" : "libmird_check.so";
    fs::create_directories(fs::u8path(folder));
    fs::copy_file(fs::u8path(tool_), fs::u8path(folder + fs::u8path(tool_).filename().u8string()));
    fs::copy_file(fs::u8path(ProgramFolder() + library), fs::u8path(folder + library));
    return folder + fs::u8path(tool_).filename().u8string();
  }

  // Whether a run of a copied tool reaches its own folder: Linux gets the
  // temporary profile; Windows asks the shell for the real one.
  static bool SearchReachesTheProgramFolder() {
    QZCheckVersionSelector real;
    const bool real_marker = OnWindows() && !real.GetInstallRootFromMark().empty();
    return !real_marker && real.FindLatestVersion(real.GetDefaultInstallRoot()).empty();
  }

  TempDir dir_;
  const std::string home_ = dir_ / "home/";
  const std::string root_ = dir_ / "install/";
  const std::string tool_ = Program("mird-check");
};

// Linux only: the shell on Windows ignores the environment for the profile.
#define SKIP_WITHOUT_OWN_PROFILE() \
  if (OnWindows()) GTEST_SKIP() << "the profile folder cannot be replaced for one process"

TEST_F(Tool, ChecksTheVersionThatTheProfileMarkerNames) {
  SKIP_WITHOUT_OWN_PROFILE();
  WriteVersion(root_ + "1.10.0.0/", {{"bin/app.dat", "app"}, {"c d", "sea"}});
  MarkInstallRoot();

  ProcessResult intact = Run({});
  EXPECT_EQ(intact.exit_code, 0) << intact.err;
  EXPECT_EQ(intact.out, "folder   " + root_ + "1.10.0.0/\ncode     0\nreport   (none)\n");
  EXPECT_EQ(intact.err, "");

  ProcessResult select = Run({"select"});
  EXPECT_EQ(select.exit_code, 0);
  EXPECT_EQ(select.out, root_ + "1.10.0.0/\n");
}

TEST_F(Tool, ChecksItsOwnFolderWhenNoRootHoldsAVersionAndLogsIntoTheFolderGiven) {
  if (!SearchReachesTheProgramFolder()) GTEST_SKIP() << "a real install root holds a version";
  const std::string app = dir_ / "app/";
  const std::string tool = CopyToolTo(app);
  WriteVersion(app + "3.0.0.0/", {{"a.txt", "a"}, {"sub/b.txt", "b"}});

  ProcessResult intact = RunCopy(tool, {"--json"});
  EXPECT_EQ(intact.exit_code, 0) << intact.err;
  EXPECT_EQ(intact.out,
            "{\"command\":\"check\",\"folder\":\"" + app +
                "3.0.0.0/\",\"code\":0,\"text1\":\"\",\"text2\":\"\",\"report\":null}\n");

  WriteFile(app + "3.0.0.0/sub/b.txt", "B");
  ProcessResult failed = RunCopy(tool, {"--log", dir_ / "log"});
  EXPECT_EQ(failed.exit_code, 1) << failed.err;
  const std::string log_file = dir_ / "log/trace.mird-check.blog";
  EXPECT_NE(failed.out.find("log      " + log_file + "\n"), std::string::npos) << failed.out;
  EXPECT_NE(failed.out.find("folder   " + app +
                            "3.0.0.0/\ncode     1001\nreport   {\"fileLists\":[\"sub/b.txt\"]}\n"),
            std::string::npos)
      << failed.out;
  const std::string log = ReadFile(log_file);  // lines end in CR LF on Windows
  const std::string located =
      R"(\]\[qz_check_trelm_version\.cpp\(\d+\)QZCheckVersionFilesMD5Check\]\[jx\] )";
  EXPECT_TRUE(std::regex_search(
      log,
      std::regex(R"(\[E:0400)" + located + R"(\[dest\] file NOT match MD5! -> sub/b\.txt, \[)" +
                 Md5Of("b") + ", " + Md5Of("B") + R"(\]\r?\n)")))
      << log;
  EXPECT_TRUE(std::regex_search(
      log, std::regex(R"(\[E:0400)" + located + R"(\[dest\] file info match MD5! -> 1, \d+)")))
      << log;
  EXPECT_EQ(log.find("a.txt"), std::string::npos);
  EXPECT_NE(log.find("[mird-check] checking " + app + "3.0.0.0/"), std::string::npos);
  EXPECT_NE(log.find("[mird-check] check finished with code 1001 (run "), std::string::npos);

  // Without a version folder the check looks for a manifest beside the program.
  jx_folder_recursive_remove((app + "3.0.0.0/").c_str());
  ProcessResult bare = RunCopy(tool, {});
  EXPECT_EQ(bare.exit_code, 0) << bare.err;
  EXPECT_EQ(bare.out, "folder   " + app + "\ncode     0\nreport   (none)\n");
}

TEST_F(Tool, VerifiesOneFolderWithTheExitStatusOfItsResult) {
  const std::string version = root_ + "1.0.0.0/";
  WriteVersion(version, {{"a.txt", "a"}, {"b.txt", "b"}});
  ProcessResult intact = Run({"verify", version});
  EXPECT_EQ(intact.exit_code, 0) << intact.err;
  EXPECT_EQ(intact.out, "folder   " + version + "\ncode     0\nreport   (none)\n");

  WriteFile(version + "a.txt", "A");
  ProcessResult failed = Run({"--json", "verify", version});
  EXPECT_EQ(failed.exit_code, 1);
  EXPECT_EQ(FailedFiles(failed.out), std::vector<std::string>{"a.txt"});

  jx_file_remove((version + "verify.md5.check").c_str());
  ProcessResult no_manifest = Run({"verify", version});
  EXPECT_EQ(no_manifest.exit_code, 2);
  EXPECT_EQ(no_manifest.out, "");
  EXPECT_NE(no_manifest.err.find("no manifest"), std::string::npos);
  if (jx::test::MakeFifo(version + "verify.md5.check")) {
    // Held open by a writer, a pipe would block a read for ever.
    std::fstream writer(std::filesystem::u8path(version + "verify.md5.check"),
                        std::ios::in | std::ios::out);
    EXPECT_EQ(Run({"verify", version}).exit_code, 2);
  }

  ProcessResult missing = Run({"verify", "--json", root_ + "9.9.9.9"});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(missing.out, "{\"command\":\"verify\",\"folder\":\"" + root_ +
                             "9.9.9.9/\",\"error\":\"" + root_ + "9.9.9.9: no such folder\"}\n");
}

TEST_F(Tool, SelectsTheNewestCompleteVersionUnderARoot) {
  WriteVersion(root_ + "10.0.0.1/", {});
  WriteVersion(root_ + "11.0.0.0/", {});
  WriteFile(root_ + "11.0.0.0/.version_updating", "");
  ProcessResult chosen = Run({"select", root_});
  EXPECT_EQ(chosen.exit_code, 0) << chosen.err;
  EXPECT_EQ(chosen.out, root_ + "10.0.0.1/\n");

  ProcessResult none = Run({"select", root_ + "10.0.0.1"});
  EXPECT_EQ(none.exit_code, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "mird-check: " + root_ + "10.0.0.1/: no complete version folder\n");
}

TEST_F(Tool, WritesAManifestOfPlainFilesInByteOrderWithoutReservedNames) {
  const std::string version = root_ + "1.0.0.0/";
  const jx::test::VersionFiles files = {{"b.txt", "b"},       {"a/z.txt", "z"},
                                        {"A.txt", "A"},       {".hidden", "h"},
                                        {"empty", ""},        {"sub/.version_updating", "s"},
                                        {"sp ace.txt", "sp"}, {"\xc3\xbc.txt", "u"}};
  for (const auto& [path, content] : files) WriteFile(version + path, content);
  WriteFile(version + ".version_updating", "");
  WriteFile(version + ".version_ota_config", "o");
  WriteFile(version + "verify.md5.check", "stale");

  ProcessResult run = Run({"manifest", version});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "folder   " + version + "\nmanifest " + version + "verify.md5.check\nfiles    8\n");
  const std::string expected =
      Md5Of("h") + " *./.hidden\n" + Md5Of("A") + " *./A.txt\n" + Md5Of("z") + " *./a/z.txt\n" +
      Md5Of("b") + " *./b.txt\n" + Md5Of("") + " *./empty\n" + Md5Of("sp") + " *./sp ace.txt\n" +
      Md5Of("s") + " *./sub/.version_updating\n" + Md5Of("u") + " *./\xc3\xbc.txt\n";
  EXPECT_EQ(ReadFile(version + "verify.md5.check"), expected);
  EXPECT_EQ(Run({"verify", version}).exit_code, 0);
  EXPECT_FALSE(jx_file_exist((version + "verify.md5.check.partial").c_str()));
}

TEST_F(Tool, NeverWritesAManifestThroughALinkOrOverWhatIsNotAFile) {
  const std::string version = root_ + "1.0.0.0/";
  WriteFile(version + "a.txt", "a");
  const std::string target = root_ + "target";
  WriteFile(target, "kept");
  if (!jx::test::MakeLink(version + "verify.md5.check", target)) GTEST_SKIP() << "no links here";
  ProcessResult linked = Run({"manifest", version});
  EXPECT_EQ(linked.exit_code, 2);
  EXPECT_NE(linked.err.find("is a link; not replaced"), std::string::npos) << linked.err;
  EXPECT_EQ(ReadFile(target), "kept");

  jx_file_remove((version + "verify.md5.check").c_str());
  ASSERT_TRUE(jx_folder_create((version + "verify.md5.check").c_str()));
  ProcessResult folder = Run({"manifest", version});
  EXPECT_EQ(folder.exit_code, 2);
  EXPECT_NE(folder.err.find("is not a plain file; not replaced"), std::string::npos) << folder.err;
}

TEST_F(Tool, VerifyWarnsOfEveryEntryOutsideTheVersionFolder) {
  const std::string version = root_ + "1.0.0.0/";
  WriteVersion(version, {{"a.txt", "a"}});
  WriteFile(root_ + "outside.txt", "o");
  WriteFile(version + "verify.md5.check",
            ManifestLine("a.txt", "a") + ManifestLine("../outside.txt", "o") +
                ManifestLine("sub/../../outside.txt", "o") + ManifestLine("sub/../a.txt", "a"));
  ProcessResult run = Run({"verify", version});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err,
            "mird-check: warning: ../outside.txt is outside the version folder\n"
            "mird-check: warning: sub/../../outside.txt is outside the version folder\n");
}

TEST_F(Tool, RefusesToNameInAManifestWhatALineCannotHold) {
  if (OnWindows()) GTEST_SKIP() << "Windows names cannot hold line breaks or backslashes";
  const std::string version = root_ + "1.0.0.0/";
  for (const std::string name : {"line\nbreak", "back\\slash"}) {
    jx_folder_recursive_remove(version.c_str());
    WriteFile(version + "ok.txt", "ok");
    WriteFile(version + name, "x");
    ProcessResult run = Run({"manifest", version});
    EXPECT_EQ(run.exit_code, 2) << name;
    EXPECT_FALSE(jx_file_exist((version + "verify.md5.check").c_str())) << name;
  }
}

TEST_F(Tool, RejectsWrongUsageWithStatusTwo) {
  const std::vector<std::vector<std::string>> wrong = {
      {"bogus"},    {"verify"}, {"verify", "a", "b"}, {"select", "a", "b"},
      {"manifest"}, {"--log"},  {"--nope"},           {"verify", "a", "--log", "b"}};
  for (const auto& arguments : wrong) {
    ProcessResult run = Run(arguments);
    EXPECT_EQ(run.exit_code, 2) << arguments[0];
    EXPECT_EQ(run.out, "") << arguments[0];
    EXPECT_EQ(run.err.rfind("mird-check: ", 0), 0u) << run.err;
  }
  ProcessResult json = Run({"--json", "bogus"});
  EXPECT_EQ(json.out, "{\"error\":\"unknown command bogus (see mird-check --help)\"}\n");

  ProcessResult help = Run({"verify", "--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("usage: mird-check", 0), 0u);
}

// --- The check against md5sum (coreutils) ---

class Md5sumPeer : public Tool {
 protected:
  void SetUp() override {
    if (OnWindows()) GTEST_SKIP() << "md5sum runs on Linux only";
  }

  // A tree of files of random sizes and names (spaces and UTF-8 included).
  std::vector<std::string> MakeTree(const std::string& folder, uint32_t seed) const {
    std::mt19937 random(seed);
    const char* names[] = {"data", "bin", "lib x", "r\xc3\xa9sum\xc3\xa9", "a.b.c", "-dash"};
    std::vector<std::string> paths;
    for (int i = 0; i < 120; ++i) {
      std::string path;
      for (uint32_t depth = random() % 3; depth > 0; --depth) {
        path += std::string(names[random() % 6]) + "/";
      }
      path += "f" + std::to_string(i) + (random() % 2 == 0 ? ".txt" : " copy.bin");
      std::string content(1 + random() % 70000, '\0');
      for (char& c : content) c = static_cast<char>(random());
      WriteFile(folder + path, content);
      paths.push_back(path);
    }
    WriteFile(folder + "empty", "");
    return paths;
  }

  // Runs a shell command inside `folder`.
  static ProcessResult Shell(const std::string& folder, const std::string& command) {
    return RunProcess("/bin/sh", {"-c", "cd \"$0\" && " + command, folder});
  }

  // The files "md5sum -c" reports as failed, in its order, without "./".
  static std::vector<std::string> Md5sumFailures(const std::string& folder) {
    ProcessResult run = Shell(folder, "md5sum -c --quiet verify.md5.check 2>/dev/null");
    std::vector<std::string> failed;
    size_t start = 0;
    for (size_t end; (end = run.out.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = run.out.substr(start, end - start);
      const size_t verdict = line.rfind(": FAILED");
      if (line.rfind("./", 0) == 0 && verdict != std::string::npos) {
        failed.push_back(line.substr(2, verdict - 2));
      }
    }
    return failed;
  }
};

TEST_F(Md5sumPeer, WritesTheManifestMd5sumWrites) {
  const std::string version = root_ + "1.0.0.0/";
  MakeTree(version, 7);
  ProcessResult peer = Shell(version,
                             "find . -type f ! -path ./verify.md5.check | LC_ALL=C sort | "
                             "xargs -d '\\n' md5sum -b");
  ASSERT_EQ(peer.exit_code, 0) << peer.err;
  ProcessResult ours = Run({"manifest", version});
  ASSERT_EQ(ours.exit_code, 0) << ours.err;
  EXPECT_EQ(ReadFile(version + "verify.md5.check"), peer.out);
}

TEST_F(Md5sumPeer, FailsExactlyTheFilesMd5sumFailsInManifestOrder) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    const std::string version = root_ + std::to_string(seed) + ".0.0.0/";
    std::vector<std::string> paths = MakeTree(version, seed);
    // The manifest lists the files in the order find yields them.
    ProcessResult made = Shell(version,
                               "find . -type f ! -path ./verify.md5.check -print0 | "
                               "xargs -0 md5sum -b > verify.md5.check");
    ASSERT_EQ(made.exit_code, 0) << made.err;

    std::mt19937 random(seed * 1000);
    for (const std::string& path : paths) {
      const std::string full = version + path;
      std::string content = ReadFile(full);
      switch (random() % 8) {
        case 0:  // one byte changed
          content[random() % content.size()] ^= 0x20;
          break;
        case 1:  // cut short, never to nothing
          content.resize((content.size() + 1) / 2);
          break;
        case 2:  // grown
          content += "x";
          break;
        case 3:
          jx_file_remove(full.c_str());
          continue;
        case 4:  // rewritten with the same bytes
          break;
        default:
          continue;
      }
      WriteFile(full, content);
    }
    const std::vector<std::string> expected = Md5sumFailures(version);
    ASSERT_FALSE(expected.empty());
    ProcessResult ours = Run({"--json", "verify", version});
    EXPECT_EQ(ours.exit_code, 1) << ours.err;
    EXPECT_EQ(FailedFiles(ours.out), expected) << "seed " << seed;
  }
}

}  // namespace
