// OpenSSL's MD5 beside jx_md5_string in jx_md5_bench, on the same buffers and
// with the same hex rendering; built only where OpenSSL is installed.
#define OPENSSL_SUPPRESS_DEPRECATED  // MD5(): deprecated in 3.0, still its fastest path
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/md5.h>

#include <string>

namespace {

void Hex(const unsigned char digest[16], char hex[32]) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    hex[2 * i] = kDigits[digest[i] >> 4];
    hex[2 * i + 1] = kDigits[digest[i] & 15];
  }
}

// The recommended interface, with the algorithm fetched and the context made
// once, outside the loop.
void BM_Md5_OpenSslEvp(benchmark::State& state) {
  const std::string data(static_cast<size_t>(state.range(0)), 'x');
  EVP_MD* md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  unsigned char digest[16];
  char hex[32];
  for (auto _ : state) {
    EVP_DigestInit_ex(context, md5, nullptr);
    EVP_DigestUpdate(context, data.data(), data.size());
    EVP_DigestFinal_ex(context, digest, nullptr);
    Hex(digest, hex);
    benchmark::DoNotOptimize(hex);
  }
  EVP_MD_CTX_free(context);
  EVP_MD_free(md5);
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Md5_OpenSslEvp)->Arg(4096)->Arg(64 << 20);

// The one-shot low-level call.
void BM_Md5_OpenSslMd5(benchmark::State& state) {
  const std::string data(static_cast<size_t>(state.range(0)), 'x');
  unsigned char digest[16];
  char hex[32];
  for (auto _ : state) {
    MD5(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest);
    Hex(digest, hex);
    benchmark::DoNotOptimize(hex);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Md5_OpenSslMd5)->Arg(4096)->Arg(64 << 20);

// Sixteen buffers one after the other, beside BM_Md5_16Files_Lanes.
void BM_Md5_16Files_OpenSslMd5(benchmark::State& state) {
  constexpr int kFiles = 16;
  const std::string data(static_cast<size_t>(state.range(0)), 'x');
  unsigned char digest[16];
  char hex[32];
  for (auto _ : state) {
    for (int i = 0; i < kFiles; ++i) {
      MD5(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest);
      Hex(digest, hex);
      benchmark::DoNotOptimize(hex);
    }
  }
  state.SetBytesProcessed(state.iterations() * state.range(0) * kFiles);
}
BENCHMARK(BM_Md5_16Files_OpenSslMd5)->Arg(4096)->Arg(1 << 20);

}  // namespace
