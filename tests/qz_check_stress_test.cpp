// The check under load: a manifest of ten million lines, a quarter-gigabyte
// line and a listed file swapped for a held FIFO while the check runs.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "mird_check.h"
#include "qz_check_trelm_version.h"
#include "support/jx_test_check.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::ManifestLine;
using jx::test::TempDir;
using jx::test::WriteFile;
namespace fs = std::filesystem;

// A manifest of ten million CR LF lines, or of one line of 256 MiB, is read to
// its end without holding it all.
TEST(CheckUnderLoad, HugeManifestsAreReadToTheirEndInBoundedMemory) {
  for (const bool one_long_line : {false, true}) {
    TempDir version;
    const fs::path manifest = fs::u8path(version / "verify.md5.check");
    {
      std::ofstream out(manifest, std::ios::binary);
      std::string crlf(100000, '\r');
      for (size_t i = 1; i < crlf.size(); i += 2) crlf[i] = '\n';
      for (int i = 0; i < 200 && !one_long_line; ++i) out << crlf;
    }
    if (one_long_line) fs::resize_file(manifest, int64_t{256} << 20);  // NULs, sparse
    std::ofstream(manifest, std::ios::binary | std::ios::app) << "\n"
                                                              << ManifestLine("last", "last");
    const int64_t peak_before = jx::test::PeakResidentBytes();
    const QZCheckResult result = QZCheckVersionFilesMD5Check(version.path(), QZCheckRecheckFn());
    EXPECT_EQ(result.report, "{\"fileLists\":[\"last\"]}");  // the last line was reached
    if (peak_before > 0) {
      EXPECT_LT(jx::test::PeakResidentBytes() - peak_before,
                int64_t{one_long_line ? 16 : 64} << 20);
    }
  }
}

// Another program swaps a listed file for a FIFO that a writer holds open,
// and back, by renames, while the check runs again and again: a file tested
// by name and then opened could turn into the FIFO in between and block the
// read for ever.
TEST(CheckUnderLoad, AListedFileSwappedForAHeldPipeNeverHoldsTheCheck) {
  TempDir version;
  jx::test::WriteVersion(version.path(), {{"f", "content"}});
  if (!jx::test::MakeFifo(version / "probe")) GTEST_SKIP() << "no FIFOs here";
  constexpr int kSwaps = 400;  // each held pipe takes a descriptor
  std::vector<std::unique_ptr<std::fstream>> writers;
  for (int i = 0; i < kSwaps; ++i) {
    const std::string pipe = version / ("pipe" + std::to_string(i));
    ASSERT_TRUE(jx::test::MakeFifo(pipe));
    // Read and write: opening does not wait for a reader.
    writers.push_back(
        std::make_unique<std::fstream>(fs::u8path(pipe), std::ios::in | std::ios::out));
    WriteFile(version / ("file" + std::to_string(i)), "content");
  }
  std::atomic<bool> swapping{true};
  std::thread swapper([&] {
    for (int i = 0; i < kSwaps; ++i) {
      fs::rename(fs::u8path(version / ("pipe" + std::to_string(i))), fs::u8path(version / "f"));
      fs::rename(fs::u8path(version / ("file" + std::to_string(i))), fs::u8path(version / "f"));
    }
    swapping = false;
  });
  for (int checks = 0; swapping || checks == 0; ++checks) {
    const int code = QZCheckVersionFilesMD5Check(version.path(), QZCheckRecheckFn()).code;
    ASSERT_TRUE(code == QZ_CHECK_OK || code == QZ_CHECK_FILES_MISMATCH);
  }
  swapper.join();
}

}  // namespace
