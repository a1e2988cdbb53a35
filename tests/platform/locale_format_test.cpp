#include "platform/locale_format.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace veltra::platform {
namespace {

constexpr LocaleId kPolish = 1045;
constexpr LocaleId kEnglishUs = 1033;
constexpr LocaleId kGerman = 1031;
constexpr LocaleId kSpanish = 3082;
constexpr LocaleId kRussian = 1049;

TEST(LocaleFormats, AnsiStandardHasTheFixedSettings) {
  std::optional<LocaleFormats> formats = LocaleFormatsOf(kAnsiStandardLocaleId);
  ASSERT_TRUE(formats.has_value());
  EXPECT_EQ(formats->currency_symbol, "");
  EXPECT_EQ(formats->currency_format, 0);
  EXPECT_EQ(formats->negative_currency_format, 0);
  EXPECT_EQ(formats->currency_decimals, 2);
  EXPECT_EQ(formats->thousand_separator, ',');
  EXPECT_EQ(formats->decimal_separator, '.');
  EXPECT_EQ(formats->date_separator, '-');
  EXPECT_EQ(formats->short_date_format, "yyyy-mm-dd");
  EXPECT_EQ(formats->long_date_format, "dddd, mmmm dd, yyyy");
  EXPECT_EQ(formats->time_separator, ':');
  EXPECT_EQ(formats->time_am, "AM");
  EXPECT_EQ(formats->time_pm, "PM");
  EXPECT_EQ(formats->short_time_format, "hh:mm AMPM");
  EXPECT_EQ(formats->long_time_format, "hh:mm:ss AMPM");
  EXPECT_EQ(formats->long_month_names[0], "January");
  EXPECT_EQ(formats->short_month_names[11], "Dec");
  EXPECT_EQ(formats->long_day_names[0], "Sunday");
  EXPECT_EQ(formats->short_day_names[6], "Sat");
}

TEST(LocaleFormats, UnknownLocaleHasNone) { EXPECT_FALSE(LocaleFormatsOf(12345).has_value()); }

struct LocaleFormatCase {
  LocaleId id;
  std::string currency_symbol;  // UTF-8
  int currency_format;
  int negative_currency_format;
  char decimal_separator;
  char date_separator;
  std::string short_date_format;
  std::string short_time_format;
  std::string march;  // long month name, UTF-8
  std::string sunday;
};

void PrintTo(const LocaleFormatCase& c, std::ostream* out) { *out << "locale " << c.id; }

class LocaleFormatsOfLocale : public ::testing::TestWithParam<LocaleFormatCase> {};

TEST_P(LocaleFormatsOfLocale, ComeFromTheLocaleInItsCodePage) {
  const LocaleFormatCase& c = GetParam();
  std::optional<LocaleFormats> formats = LocaleFormatsOf(c.id);
  ASSERT_TRUE(formats.has_value());
  const CodePage& code_page = LocaleServicesOf(c.id)->code_page();
  EXPECT_EQ(code_page.ToUtf8(formats->currency_symbol), c.currency_symbol);
  EXPECT_EQ(formats->currency_format, c.currency_format);
  EXPECT_EQ(formats->negative_currency_format, c.negative_currency_format);
  EXPECT_EQ(formats->currency_decimals, 2);
  EXPECT_EQ(formats->decimal_separator, c.decimal_separator);
  EXPECT_EQ(formats->date_separator, c.date_separator);
  EXPECT_EQ(formats->time_separator, ':');
  EXPECT_EQ(formats->short_date_format, c.short_date_format);
  EXPECT_EQ(formats->short_time_format, c.short_time_format);
  EXPECT_EQ(code_page.ToUtf8(formats->long_month_names[2]), c.march);
  EXPECT_EQ(code_page.ToUtf8(formats->long_day_names[0]), c.sunday);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LocaleFormatsOfLocale,
    ::testing::Values(LocaleFormatCase{kPolish, "zł", 3, 8, ',', '.', "d.mm.yyyy", "hh:mm",
                                       "marzec", "niedziela"},
                      LocaleFormatCase{kEnglishUs, "$", 0, 1, '.', '/', "m/d/yyyy", "h:mm AMPM",
                                       "March", "Sunday"},
                      LocaleFormatCase{kGerman, "€", 3, 8, ',', '.', "dd.mm.yyyy", "hh:mm", "März",
                                       "Sonntag"},
                      // The phone-book order formats as German does.
                      LocaleFormatCase{kGermanPhoneBookLocaleId, "€", 3, 8, ',', '.', "dd.mm.yyyy",
                                       "hh:mm", "März", "Sonntag"},
                      // "₽" is not in windows-1251: the fixed value stands in.
                      LocaleFormatCase{kRussian, "", 3, 8, ',', '.', "dd.mm.yyyy", "hh:mm", "март",
                                       "воскресенье"}));

TEST(LocaleFormats, PolishThousandsSeparatorIsTheNoBreakSpace) {
  EXPECT_EQ(LocaleFormatsOf(kPolish)->thousand_separator, '\xA0');
  EXPECT_EQ(LocaleFormatsOf(kSpanish)->long_date_format, "dddd, d \"de\" mmmm \"de\" yyyy");
}

TEST(EngineFormatOfPattern, TranslatesIcuPatterns) {
  struct PatternCase {
    std::u16string_view icu;
    std::u16string_view engine;
  };
  const PatternCase cases[] = {
      {u"dd.MM.yy", u"dd.mm.yyyy"},
      {u"EEEE, MMMM d, y", u"dddd, mmmm d, yyyy"},
      {u"EEE d MMM", u"ddd d mmm"},
      {u"h:mm:ss a", u"h:mm:ss AMPM"},
      {u"HH:mm:ss.SSS", u"hh:mm:ss.zzz"},
      {u"d 'de' MMMM", u"d \"de\" mmmm"},
      {u"h 'o''clock' a", u"h \"o'clock\" AMPM"},
      {u"''yy", u"\"'\"yyyy"},
      {u"G y", u"yyyy"},          // no notation for the era
      {u"HH:mm zzzz", u"hh:mm"},  // nor for the time zone
      {u"h:mm\u202Fa", u"h:mm AMPM"},
      {u"'unclosed", u"\"unclosed\""},
      {u"", u""},
  };
  for (const PatternCase& c : cases) {
    EXPECT_TRUE(EngineFormatOfPattern(c.icu) == c.engine)
        << std::string(c.icu.begin(), c.icu.end());
  }
}

TEST(CurrencyFormatOfPattern, ClassifiesWhereTheSymbolAndTheSignStand) {
  struct CurrencyCase {
    std::u16string_view pattern;
    std::optional<int> positive;
    std::optional<int> negative;
  };
  const CurrencyCase cases[] = {
      {u"¤#,##0.00", 0, 1},
      {u"#,##0.00\u00A0¤", 3, 8},
      {u"¤ #,##0.00", 2, 9},
      {u"#,##0.00¤", 1, 5},
      {u"¤#,##0.00;(¤#,##0.00)", 0, 0},
      {u"#,##0.00 ¤;(#,##0.00 ¤)", 3, 15},
      {u"¤#,##0.00;¤-#,##0.00", 0, 2},
      {u"#,##0.00", std::nullopt, std::nullopt},
  };
  for (const CurrencyCase& c : cases) {
    std::string name(c.pattern.begin(), c.pattern.end());
    EXPECT_EQ(CurrencyFormatOfPattern(c.pattern), c.positive) << name;
    EXPECT_EQ(NegativeCurrencyFormatOfPattern(c.pattern), c.negative) << name;
  }
}

}  // namespace
}  // namespace veltra::platform
