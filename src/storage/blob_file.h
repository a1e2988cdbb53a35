// The BLOB file of a table (TBlobFile): the buffered block file that holds the table's BLOB, memo
// and graphic values in chains of fixed-size blocks, after a 512-byte header (blob_header.h).
// Block n (from 1) lies at 512 + (n - 1) × block size; each block carries an 18-byte header of its
// own (blob_block.h).
//
// Blocks that no value uses form the free-block chain, headed by the header's first free block
// and linked through the blocks' next links: the block freed last is taken first. Taking a block
// when the chain is empty appends one, growing the file up to the engine's file-size limit.
//
// An encrypted table's BLOB file encrypts its header as one 512-byte unit and every block, header
// included, as one block-size unit, with the table password's cipher. The cipher works in 8-byte
// units and leaves a shorter tail as it is, so the block size of an encrypted table must be a
// multiple of 8: a size that is not would leave the end of every block in plain text.
//
// The walks along chains (the value chains in blob_chain.h, the free-block chain here) never visit
// a block twice and never take more steps than the file has blocks: a damaged or cyclic chain is
// kErrBlobBlockCorrupt, never a loop.
//
// One thread at a time uses a BLOB file, like the open table that owns it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <utility>

#include "core/engine_hooks.h"
#include "storage/blob_block.h"
#include "storage/blob_header.h"
#include "storage/blob_storage.h"
#include "storage/buffered_file.h"

namespace veltra {

class TDataEngine;

// The block sizes a table may have.
inline constexpr uint32_t kMinBlobBlockSize = 64;
inline constexpr uint32_t kMaxBlobBlockSize = 65536;
// The unit of the table cipher: an encrypted table's block size is a multiple of it.
inline constexpr uint32_t kCipherUnitSize = 8;

// What verification reports, and the suffix of a finding that was repaired.
inline constexpr std::string_view kBlobNotAligned =
    "BLOB blocks not aligned on even block size boundaries";
inline constexpr std::string_view kBlobBlockCountWrong = "Physical BLOB block count not correct";
inline constexpr std::string_view kBlobFreePointerInvalid =
    "Invalid free BLOB block pointer in header";
inline constexpr std::string_view kErrorFixedSuffix = ", error fixed";

// Receives each finding of a verification as one line.
using TBlobVerifyLog = std::function<void(std::string_view message)>;

// How a BLOB file is opened or created.
struct TBlobFileParameters {
  uint32_t block_size = 512;         // the table's BLOB block size (from its data header)
  TCipherContext* cipher = nullptr;  // the table password's cipher; null for a plain table
};

// A pin on one block of a BLOB file, or no block: the retry answer (see buffered_file.h).
class [[nodiscard]] BlockPin {
 public:
  BlockPin() = default;
  explicit BlockPin(BufferPin pin) : pin_(std::move(pin)) {}

  bool Retry() const { return pin_.Retry(); }
  explicit operator bool() const { return static_cast<bool>(pin_); }
  TBlock& operator*() const { return static_cast<TBlock&>(*pin_); }
  TBlock* operator->() const { return static_cast<TBlock*>(pin_.Get()); }
  uint32_t Number() const { return pin_->BlockNumber(); }
  void Reset() { pin_.Reset(); }

 private:
  BufferPin pin_;
};

class TBlobFile final : public TBufferedFile {
 public:
  // A BLOB file over `storage` for the table `owner`, with the cache budget, the file-size limit
  // and the signature digest of `engine`. REQUIRES: all three outlive the object; CreateHeader or
  // ReadHeader before any other operation.
  TBlobFile(const TDataEngine& engine, BlobStorage& storage, BufferedFileOwner& owner);

  // Sets up a new, empty file: a header with version 6, the engine's signature digest, no free
  // block and next new block 1, written at once (its change counter becomes 1). A block size
  // outside 64..65536, or one that is not a multiple of 8 for an encrypted table, is
  // kErrBlobFieldLimits and nothing is written. REQUIRES: the file is empty.
  void CreateHeader(const TBlobFileParameters& parameters);

  // Reads the header of an existing file and checks its version and signature: below 6 is
  // kErrTableVersion; above 6, or version 6 with neither accepted signature, or a file shorter
  // than its header, is kErrInvalidTableFile. A block size outside 64..65536 is kErrHeaderCorrupt;
  // one that is not a multiple of 8 for an encrypted table is kErrBlobFieldLimits. The block
  // fields are taken as they stand: CheckBlobHeader judges them. Any cached block is dropped.
  void ReadHeader(const TBlobFileParameters& parameters);

