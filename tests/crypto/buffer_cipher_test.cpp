#include "crypto/buffer_cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "crypto/md5.h"

namespace veltra::crypto {
namespace {

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 29);
  return bytes;
}

class BufferCipherTest : public ::testing::Test {
 protected:
  BufferCipherTest() : state_(DigestOfText("quintaberry")) {}
  CipherState state_;
};

struct AreaCase {
  size_t size;
  size_t changed;  // the leading bytes that encryption replaces: the whole blocks
};

// A 20-byte area changes only its first 16 bytes; an area under 8 bytes does not change at all.
constexpr AreaCase kAreaCases[] = {
    {0, 0}, {1, 0}, {7, 0}, {8, 8}, {15, 8}, {16, 16}, {20, 16}, {512, 512}, {4101, 4096},
};

TEST_F(BufferCipherTest, EncryptionReplacesTheWholeBlocksAndKeepsTheTail) {
  for (const AreaCase& c : kAreaCases) {
    const std::vector<uint8_t> plain = Pattern(c.size, 3);
    std::vector<uint8_t> area = plain;
    EncryptBuffer(state_, area);
    for (size_t block = 0; block < c.changed; block += kCipherBlockSize) {
      EXPECT_FALSE(std::equal(area.begin() + block, area.begin() + block + kCipherBlockSize,
                              plain.begin() + block))
          << "size " << c.size << ": block at " << block << " left as it was";
    }
    EXPECT_TRUE(std::equal(area.begin() + c.changed, area.end(), plain.begin() + c.changed))
        << "size " << c.size << ": the tail changed";

    DecryptBuffer(state_, area);
    EXPECT_EQ(area, plain) << "size " << c.size << ": round trip";
  }
}

TEST_F(BufferCipherTest, IdenticalRecordsEncryptAlike) {
  std::vector<uint8_t> first = Pattern(64, 9);
  std::vector<uint8_t> second = first;
  EncryptBuffer(state_, first);
  EncryptBuffer(state_, second);
  EXPECT_EQ(first, second);
}

// Each call is its own message: what was encrypted before must not change the next result, in
// either direction.
TEST_F(BufferCipherTest, EveryCallStartsFromAResetChain) {
  const std::vector<uint8_t> record = Pattern(48, 1);
  std::vector<uint8_t> alone = record;
  CipherState fresh(DigestOfText("quintaberry"));
  EncryptBuffer(fresh, alone);

  std::vector<uint8_t> other = Pattern(40, 77);
  EncryptBuffer(state_, other);
  std::vector<uint8_t> after_encrypt = record;
  EncryptBuffer(state_, after_encrypt);
  EXPECT_EQ(after_encrypt, alone);

  DecryptBuffer(state_, other);
  std::vector<uint8_t> after_decrypt = record;
  EncryptBuffer(state_, after_decrypt);
  EXPECT_EQ(after_decrypt, alone);
}

TEST_F(BufferCipherTest, CiphertextBlocksAreChainedWithinABuffer) {
  std::vector<uint8_t> area(32, 0xAB);  // four equal plain blocks
  EncryptBuffer(state_, area);
  for (size_t block = kCipherBlockSize; block < area.size(); block += kCipherBlockSize) {
    EXPECT_FALSE(std::equal(area.begin(), area.begin() + kCipherBlockSize, area.begin() + block))
        << "block at " << block << " equals the first";
  }
}

TEST_F(BufferCipherTest, AWrongKeyDecryptsToOtherBytesWithoutFailing) {
  const std::vector<uint8_t> plain = Pattern(16, 5);
  std::vector<uint8_t> area = plain;
  EncryptBuffer(state_, area);
  CipherState other(DigestOfText("Quintaberry"));
  DecryptBuffer(other, area);
  EXPECT_NE(area, plain);
}

// The rules for any block cipher, as a cipher supplied by the application meets them.
struct Recorder {
  std::vector<std::string> calls;
  int fail_at_block = -1;     // the block op throws at this block
  bool reset_throws = false;  // the reset throws as well
  int blocks_seen = 0;

  void Run(std::span<uint8_t> area) {
    TransformBuffer(
        area,
        [this](std::span<uint8_t, kCipherBlockSize> block) {
          if (blocks_seen++ == fail_at_block) throw std::runtime_error("block failed");
          for (uint8_t& b : block) b ^= 0xFF;
          calls.push_back("block");
        },
        [this] {
          calls.push_back("reset");
          if (reset_throws) throw std::runtime_error("reset failed");
        });
  }
};

TEST(TransformBuffer, VisitsEachWholeBlockInOrderThenResetsOnce) {
  Recorder recorder;
  std::vector<uint8_t> area(27, 0x00);
  recorder.Run(area);
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"block", "block", "block", "reset"}));
  EXPECT_EQ(std::count(area.begin(), area.begin() + 24, 0xFF), 24);
  EXPECT_EQ(std::count(area.begin() + 24, area.end(), 0x00), 3);
}

TEST(TransformBuffer, ResetsEvenWithoutAWholeBlock) {
  for (size_t size : {0, 5}) {
    Recorder recorder;
    std::vector<uint8_t> area(size, 0x11);
    recorder.Run(area);
    EXPECT_EQ(recorder.calls, std::vector<std::string>{"reset"}) << "size " << size;
    EXPECT_EQ(area, std::vector<uint8_t>(size, 0x11));
  }
}

TEST(TransformBuffer, AFailingBlockStopsTheBufferButStillResets) {
  Recorder recorder;
  recorder.fail_at_block = 1;
  std::vector<uint8_t> area(24, 0x00);
  EXPECT_THROW(recorder.Run(area), std::runtime_error);
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"block", "reset"}));
  EXPECT_EQ(std::count(area.begin() + 8, area.end(), 0x00), 16) << "blocks after the failure";
}

TEST(TransformBuffer, TheBlockFailureIsReportedWhenTheResetFailsToo) {
  Recorder recorder;
  recorder.fail_at_block = 0;
  recorder.reset_throws = true;
  std::vector<uint8_t> area(16, 0x00);
  try {
    recorder.Run(area);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "block failed");
  }
  EXPECT_EQ(recorder.calls, std::vector<std::string>{"reset"});
}

TEST(TransformBuffer, AFailingResetAfterGoodBlocksPropagates) {
  Recorder recorder;
  recorder.reset_throws = true;
  std::vector<uint8_t> area(8, 0x00);
  EXPECT_THROW(recorder.Run(area), std::runtime_error);
}

}  // namespace
}  // namespace veltra::crypto
