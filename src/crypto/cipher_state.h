// The engine's built-in cipher state: Blowfish in cipher-block-chaining mode with a zero start
// vector. It is the key material of one table password; the open tables that use the password
// refer to the same state and encrypt every record, page, block and header with it, one unit at
// a time (buffer_cipher.h).
//
// Layout, 4184 bytes (kCipherStateSize), in this order:
//   start vector       8 bytes   always zero; the engine never supplies one
//   chaining register  8 bytes   the previous ciphertext block; the start vector after a reset
//   S-boxes         4096 bytes   keyed, 4 x 256 32-bit words
//   P-array           72 bytes   keyed, 18 32-bit words
// The two registers hold the block halves as numbers, not as bytes; only the behaviour is fixed.
// An application that replaces the cipher supplies its own opaque state instead, and the engine
// core routes the same calls to it.
//
// A state is used by one thread at a time (the chaining register changes with every block).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "crypto/blowfish.h"

namespace veltra::crypto {

constexpr size_t kCipherBlockSize = kBlowfishBlockSize;
constexpr size_t kCipherRegisterSize = kCipherBlockSize;
constexpr size_t kCipherStateSize = 2 * kCipherRegisterSize + kBlowfishKeyedSize;  // 4184

class CipherState {
 public:
  // Keys the cipher with `key` (Blowfish key schedule, see Blowfish) and clears both registers.
  // The engine always passes the 16-byte digest of a password. Never fails.
  explicit CipherState(std::span<const uint8_t> key) : cipher_(key) {}

  CipherState(const CipherState&) = delete;
  CipherState& operator=(const CipherState&) = delete;

  // CBC encryption of one block in place: x := block XOR chain; x := Blowfish(x); block := x;
  // chain := x.
  void EncryptBlock(std::span<uint8_t, kCipherBlockSize> block) {
    BlockHalves plain = LoadBlock(block.data());
    chain_ = cipher_.Encrypt({plain.left ^ chain_.left, plain.right ^ chain_.right});
    StoreBlock(block.data(), chain_);
  }

  // CBC decryption of one block in place: c := block; block := Blowfish-decrypt(c) XOR chain;
  // chain := c.
  void DecryptBlock(std::span<uint8_t, kCipherBlockSize> block) {
    BlockHalves cipher_text = LoadBlock(block.data());
    BlockHalves plain = cipher_.Decrypt(cipher_text);
    StoreBlock(block.data(), {plain.left ^ chain_.left, plain.right ^ chain_.right});
    chain_ = cipher_text;
  }

  // Starts a new chain: the chaining register becomes the start vector.
  void ResetChain() { chain_ = start_vector_; }

  // The same as EncryptBlock / DecryptBlock on `count` consecutive blocks at `blocks`, with the
  // chaining register kept in registers across them. REQUIRES: 8 * count bytes at `blocks`.
  void EncryptBlocks(uint8_t* blocks, size_t count);
  void DecryptBlocks(uint8_t* blocks, size_t count);

 private:
  BlockHalves start_vector_{0, 0};
  BlockHalves chain_{0, 0};
  Blowfish cipher_;
};

static_assert(sizeof(CipherState) == kCipherStateSize);

// Makes a keyed state for an owner (a password object) to hold.
std::unique_ptr<CipherState> CreateCipherState(std::span<const uint8_t> key);

}  // namespace veltra::crypto
