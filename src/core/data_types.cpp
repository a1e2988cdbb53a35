// Stored encodings of the engine's data types that do not fit in the header.
#include "core/data_types.h"

#include <algorithm>

namespace veltra {

TBcd LoadBcd(const uint8_t* bytes) {
  TBcd value;
  value.precision = bytes[0];
  value.sign_scale = bytes[1];
  std::copy_n(bytes + 2, TBcd::kDigitBytes, value.digits.begin());
  return value;
}

void StoreBcd(uint8_t* bytes, const TBcd& value) {
  bytes[0] = value.precision;
  bytes[1] = static_cast<uint8_t>(value.sign_scale & ~TBcd::kReservedBit);
  std::copy_n(value.digits.begin(), TBcd::kDigitBytes, bytes + 2);
}

}  // namespace veltra
