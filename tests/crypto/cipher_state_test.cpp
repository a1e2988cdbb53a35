#include "crypto/cipher_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "crypto/hex.h"
#include "crypto/md5.h"

namespace veltra::crypto {
namespace {

using testing::FromHex;
using testing::ToHex;

// Encrypts `data` block by block through the state's chain, without a reset.
void EncryptBlockByBlock(CipherState& state, std::vector<uint8_t>& data) {
  for (size_t offset = 0; offset + kCipherBlockSize <= data.size(); offset += kCipherBlockSize) {
    state.EncryptBlock(
        std::span<uint8_t, kCipherBlockSize>(data.data() + offset, kCipherBlockSize));
  }
}

void DecryptBlockByBlock(CipherState& state, std::vector<uint8_t>& data) {
  for (size_t offset = 0; offset + kCipherBlockSize <= data.size(); offset += kCipherBlockSize) {
    state.DecryptBlock(
        std::span<uint8_t, kCipherBlockSize>(data.data() + offset, kCipherBlockSize));
  }
}

// The published chaining-mode vector uses the start vector FEDCBA9876543210. A zero start vector
// gives the same ciphertext once that vector is XORed into the first plain block, since the
// first block is encrypted as plain XOR start vector.
TEST(CipherState, ChainsBlocksAsThePublishedChainingVector) {
  const std::vector<uint8_t> key = FromHex("0123456789ABCDEFF0E1D2C3B4A59687");
  const std::vector<uint8_t> start_vector = FromHex("FEDCBA9876543210");
  // "7654321 Now is the time for " with its terminating zero, padded with zeros to 32 bytes.
  std::vector<uint8_t> data =
      FromHex("37363534333231204E6F77206973207468652074696D6520666F722000000000");
  const std::vector<uint8_t> plain = data;
  for (size_t i = 0; i < kCipherBlockSize; ++i) data[i] ^= start_vector[i];

  CipherState state(key);
  EncryptBlockByBlock(state, data);
  EXPECT_EQ(ToHex(data), "6b77b4d63006dee605b156e27403979358deb9e7154616d959f1652bd5ff92cc");

  state.ResetChain();
  DecryptBlockByBlock(state, data);
  for (size_t i = 0; i < kCipherBlockSize; ++i) data[i] ^= start_vector[i];
  EXPECT_EQ(data, plain);
}

TEST(CipherState, ResetChainRestartsFromTheZeroStartVector) {
  CipherState state(FromHex("00112233445566778899aabbccddeeff"));
  std::vector<uint8_t> first(kCipherBlockSize, 0x42);
  std::vector<uint8_t> second = first;

  EncryptBlockByBlock(state, first);
  std::vector<uint8_t> chained = second;
  EncryptBlockByBlock(state, chained);
  EXPECT_NE(chained, first) << "without a reset the second block is chained to the first";

  state.ResetChain();
  EncryptBlockByBlock(state, second);
  EXPECT_EQ(second, first);
}

// With a zero chaining register the first CBC block is the bare cipher's ECB result.
TEST(CipherState, NewStateEncryptsItsFirstBlockLikeTheBareCipher) {
  const std::vector<uint8_t> key = FromHex("0123456789ABCDEF");
  std::unique_ptr<CipherState> state = CreateCipherState(key);
  ASSERT_NE(state, nullptr);
  std::vector<uint8_t> data = FromHex("1111111111111111");
  EncryptBlockByBlock(*state, data);
  EXPECT_EQ(ToHex(data), "61f9c3802281b096");
}

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
