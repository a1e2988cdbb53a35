#include "platform/locale_format.h"

#include <unicode/udat.h>
#include <unicode/unum.h>

#include <memory>
#include <string_view>

namespace veltra::platform {
namespace {

constexpr char16_t kCurrencySign = 0x00A4;  // where an ICU currency pattern puts the symbol
constexpr char16_t kNoBreakSpace = 0x00A0;
constexpr size_t kSymbolCapacity = 128;

// Canonical forms of the currency formats, indexed by their numbers: "$" the symbol, "1" the
// amount, "-" the minus sign.
constexpr std::u16string_view kCurrencyForms[] = {u"$1", u"1$", u"$ 1", u"1 $"};
constexpr std::u16string_view kNegativeCurrencyForms[] = {
    u"($1)", u"-$1",  u"$-1",  u"$1-",  u"(1$)", u"-1$",  u"1-$",   u"1$-",
    u"-1 $", u"-$ 1", u"1 $-", u"$ 1-", u"$ -1", u"1- $", u"($ 1)", u"(1 $)"};

struct DateFormatCloser {
  void operator()(UDateFormat* format) const { udat_close(format); }
};
struct NumberFormatCloser {
  void operator()(UNumberFormat* format) const { unum_close(format); }
};
using DateFormatHandle = std::unique_ptr<UDateFormat, DateFormatCloser>;
using NumberFormatHandle = std::unique_ptr<UNumberFormat, NumberFormatCloser>;

bool IsSpaceLike(char16_t c) {
  return c == u' ' || c == kNoBreakSpace || c == 0x202F || c == 0x2009;
}
bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// `text` in `code_page`, or nullopt when a character has no byte there. Blanks of any width
// become the code page's no-break space, or a plain blank where it has none.
std::optional<std::string> Spell(const CodePage& code_page, std::u16string_view text) {
  std::string bytes;
  for (char16_t c : text) {
    std::optional<uint8_t> byte = code_page.FromUnicode(c);
    if (!byte && IsSpaceLike(c)) byte = code_page.FromUnicode(kNoBreakSpace).value_or(' ');
    if (!byte) return std::nullopt;
    bytes.push_back(static_cast<char>(*byte));
  }
  return bytes;
}

void SpellInto(std::string& target, const CodePage& code_page, std::u16string_view text) {
  if (text.empty()) return;
  if (auto bytes = Spell(code_page, text)) target = *bytes;
}

void SpellInto(char& target, const CodePage& code_page, std::u16string_view text) {
  if (auto bytes = Spell(code_page, text); bytes && bytes->size() == 1) target = (*bytes)[0];
}

std::u16string NumberSymbol(const UNumberFormat* format, UNumberFormatSymbol symbol) {
  UChar buffer[kSymbolCapacity];
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = unum_getSymbol(format, symbol, buffer, kSymbolCapacity, &status);
  if (U_FAILURE(status) || length > static_cast<int32_t>(kSymbolCapacity)) return {};
  return std::u16string(buffer, buffer + length);
}

std::u16string NumberPattern(const UNumberFormat* format) {
  UChar buffer[kSymbolCapacity];
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = unum_toPattern(format, false, buffer, kSymbolCapacity, &status);
  if (U_FAILURE(status) || length > static_cast<int32_t>(kSymbolCapacity)) return {};
  return std::u16string(buffer, buffer + length);
}

DateFormatHandle OpenDateFormat(const std::string& locale, UDateFormatStyle time_style,
                                UDateFormatStyle date_style) {
  UErrorCode status = U_ZERO_ERROR;
  DateFormatHandle format(
      udat_open(time_style, date_style, locale.c_str(), u"UTC", -1, nullptr, 0, &status));
  if (U_FAILURE(status)) return nullptr;
  return format;
}

std::u16string DatePattern(const UDateFormat* format) {
  if (format == nullptr) return {};
  UChar buffer[kSymbolCapacity];
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = udat_toPattern(format, false, buffer, kSymbolCapacity, &status);
  if (U_FAILURE(status) || length > static_cast<int32_t>(kSymbolCapacity)) return {};
  return std::u16string(buffer, buffer + length);
}

std::u16string DateSymbol(const UDateFormat* format, UDateFormatSymbolType type, int32_t index) {
  if (format == nullptr) return {};
  UChar buffer[kSymbolCapacity];
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = udat_getSymbols(format, type, index, buffer, kSymbolCapacity, &status);
  if (U_FAILURE(status) || length > static_cast<int32_t>(kSymbolCapacity)) return {};
  return std::u16string(buffer, buffer + length);
}

// The first character of `pattern` outside quotes that is neither a pattern letter nor a blank.
std::u16string SeparatorOf(std::u16string_view pattern) {
  bool quoted = false;
  for (char16_t c : pattern) {
    if (c == u'\'') {
      quoted = !quoted;
    } else if (!quoted && !IsAsciiLetter(c) && !IsSpaceLike(c)) {
      return std::u16string(1, c);
    }
  }
  return {};
}

// The currency pattern reduced to its canonical form: the amount as "1", the symbol as "$", the
// minus sign, parentheses, and single blanks between the symbol and what stands next to it.
std::u16string CurrencyForm(std::u16string_view pattern) {
  std::u16string form;
  for (char16_t c : pattern) {
    char16_t token = 0;
    if (c == u'#' || c == u'0' || c == u',' || c == u'.' || (c >= u'1' && c <= u'9')) {
      token = u'1';
    } else if (c == kCurrencySign) {
      token = u'$';
    } else if (c == u'-' || c == u'(' || c == u')') {
      token = c;
    } else if (IsSpaceLike(c)) {
      token = u' ';
    }
    if (token != 0 && (form.empty() || form.back() != token || token == u'-')) form += token;
  }
  // Blanks count only between the symbol and its neighbour.
  std::u16string trimmed;
  for (size_t i = 0; i < form.size(); ++i) {
    if (form[i] == u' ') {
      bool after_symbol = i > 0 && form[i - 1] == u'$';
      bool before_symbol = i + 1 < form.size() && form[i + 1] == u'$';
      bool inner = i > 0 && i + 1 < form.size() && form[i - 1] != u'(' && form[i + 1] != u')';
      if (!inner || !(after_symbol || before_symbol)) continue;
    }
    trimmed += form[i];
  }
  return trimmed;
}

template <size_t kCount>
std::optional<int> FormIndex(const std::u16string_view (&forms)[kCount], std::u16string_view form) {
  for (size_t i = 0; i < kCount; ++i) {
    if (forms[i] == form) return static_cast<int>(i);
  }
  return std::nullopt;
}

}  // namespace

std::u16string EngineFormatOfPattern(std::u16string_view pattern) {
  std::u16string out;
  size_t i = 0;
  while (i < pattern.size()) {
    char16_t c = pattern[i];
    if (c == u'\'') {
      // A quoted literal; two quotes stand for one.
      std::u16string literal;
      size_t j = i + 1;
      if (j < pattern.size() && pattern[j] == u'\'') {
        literal = u"'";
        ++j;
      } else {
        while (j < pattern.size()) {
          if (pattern[j] == u'\'') {
            if (j + 1 < pattern.size() && pattern[j + 1] == u'\'') {
              literal += u'\'';
              j += 2;
              continue;
            }
            ++j;
            break;
          }
          literal += pattern[j++];
        }
      }
      if (!literal.empty()) out += u'"' + literal + u'"';
      i = j;
      continue;
    }
    if (!IsAsciiLetter(c)) {
      out += IsSpaceLike(c) ? u' ' : c;  // the engine's formats know one blank only
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    i += run;
    switch (c) {
      case u'y':
      case u'Y':
      case u'u':
        out += u"yyyy";  // two-digit years would not survive a round trip through text
        break;
      case u'M':
      case u'L':
        out += run == 1 ? u"m" : run == 2 ? u"mm" : run == 4 ? u"mmmm" : u"mmm";
        break;
      case u'd':
        out += run == 1 ? u"d" : u"dd";
        break;
      case u'E':
      case u'c':
      case u'e':
        out += run == 4 ? u"dddd" : u"ddd";
        break;
      case u'H':
      case u'h':
      case u'K':
      case u'k':
        out += run == 1 ? u"h" : u"hh";
        break;
      case u'm':
        out += run == 1 ? u"m" : u"mm";
        break;
      case u's':
        out += run == 1 ? u"s" : u"ss";
        break;
      case u'S':
        out += u"zzz";
        break;
      case u'a':
      case u'b':
      case u'B':
        out += u"AMPM";
        break;
      default:  // era, time zone, quarter, week and the like have no notation
        break;
    }
  }
  // A field left out may leave blanks at either end.
  size_t first = 0;
  while (first < out.size() && IsSpaceLike(out[first])) ++first;
  size_t last = out.size();
  while (last > first && IsSpaceLike(out[last - 1])) --last;
  return out.substr(first, last - first);
}

std::optional<int> CurrencyFormatOfPattern(std::u16string_view pattern) {
  std::u16string_view positive = pattern.substr(0, pattern.find(u';'));
  return FormIndex(kCurrencyForms, CurrencyForm(positive));
}

std::optional<int> NegativeCurrencyFormatOfPattern(std::u16string_view pattern) {
  size_t separator = pattern.find(u';');
  if (separator != std::u16string_view::npos) {
    return FormIndex(kNegativeCurrencyForms, CurrencyForm(pattern.substr(separator + 1)));
  }
  // Without a negative part the minus sign stands in front of the positive pattern.
  return FormIndex(kNegativeCurrencyForms, CurrencyForm(u"-" + std::u16string(pattern)));
}

std::optional<LocaleFormats> LocaleFormatsOf(LocaleId id) {
  if (id == kAnsiStandardLocaleId) return LocaleFormats{};
  const LocaleDescription* description = FindLocaleDescription(id);
  if (description == nullptr || !IsLocaleAvailable(id)) return std::nullopt;
  const CodePage* code_page = CodePageOf(description->code_page);
  if (code_page == nullptr) return std::nullopt;
  // An alternate sort order formats as its language does.
  if (description->alternate_sort) {
    const LocaleDescription* language = FindLocaleDescription(id & 0xFFFF);
    if (language != nullptr) description = language;
  }
  const std::string locale(description->icu_locale);
  LocaleFormats formats;

  UErrorCode status = U_ZERO_ERROR;
  NumberFormatHandle currency(
      unum_open(UNUM_CURRENCY, nullptr, 0, locale.c_str(), nullptr, &status));
  if (U_SUCCESS(status)) {
    const UNumberFormat* format = currency.get();
    SpellInto(formats.currency_symbol, *code_page, NumberSymbol(format, UNUM_CURRENCY_SYMBOL));
    SpellInto(formats.decimal_separator, *code_page,
              NumberSymbol(format, UNUM_DECIMAL_SEPARATOR_SYMBOL));
    SpellInto(formats.thousand_separator, *code_page,
              NumberSymbol(format, UNUM_GROUPING_SEPARATOR_SYMBOL));
    int32_t decimals = unum_getAttribute(format, UNUM_MAX_FRACTION_DIGITS);
    if (decimals >= 0 && decimals <= 9) formats.currency_decimals = decimals;
    std::u16string pattern = NumberPattern(format);
    formats.currency_format = CurrencyFormatOfPattern(pattern).value_or(formats.currency_format);
    formats.negative_currency_format =
        NegativeCurrencyFormatOfPattern(pattern).value_or(formats.negative_currency_format);
  }

  DateFormatHandle short_date = OpenDateFormat(locale, UDAT_NONE, UDAT_SHORT);
  DateFormatHandle long_date = OpenDateFormat(locale, UDAT_NONE, UDAT_FULL);
  DateFormatHandle short_time = OpenDateFormat(locale, UDAT_SHORT, UDAT_NONE);
  DateFormatHandle long_time = OpenDateFormat(locale, UDAT_MEDIUM, UDAT_NONE);
  std::u16string short_date_pattern = DatePattern(short_date.get());
  std::u16string short_time_pattern = DatePattern(short_time.get());
  SpellInto(formats.date_separator, *code_page, SeparatorOf(short_date_pattern));
  SpellInto(formats.time_separator, *code_page, SeparatorOf(short_time_pattern));
  SpellInto(formats.short_date_format, *code_page, EngineFormatOfPattern(short_date_pattern));
  SpellInto(formats.long_date_format, *code_page,
            EngineFormatOfPattern(DatePattern(long_date.get())));
  SpellInto(formats.short_time_format, *code_page, EngineFormatOfPattern(short_time_pattern));
  SpellInto(formats.long_time_format, *code_page,
            EngineFormatOfPattern(DatePattern(long_time.get())));

  const UDateFormat* symbols = short_date.get();
  SpellInto(formats.time_am, *code_page, DateSymbol(symbols, UDAT_AM_PMS, 0));
  SpellInto(formats.time_pm, *code_page, DateSymbol(symbols, UDAT_AM_PMS, 1));
  for (int32_t month = 0; month < 12; ++month) {
    SpellInto(formats.long_month_names[month], *code_page,
              DateSymbol(symbols, UDAT_STANDALONE_MONTHS, month));
    SpellInto(formats.short_month_names[month], *code_page,
              DateSymbol(symbols, UDAT_STANDALONE_SHORT_MONTHS, month));
  }
  // ICU counts the days of the week from 1, Sunday.
  for (int32_t day = 0; day < 7; ++day) {
    SpellInto(formats.long_day_names[day], *code_page,
              DateSymbol(symbols, UDAT_STANDALONE_WEEKDAYS, day + 1));
    SpellInto(formats.short_day_names[day], *code_page,
              DateSymbol(symbols, UDAT_STANDALONE_SHORT_WEEKDAYS, day + 1));
  }
  return formats;
}

}  // namespace veltra::platform
