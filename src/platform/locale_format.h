// The format settings of a locale: separators, currency, date and time formats, month and day
// names, as the engine formats and reads values with them. Id 0 ("ANSI Standard") has fixed
// settings; every other locale reads them from ICU's data for that locale (never from the user's
// environment), each setting falling back to the fixed value where the locale gives none that its
// code page can spell.
//
// Format texts use the engine's notation: d, dd (day), ddd, dddd (short and long day name),
// m, mm (month; right after an hour, minutes), mmm, mmmm (short and long month name), yy, yyyy,
// h, hh (hour; 12-hour when AMPM appears), ss (seconds), AMPM (the AM or PM text), and literal
// text in double quotes. Texts are in the locale's code page.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/locale.h"

namespace veltra::platform {

struct LocaleFormats {
  std::string currency_symbol;
  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $".
  int currency_format = 0;
  // 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$", 6 "1-$", 7 "1$-", 8 "-1 $",
  // 9 "-$ 1", 10 "1 $-", 11 "$ 1-", 12 "$ -1", 13 "1- $", 14 "($ 1)", 15 "(1 $)".
  int negative_currency_format = 0;
  int currency_decimals = 2;
  char thousand_separator = ',';
  char decimal_separator = '.';
  char date_separator = '-';
  std::string short_date_format = "yyyy-mm-dd";
  std::string long_date_format = "dddd, mmmm dd, yyyy";
  char time_separator = ':';
  std::string time_am = "AM";
  std::string time_pm = "PM";
  std::string short_time_format = "hh:mm AMPM";
  std::string long_time_format = "hh:mm:ss AMPM";
  std::array<std::string, 12> short_month_names = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> long_month_names = {"January",   "February", "March",    "April",
                                                  "May",       "June",     "July",     "August",
                                                  "September", "October",  "November", "December"};
  // Sunday first.
  std::array<std::string, 7> short_day_names = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> long_day_names = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                               "Thursday", "Friday", "Saturday"};
};

// The format settings of `id`: the fixed ones (the defaults above) for id 0, the locale's own for
// any other available id; nullopt when the locale is not available. Read afresh on every call, so
// callers keep the result.
std::optional<LocaleFormats> LocaleFormatsOf(LocaleId id);

// An ICU date or time pattern ("dd.MM.yy", "h:mm a", "d 'de' MMMM") in the engine's notation
// ("dd.mm.yyyy", "h:mm AMPM", "d \"de\" mmmm"), still in UTF-16. Years always get four digits.
// Fields the engine has no notation for (era, time zone and the like) are left out.
std::u16string EngineFormatOfPattern(std::u16string_view icu_pattern);

// The negative currency format (0..15 as above) that an ICU currency pattern such as
// "#,##0.00 ¤" or "¤#,##0.00;(¤#,##0.00)" describes, or nullopt when it matches none.
std::optional<int> NegativeCurrencyFormatOfPattern(std::u16string_view icu_pattern);
// The currency format (0..3) of the pattern's positive part, or nullopt.
std::optional<int> CurrencyFormatOfPattern(std::u16string_view icu_pattern);

}  // namespace veltra::platform
