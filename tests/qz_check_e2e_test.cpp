// mird-check run as a real process: its commands, their output and exit
// statuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "base/jx_config.h"
#include "base/jx_file.h"
#include "base/jx_folder.h"
#include "base/jx_system.h"
#include "qz_check_trelm_version.h"
#include "support/jx_test_check.h"
#include "support/jx_test_process.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::ManifestLine;
using jx::test::OnWindows;
using jx::test::ProcessResult;
using jx::test::WriteFile;

bool Holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class Tool : public ::testing::Test {
 protected:
  static std::string Program() {
    return QZCheckVersionSelector().GetExeFolder() + "mird-check" + (OnWindows() ? ".exe" : "");
  }
  // Runs the tool; the console's CR LF line ends read as LF.
  ProcessResult Run(const std::vector<std::string>& arguments) const {
    ProcessResult result = jx::test::RunProcess(Program(), arguments);
    for (std::string* text : {&result.out, &result.err}) {
      for (size_t at; (at = text->find("\r\n")) != std::string::npos;) text->erase(at, 1);
    }
    return result;
  }

  jx::test::TempDir dir_;
  const std::string root_ = dir_ / "install/";
  const std::string version_ = root_ + "1.0.0.0/";
};

// Every line gets a kind; only missing and changed files fail the run,
// unless --strict, and the code and report are the library's own.
TEST_F(Tool, VerifyGivesEachLineItsKindAndTheLibrarysReport) {
  jx::test::WriteVersion(version_, {{"ok.txt", "a"}, {"empty.txt", ""}, {"none.txt", ""}});
  WriteFile(root_ + "outside.txt", "o");
  jx_folder_recursive_create((version_ + "folder").c_str());
  WriteFile(version_ + "large.bin", "");
  std::filesystem::resize_file(std::filesystem::u8path(version_ + "large.bin"),
                               MD5_MAX_CHECK_FILE_SIZE);
  WriteFile(version_ + "extra.txt", "x");
  WriteFile(version_ + "verify.md5.check",
            ManifestLine("ok.txt", "a") + ManifestLine("empty.txt", "was here") +
                ManifestLine("none.txt", "") + ManifestLine("folder", "f") + "\n" +
                ManifestLine("large.bin", "l") + "0cc175b9c0f1b6a831c399e269772661  ./ok.txt\n" +
                "0CC175B9C0F1B6A831C399E269772661 *./ok.txt\n" +
                ManifestLine("../outside.txt", "o"));
  ProcessResult run = Run({"verify", version_, "--extra"});
  EXPECT_EQ(run.exit_code, 1) << run.err;  // the upper-case digest differs, as text
  EXPECT_EQ(run.out,
            "ok            ok.txt\nempty         empty.txt\nok            none.txt\n"
            "unreadable    folder\nskipped-large large.bin\n"
            "malformed     line 7: no \"*./\" before the path: lines read \"<md5> *./<path>\", "
            "as md5sum -b writes them for ./ paths\n"
            "malformed     line 8: the digest is not 32 lower-case hex digits\n"
            "outside       ../outside.txt\nextra         extra.txt\n"
            "folder   " +
                version_ + "\nmanifest " + version_ +
                "verify.md5.check\ncode     1001\n"
                "report   {\"fileLists\":[\"folder\",\"ok.txt\"]}\n"
                "summary  9 entries: 2 ok, 1 unreadable, 1 empty, 1 skipped-large, 2 malformed, "
                "1 outside, 1 extra\n");
  EXPECT_EQ(
      run.err,
      "mird-check: warning: 1 of 9 entries unreadable\nmird-check: warning: 1 of 9 entries "
      "empty\nmird-check: warning: 1 of 9 entries skipped-large\nmird-check: warning: 2 of 9 "
      "entries malformed\nmird-check: warning: 1 of 9 entries outside\nmird-check: warning: 1 "
      "of 9 entries extra\n");
  const QZCheckResult library = QZCheckVersionFilesMD5Check(version_, QZCheckRecheckFn());
  EXPECT_EQ(library.code, 1001);
  EXPECT_EQ(library.report, "{\"fileLists\":[\"folder\",\"ok.txt\"]}");

  // Without the lines the library reports, only --strict fails.
  std::string manifest = jx::test::ReadFile(version_ + "verify.md5.check");
  for (const std::string& line : {std::string("0CC1"), ManifestLine("folder", "f").substr(0, 32)}) {
    const size_t at = manifest.find(line);
    manifest.erase(at, manifest.find('\n', at) + 1 - at);
  }
  WriteFile(version_ + "verify.md5.check", manifest);
  EXPECT_EQ(Run({"verify", version_}).exit_code, 0);
  ProcessResult strict = Run({"verify", "--strict", "--quiet", version_});
  EXPECT_EQ(strict.exit_code, 1);
  EXPECT_FALSE(Holds(strict.out, "ok.txt")) << strict.out;
  EXPECT_TRUE(Holds(strict.out, "empty         empty.txt\n")) << strict.out;
  ProcessResult status = Run({"verify", "--status", "--strict", version_});
  EXPECT_EQ(status.exit_code, 1);
  EXPECT_EQ(status.out + status.err, "");
  jx_file_remove((version_ + "ok.txt").c_str());
  EXPECT_EQ(Run({"verify", "--status", version_}).exit_code, 1);  // now missing
}

