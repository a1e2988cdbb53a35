// The data file's buffer: one record (TRecord). Its data is the plain record; on disk the record
// of an encrypted table is encrypted as one buffer with the table password's cipher, so a cached
// record never costs cipher work and the cipher runs only when a record is read or written.
#pragma once

#include <cstdint>
#include <span>

#include "core/engine_hooks.h"
#include "storage/buffer.h"

namespace veltra {

// Where a record finds the cipher of its table: null while the table is not encrypted.
class RecordCipherSource {
 public:
  virtual ~RecordCipherSource() = default;
  virtual TCipherContext* RecordCipher() const = 0;
};

class TRecord final : public TBuffer {
 public:
  // REQUIRES: `owner` and `cipher` outlive the record.
  TRecord(TBufferedFile& owner, uint32_t record_size, const RecordCipherSource& cipher)
      : TBuffer(owner, record_size), cipher_(cipher) {}

  // The record's bytes, for the layout helpers (record_layout.h).
  std::span<uint8_t> Bytes() { return {reinterpret_cast<uint8_t*>(Data().data()), Data().size()}; }
  std::span<const uint8_t> Bytes() const {
    return {reinterpret_cast<const uint8_t*>(Data().data()), Data().size()};
  }

 protected:
  // Copies the image and decrypts it in place when the table is encrypted.
  void DecodeDiskImage(std::span<const std::byte> image) override;
  // Copies the data into the image and encrypts the image when the table is encrypted.
  void EncodeDiskImage(std::span<std::byte> image) const override;

 private:
  const RecordCipherSource& cipher_;
};

}  // namespace veltra
