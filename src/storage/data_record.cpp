#include "storage/data_record.h"

#include <algorithm>

#include "core/data_engine.h"

namespace veltra {

namespace {

std::span<uint8_t> AsBytes(std::span<std::byte> area) {
  return {reinterpret_cast<uint8_t*>(area.data()), area.size()};
}

}  // namespace

void TRecord::DecodeDiskImage(std::span<const std::byte> image) {
  std::span<std::byte> data = Data();
  std::copy_n(image.begin(), std::min(image.size(), data.size()), data.begin());
  if (TCipherContext* cipher = cipher_.RecordCipher()) {
    TDataEngine::DecryptBuffer(*cipher, AsBytes(data));
  }
}

void TRecord::EncodeDiskImage(std::span<std::byte> image) const {
  std::span<const std::byte> data = Data();
  std::copy_n(data.begin(), std::min(image.size(), data.size()), image.begin());
  if (TCipherContext* cipher = cipher_.RecordCipher()) {
    TDataEngine::EncryptBuffer(*cipher, AsBytes(image));
  }
}

}  // namespace veltra
