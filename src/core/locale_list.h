// The engine's list of locales: what a table's locale id means, the names the application and
// SQL use for locales, and each locale's 256-entry character order table, which cursors use to
// build keys that sort byte by byte.
//
// The list is built once from the locales the system supports (each with its numeric id, its
// language name and its abbreviated name; a locale without an abbreviation is left out), with
// the German phone-book order added beside German (Germany) as "German (German Phone Book)",
// "DEP". It is sorted by name, and "ANSI Standard" (id 0, "ANSI") is put in front.
//
// Name comparison. Locale names, like every name the engine compares (tables, fields, sessions),
// compare without regard to case under the user's default locale. The engine's default locale
// for names is the ASCII case fold: the letters a-z equal A-Z, every other byte compares as
// itself. The list is sorted the same way, ties broken by byte order.
//
// After construction the list is read-only except for the character order tables, which are
// built on first use under a once-flag per entry and kept; any thread may use the list.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/locale.h"

namespace veltra {

using TLocaleId = platform::LocaleId;
// A character order table: entry i is the code of the character at position i of the locale's
// order.
using TCollationTable = std::array<uint8_t, 256>;

inline constexpr std::string_view kAnsiStandardName = "ANSI Standard";
inline constexpr std::string_view kAnsiStandardAbbreviation = "ANSI";
inline constexpr std::string_view kGermanPhoneBookName = "German (German Phone Book)";
inline constexpr std::string_view kGermanPhoneBookAbbreviation = "DEP";

// Codes below this keep their place in every character order table.
inline constexpr int kFirstOrderedCharacter = 31;

struct TLocaleEntry {
  TLocaleId Id;
  std::string Name;
  std::string Abbreviation;
};

class TLocaleList {
 public:
  // Builds the list from the system's locales (platform::SystemLocales).
  TLocaleList();
  // Builds the list from `system_locales` as if the system listed them (for tests): the same
  // filtering, the same added entry and the same order.
  explicit TLocaleList(const std::vector<platform::LocaleDescription>& system_locales);
  ~TLocaleList();
  TLocaleList(const TLocaleList&) = delete;
  TLocaleList& operator=(const TLocaleList&) = delete;

  size_t Count() const { return entries_.size(); }
  // REQUIRES: index < Count(). Entry 0 is "ANSI Standard".
  const TLocaleEntry& Entry(size_t index) const { return entries_[index]->entry; }

  // Whether a locale of this name (without regard to case) is in the list.
  bool LocaleExists(std::string_view name) const;
  // The id of the locale of this name; 0 when there is none.
  TLocaleId LocaleIdOf(std::string_view name) const;
  // The name of the entry with this id; empty when no entry has it.
  std::string LocaleNameOf(TLocaleId id) const;
  // True for 0 and for every id the system accepts (listed or not, like the German phone book).
  static bool IsValidLocaleId(TLocaleId id);

  // The character order table of the entry with `id`, or that of "ANSI Standard" (the codes in
  // numeric order) when no entry has the id. Built on first use and kept; the reference stays
  // valid for the life of the list.
  const TCollationTable& CollationTableOf(TLocaleId id) const;

  // The table of a locale built from its character comparison: codes 0 to 30 in place, 31 to 255
  // sorted by platform::LocaleServices::CompareCharacters (case respected; characters that
  // compare equal keep their numeric order). Id 0 and an unavailable id give the numeric order.
  static TCollationTable BuildCollationTable(TLocaleId id);

 private:
  struct Slot {
    TLocaleEntry entry;
    mutable std::once_flag built;
    mutable TCollationTable table{};
  };

  void Build(const std::vector<platform::LocaleDescription>& system_locales);
  const Slot* FindByName(std::string_view name) const;
  const Slot* FindById(TLocaleId id) const;

  std::vector<std::unique_ptr<Slot>> entries_;
};

}  // namespace veltra
