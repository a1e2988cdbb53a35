#include "storage/blob_chain.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <unordered_set>

namespace veltra {

namespace {

TLoadedChain Answer(TChainStatus status) { return TLoadedChain{.status = status, .bytes = {}}; }
TWrittenChain WriteAnswer(TChainStatus status) {
  return TWrittenChain{.status = status, .first_block = 0};
}

// Bytes reserved for a loaded value before its blocks are read: the stored length is untrusted
// until the chain delivers it, so memory grows with the bytes really found beyond this.
constexpr uint64_t kMaxReserve = uint64_t{1} << 20;

// How far the BLOB file reads ahead: as many blocks as the value still needs.
class ChainReadAhead final : public ReadAheadSource {
 public:
  explicit ChainReadAhead(uint32_t area) : area_(area) {}

  void SetRemaining(uint64_t bytes) { remaining_ = bytes; }
  BufferRequest Request() {
    return {.cursor = this, .direction = ReadAheadDirection::rdForward, .read_ahead = true};
  }
  uint32_t ReadAheadCount(ReadAheadDirection) override {
    const uint64_t blocks = (remaining_ + area_ - 1) / area_;
    return static_cast<uint32_t>(
        std::clamp<uint64_t>(blocks, 1, std::numeric_limits<uint32_t>::max()));
  }

 private:
  uint32_t area_;
  uint64_t remaining_ = 0;
};

// The blocks one walk has met. Entering a link that names no block of the file, or a block met
// before (a cycle), is the corruption error; so the walk takes at most as many steps as the file
// has blocks. Short chains, the common case, are kept without allocating.
class ChainWalk {
 public:
  explicit ChainWalk(const TBlobFile& file) : file_(file) {}

  uint32_t Enter(int64_t link) {
    if (link <= 0 || link > int64_t{file_.LastBlockNumber()}) file_.RaiseBlockCorrupt();
    const auto block = static_cast<uint32_t>(link);
    if (!Insert(block)) file_.RaiseBlockCorrupt();
    return block;
  }

 private:
  bool Insert(uint32_t block) {
    const auto begin = recent_.begin();
    const auto end = begin + recent_count_;
    if (std::find(begin, end, block) != end) return false;
    if (recent_count_ < recent_.size()) {
      recent_[recent_count_++] = block;
      return true;
    }
    return more_.insert(block).second;
  }

