// MD5 of several independent messages at once, one per SIMD lane: with AVX2
// or AVX-512 one core digests 8 or 16 files several times faster in all than
// the single-stream engine (jx_md5_engine.h) digests them one after another.
//
// The typical use reads several files ahead, a large piece of each in turn,
// and feeds the pieces round-robin:
//
//   jx::Md5Lanes md5;
//   // per lane: an open file and a buffer of, say, 256 KiB
//   do {
//     for (int lane = 0; lane < md5.lanes(); ++lane) {
//       char hex[32];
//       if (md5.TakeDigest(lane, hex)) { ...check the file on `lane`... }
//       if (md5.IsFree(lane) && ...a file is left...) md5.Open();  // returns `lane`
//       if (!md5.NeedsData(lane)) continue;
//       size_t got = ...read the next piece of the lane's file into its buffer...;
//       if (got > 0) md5.Feed(lane, buffer, got); else md5.Close(lane);
//     }
//     if (...no file is left...) md5.Flush();  // fewer files than lanes now
//   } while (...a lane is not free...);
//
// Hashing happens inside Feed and Close once every lane has a whole 64-byte
// block ready, so feeding all lanes in turn keeps every lane of the vector
// unit busy. A lane that is free, done or waiting for bytes holds the others
// back until the caller fills it; Flush() and Finish() run without it. Lanes
// that have no block ready are left out of such a round (they keep their
// state), so messages of any lengths mix freely.
//
// Thread safety: none. An Md5Lanes belongs to one thread at a time; use one
// object per thread.
#ifndef JX_BASE_JX_MD5_LANES_H_
#define JX_BASE_JX_MD5_LANES_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jx {

// The instruction sets that the lanes engine runs on, narrowest first.
enum class Md5Isa {
  kScalar,  // portable C++, 2 lanes interleaved; the only level off x86
  kSse2,    // 4 lanes of __m128i
  kAvx2,    // 8 lanes of __m256i
  kAvx512,  // 16 lanes of __m512i (AVX-512F)
};

// The levels this processor (and operating system) runs, narrowest first:
// kScalar always, then the SIMD levels found. Detected once per process.
std::vector<Md5Isa> Md5SupportedIsas();

// The widest level in Md5SupportedIsas().
Md5Isa Md5BestIsa();

// How many messages a level digests at once: 2, 4, 8 or 16.
int Md5IsaLanes(Md5Isa isa);

// "scalar", "sse2", "avx2" or "avx512".
const char* Md5IsaName(Md5Isa isa);

// Digests up to lanes() messages side by side. Each message lives on a lane
// from Open() to TakeDigest() (or Finish() or Drop()); a lane's number is also
// its slot for every other call. A lane is in one of four states:
//
//   free      Open() may take it.
//   open      takes the message's bytes with Feed(); NeedsData() when it holds
//             none of the caller's bytes.
//   closed    Close() was called: no more bytes; its last blocks are hashed
//             together with the other lanes'.
//   done      the digest is ready for TakeDigest(), which frees the lane.
//
// Memory: the engine borrows the bytes given to Feed() rather than copying
// them, and digests whole blocks straight from the caller's memory; it copies
// only the bytes that do not fill a block. The caller keeps a piece valid and
// unchanged until the engine has let it go: until NeedsData(lane) or
// IsFree(lane) is true, TakeDigest(lane) succeeds, or a further Feed(lane)
// returns. Flush() lets every piece go.
//
// Calls that name a lane in the wrong state do nothing and return false.
class Md5Lanes {
 public:
  // An engine on the widest level of this processor.
  Md5Lanes();
  // An engine on `isa`, where benchmarks and tests choose the level; a level
  // the processor lacks is taken down to the widest one it runs below it.
  explicit Md5Lanes(Md5Isa isa);
  ~Md5Lanes();  // clears the working state
  Md5Lanes(const Md5Lanes&) = delete;
  Md5Lanes& operator=(const Md5Lanes&) = delete;

