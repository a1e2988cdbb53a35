#include "crypto/table_password.h"

namespace veltra::crypto {

std::unique_ptr<CipherState> CreatePasswordCipherState(const TDigest& digest) {
  return CreateCipherState(digest);
}

TPasswordCheckValue MakeCheckValue(const TDigest& digest, CipherState& state) {
  return MakeCheckValue(digest, [&state](std::span<uint8_t> area) { EncryptBuffer(state, area); });
}

bool CheckValueMatches(const TPasswordCheckValue& stored, const TDigest& digest,
                       CipherState& state) {
  return CheckValueMatches(stored, digest,
                           [&state](std::span<uint8_t> area) { DecryptBuffer(state, area); });
}

}  // namespace veltra::crypto
