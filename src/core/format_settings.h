// Format settings per locale: the separators, formats and names with which dates, times,
// numbers and money are written as text and read back. Id 0 ("ANSI Standard") has a fixed set;
// every other locale reads its set from the system's locale data (ICU), ignoring user
// overrides, with the fixed values standing in for anything the data does not give. Texts are
// in the locale's code page.
//
// Format strings use the engine's tokens: "yyyy" year, "mm" month (after an "h" minutes), "mmmm"
// and "mmm" month names, "dd"/"d" day, "dddd"/"ddd" day names, "hh" hour, "ss" seconds and
// "AMPM" the AM or PM designator.
//
// The process also has one current set, which formatting without a locale uses; a saver pair
// lets code switch it for a while and put the old one back.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/locale_list.h"

namespace veltra {

struct TFormatSettings {
  std::string CurrencyString;
  uint8_t CurrencyFormat = 0;
  uint8_t NegCurrFormat = 0;
  char ThousandSeparator = ',';
  char DecimalSeparator = '.';
  uint8_t CurrencyDecimals = 2;
  char DateSeparator = '-';
  std::string ShortDateFormat{"yyyy-mm-dd"};
  std::string LongDateFormat{"dddd, mmmm dd, yyyy"};
  char TimeSeparator = ':';
  std::string TimeAMString{"AM"};
  std::string TimePMString{"PM"};
  std::string ShortTimeFormat{"hh:mm AMPM"};
  std::string LongTimeFormat{"hh:mm:ss AMPM"};
  // January first.
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January",   "February", "March",    "April",
                                             "May",       "June",     "July",     "August",
                                             "September", "October",  "November", "December"};
  // Sunday first.
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};

  bool operator==(const TFormatSettings&) const = default;
};

// The fixed settings of id 0 (the defaults of TFormatSettings).
const TFormatSettings& AnsiFormatSettings();

// The settings of locale `id`: AnsiFormatSettings() for 0 and for an id the system does not
// accept; otherwise read from the locale's data, field by field falling back to the fixed
// values. Each id's set is built once and kept; thread-safe.
const TFormatSettings& FormatSettingsOf(TLocaleId id);

// The process's current settings (AnsiFormatSettings() until changed). Thread-safe; a copy.
TFormatSettings ProcessFormatSettings();
void SetProcessFormatSettings(const TFormatSettings& settings);

// Saves the process's current settings when made and puts them back when it dies.
class TFormatSettingsSaver {
 public:
  TFormatSettingsSaver() : saved_(ProcessFormatSettings()) {}
  ~TFormatSettingsSaver() { SetProcessFormatSettings(saved_); }
  TFormatSettingsSaver(const TFormatSettingsSaver&) = delete;
  TFormatSettingsSaver& operator=(const TFormatSettingsSaver&) = delete;

  const TFormatSettings& Saved() const { return saved_; }

 private:
  TFormatSettings saved_;
};

}  // namespace veltra
