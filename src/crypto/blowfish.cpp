#include "crypto/blowfish.h"

#include <algorithm>

namespace veltra::crypto {

Blowfish::Blowfish(std::span<const uint8_t> key) {
  std::copy(&kBlowfishInitialS[0][0],
            &kBlowfishInitialS[0][0] + kBlowfishSBoxes * kBlowfishSBoxEntries, &s_[0][0]);
  std::copy(kBlowfishInitialP, kBlowfishInitialP + kBlowfishSubkeys, p_);

  // An empty key XORs nothing; the cyclic walk below would otherwise have no byte to take.
  const size_t key_size = std::min(key.size(), kBlowfishMaxKeySize);
  if (key_size > 0) {
    size_t next = 0;
    for (uint32_t& subkey : p_) {
      uint32_t word = 0;
      for (int i = 0; i < 4; ++i) {
        word = word << 8 | key[next];
        next = next + 1 == key_size ? 0 : next + 1;
      }
      subkey ^= word;
    }
  }

  BlockHalves block{0, 0};
  for (size_t i = 0; i < kBlowfishSubkeys; i += 2) {
    block = Encrypt(block);
    p_[i] = block.left;
    p_[i + 1] = block.right;
  }
  for (auto& box : s_) {
    for (size_t i = 0; i < kBlowfishSBoxEntries; i += 2) {
      block = Encrypt(block);
      box[i] = block.left;
      box[i + 1] = block.right;
    }
  }
}

}  // namespace veltra::crypto
