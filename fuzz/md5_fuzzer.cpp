// The MD5 digest.
//
// Properties: the digest of the whole buffer equals OpenSSL's, and equals the
// digest of the same bytes fed to the engine in pieces of any sizes.
#include <openssl/evp.h>

#include <cstdio>
#include <string>

#include "base/jx_md5.h"
#include "base/jx_md5_engine.h"
#include "base/jx_memory.h"
#include "fuzz_support.h"

namespace {

std::string ReferenceHex(const uint8_t* data, size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  FUZZ_CHECK(EVP_Digest(data, size, digest, &length, EVP_md5(), nullptr) == 1);
  std::string hex;
  char pair[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof(pair), "%02x", digest[i]);
    hex += pair;
  }
  return hex;
}

// Pieces sized by the input's own bytes, so every split shape is reached.
std::string PiecewiseHex(const uint8_t* data, size_t size) {
  jx::Md5 md5;
  size_t at = 0;
  while (at < size) {
    const size_t piece = std::min<size_t>(size - at, 1 + data[at] % 97);
    md5.Update(data + at, piece);
    at += piece;
  }
  char hex[32];
  md5.FinishHex(hex);
  return std::string(hex, sizeof(hex));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char* out = nullptr;
  uint32_t length = 0;
  FUZZ_CHECK(
      jx_md5_string(size == 0 ? nullptr : data, static_cast<uint32_t>(size), &out, &length) == 32);
  const std::string digest(out, length);
  jx_free(out);
  FUZZ_CHECK(digest == ReferenceHex(data, size));
  FUZZ_CHECK(digest == PiecewiseHex(data, size));
  return 0;
}
