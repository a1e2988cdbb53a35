// Conversion dispatches on the target first (byte-like and text targets take any source), then
// on the source (texts and bytes go to any fixed type), then on the pair. Numbers pass through
// one of three exact carriers: a 64-bit integer, a double or a decimal number.
#include "core/value_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/bcd.h"
#include "core/date_time.h"
#include "core/value_text.h"

namespace veltra {

namespace {

bool IsByteLike(TDataType type) {
  return type == TDataType::dtBytes || type == TDataType::dtVarBytes;
}

bool IsIntegerType(TDataType type) {
  return type == TDataType::dtSmallInt || type == TDataType::dtInteger ||
         type == TDataType::dtWord || type == TDataType::dtLargeInt;
}

// The range of an integer type.
struct IntegerRange {
  int64_t min;
  int64_t max;
};

IntegerRange RangeOf(TDataType type) {
  switch (type) {
    case TDataType::dtSmallInt:
      return {std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()};
    case TDataType::dtInteger:
      return {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
    case TDataType::dtWord:
      return {0, std::numeric_limits<uint16_t>::max()};
    default:
      return {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};
  }
}

// A string's characters: up to its first zero byte or its width.
std::string_view TextOf(const uint8_t* bytes, uint32_t width) {
  if (width == 0) return {};
  const char* chars = reinterpret_cast<const char*>(bytes);
  const void* zero = std::memchr(chars, 0, width);
  const size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - chars) : width;
  return {chars, length};
}

// Copies as many bytes as fit; the rest of the target stays zero.
void CopyBytes(const uint8_t* source, uint32_t source_width, uint8_t* target,
               uint32_t target_width) {
  const uint32_t count = std::min(source_width, target_width);
  if (count != 0) std::memcpy(target, source, count);
}

// A text into a string target: cut to width - 1 characters and ended by a zero byte.
bool StoreString(std::string_view text, uint8_t* target, uint32_t width) {
  if (width == 0) return false;
  const size_t count = std::min<size_t>(text.size(), width - 1);
  if (count != 0) std::memcpy(target, text.data(), count);
  return true;
}

void StoreIntegerAs(TDataType type, int64_t value, uint8_t* target) {
  switch (type) {
    case TDataType::dtSmallInt:
      StoreSmallInt(target, static_cast<int16_t>(value));
      break;
    case TDataType::dtInteger:
      StoreInteger(target, static_cast<int32_t>(value));
      break;
    case TDataType::dtWord:
      StoreWord(target, static_cast<uint16_t>(value));
      break;
    default:
      StoreLargeInt(target, value);
      break;
  }
}

// A number in one of its exact carriers.
struct Number {
  enum class Kind { kInteger, kFloat, kBcd } kind = Kind::kInteger;
  int64_t integer = 0;
  double real = 0;
  TBcd bcd;
};

std::optional<Number> NumberOf(TDataType type, const uint8_t* bytes) {
  Number number;
  switch (type) {
    case TDataType::dtSmallInt:
      number.integer = LoadSmallInt(bytes);
      return number;
    case TDataType::dtInteger:
      number.integer = LoadInteger(bytes);
      return number;
    case TDataType::dtWord:
      number.integer = LoadWord(bytes);
      return number;
    case TDataType::dtLargeInt:
      number.integer = LoadLargeInt(bytes);
      return number;
    case TDataType::dtBoolean:
      number.integer = LoadBoolean(bytes) ? 1 : 0;
      return number;
    case TDataType::dtFloat:
      number.kind = Number::Kind::kFloat;
      number.real = LoadFloat(bytes);
      return number;
    case TDataType::dtBcd:
      number.kind = Number::Kind::kBcd;
      number.bcd = LoadBcd(bytes);
      if (!IsValidBcd(number.bcd)) return std::nullopt;
      return number;
    default:
      return std::nullopt;
  }
}

// A double truncated toward zero, when it lies in the range.
std::optional<int64_t> TruncatedInRange(double value, IntegerRange range) {
  if (std::isnan(value)) return std::nullopt;
  const double whole = std::trunc(value);
  // 2^63 is exact as a double; every int64 bound below it converts exactly or rounds outward.
  if (whole < -9223372036854775808.0 || whole >= 9223372036854775808.0) return std::nullopt;
  const auto integer = static_cast<int64_t>(whole);
  if (integer < range.min || integer > range.max) return std::nullopt;
  return integer;
}

bool StoreNumber(const Number& number, const TValueDesc& target, uint8_t* bytes) {
  const TDataType type = target.type;
  if (type == TDataType::dtBoolean) {
    bool truth = false;
    switch (number.kind) {
      case Number::Kind::kInteger:
        truth = number.integer != 0;
        break;
      case Number::Kind::kFloat:
        truth = number.real != 0 || std::isnan(number.real);
        break;
      case Number::Kind::kBcd:
        truth = !IsBcdZero(number.bcd);
        break;
    }
    StoreBoolean(bytes, truth);
    return true;
  }
  if (IsIntegerType(type)) {
    const IntegerRange range = RangeOf(type);
    std::optional<int64_t> value;
    switch (number.kind) {
      case Number::Kind::kInteger:
        value = number.integer;
        break;
      case Number::Kind::kFloat:
        value = TruncatedInRange(number.real, range);
        break;
      case Number::Kind::kBcd:
        value = BcdToInt64(number.bcd);
        break;
    }
    if (!value || *value < range.min || *value > range.max) return false;
    StoreIntegerAs(type, *value, bytes);
    return true;
  }
  if (type == TDataType::dtFloat) {
    double value = 0;
    switch (number.kind) {
      case Number::Kind::kInteger:
        value = static_cast<double>(number.integer);
        break;
      case Number::Kind::kFloat:
        value = number.real;
        break;
      case Number::Kind::kBcd:
        value = BcdToDouble(number.bcd).value_or(0);
        break;
    }
    StoreFloat(bytes, value);
    return true;
  }
  if (type == TDataType::dtBcd) {
    std::optional<TBcd> value;
    switch (number.kind) {
      case Number::Kind::kInteger:
        value = BcdFromInt64(number.integer, target.scale);
        break;
      case Number::Kind::kFloat:
        value = BcdFromDouble(number.real, target.scale);
        break;
      case Number::Kind::kBcd:
        value = BcdRescale(number.bcd, target.scale);
        break;
    }
    if (!value) return false;
    StoreBcd(bytes, *value);
    return true;
  }
  return false;
}

bool IsNumberLike(TDataType type) { return IsNumericType(type) || type == TDataType::dtBoolean; }

// The text of a fixed-size value; nullopt for a value without one.
std::optional<TValueText> FixedValueText(TDataType type, const uint8_t* bytes) {
  switch (type) {
    case TDataType::dtDate:
      return DateToText(LoadDate(bytes));
    case TDataType::dtTime:
      return TimeToText(LoadTime(bytes));
    case TDataType::dtTimestamp:
      return TimestampToText(LoadTimestamp(bytes));
    case TDataType::dtBoolean:
      return BooleanToText(LoadBoolean(bytes));
    case TDataType::dtSmallInt:
      return IntegerToText(LoadSmallInt(bytes));
    case TDataType::dtInteger:
      return IntegerToText(LoadInteger(bytes));
    case TDataType::dtWord:
      return IntegerToText(LoadWord(bytes));
    case TDataType::dtLargeInt:
      return IntegerToText(LoadLargeInt(bytes));
    case TDataType::dtFloat:
      return FloatToText(LoadFloat(bytes));
    case TDataType::dtBcd:
      return BcdValueToText(LoadBcd(bytes));
    default:
      return std::nullopt;
  }
}

// A text read as a fixed-size type.
bool StoreText(std::string_view text, const TValueDesc& target, uint8_t* bytes) {
  const TDataType type = target.type;
  switch (type) {
    case TDataType::dtDate: {
      const std::optional<TDate> value = TextToDate(text);
      if (!value) return false;
      StoreDate(bytes, *value);
      return true;
    }
    case TDataType::dtTime: {
      const std::optional<TTime> value = TextToTime(text);
      if (!value) return false;
      StoreTime(bytes, *value);
      return true;
    }
    case TDataType::dtTimestamp: {
      const std::optional<TTimestamp> value = TextToTimestamp(text);
      if (!value) return false;
      StoreTimestamp(bytes, *value);
      return true;
    }
    case TDataType::dtBoolean: {
      const std::optional<bool> value = TextToBoolean(text);
      if (!value) return false;
      StoreBoolean(bytes, *value);
      return true;
    }
    case TDataType::dtSmallInt:
    case TDataType::dtInteger:
    case TDataType::dtWord:
    case TDataType::dtLargeInt: {
      const IntegerRange range = RangeOf(type);
      const std::optional<int64_t> value = TextToInteger(text, range.min, range.max);
      if (!value) return false;
      StoreIntegerAs(type, *value, bytes);
      return true;
    }
    case TDataType::dtFloat: {
      const std::optional<double> value = TextToFloat(text);
      if (!value) return false;
      StoreFloat(bytes, *value);
      return true;
    }
    case TDataType::dtBcd: {
      const std::optional<TBcd> value = TextToBcd(text, target.scale);
      if (!value) return false;
      StoreBcd(bytes, *value);
      return true;
    }
    default:
      return false;
  }
}

// Date, time and timestamp among themselves.
bool ConvertTemporal(TDataType source, const uint8_t* source_bytes, TDataType target,
                     uint8_t* target_bytes) {
  if (source == TDataType::dtDate && target == TDataType::dtTimestamp) {
    StoreTimestamp(target_bytes, TimestampOf(LoadDate(source_bytes), 0));
    return true;
  }
  if (source == TDataType::dtTime && target == TDataType::dtTimestamp) {
    const TTime time = LoadTime(source_bytes);
    if (!IsValidTime(time)) return false;
    StoreTimestamp(target_bytes, TimestampOf(kDateTimeEpochDay, time));
    return true;
  }
  if (source == TDataType::dtTimestamp && target == TDataType::dtDate) {
    const std::optional<TDate> date = DateOfTimestamp(LoadTimestamp(source_bytes));
    if (!date) return false;
    StoreDate(target_bytes, *date);
    return true;
  }
  if (source == TDataType::dtTimestamp && target == TDataType::dtTime) {
    const std::optional<TTime> time = TimeOfTimestamp(LoadTimestamp(source_bytes));
    if (!time) return false;
    StoreTime(target_bytes, *time);
    return true;
  }
  return false;
}

bool Convert(const TValueDesc& source, const uint8_t* source_bytes, const TValueDesc& target,
             uint8_t* target_bytes) {
  const uint32_t source_width = ValueWidth(source);
  const uint32_t target_width = ValueWidth(target);
  const TDataType from = source.type;
  const TDataType to = target.type;
  if (from == TDataType::dtUnknown || to == TDataType::dtUnknown) return false;

  const bool source_is_text = from == TDataType::dtString;
  const bool source_is_raw = IsByteLike(from) || from == TDataType::dtBlob;

  if (IsByteLike(to) || to == TDataType::dtBlob) {
    if (source_is_text) {
      const std::string_view text = TextOf(source_bytes, source_width);
      CopyBytes(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()),
                target_bytes, target_width);
      return true;
    }
    if (source_is_raw || IsByteLike(to)) {
      CopyBytes(source_bytes, source_width, target_bytes, target_width);
      return true;
    }
    // A typed value becomes a BLOB as its text.
    const std::optional<TValueText> text = FixedValueText(from, source_bytes);
    if (!text) return false;
    CopyBytes(reinterpret_cast<const uint8_t*>(text->chars.data()), text->length, target_bytes,
              target_width);
    return true;
  }
  if (to == TDataType::dtString) {
    if (source_is_text || source_is_raw) {
      return StoreString(TextOf(source_bytes, source_width), target_bytes, target_width);
    }
    const std::optional<TValueText> text = FixedValueText(from, source_bytes);
    return text && StoreString(text->View(), target_bytes, target_width);
  }
  if (source_is_text) return StoreText(TextOf(source_bytes, source_width), target, target_bytes);
  if (IsByteLike(from)) {
    CopyBytes(source_bytes, source_width, target_bytes, target_width);
    return true;
  }
  if (from == TDataType::dtBlob) return false;

