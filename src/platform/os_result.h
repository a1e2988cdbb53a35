// Results of operating-system services: a value or the OS error number (errno).
//
// The platform layer reports every expected failure as a result, never as an exception. The error
// is the errno the system gave, kept exact so that the engine core can map it to its own codes;
// where the platform itself refuses an operation it uses these numbers:
//
//   EBUSY   sharing violation: the file is open elsewhere in a way that excludes the request
//   EAGAIN  a byte-range lock is held by someone (EWOULDBLOCK is the same number on Linux)
//   ENOLCK  an unlock that does not name exactly a range this handle holds
//   EINVAL  a malformed request (a lock range of length 0 or past the lock space, a bad name)
//   EBADF   writing through a handle that was opened read-only
//
// Using value() or error() on the wrong kind of result is a programming error and aborts.
#pragma once

#include <cstdlib>
#include <optional>
#include <utility>

namespace veltra::platform {

// An OS error number wrapped so that it converts into any result type.
struct OsError {
  int code;
};

// Success, or the errno of a failure.
class [[nodiscard]] OsStatus {
 public:
  OsStatus() = default;  // success
  OsStatus(OsError error) : error_(error.code) {}
  static OsStatus Ok() { return OsStatus(); }

  bool ok() const { return error_ == 0; }
  explicit operator bool() const { return ok(); }
  // The errno of a failure; 0 on success.
  int error() const { return error_; }

 private:
  int error_ = 0;
};

// A value of type T, or the errno of a failure.
template <typename T>
class [[nodiscard]] OsResult {
 public:
  OsResult(T value) : value_(std::move(value)) {}
  OsResult(OsError error) : error_(error.code) {
    if (error_ == 0) std::abort();  // a failure must carry an error number
  }

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  // The errno of a failure; 0 on success.
  int error() const { return error_; }
  // The status alone, for callers that pass the failure on.
  OsStatus status() const { return ok() ? OsStatus() : OsStatus(OsError{error_}); }

  // REQUIRES: ok().
  T& value() & { return Checked(); }
  const T& value() const& { return const_cast<OsResult*>(this)->Checked(); }
  T&& value() && { return std::move(Checked()); }
  T* operator->() { return &Checked(); }
  const T* operator->() const { return &const_cast<OsResult*>(this)->Checked(); }
  T& operator*() & { return Checked(); }
  const T& operator*() const& { return const_cast<OsResult*>(this)->Checked(); }

 private:
  T& Checked() {
    if (!value_) std::abort();
    return *value_;
  }

  std::optional<T> value_;
  int error_ = 0;
};

}  // namespace veltra::platform
