// Operating system errors as engine codes, and the errors waiting to be reported.
//
// A failed file operation maps its error number (errno) to an engine code and leaves the number
// pending; the next RaiseEngineError of the same thread stores it in the error's ContextOsError
// and clears it. The file layer returns the negated code and the layer that knows the table
// raises it with the table's name, so the number reaches the error that reports the failure.
//
// The pending values are kept per thread: a number mapped by one thread never shows in an error
// raised by another, however the threads interleave.
//
// Error numbers and engine codes:
//
//   ENOENT, ENOTDIR, ENAMETOOLONG, ELOOP      kErrTableNotFound       (the path does not lead
//                                                                     to a file)
//   EMFILE, ENFILE                            kErrTooManyFiles
//   EACCES, EPERM, EROFS, EISDIR, EEXIST,     kErrAccessDenied        (EBUSY is what the file
//   EBUSY, ETXTBSY                                                    layer reports for a file
//                                                                     another handle has open
//                                                                     exclusively)
//   EBADF                                     kErrInvalidFileHandle
//   ENOMEM                                    kErrOutOfMemory
//   ENODEV, ENXIO                             kErrDeviceAccessDenied
//   EXDEV                                     kErrTableMoved
//   any other (EIO, ENOSPC, EAGAIN, 0, ...)   kErrUnknownOsError      (its message shows the
//                                                                     number)
#pragma once

#include <cstdint>

#include "core/error_codes.h"

namespace veltra {

// The engine code for the error number `os_error`, by the table above. Stores nothing.
TEngineCode EngineCodeOfOsError(int os_error);

// Stores `os_error` as the calling thread's pending OS error and returns its engine code.
TEngineCode MapOsError(int os_error);

// MapOsError of the calling thread's errno, read before anything else can change it.
TEngineCode MapLastOsError();

// The calling thread's pending OS error, 0 when none.
int32_t PendingOsError();

// Returns the calling thread's pending OS error and sets it to 0.
int32_t TakePendingOsError();

// Sets the calling thread's pending socket error; the remote layer reports its failures so.
void SetPendingSocketError(int32_t socket_error);

// Returns the calling thread's pending socket error and sets it to 0.
int32_t TakePendingSocketError();

}  // namespace veltra
