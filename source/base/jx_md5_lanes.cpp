// MD5 (RFC 1321) on several messages at once: one message per SIMD lane, one
// 64-byte block per lane per kernel call.
//
// The rounds are written once, over a small struct of vector operations per
// instruction set. The x86 kernels carry their instruction set in a target
// attribute, so the file itself builds for the baseline processor (also i686
// without SSE2) and the widest kernel is chosen when the program runs.
#include "base/jx_md5_lanes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define JX_MD5_LANES_X86 1
#include <immintrin.h>
#endif

namespace jx {

namespace {

constexpr int kMaxLanes = Md5Lanes::kMaxLanes;

// What an idle lane reads in a round whose result it discards.
alignas(64) constexpr unsigned char kIdleBlock[64] = {};

inline uint32_t LoadLittleEndian(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// --- Vector operations -------------------------------------------------------
// Each struct gives, for its instruction set: V, a vector of one 32-bit word
// per lane; Load/Store of a word per lane; Set (the same word in every
// lane); Add, Xor, And, Or, AndNot (~a & b); Rol<s>; the round functions F, G,
// H and I; LoadBlocks, which turns the lanes' 64-byte blocks into sixteen
// vectors, vector k holding word k of every lane's block; and Pin, an empty
// statement that the compiler must take the vector as computed at, so that
// it cannot reassociate sums across it.

// F, G, H and I from two-input operations. Each keeps its first argument,
// the register just computed, at most two operations from the result.
#define JX_MD5_LOGIC_FROM_TWO_INPUT_OPS(OP)                     \
  OP V F(V x, V y, V z) { return Xor(z, And(x, Xor(y, z))); }   \
  OP V G(V x, V y, V z) { return Or(And(x, z), AndNot(z, y)); } \
  OP V H(V x, V y, V z) { return Xor(x, Xor(y, z)); }           \
  OP V I(V x, V y, V z) { return Xor(y, Or(x, Xor(z, Set(0xffffffffu)))); }

// Two messages interleaved in plain C++: two dependency chains fill a
// superscalar core better than one. Kept in general registers: packed into
// a vector register, two words lose the rotate instruction and run slower.
struct ScalarOps {
#define JX_OP static inline __attribute__((always_inline))
  static constexpr int kLanes = 2;
  struct V {
    uint32_t w0, w1;
  };
  JX_OP void Pin(V& x) { __asm__("" : "+r"(x.w0), "+r"(x.w1)); }
  JX_OP V Load(const uint32_t* p) { return {p[0], p[1]}; }
  JX_OP void Store(uint32_t* p, V a) {
    p[0] = a.w0;
    p[1] = a.w1;
  }
  JX_OP V Set(uint32_t x) { return {x, x}; }
  JX_OP V Add(V a, V b) { return {a.w0 + b.w0, a.w1 + b.w1}; }
  JX_OP V Xor(V a, V b) { return {a.w0 ^ b.w0, a.w1 ^ b.w1}; }
  JX_OP V And(V a, V b) { return {a.w0 & b.w0, a.w1 & b.w1}; }
  JX_OP V Or(V a, V b) { return {a.w0 | b.w0, a.w1 | b.w1}; }
  JX_OP V AndNot(V a, V b) { return {~a.w0 & b.w0, ~a.w1 & b.w1}; }
  template <int s>
  JX_OP V Rol(V a) {
    return {a.w0 << s | a.w0 >> (32 - s), a.w1 << s | a.w1 >> (32 - s)};
  }
  JX_MD5_LOGIC_FROM_TWO_INPUT_OPS(JX_OP)
  JX_OP void LoadBlocks(const unsigned char* const* blocks, V w[16]) {
    for (int k = 0; k < 16; ++k)
      w[k] = {LoadLittleEndian(blocks[0] + 4 * k), LoadLittleEndian(blocks[1] + 4 * k)};
  }
#undef JX_OP
};

#if JX_MD5_LANES_X86

// 4x4 transposition of 32-bit words within each 128-bit half of r0..r3: for
// the rows r0..r3, out[j]'s 128-bit section m holds word 4m + j of each row.
#define JX_MD5_TRANSPOSE_4X4(P, r0, r1, r2, r3, out)    \
  do {                                                  \
    const V x0 = (r0), x1 = (r1), x2 = (r2), x3 = (r3); \
    const V t0 = P##_unpacklo_epi32(x0, x1);            \
    const V t1 = P##_unpackhi_epi32(x0, x1);            \
    const V t2 = P##_unpacklo_epi32(x2, x3);            \
    const V t3 = P##_unpackhi_epi32(x2, x3);            \
    (out)[0] = P##_unpacklo_epi64(t0, t2);              \
    (out)[1] = P##_unpackhi_epi64(t0, t2);              \
    (out)[2] = P##_unpacklo_epi64(t1, t3);              \
    (out)[3] = P##_unpackhi_epi64(t1, t3);              \
  } while (false)

struct Sse2Ops {
#define JX_OP static inline __attribute__((always_inline, target("sse2")))
  using V = __m128i;
  JX_OP void Pin(V& x) { __asm__("" : "+v"(x)); }
  JX_OP V Load(const void* p) { return _mm_loadu_si128(static_cast<const V*>(p)); }
  JX_OP void Store(uint32_t* p, V a) { _mm_storeu_si128(reinterpret_cast<V*>(p), a); }
  JX_OP V Set(uint32_t x) { return _mm_set1_epi32(static_cast<int>(x)); }
  JX_OP V Add(V a, V b) { return _mm_add_epi32(a, b); }
  JX_OP V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  JX_OP V And(V a, V b) { return _mm_and_si128(a, b); }
  JX_OP V Or(V a, V b) { return _mm_or_si128(a, b); }
  JX_OP V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }
  template <int s>
  JX_OP V Rol(V a) {
    return _mm_or_si128(_mm_slli_epi32(a, s), _mm_srli_epi32(a, 32 - s));
  }
  JX_MD5_LOGIC_FROM_TWO_INPUT_OPS(JX_OP)
  // Four 4x4 transpositions, one per 16 bytes of the blocks.
  JX_OP void LoadBlocks(const unsigned char* const* blocks, V w[16]) {
    for (int q = 0; q < 4; ++q) {
      JX_MD5_TRANSPOSE_4X4(_mm, Load(blocks[0] + 16 * q), Load(blocks[1] + 16 * q),
                           Load(blocks[2] + 16 * q), Load(blocks[3] + 16 * q), w + 4 * q);
    }
  }
#undef JX_OP
};

struct Avx2Ops {
#define JX_OP static inline __attribute__((always_inline, target("avx2")))
  using V = __m256i;
  JX_OP void Pin(V& x) { __asm__("" : "+v"(x)); }
  JX_OP V Load(const void* p) { return _mm256_loadu_si256(static_cast<const V*>(p)); }
  JX_OP void Store(uint32_t* p, V a) { _mm256_storeu_si256(reinterpret_cast<V*>(p), a); }
  JX_OP V Set(uint32_t x) { return _mm256_set1_epi32(static_cast<int>(x)); }
  JX_OP V Add(V a, V b) { return _mm256_add_epi32(a, b); }
  JX_OP V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
  JX_OP V And(V a, V b) { return _mm256_and_si256(a, b); }
  JX_OP V Or(V a, V b) { return _mm256_or_si256(a, b); }
  JX_OP V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
  template <int s>
  JX_OP V Rol(V a) {
    return _mm256_or_si256(_mm256_slli_epi32(a, s), _mm256_srli_epi32(a, 32 - s));
  }
  JX_MD5_LOGIC_FROM_TWO_INPUT_OPS(JX_OP)
  // Two 8x8 transpositions, one per half of the blocks: 4x4 within each
  // 128-bit half, then the halves of lanes 0-3 and 4-7 joined.
  JX_OP void LoadBlocks(const unsigned char* const* blocks, V w[16]) {
    for (int h = 0; h < 2; ++h) {
      V low[4], high[4];
      JX_MD5_TRANSPOSE_4X4(_mm256, Load(blocks[0] + 32 * h), Load(blocks[1] + 32 * h),
                           Load(blocks[2] + 32 * h), Load(blocks[3] + 32 * h), low);
      JX_MD5_TRANSPOSE_4X4(_mm256, Load(blocks[4] + 32 * h), Load(blocks[5] + 32 * h),
                           Load(blocks[6] + 32 * h), Load(blocks[7] + 32 * h), high);
      for (int j = 0; j < 4; ++j) {
        w[8 * h + j] = _mm256_permute2x128_si256(low[j], high[j], 0x20);
        w[8 * h + 4 + j] = _mm256_permute2x128_si256(low[j], high[j], 0x31);
      }
    }
  }
#undef JX_OP
};

struct Avx512Ops {
#define JX_OP static inline __attribute__((always_inline, target("avx512f")))
  using V = __m512i;
  JX_OP void Pin(V& x) { __asm__("" : "+v"(x)); }
  JX_OP V Load(const void* p) { return _mm512_loadu_si512(p); }
  JX_OP void Store(uint32_t* p, V a) { _mm512_storeu_si512(p, a); }
  JX_OP V Set(uint32_t x) { return _mm512_set1_epi32(static_cast<int>(x)); }
  JX_OP V Add(V a, V b) { return _mm512_add_epi32(a, b); }
  JX_OP V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
  JX_OP V And(V a, V b) { return _mm512_and_si512(a, b); }
  JX_OP V Or(V a, V b) { return _mm512_or_si512(a, b); }
  JX_OP V AndNot(V a, V b) { return _mm512_andnot_si512(a, b); }
  template <int s>
  JX_OP V Rol(V a) {
    return _mm512_rol_epi32(a, s);
  }
  // The truth tables of F, G, H and I over z = 0xf0, y = 0xcc, x = 0xaa. The
  // instruction overwrites its first operand: z, an older register that a
  // copy made early spares, rather than x, the one just computed.
  JX_OP V F(V x, V y, V z) { return _mm512_ternarylogic_epi32(z, y, x, 0xd8); }
  JX_OP V G(V x, V y, V z) { return _mm512_ternarylogic_epi32(z, y, x, 0xac); }
  JX_OP V H(V x, V y, V z) { return _mm512_ternarylogic_epi32(z, y, x, 0x96); }
  JX_OP V I(V x, V y, V z) { return _mm512_ternarylogic_epi32(z, y, x, 0x63); }
  // A 16x16 transposition: 4x4 within each 128-bit quarter of four rows at a
  // time, then the quarters gathered across the four groups of rows.
  JX_OP void LoadBlocks(const unsigned char* const* blocks, V w[16]) {
    V group[4][4];
    for (int g = 0; g < 4; ++g) {
      JX_MD5_TRANSPOSE_4X4(_mm512, Load(blocks[4 * g]), Load(blocks[4 * g + 1]),
                           Load(blocks[4 * g + 2]), Load(blocks[4 * g + 3]), group[g]);
    }
    for (int j = 0; j < 4; ++j) {
      // Quarters 0 and 1 (then 2 and 3) of groups 0 and 1, and of 2 and 3.
      const V low01 = _mm512_shuffle_i32x4(group[0][j], group[1][j], 0x44);
      const V high01 = _mm512_shuffle_i32x4(group[0][j], group[1][j], 0xee);
      const V low23 = _mm512_shuffle_i32x4(group[2][j], group[3][j], 0x44);
      const V high23 = _mm512_shuffle_i32x4(group[2][j], group[3][j], 0xee);
      w[j] = _mm512_shuffle_i32x4(low01, low23, 0x88);
      w[4 + j] = _mm512_shuffle_i32x4(low01, low23, 0xdd);
      w[8 + j] = _mm512_shuffle_i32x4(high01, high23, 0x88);
      w[12 + j] = _mm512_shuffle_i32x4(high01, high23, 0xdd);
    }
  }
#undef JX_OP
};

#undef JX_MD5_TRANSPOSE_4X4

#endif  // JX_MD5_LANES_X86

#undef JX_MD5_LOGIC_FROM_TWO_INPUT_OPS

// --- The rounds --------------------------------------------------------------
// The 64 steps of RFC 1321, section 3.4: round function, the registers in
// their turn, message word, sine constant, rotation.
#define JX_MD5_STEPS(STEP)                \
  STEP(F, a, b, c, d, 0, 0xd76aa478, 7)   \
  STEP(F, d, a, b, c, 1, 0xe8c7b756, 12)  \
  STEP(F, c, d, a, b, 2, 0x242070db, 17)  \
  STEP(F, b, c, d, a, 3, 0xc1bdceee, 22)  \
  STEP(F, a, b, c, d, 4, 0xf57c0faf, 7)   \
  STEP(F, d, a, b, c, 5, 0x4787c62a, 12)  \
  STEP(F, c, d, a, b, 6, 0xa8304613, 17)  \
  STEP(F, b, c, d, a, 7, 0xfd469501, 22)  \
  STEP(F, a, b, c, d, 8, 0x698098d8, 7)   \
  STEP(F, d, a, b, c, 9, 0x8b44f7af, 12)  \
  STEP(F, c, d, a, b, 10, 0xffff5bb1, 17) \
  STEP(F, b, c, d, a, 11, 0x895cd7be, 22) \
  STEP(F, a, b, c, d, 12, 0x6b901122, 7)  \
  STEP(F, d, a, b, c, 13, 0xfd987193, 12) \
  STEP(F, c, d, a, b, 14, 0xa679438e, 17) \
  STEP(F, b, c, d, a, 15, 0x49b40821, 22) \
  STEP(G, a, b, c, d, 1, 0xf61e2562, 5)   \
  STEP(G, d, a, b, c, 6, 0xc040b340, 9)   \
  STEP(G, c, d, a, b, 11, 0x265e5a51, 14) \
  STEP(G, b, c, d, a, 0, 0xe9b6c7aa, 20)  \
  STEP(G, a, b, c, d, 5, 0xd62f105d, 5)   \
  STEP(G, d, a, b, c, 10, 0x02441453, 9)  \
  STEP(G, c, d, a, b, 15, 0xd8a1e681, 14) \
  STEP(G, b, c, d, a, 4, 0xe7d3fbc8, 20)  \
  STEP(G, a, b, c, d, 9, 0x21e1cde6, 5)   \
  STEP(G, d, a, b, c, 14, 0xc33707d6, 9)  \
  STEP(G, c, d, a, b, 3, 0xf4d50d87, 14)  \
  STEP(G, b, c, d, a, 8, 0x455a14ed, 20)  \
  STEP(G, a, b, c, d, 13, 0xa9e3e905, 5)  \
  STEP(G, d, a, b, c, 2, 0xfcefa3f8, 9)   \
  STEP(G, c, d, a, b, 7, 0x676f02d9, 14)  \
  STEP(G, b, c, d, a, 12, 0x8d2a4c8a, 20) \
  STEP(H, a, b, c, d, 5, 0xfffa3942, 4)   \
  STEP(H, d, a, b, c, 8, 0x8771f681, 11)  \
  STEP(H, c, d, a, b, 11, 0x6d9d6122, 16) \
  STEP(H, b, c, d, a, 14, 0xfde5380c, 23) \
  STEP(H, a, b, c, d, 1, 0xa4beea44, 4)   \
  STEP(H, d, a, b, c, 4, 0x4bdecfa9, 11)  \
  STEP(H, c, d, a, b, 7, 0xf6bb4b60, 16)  \
  STEP(H, b, c, d, a, 10, 0xbebfbc70, 23) \
  STEP(H, a, b, c, d, 13, 0x289b7ec6, 4)  \
  STEP(H, d, a, b, c, 0, 0xeaa127fa, 11)  \
  STEP(H, c, d, a, b, 3, 0xd4ef3085, 16)  \
  STEP(H, b, c, d, a, 6, 0x04881d05, 23)  \
  STEP(H, a, b, c, d, 9, 0xd9d4d039, 4)   \
  STEP(H, d, a, b, c, 12, 0xe6db99e5, 11) \
  STEP(H, c, d, a, b, 15, 0x1fa27cf8, 16) \
  STEP(H, b, c, d, a, 2, 0xc4ac5665, 23)  \
  STEP(I, a, b, c, d, 0, 0xf4292244, 6)   \
  STEP(I, d, a, b, c, 7, 0x432aff97, 10)  \
  STEP(I, c, d, a, b, 14, 0xab9423a7, 15) \
  STEP(I, b, c, d, a, 5, 0xfc93a039, 21)  \
  STEP(I, a, b, c, d, 12, 0x655b59c3, 6)  \
  STEP(I, d, a, b, c, 3, 0x8f0ccc92, 10)  \
  STEP(I, c, d, a, b, 10, 0xffeff47d, 15) \
  STEP(I, b, c, d, a, 1, 0x85845dd1, 21)  \
  STEP(I, a, b, c, d, 8, 0x6fa87e4f, 6)   \
  STEP(I, d, a, b, c, 15, 0xfe2ce6e0, 10) \
  STEP(I, c, d, a, b, 6, 0xa3014314, 15)  \
  STEP(I, b, c, d, a, 13, 0x4e0811a1, 21) \
  STEP(I, a, b, c, d, 4, 0xf7537e82, 6)   \
  STEP(I, d, a, b, c, 11, 0xbd3af235, 10) \
  STEP(I, c, d, a, b, 2, 0x2ad7d2bb, 15)  \
  STEP(I, b, c, d, a, 9, 0xeb86d391, 21)

// a = b + ((a + f(b, c, d) + word + constant) <<< s), in every lane. The sum
// that does not wait for b is made first, off the chain from step to step,
// and pinned there: the compilers would otherwise add f's result first and
// lengthen the chain by one addition.
#define JX_MD5_LANE_STEP(f, a, b, c, d, k, t, s)            \
  {                                                         \
    O::V early = O::Add(a, O::Add(w[k], O::Set(t)));        \
    O::Pin(early);                                          \
    a = O::Add(b, O::Rol<s>(O::Add(O::f(b, c, d), early))); \
  }

// One kernel: the compression function of every lane of `Ops`, on the state
// rows of Md5Lanes (register r of lane i at state[r * kMaxLanes + i]) and
// lane i's block at blocks[i]; a lane whose `keep` word is 0 keeps its state.
//
// A macro and not a function template: the instruction set has to be in the
// target attribute of the function that holds the vectors, and a template
// cannot take its attribute from its argument. The compilers refuse to
// inline target code into, or pass vectors through, a baseline template.
#define JX_MD5_LANES_KERNEL(name, attributes, Ops)                                       \
  attributes void name(uint32_t* state, const unsigned char* const* blocks,              \
                       const uint32_t* keep) {                                           \
    using O = Ops;                                                                       \
    O::V w[16];                                                                          \
    O::LoadBlocks(blocks, w);                                                            \
    const O::V a0 = O::Load(state), b0 = O::Load(state + kMaxLanes),                     \
               c0 = O::Load(state + 2 * kMaxLanes), d0 = O::Load(state + 3 * kMaxLanes); \
    O::V a = a0, b = b0, c = c0, d = d0;                                                 \
    JX_MD5_STEPS(JX_MD5_LANE_STEP)                                                       \
    const O::V mask = O::Load(keep);                                                     \
    O::Store(state, O::Add(a0, O::And(a, mask)));                                        \
    O::Store(state + kMaxLanes, O::Add(b0, O::And(b, mask)));                            \
    O::Store(state + 2 * kMaxLanes, O::Add(c0, O::And(c, mask)));                        \
    O::Store(state + 3 * kMaxLanes, O::Add(d0, O::And(d, mask)));                        \
  }

// GCC would pack the two messages into one vector register (see ScalarOps).
#if defined(__GNUC__) && !defined(__clang__)
#define JX_MD5_SCALAR_ATTRIBUTES __attribute__((optimize("no-tree-vectorize")))
#else
#define JX_MD5_SCALAR_ATTRIBUTES
#endif
JX_MD5_LANES_KERNEL(CompressScalar, JX_MD5_SCALAR_ATTRIBUTES, ScalarOps)
#undef JX_MD5_SCALAR_ATTRIBUTES
#if JX_MD5_LANES_X86
JX_MD5_LANES_KERNEL(CompressSse2, __attribute__((target("sse2"))), Sse2Ops)
JX_MD5_LANES_KERNEL(CompressAvx2, __attribute__((target("avx2"))), Avx2Ops)
// GCC 12's AVX-512 headers fill the unused source of the unmasked shuffles
// with a self-initialised vector, which its own -Wuninitialized (or, as
// optimisation varies, -Wmaybe-uninitialized) reports.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 13
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
JX_MD5_LANES_KERNEL(CompressAvx512, __attribute__((target("avx512f"))), Avx512Ops)
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 13
#pragma GCC diagnostic pop
#endif
#endif

#undef JX_MD5_LANES_KERNEL
#undef JX_MD5_LANE_STEP
#undef JX_MD5_STEPS

// --- Choosing the level ------------------------------------------------------

// Bit i set: level i runs here.
uint32_t DetectIsas() {
  uint32_t found = 1u << static_cast<int>(Md5Isa::kScalar);
#if JX_MD5_LANES_X86
  __builtin_cpu_init();
  if (__builtin_cpu_supports("sse2")) found |= 1u << static_cast<int>(Md5Isa::kSse2);
  if (__builtin_cpu_supports("avx2")) found |= 1u << static_cast<int>(Md5Isa::kAvx2);
  if (__builtin_cpu_supports("avx512f")) found |= 1u << static_cast<int>(Md5Isa::kAvx512);
#endif
  return found;
}

uint32_t SupportedIsas() {
  static const uint32_t supported = DetectIsas();
  return supported;
}

bool Supports(Md5Isa isa) { return (SupportedIsas() >> static_cast<int>(isa) & 1) != 0; }

}  // namespace

std::vector<Md5Isa> Md5SupportedIsas() {
  std::vector<Md5Isa> isas;
  for (Md5Isa isa : {Md5Isa::kScalar, Md5Isa::kSse2, Md5Isa::kAvx2, Md5Isa::kAvx512}) {
    if (Supports(isa)) isas.push_back(isa);
  }
  return isas;
}

Md5Isa Md5BestIsa() {
  auto best = Md5Isa::kAvx512;
  while (!Supports(best)) best = static_cast<Md5Isa>(static_cast<int>(best) - 1);
  return best;
}

int Md5IsaLanes(Md5Isa isa) {
  switch (isa) {
    case Md5Isa::kSse2:
      return 4;
    case Md5Isa::kAvx2:
      return 8;
    case Md5Isa::kAvx512:
      return 16;
    case Md5Isa::kScalar:
      break;
  }
  return ScalarOps::kLanes;
}

const char* Md5IsaName(Md5Isa isa) {
  switch (isa) {
    case Md5Isa::kSse2:
      return "sse2";
    case Md5Isa::kAvx2:
      return "avx2";
    case Md5Isa::kAvx512:
      return "avx512";
    case Md5Isa::kScalar:
      break;
  }
  return "scalar";
}

// --- The engine --------------------------------------------------------------

Md5Lanes::Md5Lanes() : Md5Lanes(Md5BestIsa()) {}

Md5Lanes::Md5Lanes(Md5Isa isa) : state_{}, keep_{}, blocks_{} {
  isa = std::min(isa, Md5BestIsa());
  while (!Supports(isa)) isa = static_cast<Md5Isa>(static_cast<int>(isa) - 1);
  isa_ = isa;
  lanes_ = Md5IsaLanes(isa);
  switch (isa) {
#if JX_MD5_LANES_X86
    case Md5Isa::kSse2:
      kernel_ = CompressSse2;
      break;
    case Md5Isa::kAvx2:
      kernel_ = CompressAvx2;
      break;
    case Md5Isa::kAvx512:
      kernel_ = CompressAvx512;
      break;
#endif
    default:
      kernel_ = CompressScalar;
      break;
  }
}

Md5Lanes::~Md5Lanes() {
  std::memset(state_, 0, sizeof(state_));
  for (Lane& lane : lane_) std::memset(lane.buffer, 0, sizeof(lane.buffer));
}

int Md5Lanes::Open() {
  static constexpr uint32_t kInitial[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  for (int i = 0; i < lanes_; ++i) {
    Lane& lane = lane_[i];
    if (lane.status != Status::kFree) continue;
    lane.next = nullptr;
    lane.left = 0;
    lane.length = 0;
    lane.buffered = 0;
    lane.padded = false;
    lane.status = Status::kOpen;
    for (int r = 0; r < 4; ++r) state_[r * kMaxLanes + i] = kInitial[r];
    return i;
  }
  return -1;
}

bool Md5Lanes::Feed(int index, const void* data, size_t length) {
  if (!Valid(index) || lane_[index].status != Status::kOpen) return false;
  Lane& lane = lane_[index];
  while (lane.left != 0) RunRounds(false);
  if (length == 0) return true;
  lane.next = static_cast<const unsigned char*>(data);
  lane.left = length;
  lane.length += length;
  Settle(lane);
  Pump();
  return true;
}

bool Md5Lanes::NeedsData(int index) const {
  return Valid(index) && lane_[index].status == Status::kOpen && lane_[index].left == 0;
}

bool Md5Lanes::Close(int index) {
  if (!Valid(index) || lane_[index].status != Status::kOpen) return false;
  lane_[index].status = Status::kClosed;
  Settle(lane_[index]);
  Pump();
  return true;
}

bool Md5Lanes::IsFree(int index) const {
  return Valid(index) && lane_[index].status == Status::kFree;
}

bool Md5Lanes::TakeDigest(int index, char hex[32]) {
  if (!Valid(index) || lane_[index].status != Status::kDone) return false;
  static constexpr char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    const auto byte =
        static_cast<unsigned char>(state_[i / 4 * kMaxLanes + index] >> (8 * (i % 4)));
    hex[2 * i] = kDigits[byte >> 4];
    hex[2 * i + 1] = kDigits[byte & 15];
  }
  Forget(lane_[index], index);
  return true;
}

bool Md5Lanes::Finish(int index, char hex[32]) {
  if (!Valid(index) || lane_[index].status == Status::kFree) return false;
  Close(index);
  while (lane_[index].status != Status::kDone) RunRounds(false);
  return TakeDigest(index, hex);
}

void Md5Lanes::Flush() {
  while (RunRounds(false)) {
  }
}

void Md5Lanes::Drop(int index) {
  if (!Valid(index)) return;
  Forget(lane_[index], index);
}

void Md5Lanes::Forget(Lane& lane, int index) {
  lane.status = Status::kFree;
  lane.next = nullptr;
  lane.left = 0;
  for (int r = 0; r < 4; ++r) state_[r * kMaxLanes + index] = 0;
}

// Keeps a held piece only while it completes a block with the buffered bytes;
// a shorter rest joins the buffer. A closed lane with nothing held gets its
// padding: 0x80, zeros to 56 bytes past a block, the length in bits as 64
// little-endian bits, in one or two blocks.
void Md5Lanes::Settle(Lane& lane) {
  if (lane.left != 0 && lane.buffered + lane.left < 64) {
    std::memcpy(lane.buffer + lane.buffered, lane.next, lane.left);
    lane.buffered += static_cast<uint32_t>(lane.left);
    lane.next = nullptr;
    lane.left = 0;
  }
  if (lane.status != Status::kClosed || lane.left != 0 || lane.padded) return;
  const uint64_t bits = lane.length * 8;
  const uint32_t end = lane.buffered < 56 ? 64 : 128;
  lane.buffer[lane.buffered] = 0x80;
  std::memset(lane.buffer + lane.buffered + 1, 0, end - 8 - lane.buffered - 1);
  for (int i = 0; i < 8; ++i)
    lane.buffer[end - 8 + i] = static_cast<unsigned char>(bits >> (8 * i));
  lane.buffered = end;
  lane.padded = true;
}

// One batch of kernel calls over the lanes that have a block ready; the other
// lanes read an idle block and keep their state. When every active lane reads
// from its piece, the batch runs as many blocks as the shortest piece holds;
// a block made in a lane's buffer takes a batch of one. With
// `only_when_every_lane_is_ready`, nothing runs while a lane is free or done
// or waits for bytes. Returns whether a batch ran.
bool Md5Lanes::RunRounds(bool only_when_every_lane_is_ready) {
  int active[kMaxLanes];
  int count = 0;
  size_t batch = SIZE_MAX;
  for (int i = 0; i < lanes_; ++i) {
    Lane& lane = lane_[i];
    const bool hashing = lane.status == Status::kOpen || lane.status == Status::kClosed;
    // A closed lane always has a block: its piece or its padded end.
    const bool ready = hashing && (lane.left != 0 || lane.status == Status::kClosed);
    if (!ready && only_when_every_lane_is_ready) return false;
    keep_[i] = ready ? ~0u : 0;
    if (!ready) {
      blocks_[i] = kIdleBlock;
      continue;
    }
    active[count++] = i;
    if (lane.buffered == 0) {
      blocks_[i] = lane.next;
      batch = std::min(batch, lane.left / 64);
    } else {
      blocks_[i] = lane.buffer;
      batch = 1;
    }
  }
  if (count == 0) return false;
  for (int j = 0; j < count; ++j) {
    Lane& lane = lane_[active[j]];
    if (lane.buffered != 0 && lane.buffered < 64) {
      // The buffered bytes and the start of the piece make the block.
      const size_t take = 64 - lane.buffered;
      std::memcpy(lane.buffer + lane.buffered, lane.next, take);
      lane.next += take;
      lane.left -= take;
      lane.buffered = 64;
    }
  }
  for (size_t n = 0;;) {
    kernel_(state_, blocks_, keep_);
    if (++n == batch) break;
    for (int j = 0; j < count; ++j) blocks_[active[j]] += 64;
  }
  for (int j = 0; j < count; ++j) {
    Lane& lane = lane_[active[j]];
    if (lane.buffered == 0) {
      lane.next += 64 * batch;
      lane.left -= 64 * batch;
    } else {
      // A block out of the buffer: a whole one made above, or a padded end.
      lane.buffered -= 64;
      if (lane.buffered != 0) std::memcpy(lane.buffer, lane.buffer + 64, 64);
      if (lane.padded && lane.buffered == 0) {
        lane.status = Status::kDone;
        continue;
      }
    }
    Settle(lane);
  }
  return true;
}

void Md5Lanes::Pump() {
  while (RunRounds(true)) {
  }
}

}  // namespace jx