  // Raises the change counter, writes the header (encrypted for an encrypted table) and marks the
  // table written. The header stays marked changed when the write fails.
  void WriteHeader();
  // Writes the header when it is marked changed or `force`; whether it was written.
  bool WriteHeaderIfChanged(bool force = false);

  // Reads the header again and takes it; true when its change counter moved. The same version
  // checks as ReadHeader. The caller discards the cached blocks when it moved.
  bool ReloadHeader();

  // Raises the change counter in memory and marks the header changed, without writing (a change
  // inside a transaction, or by an exclusive user).
  void MarkHeaderChanged();

  // The block fields as read: next new block at least 1; with next new block 1 no free block,
  // otherwise a first free block from 0 to the block count. Else kErrHeaderCorrupt.
  void CheckBlobHeader() const;

  // Cuts the file back to its header and resets the header (version 6, next new block 1, no free
  // block), marked for writing. Every cached block is dropped unwritten.
  void EmptyBlobFile();

  // Checks the file's length against the block size and the header, and the free-block chain,
  // reporting each finding through `log` (may be empty). With `repair` it fixes each one (cutting
  // a partial block, setting the block count from the length, emptying a damaged free-block
  // chain), reports it with ", error fixed", and marks the header for writing. True when nothing
  // was found. Dirty blocks are written back first, so the length is the file's true one.
  bool VerifyBlobFile(bool repair, const TBlobVerifyLog& log);

  // Block `block`, pinned, or the retry answer. Errors as TBufferedFile::GetBuffer.
  BlockPin GetBlock(uint32_t block, const BufferRequest& request = {}) {
    return BlockPin(GetBuffer(block, request));
  }

  // A cleared block, dirty and pinned: the first block of the free-block chain, which the chain
  // then leaves, or else a new block at the end of the file (kErrTableFull beyond the file-size
  // limit). A free-block chain that points outside the file, at itself, or at a block in use is
  // kErrBlobBlockCorrupt. May give the retry answer when the block has to be read.
  BlockPin TakeBlock();

  // Puts `block` at the head of the free-block chain, its next link on the former head. Freeing
  // the head again is kErrBlobBlockCorrupt. REQUIRES: the caller holds a pin on `block`.
  void FreeBlock(TBlock& block);

  // Copies from the data area of `block` at `offset` into `out`, at most up to its used count;
  // returns the bytes copied. A range beyond the data area is kErrInvalidBlobLength; a used count
  // beyond it is kErrBlobBlockCorrupt.
  size_t ReadFromBlock(const TBlock& block, uint32_t offset, std::span<std::byte> out) const;

  // Copies `bytes` into the data area of `block` at `offset`, raises its used count to cover them
  // and marks it dirty; returns the bytes copied. A range beyond the data area is
  // kErrInvalidBlobLength. REQUIRES: the caller holds a pin on `block`.
  size_t WriteIntoBlock(TBlock& block, uint32_t offset, std::span<const std::byte> bytes);

  // The header as it would be written now.
  TBlobHeader Header() const;
  uint32_t ChangeCounter() const { return header_.change_counter; }
  int32_t FirstFreeBlock() const { return header_.first_free_block; }
  void SetFirstFreeBlock(int32_t block);
  uint32_t NextNewBlock() const { return LastBlockNumber() + 1; }
  bool Encrypted() const { return codec_.cipher != nullptr; }

  // Raises the kind's corruption error (kErrBlobBlockCorrupt) for the table.
  [[noreturn]] void RaiseBlockCorrupt() const { RaiseCorrupt(); }
  // Raises `code` for the table.
  [[noreturn]] void RaiseForTable(TEngineCode code) const;

 protected:
  std::unique_ptr<TBuffer> NewBuffer() override;

 private:
  void Prepare(const TBlobFileParameters& parameters);
  TBlobHeader ReadHeaderImage();
  void TakeHeader(const TBlobHeader& header);
  enum class FreeChainState : uint8_t { fsValid, fsDamaged, fsRetry };
  FreeChainState WalkFreeChain(uint32_t limit);

  const TDataEngine& engine_;
  BlobStorage& storage_;
  TBlockCodec codec_;
  TBlobHeader header_;
  // The header read had no valid next new block; CheckBlobHeader reports it.
  bool block_count_damaged_ = false;
};

}  // namespace veltra