  if (from == to) {
    if (to == TDataType::dtBoolean) {
      StoreBoolean(target_bytes, LoadBoolean(source_bytes));
      return true;
    }
    if (to == TDataType::dtBcd && source.scale != target.scale) {
      const std::optional<TBcd> value = BcdRescale(LoadBcd(source_bytes), target.scale);
      if (!value) return false;
      StoreBcd(target_bytes, *value);
      return true;
    }
    if (target_width != 0) std::memcpy(target_bytes, source_bytes, target_width);
    return true;
  }
  if (IsNumberLike(from) && IsNumberLike(to)) {
    const std::optional<Number> number = NumberOf(from, source_bytes);
    return number && StoreNumber(*number, target, target_bytes);
  }
  return ConvertTemporal(from, source_bytes, to, target_bytes);
}

}  // namespace

uint32_t ValueWidth(const TValueDesc& desc) {
  if (HasDeclaredSize(desc.type) || desc.type == TDataType::dtBlob) return desc.size;
  return StoredSizeOf(desc.type, desc.sub_type, 0);
}

bool ConvertValue(const TValueDesc& source, const uint8_t* source_bytes, const TValueDesc& target,
                  uint8_t* target_bytes) {
  const uint32_t target_width = ValueWidth(target);
  if (target_width != 0) std::memset(target_bytes, 0, target_width);
  if (Convert(source, source_bytes, target, target_bytes)) return true;
  if (target_width != 0) std::memset(target_bytes, 0, target_width);
  return false;
}

