// Readers and writers of the values' text forms. Numbers in texts are read with saturation, so a
// run of any length of digits cannot overflow; a saturated part is simply out of range.
#include "core/value_text.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "core/date_time.h"

namespace veltra {

namespace {

// Larger than any part of a date or time, so a saturated part fails the range checks.
constexpr int64_t kPartCap = 1'000'000'000;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualsIgnoringCase(std::string_view text, std::string_view upper_word) {
  if (text.size() != upper_word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (Upper(text[i]) != upper_word[i]) return false;
  }
  return true;
}

// A run of one or more digits as a number capped at kPartCap.
std::optional<int64_t> PartValue(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return std::nullopt;
    value = std::min(value * 10 + (c - '0'), kPartCap);
  }
  return value;
}

// Text with a two-character hole (the removed AM or PM), read character by character.
class HoledText {
 public:
  HoledText(std::string_view text, size_t hole) : text_(text), hole_(hole) {}

  size_t size() const { return text_.size() - (hole_ < text_.size() ? 2 : 0); }
  char operator[](size_t i) const { return text_[i < hole_ ? i : i + 2]; }

 private:
  std::string_view text_;
  size_t hole_;
};

size_t FindIgnoringCase(std::string_view text, char first, char second) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (Upper(text[i]) == first && Upper(text[i + 1]) == second) return i;
  }
  return std::string_view::npos;
}

void Append(TValueText& out, std::string_view text) {
  for (char c : text) {
    if (out.length < TValueText::kCapacity) out.chars[out.length++] = c;
  }
}

void AppendTwoDigits(TValueText& out, int32_t value) {
  const char pair[2] = {static_cast<char>('0' + value / 10 % 10),
                        static_cast<char>('0' + value % 10)};
  Append(out, {pair, 2});
}

void AppendNumber(TValueText& out, int64_t value) {
  std::array<char, 24> digits{};
  const std::to_chars_result result =
      std::to_chars(digits.data(), digits.data() + digits.size(), value);
  Append(out, {digits.data(), static_cast<size_t>(result.ptr - digits.data())});
}

bool AppendDate(TValueText& out, TDate date) {
  if (!IsValidDate(date)) return false;
  const TDateParts parts = DecodeDate(date);
  AppendTwoDigits(out, parts.year / 100);
  AppendTwoDigits(out, parts.year % 100);
  Append(out, "-");
  AppendTwoDigits(out, parts.month);
  Append(out, "-");
  AppendTwoDigits(out, parts.day);
  return true;
}

bool AppendTime(TValueText& out, TTime time, TTimeTextForm form) {
  const std::optional<TTimeParts> parts = DecodeTime(time);
  if (!parts) return false;
  int32_t hour = parts->hour;
  if (form == TTimeTextForm::tf12Hour) {
    hour %= 12;
    if (hour == 0) hour = 12;
  }
  AppendTwoDigits(out, hour);
  Append(out, ":");
  AppendTwoDigits(out, parts->minute);
  if (parts->second != 0) {
    Append(out, ":");
    AppendTwoDigits(out, parts->second);
    if (parts->millisecond != 0) {
      Append(out, ".");
      AppendNumber(out, parts->millisecond);
    }
  }
  if (form == TTimeTextForm::tf12Hour) Append(out, parts->hour < 12 ? " AM" : " PM");
  return true;
}

// The grammar of a float text, and the decimal magnitude of its first significant digit
// (for telling an underflow from an overflow).
struct FloatShape {
  bool valid = false;
  int64_t magnitude = 0;  // meaningful only when some digit is not zero
  bool any_nonzero = false;
};

