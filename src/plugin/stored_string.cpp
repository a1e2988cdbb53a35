#include "plugin/stored_string.h"

#include <new>

namespace veltra::plugin {

StoredHostString::~StoredHostString() { Release(); }

void StoredHostString::Store(AllsqlString s) {
  AllsqlString taken = s;
  if (s != nullptr && AllsqlStringRefCount(s) == ALLSQL_STRING_CONSTANT_REFCOUNT) {
    taken = AllsqlStringNew(s, AllsqlStringLength(s));
    if (taken == nullptr && AllsqlStringLength(s) > 0) throw std::bad_alloc();
  } else {
    AllsqlStringAddRef(s);
  }
  AllsqlString old = value_;
  value_ = taken;
  AllsqlStringRelease(old);
}

void StoredHostString::Release() {
  AllsqlStringRelease(value_);
  value_ = nullptr;
}

std::string_view StoredHostString::Bytes() const {
  if (value_ == nullptr) return {};
  int32_t length = AllsqlStringLength(value_);
  if (length <= 0) return {};
  return {value_, static_cast<size_t>(length)};
}

}  // namespace veltra::plugin
