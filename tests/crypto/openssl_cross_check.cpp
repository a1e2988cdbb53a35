// Our digest and cipher against libcrypto's on many random inputs: lengths across every padding
// and block boundary, random keys of every allowed length, and buffers as large as index pages.
// libcrypto's low-level MD5 and BF functions are deprecated but present; the deprecation is
// silenced for this file only.
#define OPENSSL_SUPPRESS_DEPRECATED 1
#include <gtest/gtest.h>
#include <openssl/blowfish.h>
#include <openssl/md5.h>

#include <random>
#include <vector>

#include "crypto/cipher_state.h"
#include "crypto/md5.h"

namespace veltra::crypto {
namespace {

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t size) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(byte(rng));
  return bytes;
}

TDigest LibcryptoMd5(std::span<const uint8_t> bytes) {
  TDigest digest;
  MD5(bytes.data(), bytes.size(), digest.data());
  return digest;
}

TEST(OpensslCrossCheck, Md5AgreesOnEveryLengthUpToSomeBlocks) {
  std::mt19937 rng(1321);
  for (size_t length = 0; length <= 600; ++length) {
    const std::vector<uint8_t> message = RandomBytes(rng, length);
    ASSERT_EQ(DigestOfBytes(message), LibcryptoMd5(message)) << "length " << length;
  }
}

TEST(OpensslCrossCheck, Md5AgreesOnLargeMessagesFedInRandomPieces) {
  std::mt19937 rng(1992);
  std::uniform_int_distribution<size_t> length_of(0, 70000);
  for (int round = 0; round < 40; ++round) {
    const std::vector<uint8_t> message = RandomBytes(rng, length_of(rng));
    Md5 md5;
    std::span<const uint8_t> rest(message);
    while (!rest.empty()) {
      size_t piece =
          std::uniform_int_distribution<size_t>(0, std::min<size_t>(rest.size(), 300))(rng);
      md5.Update(rest.first(piece));
      rest = rest.subspan(piece);
    }
    ASSERT_EQ(md5.Final(), LibcryptoMd5(message)) << "length " << message.size();
  }
}

// libcrypto's CBC with a zero start vector, over whole blocks only.
std::vector<uint8_t> LibcryptoCbc(std::span<const uint8_t> key, std::vector<uint8_t> data,
                                  int direction) {
  BF_KEY bf_key;
  BF_set_key(&bf_key, static_cast<int>(key.size()), key.data());
  unsigned char iv[BF_BLOCK] = {};
  BF_cbc_encrypt(data.data(), data.data(), static_cast<long>(data.size()), &bf_key, iv, direction);
  return data;
}

TEST(OpensslCrossCheck, BlowfishCbcAgreesForEveryKeyLength) {
  std::mt19937 rng(1993);
  std::uniform_int_distribution<size_t> blocks_of(1, 64);
  for (size_t key_length = 1; key_length <= kBlowfishMaxKeySize; ++key_length) {
    for (int round = 0; round < 4; ++round) {
      const std::vector<uint8_t> key = RandomBytes(rng, key_length);
      const std::vector<uint8_t> plain = RandomBytes(rng, blocks_of(rng) * kCipherBlockSize);
      CipherState state(key);

      std::vector<uint8_t> ours = plain;
      EncryptBuffer(state, ours);
      ASSERT_EQ(ours, LibcryptoCbc(key, plain, BF_ENCRYPT)) << key_length << "-byte key";

      DecryptBuffer(state, ours);
      ASSERT_EQ(ours, plain);
      std::vector<uint8_t> random_cipher = RandomBytes(rng, plain.size());
      std::vector<uint8_t> decrypted = random_cipher;
      DecryptBuffer(state, decrypted);
      ASSERT_EQ(decrypted, LibcryptoCbc(key, random_cipher, BF_DECRYPT))
          << key_length << "-byte key";
    }
  }
}

// The engine's own shape: a 16-byte password digest as the key, records and pages as buffers,
// some with a tail that is not a whole block (libcrypto gets only the whole blocks).
TEST(OpensslCrossCheck, BufferEncryptionAgreesOnRecordsAndPages) {
  std::mt19937 rng(2024);
  for (size_t size : {8, 16, 24, 200, 512, 1027, 4096, 4100, 16384}) {
    const std::vector<uint8_t> key = RandomBytes(rng, kDigestSize);
    const std::vector<uint8_t> plain = RandomBytes(rng, size);
    const size_t whole = size / kCipherBlockSize * kCipherBlockSize;
    CipherState state(key);

    std::vector<uint8_t> ours = plain;
    EncryptBuffer(state, ours);
    std::vector<uint8_t> theirs =
        LibcryptoCbc(key, std::vector<uint8_t>(plain.begin(), plain.begin() + whole), BF_ENCRYPT);
    theirs.insert(theirs.end(), plain.begin() + whole, plain.end());
    ASSERT_EQ(ours, theirs) << "size " << size;
  }
}

}  // namespace
}  // namespace veltra::crypto
