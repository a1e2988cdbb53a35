#include "platform/locale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace veltra::platform {
namespace {

constexpr LocaleId kPolish = 1045;
constexpr LocaleId kEnglishUs = 1033;
constexpr LocaleId kGerman = 1031;
constexpr LocaleId kCzech = 1029;
constexpr LocaleId kFrench = 1036;
constexpr LocaleId kTurkish = 1055;
constexpr LocaleId kRussian = 1049;
constexpr LocaleId kUnknown = 12345;

const LocaleServices& ServicesOf(LocaleId id) {
  const LocaleServices* services = LocaleServicesOf(id);
  if (services == nullptr) {
    ADD_FAILURE() << "locale " << id << " is not available";
    return *LocaleServicesOf(kAnsiStandardLocaleId);
  }
  return *services;
}

struct DescriptionCase {
  LocaleId id;
  std::string_view language_name;
  std::string_view abbreviation;
  std::string_view code_page;
};

TEST(LocaleTable, DescribesTheLocalesTheEngineRelies) {
  const DescriptionCase cases[] = {
      {kAnsiStandardLocaleId, "ANSI Standard", "ANSI", kLatin1CodePageName},
      {kPolish, "Polish (Poland)", "PLK", "windows-1250"},
      {kEnglishUs, "English (United States)", "ENU", "windows-1252"},
      {kGerman, "German (Germany)", "DEU", "windows-1252"},
      {kGermanPhoneBookLocaleId, "German (German Phone Book)", "DEP", "windows-1252"},
      {kCzech, "Czech (Czech Republic)", "CSY", "windows-1250"},
      {kFrench, "French (France)", "FRA", "windows-1252"},
      {kRussian, "Russian (Russia)", "RUS", "windows-1251"},
  };
  for (const DescriptionCase& c : cases) {
    const LocaleDescription* description = FindLocaleDescription(c.id);
    ASSERT_NE(description, nullptr) << c.id;
    EXPECT_EQ(description->id, c.id);
    EXPECT_EQ(description->language_name, c.language_name);
    EXPECT_EQ(description->abbreviation, c.abbreviation);
    EXPECT_EQ(description->code_page, c.code_page);
    EXPECT_TRUE(IsLocaleAvailable(c.id)) << c.id;
    const LocaleServices& services = ServicesOf(c.id);
    EXPECT_EQ(services.Id(), c.id);
    EXPECT_EQ(services.code_page().Name(), c.code_page);
    EXPECT_EQ(services.IsByteOrder(), c.id == kAnsiStandardLocaleId);
  }
}

TEST(LocaleTable, EveryKnownLocaleIsAvailableOnThisSystem) {
  for (const LocaleDescription& description : KnownLocales()) {
    EXPECT_TRUE(IsLocaleAvailable(description.id)) << description.icu_locale;
    EXPECT_NE(LocaleServicesOf(description.id), nullptr) << description.icu_locale;
    EXPECT_EQ(description.abbreviation.size(), 3u) << description.icu_locale;
  }
}

TEST(LocaleTable, UnknownIdsAreReportedAsNotAvailable) {
  for (LocaleId id : {kUnknown, LocaleId{1}, LocaleId{0x0415 + 0x10000}, LocaleId{0xFFFFFFFF}}) {
    EXPECT_EQ(FindLocaleDescription(id), nullptr) << id;
    EXPECT_FALSE(IsLocaleAvailable(id)) << id;
    EXPECT_EQ(LocaleServicesOf(id), nullptr) << id;
    EXPECT_EQ(LocaleServices::Create(id), nullptr) << id;
  }
}

TEST(LocaleTable, SystemLocalesLeaveOutTheAlternateSortAndAnsi) {
  std::vector<LocaleDescription> locales = SystemLocales();
  auto has = [&](LocaleId id) {
    return std::any_of(locales.begin(), locales.end(),
                       [&](const LocaleDescription& d) { return d.id == id; });
  };
  EXPECT_TRUE(has(kPolish));
  EXPECT_TRUE(has(kGerman));
  EXPECT_FALSE(has(kGermanPhoneBookLocaleId));
  EXPECT_FALSE(has(kAnsiStandardLocaleId));
  EXPECT_TRUE(std::is_sorted(locales.begin(), locales.end(),
                             [](const auto& a, const auto& b) { return a.id < b.id; }));
}

TEST(LocaleServicesRegistry, EveryThreadGetsTheSameServicesBuiltOnce) {
  constexpr int kThreads = 6;
  const LocaleId ids[] = {kCzech, kTurkish};
  for (LocaleId id : ids) {
    std::vector<const LocaleServices*> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] { seen[t] = LocaleServicesOf(id); });
    }
    for (std::thread& thread : threads) thread.join();
    ASSERT_NE(seen[0], nullptr);
    for (const LocaleServices* services : seen) EXPECT_EQ(services, seen[0]);
    EXPECT_EQ(LocaleServicesOf(id), seen[0]);
  }
}

