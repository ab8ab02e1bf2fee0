// MD5 throughput over buffers of typical file sizes.
#include <benchmark/benchmark.h>

#include <string>

#include "base/jx_md5.h"
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

}  // namespace

BENCHMARK_MAIN();
