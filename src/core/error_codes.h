// The engine's error codes. Every failure inside the engine reaches the application as an
// EVELTRAEngineError carrying one of these 16-bit codes; the message text of each code is fixed
// (error_messages.h) and the error's context fills its placeholders. The comment beside each code
// names the context fields its message uses, in order.
//
// The codes from kErrConnectionLost to kErrInvalidRequest arise only with remote sessions and the
// database server.
#pragma once

#include <cstdint>

namespace veltra {

using TEngineCode = uint16_t;

// Cursor states that cursor reads return as results rather than raise.
inline constexpr TEngineCode kErrBeginningOfTable = 8705;  // table
inline constexpr TEngineCode kErrEndOfTable = 8706;        // table
inline constexpr TEngineCode kErrRecordChanged = 8708;     // table
inline constexpr TEngineCode kErrNoCurrentRecord = 8709;   // table
inline constexpr TEngineCode kErrRecordNotFound = 8710;    // table
inline constexpr TEngineCode kErrBlobEndReached = 8711;    // table

// Damaged files.
inline constexpr TEngineCode kErrHeaderCorrupt = 8961;      // table
inline constexpr TEngineCode kErrDataRecordCorrupt = 8962;  // table
inline constexpr TEngineCode kErrBlobBlockCorrupt = 8963;   // table
inline constexpr TEngineCode kErrIndexPageCorrupt = 8965;   // table

// Reading and writing.
inline constexpr TEngineCode kErrReadError = 9217;   // table
inline constexpr TEngineCode kErrWriteError = 9218;  // table

// Limits.
inline constexpr TEngineCode kErrMaxRecordSize = 9477;    // table
inline constexpr TEngineCode kErrTableFull = 9479;        // table
inline constexpr TEngineCode kErrDatabaseFull = 9480;     // database
inline constexpr TEngineCode kErrTooManyFilters = 9482;   // table
inline constexpr TEngineCode kErrIndexLimits = 9487;      // table
inline constexpr TEngineCode kErrFieldLimits = 9492;      // table
inline constexpr TEngineCode kErrTooManyBlobs = 9494;     // table
inline constexpr TEngineCode kErrBlobFieldLimits = 9498;  // table

// Values and constraints.
inline constexpr TEngineCode kErrDuplicateKey = 9729;   // index, table
inline constexpr TEngineCode kErrBelowMinimum = 9730;   // field, table
inline constexpr TEngineCode kErrAboveMaximum = 9731;   // field, table
inline constexpr TEngineCode kErrValueRequired = 9732;  // field, table

// Definitions and handles.
inline constexpr TEngineCode kErrInvalidField = 9985;              // field, table
inline constexpr TEngineCode kErrPrimaryIndexExists = 9993;        // table
inline constexpr TEngineCode kErrInvalidBlobOffset = 9998;         // table
inline constexpr TEngineCode kErrInvalidFieldDefinition = 10000;   // field, table
inline constexpr TEngineCode kErrInvalidDefaultOrLimit = 10006;    // field, table
inline constexpr TEngineCode kErrIndexNameMissing = 10010;         // table
inline constexpr TEngineCode kErrInvalidPassword = 10015;          // table
inline constexpr TEngineCode kErrInvalidIndexName = 10022;         // index, table
inline constexpr TEngineCode kErrInvalidIndexFieldNumber = 10023;  // field, index, table
inline constexpr TEngineCode kErrInvalidKeySize = 10026;           // index, table
inline constexpr TEngineCode kErrIndexExists = 10027;              // index, table
inline constexpr TEngineCode kErrInvalidBlobLength = 10029;        // table
inline constexpr TEngineCode kErrInvalidBlobHandle = 10030;        // table
inline constexpr TEngineCode kErrTableInUse = 10031;               // table
inline constexpr TEngineCode kErrInvalidFieldName = 10038;         // field, table
inline constexpr TEngineCode kErrInvalidFilterHandle = 10050;      // table
inline constexpr TEngineCode kErrFilterError = 10051;              // table, message, line, column

// Locks.
inline constexpr TEngineCode kErrLockFileReadLock = 10221;     // database
inline constexpr TEngineCode kErrLockFileReadUnlock = 10222;   // database
inline constexpr TEngineCode kErrLockFileWriteLock = 10223;    // database
inline constexpr TEngineCode kErrLockFileWriteUnlock = 10224;  // database
inline constexpr TEngineCode kErrTableReadLock = 10225;        // table
inline constexpr TEngineCode kErrTableReadUnlock = 10226;      // table
inline constexpr TEngineCode kErrTableWriteLock = 10227;       // table
inline constexpr TEngineCode kErrTableWriteUnlock = 10228;     // table
inline constexpr TEngineCode kErrTransactionLock = 10229;      // database
inline constexpr TEngineCode kErrTransactionUnlock = 10230;    // database
inline constexpr TEngineCode kErrTableLock = 10241;            // table
inline constexpr TEngineCode kErrTableUnlock = 10242;          // table
inline constexpr TEngineCode kErrExclusiveRequired = 10253;    // table
inline constexpr TEngineCode kErrRecordLock = 10258;           // table

// Rights and BLOB fields.
inline constexpr TEngineCode kErrPasswordRequired = 10498;  // table
inline constexpr TEngineCode kErrInvalidBlobField = 10753;  // field, table

// Operating system errors (os_error.h maps error numbers onto these).
inline constexpr TEngineCode kErrTableNotFound = 11010;       // table
inline constexpr TEngineCode kErrTooManyFiles = 11012;        // table
inline constexpr TEngineCode kErrAccessDenied = 11013;        // table
inline constexpr TEngineCode kErrInvalidFileHandle = 11014;   // table
inline constexpr TEngineCode kErrOutOfMemory = 11016;         // none
inline constexpr TEngineCode kErrDeviceAccessDenied = 11023;  // table
inline constexpr TEngineCode kErrTableMoved = 11025;          // table
inline constexpr TEngineCode kErrUnknownOsError = 11047;      // OS error, table

// Remote sessions and the database server.
inline constexpr TEngineCode kErrConnectionLost = 11276;            // remote
inline constexpr TEngineCode kErrEncryptionRequired = 11277;        // remote
inline constexpr TEngineCode kErrUnknownConnectionError = 11279;    // message, remote
inline constexpr TEngineCode kErrConnectFailed = 11280;             // remote
inline constexpr TEngineCode kErrLoginsRefused = 11281;             // remote
inline constexpr TEngineCode kErrTooManyConnections = 11282;        // remote
inline constexpr TEngineCode kErrAddressBlocked = 11283;            // remote
inline constexpr TEngineCode kErrServerCallback = 11285;            // remote
inline constexpr TEngineCode kErrVersionMismatch = 11286;           // remote
inline constexpr TEngineCode kErrInvalidLogin = 11287;              // remote
inline constexpr TEngineCode kErrNoDatabaseRights = 11288;          // user, database, remote
inline constexpr TEngineCode kErrNoAdminRights = 11289;             // user, remote
inline constexpr TEngineCode kErrInvalidUserName = 11290;           // none
inline constexpr TEngineCode kErrUserNotFound = 11291;              // user, remote
inline constexpr TEngineCode kErrUserExists = 11292;                // user, remote
inline constexpr TEngineCode kErrInvalidDatabaseName = 11293;       // none
inline constexpr TEngineCode kErrDatabaseNotFound = 11294;          // database, remote
inline constexpr TEngineCode kErrDatabaseExists = 11295;            // database, remote
inline constexpr TEngineCode kErrInvalidDatabaseUserName = 11296;   // none
inline constexpr TEngineCode kErrDatabaseUserNotFound = 11297;      // user, database, remote
inline constexpr TEngineCode kErrDatabaseUserExists = 11298;        // user, database, remote
inline constexpr TEngineCode kErrInvalidProcedureName = 11299;      // none
inline constexpr TEngineCode kErrProcedureNotFound = 11300;         // procedure, remote
inline constexpr TEngineCode kErrProcedureExists = 11301;           // procedure, remote
inline constexpr TEngineCode kErrInvalidProcedureUserName = 11302;  // none
inline constexpr TEngineCode kErrProcedureUserNotFound = 11303;     // user, procedure, remote
inline constexpr TEngineCode kErrProcedureUserExists = 11304;       // user, procedure, remote
inline constexpr TEngineCode kErrInvalidEventName = 11305;          // none
inline constexpr TEngineCode kErrEventNotFound = 11306;             // event, remote
inline constexpr TEngineCode kErrEventExists = 11307;               // event, remote
inline constexpr TEngineCode kErrInvalidRequest = 11308;            // remote

// Import, export, streams and triggers.
inline constexpr TEngineCode kErrImport = 11309;      // table, message
inline constexpr TEngineCode kErrExport = 11310;      // table, message
inline constexpr TEngineCode kErrLoadStream = 11312;  // table, message
inline constexpr TEngineCode kErrSaveStream = 11313;  // table, message
inline constexpr TEngineCode kErrTrigger = 11314;     // table, message

// SQL.
inline constexpr TEngineCode kErrSqlParse = 11949;      // message, line, column
inline constexpr TEngineCode kErrSqlExecution = 11950;  // message

// Versions, files, locales and compression.
inline constexpr TEngineCode kErrTableVersion = 12035;        // table
inline constexpr TEngineCode kErrInvalidTableFile = 12036;    // table
inline constexpr TEngineCode kErrInvalidIndexField = 12292;   // field, index, table
inline constexpr TEngineCode kErrTableExists = 13060;         // table
inline constexpr TEngineCode kErrCompress = 15001;            // none
inline constexpr TEngineCode kErrUncompress = 15002;          // none
inline constexpr TEngineCode kErrLocaleNotAvailable = 15878;  // table

}  // namespace veltra
