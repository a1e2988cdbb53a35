// The locale list and its character order tables.
#include "core/locale_list.h"

#include <algorithm>
#include <numeric>

#include "platform/directory.h"

namespace veltra {

namespace {

uint8_t FoldAscii(uint8_t byte) {
  return (byte >= 'a' && byte <= 'z') ? static_cast<uint8_t>(byte - 'a' + 'A') : byte;
}

// The order of names under the default locale for names: ASCII letters folded, then bytes, so
// the order is total and does not depend on the order of the system's listing.
bool NameLess(std::string_view a, std::string_view b) {
  const auto folded_less = [](char x, char y) {
    return FoldAscii(static_cast<uint8_t>(x)) < FoldAscii(static_cast<uint8_t>(y));
  };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded_less)) {
    return true;
  }
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded_less)) {
    return false;
  }
  return a < b;
}

TCollationTable NumericOrder() {
  TCollationTable table;
  std::iota(table.begin(), table.end(), uint8_t{0});
  return table;
}

}  // namespace

TLocaleList::TLocaleList() { Build(platform::SystemLocales()); }

TLocaleList::TLocaleList(const std::vector<platform::LocaleDescription>& system_locales) {
  Build(system_locales);
}

TLocaleList::~TLocaleList() = default;

void TLocaleList::Build(const std::vector<platform::LocaleDescription>& system_locales) {
  std::vector<TLocaleEntry> listed;
  for (const platform::LocaleDescription& locale : system_locales) {
    if (locale.abbreviation.empty() || locale.id == platform::kAnsiStandardLocaleId) continue;
    listed.push_back(
        {locale.id, std::string(locale.language_name), std::string(locale.abbreviation)});
    if (locale.id == platform::kGermanGermanyLocaleId) {
      listed.push_back({platform::kGermanPhoneBookLocaleId, std::string(kGermanPhoneBookName),
                        std::string(kGermanPhoneBookAbbreviation)});
    }
  }
  std::stable_sort(listed.begin(), listed.end(), [](const TLocaleEntry& a, const TLocaleEntry& b) {
    return NameLess(a.Name, b.Name);
  });

  entries_.clear();
  auto ansi = std::make_unique<Slot>();
  ansi->entry = {platform::kAnsiStandardLocaleId, std::string(kAnsiStandardName),
                 std::string(kAnsiStandardAbbreviation)};
  entries_.push_back(std::move(ansi));
  for (TLocaleEntry& entry : listed) {
    auto slot = std::make_unique<Slot>();
    slot->entry = std::move(entry);
    entries_.push_back(std::move(slot));
  }
}

const TLocaleList::Slot* TLocaleList::FindByName(std::string_view name) const {
  for (const auto& slot : entries_) {
    if (platform::EqualsIgnoringAsciiCase(slot->entry.Name, name)) return slot.get();
  }
  return nullptr;
}

const TLocaleList::Slot* TLocaleList::FindById(TLocaleId id) const {
  for (const auto& slot : entries_) {
    if (slot->entry.Id == id) return slot.get();
  }
  return nullptr;
}

bool TLocaleList::LocaleExists(std::string_view name) const { return FindByName(name) != nullptr; }

TLocaleId TLocaleList::LocaleIdOf(std::string_view name) const {
  const Slot* slot = FindByName(name);
  return slot ? slot->entry.Id : platform::kAnsiStandardLocaleId;
}

std::string TLocaleList::LocaleNameOf(TLocaleId id) const {
  const Slot* slot = FindById(id);
  return slot ? slot->entry.Name : std::string();
}

bool TLocaleList::IsValidLocaleId(TLocaleId id) { return platform::IsLocaleAvailable(id); }

const TCollationTable& TLocaleList::CollationTableOf(TLocaleId id) const {
  const Slot* slot = FindById(id);
  if (slot == nullptr) slot = entries_.front().get();  // "ANSI Standard"
  std::call_once(slot->built, [slot] { slot->table = BuildCollationTable(slot->entry.Id); });
  return slot->table;
}

TCollationTable TLocaleList::BuildCollationTable(TLocaleId id) {
  TCollationTable table = NumericOrder();
  if (id == platform::kAnsiStandardLocaleId) return table;
  const platform::LocaleServices* services = platform::LocaleServicesOf(id);
  if (services == nullptr || services->IsByteOrder()) return table;
  std::stable_sort(
      table.begin() + kFirstOrderedCharacter, table.end(), [services](uint8_t a, uint8_t b) {
        return services->CompareCharacters(a, b, platform::CaseCompare::ccRespectCase) < 0;
      });
  return table;
}

}  // namespace veltra
