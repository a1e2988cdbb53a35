#include "core/os_error.h"

#include <array>
#include <cerrno>

namespace veltra {
namespace {

struct TOsErrorCode {
  int os_error;
  TEngineCode code;
};

constexpr auto kOsErrorCodes = std::to_array<TOsErrorCode>({
    {ENOENT, kErrTableNotFound},
    {ENOTDIR, kErrTableNotFound},
    {ENAMETOOLONG, kErrTableNotFound},
    {ELOOP, kErrTableNotFound},
    {EMFILE, kErrTooManyFiles},
    {ENFILE, kErrTooManyFiles},
    {EACCES, kErrAccessDenied},
    {EPERM, kErrAccessDenied},
    {EROFS, kErrAccessDenied},
    {EISDIR, kErrAccessDenied},
    {EEXIST, kErrAccessDenied},
    {EBUSY, kErrAccessDenied},
    {ETXTBSY, kErrAccessDenied},
    {EBADF, kErrInvalidFileHandle},
    {ENOMEM, kErrOutOfMemory},
    {ENODEV, kErrDeviceAccessDenied},
    {ENXIO, kErrDeviceAccessDenied},
    {EXDEV, kErrTableMoved},
});

// Per thread, so that one thread's failure never lands in another thread's error.
thread_local int32_t pending_os_error = 0;
thread_local int32_t pending_socket_error = 0;

}  // namespace

TEngineCode EngineCodeOfOsError(int os_error) {
  for (const TOsErrorCode& entry : kOsErrorCodes) {
    if (entry.os_error == os_error) return entry.code;
  }
  return kErrUnknownOsError;
}

TEngineCode MapOsError(int os_error) {
  pending_os_error = os_error;
  return EngineCodeOfOsError(os_error);
}

TEngineCode MapLastOsError() { return MapOsError(errno); }

int32_t PendingOsError() { return pending_os_error; }

int32_t TakePendingOsError() {
  int32_t taken = pending_os_error;
  pending_os_error = 0;
  return taken;
}

void SetPendingSocketError(int32_t socket_error) { pending_socket_error = socket_error; }

int32_t TakePendingSocketError() {
  int32_t taken = pending_socket_error;
  pending_socket_error = 0;
  return taken;
}

}  // namespace veltra
