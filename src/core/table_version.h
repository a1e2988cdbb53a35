// Table versions. Every table file header carries a version byte; versions 0 to 6 are the ones
// this engine knows, each with the text it shows in messages and maintenance logs.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace veltra {

// A version byte is valid below this.
inline constexpr uint8_t kTableVersionCount = 7;

inline constexpr std::array<std::string_view, kTableVersionCount> kTableVersionTexts = {
    "1.00", "1.02", "1.04", "1.08", "2.00", "3.00", "4.00"};

inline constexpr bool IsValidTableVersion(uint8_t version) { return version < kTableVersionCount; }

// The text of `version`; empty for a version that is not valid.
inline constexpr std::string_view TableVersionText(uint8_t version) {
  return IsValidTableVersion(version) ? kTableVersionTexts[version] : std::string_view();
}

}  // namespace veltra
