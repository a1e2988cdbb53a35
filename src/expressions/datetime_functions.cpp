// The date and time functions: the EXTRACT parts of dates, times and timestamps, the splits of a
// millisecond count into years, days, hours, minutes, seconds and milliseconds, and the current
// date, time, timestamp and GUID.
#include <cmath>
#include <cstdio>
#include <optional>
#include <random>

#include "core/date_time.h"
#include "expressions/function_support.h"
#include "platform/clock.h"

namespace veltra::functions {

namespace {

using TOp = TOperator;
using TType = TDataType;

// The date and time of day an argument of type T holds; a part it does not have is nullopt.
struct TDateAndTime {
  std::optional<TDate> date;
  std::optional<TTime> time;
  bool valid = true;  // false for a timestamp without a day (NaN, out of range)
};

template <TType T>
TDateAndTime SplitValue(const uint8_t* data) {
  if constexpr (T == TType::dtDate) {
    return {LoadDate(data), std::nullopt};
  } else if constexpr (T == TType::dtTime) {
    return {std::nullopt, LoadTime(data)};
  } else {
    TTimestamp stamp = LoadTimestamp(data);
    std::optional<TDate> date = DateOfTimestamp(stamp);
    std::optional<TTime> time = TimeOfTimestamp(stamp);
    return {date, time, date.has_value() && time.has_value()};
  }
}

// The part `Part` of the value; date parts of a time and time parts of a date are 0, and the day
// of the week and of the year exist for dates and timestamps only.
template <TOp Part>
std::optional<int32_t> PartOf(const TDateAndTime& value) {
  constexpr bool kDatePart = Part == TOp::opExtractYear || Part == TOp::opExtractMonth ||
                             Part == TOp::opExtractDay || Part == TOp::opExtractWeek ||
                             Part == TOp::opExtractDayOfWeek || Part == TOp::opExtractDayOfYear;
  if constexpr (kDatePart) {
    if (!value.date) return 0;
    TDate date = *value.date;
    if constexpr (Part == TOp::opExtractWeek) return IsoWeekOf(date);
    if constexpr (Part == TOp::opExtractDayOfWeek) return DayOfWeek(date);
    if constexpr (Part == TOp::opExtractDayOfYear) return DayOfYear(date);
    TDateParts parts = DecodeDate(date);
    if constexpr (Part == TOp::opExtractYear) return parts.year;
    if constexpr (Part == TOp::opExtractMonth) return parts.month;
    return parts.day;
  } else {
    if (!value.time) return 0;
    std::optional<TTimeParts> parts = DecodeTime(*value.time);
    if (!parts) return std::nullopt;  // a stored time outside the day
    if constexpr (Part == TOp::opExtractHour) return parts->hour;
    if constexpr (Part == TOp::opExtractMinute) return parts->minute;
    if constexpr (Part == TOp::opExtractSecond) return parts->second;
    return parts->millisecond;
  }
}

template <TType T, TOp Part>
void EvaluateExtract(TExpToken& node, TEvaluationContext& context) {
  TExpToken& arg = EvaluateArg(node, 0, context);
  if (arg.IsNull) {
    SetNull(node);
    return;
  }
  TDateAndTime value = SplitValue<T>(arg.Data());
  std::optional<int32_t> part = value.valid ? PartOf<Part>(value) : std::nullopt;
  if (!part) {
    SetNull(node);
    return;
  }
  SetIntegerResult(node, *part);
}

void EvaluateNullResult(TExpToken& node, TEvaluationContext&) { SetNull(node); }

template <TType T>
TNodeOperation SelectExtractFor(TOp part) {
  switch (part) {
    case TOp::opExtractYear:
      return EvaluateExtract<T, TOp::opExtractYear>;
    case TOp::opExtractMonth:
      return EvaluateExtract<T, TOp::opExtractMonth>;
    case TOp::opExtractWeek:
      return EvaluateExtract<T, TOp::opExtractWeek>;
    case TOp::opExtractDay:
      return EvaluateExtract<T, TOp::opExtractDay>;
    case TOp::opExtractDayOfWeek:
      return EvaluateExtract<T, TOp::opExtractDayOfWeek>;
    case TOp::opExtractDayOfYear:
      return EvaluateExtract<T, TOp::opExtractDayOfYear>;
    case TOp::opExtractHour:
      return EvaluateExtract<T, TOp::opExtractHour>;
    case TOp::opExtractMinute:
      return EvaluateExtract<T, TOp::opExtractMinute>;
    case TOp::opExtractSecond:
      return EvaluateExtract<T, TOp::opExtractSecond>;
    default:
      return EvaluateExtract<T, TOp::opExtractMSecond>;
  }
}

TNodeOperation SelectExtract(const TExpToken& node) {
  const TExpToken* arg = node.Child(0);
  switch (arg == nullptr ? TType::dtUnknown : arg->DataType) {
    case TType::dtDate:
      return SelectExtractFor<TType::dtDate>(node.Operator);
    case TType::dtTime:
      return SelectExtractFor<TType::dtTime>(node.Operator);
    case TType::dtTimestamp:
      return SelectExtractFor<TType::dtTimestamp>(node.Operator);
    default:
      return EvaluateNullResult;  // an untyped NULL argument
  }
}

// ---- Splits of a millisecond count ------------------------------------------------------------

inline constexpr int64_t kMillisecondsPerYear = 31'536'000'000;  // 365 days

// The argument as whole milliseconds; nullopt for NaN and floats outside the 64-bit range.
std::optional<int64_t> MillisecondsArgument(const TExpToken& arg) {
  if (arg.DataType != TType::dtFloat && arg.DataType != TType::dtBcd) {
    return IntegerArgument(arg);
  }
  std::optional<double> value = FloatArgument(arg);
  // 2^63 as a double; every double below it in magnitude truncates to an int64.
  constexpr double kLimit = 9'223'372'036'854'775'808.0;
  if (!value || !(std::fabs(*value) < kLimit)) return std::nullopt;
  return static_cast<int64_t>(*value);
}

template <TOp Split>
void EvaluateMillisecondSplit(TExpToken& node, TEvaluationContext& context) {
  TExpToken& arg = EvaluateArg(node, 0, context);
  std::optional<int64_t> ms = arg.IsNull ? std::nullopt : MillisecondsArgument(arg);
  if (!ms) {
    SetNull(node);
    return;
  }
  int64_t value = *ms;
  int64_t result = 0;
  if constexpr (Split == TOp::opYearsFromMSecs) {
    result = value / kMillisecondsPerYear;  // |result| < 2^31: 2^63 / 3.15e10 is about 2.9e8
  } else {
    value %= kMillisecondsPerYear;
    if constexpr (Split == TOp::opDaysFromMSecs) {
      result = value / kMillisecondsPerDay;
    } else {
      value %= kMillisecondsPerDay;
      if constexpr (Split == TOp::opHoursFromMSecs) {
        result = value / kMillisecondsPerHour;
      } else {
        value %= kMillisecondsPerHour;
        if constexpr (Split == TOp::opMinsFromMSecs) {
          result = value / kMillisecondsPerMinute;
        } else {
          value %= kMillisecondsPerMinute;
          result = Split == TOp::opSecsFromMSecs ? value / kMillisecondsPerSecond
                                                 : value % kMillisecondsPerSecond;
        }
      }
    }
  }
  SetIntegerResult(node, static_cast<int32_t>(result));
}

// ---- The current date, time, timestamp and GUID -----------------------------------------------

struct TNow {
  TDate date;
  TTime time;
};

TNow CurrentDateAndTime() {
  platform::LocalDateTime now = platform::CurrentLocalDateTime();
  TDate date = EncodeDate(now.year, now.month, now.day).value_or(kMinDate);
  TTime time = EncodeTime(now.hour, now.minute, now.second, now.millisecond).value_or(0);
  return {date, time};
}

void EvaluateCurrentDate(TExpToken& node, TEvaluationContext&) {
  node.IsNull = false;
  StoreDate(node.Data(), CurrentDateAndTime().date);
}

void EvaluateCurrentTime(TExpToken& node, TEvaluationContext&) {
  node.IsNull = false;
  StoreTime(node.Data(), CurrentDateAndTime().time);
}

void EvaluateCurrentTimestamp(TExpToken& node, TEvaluationContext&) {
  TNow now = CurrentDateAndTime();
  node.IsNull = false;
  StoreTimestamp(node.Data(), TimestampOf(now.date, now.time));
}

// A random (version 4) GUID as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
void EvaluateCurrentGuid(TExpToken& node, TEvaluationContext&) {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  uint64_t high = generator();
  uint64_t low = generator();
  high = (high & ~0xF000ull) | 0x4000ull;                // version 4
  low = (low & ~(0xC000ull << 48)) | (0x8000ull << 48);  // the RFC 4122 variant
  char text[kGuidStringSize + 1];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%012llX}",
                static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                static_cast<unsigned>(high & 0xFFFF), static_cast<unsigned>(low >> 48),
                static_cast<unsigned long long>(low & 0xFFFF'FFFF'FFFFull));
  SetTextResult(node, {text, kGuidStringSize}, false);
}

}  // namespace

