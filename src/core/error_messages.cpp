#include "core/error_messages.h"

#include <algorithm>
#include <array>

namespace veltra {
namespace {

using enum TContextField;

// No message has more placeholders than this.
constexpr size_t kMaxPlaceholders = 4;

// One code's message: its text and the context fields that fill its placeholders, in order.
struct TErrorMessage {
  TEngineCode code = 0;
  std::string_view text;
  std::array<TContextField, kMaxPlaceholders> fields{};
  size_t field_count = 0;
};

template <typename... Fields>
constexpr TErrorMessage M(TEngineCode code, std::string_view text, Fields... fields) {
  static_assert(sizeof...(fields) <= kMaxPlaceholders);
  return TErrorMessage{code, text, {fields...}, sizeof...(fields)};
}

// Sorted by code; the checks below keep it so.
constexpr auto kMessages = std::to_array<TErrorMessage>({
    M(kErrBeginningOfTable, "Beginning of table '%s' unexpectedly encountered", cfTable),
    M(kErrEndOfTable, "End of table '%s' unexpectedly encountered", cfTable),
    M(kErrRecordChanged,
      "Record has been changed or deleted by another user, session, or table cursor in the table "
      "'%s'",
      cfTable),
    M(kErrNoCurrentRecord, "No current record in the table '%s'", cfTable),
    M(kErrRecordNotFound, "Record not found in the table '%s'", cfTable),
    M(kErrBlobEndReached, "End of BLOB field in the table '%s' reached prematurely", cfTable),
    M(kErrHeaderCorrupt, "Header information corrupt in the table '%s'", cfTable),
    M(kErrDataRecordCorrupt, "Data record buffers corrupt in the table '%s'", cfTable),
    M(kErrBlobBlockCorrupt, "BLOB block buffers corrupt in the table '%s'", cfTable),
    M(kErrIndexPageCorrupt, "Index page buffers corrupt in the table '%s'", cfTable),
    M(kErrReadError, "Error reading from the table or backup file '%s'", cfTable),
    M(kErrWriteError, "Error writing to the table or backup file '%s'", cfTable),
    M(kErrMaxRecordSize, "Maximum record size exceeded in the table '%s'", cfTable),
    M(kErrTableFull, "The table '%s' is full and cannot contain any more data", cfTable),
    M(kErrDatabaseFull, "The database '%s' is full and cannot contain any more tables", cfDatabase),
    M(kErrTooManyFilters, "Too many filters defined for the table '%s'", cfTable),
    M(kErrIndexLimits,
      "Maximum or minimum limits on the index page size, the number of indexes, or the number of "
      "fields in an index exceeded in the table '%s'",
      cfTable),
    M(kErrFieldLimits, "Maximum or minimum limits on number of fields exceeded in the table '%s'",
      cfTable),
    M(kErrTooManyBlobs, "Too many BLOBs opened in the table '%s'", cfTable),
    M(kErrBlobFieldLimits,
      "Too many BLOB fields or invalid BLOB block size specified for the table '%s'", cfTable),
    M(kErrDuplicateKey, "Duplicate key found in the index '%s' of the table '%s'", cfIndex,
      cfTable),
    M(kErrBelowMinimum,
      "The value for the field '%s' in the table '%s' is below the minimum allowable value",
      cfField, cfTable),
    M(kErrAboveMaximum,
      "The value for the field '%s' in the table '%s' is above the maximum allowable value",
      cfField, cfTable),
    M(kErrValueRequired, "A value must be provided for the field '%s' in the table '%s'", cfField,
      cfTable),
    M(kErrInvalidField, "Invalid field number or name '%s' specified for the table '%s'", cfField,
      cfTable),
    M(kErrPrimaryIndexExists,
      "A primary index is already defined for the table '%s' and cannot be added again", cfTable),
    M(kErrInvalidBlobOffset, "Invalid BLOB offset into the table '%s' specified", cfTable),
    M(kErrInvalidFieldDefinition,
      "Invalid field definition specified for the field '%s' in the table '%s'", cfField, cfTable),
    M(kErrInvalidDefaultOrLimit,
      "Invalid default expression or min/max constraint specified for the field '%s' in the table "
      "'%s'",
      cfField, cfTable),
    M(kErrIndexNameMissing,
      "The secondary index name is missing or not specified for the table '%s'", cfTable),
    M(kErrInvalidPassword, "Password provided for the table '%s' is invalid", cfTable),
    M(kErrInvalidIndexName, "Invalid secondary index name '%s' specified for the table '%s'",
      cfIndex, cfTable),
    M(kErrInvalidIndexFieldNumber,
      "Invalid field number '%s' specified in the index '%s' for the table '%s'", cfField, cfIndex,
      cfTable),
    M(kErrInvalidKeySize, "Invalid key size specified in the index '%s' for the table '%s'",
      cfIndex, cfTable),
    M(kErrIndexExists, "The secondary index '%s' already exists for the table '%s'", cfIndex,
      cfTable),
    M(kErrInvalidBlobLength, "Invalid BLOB length in the table '%s'", cfTable),
    M(kErrInvalidBlobHandle, "Invalid BLOB handle for the table '%s' specified", cfTable),
    M(kErrTableInUse, "The table '%s' is already in use", cfTable),
    M(kErrInvalidFieldName, "Invalid or duplicate field name '%s' specified for the table '%s'",
      cfField, cfTable),
    M(kErrInvalidFilterHandle, "Invalid filter handle specified for the table '%s'", cfTable),
    M(kErrFilterError, "Filter error for the table '%s' - %s at line %u, column %u", cfTable,
      cfMessage, cfLine, cfColumn),
    M(kErrLockFileReadLock, "Cannot read lock the lock file for the database '%s'", cfDatabase),
    M(kErrLockFileReadUnlock, "Cannot read unlock the lock file for the database '%s'", cfDatabase),
    M(kErrLockFileWriteLock, "Cannot write lock the lock file for the database '%s'", cfDatabase),
    M(kErrLockFileWriteUnlock, "Cannot write unlock the lock file for the database '%s'",
      cfDatabase),
    M(kErrTableReadLock, "Cannot read lock the table '%s'", cfTable),
    M(kErrTableReadUnlock, "Cannot read unlock the table '%s'", cfTable),
    M(kErrTableWriteLock, "Cannot write lock the table '%s'", cfTable),
    M(kErrTableWriteUnlock, "Cannot write unlock the table '%s'", cfTable),
    M(kErrTransactionLock, "Transaction cannot lock the database '%s'", cfDatabase),
    M(kErrTransactionUnlock, "Transaction cannot unlock the database '%s'", cfDatabase),
    M(kErrTableLock, "Cannot lock the table '%s'", cfTable),
    M(kErrTableUnlock, "Cannot unlock the table or record in the table '%s'", cfTable),
    M(kErrExclusiveRequired, "The table '%s' must be opened exclusively", cfTable),
    M(kErrRecordLock, "Cannot lock record in the table '%s'", cfTable),
    M(kErrPasswordRequired, "Insufficient rights to the table '%s', a password is required",
      cfTable),
    M(kErrInvalidBlobField, "Invalid BLOB field '%s' specified for the table '%s'", cfField,
      cfTable),
    M(kErrTableNotFound, "Table or backup file '%s' does not exist", cfTable),
    M(kErrTooManyFiles,
      "Too many operating system files open while attempting to open the table '%s'", cfTable),
    M(kErrAccessDenied, "Access denied to table or backup file '%s'", cfTable),
    M(kErrInvalidFileHandle, "Invalid operating system file handle for the table '%s'", cfTable),
    M(kErrOutOfMemory,
      "There is insufficient operating system memory available for the current operation"),
    M(kErrDeviceAccessDenied, "Access denied to logical operating system device for the table '%s'",
      cfTable),
    M(kErrTableMoved, "The table or backup file '%s' has been moved", cfTable),
    M(kErrUnknownOsError,
      "An unknown operating system error %u occurred with the table or backup file '%s'", cfOsError,
      cfTable),
    M(kErrConnectionLost, "The connection to the database server at '%s' has been lost", cfRemote),
    M(kErrEncryptionRequired, "The database server at '%s' requires an encrypted connection",
      cfRemote),
    M(kErrUnknownConnectionError,
      "An unknown error ('%s') occurred with the connection to the database server at '%s', please "
      "check the server log",
      cfMessage, cfRemote),
    M(kErrConnectFailed, "A connection to the database server at '%s' cannot be established",
      cfRemote),
    M(kErrLoginsRefused,
      "A connection to the database server at '%s' cannot be established, the server is not "
      "accepting new logins",
      cfRemote),
    M(kErrTooManyConnections,
      "A connection to the database server at '%s' cannot be established, the maximum number of "
      "server or user connections has been reached",
      cfRemote),
    M(kErrAddressBlocked,
      "A connection to the database server at '%s' cannot be established, the client address is "
      "blocked",
      cfRemote),
    M(kErrServerCallback, "A server callback error occurred for the database server at '%s'",
      cfRemote),
    M(kErrVersionMismatch,
      "A call to the database server at '%s' failed, the client engine version does not match the "
      "server",
      cfRemote),
    M(kErrInvalidLogin,
      "A connection to the database server at '%s' cannot be established, the login information "
      "provided is invalid",
      cfRemote),
    M(kErrNoDatabaseRights,
      "The user '%s' is not authorized to perform this operation with the database '%s' on the "
      "database server at '%s'",
      cfUser, cfDatabase, cfRemote),
    M(kErrNoAdminRights,
      "The user '%s' is not authorized to perform administration functions on the database server "
      "at '%s'",
      cfUser, cfRemote),
    M(kErrInvalidUserName, "The user name is either invalid or blank"),
    M(kErrUserNotFound, "The user '%s' does not exist on the database server at '%s'", cfUser,
      cfRemote),
    M(kErrUserExists, "The user '%s' already exists on the database server at '%s'", cfUser,
      cfRemote),
    M(kErrInvalidDatabaseName, "The database name or directory is either invalid or blank"),
    M(kErrDatabaseNotFound, "The database '%s' does not exist on the database server at '%s'",
      cfDatabase, cfRemote),
    M(kErrDatabaseExists, "The database '%s' already exists on the database server at '%s'",
      cfDatabase, cfRemote),
    M(kErrInvalidDatabaseUserName, "The database user name is either invalid or blank"),
    M(kErrDatabaseUserNotFound,
      "The database user '%s' does not exist for the database '%s' on the database server at '%s'",
      cfUser, cfDatabase, cfRemote),
    M(kErrDatabaseUserExists,
      "The database user '%s' already exists for the database '%s' on the database server at '%s'",
      cfUser, cfDatabase, cfRemote),
    M(kErrInvalidProcedureName, "The procedure name is either invalid or blank"),
    M(kErrProcedureNotFound, "The procedure '%s' does not exist on the database server at '%s'",
      cfProcedure, cfRemote),
    M(kErrProcedureExists, "The procedure '%s' already exists on the database server at '%s'",
      cfProcedure, cfRemote),
    M(kErrInvalidProcedureUserName, "The procedure user name is either invalid or blank"),
    M(kErrProcedureUserNotFound,
      "The procedure user '%s' does not exist for the database '%s' on the database server at '%s'",
      cfUser, cfProcedure, cfRemote),
    M(kErrProcedureUserExists,
      "The procedure user '%s' already exists for the database '%s' on the database server at '%s'",
      cfUser, cfProcedure, cfRemote),
    M(kErrInvalidEventName, "The event name is either invalid or blank"),
    M(kErrEventNotFound, "The event '%s' does not exist on the database server at '%s'", cfEvent,
      cfRemote),
    M(kErrEventExists, "The event '%s' already exists on the database server at '%s'", cfEvent,
      cfRemote),
    M(kErrInvalidRequest, "An invalid or unknown request was made to the database server at '%s'",
      cfRemote),
    M(kErrImport, "An error occurred during the import into the table '%s' - %s", cfTable,
      cfMessage),
    M(kErrExport, "An error occurred during the export from the table '%s' - %s", cfTable,
      cfMessage),
    M(kErrLoadStream, "An error occurred during the loading of a stream into the table '%s' - %s",
      cfTable, cfMessage),
    M(kErrSaveStream, "An error occurred during the saving of the table '%s' to a stream - %s",
      cfTable, cfMessage),
    M(kErrTrigger, "An error occurred during a trigger on the table '%s' - %s", cfTable, cfMessage),
    M(kErrSqlParse, "SQL parsing error - %s at line %u, column %u", cfMessage, cfLine, cfColumn),
    M(kErrSqlExecution, "SQL execution error - %s", cfMessage),
    M(kErrTableVersion, "The table '%s' is not the correct version", cfTable),
    M(kErrInvalidTableFile, "The table or backup file '%s' is not valid", cfTable),
    M(kErrInvalidIndexField, "Invalid field '%s' specified for the index '%s' in the table '%s'",
      cfField, cfIndex, cfTable),
    M(kErrTableExists, "The table '%s' already exists", cfTable),
    M(kErrCompress, "Error compressing data"),
    M(kErrUncompress, "Error uncompressing data"),
    M(kErrLocaleNotAvailable, "The locale support for the table '%s' is not available or installed",
      cfTable),
});

constexpr bool IsNumberField(TContextField field) {
  return field == cfOsError || field == cfLine || field == cfColumn;
}

// True when every placeholder of `message` is "%s" or "%u", their number equals the number of
// listed fields, and each "%s" names a text field and each "%u" a number field.
constexpr bool PlaceholdersMatchFields(const TErrorMessage& message) {
  size_t next = 0;
  const std::string_view text = message.text;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 1 == text.size() || next == message.field_count) return false;
    const char kind = text[++i];
    const bool number = IsNumberField(message.fields[next++]);
    if ((kind == 's' && number) || (kind == 'u' && !number) || (kind != 's' && kind != 'u')) {
      return false;
    }
  }
  return next == message.field_count;
}