  const TBlobFile& file_;
  std::array<uint32_t, 16> recent_{};
  size_t recent_count_ = 0;
  std::unordered_set<uint32_t> more_;
};

// Takes a block for a chain; a block this walk has met already is a damaged free-block chain.
BlockPin TakeChainBlock(TBlobFile& file, ChainWalk& walk) {
  BlockPin pin = file.TakeBlock();
  if (!pin.Retry()) walk.Enter(pin.Number());
  return pin;
}

// A block about to be rewritten or freed must be ours alone.
void CheckUnshared(const TBlobFile& file, const BlockPin& pin) {
  if (pin->PinCount() > 1) file.RaiseBlockCorrupt();
}

// Frees the chain from `link` on. Every block must carry `expected` (when given, else the first
// block's revision); each gets `new_revision`. `remaining` estimates the bytes the chain holds, for
// the read-ahead.
TChainStatus FreeFrom(TBlobFile& file, ChainWalk& walk, int64_t link,
                      std::optional<int32_t> expected, int32_t new_revision, uint64_t remaining) {
  const uint32_t area = file.BufferDataSize();
  ChainReadAhead ahead(area);
  bool first = true;
  while (link != 0) {
    const uint32_t block = walk.Enter(link);
    ahead.SetRemaining(remaining);
    BlockPin pin = first ? file.GetBlock(block) : file.GetBlock(block, ahead.Request());
    if (pin.Retry()) return TChainStatus::csRetry;
    CheckUnshared(file, pin);
    if (!expected) {
      expected = pin->Revision();
      remaining = pin->TotalLength();
    } else if (pin->Revision() != *expected) {
      file.RaiseBlockCorrupt();
    }
    first = false;
    remaining = remaining > area ? remaining - area : 0;
    link = pin->Next();
    pin->SetRevision(new_revision);
    file.FreeBlock(*pin);
  }
  return TChainStatus::csDone;
}

}  // namespace

TLoadedChain LoadBlobChain(TBlobFile& file, uint32_t first_block, int32_t revision) {
  TLoadedChain result;
  if (first_block == 0) return result;
  ChainWalk walk(file);
  walk.Enter(first_block);
  BlockPin pin = file.GetBlock(first_block);
  if (pin.Retry()) return Answer(TChainStatus::csRetry);
  if (pin->Revision() != revision) return Answer(TChainStatus::csStale);

  const uint32_t area = file.BufferDataSize();
  const uint64_t total = pin->TotalLength();
  // No chain of this file can hold more: the value ends prematurely whatever its blocks say.
  if (total > uint64_t{file.LastBlockNumber()} * area) file.RaiseForTable(kErrBlobEndReached);
  result.bytes.reserve(static_cast<size_t>(std::min(total, kMaxReserve)));
  ChainReadAhead ahead(area);
  for (;;) {
    const uint64_t missing = total - result.bytes.size();
    const auto wanted = static_cast<size_t>(std::min<uint64_t>(area, missing));
    const size_t start = result.bytes.size();
    result.bytes.resize(start + wanted);
    const size_t count =
        file.ReadFromBlock(*pin, 0, std::span<std::byte>(result.bytes).subspan(start, wanted));
    result.bytes.resize(start + count);
    // A block that holds less than it should ends the chain.
    if (count < wanted || count == missing) break;
    const int32_t next = pin->Next();
    if (next == 0) break;
    walk.Enter(next);
    ahead.SetRemaining(missing - count);
    pin = file.GetBlock(static_cast<uint32_t>(next), ahead.Request());
    if (pin.Retry()) return Answer(TChainStatus::csRetry);
    if (pin->Revision() != revision) return Answer(TChainStatus::csStale);
  }
  if (result.bytes.size() != total) file.RaiseForTable(kErrBlobEndReached);
  return result;
}

TWrittenChain WriteBlobChain(TBlobFile& file, uint32_t old_first_block, int32_t revision,
                             std::span<const std::byte> stored) {
  if (stored.empty()) return WriteAnswer(FreeBlobChain(file, old_first_block, revision));
  if (stored.size() > std::numeric_limits<uint32_t>::max()) {
    file.RaiseForTable(kErrInvalidBlobLength);
  }
  const uint32_t area = file.BufferDataSize();
  ChainWalk walk(file);
  ChainReadAhead ahead(area);

  // The old chain, followed as its blocks are reused.
  int32_t old_revision = 0;
  uint64_t old_total = 0;
  uint64_t old_reused = 0;
  int64_t old_next = 0;
  BlockPin pin;
  if (old_first_block != 0) {
    walk.Enter(old_first_block);
    pin = file.GetBlock(old_first_block);
    if (pin.Retry()) return WriteAnswer(TChainStatus::csRetry);
    CheckUnshared(file, pin);
    old_revision = pin->Revision();
    old_total = pin->TotalLength();
    old_next = pin->Next();
    old_reused = 1;
  } else {
    pin = TakeChainBlock(file, walk);
    if (pin.Retry()) return WriteAnswer(TChainStatus::csRetry);
  }
  const uint32_t first = pin.Number();
  pin->SetPrevious(0);
  pin->SetTotalLength(static_cast<uint32_t>(stored.size()));

  size_t offset = 0;
  for (;;) {
    pin->SetRevision(revision);
    const size_t count = std::min<size_t>(area, stored.size() - offset);
    (void)file.WriteIntoBlock(*pin, 0, stored.subspan(offset, count));
    pin->SetUsed(static_cast<uint16_t>(count));
    offset += count;
    if (offset == stored.size()) break;

    BlockPin next;
    if (old_next != 0) {
      walk.Enter(old_next);
      ahead.SetRemaining(stored.size() - offset);
      next = file.GetBlock(static_cast<uint32_t>(old_next), ahead.Request());
      if (next.Retry()) return WriteAnswer(TChainStatus::csRetry);
      CheckUnshared(file, next);
      if (next->Revision() != old_revision) file.RaiseBlockCorrupt();
      old_next = next->Next();
      ++old_reused;
    } else {
      next = TakeChainBlock(file, walk);
      if (next.Retry()) return WriteAnswer(TChainStatus::csRetry);
    }
    pin->SetNext(static_cast<int32_t>(next.Number()));
    next->SetPrevious(static_cast<int32_t>(pin.Number()));
    next->SetTotalLength(0);
    pin = std::move(next);
  }
  pin->SetNext(0);
  pin.Reset();

  if (old_next != 0) {
    const uint64_t covered = old_reused * area;
    const uint64_t rest = old_total > covered ? old_total - covered : area;
    const TChainStatus freed = FreeFrom(file, walk, old_next, old_revision, revision, rest);
    if (freed != TChainStatus::csDone) return WriteAnswer(freed);
  }
  return {.status = TChainStatus::csDone, .first_block = first};
}

TChainStatus FreeBlobChain(TBlobFile& file, uint32_t first_block, int32_t new_revision) {
  if (first_block == 0) return TChainStatus::csDone;
  ChainWalk walk(file);
  return FreeFrom(file, walk, first_block, std::nullopt, new_revision, 0);
}

}  // namespace veltra
