#include "crypto/cipher_state.h"

#include <gtest/gtest.h>

#include <vector>

#include "crypto/hex.h"

namespace veltra::crypto {
namespace {

using testing::FromHex;
using testing::ToHex;

// Encrypts `data` block by block through the state's chain, without a reset.
void EncryptBlocks(CipherState& state, std::vector<uint8_t>& data) {
  for (size_t offset = 0; offset + kCipherBlockSize <= data.size(); offset += kCipherBlockSize) {
    state.EncryptBlock(
        std::span<uint8_t, kCipherBlockSize>(data.data() + offset, kCipherBlockSize));
  }
}

void DecryptBlocks(CipherState& state, std::vector<uint8_t>& data) {
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
  EncryptBlocks(state, data);
  EXPECT_EQ(ToHex(data), "6b77b4d63006dee605b156e27403979358deb9e7154616d959f1652bd5ff92cc");

  state.ResetChain();
  DecryptBlocks(state, data);
  for (size_t i = 0; i < kCipherBlockSize; ++i) data[i] ^= start_vector[i];
  EXPECT_EQ(data, plain);
}

TEST(CipherState, ResetChainRestartsFromTheZeroStartVector) {
  CipherState state(FromHex("00112233445566778899aabbccddeeff"));
  std::vector<uint8_t> first(kCipherBlockSize, 0x42);
  std::vector<uint8_t> second = first;

  EncryptBlocks(state, first);
  std::vector<uint8_t> chained = second;
  EncryptBlocks(state, chained);
  EXPECT_NE(chained, first) << "without a reset the second block is chained to the first";

  state.ResetChain();
  EncryptBlocks(state, second);
  EXPECT_EQ(second, first);
}

// With a zero chaining register the first CBC block is the bare cipher's ECB result.
TEST(CipherState, NewStateEncryptsItsFirstBlockLikeTheBareCipher) {
  const std::vector<uint8_t> key = FromHex("0123456789ABCDEF");
  std::unique_ptr<CipherState> state = CreateCipherState(key);
  ASSERT_NE(state, nullptr);
  std::vector<uint8_t> data = FromHex("1111111111111111");
  EncryptBlocks(*state, data);
  EXPECT_EQ(ToHex(data), "61f9c3802281b096");
}

}  // namespace
}  // namespace veltra::crypto
