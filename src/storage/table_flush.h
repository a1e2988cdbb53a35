// The order in which a table's changes reach its files: the table flush, run by the open table
// after every change outside a transaction and at commit.
//
// Outside a transaction each file in turn (data, index, then BLOB if the table has one) writes
// back every dirty buffer, then its header when asked, when anything was written or when the
// header is marked changed, then (data file) its field definitions when they changed; a file that
// wrote anything is flushed to disk when the flush is forced or the session forces every flush;
// its cache is trimmed when asked. Last, when an index or BLOB header was written but the data
// header was not, the data header is written as well: other processes watch only the data file's
// change counter, so it must move whenever any file of the table changed.
//
// Inside a transaction nothing is written: the headers asked for are only marked changed (their
// change counters raised in memory), and the commit's flush writes them with the buffers.
//
// The open table implements the interfaces below over its three files.
#pragma once

namespace veltra {

// One of a table's files as the flush sees it.
class TableFlushFile {
 public:
  virtual ~TableFlushFile() = default;
  // A full write-back of the file's cache; whether anything was written.
  virtual bool WriteBackAll() = 0;
  // Whether the header was changed in memory and not written since.
  virtual bool HeaderChanged() const = 0;
  // Raises the header's change counter in memory and marks the header changed.
  virtual void MarkHeaderChanged() = 0;
  // Writes the header (raising its change counter and stamping the update time) and clears the
  // changed mark.
  virtual void WriteHeader() = 0;
  // The data file's field definitions; the other files have none.
  virtual bool DefinitionsChanged() const { return false; }
  virtual void WriteDefinitions() {}
  // Asks the operating system to write the file's data to the disk.
  virtual void FlushToDisk() = 0;
  // Brings the cache back to its configured size.
  virtual void Trim() = 0;
};

// The table as the flush sees it.
class FlushableTable {
 public:
  virtual ~FlushableTable() = default;
  virtual bool ReadOnly() const = 0;
  virtual bool InTransaction() const = 0;
  // The session's ForceBufferFlush: every flush that wrote anything goes to the disk.
  virtual bool ForceBufferFlush() const = 0;
  virtual TableFlushFile& DataFile() = 0;
  virtual TableFlushFile& IndexFile() = 0;
  // Null when the table has no BLOB fields.
  virtual TableFlushFile* BlobFile() = 0;
};

// What a flush is asked to do beyond writing the dirty buffers.
struct FlushRequest {
  bool release_cache = false;  // trim each cache
  bool data_header = false;    // write (or in a transaction mark) the data header
  bool os_flush = false;       // flush written files to disk
  bool blob_header = false;
  bool index_header = false;
};

// Flushes `table` in the order described at the top of the file. A failure of any step
// propagates at once; the steps after it are not taken, and what was not written stays dirty.
void FlushTable(FlushableTable& table, const FlushRequest& request);

}  // namespace veltra
