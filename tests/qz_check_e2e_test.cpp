// mird-check run as a real process: its commands, their output and exit
// statuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

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

TEST_F(Tool, VerifiesOneFolderWarningOfEntriesOutsideIt) {
  jx::test::WriteVersion(version_, {{"a.txt", "a"}});
  WriteFile(root_ + "outside.txt", "o");
  WriteFile(version_ + "verify.md5.check",
            ManifestLine("a.txt", "a") + ManifestLine("../outside.txt", "o") +
                ManifestLine("sub/../../outside.txt", "o") + ManifestLine("sub/../a.txt", "a"));
  ProcessResult intact = Run({"verify", version_});
  EXPECT_EQ(intact.exit_code, 0) << intact.err;
  EXPECT_EQ(intact.out, "folder   " + version_ + "\ncode     0\nreport   (none)\n");
  EXPECT_EQ(intact.err,
            "mird-check: warning: ../outside.txt is outside the version folder\n"
            "mird-check: warning: sub/../../outside.txt is outside the version folder\n");
  WriteFile(version_ + "a.txt", "A");
  EXPECT_EQ(Run({"verify", version_}).exit_code, 1);
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
