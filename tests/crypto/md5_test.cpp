#include "crypto/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/hex.h"

namespace veltra::crypto {
namespace {

using testing::ToHex;

struct DigestVector {
  const char* text;
  const char* digest;
};

// The test suite published with the algorithm.
constexpr DigestVector kPublishedVectors[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, TextDigestsMatchThePublishedVectors) {
  for (const DigestVector& v : kPublishedVectors) {
    EXPECT_EQ(ToHex(DigestOfText(v.text)), v.digest) << '"' << v.text << '"';
  }
}

TEST(Md5, DigestOfBytesEqualsDigestOfTheSameText) {
  const std::string text = "VELTRA_SIG";
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  EXPECT_EQ(DigestOfBytes(bytes), DigestOfText(text));
  EXPECT_EQ(DigestOfBytes({}), DigestOfText(""));
}

// Lengths around the padding boundaries: the length field fits in the last block up to 55 bytes
// of tail and needs an extra block from 56.
TEST(Md5, IncrementalUpdatesEqualOneShotAtEverySplitPoint) {
  for (size_t length : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 300}) {
    std::vector<uint8_t> message(length);
    for (size_t i = 0; i < length; ++i) message[i] = static_cast<uint8_t>(i * 131 + 7);
    const TDigest expected = DigestOfBytes(message);
    const std::span<const uint8_t> all(message);

    for (size_t split = 0; split <= length; ++split) {
      Md5 md5;
      md5.Update(all.first(split));
      md5.Update(all.subspan(split));
      ASSERT_EQ(md5.Final(), expected) << "length " << length << " split " << split;
    }
    Md5 bytewise;
    for (size_t i = 0; i < length; ++i) bytewise.Update(all.subspan(i, 1));
    EXPECT_EQ(bytewise.Final(), expected) << "length " << length << " byte by byte";
  }
}

TEST(Md5, ResetStartsANewMessage) {
  Md5 md5;
  md5.Update(std::string_view("something else entirely"));
  (void)md5.Final();
  md5.Reset();
  md5.Update(std::string_view("abc"));
  EXPECT_EQ(ToHex(md5.Final()), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5, DigestsEqualOnlyWhenAllSixteenBytesAgree) {
  const TDigest base = DigestOfText("abc");
  EXPECT_TRUE(DigestsEqual(base, base));
  for (size_t i = 0; i < kDigestSize; ++i) {
    TDigest other = base;
    other[i] ^= 0x01;
    EXPECT_FALSE(DigestsEqual(base, other)) << "byte " << i;
  }
}

}  // namespace
}  // namespace veltra::crypto
