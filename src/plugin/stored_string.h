// The library's own reference to a host string it keeps between calls of DoUpdate.
//
// Storing takes a reference (the count is incremented; a constant is copied into a new block of
// our own), replacing or destroying drops it, and whichever side drops the last reference frees
// the block. Used on the thread that calls DoUpdate only.
#pragma once

#include <string_view>

#include "plugin/host_string.h"

namespace veltra::plugin {

class StoredHostString {
 public:
  StoredHostString() = default;
  ~StoredHostString();
  StoredHostString(const StoredHostString&) = delete;
  StoredHostString& operator=(const StoredHostString&) = delete;

  // Replaces the stored string by `s` (null = empty): takes the new reference first, then drops
  // the old one, so storing the string already held is safe. Throws std::bad_alloc when copying
  // a constant runs out of memory; the old value is then kept.
  void Store(AllsqlString s);
  // Drops the reference; the stored string becomes empty.
  void Release();

  // The stored string as the host passed it (null when empty), for tests and diagnostics.
  AllsqlString Get() const { return value_; }
  // The characters, without the NUL.
  std::string_view Bytes() const;

 private:
  AllsqlString value_ = nullptr;
};

}  // namespace veltra::plugin