FloatShape ShapeOfFloat(std::string_view text) {
  FloatShape shape;
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  int64_t whole_digits = 0;   // significant digits before the point
  int64_t leading_zeros = 0;  // zeros after the point before the first significant digit
  bool digits = false;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    digits = true;
    if (text[i] != '0' || shape.any_nonzero) {
      shape.any_nonzero = true;
      ++whole_digits;
    }
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      digits = true;
      if (!shape.any_nonzero) {
        if (text[i] == '0') {
          ++leading_zeros;
        } else {
          shape.any_nonzero = true;
        }
      }
    }
  }
  if (!digits) return shape;
  int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const size_t start = i;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      exponent = std::min<int64_t>(exponent * 10 + (text[i] - '0'), kPartCap);
    }
    if (i == start) return shape;
    if (negative) exponent = -exponent;
  }
  if (i != text.size()) return shape;
  shape.valid = true;
  shape.magnitude = (whole_digits > 0 ? whole_digits - 1 : -leading_zeros - 1) + exponent;
  return shape;
}

}  // namespace

std::optional<TDate> TextToDate(std::string_view text) {
  text = Trim(text);
  const size_t first = text.find('-');
  if (first == std::string_view::npos) return std::nullopt;
  const size_t second = text.find('-', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const std::optional<int64_t> year = PartValue(text.substr(0, first));
  const std::optional<int64_t> month = PartValue(text.substr(first + 1, second - first - 1));
  // A third "-" makes the day part fail as a number.
  const std::optional<int64_t> day = PartValue(text.substr(second + 1));
  if (!year || !month || !day) return std::nullopt;
  return EncodeDate(*year, *month, *day);
}

std::optional<TTime> TextToTime(std::string_view text) {
  enum class Half { kNone, kAm, kPm } half = Half::kNone;
  size_t hole = FindIgnoringCase(text, 'A', 'M');
  if (hole != std::string_view::npos) {
    half = Half::kAm;
  } else {
    hole = FindIgnoringCase(text, 'P', 'M');
    if (hole != std::string_view::npos) half = Half::kPm;
  }
  const HoledText rest(text, hole);
  size_t begin = 0;
  size_t end = rest.size();
  while (begin < end && IsBlank(rest[begin])) ++begin;
  while (end > begin && IsBlank(rest[end - 1])) --end;

  // hours ":" minutes [":" seconds ["." milliseconds]]
  std::array<int64_t, 4> part{};
  int parts = 0;
  bool digits = false;
  for (size_t i = begin; i < end; ++i) {
    const char c = rest[i];
    if (IsDigit(c)) {
      part[parts] = std::min(part[parts] * 10 + (c - '0'), kPartCap);
      digits = true;
      continue;
    }
    const bool separator = (c == ':' && parts < 2) || (c == '.' && parts == 2);
    if (!separator || !digits) return std::nullopt;
    ++parts;
    digits = false;
  }
  if (!digits || parts < 1) return std::nullopt;

  int64_t hour = part[0];
  if (half == Half::kAm && hour == 12) hour = 0;
  if (half == Half::kPm && hour != 12) hour += 12;
  return EncodeTime(hour, part[1], part[2], part[3]);
}

std::optional<TTimestamp> TextToTimestamp(std::string_view text) {
  text = Trim(text);
  const size_t blank = text.find(' ');
  if (blank != std::string_view::npos) {
    const std::optional<TDate> date = TextToDate(text.substr(0, blank));
    const std::optional<TTime> time = TextToTime(text.substr(blank + 1));
    if (!date || !time) return std::nullopt;
    return TimestampOf(*date, *time);
  }
  if (text.find(':') != std::string_view::npos) {
    const std::optional<TTime> time = TextToTime(text);
    if (!time) return std::nullopt;
    return TimestampOf(kDateTimeEpochDay, *time);
  }
  const std::optional<TDate> date = TextToDate(text);
  if (!date) return std::nullopt;
  return TimestampOf(*date, 0);
}

std::optional<bool> TextToBoolean(std::string_view text) {
  text = Trim(text);
  if (EqualsIgnoringCase(text, "TRUE")) return true;
  if (EqualsIgnoringCase(text, "FALSE")) return false;
  return std::nullopt;
}

std::optional<int64_t> TextToInteger(std::string_view text, int64_t min, int64_t max) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  // Magnitudes above 2^63 are out of every range; stop growing there.
  constexpr uint64_t kLimit = uint64_t{1} << 63;
  uint64_t magnitude = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    if (magnitude > kLimit / 10) {
      magnitude = kLimit + 1;  // saturated: out of every range
    } else {
      magnitude = std::min(magnitude * 10 + static_cast<uint64_t>(c - '0'), kLimit + 1);
    }
  }
  if (magnitude > kLimit || (!negative && magnitude == kLimit)) return std::nullopt;
  const int64_t value =
      negative ? static_cast<int64_t>(~magnitude + 1) : static_cast<int64_t>(magnitude);
  if (value < min || value > max) return std::nullopt;
  return value;
}

