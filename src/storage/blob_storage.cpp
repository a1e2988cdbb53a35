#include "storage/blob_storage.h"

namespace veltra {

void EngineBlobStorage::Truncate(uint64_t size) {
  // The position is shared by every handle of the file: the seek and the write that sets the end
  // must not be split by another user.
  ScopedEngineFileGuard guard(file_);
  (void)file_.Seek(TSeekOrigin::soBeginning, static_cast<int64_t>(size));
  file_.Write(nullptr, 0);
}

}  // namespace veltra
