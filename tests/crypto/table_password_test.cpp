#include "crypto/table_password.h"

#include <gtest/gtest.h>

#include <string>

#include "crypto/hex.h"

namespace veltra::crypto {
namespace {

using testing::ToHex;

struct PasswordKey {
  TDigest digest;
  std::unique_ptr<CipherState> state;
};

PasswordKey KeyOf(std::string_view password) {
  TDigest digest = PasswordDigest(password);
  return {digest, CreatePasswordCipherState(digest)};
}

// Check values as they stand in the data file header of an encrypted table. These bytes were
// computed independently (MD5, then Blowfish-CBC with a zero start vector, from libcrypto), so
// they pin the on-disk value, not just our own round trip.
TEST(TablePassword, CheckValuesAreTheEncryptedDigests) {
  struct Case {
    const char* password;
    const char* digest;
    const char* check_value;
  };
  constexpr Case kCases[] = {
      {"quintaberry", "ff448612c4404cd65999fda86bf805d8", "0baa444965e760efd831876af3d6c449"},
      {"Secret", "1e6947ac7fb3a9529a9726eb692c8cc5", "232dfc9121bf700409d3418ec15f3692"},
      {"secret", "5ebe2294ecd0e0f08eab7690d2a6ee69", "10887f89094e9b7e8a84dfad7c96ff6c"},
  };
  for (const Case& c : kCases) {
    PasswordKey key = KeyOf(c.password);
    EXPECT_EQ(ToHex(key.digest), c.digest) << c.password;
    EXPECT_EQ(ToHex(MakeCheckValue(key.digest, *key.state)), c.check_value) << c.password;
  }
}

TEST(TablePassword, OnlyTheExactPasswordMatchesAStoredCheckValue) {
  struct Case {
    const char* table_password;
    const char* offered;
    bool matches;
  };
  constexpr Case kCases[] = {
      {"Secret", "Secret", true},
      {"Secret", "secret", false},  // letter case counts
      {"Secret", "SECRET", false},
      {"Secret", "Secret ", false},
      {"Secret", "Secre", false},
      {"", "", true},
      {"", "x", false},
  };
  for (const Case& c : kCases) {
    PasswordKey table_key = KeyOf(c.table_password);
    const TPasswordCheckValue stored = MakeCheckValue(table_key.digest, *table_key.state);

    PasswordKey offered = KeyOf(c.offered);
    EXPECT_EQ(CheckValueMatches(stored, offered.digest, *offered.state), c.matches)
        << '"' << c.table_password << "\" offered \"" << c.offered << '"';
  }
}

TEST(TablePassword, CheckingLeavesTheStateReadyForTheTable) {
  PasswordKey key = KeyOf("quintaberry");
  const TPasswordCheckValue stored = MakeCheckValue(key.digest, *key.state);
  ASSERT_TRUE(CheckValueMatches(stored, key.digest, *key.state));
  // The same state, used next for a record, still gives a check value from a zero start vector.
  EXPECT_EQ(MakeCheckValue(key.digest, *key.state), stored);
}

// A cipher supplied by the application: the check value is whatever its buffer operations make
// of the digest, and matching runs through its decryption.
TEST(TablePassword, ReplacementCipherComputesAndChecksTheValue) {
  const TDigest digest = PasswordDigest("quintaberry");
  int encrypt_calls = 0;
  const TPasswordCheckValue value = MakeCheckValue(digest, [&](std::span<uint8_t> area) {
    ++encrypt_calls;
    EXPECT_EQ(area.size(), kPasswordCheckValueSize);
    for (uint8_t& b : area) b ^= 0x5A;
  });
  EXPECT_EQ(encrypt_calls, 1);
  for (size_t i = 0; i < kDigestSize; ++i) EXPECT_EQ(value[i], digest[i] ^ 0x5A);

  auto undo = [](std::span<uint8_t> area) {
    for (uint8_t& b : area) b ^= 0x5A;
  };
  EXPECT_TRUE(CheckValueMatches(value, digest, undo));
  EXPECT_FALSE(CheckValueMatches(value, PasswordDigest("other"), undo));
}

}  // namespace
}  // namespace veltra::crypto
