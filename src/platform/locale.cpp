#include "platform/locale.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace veltra::platform {
namespace {

constexpr LocaleDescription kAnsiStandard{
    kAnsiStandardLocaleId, "ANSI Standard", "ANSI", "", kLatin1CodePageName, false};

// Ascending by id.
constexpr LocaleDescription kKnownLocales[] = {
    {1026, "Bulgarian (Bulgaria)", "BGR", "bg_BG", "windows-1251", false},
    {1029, "Czech (Czech Republic)", "CSY", "cs_CZ", "windows-1250", false},
    {1030, "Danish (Denmark)", "DAN", "da_DK", "windows-1252", false},
    {1031, "German (Germany)", "DEU", "de_DE", "windows-1252", false},
    {1032, "Greek (Greece)", "ELL", "el_GR", "windows-1253", false},
    {1033, "English (United States)", "ENU", "en_US", "windows-1252", false},
    {1035, "Finnish (Finland)", "FIN", "fi_FI", "windows-1252", false},
    {1036, "French (France)", "FRA", "fr_FR", "windows-1252", false},
    {1038, "Hungarian (Hungary)", "HUN", "hu_HU", "windows-1250", false},
    {1040, "Italian (Italy)", "ITA", "it_IT", "windows-1252", false},
    {1043, "Dutch (Netherlands)", "NLD", "nl_NL", "windows-1252", false},
    {1045, "Polish (Poland)", "PLK", "pl_PL", "windows-1250", false},
    {1046, "Portuguese (Brazil)", "PTB", "pt_BR", "windows-1252", false},
    {1048, "Romanian (Romania)", "ROM", "ro_RO", "windows-1250", false},
    {1049, "Russian (Russia)", "RUS", "ru_RU", "windows-1251", false},
    {1050, "Croatian (Croatia)", "HRV", "hr_HR", "windows-1250", false},
    {1051, "Slovak (Slovakia)", "SKY", "sk_SK", "windows-1250", false},
    {1053, "Swedish (Sweden)", "SVE", "sv_SE", "windows-1252", false},
    {1055, "Turkish (Turkey)", "TRK", "tr_TR", "windows-1254", false},
    {1058, "Ukrainian (Ukraine)", "UKR", "uk_UA", "windows-1251", false},
    {1060, "Slovenian (Slovenia)", "SLV", "sl_SI", "windows-1250", false},
    {2057, "English (United Kingdom)", "ENG", "en_GB", "windows-1252", false},
    {2070, "Portuguese (Portugal)", "PTG", "pt_PT", "windows-1252", false},
    {3079, "German (Austria)", "DEA", "de_AT", "windows-1252", false},
    {3082, "Spanish (Spain)", "ESN", "es_ES", "windows-1252", false},
    {kGermanPhoneBookLocaleId, "German (German Phone Book)", "DEP", "de@collation=phonebook",
     "windows-1252", true},
};
constexpr size_t kKnownLocaleCount = std::size(kKnownLocales);

static_assert(
    [] {
      for (size_t i = 1; i < kKnownLocaleCount; ++i) {
        if (kKnownLocales[i - 1].id >= kKnownLocales[i].id) return false;
      }
      return true;
    }(),
    "the known locales must ascend by id");

// The position of `id` in kKnownLocales, or kKnownLocaleCount.
size_t IndexOf(LocaleId id) {
  const auto* end = std::end(kKnownLocales);
  const auto* it =
      std::lower_bound(std::begin(kKnownLocales), end, id,
                       [](const LocaleDescription& entry, LocaleId key) { return entry.id < key; });
  if (it == end || it->id != id) return kKnownLocaleCount;
  return static_cast<size_t>(it - std::begin(kKnownLocales));
}

// Built once per known locale, on first use.
struct LocaleSlot {
  std::once_flag availability_once;
  bool available = false;
  std::once_flag services_once;
  std::unique_ptr<LocaleServices> services;
};

std::array<LocaleSlot, kKnownLocaleCount>& Slots() {
  static std::array<LocaleSlot, kKnownLocaleCount> slots;
  return slots;
}

bool ProbeLocale(const LocaleDescription& description) {
  if (CodePageOf(description.code_page) == nullptr) return false;
  std::string icu_locale(description.icu_locale);
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open(icu_locale.c_str(), &status);
  if (collator != nullptr) ucol_close(collator);
  return U_SUCCESS(status);
}

uint8_t AsciiUpper(uint8_t byte) { return byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte; }
uint8_t AsciiLower(uint8_t byte) { return byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte; }

// Unsigned bytes, a text that is a prefix of the other first; `fold` maps each byte first.
int CompareMappedBytes(std::string_view a, std::string_view b, const uint8_t* fold) {
  const size_t common = std::min(a.size(), b.size());
  if (fold == nullptr) {
    int result = std::memcmp(a.data(), b.data(), common);
    if (result != 0) return result < 0 ? -1 : 1;
  } else {
    for (size_t i = 0; i < common; ++i) {
      uint8_t byte_a = fold[static_cast<uint8_t>(a[i])];
      uint8_t byte_b = fold[static_cast<uint8_t>(b[i])];
      if (byte_a != byte_b) return byte_a < byte_b ? -1 : 1;
    }
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// The byte of `byte`'s character mapped by `map` (an ICU case mapping of one character), or
// `byte` itself when the result is not exactly one character of the code page.
template <typename CaseMap>
uint8_t MapThroughUnicode(const CodePage& code_page, uint8_t byte, CaseMap map) {
  if (!code_page.IsDefined(byte)) return byte;
  UChar source[1] = {code_page.ToUnicode(byte)};
  UChar mapped[4] = {};
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = map(mapped, 4, source, 1, &status);
  if (U_FAILURE(status) || length != 1) return byte;
  return code_page.FromUnicode(mapped[0]).value_or(byte);
}

}  // namespace

std::span<const LocaleDescription> KnownLocales() { return kKnownLocales; }

const LocaleDescription* FindLocaleDescription(LocaleId id) {
  if (id == kAnsiStandardLocaleId) return &kAnsiStandard;
  size_t index = IndexOf(id);
  return index == kKnownLocaleCount ? nullptr : &kKnownLocales[index];
}

bool IsLocaleAvailable(LocaleId id) {
  if (id == kAnsiStandardLocaleId) return true;
  size_t index = IndexOf(id);
  if (index == kKnownLocaleCount) return false;
  LocaleSlot& slot = Slots()[index];
  std::call_once(slot.availability_once,
                 [&] { slot.available = ProbeLocale(kKnownLocales[index]); });
  return slot.available;
}

std::vector<LocaleDescription> SystemLocales() {
  std::vector<LocaleDescription> locales;
  for (const LocaleDescription& description : kKnownLocales) {
    if (!description.alternate_sort && IsLocaleAvailable(description.id)) {
      locales.push_back(description);
    }
  }
  return locales;
}

LocaleServices::LocaleServices(const LocaleDescription& description, const CodePage& code_page,
                               std::unique_ptr<LocaleCollation> collation)
    : description_(description), code_page_(code_page), collation_(std::move(collation)) {
  BuildCaseTables();
}

LocaleServices::~LocaleServices() = default;

std::unique_ptr<LocaleServices> LocaleServices::Create(LocaleId id) {
  const LocaleDescription* description = FindLocaleDescription(id);
  if (description == nullptr) return nullptr;
  if (id == kAnsiStandardLocaleId) {
    return std::unique_ptr<LocaleServices>(
        new LocaleServices(*description, CodePage::Latin1(), nullptr));
  }
  const CodePage* code_page = CodePageOf(description->code_page);
  if (code_page == nullptr) return nullptr;
  auto collation = LocaleCollation::Open(std::string(description->icu_locale), *code_page);
  if (collation == nullptr) return nullptr;
  return std::unique_ptr<LocaleServices>(
      new LocaleServices(*description, *code_page, std::move(collation)));
}

void LocaleServices::BuildCaseTables() {
  if (IsByteOrder()) {
    for (int byte = 0; byte < 256; ++byte) {
      upper_[byte] = AsciiUpper(static_cast<uint8_t>(byte));
      lower_[byte] = AsciiLower(static_cast<uint8_t>(byte));
    }
    return;
  }
  std::string icu_locale(description_.icu_locale);
  const char* locale = icu_locale.c_str();
  for (int byte = 0; byte < 256; ++byte) {
    auto b = static_cast<uint8_t>(byte);
    upper_[byte] = MapThroughUnicode(
        code_page_, b,
        [&](UChar* dest, int32_t capacity, const UChar* src, int32_t length, UErrorCode* status) {
          return u_strToUpper(dest, capacity, src, length, locale, status);
        });
    lower_[byte] = MapThroughUnicode(
        code_page_, b,
        [&](UChar* dest, int32_t capacity, const UChar* src, int32_t length, UErrorCode* status) {
          return u_strToLower(dest, capacity, src, length, locale, status);
        });
  }
}

int LocaleServices::Compare(std::string_view a, std::string_view b,
                            CaseCompare case_compare) const {
  if (collation_ == nullptr) {
    return CompareMappedBytes(a, b,
                              case_compare == CaseCompare::ccIgnoreCase ? upper_.data() : nullptr);
  }
  return collation_->Compare(a, b, case_compare);
}

int LocaleServices::CompareCharacters(uint8_t a, uint8_t b, CaseCompare case_compare) const {
  if (collation_ == nullptr) {
    if (case_compare == CaseCompare::ccIgnoreCase) {
      a = upper_[a];
      b = upper_[b];
    }
    return a == b ? 0 : (a < b ? -1 : 1);
  }
  return collation_->CompareCharacters(a, b, case_compare);
}

void LocaleServices::UpperCaseInPlace(std::span<char> text) const {
  for (char& c : text) c = static_cast<char>(upper_[static_cast<uint8_t>(c)]);
}

void LocaleServices::LowerCaseInPlace(std::span<char> text) const {
  for (char& c : text) c = static_cast<char>(lower_[static_cast<uint8_t>(c)]);
}

std::string LocaleServices::UpperCase(std::string_view text) const {
  std::string result(text);
  UpperCaseInPlace(result);
  return result;
}

std::string LocaleServices::LowerCase(std::string_view text) const {
  std::string result(text);
  LowerCaseInPlace(result);
  return result;
}

const LocaleServices* LocaleServicesOf(LocaleId id) {
  if (id == kAnsiStandardLocaleId) {
    static const std::unique_ptr<LocaleServices> ansi = LocaleServices::Create(id);
    return ansi.get();
  }
  size_t index = IndexOf(id);
  if (index == kKnownLocaleCount) return nullptr;
  LocaleSlot& slot = Slots()[index];
  std::call_once(slot.services_once, [&] { slot.services = LocaleServices::Create(id); });
  return slot.services.get();
}

}  // namespace veltra::platform
