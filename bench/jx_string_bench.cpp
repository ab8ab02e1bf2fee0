// The path normaliser per path, on typical and long paths.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/jx_path_text.h"
#include "base/jx_string.h"

namespace {

const std::vector<std::string>& SamplePaths() {
  static const std::vector<std::string> paths = {
      "C:\\opt\\zel-mird\\2.7.1.0001\\bin\\tool.exe",
      "/opt/zel-mird/2.7.1.0001/resources/images/../icons/./app.png",
      "relative//path\\with\\.\\dots\\..\\and\\\\doubles/file.dat",
      std::string(40, 'a') + "/" + std::string(40, 'b') + "/../" + std::string(40, 'c'),
  };
  return paths;
}

void BM_String_FixFilePathInPlace(benchmark::State& state) {
  const auto& paths = SamplePaths();
  std::vector<std::vector<char>> copies;
  for (const auto& path : paths) copies.emplace_back(path.begin(), path.end());
  size_t bytes = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < paths.size(); ++i) {
      std::copy(paths[i].begin(), paths[i].end(), copies[i].begin());
      benchmark::DoNotOptimize(fix_file_path(copies[i].data(), static_cast<int>(copies[i].size())));
      bytes += paths[i].size();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(paths.size()));
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_String_FixFilePathInPlace);

void BM_String_FixPathText(benchmark::State& state) {
  const auto& paths = SamplePaths();
  for (auto _ : state) {
    for (const auto& path : paths) benchmark::DoNotOptimize(jx::FixPathText(path));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(paths.size()));
}
BENCHMARK(BM_String_FixPathText);

void BM_String_LongPath(benchmark::State& state) {
  std::string path;
  for (int i = 0; i < 64; ++i) path += "segment\\\\.\\name" + std::to_string(i) + "\\..\\";
  std::vector<char> dest(path.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(fix_file_path_to_dest(path.c_str(), 0, dest.data()));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(path.size()));
}
BENCHMARK(BM_String_LongPath);

}  // namespace

BENCHMARK_MAIN();