// A manifest the check would pass for listing nothing is an error here, and
// says what is wrong with its first line.
TEST_F(Tool, VerifyFailsAManifestWithoutAValidLine) {
  jx::test::WriteVersion(version_, {{"a.txt", "a"}});
  const std::pair<std::string, std::string> cases[] = {
      {"", "no line lists a file to verify"},
      {"\n\ngarbage\n", "(line 3: no space after the digest)"},
      {"0cc175b9c0f1b6a831c399e269772661  ./a.txt\n", "(line 1: no \"*./\" before the path"},
      {"0cc175b9c0f1b6a831c399e269772661 *a.txt\n", "(line 1: no \"*./\" before the path"},
      {std::string(kManifestMaxLineBytes + 1, 'x'), "(line 1: longer than 65536 bytes)"},
      {ManifestLine("verify.md5.check", ""), "lists the version folder's own file"}};
  for (const auto& [manifest, error] : cases) {
    WriteFile(version_ + "verify.md5.check", manifest);
    ProcessResult run = Run({"verify", version_});
    EXPECT_EQ(run.exit_code, 2) << error;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Holds(run.err, error)) << run.err;
  }
}

// A manifest kept elsewhere, or read from standard input, lists paths
// relative to the folder named.
TEST_F(Tool, VerifiesAgainstAManifestKeptElsewhere) {
  jx::test::WriteVersion(version_, {{"a.txt", "a"}, {"b.txt", "b"}});
  const std::string elsewhere = dir_ / "kept.md5";
  WriteFile(elsewhere, ManifestLine("a.txt", "a") + ManifestLine("b.txt", "changed"));
  for (const auto& run :
       {Run({"verify", "--quiet", "--manifest", elsewhere, version_}),
        jx::test::RunProcess(Program(), {"verify", "--quiet", "--manifest=-", version_},
                             elsewhere)}) {
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(Holds(run.out, "changed       b.txt")) << run.out;
  }
  EXPECT_EQ(Run({"verify", "--manifest", dir_ / "none.md5", version_}).exit_code, 2);
  // Kept in the folder, it is not a file the folder holds beyond its list.
  WriteFile(version_ + "list.md5", ManifestLine("a.txt", "a") + ManifestLine("b.txt", "b"));
  const std::vector<std::string> strict_extra = {
      "verify", "--strict", "--extra", "--manifest", version_ + "list.md5", version_};
  ProcessResult inside = Run(strict_extra);
  EXPECT_EQ(inside.exit_code, 0) << inside.out;
  EXPECT_FALSE(Holds(inside.out + inside.err, "extra")) << inside.out;
  WriteFile(version_ + "c.txt", "c");
  EXPECT_EQ(Run(strict_extra).exit_code, 1);  // one line not ok is enough
}

