#include "storage/table_flush.h"

namespace veltra {

namespace {

// The steps of one file. Returns whether its header was written.
bool FlushFile(TableFlushFile& file, bool header_asked, const FlushRequest& request,
               bool force_buffer_flush) {
  bool written = file.WriteBackAll();
  bool header_written = false;
  if (header_asked || written || file.HeaderChanged()) {
    file.WriteHeader();
    header_written = written = true;
  }
  if (file.DefinitionsChanged()) {
    file.WriteDefinitions();
    written = true;
  }
  if (written && (request.os_flush || force_buffer_flush)) file.FlushToDisk();
  if (request.release_cache) file.Trim();
  return header_written;
}

}  // namespace

void FlushTable(FlushableTable& table, const FlushRequest& request) {
  if (table.ReadOnly()) return;
  TableFlushFile* blob_file = table.BlobFile();
  if (table.InTransaction()) {
    if (request.data_header) table.DataFile().MarkHeaderChanged();
    if (request.index_header) table.IndexFile().MarkHeaderChanged();
    if (request.blob_header && blob_file != nullptr) blob_file->MarkHeaderChanged();
    return;
  }

  const bool force = table.ForceBufferFlush();
  TableFlushFile& data_file = table.DataFile();
  const bool data_header_written = FlushFile(data_file, request.data_header, request, force);
  bool other_header_written = FlushFile(table.IndexFile(), request.index_header, request, force);
  if (blob_file != nullptr) {
    other_header_written |= FlushFile(*blob_file, request.blob_header, request, force);
  }
  if (!data_header_written && other_header_written) {
    data_file.WriteHeader();
    if (request.os_flush || force) data_file.FlushToDisk();
  }
}

}  // namespace veltra
