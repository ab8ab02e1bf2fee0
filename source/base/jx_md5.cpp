// MD5 (RFC 1321), unrolled, digesting whole 64-byte blocks straight from the
// caller's memory.
#include "base/jx_md5.h"

#include <cstring>

#include "base/jx_hand_out.h"
#include "base/jx_md5_engine.h"

namespace jx {

namespace {

inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadLittleEndian(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

#define JX_MD5_STEP(f, a, b, c, d, x, t, s) \
  (a) += f((b), (c), (d)) + (x) + (t);      \
  (a) = RotateLeft((a), (s)) + (b)

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, buffer_{} {}

Md5::~Md5() {
  // The working state is cleared once the digest is taken.
  std::memset(state_, 0, sizeof(state_));
  std::memset(buffer_, 0, sizeof(buffer_));
  length_ = 0;
}

void Md5::Transform(const unsigned char* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLittleEndian(block + 4 * i);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];

  JX_MD5_STEP(F, a, b, c, d, x[0], 0xd76aa478, 7);
  JX_MD5_STEP(F, d, a, b, c, x[1], 0xe8c7b756, 12);
  JX_MD5_STEP(F, c, d, a, b, x[2], 0x242070db, 17);
  JX_MD5_STEP(F, b, c, d, a, x[3], 0xc1bdceee, 22);
  JX_MD5_STEP(F, a, b, c, d, x[4], 0xf57c0faf, 7);
  JX_MD5_STEP(F, d, a, b, c, x[5], 0x4787c62a, 12);
  JX_MD5_STEP(F, c, d, a, b, x[6], 0xa8304613, 17);
  JX_MD5_STEP(F, b, c, d, a, x[7], 0xfd469501, 22);
  JX_MD5_STEP(F, a, b, c, d, x[8], 0x698098d8, 7);
  JX_MD5_STEP(F, d, a, b, c, x[9], 0x8b44f7af, 12);
  JX_MD5_STEP(F, c, d, a, b, x[10], 0xffff5bb1, 17);
  JX_MD5_STEP(F, b, c, d, a, x[11], 0x895cd7be, 22);
  JX_MD5_STEP(F, a, b, c, d, x[12], 0x6b901122, 7);
  JX_MD5_STEP(F, d, a, b, c, x[13], 0xfd987193, 12);
  JX_MD5_STEP(F, c, d, a, b, x[14], 0xa679438e, 17);
  JX_MD5_STEP(F, b, c, d, a, x[15], 0x49b40821, 22);

  JX_MD5_STEP(G, a, b, c, d, x[1], 0xf61e2562, 5);
  JX_MD5_STEP(G, d, a, b, c, x[6], 0xc040b340, 9);
  JX_MD5_STEP(G, c, d, a, b, x[11], 0x265e5a51, 14);
  JX_MD5_STEP(G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
  JX_MD5_STEP(G, a, b, c, d, x[5], 0xd62f105d, 5);
  JX_MD5_STEP(G, d, a, b, c, x[10], 0x02441453, 9);
  JX_MD5_STEP(G, c, d, a, b, x[15], 0xd8a1e681, 14);
  JX_MD5_STEP(G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
  JX_MD5_STEP(G, a, b, c, d, x[9], 0x21e1cde6, 5);
  JX_MD5_STEP(G, d, a, b, c, x[14], 0xc33707d6, 9);
  JX_MD5_STEP(G, c, d, a, b, x[3], 0xf4d50d87, 14);
  JX_MD5_STEP(G, b, c, d, a, x[8], 0x455a14ed, 20);
  JX_MD5_STEP(G, a, b, c, d, x[13], 0xa9e3e905, 5);
  JX_MD5_STEP(G, d, a, b, c, x[2], 0xfcefa3f8, 9);
  JX_MD5_STEP(G, c, d, a, b, x[7], 0x676f02d9, 14);
  JX_MD5_STEP(G, b, c, d, a, x[12], 0x8d2a4c8a, 20);

  JX_MD5_STEP(H, a, b, c, d, x[5], 0xfffa3942, 4);
  JX_MD5_STEP(H, d, a, b, c, x[8], 0x8771f681, 11);
  JX_MD5_STEP(H, c, d, a, b, x[11], 0x6d9d6122, 16);
  JX_MD5_STEP(H, b, c, d, a, x[14], 0xfde5380c, 23);
  JX_MD5_STEP(H, a, b, c, d, x[1], 0xa4beea44, 4);
  JX_MD5_STEP(H, d, a, b, c, x[4], 0x4bdecfa9, 11);
  JX_MD5_STEP(H, c, d, a, b, x[7], 0xf6bb4b60, 16);
  JX_MD5_STEP(H, b, c, d, a, x[10], 0xbebfbc70, 23);
  JX_MD5_STEP(H, a, b, c, d, x[13], 0x289b7ec6, 4);
  JX_MD5_STEP(H, d, a, b, c, x[0], 0xeaa127fa, 11);
  JX_MD5_STEP(H, c, d, a, b, x[3], 0xd4ef3085, 16);
  JX_MD5_STEP(H, b, c, d, a, x[6], 0x04881d05, 23);
  JX_MD5_STEP(H, a, b, c, d, x[9], 0xd9d4d039, 4);
  JX_MD5_STEP(H, d, a, b, c, x[12], 0xe6db99e5, 11);
  JX_MD5_STEP(H, c, d, a, b, x[15], 0x1fa27cf8, 16);
  JX_MD5_STEP(H, b, c, d, a, x[2], 0xc4ac5665, 23);

  JX_MD5_STEP(I, a, b, c, d, x[0], 0xf4292244, 6);
  JX_MD5_STEP(I, d, a, b, c, x[7], 0x432aff97, 10);
  JX_MD5_STEP(I, c, d, a, b, x[14], 0xab9423a7, 15);
  JX_MD5_STEP(I, b, c, d, a, x[5], 0xfc93a039, 21);
  JX_MD5_STEP(I, a, b, c, d, x[12], 0x655b59c3, 6);
  JX_MD5_STEP(I, d, a, b, c, x[3], 0x8f0ccc92, 10);
  JX_MD5_STEP(I, c, d, a, b, x[10], 0xffeff47d, 15);
  JX_MD5_STEP(I, b, c, d, a, x[1], 0x85845dd1, 21);
  JX_MD5_STEP(I, a, b, c, d, x[8], 0x6fa87e4f, 6);
  JX_MD5_STEP(I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
  JX_MD5_STEP(I, c, d, a, b, x[6], 0xa3014314, 15);
  JX_MD5_STEP(I, b, c, d, a, x[13], 0x4e0811a1, 21);
  JX_MD5_STEP(I, a, b, c, d, x[4], 0xf7537e82, 6);
  JX_MD5_STEP(I, d, a, b, c, x[11], 0xbd3af235, 10);
  JX_MD5_STEP(I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
  JX_MD5_STEP(I, b, c, d, a, x[9], 0xeb86d391, 21);

  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

#undef JX_MD5_STEP

void Md5::Update(const void* data, size_t length) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t used = static_cast<size_t>(length_ % 64);
  length_ += length;
  if (used != 0) {
    const size_t take = length < 64 - used ? length : 64 - used;
    std::memcpy(buffer_ + used, bytes, take);
    bytes += take;
    length -= take;
    used += take;
    if (used < 64) return;
    Transform(buffer_);
  }
  for (; length >= 64; bytes += 64, length -= 64) Transform(bytes);
  if (length != 0) std::memcpy(buffer_, bytes, length);
}

void Md5::FinishHex(char hex[32]) {
  const uint64_t bits = length_ * 8;
  unsigned char tail[72] = {0x80};
  const size_t used = static_cast<size_t>(length_ % 64);
  const size_t padding = used < 56 ? 56 - used : 120 - used;
  for (int i = 0; i < 8; ++i) tail[padding + i] = static_cast<unsigned char>(bits >> (8 * i));
  Update(tail, padding + 8);
  static constexpr char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    const auto byte = static_cast<unsigned char>(state_[i / 4] >> (8 * (i % 4)));
    hex[2 * i] = kHex[byte >> 4];
    hex[2 * i + 1] = kHex[byte & 0x0F];
  }
}

}  // namespace jx

extern "C" {

uint32_t jx_md5_string(const void* data, uint32_t length, char** out, uint32_t* out_length) {
  if (out == nullptr || out_length == nullptr || (data == nullptr && length != 0)) return 0;
  jx::Md5 md5;
  if (length != 0) md5.Update(data, length);
  char hex[32];
  md5.FinishHex(hex);
  return jx::HandOut(std::string_view(hex, sizeof(hex)), {"source/base/jx_md5", 13}, out,
                     out_length)
             ? 32
             : 0;
}

}  // extern "C"
