#include "crypto/buffer_cipher.h"

namespace veltra::crypto {

void EncryptBuffer(CipherState& state, std::span<uint8_t> area) {
  TransformBuffer(
      area, [&state](std::span<uint8_t, kCipherBlockSize> block) { state.EncryptBlock(block); },
      [&state] { state.ResetChain(); });
}

void DecryptBuffer(CipherState& state, std::span<uint8_t> area) {
  TransformBuffer(
      area, [&state](std::span<uint8_t, kCipherBlockSize> block) { state.DecryptBlock(block); },
      [&state] { state.ResetChain(); });
}

}  // namespace veltra::crypto
