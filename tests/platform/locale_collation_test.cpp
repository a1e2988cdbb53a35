#include "platform/locale_collation.h"

#include <gtest/gtest.h>
#include <unicode/ucol.h>

#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/locale.h"

namespace veltra::platform {

void PrintTo(const LocaleDescription& description, std::ostream* out) {
  *out << description.id << " " << description.icu_locale;
}

namespace {

constexpr LocaleId kPolish = 1045;
constexpr LocaleId kEnglishUs = 1033;
constexpr LocaleId kGerman = 1031;
constexpr LocaleId kCzech = 1029;
constexpr LocaleId kDanish = 1030;
constexpr LocaleId kFrench = 1036;
constexpr LocaleId kHungarian = 1038;
constexpr LocaleId kRussian = 1049;

int Sign(int value) { return (value > 0) - (value < 0); }

std::unique_ptr<LocaleCollation> OpenCollation(LocaleId id) {
  const LocaleDescription* description = FindLocaleDescription(id);
  if (description == nullptr) return nullptr;
  const CodePage* code_page = CodePageOf(description->code_page);
  if (code_page == nullptr) return nullptr;
  return LocaleCollation::Open(std::string(description->icu_locale), *code_page);
}

// ICU itself, with the settings the engine documents, always normalising: the order the shortcut
// and the byte iterator must reproduce.
class ReferenceOrder {
 public:
  explicit ReferenceOrder(LocaleId id)
      : code_page_(*CodePageOf(FindLocaleDescription(id)->code_page)) {
    std::string locale(FindLocaleDescription(id)->icu_locale);
    for (bool case_level : {true, false}) {
      UErrorCode status = U_ZERO_ERROR;
      UCollator* collator = ucol_open(locale.c_str(), &status);
      ucol_setStrength(collator, UCOL_PRIMARY);
      ucol_setAttribute(collator, UCOL_CASE_LEVEL, case_level ? UCOL_ON : UCOL_OFF, &status);
      ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
      ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
      EXPECT_TRUE(U_SUCCESS(status)) << locale;
      (case_level ? with_case_ : without_case_) = collator;
    }
  }
  ~ReferenceOrder() {
    ucol_close(with_case_);
    ucol_close(without_case_);
  }
  ReferenceOrder(const ReferenceOrder&) = delete;
  ReferenceOrder& operator=(const ReferenceOrder&) = delete;

  int Compare(std::string_view a, std::string_view b, CaseCompare case_compare) const {
    std::u16string units_a = Units(a);
    std::u16string units_b = Units(b);
    UCollator* collator = case_compare == CaseCompare::ccRespectCase ? with_case_ : without_case_;
    return ucol_strcoll(collator, units_a.data(), static_cast<int32_t>(units_a.size()),
                        units_b.data(), static_cast<int32_t>(units_b.size()));
  }

 private:
  std::u16string Units(std::string_view text) const {
    std::u16string units;
    for (char c : text) units.push_back(code_page_.ToUnicode(static_cast<uint8_t>(c)));
    return units;
  }

