// Single-byte code pages. The engine keeps text as 8-bit bytes in a table's code page; this module
// maps those bytes to Unicode and back, and converts whole texts between a code page and UTF-8 for
// the front ends (an editor's Windows-1250 text, a terminal's UTF-8).
//
// A code page's tables are built once from ICU's converter data and are read-only afterwards, so a
// CodePage may be used from any number of threads at once.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veltra::platform {

// What a character without a byte in the target code page (or a malformed UTF-8 sequence, or a
// byte the code page leaves undefined) turns into when text is converted.
inline constexpr char kUnmappableReplacement = '?';

// The table entry of a byte that the code page leaves undefined.
inline constexpr char16_t kUndefinedCharacter = 0xFFFD;

// The name of the code page that needs no converter data: ISO-8859-1, where every byte value is its
// own code point.
inline constexpr std::string_view kLatin1CodePageName = "ISO-8859-1";

class CodePage {
 public:
  using UnicodeTable = std::array<char16_t, 256>;

  // Builds the tables of the single-byte code page `name`, an ICU converter name such as
  // "windows-1250" (case does not matter). Returns null when ICU has no such converter, when the
  // converter is not single-byte, or when a byte decodes to more than one UTF-16 unit.
  static std::unique_ptr<CodePage> Open(std::string_view name);

  // The built-in ISO-8859-1 table (byte value = code point); it needs no converter data.
  static const CodePage& Latin1();

  // Exactly `table`, named `name`; a byte whose entry is kUndefinedCharacter is undefined.
  CodePage(std::string name, const UnicodeTable& table);

  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  const std::string& Name() const { return name_; }

  // The UTF-16 unit of `byte` (always a BMP character, never a surrogate), or kUndefinedCharacter.
  char16_t ToUnicode(uint8_t byte) const { return to_unicode_[byte]; }
  const UnicodeTable& Table() const { return to_unicode_; }
  bool IsDefined(uint8_t byte) const { return to_unicode_[byte] != kUndefinedCharacter; }

  // The byte that stands for `code_point`, or nullopt when the code page has none. When several
  // bytes decode to the same character, the lowest of them.
  std::optional<uint8_t> FromUnicode(char32_t code_point) const;

  // `bytes` as UTF-8; an undefined byte becomes kUnmappableReplacement.
  std::string ToUtf8(std::string_view bytes) const;

  // `utf8` in this code page. A character the code page cannot represent, and each maximal
  // malformed subsequence of `utf8`, becomes kUnmappableReplacement. Never fails.
  std::string FromUtf8(std::string_view utf8) const;

 private:
  static constexpr int16_t kNoByte = -1;

  std::string name_;
  UnicodeTable to_unicode_;
  // Reverse mapping: code points below 256 directly, the rest as (unit, byte) sorted by unit.
  std::array<int16_t, 256> low_to_byte_;
  std::vector<std::pair<char16_t, uint8_t>> high_to_byte_;
};

// The code page named `name`, built on first use and kept for the life of the process; null when
// the system has no single-byte code page of that name (failures are remembered too). "ISO-8859-1"
// is always available. Thread-safe.
const CodePage* CodePageOf(std::string_view name);

}  // namespace veltra::platform
