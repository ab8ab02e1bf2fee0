// The MD5 digest.
//
// Properties: the digest of the whole buffer equals OpenSSL's, and equals the
// digest of the same bytes fed to the engine in pieces of any sizes. Cut into
// several messages, the input digested side by side on the lanes of every
// level this processor runs gives each message OpenSSL's digest.
#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/jx_md5.h"
#include "base/jx_md5_engine.h"
#include "base/jx_md5_lanes.h"
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

// The input's own bytes, in turn and over again, for the choices of the lanes.
class Choices {
 public:
  Choices(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Next() { return size_ == 0 ? 0 : data_[at_++ % size_]; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// Up to 40 messages, cut where the input's first bytes say: some empty, some
// long, the messages outnumbering the lanes so that lanes are reused.
std::vector<std::pair<size_t, size_t>> Messages(const uint8_t* data, size_t size) {
  const size_t count = size == 0 ? 1 : 1 + data[0] % 40;
  std::vector<size_t> cuts{0, size};
  for (size_t i = 1; i < count; ++i) cuts.push_back(size * data[i % size] / 256);
  std::sort(cuts.begin(), cuts.end());
  std::vector<std::pair<size_t, size_t>> messages;  // offset, length
  for (size_t i = 0; i + 1 < cuts.size(); ++i)
    messages.emplace_back(cuts[i], cuts[i + 1] - cuts[i]);
  return messages;
}

// The lanes visited in turn; what each does is the input's choice: pieces of
// 1 to 97 bytes or of whole blocks, a lane fed again before it asks, the end
// by Close or Finish, a Flush now and then and once the messages run out. The
// pieces are borrowed from the input itself.
void CheckLanes(jx::Md5Isa isa, const uint8_t* data, size_t size) {
  const auto messages = Messages(data, size);
  jx::Md5Lanes md5(isa);
  FUZZ_CHECK(md5.isa() == isa);
  Choices choices(data, size);
  std::vector<size_t> message_of(static_cast<size_t>(md5.lanes()));
  std::vector<size_t> at(message_of.size());
  std::vector<std::string> digests(messages.size());
  size_t started = 0;
  size_t finished = 0;
  char hex[32];
  for (int lane = 0; finished < messages.size(); lane = (lane + 1) % md5.lanes()) {
    const auto slot = static_cast<size_t>(lane);
    if (md5.TakeDigest(lane, hex)) {
      digests[message_of[slot]].assign(hex, sizeof(hex));
      ++finished;
    }
    if (md5.IsFree(lane)) {
      if (started == messages.size()) {
        md5.Flush();  // fewer messages than lanes are left
        continue;
      }
      const int opened = md5.Open();
      FUZZ_CHECK(opened >= 0 && opened <= lane);  // the lowest free lane
      message_of[static_cast<size_t>(opened)] = started++;
      at[static_cast<size_t>(opened)] = 0;
      continue;
    }
    const auto [offset, length] = messages[message_of[slot]];
    const uint8_t choice = choices.Next();
    if (at[slot] == length) {
      if (!md5.NeedsData(lane)) {
        if (choice % 16 == 0) md5.Flush();
      } else if (choice % 2 == 0) {
        FUZZ_CHECK(md5.Close(lane));
      } else {
        FUZZ_CHECK(md5.Finish(lane, hex));
        digests[message_of[slot]].assign(hex, sizeof(hex));
        ++finished;
      }
      continue;
    }
    if (!md5.NeedsData(lane) && choice % 4 != 0) continue;
    const size_t piece = std::min<size_t>(
        length - at[slot], choice & 0x80 ? 64 * (1 + (choice & 7)) : 1 + choice % 97);
    FUZZ_CHECK(md5.Feed(lane, data + offset + at[slot], piece));
    at[slot] += piece;
  }
  for (size_t i = 0; i < messages.size(); ++i)
    FUZZ_CHECK(digests[i] == ReferenceHex(data + messages[i].first, messages[i].second));
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
  for (const jx::Md5Isa isa : jx::Md5SupportedIsas()) CheckLanes(isa, data, size);
  return 0;
}