struct CaseMappingCase {
  LocaleId id;
  std::string_view character;  // UTF-8
  std::string_view upper;
  std::string_view lower;
};

class LocaleCaseMapping : public ::testing::TestWithParam<CaseMappingCase> {};

TEST_P(LocaleCaseMapping, MapsOneByteToOneByte) {
  const CaseMappingCase& c = GetParam();
  const LocaleServices& services = ServicesOf(c.id);
  std::string byte = services.FromUtf8(c.character);
  ASSERT_EQ(byte.size(), 1u);
  auto b = static_cast<uint8_t>(byte[0]);
  EXPECT_EQ(services.ToUtf8(std::string(1, static_cast<char>(services.Upper(b)))), c.upper);
  EXPECT_EQ(services.ToUtf8(std::string(1, static_cast<char>(services.Lower(b)))), c.lower);
  EXPECT_EQ(services.UpperTable()[b], services.Upper(b));
  EXPECT_EQ(services.LowerTable()[b], services.Lower(b));
}

INSTANTIATE_TEST_SUITE_P(
    Characters, LocaleCaseMapping,
    ::testing::Values(
        CaseMappingCase{kPolish, "ą", "Ą", "ą"}, CaseMappingCase{kPolish, "Ł", "Ł", "ł"},
        CaseMappingCase{kPolish, "ź", "Ź", "ź"}, CaseMappingCase{kPolish, "7", "7", "7"},
        CaseMappingCase{kGerman, "ß", "ß", "ß"},  // "SS" is two characters
        CaseMappingCase{kGerman, "ÿ", "Ÿ", "ÿ"},  // Ÿ lives at 0x9F
        CaseMappingCase{kGerman, "µ", "µ", "µ"},  // capital Mu is not in 1252
        CaseMappingCase{kGerman, "Ä", "Ä", "ä"}, CaseMappingCase{kEnglishUs, "i", "I", "i"},
        CaseMappingCase{kTurkish, "i", "İ", "i"},  // linguistic casing
        CaseMappingCase{kTurkish, "I", "I", "ı"}, CaseMappingCase{kRussian, "я", "Я", "я"},
        CaseMappingCase{kRussian, "Ё", "Ё", "ё"}));

TEST(LocaleCaseMapping, AnsiStandardMapsOnlyAsciiLetters) {
  const LocaleServices& ansi = ServicesOf(kAnsiStandardLocaleId);
  for (int byte = 0; byte < 256; ++byte) {
    auto b = static_cast<uint8_t>(byte);
    bool lower = byte >= 'a' && byte <= 'z';
    bool upper = byte >= 'A' && byte <= 'Z';
    EXPECT_EQ(ansi.Upper(b), lower ? b - 32 : b) << byte;
    EXPECT_EQ(ansi.Lower(b), upper ? b + 32 : b) << byte;
  }
}

TEST(LocaleCaseMapping, WholeTextsKeepTheirLength) {
  struct TextCase {
    LocaleId id;
    std::string text;  // UTF-8
    std::string upper;
    std::string lower;
  };
  const TextCase cases[] = {
      {kPolish, "Zażółć Gęślą Jaźń 42", "ZAŻÓŁĆ GĘŚLĄ JAŹŃ 42", "zażółć gęślą jaźń 42"},
      {kGerman, "Straße", "STRAßE", "straße"},
      {kAnsiStandardLocaleId, "abcéXYZ", "ABCéXYZ", "abcéxyz"},  // é is above ASCII
  };
  for (const TextCase& c : cases) {
    const LocaleServices& services = ServicesOf(c.id);
    std::string text = services.FromUtf8(c.text);
    EXPECT_EQ(services.ToUtf8(services.UpperCase(text)), c.upper);
    EXPECT_EQ(services.ToUtf8(services.LowerCase(text)), c.lower);
    std::string buffer = text;
    services.UpperCaseInPlace(buffer);
    EXPECT_EQ(buffer, services.UpperCase(text));
    services.LowerCaseInPlace(buffer);
    EXPECT_EQ(buffer, services.LowerCase(text));
  }
}

}  // namespace
}  // namespace veltra::platform
