// Test doubles and a sample table for the data file tests: a data file held in memory, an owner
// that supplies one password, and a table with a field of every type.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/data_engine.h"
#include "core/engine_error.h"
#include "crypto/table_password.h"
#include "storage/data_file.h"

namespace veltra::testing {

class MemoryDataStorage final : public DataFileStorage {
 public:
  StorageResult ReadAt(uint64_t offset, std::span<std::byte> into) override {
    if (offset >= bytes.size()) return {};
    const size_t count = std::min<size_t>(into.size(), bytes.size() - offset);
    std::memcpy(into.data(), bytes.data() + offset, count);
    return StorageResult{.bytes = count};
  }
  StorageResult WriteAt(uint64_t offset, std::span<const std::byte> data) override {
    if (bytes.size() < offset + data.size()) bytes.resize(offset + data.size());
    std::memcpy(bytes.data() + offset, data.data(), data.size());
    return StorageResult{.bytes = data.size()};
  }
  uint64_t FileSize() override { return bytes.size(); }
  void SetFileEnd(uint64_t size) override { bytes.resize(size); }
  void FlushFile() override {}

  uint8_t At(size_t offset) const { return static_cast<uint8_t>(bytes[offset]); }
  void Put(size_t offset, uint8_t value) { bytes[offset] = static_cast<std::byte>(value); }

  std::vector<std::byte> bytes;
};

// The table side. With a password set, it answers a check value made by that password.
class FakeDataOwner final : public DataFileOwner {
 public:
  explicit FakeDataOwner(TDataEngine& engine) : engine_(engine) {}

  void SetPassword(std::string_view password) {
    digest_ = crypto::PasswordDigest(password);
    cipher_ = engine_.CreateCipherState(digest_);
  }
  TCipherContext* Cipher() const { return cipher_.get(); }
  crypto::TPasswordCheckValue CheckValue() const {
    return crypto::MakeCheckValue(
        digest_, [this](std::span<uint8_t> area) { TDataEngine::EncryptBuffer(*cipher_, area); });
  }

  TCipherContext& PasswordFor(const crypto::TPasswordCheckValue& check_value) override {
    if (cipher_ && crypto::CheckValueMatches(check_value, digest_, [this](std::span<uint8_t> a) {
          TDataEngine::DecryptBuffer(*cipher_, a);
        })) {
      return *cipher_;
    }
    RaiseEngineError(kErrPasswordRequired, ErrorContext());
  }
  ReadLockOutcome TakeReadLock() override { return ReadLockOutcome::roUnchanged; }
  bool InTransaction() const override { return false; }
  bool Exclusive() const override { return true; }
  bool StrictChangeDetection() const override { return false; }
  bool WrittenSinceOpen() const override { return written; }
  void MarkWritten() override { written = true; }
  EngineErrorContext ErrorContext() const override { return {.table = "draws"}; }

  bool written = false;

 private:
  TDataEngine& engine_;
  crypto::TDigest digest_{};
  std::unique_ptr<TCipherContext> cipher_;
};

inline TFieldDefinition Field(std::string name, TDataType type, uint16_t size = 0,
                              TDataSubType sub_type = TDataSubType::dsNone) {
  TFieldDefinition definition;
  definition.name = std::move(name);
  definition.data_type = CodeOf(type);
  definition.sub_type = CodeOf(sub_type);
  definition.size = size;
  return definition;
}

// One field of every type; its layout is spelled out in the format test.
inline std::vector<TFieldDefinition> EveryTypeFields() {
  std::vector<TFieldDefinition> fields = {
      Field("Name", TDataType::dtString, 10),
      Field("Drawn", TDataType::dtDate),
      Field("Notes", TDataType::dtBlob, 0, TDataSubType::dsMemo),
      Field("Checked", TDataType::dtBoolean),
      Field("Game", TDataType::dtSmallInt),
      Field("Id", TDataType::dtInteger, 0, TDataSubType::dsAutoInc),
      Field("Prize", TDataType::dtFloat, 0, TDataSubType::dsMoney),
      Field("Stake", TDataType::dtBcd),
      Field("Code", TDataType::dtBytes, 4),
      Field("At", TDataType::dtTime),
      Field("Stamp", TDataType::dtTimestamp),
      Field("Count", TDataType::dtWord),
      Field("Tag", TDataType::dtVarBytes, 3),
      Field("Total", TDataType::dtLargeInt),
  };
  fields[7].decimals = 2;
  fields[0].default_value = "none";
  fields[4].minimum = "1";
  fields[4].maximum = "16";
  return fields;
}

}  // namespace veltra::testing