  Md5Isa isa() const { return isa_; }
  // How many messages fit at once: Md5IsaLanes(isa()).
  int lanes() const { return lanes_; }

  // Starts an empty message on the lowest free lane and returns that lane, in
  // [0, lanes()); -1 when no lane is free.
  int Open();

  // Appends `length` bytes at `data` to the message on the open `lane`,
  // borrowing them (see above). If the lane still holds an earlier piece, that
  // piece is hashed to its end first, with whichever lanes have blocks ready.
  // Then rounds run for as long as every lane has a block ready: Feed returns
  // once some lane is free, done or NeedsData(). A length of 0 appends
  // nothing. False, and nothing taken, when `lane` is not open.
  bool Feed(int lane, const void* data, size_t length);

  // Whether `lane` is open and holds none of the caller's bytes: it wants its
  // next piece (or Close()). The other lanes wait for it.
  bool NeedsData(int lane) const;

  // Ends the message on the open `lane`: its padding (RFC 1321, section 3.1)
  // and length are added, and its last blocks are hashed along with the other
  // lanes' rounds, as in Feed. The lane is done when they are; any piece it
  // still holds is hashed first. False when `lane` is not open.
  bool Close(int lane);

  // Whether `lane` is free.
  bool IsFree(int lane) const;

  // If `lane` is done, writes its digest as 32 lower-case hex characters (no
  // NUL), frees the lane and returns true; otherwise returns false.
  bool TakeDigest(int lane, char hex[32]);

  // Close(lane) and TakeDigest(lane, hex) at once: hashes whatever the lane
  // still has, in rounds that take along every other lane with a block ready,
  // writes the digest and frees the lane. Also takes the digest of a closed
  // or done lane. False, and `hex` untouched, when `lane` is free.
  bool Finish(int lane, char hex[32]);

  // Runs rounds, with whichever lanes have blocks ready, until every open lane
  // NeedsData() and every closed lane is done: every borrowed piece is then
  // let go. For when fewer messages than lanes are left, or before reusing a
  // piece's memory early.
  void Flush();

  // Forgets the message on `lane`, whatever its state, and frees the lane; a
  // piece it held is let go. For a message that cannot be completed, such as
  // a file that failed to read.
  void Drop(int lane);

  // The most lanes of any level.
  static constexpr int kMaxLanes = 16;

 private:
  enum class Status : uint8_t { kFree, kOpen, kClosed, kDone };
  struct Lane {
    const unsigned char* next = nullptr;  // the unhashed rest of the borrowed piece
    size_t left = 0;                      // its length; 0 when no piece is held
    uint64_t length = 0;                  // bytes fed so far
    uint32_t buffered = 0;                // bytes in `buffer`: a block begun, or the padded end
    bool padded = false;                  // the padded end is in `buffer`
    Status status = Status::kFree;
    unsigned char buffer[128];
  };
  using Kernel = void (*)(uint32_t* state, const unsigned char* const* blocks,
                          const uint32_t* keep);

  bool Valid(int lane) const { return lane >= 0 && lane < lanes_; }
  void Forget(Lane& lane, int index);
  void Settle(Lane& lane);
  bool RunRounds(bool only_when_every_lane_is_ready);
  void Pump();

  Md5Isa isa_;
  int lanes_;
  Kernel kernel_;
  // The four MD5 registers of every lane: row r holds register r of lane i at
  // state_[r * kMaxLanes + i].
  uint32_t state_[4 * kMaxLanes];
  // Per lane of the round being run: ~0 to keep its result, 0 to discard it.
  uint32_t keep_[kMaxLanes];
  const unsigned char* blocks_[kMaxLanes];
  Lane lane_[kMaxLanes];
};

}  // namespace jx

#endif  // JX_BASE_JX_MD5_LANES_H_
