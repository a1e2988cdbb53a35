#include "crypto/buffer_cipher.h"

namespace veltra::crypto {

// The built-in cipher cannot fail, so the whole run of blocks goes in one call and the reset
// follows; TransformBuffer's rules hold without its per-block calls.
void EncryptBuffer(CipherState& state, std::span<uint8_t> area) {
  state.EncryptBlocks(area.data(), area.size() / kCipherBlockSize);
  state.ResetChain();
}

void DecryptBuffer(CipherState& state, std::span<uint8_t> area) {
  state.DecryptBlocks(area.data(), area.size() / kCipherBlockSize);
  state.ResetChain();
}

}  // namespace veltra::crypto