constexpr bool TableIsSound() {
  for (size_t i = 0; i < kMessages.size(); ++i) {
    if (i > 0 && kMessages[i - 1].code >= kMessages[i].code) return false;
    if (!PlaceholdersMatchFields(kMessages[i])) return false;
  }
  return true;
}

static_assert(TableIsSound(), "message table unsorted, or placeholders and fields disagree");

const TErrorMessage* FindMessage(TEngineCode code) {
  auto found = std::lower_bound(
      kMessages.begin(), kMessages.end(), code,
      [](const TErrorMessage& message, TEngineCode wanted) { return message.code < wanted; });
  if (found == kMessages.end() || found->code != code) return nullptr;
  return &*found;
}

// The text of a number field as the message shows it: an unsigned decimal.
std::string NumberText(int32_t value) { return std::to_string(static_cast<uint32_t>(value)); }

std::string FieldText(TContextField field, const TErrorContextFields& fields) {
  switch (field) {
    case cfOsError:
      return NumberText(fields.os_error);
    case cfRemote:
      return fields.remote;
    case cfUser:
      return fields.user;
    case cfDatabase:
      return fields.database;
    case cfTable:
      return fields.table;
    case cfField:
      return fields.field;
    case cfIndex:
      return fields.index;
    case cfMessage:
      return fields.message;
    case cfProcedure:
      return fields.procedure;
    case cfEvent:
      return fields.event;
    case cfLine:
      return NumberText(fields.line);
    case cfColumn:
      return NumberText(fields.column);
  }
  return {};
}

}  // namespace

std::string MessageOfCode(TEngineCode code, const TErrorContextFields& fields) {
  const TErrorMessage* message = FindMessage(code);
  if (message == nullptr) return std::string(kUnknownErrorMessage);

  // The table's texts hold no '%' but their placeholders (checked above), so every '%' here
  // starts one.
  std::string result;
  size_t next = 0;
  const std::string_view text = message->text;
  for (size_t i = 0; i < text.size() && result.size() < kMaxMessageLength; ++i) {
    if (text[i] == '%') {
      result += FieldText(message->fields[next++], fields);
      ++i;
    } else {
      result += text[i];
    }
  }
  if (result.size() > kMaxMessageLength) result.resize(kMaxMessageLength);
  return result;
}

bool HasMessageOfCode(TEngineCode code) { return FindMessage(code) != nullptr; }

}  // namespace veltra
