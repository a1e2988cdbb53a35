#include "tables/data_password.h"

#include <span>

#include "core/data_engine.h"

namespace veltra {

TDataPassword::TDataPassword(TDataEngine& engine, std::string_view text)
    : text_(text),
      digest_(crypto::PasswordDigest(text)),
      owned_state_(engine.CreateCipherState(std::span<const uint8_t>(digest_))),
      cipher_state_(owned_state_.get()) {}

TDataPassword::TDataPassword(SharedTag, const TDataPassword& source)
    : text_(source.text_), digest_(source.digest_), cipher_state_(source.cipher_state_) {}

TDataPassword::~TDataPassword() = default;

std::unique_ptr<TDataPassword> TDataPassword::SharedCopy() const {
  return std::make_unique<TDataPassword>(SharedTag{}, *this);
}

crypto::TPasswordCheckValue TDataPassword::CheckValue() const {
  return crypto::MakeCheckValue(
      digest_, [this](std::span<uint8_t> area) { cipher_state_->EncryptBuffer(area); });
}

bool TDataPassword::MatchesCheckValue(const crypto::TPasswordCheckValue& stored) const {
  return crypto::CheckValueMatches(
      stored, digest_, [this](std::span<uint8_t> area) { cipher_state_->DecryptBuffer(area); });
}

}  // namespace veltra
