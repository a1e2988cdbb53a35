// The key material of a table password, and the check value by which an encrypted table
// recognises its password without storing it.
//
// - Key: the 16-byte MD5 digest of the password text; the password's cipher state is keyed with
//   it (a 128-bit Blowfish key).
// - Check value (16 bytes, kept in the data file header of an encrypted table): the digest,
//   encrypted as one 16-byte buffer with the password's own state (two CBC blocks from a zero
//   start vector).
// - Matching: a copy of a stored check value, decrypted with a password's state, equals that
//   password's digest. A wrong password is not an error here; it just does not match.
//
// Texts are compared as bytes: passwords that differ only in letter case are different passwords.
// The templates take the buffer operations of whatever cipher is in force, so a cipher supplied
// by the application computes and checks the value the same way; the overloads use the built-in
// cipher.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "crypto/cipher_state.h"
#include "crypto/md5.h"

namespace veltra::crypto {

constexpr size_t kPasswordCheckValueSize = 16;
static_assert(kPasswordCheckValueSize == kDigestSize, "the check value is an encrypted digest");

using TPasswordCheckValue = std::array<uint8_t, kPasswordCheckValueSize>;

// The digest of the password text: the cipher key and the plain form of the check value.
inline TDigest PasswordDigest(std::string_view password) { return DigestOfText(password); }

// The built-in cipher state keyed with a password's digest.
std::unique_ptr<CipherState> CreatePasswordCipherState(const TDigest& digest);

// The check value of a password with digest `digest`; `encrypt_buffer` encrypts one buffer in
// place with the password's state and leaves its chain reset. Its exceptions propagate.
template <typename EncryptBufferFn>
requires std::invocable<EncryptBufferFn&, std::span<uint8_t>> TPasswordCheckValue
MakeCheckValue(const TDigest& digest, EncryptBufferFn&& encrypt_buffer) {
  TPasswordCheckValue value = digest;
  encrypt_buffer(std::span<uint8_t>(value));
  return value;
}

// True when `stored` decrypts, with the password's state, to the password's digest `digest`.
// `decrypt_buffer` decrypts one buffer in place; it gets a copy, `stored` is left unchanged.
template <typename DecryptBufferFn>
requires std::invocable<DecryptBufferFn&, std::span<uint8_t>>
bool CheckValueMatches(const TPasswordCheckValue& stored, const TDigest& digest,
                       DecryptBufferFn&& decrypt_buffer) {
  TDigest plain = stored;
  decrypt_buffer(std::span<uint8_t>(plain));
  return DigestsEqual(plain, digest);
}

// The same with the built-in cipher state of the password.
TPasswordCheckValue MakeCheckValue(const TDigest& digest, CipherState& state);
bool CheckValueMatches(const TPasswordCheckValue& stored, const TDigest& digest,
                       CipherState& state);

}  // namespace veltra::crypto
