// Which minimum, maximum and default texts a field definition may carry.
//
// The empty text is always valid. String, bytes and varbytes fields accept any text, a BLOB field
// none. A date field takes a date text or CURRENT_DATE, a time field a time text or CURRENT_TIME,
// a timestamp field a timestamp, date or time text or any of CURRENT_TIMESTAMP, CURRENT_DATE and
// CURRENT_TIME (keywords without regard to case). Numbers, Booleans and BCD values must convert
// from the text. A definition without a known type accepts nothing but the empty text.
//
// The texts follow the engine's value conversions: a date is "yyyy-mm-dd" (decimal numbers of any
// length, a day that exists in the calendar), a time is hours ":" minutes [":" seconds
// ["." milliseconds]] with an optional AM or PM, a timestamp a date and a time split at the first
// blank, a Boolean TRUE or FALSE in any case, a number decimal text with "." as separator.
#pragma once

#include <string_view>

#include "storage/field_definition.h"

namespace veltra {

bool IsValidFieldValueText(const TFieldDefinition& definition, std::string_view text);

}  // namespace veltra
