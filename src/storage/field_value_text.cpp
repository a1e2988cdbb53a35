#include "storage/field_value_text.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "core/data_types.h"

namespace veltra {

namespace {

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string_view Trim(std::string_view text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// A decimal number of any length made of digits only; nullopt when empty, not digits, or too
// large to matter (any such number fails the range checks anyway).
std::optional<int64_t> Digits(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool IsLeap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool IsDateText(std::string_view text) {
  const size_t first = text.find('-');
  if (first == std::string_view::npos) return false;
  const size_t second = text.find('-', first + 1);
  if (second == std::string_view::npos) return false;
  const auto year = Digits(text.substr(0, first));
  const auto month = Digits(text.substr(first + 1, second - first - 1));
  const auto day = Digits(text.substr(second + 1));
  if (!year || !month || !day || *year < 1 || *year > 9999 || *month < 1 || *month > 12) {
    return false;
  }
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int64_t days = kDays[*month - 1] + (*month == 2 && IsLeap(*year) ? 1 : 0);
  return *day >= 1 && *day <= days;
}

bool IsTimeText(std::string_view input) {
  std::string text = Upper(input);
  bool twelve_hour = false;
  bool pm = false;
  if (size_t at = text.find("AM"); at != std::string::npos) {
    text.erase(at, 2);
    twelve_hour = true;
  } else if (size_t at_pm = text.find("PM"); at_pm != std::string::npos) {
    text.erase(at_pm, 2);
    twelve_hour = pm = true;
  }
  std::string_view rest = Trim(text);
  const size_t colon = rest.find(':');
  if (colon == std::string_view::npos) return false;
  const auto hours = Digits(rest.substr(0, colon));
  rest = rest.substr(colon + 1);
  std::string_view minutes_text = rest;
  std::string_view seconds_text;
  std::string_view millis_text;
  if (size_t second_colon = rest.find(':'); second_colon != std::string_view::npos) {
    minutes_text = rest.substr(0, second_colon);
    seconds_text = rest.substr(second_colon + 1);
    if (size_t dot = seconds_text.find('.'); dot != std::string_view::npos) {
      millis_text = seconds_text.substr(dot + 1);
      seconds_text = seconds_text.substr(0, dot);
      if (millis_text.empty()) return false;
    }
  }
  const auto minutes = Digits(minutes_text);
  const auto seconds = seconds_text.empty() && millis_text.empty() ? std::optional<int64_t>(0)
                                                                   : Digits(seconds_text);
  const auto millis = millis_text.empty() ? std::optional<int64_t>(0) : Digits(millis_text);
  if (!hours || !minutes || !seconds || !millis) return false;
  int64_t hour = *hours;
  if (twelve_hour) {
    if (hour == 12) {
      hour = pm ? 12 : 0;
    } else if (pm) {
      hour += 12;
    }
  }
  return hour <= 23 && *minutes <= 59 && *seconds <= 59 && *millis <= 999;
}

bool IsTimestampText(std::string_view text) {
  if (size_t blank = text.find(' '); blank != std::string_view::npos) {
    return IsDateText(text.substr(0, blank)) && IsTimeText(text.substr(blank + 1));
  }
  if (text.find(':') != std::string_view::npos) return IsTimeText(text);
  return IsDateText(text);
}

bool IsNumberText(std::string_view text, bool integral) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  if (integral) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
  }
  // Only plain decimal text: no "inf" or "nan", no hexadecimal.
  if (text.find_first_not_of("0123456789.-+eE") != std::string_view::npos) return false;
  double value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  return error == std::errc() && end == text.data() + text.size();
}

bool IsIntegerInRange(std::string_view text, int64_t low, int64_t high) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
         value >= low && value <= high;
}

}  // namespace

bool IsValidFieldValueText(const TFieldDefinition& definition, std::string_view text) {
  if (text.empty()) return true;
  const std::optional<TDataType> type = DataTypeOfCode(definition.data_type);
  if (!type) return false;
  const std::string keyword = Upper(Trim(text));
  switch (*type) {
    case TDataType::dtString:
    case TDataType::dtBytes:
    case TDataType::dtVarBytes:
      return true;
    case TDataType::dtBlob:
      return false;
    case TDataType::dtDate:
      return keyword == "CURRENT_DATE" || IsDateText(text);
    case TDataType::dtTime:
      return keyword == "CURRENT_TIME" || IsTimeText(text);
    case TDataType::dtTimestamp:
      return keyword == "CURRENT_TIMESTAMP" || keyword == "CURRENT_DATE" ||
             keyword == "CURRENT_TIME" || IsTimestampText(text);
    case TDataType::dtBoolean:
      return keyword == "TRUE" || keyword == "FALSE";
    case TDataType::dtSmallInt:
      return IsIntegerInRange(text, std::numeric_limits<int16_t>::min(),
                              std::numeric_limits<int16_t>::max());
    case TDataType::dtInteger:
      return IsIntegerInRange(text, std::numeric_limits<int32_t>::min(),
                              std::numeric_limits<int32_t>::max());
    case TDataType::dtWord:
      return IsIntegerInRange(text, 0, std::numeric_limits<uint16_t>::max());
    case TDataType::dtLargeInt:
      return IsNumberText(text, true);
    case TDataType::dtFloat:
    case TDataType::dtBcd:
      return IsNumberText(text, false);
    case TDataType::dtUnknown:
      return false;
  }
  return false;
}

}  // namespace veltra