  const CodePage& code_page_;
  UCollator* with_case_ = nullptr;
  UCollator* without_case_ = nullptr;
};

struct OrderCase {
  LocaleId id;
  std::string a;  // UTF-8
  std::string b;
  int respecting_case;  // sign of the comparison of a with b
  int ignoring_case;
};

void PrintTo(const OrderCase& c, std::ostream* out) {
  *out << c.id << " '" << c.a << "' vs '" << c.b << "'";
}

class LocaleOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(LocaleOrder, ComparesAsTheLocaleSorts) {
  const OrderCase& c = GetParam();
  auto collation = OpenCollation(c.id);
  ASSERT_NE(collation, nullptr);
  const CodePage& code_page = *CodePageOf(FindLocaleDescription(c.id)->code_page);
  std::string a = code_page.FromUtf8(c.a);
  std::string b = code_page.FromUtf8(c.b);
  EXPECT_EQ(Sign(collation->Compare(a, b, CaseCompare::ccRespectCase)), c.respecting_case);
  EXPECT_EQ(Sign(collation->Compare(b, a, CaseCompare::ccRespectCase)), -c.respecting_case);
  EXPECT_EQ(Sign(collation->Compare(a, b, CaseCompare::ccIgnoreCase)), c.ignoring_case);
  EXPECT_EQ(Sign(collation->Compare(b, a, CaseCompare::ccIgnoreCase)), -c.ignoring_case);
}

// Behind an equal beginning longer than the stack buffer, ICU is reached through the iterator.
TEST_P(LocaleOrder, KeepsTheOrderBehindALongEqualBeginning) {
  const OrderCase& c = GetParam();
  auto collation = OpenCollation(c.id);
  ASSERT_NE(collation, nullptr);
  const CodePage& code_page = *CodePageOf(FindLocaleDescription(c.id)->code_page);
  const std::string beginning(300, '0');
  std::string a = beginning + code_page.FromUtf8(c.a);
  std::string b = beginning + code_page.FromUtf8(c.b);
  for (CaseCompare mode : {CaseCompare::ccRespectCase, CaseCompare::ccIgnoreCase}) {
    int expected = mode == CaseCompare::ccRespectCase ? c.respecting_case : c.ignoring_case;
    EXPECT_EQ(Sign(collation->Compare(a, b, mode)), expected);
    EXPECT_EQ(Sign(collation->CompareThroughCollator(a, b, mode)), expected);
    EXPECT_EQ(Sign(collation->CompareThroughCollator(b, a, mode)), -expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LocaleOrder,
    ::testing::Values(
        // Polish letters with diacritics are letters of their own: ą between a and b.
        OrderCase{kPolish, "a", "ą", -1, -1}, OrderCase{kPolish, "ą", "b", -1, -1},
        OrderCase{kPolish, "ąz", "ba", -1, -1}, OrderCase{kPolish, "e", "ę", -1, -1},
        OrderCase{kPolish, "łódź", "lodz", 1, 1}, OrderCase{kPolish, "ŁÓDŹ", "łódź", 1, 0},
        OrderCase{kPolish, "Żaba", "żaba", 1, 0}, OrderCase{kPolish, "zupa", "żaba", -1, -1},
        // Accents alone never count; case decides only between texts equal in their letters.
        OrderCase{kFrench, "e", "é", 0, 0}, OrderCase{kFrench, "resume", "résumé", 0, 0},
        OrderCase{kFrench, "resume", "Resume", -1, 0}, OrderCase{kFrench, "Résumé", "resume", 1, 0},
        OrderCase{kFrench, "Ab", "ac", -1, -1}, OrderCase{kFrench, "côte", "coté", 0, 0},
        OrderCase{kEnglishUs, "apple", "Apple", -1, 0},
        OrderCase{kEnglishUs, "Zebra", "apple", 1, 1},
        // Punctuation and blanks take part; control codes do not.
        OrderCase{kEnglishUs, "co-op", "coop", -1, -1}, OrderCase{kEnglishUs, "a b", "ab", -1, -1},
        OrderCase{kEnglishUs,
                  "a\x01"
                  "b",
                  "ab", 0, 0},
        OrderCase{kEnglishUs, "", "", 0, 0}, OrderCase{kEnglishUs, "", "a", -1, -1},
        OrderCase{kEnglishUs, "abc", "ab", 1, 1}, OrderCase{kEnglishUs, "10", "9", -1, -1},
        // German: ä is a with an accent; the phone book spells it ae.
        OrderCase{kGerman, "Müller", "Mueller", 1, 1}, OrderCase{kGerman, "ä", "a", 0, 0},
        OrderCase{kGermanPhoneBookLocaleId, "Müller", "Mueller", 0, 0},
        OrderCase{kGermanPhoneBookLocaleId, "ä", "af", -1, -1}, OrderCase{kGerman, "ß", "ss", 0, 0},
        // Czech ch is one letter after h; Hungarian cs one letter after c.
        OrderCase{kCzech, "h", "ch", -1, -1}, OrderCase{kCzech, "chata", "hrad", 1, 1},
        OrderCase{kCzech, "chata", "ilo", -1, -1}, OrderCase{kCzech, "cuketa", "chata", -1, -1},
        OrderCase{kCzech, "Chata", "chata", 1, 0}, OrderCase{kHungarian, "cz", "csa", -1, -1},
        OrderCase{kHungarian, "csa", "da", -1, -1},
        // Danish aa is å, after z.
        OrderCase{kDanish, "aa", "z", 1, 1}, OrderCase{kDanish, "ab", "z", -1, -1},
        OrderCase{kRussian, "а", "б", -1, -1}, OrderCase{kRussian, "ёж", "еж", 0, 0},
        OrderCase{kRussian, "Яблоко", "яблоко", 1, 0}));

TEST(LocaleCollation, MostBytesOfACommonCodePageTakeTheShortcut) {
  for (LocaleId id : {kPolish, kEnglishUs, kRussian}) {
    auto collation = OpenCollation(id);
    ASSERT_NE(collation, nullptr);
    EXPECT_GE(collation->ShortcutByteCount(), 240) << id;
  }
}

// Every locale, every pair of single characters: the shortcut's ranks must order them as ICU.
TEST(LocaleCollation, SingleCharactersCompareAsIcuComparesThem) {
  for (const LocaleDescription& description : KnownLocales()) {
    auto collation = OpenCollation(description.id);
    ASSERT_NE(collation, nullptr) << description.icu_locale;
    ReferenceOrder reference(description.id);
    int mismatches = 0;
    for (int a = 0; a < 256 && mismatches < 5; ++a) {
      for (int b = 0; b < 256 && mismatches < 5; ++b) {
        const char text_a = static_cast<char>(a);
        const char text_b = static_cast<char>(b);
        for (CaseCompare mode : {CaseCompare::ccRespectCase, CaseCompare::ccIgnoreCase}) {
          int expected = reference.Compare({&text_a, 1}, {&text_b, 1}, mode);
          int actual = Sign(
              collation->CompareCharacters(static_cast<uint8_t>(a), static_cast<uint8_t>(b), mode));
          if (actual != expected) {
            ++mismatches;
            ADD_FAILURE() << description.icu_locale << " bytes " << a << " and " << b
                          << (mode == CaseCompare::ccRespectCase ? " with case" : " without case")
                          << ": " << actual << " instead of " << expected;
          }
        }
      }
    }
  }
}

// Random texts and their near neighbours (one byte changed, case flipped, a byte inserted or
// dropped, cut short): the shortcut and the byte iterator must agree with ICU on every pair.
class LocaleCollationAgreement : public ::testing::TestWithParam<LocaleDescription> {};

std::string RandomText(std::mt19937& random, const std::string& alphabet, size_t max_length) {
  std::string text(std::uniform_int_distribution<size_t>(0, max_length)(random), '\0');
  for (char& c : text) c = alphabet[random() % alphabet.size()];
  return text;
}

std::string Neighbour(std::mt19937& random, std::string text, const std::string& alphabet,
                      const LocaleServices& services) {
  size_t position = text.empty() ? 0 : random() % text.size();
  switch (random() % 5) {
    case 0:
      if (!text.empty()) text[position] = alphabet[random() % alphabet.size()];
      break;
    case 1:
      text = random() % 2 ? services.UpperCase(text) : services.LowerCase(text);
      break;
    case 2:
      text.insert(position, 1, alphabet[random() % alphabet.size()]);
      break;
    case 3:
      if (!text.empty()) text.erase(position, 1);
      break;
    default:
      text.resize(position);
      break;
  }
  return text;
}

TEST_P(LocaleCollationAgreement, EveryPairComparesAsIcuComparesIt) {
  const LocaleDescription& description = GetParam();
  auto collation = OpenCollation(description.id);
  ASSERT_NE(collation, nullptr);
  const LocaleServices& services = *LocaleServicesOf(description.id);
  ReferenceOrder reference(description.id);

  std::string every_byte;
  for (int byte = 1; byte < 256; ++byte) every_byte.push_back(static_cast<char>(byte));
  // Letters of the contractions and expansions met above, plus blanks, hyphens and ignorables.
  std::string letters = services.FromUtf8("aAbcCdDehHlLnsSzZ·ßäÄåæéłąřšőöü -'") + "\x01";
  letters += services.FromUtf8("ёеЁЕ");

  std::mt19937 random(description.id);
  int mismatches = 0;
  for (int round = 0; round < 6000 && mismatches < 5; ++round) {
    const std::string& alphabet = round % 2 ? letters : every_byte;
    const size_t max_length = round % 50 == 0 ? 700 : 24;  // now and then past the stack buffer
    std::string a = RandomText(random, alphabet, max_length);
    std::string b = round % 3 ? Neighbour(random, a, alphabet, services)
                              : RandomText(random, alphabet, max_length);
    for (CaseCompare mode : {CaseCompare::ccRespectCase, CaseCompare::ccIgnoreCase}) {
      int expected = reference.Compare(a, b, mode);
      int actual = Sign(collation->Compare(a, b, mode));
      int through_icu = Sign(collation->CompareThroughCollator(a, b, mode));
      if (actual != expected || through_icu != expected) {
        ++mismatches;
        ADD_FAILURE() << description.icu_locale << " '" << services.ToUtf8(a) << "' vs '"
                      << services.ToUtf8(b) << "'"
                      << (mode == CaseCompare::ccRespectCase ? " with case" : " without case")
                      << ": " << actual << " / " << through_icu << " instead of " << expected;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(KnownLocales, LocaleCollationAgreement,
                         ::testing::ValuesIn(KnownLocales().begin(), KnownLocales().end()),
                         [](const auto& info) { return std::to_string(info.param.id); });

TEST(LocaleCollation, LongTextsDifferingOnlyAtTheEndAreOrderedByTheEnd) {
  auto collation = OpenCollation(kCzech);
  ASSERT_NE(collation, nullptr);
  std::string common(5000, 'c');
  for (size_t i = 1; i < common.size(); i += 2) common[i] = 'h';  // one contraction after another
  struct EndCase {
    std::string_view end_a;
    std::string_view end_b;
    int respecting_case;
    int ignoring_case;
  };
  const EndCase cases[] = {{"a", "b", -1, -1}, {"a", "A", -1, 0},  {"", "a", -1, -1},
                           {"x", "x", 0, 0},   {"\x01", "", 0, 0}, {"z", "ch", 1, 1}};
  for (const EndCase& c : cases) {
    std::string a = common + std::string(c.end_a);
    std::string b = common + std::string(c.end_b);
    EXPECT_EQ(Sign(collation->Compare(a, b, CaseCompare::ccRespectCase)), c.respecting_case);
    EXPECT_EQ(Sign(collation->Compare(a, b, CaseCompare::ccIgnoreCase)), c.ignoring_case);
  }
}

TEST(LocaleCollation, ThreadsCompareAtTheSameTime) {
  const LocaleServices& polish = *LocaleServicesOf(kPolish);
  const std::string a = polish.FromUtf8("Zażółć gęślą jaźń");
  const std::string b = polish.FromUtf8("zażółć gęślą jaźń");
  const std::string c = polish.FromUtf8("chrząszcz brzmi w trzcinie");
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        failures[t] += polish.Compare(a, b, CaseCompare::ccRespectCase) <= 0;
        failures[t] += polish.Compare(a, b, CaseCompare::ccIgnoreCase) != 0;
        failures[t] += polish.Compare(c, a, CaseCompare::ccIgnoreCase) >= 0;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int count : failures) EXPECT_EQ(count, 0);
}

TEST(AnsiStandardOrder, ComparesUnsignedBytes) {
  const LocaleServices& ansi = *LocaleServicesOf(kAnsiStandardLocaleId);
  struct ByteCase {
    std::string a;
    std::string b;
    int respecting_case;
    int ignoring_case;
  };
  const ByteCase cases[] = {
      {"B", "a", -1, 1},
      {"a", "A", 1, 0},
      {"a", "\xB9", -1, -1},
      {"\x7F", "\x80", -1, -1},
      {"\xE9", "\xC9", 1, 1},
      {"", "", 0, 0},
      {"", "\x01", -1, -1},
      {"ab", "abc", -1, -1},
      {"abc", "ABD", 1, -1},
      {std::string("a\0b", 3), "a", 1, 1},
      {std::string("a\0", 2), std::string("a\x01", 2), -1, -1},
  };
  for (const ByteCase& c : cases) {
    EXPECT_EQ(Sign(ansi.Compare(c.a, c.b, CaseCompare::ccRespectCase)), c.respecting_case)
        << c.a << " " << c.b;
    EXPECT_EQ(Sign(ansi.Compare(c.a, c.b, CaseCompare::ccIgnoreCase)), c.ignoring_case)
        << c.a << " " << c.b;
  }
  EXPECT_LT(ansi.CompareCharacters(0x7F, 0xFF, CaseCompare::ccRespectCase), 0);
  EXPECT_EQ(ansi.CompareCharacters('q', 'Q', CaseCompare::ccIgnoreCase), 0);
}

}  // namespace
}  // namespace veltra::platform