TNodeOperation SelectDateTimeFunction(const TExpToken& node) {
  switch (node.Operator) {
    case TOp::opExtractYear:
    case TOp::opExtractMonth:
    case TOp::opExtractWeek:
    case TOp::opExtractDay:
    case TOp::opExtractDayOfWeek:
    case TOp::opExtractDayOfYear:
    case TOp::opExtractHour:
    case TOp::opExtractMinute:
    case TOp::opExtractSecond:
    case TOp::opExtractMSecond:
      return SelectExtract(node);
    case TOp::opYearsFromMSecs:
      return EvaluateMillisecondSplit<TOp::opYearsFromMSecs>;
    case TOp::opDaysFromMSecs:
      return EvaluateMillisecondSplit<TOp::opDaysFromMSecs>;
    case TOp::opHoursFromMSecs:
      return EvaluateMillisecondSplit<TOp::opHoursFromMSecs>;
    case TOp::opMinsFromMSecs:
      return EvaluateMillisecondSplit<TOp::opMinsFromMSecs>;
    case TOp::opSecsFromMSecs:
      return EvaluateMillisecondSplit<TOp::opSecsFromMSecs>;
    case TOp::opMSecsFromMSecs:
      return EvaluateMillisecondSplit<TOp::opMSecsFromMSecs>;
    case TOp::opCurrentDate:
      return EvaluateCurrentDate;
    case TOp::opCurrentTime:
      return EvaluateCurrentTime;
    case TOp::opCurrentTimestamp:
      return EvaluateCurrentTimestamp;
    case TOp::opCurrentGuid:
      return EvaluateCurrentGuid;
    default:
      return nullptr;
  }
}

}  // namespace veltra::functions
