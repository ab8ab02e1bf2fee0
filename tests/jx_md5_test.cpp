#include "base/jx_md5.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "base/jx_md5_engine.h"
#include "base/jx_memory.h"

namespace {

std::string Digest(const std::string& input) {
  char* out = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(jx_md5_string(input.data(), static_cast<uint32_t>(input.size()), &out, &length), 32u);
  EXPECT_EQ(length, 32u);
  std::string hex(out, length);
  jx_free(out);
  return hex;
}

// The RFC's description taken literally, one step at a time: slow and small,
// a reference for the unrolled engine.
std::string ReferenceDigest(const std::string& input) {
  uint32_t k[64];
  for (int i = 0; i < 64; ++i) {
    k[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
  }
  static const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
  std::string message = input;
  message.push_back(static_cast<char>(0x80));
  while (message.size() % 64 != 56) message.push_back('\0');
  const uint64_t bits = static_cast<uint64_t>(input.size()) * 8;
  for (int i = 0; i < 8; ++i) message.push_back(static_cast<char>(bits >> (8 * i)));
  uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  for (size_t block = 0; block < message.size(); block += 64) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) {
      m[i] = 0;
      for (int b = 3; b >= 0; --b) {
        m[i] = (m[i] << 8) | static_cast<unsigned char>(message[block + 4 * i + b]);
      }
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    for (int i = 0; i < 64; ++i) {
      uint32_t f;
      int g;
      if (i < 16) {
        f = (b & c) | (~b & d), g = i;
      } else if (i < 32) {
        f = (d & b) | (~d & c), g = (5 * i + 1) % 16;
      } else if (i < 48) {
        f = b ^ c ^ d, g = (3 * i + 5) % 16;
      } else {
        f = c ^ (b | ~d), g = (7 * i) % 16;
      }
      const uint32_t sum = a + f + k[i] + m[g];
      a = d, d = c, c = b;
      b = b + ((sum << kShift[i]) | (sum >> (32 - kShift[i])));
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d;
  }
  std::string hex;
  for (uint32_t word : h) {
    for (int i = 0; i < 4; ++i) {
      static const char kHex[] = "0123456789abcdef";
      const auto byte = static_cast<unsigned char>(word >> (8 * i));
      hex += kHex[byte >> 4];
      hex += kHex[byte & 15];
    }
  }
  return hex;
}

TEST(Md5, GivesTheRfcTestSuiteDigests) {
  EXPECT_EQ(Digest(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Digest("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Digest("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Digest("1234567890123456789012345678901234567890123456789012345678901234567890"
                   "1234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, MatchesTheReferenceOnRandomInputsAtEveryBlockBoundary) {
  std::mt19937 random(20261205);
  for (size_t size = 0; size < 300; ++size) {
    std::string input(size, '\0');
    for (char& c : input) c = static_cast<char>(random());
    ASSERT_EQ(Digest(input), ReferenceDigest(input)) << size;
  }
  std::string large(1 << 20, '\0');
  for (char& c : large) c = static_cast<char>(random());
  EXPECT_EQ(Digest(large), ReferenceDigest(large));
}

TEST(Md5, PiecewiseUpdatesEqualOneShot) {
  std::string input(1000, '\0');
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<char>(i * 131);
  for (size_t piece : {1u, 3u, 63u, 64u, 65u, 500u}) {
    jx::Md5 md5;
    for (size_t at = 0; at < input.size(); at += piece) {
      md5.Update(input.data() + at, std::min(piece, input.size() - at));
    }
    char hex[32];
    md5.FinishHex(hex);
    EXPECT_EQ(std::string(hex, 32), Digest(input)) << piece;
  }
}

TEST(Md5, RefusesMissingOutputsAndData) {
  char* out = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(jx_md5_string(nullptr, 0, &out, &length), 32u);  // empty message
  jx_free(out);
  out = nullptr;
  EXPECT_EQ(jx_md5_string(nullptr, 5, &out, &length), 0u);
  EXPECT_EQ(jx_md5_string("abc", 3, nullptr, &length), 0u);
  EXPECT_EQ(jx_md5_string("abc", 3, &out, nullptr), 0u);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
