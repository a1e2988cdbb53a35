#include "crypto/cipher_state.h"

namespace veltra::crypto {

void CipherState::EncryptBlocks(uint8_t* blocks, size_t count) {
  // The block bytes may alias anything, so the chain lives in a local while the loop runs: each
  // block's encryption then waits only on the previous one, not on a store and a reload.
  BlockHalves chain = chain_;
  for (; count > 0; --count, blocks += kCipherBlockSize) {
    const BlockHalves plain = LoadBlock(blocks);
    chain = cipher_.Encrypt({plain.left ^ chain.left, plain.right ^ chain.right});
    StoreBlock(blocks, chain);
  }
  chain_ = chain;
}

void CipherState::DecryptBlocks(uint8_t* blocks, size_t count) {
  BlockHalves chain = chain_;
  for (; count > 0; --count, blocks += kCipherBlockSize) {
    const BlockHalves cipher_text = LoadBlock(blocks);
    const BlockHalves plain = cipher_.Decrypt(cipher_text);
    StoreBlock(blocks, {plain.left ^ chain.left, plain.right ^ chain.right});
    chain = cipher_text;
  }
  chain_ = chain;
}

std::unique_ptr<CipherState> CreateCipherState(std::span<const uint8_t> key) {
  return std::make_unique<CipherState>(key);
}

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
