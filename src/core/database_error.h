// The components' database error: misuse of the application-facing components (an operation in
// the wrong state, an unknown or duplicate name) is reported as an EDatabaseError with a fixed
// text and no code. The engine error (engine_error.h) is one kind of it, so a caller that catches
// EDatabaseError sees every failure of the database layer.
//
// The fixed texts are named below; those with a "%s" take the name of the object concerned.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace veltra {

// A database error with its message text, which what() returns.
class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
};

namespace component_errors {

// The engine component.
inline constexpr std::string_view kEngineExists = "An engine component already exists";
inline constexpr std::string_view kEngineActive =
    "Cannot perform this operation when the engine is active";

// Session components.
inline constexpr std::string_view kInvalidSessionName = "Session name '%s' is not valid";
inline constexpr std::string_view kSessionInactive =
    "Cannot perform this operation on an inactive session";
inline constexpr std::string_view kSessionActive =
    "Cannot perform this operation on an active session";
inline constexpr std::string_view kAutoSessionActive =
    "Cannot perform this operation on the active auto-session";
inline constexpr std::string_view kDuplicateSessionName = "Session name '%s' already exists";
inline constexpr std::string_view kSessionNameMissing = "Session name is missing";
inline constexpr std::string_view kRemoteSessionOnServer =
    "Cannot activate a remote session with the server engine";
inline constexpr std::string_view kAutoSessionOnlyActive =
    "The active auto-session can be the only active session";
inline constexpr std::string_view kAutoSessionExists = "This auto-session already exists";

// Database components.
inline constexpr std::string_view kDatabaseClosed =
    "Cannot perform this operation on a closed database";
inline constexpr std::string_view kDatabaseOpen =
    "Cannot perform this operation on an open database";
inline constexpr std::string_view kDatabaseNameMissing = "Database name is missing";
inline constexpr std::string_view kNoActiveTransaction = "Database '%s' has no active transaction";
inline constexpr std::string_view kInvalidDatabaseName = "Database name '%s' is not valid";
inline constexpr std::string_view kTransactionActive =
    "Database '%s' already has an active transaction";
inline constexpr std::string_view kDuplicateDatabaseName = "Database name '%s' already exists";

// Datasets.
inline constexpr std::string_view kDatasetOpen = "Cannot perform this operation on an open dataset";
inline constexpr std::string_view kTableHandleError = "Error creating table handle";
inline constexpr std::string_view kNotEditing = "Table is not in edit or insert mode";
inline constexpr std::string_view kFieldNotInIndex = "Field '%s' is not in the current index";
inline constexpr std::string_view kFieldReadOnly = "Field '%s' cannot be modified";
inline constexpr std::string_view kTooManyLocateFields = "Too many fields for locate";
inline constexpr std::string_view kNoLocateFields = "No fields specified for locate";
inline constexpr std::string_view kBlobFieldInLocate =
    "Blob field '%s' not allowed in locate or lookup";
inline constexpr std::string_view kFieldNotFound = "Field '%s' not found";
inline constexpr std::string_view kRecordChangedOrMissing =
    "Record not found or changed by another user";

// Queries.
inline constexpr std::string_view kCircularDataLinks = "Circular data links are not allowed";
inline constexpr std::string_view kNoSqlStatement = "No SQL statement available";

// Parameters and custom functions.
inline constexpr std::string_view kParameterNotFound = "Parameter '%s' not found";
inline constexpr std::string_view kNoParameterType = "No parameter type for parameter '%s'";
inline constexpr std::string_view kFieldUnknownType = "Field '%s' is of an unknown type";
inline constexpr std::string_view kFieldUnsupportedType = "Field '%s' is of an unsupported type";
inline constexpr std::string_view kFunctionNotFound = "Function '%s' not found";
inline constexpr std::string_view kNoFunctionResultType =
    "No function result type for function '%s'";
inline constexpr std::string_view kFunctionParameterTypeMissing =
    "Function parameter data type missing for function '%s'";

}  // namespace component_errors

// Returns `text` with each "%s" replaced by `name` as it stands (the name is never read as a
// format). A text without "%s" is returned unchanged.
std::string DatabaseErrorText(std::string_view text, std::string_view name = {});

// Throws EDatabaseError with DatabaseErrorText(text, name), e.g.
// RaiseDatabaseError(component_errors::kFieldNotFound, "DATE") reports "Field 'DATE' not found".
[[noreturn]] void RaiseDatabaseError(std::string_view text, std::string_view name = {});

}  // namespace veltra
