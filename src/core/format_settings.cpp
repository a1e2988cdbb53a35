// Format settings per locale, kept once built, and the process's current set.
#include "core/format_settings.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/locale_format.h"

namespace veltra {

namespace {

uint8_t SmallNumber(int value, uint8_t fallback) {
  return (value >= 0 && value <= 255) ? static_cast<uint8_t>(value) : fallback;
}

TFormatSettings FromLocaleFormats(const platform::LocaleFormats& formats) {
  const TFormatSettings& ansi = AnsiFormatSettings();
  TFormatSettings settings;
  settings.CurrencyString = formats.currency_symbol;
  settings.CurrencyFormat = SmallNumber(formats.currency_format, ansi.CurrencyFormat);
  settings.NegCurrFormat = SmallNumber(formats.negative_currency_format, ansi.NegCurrFormat);
  settings.ThousandSeparator = formats.thousand_separator;
  settings.DecimalSeparator = formats.decimal_separator;
  settings.CurrencyDecimals = SmallNumber(formats.currency_decimals, ansi.CurrencyDecimals);
  settings.DateSeparator = formats.date_separator;
  settings.ShortDateFormat = formats.short_date_format;
  settings.LongDateFormat = formats.long_date_format;
  settings.TimeSeparator = formats.time_separator;
  settings.TimeAMString = formats.time_am;
  settings.TimePMString = formats.time_pm;
  settings.ShortTimeFormat = formats.short_time_format;
  settings.LongTimeFormat = formats.long_time_format;
  settings.ShortMonthNames = formats.short_month_names;
  settings.LongMonthNames = formats.long_month_names;
  settings.ShortDayNames = formats.short_day_names;
  settings.LongDayNames = formats.long_day_names;
  return settings;
}

struct LocaleCache {
  std::mutex lock;
  std::map<TLocaleId, std::unique_ptr<const TFormatSettings>> sets;  // guarded by lock
};

LocaleCache& Cache() {
  static LocaleCache cache;
  return cache;
}

struct ProcessSettings {
  std::mutex lock;
  TFormatSettings current;  // guarded by lock
};

ProcessSettings& Process() {
  static ProcessSettings process;
  return process;
}

}  // namespace

const TFormatSettings& AnsiFormatSettings() {
  static const TFormatSettings ansi;
  return ansi;
}

const TFormatSettings& FormatSettingsOf(TLocaleId id) {
  if (id == platform::kAnsiStandardLocaleId) return AnsiFormatSettings();
  LocaleCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.lock);
  auto found = cache.sets.find(id);
  if (found != cache.sets.end()) return *found->second;
  // An id no locale has gets the fixed set without being kept, so ids read from damaged files
  // cannot grow the cache.
  std::optional<platform::LocaleFormats> formats = platform::LocaleFormatsOf(id);
  if (!formats) return AnsiFormatSettings();
  auto settings = std::make_unique<const TFormatSettings>(FromLocaleFormats(*formats));
  const TFormatSettings& kept = *settings;
  cache.sets.emplace(id, std::move(settings));
  return kept;
}

TFormatSettings ProcessFormatSettings() {
  ProcessSettings& process = Process();
  std::lock_guard<std::mutex> guard(process.lock);
  return process.current;
}

void SetProcessFormatSettings(const TFormatSettings& settings) {
  ProcessSettings& process = Process();
  std::lock_guard<std::mutex> guard(process.lock);
  process.current = settings;
}

}  // namespace veltra
