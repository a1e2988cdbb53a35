#include "crypto/cipher_state.h"

namespace veltra::crypto {

std::unique_ptr<CipherState> CreateCipherState(std::span<const uint8_t> key) {
  return std::make_unique<CipherState>(key);
}

}  // namespace veltra::crypto
