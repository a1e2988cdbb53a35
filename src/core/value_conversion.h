// Conversion of a value from one engine type to another: the one place where CAST, constants
// beside typed operands, default values, parameters and import turn a value of one type into
// another. Values are given in their stored encodings (data_types.h) and text forms follow
// value_text.h.
//
// The rules:
//   - equal types: the value is copied; strings are cut to the target size, a BCD value is
//     rounded or padded to the target scale, a Boolean is normalised to 0 or 1;
//   - string to any type: the text is read; any type to string: its text, cut to the target;
//   - bytes and varbytes to and from any type: the bytes are copied, cut or zero-filled to the
//     target size (a string gives its characters);
//   - BLOB values take part through their content bytes: to and from strings, bytes and
//     varbytes they are copied, any other value becomes a BLOB as its text; a BLOB converts to
//     nothing else;
//   - date to timestamp: midnight of the day; timestamp to date: the day; timestamp to time:
//     the time of day; time to timestamp: the time on 30 December 1899;
//   - numbers between number types by value: a float or BCD value becomes an integer by
//     truncation toward zero, a float becomes BCD through its 15-digit text, and a value outside
//     the target's range (NaN included) does not convert: it never wraps;
//   - numbers to Boolean: non-zero (NaN included) is true; Boolean to numbers: 0 or 1;
//   - every other pair (a date to a number, a time to a date, ...) does not convert.
//
// Inside the engine a failed conversion makes the value NULL; callers outside the evaluator
// (constants, defaults, import) raise EConvertError with the failure text of the target type.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/data_types.h"

namespace veltra {

// Type, subtype, size and scale of a value. `size` is the buffer size of strings (the maximum
// length + 1), BLOB contents, bytes and varbytes; fixed-size types ignore it. `scale` is BCD's.
struct TValueDesc {
  TDataType type = TDataType::dtUnknown;
  TDataSubType sub_type = TDataSubType::dsNone;
  uint32_t size = 0;
  uint8_t scale = 0;
};

// The bytes a value of the description occupies: `size` for strings, BLOB contents, bytes and
// varbytes, else the type's stored size (0 for an unknown type).
uint32_t ValueWidth(const TValueDesc& desc);

// Converts the value at `source_bytes` (ValueWidth(source) bytes; a string ends at its first
// zero byte or at its width) into `target_bytes` (ValueWidth(target) bytes, all written). True on
// success; false when the value does not convert, the target bytes then being zero (the NULL
// form). Allocation-free. REQUIRES: the two ranges do not overlap.
bool ConvertValue(const TValueDesc& source, const uint8_t* source_bytes, const TValueDesc& target,
                  uint8_t* target_bytes);

// Reads `text` as a value of the target description into `target_bytes` (ConvertValue from a
// string). False when the text does not convert.
bool TextToValue(std::string_view text, const TValueDesc& target, uint8_t* target_bytes);

// True when `text` reads as a value of the type (with `scale` for BCD). Texts always read as
// strings, bytes, varbytes and BLOBs.
bool TextConvertsTo(std::string_view text, TDataType type, uint8_t scale = 0);

// Whether `text` may stand as a field's default, minimum or maximum value: the empty text
// always; for a date a date text or "CURRENT_DATE", for a time a time text or "CURRENT_TIME",
// for a timestamp a timestamp, date or time text or one of "CURRENT_TIMESTAMP", "CURRENT_DATE"
// and "CURRENT_TIME" (words in any case); Booleans and numbers must convert; strings, bytes and
// varbytes take any text; a BLOB field takes none but the empty text.
bool IsValidFieldValueText(std::string_view text, TDataType type, uint8_t scale = 0);

// The text of a value (as ConvertValue to a string of unbounded size); nullopt when the value has
// no text form. Allocates the result.
std::optional<std::string> ValueToText(const TValueDesc& source, const uint8_t* source_bytes);

// A text that does not convert where the caller cannot make the value NULL.
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

// The failure text for `text` and the target type: "'%s' is not a valid date", "... time",
// "... date and time", "... boolean", "... integer value" (small integer, integer, word, large
// integer), "... floating point value" (float), "... BCD value"; other types never fail to read
// a text, and get "'%s' is not a valid value".
std::string ConvertErrorText(TDataType target, std::string_view text);

// TextToValue, raising EConvertError with ConvertErrorText when the text does not convert.
void TextToValueOrRaise(std::string_view text, const TValueDesc& target, uint8_t* target_bytes);

}  // namespace veltra
