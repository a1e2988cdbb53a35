#include "storage/blob_storage.h"

namespace veltra {

void EngineBlobStorage::Truncate(uint64_t size) { file_.SetEnd(size); }

}  // namespace veltra
