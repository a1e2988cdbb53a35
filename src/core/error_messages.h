// The fixed message text of every engine error code, and the filling of its placeholders from an
// error context.
//
// Each code's text has "%s" placeholders for context texts and "%u" placeholders for context
// numbers, filled in a fixed order of context fields. The filling is done here, character by
// character: context texts are never used as a format, so a name such as "100%s" is printed as it
// stands.
//
// Every function here is pure and may be called from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/error_codes.h"

namespace veltra {

// Texts of an error context are stored cut to this many characters.
inline constexpr size_t kMaxContextTextLength = 255;
// A filled message text is cut to this many characters.
inline constexpr size_t kMaxMessageLength = 254;
// The text of a code that has no message of its own.
inline constexpr std::string_view kUnknownErrorMessage = "An unknown error occurred";

// The values of an error context: the code, the operating system and socket errors, the nine
// names and the line and column in SQL or filter text. Numbers are 0 and texts empty where a
// field does not apply.
struct TErrorContextFields {
  TEngineCode engine_code = 0;
  int32_t os_error = 0;
  int32_t socket_error = 0;
  std::string remote;
  std::string user;
  std::string database;
  std::string table;
  std::string field;
  std::string index;
  std::string message;
  std::string procedure;
  std::string event;
  int32_t line = 0;
  int32_t column = 0;
};

// The context fields a message placeholder can name.
enum class TContextField {
  cfOsError,
  cfRemote,
  cfUser,
  cfDatabase,
  cfTable,
  cfField,
  cfIndex,
  cfMessage,
  cfProcedure,
  cfEvent,
  cfLine,
  cfColumn,
};

// Returns the message text of `code` with its placeholders filled from `fields` (texts as they
// stand, numbers as unsigned decimals), cut to kMaxMessageLength characters. A code without a
// message of its own yields kUnknownErrorMessage. The code in `fields` is not consulted.
std::string MessageOfCode(TEngineCode code, const TErrorContextFields& fields);

// True when `code` has a message of its own.
bool HasMessageOfCode(TEngineCode code);

}  // namespace veltra
