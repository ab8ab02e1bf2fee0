#include "base/jx_md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/jx_md5_engine.h"
#include "base/jx_md5_lanes.h"
#include "base/jx_memory.h"

namespace {

// Runs of 'a' that end before, at and after the padding boundary (56) and
// the block boundary (64), and one long enough to take many blocks.
TEST(Md5, GivesKnownDigestsAroundEveryBlockBoundaryAndRefusesMissingArguments) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "d41d8cd98f00b204e9800998ecf8427e"},  {3, "47bce5c74f589f4867dbd57e9ca9f808"},
      {55, "ef1772b6dff9a122358552954ad0df65"}, {56, "3b0c8ac703f828b04c6c197006d17218"},
      {63, "b06521f39153d618550606be297466d5"}, {64, "014842d480b571495a4a0363793f7367"},
      {65, "c743a45e0d2e6a95cb859adae0248435"}, {1 << 20, "7202826a7791073fe2787f0c94603278"}};
  char* out = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(jx_md5_string(nullptr, 5, &out, &length) + jx_md5_string("abc", 3, nullptr, &length) +
                jx_md5_string("abc", 3, &out, nullptr),
            0u);
  EXPECT_EQ(out, nullptr);
  for (const auto& [size, digest] : cases) {
    EXPECT_EQ(jx_md5_string(std::string(size, 'a').data(), size, &out, &length), 32u);
    EXPECT_EQ(std::string(out, length), digest);
    jx_free(out);
  }
  EXPECT_EQ(jx_md5_string(nullptr, 0, &out, &length), 32u);  // the empty message
  jx_free(out);
}

std::string SingleStreamHex(const std::string& message) {
  jx::Md5 md5;
  md5.Update(message.data(), message.size());
  char hex[32];
  md5.FinishHex(hex);
  return std::string(hex, sizeof(hex));
}

std::string RandomBytes(std::mt19937& random, size_t size) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

// Every remainder mod 64 around the padding and block boundaries, after 0, 1
// and 37 whole blocks, and a few long messages up to a little over 1 MiB.
std::vector<std::string> MessagesOfAwkwardLengths(std::mt19937& random) {
  std::vector<std::string> messages;
  for (size_t blocks : {0, 1, 37}) {
    for (size_t tail : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128})
      messages.push_back(RandomBytes(random, 64 * blocks + tail));
  }
  for (size_t size :
       {size_t{1} << 20 | 3, size_t{random() % (1 << 20)}, size_t{random() % (1 << 18)}})
    messages.push_back(RandomBytes(random, size));
  std::shuffle(messages.begin(), messages.end(), random);
  return messages;
}

// The digests of `messages` through `md5`, fed the way a reader of several
// files would, with random choices: lanes visited in random order and opened
// as they free up, pieces of random sizes (a few bytes, whole blocks, up to
// 256 KiB, the whole rest), a lane sometimes fed again before it asks, the
// end given by Close or Finish, a lane sometimes dropped halfway and reused.
// Each piece is a heap copy freed (after scribbling) as soon as the engine
// has let it go, so reading it later spoils a digest or trips ASan.
std::vector<std::string> DigestsThroughLanes(jx::Md5Lanes& md5,
                                             const std::vector<std::string>& messages,
                                             std::mt19937& random) {
  struct Job {
    size_t message = 0;
    size_t at = 0;
    bool dropping = false;
    std::unique_ptr<std::string> piece;  // what the engine borrows
    void LetGo() {
      if (piece) piece->assign(piece->size(), '\xAA');
      piece.reset();
    }
  };
  std::vector<std::string> digests(messages.size());
  std::vector<Job> jobs(static_cast<size_t>(md5.lanes()));
  size_t started = 0;
  size_t finished = 0;
  for (int turn = 0; finished < messages.size(); ++turn) {
    if (turn > 1000000) {
      ADD_FAILURE() << "the lanes stopped making progress";
      break;
    }
    const int lane = static_cast<int>(random() % jobs.size());
    Job& job = jobs[static_cast<size_t>(lane)];
    char hex[32];
    if (md5.TakeDigest(lane, hex)) {
      job.LetGo();
      digests[job.message].assign(hex, sizeof(hex));
      ++finished;
    }
    if (md5.IsFree(lane)) {
      if (started == messages.size()) {
        md5.Flush();  // fewer messages than lanes are left
        continue;
      }
      const int opened = md5.Open();
      EXPECT_LE(opened, lane);  // the lowest free lane
      if (opened < 0) break;
      jobs[static_cast<size_t>(opened)] = Job{started++, 0, random() % 16 == 0, nullptr};
      continue;
    }
    const std::string& message = messages[job.message];
    if (md5.NeedsData(lane)) {
      job.LetGo();
      if (job.dropping && job.at > message.size() / 2) {
        md5.Drop(lane);
        const int opened = md5.Open();  // the message starts over
        EXPECT_TRUE(opened >= 0 && opened <= lane);
        jobs[static_cast<size_t>(opened)] = Job{job.message, 0, false, nullptr};
        continue;
      }
      if (job.at == message.size()) {
        if (random() % 2 == 0) {
          EXPECT_TRUE(md5.Close(lane));
        } else {
          EXPECT_TRUE(md5.Finish(lane, hex));
          digests[job.message].assign(hex, sizeof(hex));
          ++finished;
        }
        continue;
      }
    } else if (random() % 8 != 0 || job.at == message.size()) {
      if (random() % 32 == 0) md5.Flush();
      continue;
    }
    // A lane that holds a piece yet is fed again hashes that piece first.
    static constexpr size_t kSizes[] = {64, 64 * 5, 256 << 10};
    size_t size = random() % 4 == 0 ? 1 + random() % 130 : 1 + random() % kSizes[random() % 3];
    if (random() % 4 == 0) size = size / 64 * 64 + 64;
    size = std::min(size, message.size() - job.at);
    auto piece = std::make_unique<std::string>(message, job.at, size);
    if (!md5.Feed(lane, piece->data(), piece->size())) continue;  // closed meanwhile
    job.LetGo();
    job.piece = std::move(piece);
    job.at += size;
  }
  return digests;
}

