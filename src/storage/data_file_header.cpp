#include "storage/data_file_header.h"

#include <chrono>
#include <limits>

#include "core/byte_order.h"
#include "platform/clock.h"
#include "storage/short_string.h"

namespace veltra {

DataHeaderImage EncodeDataFileHeader(const TDataFileHeader& header, bool changed_mark) {
  DataHeaderImage image{};
  std::span<uint8_t> area(image);
  StoreI32LeAt(area, kHdrChangeCounter, header.change_counter);
  StoreU8At(area, kHdrVersion, header.version);
  for (size_t i = 0; i < header.signature.size(); ++i)
    area[kHdrSignature + i] = header.signature[i];
  StoreI32LeAt(area, kHdrNextFreeRecord, header.next_free_record);
  StoreI32LeAt(area, kHdrNextRecordNumber, header.next_record_number);
  StoreI32LeAt(area, kHdrLastRecordId, header.last_record_id);
  StoreI32LeAt(area, kHdrLastAutoIncrement, header.last_auto_increment);
  StoreI32LeAt(area, kHdrRecordCount, header.record_count);
  StoreU16LeAt(area, kHdrRecordSize, header.record_size);
  StoreU16LeAt(area, kHdrFieldCount, header.field_count);
  StoreU16LeAt(area, kHdrBlobFieldCount, header.blob_field_count);
  StoreU32LeAt(area, kHdrBlobBlockSize, header.blob_block_size);
  StoreI32LeAt(area, kHdrLastBlobRevision, header.last_blob_revision);
  StoreU32LeAt(area, kHdrIndexPageSize, header.index_page_size);
  StoreF64LeAt(area, kHdrLastUpdate, header.last_update);
  StoreShortString(area, kHdrDescription, kTableDescriptionCapacity, header.description);
  StoreU8At(area, kHdrEncrypted, header.encrypted ? 1 : 0);
  for (size_t i = 0; i < header.check_value.size(); ++i) {
    area[kHdrCheckValue + i] = header.check_value[i];
  }
  StoreU32LeAt(area, kHdrLocale, header.locale);
  StoreU16LeAt(area, kHdrUserMajorVersion, header.user_major_version);
  StoreU16LeAt(area, kHdrUserMinorVersion, header.user_minor_version);
  StoreU8At(area, kHdrChangedMark, changed_mark ? 1 : 0);
  return image;
}

DecodedDataFileHeader DecodeDataFileHeader(std::span<const uint8_t, kDataHeaderSize> image) {
  std::span<const uint8_t> area(image);
  DecodedDataFileHeader decoded;
  TDataFileHeader& header = decoded.header;
  header.change_counter = LoadI32LeAt(area, kHdrChangeCounter);
  header.version = LoadU8At(area, kHdrVersion);
  for (size_t i = 0; i < header.signature.size(); ++i)
    header.signature[i] = area[kHdrSignature + i];
  header.next_free_record = LoadI32LeAt(area, kHdrNextFreeRecord);
  header.next_record_number = LoadI32LeAt(area, kHdrNextRecordNumber);
  header.last_record_id = LoadI32LeAt(area, kHdrLastRecordId);
  header.last_auto_increment = LoadI32LeAt(area, kHdrLastAutoIncrement);
  header.record_count = LoadI32LeAt(area, kHdrRecordCount);
  header.record_size = LoadU16LeAt(area, kHdrRecordSize);
  header.field_count = LoadU16LeAt(area, kHdrFieldCount);
  header.blob_field_count = LoadU16LeAt(area, kHdrBlobFieldCount);
  header.blob_block_size = LoadU32LeAt(area, kHdrBlobBlockSize);
  header.last_blob_revision = LoadI32LeAt(area, kHdrLastBlobRevision);
  header.index_page_size = LoadU32LeAt(area, kHdrIndexPageSize);
  header.last_update = LoadF64LeAt(area, kHdrLastUpdate);
  ShortStringRead description = LoadShortString(area, kHdrDescription, kTableDescriptionCapacity);
  header.description = std::move(description.text);
  decoded.description_fits = description.fits;
  header.encrypted = LoadU8At(area, kHdrEncrypted) != 0;
  for (size_t i = 0; i < header.check_value.size(); ++i) {
    header.check_value[i] = area[kHdrCheckValue + i];
  }
  header.locale = LoadU32LeAt(area, kHdrLocale);
  header.user_major_version = LoadU16LeAt(area, kHdrUserMajorVersion);
  header.user_minor_version = LoadU16LeAt(area, kHdrUserMinorVersion);
  return decoded;
}

int32_t NextSequenceValue(int32_t value) {
  return value < 0 || value == std::numeric_limits<int32_t>::max() ? 1 : value + 1;
}

double LastUpdateNow() {
  using namespace std::chrono;
  const platform::LocalDateTime now = platform::CurrentLocalDateTime();
  const sys_days day{year{now.year} / month{static_cast<unsigned>(now.month)} /
                     std::chrono::day{static_cast<unsigned>(now.day)}};
  const sys_days epoch{year{1899} / December / 30};
  const double days = static_cast<double>((day - epoch).count());
  const double fraction =
      (((now.hour * 60.0 + now.minute) * 60.0 + now.second) * 1000.0 + now.millisecond) /
      86400000.0;
  return days + fraction - kLastUpdateDayOffset;
}

}  // namespace veltra
