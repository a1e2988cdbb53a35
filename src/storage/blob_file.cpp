#include "storage/blob_file.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>

#include "core/data_engine.h"
#include "storage/file_kind.h"

namespace veltra {

namespace {

// A walk of the free-block chain that keeps getting the retry answer is given up after this many
// fresh starts: each one means that another process changed the table meanwhile.
constexpr int kMaxFreeChainWalks = 8;

// The code a block size earns, or 0 when the size is acceptable. `range_code` is raised for a
// size outside the table limits.
TEngineCode BlockSizeProblem(const TBlobFileParameters& parameters, TEngineCode range_code) {
  if (parameters.block_size < kMinBlobBlockSize || parameters.block_size > kMaxBlobBlockSize) {
    return range_code;
  }
  if (parameters.cipher != nullptr && parameters.block_size % kCipherUnitSize != 0) {
    return kErrBlobFieldLimits;
  }
  return 0;
}

std::span<std::byte> AsStorageBytes(TBlobHeaderImage& image) {
  return {reinterpret_cast<std::byte*>(image.data()), image.size()};
}

}  // namespace

TBlobFile::TBlobFile(const TDataEngine& engine, BlobStorage& storage, BufferedFileOwner& owner)
    : TBufferedFile(kBlobFileKind, storage, owner), engine_(engine), storage_(storage) {}

std::unique_ptr<TBuffer> TBlobFile::NewBuffer() {
  return std::make_unique<TBlock>(*this, BufferDataSize(), codec_);
}

void TBlobFile::RaiseForTable(TEngineCode code) const {
  RaiseEngineError(code, Owner().ErrorContext());
}

void TBlobFile::Prepare(const TBlobFileParameters& parameters) {
  DiscardAll();
  codec_.cipher = parameters.cipher;
  Configure(BlockFileLayout{
      .block_size = parameters.block_size,
      .first_block_offset = kBlobFileHeaderSize,
      .budget = {.max_bytes = engine_.MaxTableBlobBufferSize(),
                 .max_count = engine_.MaxTableBlobBufferCount()},
      .max_file_size = engine_.Limits().MaxTableFileSize,
      .max_records = 0,
  });
}

void TBlobFile::CreateHeader(const TBlobFileParameters& parameters) {
  if (const TEngineCode problem = BlockSizeProblem(parameters, kErrBlobFieldLimits)) {
    RaiseForTable(problem);
  }
  Prepare(parameters);
  TakeHeader(TBlobHeader{.change_counter = 0,
                         .version = kBlobFileVersion,
                         .signature = engine_.SignatureDigest(),
                         .first_free_block = 0,
                         .next_new_block = 1});
  SetHeaderChanged(true);
  WriteHeader();
}

void TBlobFile::ReadHeader(const TBlobFileParameters& parameters) {
  if (const TEngineCode problem = BlockSizeProblem(parameters, kErrHeaderCorrupt)) {
    RaiseForTable(problem);
  }
  Prepare(parameters);
  TakeHeader(ReadHeaderImage());
}

TBlobHeader TBlobFile::ReadHeaderImage() {
  TBlobHeaderImage image{};
  const StorageResult read = storage_.ReadAt(0, AsStorageBytes(image));
  if (!read.ok()) RaiseForTable(read.error);
  if (read.bytes < image.size()) RaiseForTable(kErrInvalidTableFile);
  if (codec_.cipher != nullptr) TDataEngine::DecryptBuffer(*codec_.cipher, image);
  const TBlobHeader header = DecodeBlobHeader(image);
  if (const TEngineCode problem = CheckBlobHeaderVersion(header, engine_.SignatureDigest())) {
    RaiseForTable(problem);
  }
  return header;
}

void TBlobFile::TakeHeader(const TBlobHeader& header) {
  header_ = header;
  block_count_damaged_ = header.next_new_block < 1;
  SetLastBlockNumber(block_count_damaged_ ? 0 : static_cast<uint32_t>(header.next_new_block) - 1);
  SetHeaderChanged(false);
}

TBlobHeader TBlobFile::Header() const {
  TBlobHeader header = header_;
  // A damaged count is kept as read until a repair sets it.
  if (!block_count_damaged_) header.next_new_block = static_cast<int32_t>(NextNewBlock());
  header.modified = HeaderChanged();
  return header;
}

void TBlobFile::WriteHeader() {
  TBlobHeader header = Header();
  header.change_counter = NextChangeCounter(header_.change_counter);
  TBlobHeaderImage image = EncodeBlobHeader(header);
  if (codec_.cipher != nullptr) TDataEngine::EncryptBuffer(*codec_.cipher, image);
  const StorageResult written = storage_.WriteAt(0, AsStorageBytes(image));
  if (!written.ok()) RaiseForTable(written.error);
  header_.change_counter = header.change_counter;
  SetHeaderChanged(false);
  Owner().MarkWritten();
}

bool TBlobFile::WriteHeaderIfChanged(bool force) {
  if (!force && !HeaderChanged()) return false;
  WriteHeader();
  return true;
}

bool TBlobFile::ReloadHeader() {
  const TBlobHeader header = ReadHeaderImage();
  const bool moved = header.change_counter != header_.change_counter;
  TakeHeader(header);
  return moved;
}

void TBlobFile::MarkHeaderChanged() {
  header_.change_counter = NextChangeCounter(header_.change_counter);
  SetHeaderChanged(true);
}

void TBlobFile::CheckBlobHeader() const {
  if (block_count_damaged_ || !BlobHeaderBlocksValid(Header())) RaiseForTable(kErrHeaderCorrupt);
}

void TBlobFile::SetFirstFreeBlock(int32_t block) {
  header_.first_free_block = block;
  SetHeaderChanged(true);
}

void TBlobFile::EmptyBlobFile() {
  DiscardAll();
  storage_.Truncate(kBlobFileHeaderSize);
  header_.version = kBlobFileVersion;
  header_.first_free_block = 0;
  block_count_damaged_ = false;
  SetLastBlockNumber(0);
  SetHeaderChanged(true);
}

BlockPin TBlobFile::TakeBlock() {
  if (block_count_damaged_) RaiseForTable(kErrHeaderCorrupt);
  const int32_t first = header_.first_free_block;
  if (first == 0) {
    // Block numbers are signed on disk: the count must stay representable.
    if (LastBlockNumber() >= 2147483646u) RaiseForTable(kErrTableFull);
    return GetBlock(LastBlockNumber() + 1);  // appended zeroed, dirty and counted
  }
  if (first < 0 || static_cast<uint32_t>(first) > LastBlockNumber()) RaiseCorrupt();
  BlockPin pin = GetBlock(static_cast<uint32_t>(first));
  if (pin.Retry()) return pin;
  // A block held by someone else is in use: the chain led into a value.
  if (pin->PinCount() > 1) RaiseCorrupt();
  const int32_t next = pin->Next();
  if (next < 0 || static_cast<uint32_t>(next) > LastBlockNumber() || next == first) {
    RaiseCorrupt();
  }
  header_.first_free_block = next;
  SetHeaderChanged(true);
  pin->Initialise();
  pin->MarkDirty();
  return pin;
}

void TBlobFile::FreeBlock(TBlock& block) {
  const uint32_t number = block.BlockNumber();
  if (number == 0 || number > LastBlockNumber() ||
      static_cast<int64_t>(number) == header_.first_free_block) {
    RaiseCorrupt();
  }
  block.SetNext(header_.first_free_block);
  header_.first_free_block = static_cast<int32_t>(number);
  SetHeaderChanged(true);
}

size_t TBlobFile::ReadFromBlock(const TBlock& block, uint32_t offset,
                                std::span<std::byte> out) const {
  const uint32_t area = BufferDataSize();
  if (offset > area || out.size() > area - offset) RaiseForTable(kErrInvalidBlobLength);
  if (block.Used() > area) RaiseCorrupt();
  if (offset >= block.Used()) return 0;
  const size_t count = std::min<size_t>(out.size(), block.Used() - offset);
  std::memcpy(out.data(), block.Data().data() + offset, count);
  return count;
}

size_t TBlobFile::WriteIntoBlock(TBlock& block, uint32_t offset, std::span<const std::byte> bytes) {
  const uint32_t area = BufferDataSize();
  if (offset > area || bytes.size() > area - offset) RaiseForTable(kErrInvalidBlobLength);
  if (!bytes.empty()) std::memcpy(block.Data().data() + offset, bytes.data(), bytes.size());
  const auto end = static_cast<uint16_t>(offset + bytes.size());
  if (end > block.Used()) {
    block.SetUsed(end);
  } else {
    block.MarkDirty();
  }
  return bytes.size();
}

TBlobFile::FreeChainState TBlobFile::WalkFreeChain(uint32_t limit) {
  std::unordered_set<uint32_t> visited;
  int32_t block = header_.first_free_block;
  while (block != 0) {
    if (block < 0 || static_cast<uint32_t>(block) > limit) return FreeChainState::fsDamaged;
    if (!visited.insert(static_cast<uint32_t>(block)).second) return FreeChainState::fsDamaged;
    BlockPin pin = GetBlock(static_cast<uint32_t>(block));
    if (pin.Retry()) return FreeChainState::fsRetry;
    block = pin->Next();
  }
  return FreeChainState::fsValid;
}

bool TBlobFile::VerifyBlobFile(bool repair, const TBlobVerifyLog& log) {
  bool clean = true;
  auto report = [&](std::string_view finding) {
    clean = false;
    if (!log) return;
    if (repair) {
      log(std::string(finding) + std::string(kErrorFixedSuffix));
    } else {
      log(finding);
    }
  };

  if (DirtyCount() > 0) (void)WriteBack(false);
  const uint64_t block_size = BlockSize();
  const uint64_t length = storage_.Size();
  const uint64_t body = length > kBlobFileHeaderSize ? length - kBlobFileHeaderSize : 0;
  const uint64_t physical = body / block_size;
  if (body % block_size != 0) {
    report(kBlobNotAligned);
    if (repair) {
      DiscardAll();
      storage_.Truncate(kBlobFileHeaderSize + physical * block_size);
    }
  }

  // The largest count the header can hold (block numbers are signed on disk).
  const uint64_t countable = std::min<uint64_t>(physical, 2147483646u);
  if (block_count_damaged_ || countable + 1 != NextNewBlock()) {
    report(kBlobBlockCountWrong);
    if (repair) {
      DiscardAll();
      block_count_damaged_ = false;
      SetLastBlockNumber(static_cast<uint32_t>(countable));
    }
  }

  // Only blocks the file really holds can be followed.
  const auto limit = static_cast<uint32_t>(std::min<uint64_t>(countable, LastBlockNumber()));
  FreeChainState state = FreeChainState::fsRetry;
  for (int walk = 0; walk < kMaxFreeChainWalks && state == FreeChainState::fsRetry; ++walk) {
    state = WalkFreeChain(limit);
  }
  if (state == FreeChainState::fsRetry) RaiseForTable(kErrTableReadLock);
  if (state == FreeChainState::fsDamaged) {
    report(kBlobFreePointerInvalid);
    if (repair) header_.first_free_block = 0;
  }

  if (repair) SetHeaderChanged(true);
  return clean;
}

}  // namespace veltra