// Several threads give the same entries in the same order as one.
TEST_F(Tool, VerifyAndManifestGiveTheSameResultsOnEveryNumberOfThreads) {
  std::string manifest;
  for (int i = 0; i < 300; ++i) {
    const std::string name = "f" + std::to_string(i);
    WriteFile(version_ + name,
              std::string(static_cast<size_t>(i * 97), static_cast<char>('a' + i % 26)));
    manifest += ManifestLine(name, i % 50 == 7 ? "changed"
                                               : std::string(static_cast<size_t>(i * 97),
                                                             static_cast<char>('a' + i % 26)));
  }
  ASSERT_EQ(Run({"manifest", "--jobs", "3", version_}).exit_code, 0);
  const std::string written = jx::test::ReadFile(version_ + "verify.md5.check");
  ASSERT_EQ(Run({"manifest", "--jobs=1", version_}).exit_code, 0);
  EXPECT_EQ(jx::test::ReadFile(version_ + "verify.md5.check"), written);
  WriteFile(version_ + "verify.md5.check", manifest);
  ProcessResult one = Run({"verify", "--json", "--jobs", "1", version_});
  EXPECT_EQ(one.exit_code, 1);
  EXPECT_TRUE(Holds(one.out, "\"changed\":6,")) << one.out;
  for (const char* jobs : {"2", "5"}) {
    ProcessResult many = Run({"verify", "--json", "--jobs", jobs, version_});
    EXPECT_EQ(many.out, one.out) << jobs;
  }
}

// A progress line shows on a terminal and is cleared; never when piped (the
// other tests compare standard error whole).
TEST_F(Tool, ShowsProgressOnlyOnATerminal) {
  if (OnWindows() || !jx_file_exist("/usr/bin/script")) GTEST_SKIP() << "no pseudo-terminal";
  std::string manifest;
  for (int i = 0; i < 600; ++i) {
    WriteFile(version_ + std::to_string(i), "x");
    manifest += ManifestLine(std::to_string(i), "x");
  }
  WriteFile(version_ + "verify.md5.check", manifest);
  ProcessResult run = jx::test::RunProcess(
      "/usr/bin/script", {"-qec", Program() + " verify --quiet --jobs 1 " + version_, "/dev/null"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(Holds(run.out, "\r512/600 files, 0.0 MB, ")) << run.out;
  EXPECT_TRUE(Holds(run.out, " MB/s, ")) << run.out;
  EXPECT_EQ(run.out.back(), '\r') << run.out;  // cleared at the end
}

// --json output is UTF-8 whatever bytes a name holds.
TEST_F(Tool, JsonEscapesBytesThatAreNotUtf8) {
  if (OnWindows()) GTEST_SKIP() << "Windows names are UTF-16";
  const std::string name = "bad\xff\xc3.\xed\xa0\x80";
  WriteFile(version_ + name, "b");
  WriteFile(version_ + "verify.md5.check", ManifestLine(name, "B") + ManifestLine("\xc3\xbc", "u"));
  ProcessResult run = Run({"verify", "--json", "--quiet", version_});
  EXPECT_TRUE(
      Holds(run.out, "{\"kind\":\"changed\",\"path\":\"bad\\udcff\\udcc3.\\udced\\udca0\\udc80\""))
      << run.out;
  EXPECT_TRUE(Holds(run.out, "\"path\":\"\xc3\xbc\"")) << run.out;  // kept as it is
}

// Options go with the commands they serve; the versions name the library.
TEST_F(Tool, ReadsItsOptionsStrictlyAndNamesTheLibraryItLoads) {
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"select", "--strict"},
                                             {"manifest", version_, "--manifest", "m"},
                                             {"verify", version_, "--jobs", "0"},
                                             {"verify", version_, "--jobs", "x"},
                                             {"--library"},
                                             {"verify", version_, "--log", "x"}}) {
    ProcessResult run = Run(arguments);
    EXPECT_EQ(run.exit_code, 2) << arguments[1];
    EXPECT_TRUE(Holds(run.err, "see mird-check --help")) << run.err;
  }
  ProcessResult version = Run({"--version"});
  EXPECT_EQ(version.exit_code, 0) << version.err;
  const std::string library = QZCheckVersionSelector().GetExeFolder() +
                              (OnWindows() ? "mird_check.dll" : "libmird_check.so");
  EXPECT_EQ(version.out, std::string("mird-check ") + jx_version() + "\nlibrary    " + library +
                             " " + jx_version() + "\n");
  ProcessResult missing = Run({"--version", "--library", dir_ / "none.so"});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_TRUE(Holds(missing.err, "cannot load " + (dir_ / "none.so"))) << missing.err;
}

