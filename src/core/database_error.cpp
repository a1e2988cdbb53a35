#include "core/database_error.h"

namespace veltra {
namespace {

constexpr std::string_view kNamePlaceholder = "%s";

}  // namespace

std::string DatabaseErrorText(std::string_view text, std::string_view name) {
  std::string result;
  result.reserve(text.size() + name.size());
  size_t start = 0;
  for (size_t at = text.find(kNamePlaceholder); at != std::string_view::npos;
       at = text.find(kNamePlaceholder, start)) {
    result.append(text.substr(start, at - start));
    result.append(name);
    start = at + kNamePlaceholder.size();
  }
  result.append(text.substr(start));
  return result;
}

void RaiseDatabaseError(std::string_view text, std::string_view name) {
  throw EDatabaseError(DatabaseErrorText(text, name));
}

}  // namespace veltra