TEST(Md5Lanes, EveryLevelGivesTheSingleStreamDigestsOfMessagesFedInRandomPieces) {
  std::mt19937 random(20240611);
  const std::vector<std::string> messages = MessagesOfAwkwardLengths(random);
  std::vector<std::string> expected;
  for (const std::string& message : messages) expected.push_back(SingleStreamHex(message));
  const std::vector<jx::Md5Isa> isas = jx::Md5SupportedIsas();
  ASSERT_EQ(isas.front(), jx::Md5Isa::kScalar);
  for (const jx::Md5Isa isa : isas) {
    SCOPED_TRACE(jx::Md5IsaName(isa));
    jx::Md5Lanes md5(isa);
    ASSERT_EQ(md5.isa(), isa);
    ASSERT_EQ(md5.lanes(), jx::Md5IsaLanes(isa));
    const std::vector<std::string> digests = DigestsThroughLanes(md5, messages, random);
    for (size_t i = 0; i < messages.size(); ++i)
      EXPECT_EQ(digests[i], expected[i]) << "a message of " << messages[i].size() << " bytes";
  }
}

// Feeding every lane in turn keeps the engine waiting until the last lane has
// its piece, then hashes all pieces at once. Any lane that is free or asks
// for bytes holds the others back, until it is fed or Flush() runs them.
TEST(Md5Lanes, LanesRunTogetherOnlyWhenEveryLaneHasABlock) {
  std::mt19937 random(7);
  for (const jx::Md5Isa isa : jx::Md5SupportedIsas()) {
    SCOPED_TRACE(jx::Md5IsaName(isa));
    jx::Md5Lanes md5(isa);
    const int lanes = md5.lanes();
    std::vector<std::string> first, second;
    for (int lane = 0; lane < lanes; ++lane) {
      EXPECT_EQ(md5.Open(), lane);
      first.push_back(RandomBytes(random, 64 * 3));
      second.push_back(RandomBytes(random, 64 * static_cast<size_t>(4 + lane) + 9));
    }
    EXPECT_EQ(md5.Open(), -1);
    char hex[32];
    EXPECT_FALSE(md5.TakeDigest(0, hex) || md5.Close(lanes) || md5.Feed(-1, "x", 1) ||
                 md5.NeedsData(lanes) || md5.IsFree(0));
    for (int lane = 0; lane < lanes; ++lane) {
      ASSERT_TRUE(md5.Feed(lane, first[lane].data(), first[lane].size()));
      for (int fed = 0; fed <= lane; ++fed) EXPECT_EQ(md5.NeedsData(fed), lane == lanes - 1);
    }
    // Lane 0 dropped and free: the others keep their pieces. Lane 0 reopened
    // with one block runs them all one block on.
    for (int lane = 1; lane < lanes; ++lane) {
      ASSERT_TRUE(md5.Feed(lane, second[lane].data(), second[lane].size()));
    }
    md5.Drop(0);
    EXPECT_TRUE(md5.IsFree(0) && !md5.NeedsData(0) && !md5.NeedsData(1));
    EXPECT_FALSE(md5.Finish(0, hex));
    ASSERT_EQ(md5.Open(), 0);
    ASSERT_TRUE(md5.Feed(0, first[0].data(), 64));
    EXPECT_TRUE(md5.NeedsData(0));
    EXPECT_FALSE(md5.NeedsData(1));
    // Flush takes every piece to its end; lane 1 then closed waits again.
    md5.Flush();
    for (int lane = 0; lane < lanes; ++lane) EXPECT_TRUE(md5.NeedsData(lane));
    EXPECT_TRUE(md5.Close(1));
    EXPECT_FALSE(md5.Feed(1, "x", 1) || md5.Close(1) || md5.TakeDigest(1, hex));
    for (int lane = 0; lane < lanes; ++lane) {
      ASSERT_TRUE(md5.Finish(lane, hex));
      EXPECT_EQ(std::string(hex, sizeof(hex)),
                SingleStreamHex(lane == 0 ? first[0].substr(0, 64) : first[lane] + second[lane]));
      EXPECT_TRUE(md5.IsFree(lane));
    }
  }
}

}  // namespace
