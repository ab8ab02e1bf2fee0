// MD5 throughput over buffers of typical file sizes, and over sixteen files at
// once: the lanes engine at each level against the single-stream engine on
// the same bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/jx_md5.h"
#include "base/jx_md5_lanes.h"
#include "base/jx_memory.h"

namespace {

void BM_Md5_String(benchmark::State& state) {
  const std::string data(static_cast<size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    char* out = nullptr;
    uint32_t length = 0;
    jx_md5_string(data.data(), static_cast<uint32_t>(data.size()), &out, &length);
    benchmark::DoNotOptimize(out);
    jx_free(out);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Md5_String)->Arg(64)->Arg(4096)->Arg(1 << 20)->Arg(16 << 20)->Arg(64 << 20);

// Sixteen files of range(0) bytes each, different in their first byte.
constexpr int kFiles = 16;

std::vector<std::string> Files(int64_t size) {
  std::vector<std::string> files;
  for (int i = 0; i < kFiles; ++i) {
    files.emplace_back(static_cast<size_t>(size), 'x');
    if (size > 0) files.back()[0] = static_cast<char>('a' + i);
  }
  return files;
}

void BM_Md5_16Files_String(benchmark::State& state) {
  const std::vector<std::string> files = Files(state.range(0));
  for (auto _ : state) {
    for (const std::string& file : files) {
      char* out = nullptr;
      uint32_t length = 0;
      jx_md5_string(file.data(), static_cast<uint32_t>(file.size()), &out, &length);
      benchmark::DoNotOptimize(out);
      jx_free(out);
    }
  }
  state.SetBytesProcessed(state.iterations() * state.range(0) * kFiles);
}
BENCHMARK(BM_Md5_16Files_String)->Arg(4096)->Arg(1 << 20);

// The files as a reader of files feeds them: 256 KiB pieces to every lane in
// turn, a lane opened for the next file as soon as one is free, and the last
// ones flushed once no file is left to open.
void BM_Md5_16Files_Lanes(benchmark::State& state) {
  const auto isa = static_cast<jx::Md5Isa>(state.range(0));
  const std::vector<std::string> files = Files(state.range(1));
  jx::Md5Lanes md5(isa);
  if (md5.isa() != isa) {
    state.SkipWithError("this processor lacks the level");
    return;
  }
  state.SetLabel(jx::Md5IsaName(isa));
  constexpr size_t kPiece = 256 << 10;
  std::vector<size_t> file_of(static_cast<size_t>(md5.lanes()));
  std::vector<size_t> at(file_of.size());
  char hex[kFiles][32];
  for (auto _ : state) {
    size_t started = 0;
    size_t finished = 0;
    while (finished < files.size()) {
      for (int lane = 0; lane < md5.lanes(); ++lane) {
        const auto slot = static_cast<size_t>(lane);
        if (md5.TakeDigest(lane, hex[file_of[slot]])) ++finished;
        if (md5.IsFree(lane) && started < files.size()) {
          md5.Open();  // `lane`: the lanes below it are taken
          file_of[slot] = started++;
          at[slot] = 0;
        }
        if (!md5.NeedsData(lane)) continue;
        const std::string& file = files[file_of[slot]];
        const size_t piece = std::min(kPiece, file.size() - at[slot]);
        if (piece == 0) {
          md5.Close(lane);
          continue;
        }
        md5.Feed(lane, file.data() + at[slot], piece);
        at[slot] += piece;
      }
      if (started == files.size()) md5.Flush();  // fewer files than lanes now
    }
    benchmark::DoNotOptimize(hex);
  }
  state.SetBytesProcessed(state.iterations() * state.range(1) * kFiles);
}

void LaneArguments(benchmark::internal::Benchmark* benchmark) {
  for (const jx::Md5Isa isa : jx::Md5SupportedIsas()) {
    for (const int64_t size : {int64_t{4096}, int64_t{1} << 20})
      benchmark->Args({static_cast<int64_t>(isa), size});
  }
}
BENCHMARK(BM_Md5_16Files_Lanes)->Apply(LaneArguments);

}  // namespace

BENCHMARK_MAIN();