std::optional<double> TextToFloat(std::string_view text) {
  text = Trim(text);
  const FloatShape shape = ShapeOfFloat(text);
  if (!shape.valid) return std::nullopt;
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  double value = 0;
  const std::from_chars_result result =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    if (shape.magnitude > 0) return std::nullopt;  // too large for a double
    value = 0;                                     // too small: zero
  } else if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<TValueText> DateToText(TDate date) {
  TValueText out;
  if (!AppendDate(out, date)) return std::nullopt;
  return out;
}

std::optional<TValueText> TimeToText(TTime time, TTimeTextForm form) {
  TValueText out;
  if (!AppendTime(out, time, form)) return std::nullopt;
  return out;
}

std::optional<TValueText> TimestampToText(TTimestamp timestamp, TTimeTextForm form) {
  const std::optional<TDate> date = DateOfTimestamp(timestamp);
  const std::optional<TTime> time = TimeOfTimestamp(timestamp);
  if (!date || !time) return std::nullopt;
  TValueText out;
  if (!AppendDate(out, *date)) return std::nullopt;
  Append(out, " ");
  AppendTime(out, *time, form);
  return out;
}

TValueText BooleanToText(bool value) {
  TValueText out;
  Append(out, value ? "True" : "False");
  return out;
}

TValueText IntegerToText(int64_t value) {
  TValueText out;
  AppendNumber(out, value);
  return out;
}

TValueText FloatToText(double value) {
  TValueText out;
  if (std::isnan(value)) {
    Append(out, "NAN");
    return out;
  }
  if (std::isinf(value)) {
    Append(out, value < 0 ? "-INF" : "INF");
    return out;
  }
  if (value == 0) {
    Append(out, "0");
    return out;
  }
  // "-d.ddddddddddddddde+ddd": the value correctly rounded to 15 significant digits.
  std::array<char, 32> text{};
  const std::to_chars_result result = std::to_chars(text.data(), text.data() + text.size(), value,
                                                    std::chars_format::scientific, 14);
  const char* p = text.data();
  if (*p == '-') {
    Append(out, "-");
    ++p;
  }
  std::array<char, 15> digits{};
  int count = 0;
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits[count++] = *p;
  }
  int exponent = 0;
  std::from_chars(p[1] == '+' ? p + 2 : p + 1, result.ptr, exponent);
  while (count > 1 && digits[count - 1] == '0') --count;

  if (exponent < -5 || exponent >= 15) {
    Append(out, {digits.data(), 1});
    if (count > 1) {
      Append(out, ".");
      Append(out, {digits.data() + 1, static_cast<size_t>(count - 1)});
    }
    Append(out, "E");
    AppendNumber(out, exponent);
    return out;
  }
  if (exponent < 0) {
    Append(out, "0.");
    for (int i = 0; i < -exponent - 1; ++i) Append(out, "0");
    Append(out, {digits.data(), static_cast<size_t>(count)});
    return out;
  }
  const int whole = exponent + 1;
  for (int i = 0; i < whole; ++i) Append(out, {i < count ? &digits[i] : "0", 1});
  if (count > whole) {
    Append(out, ".");
    Append(out, {digits.data() + whole, static_cast<size_t>(count - whole)});
  }
  return out;
}

std::optional<TValueText> BcdValueToText(const TBcd& value) {
  TValueText out;
  const std::optional<size_t> length = BcdToText(value, out.chars.data());
  if (!length) return std::nullopt;
  out.length = static_cast<uint8_t>(*length);
  return out;
}

}  // namespace veltra
