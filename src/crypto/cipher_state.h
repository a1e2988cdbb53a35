// The engine's built-in cipher state: Blowfish in cipher-block-chaining mode with a zero start
// vector. It is the key material of one table password; the open tables that use the password
// refer to the same state and encrypt every record, page, block and header with it, one unit at
// a time (the buffer operations below).
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

#include <concepts>
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

// Buffers. A buffer (a record, an index page, a BLOB block, a header or a definition area) is
// processed as its whole 8-byte blocks from the start, in order, each chained to the one before,
// and then the chain is reset. Bytes after the last whole block stay as they are; an area shorter
// than 8 bytes is not changed at all. Every call is therefore an independent CBC message from a
// zero start vector, so any unit can be read and written on its own, in any order, and two equal
// units encrypt alike.
//
// TransformBuffer holds these rules for any block cipher, so a cipher the application supplies
// (through the engine core's hooks) is driven in exactly the same units and order as the built-in
// one. EncryptBuffer / DecryptBuffer are the built-in cipher's path. No allocation; the caller's
// area is transformed in place.

// Calls `block_op` with each whole 8-byte block of `area`, first to last, then calls `reset`
// once; `reset` runs also when the area holds no whole block. When `block_op` throws, the later
// blocks are left alone, `reset` still runs and the block's exception propagates (an exception
// from that `reset` is dropped, so the first failure is the one reported). An exception from
// `reset` after all blocks succeeded propagates.
template <typename BlockOp, typename ResetOp>
requires std::invocable<BlockOp&, std::span<uint8_t, kCipherBlockSize>> && std::invocable<ResetOp&>
void TransformBuffer(std::span<uint8_t> area, BlockOp&& block_op, ResetOp&& reset) {
  const size_t block_count = area.size() / kCipherBlockSize;
  uint8_t* block = area.data();
  try {
    for (size_t i = 0; i < block_count; ++i, block += kCipherBlockSize) {
      block_op(std::span<uint8_t, kCipherBlockSize>(block, kCipherBlockSize));
    }
  } catch (...) {
    try {
      reset();
    } catch (...) {
    }
    throw;
  }
  reset();
}

// Encrypts the whole blocks of `area` in place with `state` (CBC from a zero start vector) and
// leaves the chain reset. Never fails.
void EncryptBuffer(CipherState& state, std::span<uint8_t> area);

// The inverse of EncryptBuffer with the same state: decrypts the whole blocks of `area` in place
// and leaves the chain reset. Never fails; a wrong key gives wrong bytes, not an error.
void DecryptBuffer(CipherState& state, std::span<uint8_t> area);

}  // namespace veltra::crypto
