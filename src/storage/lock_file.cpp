#include "storage/lock_file.h"

#include <array>
#include <limits>

#include "core/byte_order.h"
#include "core/engine_error.h"
#include "storage/engine_file.h"

namespace veltra {

namespace {

constexpr size_t kHeadSize = 2 * kLockFileFieldSize;

constexpr std::string_view kShortHead = "shorter than its counter and registry length";
constexpr std::string_view kBadLength = "registry length out of range";
constexpr std::string_view kEntryPastEnd = "an entry runs past the registry length";
constexpr std::string_view kTooManyEntries = "more than 4096 entries";
constexpr std::string_view kShortEntries = "the file ends inside the registry";
constexpr std::string_view kNotExtension = "the registry no longer begins with the names known";

[[noreturn]] void RaiseDamaged(const TEngineFile& file, std::string_view fault) {
  RaiseEngineError(kErrInvalidTableFile, {.table = file.file_name(), .message = fault});
}

bool LengthInRange(int32_t length) {
  return length >= kEmptyRegistryLength && length <= kMaxRegistryLength;
}

}  // namespace

int32_t NextLockFileCounter(int32_t counter) {
  if (counter <= 0 || counter == std::numeric_limits<int32_t>::max()) return 1;
  return counter + 1;
}

int32_t RegistryLengthOf(std::span<const std::string> names) {
  int32_t length = kEmptyRegistryLength;
  for (const std::string& name : names) length += static_cast<int32_t>(1 + name.size());
  return length;
}

std::vector<uint8_t> EncodeRegistryEntries(std::span<const std::string> names) {
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(RegistryLengthOf(names) - kEmptyRegistryLength));
  for (const std::string& name : names) {
    bytes.push_back(static_cast<uint8_t>(name.size()));
    bytes.insert(bytes.end(), name.begin(), name.end());
  }
  return bytes;
}

std::vector<uint8_t> EncodeLockFile(int32_t counter, std::span<const std::string> names) {
  std::vector<uint8_t> bytes(kHeadSize);
  StoreI32Le(bytes.data() + kLockFileCounterOffset, counter);
  StoreI32Le(bytes.data() + kLockFileLengthOffset, RegistryLengthOf(names));
  std::vector<uint8_t> entries = EncodeRegistryEntries(names);
  bytes.insert(bytes.end(), entries.begin(), entries.end());
  return bytes;
}

TRegistryDecode DecodeRegistryEntries(std::span<const uint8_t> entries) {
  TRegistryDecode result;
  size_t position = 0;
  while (position < entries.size()) {
    if (result.names.size() == kMaxTableId) {
      result.fault = kTooManyEntries;
      return result;
    }
    const size_t length = entries[position];
    if (length > entries.size() - position - 1) {
      result.fault = kEntryPastEnd;
      return result;
    }
    const auto* first = reinterpret_cast<const char*>(entries.data() + position + 1);
    result.names.emplace_back(first, length);
    position += 1 + length;
  }
  return result;
}

bool ReadRegistryHead(TEngineFile& file, TRegistryHead& head) {
  std::array<uint8_t, kHeadSize> bytes{};
  const size_t got = file.ReadAt(kLockFileCounterOffset, bytes.data(), bytes.size(), true);
  if (got == 0) return false;
  if (got < bytes.size()) RaiseDamaged(file, kShortHead);
  TRegistryHead read{.counter = LoadI32Le(bytes.data() + kLockFileCounterOffset),
                     .length = LoadI32Le(bytes.data() + kLockFileLengthOffset)};
  if (!LengthInRange(read.length)) RaiseDamaged(file, kBadLength);
  head = read;
  return true;
}

std::vector<std::string> ReadRegistryEntries(TEngineFile& file, const TRegistryHead& head,
                                             std::span<const std::string> known) {
  if (!LengthInRange(head.length)) RaiseDamaged(file, kBadLength);
  std::vector<uint8_t> entries(static_cast<size_t>(head.length - kEmptyRegistryLength));
  if (!entries.empty()) {
    const size_t got = file.ReadAt(kLockFileEntriesOffset, entries.data(), entries.size(), true);
    if (got < entries.size()) RaiseDamaged(file, kShortEntries);
  }
  TRegistryDecode decoded = DecodeRegistryEntries(entries);
  if (!decoded.fault.empty()) RaiseDamaged(file, decoded.fault);
  if (decoded.names.size() < known.size()) RaiseDamaged(file, kNotExtension);
  for (size_t i = 0; i < known.size(); ++i) {
    if (decoded.names[i] != known[i]) RaiseDamaged(file, kNotExtension);
  }
  return std::move(decoded.names);
}

TRegistryHead AppendRegistryEntries(TEngineFile& file, const TRegistryHead& old_head,
                                    int32_t new_counter, std::span<const std::string> added) {
  const std::vector<uint8_t> entries = EncodeRegistryEntries(added);
  const TRegistryHead new_head{.counter = new_counter,
                               .length = old_head.length + static_cast<int32_t>(entries.size())};
  // The new entries first, behind the old ones: until L covers them, readers ignore them.
  if (!entries.empty()) {
    file.WriteAt(
        kLockFileEntriesOffset + static_cast<uint64_t>(old_head.length) - kEmptyRegistryLength,
        entries.data(), entries.size());
    file.Flush();
  }
  std::array<uint8_t, kLockFileFieldSize> field{};
  StoreI32Le(field.data(), new_head.length);
  file.WriteAt(kLockFileLengthOffset, field.data(), field.size());
  StoreI32Le(field.data(), new_head.counter);
  file.WriteAt(kLockFileCounterOffset, field.data(), field.size());
  file.Flush();
  return new_head;
}

}  // namespace veltra
