// Locale services. A table's locale is a numeric id (the Windows-style locale id kept in the table
// header). Id 0, "ANSI Standard", needs no data: texts compare as unsigned bytes and only the ASCII
// letters have case. Every other id this build knows names an ICU locale and the single-byte code
// page its texts are kept in; for it the engine gets a locale-aware string order (accents ignored,
// case counting or not), character comparison, and case mapping of 8-bit text.
//
// The services of a locale are built once, on first use, and kept for the life of the process; all
// of them are read-only afterwards and may be used from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"
#include "platform/locale_collation.h"

namespace veltra::platform {

using LocaleId = uint32_t;

inline constexpr LocaleId kAnsiStandardLocaleId = 0;
// German with the phone-book sort order ("ä" sorts as "ae"): German (Germany), 0x0407, with sort
// id 1.
inline constexpr LocaleId kGermanPhoneBookLocaleId = 0x10407;
inline constexpr LocaleId kGermanGermanyLocaleId = 0x0407;

// One locale this build knows.
struct LocaleDescription {
  LocaleId id;
  std::string_view language_name;  // "Polish (Poland)"
  std::string_view abbreviation;   // three letters, "PLK"
  std::string_view icu_locale;     // "pl_PL"; empty for id 0
  std::string_view code_page;      // "windows-1250"
  // An additional sort order of a language (the German phone book), which the system does not
  // list among its locales but accepts by id.
  bool alternate_sort;
};

// Every locale id this build knows, other than 0, ascending by id. Whether ICU can supply one is
// another matter: see IsLocaleAvailable.
std::span<const LocaleDescription> KnownLocales();

// The description of `id` (id 0 included: "ANSI Standard", "ANSI"), or null when the id is unknown.
const LocaleDescription* FindLocaleDescription(LocaleId id);

// True for id 0 and for every known id whose collation and code page ICU can supply. Cheap after
// the first call for an id; does not build the locale's tables.
bool IsLocaleAvailable(LocaleId id);

// The locales the system supports, as it lists them: every available known locale except the
// alternate sort orders (and except id 0), ascending by id.
std::vector<LocaleDescription> SystemLocales();

// The comparison and case mapping of one locale's 8-bit text. Immutable; shared by all threads.
class LocaleServices {
 public:
  using ByteTable = std::array<uint8_t, 256>;

  // Builds the services of `id`. Returns null when the id is unknown or ICU cannot supply its
  // collation or code page. Prefer LocaleServicesOf, which builds each locale once.
  static std::unique_ptr<LocaleServices> Create(LocaleId id);

  ~LocaleServices();
  LocaleServices(const LocaleServices&) = delete;
  LocaleServices& operator=(const LocaleServices&) = delete;

  LocaleId Id() const { return description_.id; }
  const LocaleDescription& Description() const { return description_; }
  // The code page of the locale's texts; ISO-8859-1 for id 0.
  const CodePage& code_page() const { return code_page_; }
  // True for id 0, whose texts compare as unsigned bytes.
  bool IsByteOrder() const { return collation_ == nullptr; }

  // <0, 0 or >0 as `a` sorts before, equal to or after `b`. Id 0: unsigned bytes, a text that is
  // a prefix of the other first; ignoring case, as if both were upper-cased first. Other ids: the
  // locale's order with accents ignored (see locale_collation.h); characters the locale treats as
  // ignorable, such as the control codes, do not change the order.
  int Compare(std::string_view a, std::string_view b, CaseCompare case_compare) const;

  // How the one-character texts `a` and `b` compare (for the order of single characters and for
  // LIKE, which matches character by character).
  int CompareCharacters(uint8_t a, uint8_t b, CaseCompare case_compare) const;

  // Case mapping of single bytes. Id 0 maps the ASCII letters only and leaves every byte from 0x80
  // up unchanged. Other ids map through Unicode with the locale's linguistic casing ("i" is "İ" in
  // Turkish); a byte whose mapped character is not one character of the code page ("ß" upper-cases
  // to "SS") stays as it is.
  uint8_t Upper(uint8_t byte) const { return upper_[byte]; }
  uint8_t Lower(uint8_t byte) const { return lower_[byte]; }
  const ByteTable& UpperTable() const { return upper_; }
  const ByteTable& LowerTable() const { return lower_; }

  // The text with each byte mapped as above; the length never changes.
  void UpperCaseInPlace(std::span<char> text) const;
  void LowerCaseInPlace(std::span<char> text) const;
  std::string UpperCase(std::string_view text) const;
  std::string LowerCase(std::string_view text) const;

  // Conversions between the locale's code page and UTF-8 (see CodePage).
  std::string ToUtf8(std::string_view text) const { return code_page_.ToUtf8(text); }
  std::string FromUtf8(std::string_view utf8) const { return code_page_.FromUtf8(utf8); }

 private:
  LocaleServices(const LocaleDescription& description, const CodePage& code_page,
                 std::unique_ptr<LocaleCollation> collation);
  void BuildCaseTables();

  const LocaleDescription& description_;
  const CodePage& code_page_;
  std::unique_ptr<LocaleCollation> collation_;  // null for id 0
  ByteTable upper_{};
  ByteTable lower_{};
};

// The services of `id`, built on first use and kept for the life of the process; null when the
// locale is not available (unknown id, or ICU cannot supply it), which is remembered as well.
// Thread-safe; cheap after the first call for an id.
const LocaleServices* LocaleServicesOf(LocaleId id);

}  // namespace veltra::platform
