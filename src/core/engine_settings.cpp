// Stored forms of setting texts.
#include "core/engine_settings.h"

namespace veltra {

namespace {
constexpr char kExtensionMark = '.';
}  // namespace

std::string NormalizedExtension(std::string_view extension) {
  if (extension.empty() || extension.front() == kExtensionMark) return SettingText(extension);
  std::string stored(1, kExtensionMark);
  stored.append(extension);
  return SettingText(stored);
}

}  // namespace veltra
