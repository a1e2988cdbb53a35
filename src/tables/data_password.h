// A table password as a session holds it: the text, its 16-byte MD5 digest and the cipher state
// keyed with that digest. An encrypted table stores no part of the password except its check
// value (the digest encrypted with the password's own state), by which the session finds the
// password that opens it.
//
// The session's password objects own their cipher state. A table opened or created with a
// password keeps a copy (SharedCopy) that holds the same text and digest and refers to the
// session's state without owning it; the session keeps every password object, removed ones too,
// until it is destroyed, after its tables, so such a reference never dangles.
//
// Threads: a password belongs to one session and is used by one thread at a time (the cipher
// state's chaining register changes with every block).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/engine_hooks.h"
#include "crypto/md5.h"
#include "crypto/table_password.h"

namespace veltra {

class TDataEngine;

// The longest password text a session keeps.
inline constexpr size_t kMaxPasswordLength = 255;

class TDataPassword {
 public:
  // A password that owns its cipher state: the digest of `text` and the engine's cipher (the
  // application's when its hooks are complete, else the built-in one) keyed with it. REQUIRES:
  // `text` is not empty and at most kMaxPasswordLength characters. An exception of the
  // application's cipher propagates and nothing is made.
  TDataPassword(TDataEngine& engine, std::string_view text);
  ~TDataPassword();
  TDataPassword(const TDataPassword&) = delete;
  TDataPassword& operator=(const TDataPassword&) = delete;

  // A table's copy: the same text and digest and a reference to this object's cipher state.
  // REQUIRES: this object outlives the copy.
  std::unique_ptr<TDataPassword> SharedCopy() const;

  const std::string& text() const { return text_; }
  const crypto::TDigest& digest() const { return digest_; }
  // The cipher state the table files are encrypted with.
  TCipherContext& cipher_state() const { return *cipher_state_; }
  // True for the session's object, false for a table's copy.
  bool owns_cipher_state() const { return owned_state_ != nullptr; }

  // The value an encrypted table created with this password stores: the digest encrypted as one
  // 16-byte buffer with the password's state. Exceptions of the application's cipher propagate.
  crypto::TPasswordCheckValue CheckValue() const;

  // True when `stored` decrypts with this password's state to its digest. `stored` is not
  // changed. Exceptions of the application's cipher propagate.
  bool MatchesCheckValue(const crypto::TPasswordCheckValue& stored) const;

 private:
  struct SharedTag {};

 public:
  // Made only through SharedCopy (the tag cannot be named elsewhere).
  TDataPassword(SharedTag, const TDataPassword& source);

 private:
  std::string text_;
  crypto::TDigest digest_;
  std::unique_ptr<TCipherContext> owned_state_;  // null in a table's copy
  TCipherContext* cipher_state_;                 // owned_state_, or the source's
};

}  // namespace veltra