TEST_F(Tool, VerifyEndsWithStatusTwoAndOnlyTheErrorWithoutAFolderOrManifest) {
  ProcessResult missing = Run({"verify", "--json", root_ + "9.9.9.9"});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(missing.out, "{\"command\":\"verify\",\"folder\":\"" + root_ +
                             "9.9.9.9/\",\"error\":\"" + root_ + "9.9.9.9: no such folder\"}\n");
  jx_folder_recursive_create(version_.c_str());
  ProcessResult no_manifest = Run({"verify", version_});
  EXPECT_EQ(no_manifest.exit_code, 2);
  EXPECT_EQ(no_manifest.out, "");
  EXPECT_TRUE(Holds(no_manifest.err, "no manifest")) << no_manifest.err;
  if (jx::test::MakeFifo(version_ + "verify.md5.check")) {
    // Held open by a writer, a pipe would block a read for ever.
    std::fstream writer(std::filesystem::u8path(version_ + "verify.md5.check"),
                        std::ios::in | std::ios::out);
    EXPECT_EQ(Run({"verify", version_}).exit_code, 2);
  }
}

TEST_F(Tool, WritesAManifestOfPlainFilesInByteOrderWithoutReservedNames) {
  const jx::test::VersionFiles files = {{".hidden", "h"},     {"A.txt", "A"},
                                        {"a/z.txt", "z"},     {"empty", ""},
                                        {"sp ace.txt", "sp"}, {"sub/.version_updating", "s"},
                                        {"\xc3\xbc.txt", "u"}};
  std::string expected;
  for (const auto& [path, content] : files) {
    WriteFile(version_ + path, content);
    expected += ManifestLine(path, content);
  }
  WriteFile(version_ + ".version_updating", "");
  WriteFile(version_ + ".version_ota_config", "o");
  WriteFile(version_ + "verify.md5.check", "stale");
  ProcessResult run = Run({"manifest", version_});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "folder   " + version_ + "\nmanifest " + version_ + "verify.md5.check\nfiles    7\n");
  EXPECT_EQ(jx::test::ReadFile(version_ + "verify.md5.check"), expected);
  EXPECT_FALSE(jx_file_exist((version_ + "verify.md5.check.partial").c_str()));
}

// A manifest is never written through a link or over what is not a file, nor
// naming a file whose name a line cannot hold; a failed write says why.
TEST_F(Tool, RefusesToWriteAManifestItCannotWriteSafely) {
  const std::string manifest = version_ + "verify.md5.check";
  const std::pair<std::function<bool()>, std::string> cases[] = {
      {[&] { return jx::test::MakeLink(manifest, root_ + "target"); }, "is a link; not replaced"},
      {[&] { return jx_folder_create(manifest.c_str()); }, "is not a plain file; not replaced"},
      {[&] { return jx_folder_recursive_create((manifest + ".partial/in/").c_str()); },
       "cannot be written: create " + manifest + ".partial: "},
      {[&] { return !OnWindows() && (WriteFile(version_ + "line\nbreak", ""), true); }, ""},
      {[&] { return !OnWindows() && (WriteFile(version_ + "carriage\r", ""), true); }, ""},
      {[&] { return !OnWindows() && (WriteFile(version_ + "back\\slash", ""), true); }, ""}};
  for (const auto& [make, error] : cases) {
    jx_folder_recursive_remove(root_.c_str());
    WriteFile(version_ + "ok.txt", "ok");
    WriteFile(root_ + "target", "kept");
    if (!make()) continue;  // no links on Windows, nor such names
    ProcessResult run = Run({"manifest", version_});
    EXPECT_EQ(run.exit_code, 2) << error;
    EXPECT_TRUE(Holds(run.err, error)) << run.err;
    EXPECT_EQ(jx::test::ReadFile(root_ + "target"), "kept");
    EXPECT_TRUE(!error.empty() || !jx_file_exist(manifest.c_str()));
  }
}

// The library's own launch hands each argument over whole, blanks included.
TEST_F(Tool, LaunchedThroughTheLibraryGetsEveryArgumentWhole) {
  const std::string folder = root_ + "a version/";
  WriteFile(folder + "f.txt", "f");
  const std::string program = Program();
  const char* args[] = {program.c_str(), "manifest", folder.c_str()};
  ASSERT_GT(jx_process_launch(3, args), 0);
  EXPECT_EQ(jx::test::WaitForFileContent(folder + "verify.md5.check",
                                         [](const std::string& text) { return !text.empty(); }),
            ManifestLine("f.txt", "f"));
}

}  // namespace