bool TextToValue(std::string_view text, const TValueDesc& target, uint8_t* target_bytes) {
  const TValueDesc source{.type = TDataType::dtString, .size = static_cast<uint32_t>(text.size())};
  return ConvertValue(source, reinterpret_cast<const uint8_t*>(text.data()), target, target_bytes);
}

bool TextConvertsTo(std::string_view text, TDataType type, uint8_t scale) {
  if (HasDeclaredSize(type) || type == TDataType::dtBlob) return true;
  uint8_t scratch[kMaxStoredSize] = {};
  const TValueDesc target{.type = type, .scale = scale};
  return TextToValue(text, target, scratch);
}

bool IsValidFieldValueText(std::string_view text, TDataType type, uint8_t scale) {
  if (text.empty()) return true;
  auto is_word = [&](std::string_view word) {
    if (text.size() != word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      const char c = text[i];
      const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      if (upper != word[i]) return false;
    }
    return true;
  };
  switch (type) {
    case TDataType::dtDate:
      return is_word("CURRENT_DATE") || TextToDate(text).has_value();
    case TDataType::dtTime:
      return is_word("CURRENT_TIME") || TextToTime(text).has_value();
    case TDataType::dtTimestamp:
      return is_word("CURRENT_TIMESTAMP") || is_word("CURRENT_DATE") || is_word("CURRENT_TIME") ||
             TextToTimestamp(text).has_value();
    case TDataType::dtBlob:
      return false;
    case TDataType::dtUnknown:
      return false;
    default:
      return TextConvertsTo(text, type, scale);
  }
}

