// The 512-byte header at the start of a table's data file, and its codec.
//
// Layout (little-endian integers):
//   0   4  signed    change counter: raised at every header write
//   4   4  -         reserved, zero
//   8   1  unsigned  format version (6)
//   9  16  bytes     signature digest: MD5 of the engine's signature text
//  25   4  signed    next free record: head of the free chain, 0 when empty
//  29   4  signed    next record number: physical record count + 1
//  33   4  signed    last record ID issued
//  37   4  signed    last auto-increment value issued
//  41   4  signed    record count (live records)
//  45   2  unsigned  physical record size
//  47   2  unsigned  field count (1 to 1,024)
//  49   2  unsigned  BLOB field count (at most 128)
//  51   4  unsigned  BLOB block size of the BLOB file
//  55   4  signed    last BLOB revision number issued
//  59   4  unsigned  index page size of the index file
//  63   8  double    last update: days since 30 December 1899 (time as fraction) - 693,594
//  71 101  short     table description, capacity 100
// 172   1  Boolean   encrypted
// 173  16  bytes     password check value (zero when not encrypted)
// 189   4  unsigned  locale id (0: the engine's default locale)
// 193   2  unsigned  user major version
// 195   2  unsigned  user minor version
// 197   1  Boolean   header-changed mark; ignored on reading
// 198 314  -         reserved, zero
//
// The header is never encrypted, so that a table's version, signature and check value can be read
// before any password is known.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "crypto/md5.h"
#include "crypto/table_password.h"

namespace veltra {

inline constexpr size_t kDataHeaderSize = 512;

inline constexpr size_t kHdrChangeCounter = 0;
inline constexpr size_t kHdrVersion = 8;
inline constexpr size_t kHdrSignature = 9;
inline constexpr size_t kHdrNextFreeRecord = 25;
inline constexpr size_t kHdrNextRecordNumber = 29;
inline constexpr size_t kHdrLastRecordId = 33;
inline constexpr size_t kHdrLastAutoIncrement = 37;
inline constexpr size_t kHdrRecordCount = 41;
inline constexpr size_t kHdrRecordSize = 45;
inline constexpr size_t kHdrFieldCount = 47;
inline constexpr size_t kHdrBlobFieldCount = 49;
inline constexpr size_t kHdrBlobBlockSize = 51;
inline constexpr size_t kHdrLastBlobRevision = 55;
inline constexpr size_t kHdrIndexPageSize = 59;
inline constexpr size_t kHdrLastUpdate = 63;
inline constexpr size_t kHdrDescription = 71;
inline constexpr size_t kHdrEncrypted = 172;
inline constexpr size_t kHdrCheckValue = 173;
inline constexpr size_t kHdrLocale = 189;
inline constexpr size_t kHdrUserMajorVersion = 193;
inline constexpr size_t kHdrUserMinorVersion = 195;
inline constexpr size_t kHdrChangedMark = 197;

inline constexpr size_t kTableDescriptionCapacity = 100;

// The format version this engine writes; 0 to 5 are older versions of the format.
inline constexpr uint8_t kDataFileVersion = 6;
inline constexpr uint16_t kMaxFieldCount = 1024;
inline constexpr uint16_t kMaxBlobFieldCount = 128;

// The application's date-times count days from 30 December 1899; the header stores that number
// minus this offset.
inline constexpr double kLastUpdateDayOffset = 693594.0;

using DataHeaderImage = std::array<uint8_t, kDataHeaderSize>;

struct TDataFileHeader {
  int32_t change_counter = 0;
  uint8_t version = 0;
  crypto::TDigest signature{};
  int32_t next_free_record = 0;
  int32_t next_record_number = 0;
  int32_t last_record_id = 0;
  int32_t last_auto_increment = 0;
  int32_t record_count = 0;
  uint16_t record_size = 0;
  uint16_t field_count = 0;
  uint16_t blob_field_count = 0;
  uint32_t blob_block_size = 0;
  int32_t last_blob_revision = 0;
  uint32_t index_page_size = 0;
  double last_update = 0.0;  // as stored (see the layout)
  std::string description;   // at most kTableDescriptionCapacity characters
  bool encrypted = false;
  crypto::TPasswordCheckValue check_value{};
  uint32_t locale = 0;
  uint16_t user_major_version = 0;
  uint16_t user_minor_version = 0;

  bool operator==(const TDataFileHeader&) const = default;
};

// The 512 bytes of `header`. The header-changed mark is written as `changed_mark`; reserved bytes
// are zero.
DataHeaderImage EncodeDataFileHeader(const TDataFileHeader& header, bool changed_mark = false);

struct DecodedDataFileHeader {
  TDataFileHeader header;
  bool description_fits = true;  // false: the description's length byte exceeded 100
};

// Reads a header image. Never fails; the values are untrusted and the opener checks them.
DecodedDataFileHeader DecodeDataFileHeader(std::span<const uint8_t, kDataHeaderSize> image);

// A sequence counter's next value: one more, and 1 after 2,147,483,647 (and after anything below
// 0, which a damaged header may hold).
int32_t NextSequenceValue(int32_t value);

// The local date and time now, in the header's last-update form.
double LastUpdateNow();

}  // namespace veltra
