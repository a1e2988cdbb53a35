// The cached copy of one block of a table file: a data record, an index page or a BLOB block.
//
// A buffer holds the in-memory form of its block, its 1-based block number, a dirty mark and a pin
// count. The file kinds differ only in how the in-memory form relates to the bytes on disk (a
// record may be encrypted there, an index page or BLOB block carries a header of its own before
// its data), so those conversions are the virtual hooks a subclass overrides. PlainBuffer is the
// kind whose disk image is its data.
//
// The dirty mark and the pin count belong to the cache (block_cache.h), which keeps its lists and
// counts in step with them; users change them only through the operations here and the pin
// guard of the buffered file. A buffer is used by one thread at a time, like the table it belongs
// to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

namespace veltra {

class BlockCache;
class BlockIndex;
class TBufferedFile;

// The index node that holds a buffer (block_index.h).
struct BlockIndexNode {};

// The page kind an index page is initialised with (the index file's page types); buffers of the
// other file kinds ignore it.
using PageKind = uint8_t;
inline constexpr PageKind kNoPageKind = 0;

class alignas(64) TBuffer {
 public:
  // A clean, unpinned buffer of `data_size` zero bytes with block number 0 (none yet).
  TBuffer(TBufferedFile& owner, uint32_t data_size);
  virtual ~TBuffer();
  TBuffer(const TBuffer&) = delete;
  TBuffer& operator=(const TBuffer&) = delete;

  TBufferedFile& Owner() const { return *owner_; }
  bool Dirty() const { return dirty_; }
  uint32_t PinCount() const { return pin_count_; }
  uint32_t BlockNumber() const { return block_number_; }
  uint32_t DataSize() const { return data_size_; }

  // The in-memory form. A caller that changes it must hold a pin and call MarkDirty, or the
  // change may be dropped when the buffer is replaced.
  std::span<std::byte> Data() { return {data_.get(), data_size_}; }
  std::span<const std::byte> Data() const { return {data_.get(), data_size_}; }

  // Marks the buffer changed, so that a write-back writes it and replacement keeps it.
  void MarkDirty();

  // Copies the dirty mark, the block number and the data of `other`. REQUIRES: the same data
  // size. A buffer in a cache keeps its own block number, which is its place in the cache.
  void Assign(const TBuffer& other);

  // Copies `bytes` into the start of the data and marks the buffer dirty. REQUIRES: bytes.size()
  // <= DataSize().
  void SetData(std::span<const std::byte> bytes);

  // Copies the start of the data into `out`. REQUIRES: out.size() <= DataSize().
  void GetData(std::span<std::byte> out) const;

  // Zeroes the data (an index page then takes `page_kind`) and clears the dirty mark.
  void Initialise(PageKind page_kind = kNoPageKind);

  // Turns the bytes read from the file into the in-memory form and clears the dirty mark.
  // REQUIRES: image.size() is the file's block size.
  void LoadFromDiskImage(std::span<const std::byte> image) {
    if (plain_image_ && image.size() >= data_size_) [[likely]] {
      std::memcpy(data_.get(), image.data(), data_size_);
      if (dirty_) ClearDirty();
    } else {
      DecodeDiskImage(image);
      ClearDirty();
    }
  }

  // Turns the in-memory form into the bytes to write. The dirty mark stays: the write-back clears
  // it once the bytes have reached the file, so a failed write leaves the change marked.
  // REQUIRES: image.size() is the file's block size.
  void SaveToDiskImage(std::span<std::byte> image) const;

  // Whether the data equals that of `other` / the first bytes of the data equal `bytes`.
  bool Equals(const TBuffer& other) const;
  bool EqualsData(std::span<const std::byte> bytes) const;

 protected:
  // The conversions a file kind supplies. The defaults treat the disk image as the data: zero
  // fill, copy in, copy out.
  virtual void InitialiseData(PageKind page_kind);
  virtual void DecodeDiskImage(std::span<const std::byte> image);
  virtual void EncodeDiskImage(std::span<std::byte> image) const;
  // Copies the in-memory form of `other`; a kind with state beside the data copies that too.
  virtual void AssignData(const TBuffer& other);
  virtual bool EqualsBuffer(const TBuffer& other) const;

  // For a kind whose disk image is its data: loading is then a plain copy.
  struct PlainImage {};
  TBuffer(TBufferedFile& owner, uint32_t data_size, PlainImage);

 private:
  friend class BlockCache;
  friend class BlockIndex;

  // Where the buffer stands with respect to a cache.
  enum class CacheState : uint8_t { csLoose, csCached, csDetached };

  void ClearDirty();

  // What every block access touches comes first, within the first cache line.
  std::unique_ptr<std::byte[]> data_;
  TBuffer* newer_ = nullptr;  // recency list, towards the head
  TBuffer* older_ = nullptr;  // recency list, towards the tail
  BlockIndexNode* index_node_ = nullptr;
  uint32_t block_number_ = 0;
  uint32_t pin_count_ = 0;
  bool dirty_ = false;
  bool plain_image_ = false;
  CacheState cache_state_ = CacheState::csLoose;  // kept by the cache, as the fields below

  uint32_t data_size_;
  TBufferedFile* owner_;
  BlockCache* cache_ = nullptr;
  TBuffer* dirty_prev_ = nullptr;
  TBuffer* dirty_next_ = nullptr;
  uint32_t slot_ = 0;  // index in the cache's owning array
};

// A buffer whose disk image is its data.
class PlainBuffer final : public TBuffer {
 public:
  PlainBuffer(TBufferedFile& owner, uint32_t data_size) : TBuffer(owner, data_size, PlainImage{}) {}
};

}  // namespace veltra