std::optional<std::string> ValueToText(const TValueDesc& source, const uint8_t* source_bytes) {
  const uint32_t width = ValueWidth(source);
  if (source.type == TDataType::dtString || IsByteLike(source.type) ||
      source.type == TDataType::dtBlob) {
    return std::string(TextOf(source_bytes, width));
  }
  const std::optional<TValueText> text = FixedValueText(source.type, source_bytes);
  if (!text) return std::nullopt;
  return text->ToString();
}

std::string ConvertErrorText(TDataType target, std::string_view text) {
  std::string_view what = "value";
  switch (target) {
    case TDataType::dtDate:
      what = "date";
      break;
    case TDataType::dtTime:
      what = "time";
      break;
    case TDataType::dtTimestamp:
      what = "date and time";
      break;
    case TDataType::dtBoolean:
      what = "boolean";
      break;
    case TDataType::dtSmallInt:
    case TDataType::dtInteger:
    case TDataType::dtWord:
    case TDataType::dtLargeInt:
      what = "integer value";
      break;
    case TDataType::dtFloat:
      what = "floating point value";
      break;
    case TDataType::dtBcd:
      what = "BCD value";
      break;
    default:
      break;
  }
  std::string message;
  message.reserve(text.size() + what.size() + 20);
  message.append("'").append(text).append("' is not a valid ").append(what);
  return message;
}

void TextToValueOrRaise(std::string_view text, const TValueDesc& target, uint8_t* target_bytes) {
  if (!TextToValue(text, target, target_bytes)) {
    throw EConvertError(ConvertErrorText(target.type, text));
  }
}

}  // namespace veltra
