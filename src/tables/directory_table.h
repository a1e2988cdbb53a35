// What a database directory asks of the table objects it holds. The open-table object (its
// files, caches, open count and the transaction steps on its own files) implements this
// interface; the directory keeps the objects in its ordered registry, decides when they are
// made and freed, and drives their transactions in the engine's lock order.
//
// Lock order. A table's transaction step takes the table's transaction byte (its lock entry's
// LockTrans); its commit writes the table's changes while it holds that byte. The directory
// starts the tables of a restricted transaction in ascending table id, takes the database
// transaction lock before any table's transaction byte is held by an unrestricted one, and takes
// the all-tables write lock only while it holds the transaction bytes, so that two transactions
// never wait for each other in a circle.
//
// While the directory holds the database transaction lock (an unrestricted transaction), that
// lock covers every table's transaction byte: a table then releases only what it took itself.
//
// Threads: as the directory, one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace veltra {

class TDataDirectory;

// How a table is opened through its directory.
struct TTableOpenRequest {
  std::string name;          // the registry name: without path, with the data file extension
  std::string display_name;  // the name errors report
  bool exclusive = false;    // keep every other session and process out
  bool temporary = false;    // a temporary table (deleted when its last handle closes)
  bool check_headers = true;
  // Opened for a transaction (or while being created): no cursor counts as a user.
  bool no_open_count = false;
};

class TDirectoryTable {
 public:
  virtual ~TDirectoryTable() = default;

  // The name under which the directory registers the object (see TTableOpenRequest::name).
  virtual const std::string& TableName() const = 0;

  // Opens the table's files, or when they are open raises the open count (unless
  // request.no_open_count). A table that was closed takes the request's exclusive and temporary
  // flags. Failures raise and leave the object as it was.
  virtual void Open(const TTableOpenRequest& request) = 0;
  // Lowers the open count; the last close closes the files unless the directory keeps them.
  virtual void Close() = 0;
  // Closes the files whatever the open count; `discard` drops changes not yet written.
  virtual void ForceClose(bool discard) = 0;
  // A cursor has the table open (its open count is above 0).
  virtual bool IsOpen() const = 0;
  // The table was last opened exclusively.
  virtual bool Exclusive() const = 0;

  // The table's id in the directory's lock file; 0 while it has no lock entry.
  virtual int32_t LockTableId() const = 0;
  virtual bool InTransaction() const = 0;
  // Takes the table's transaction lock and starts keeping its changes for the commit. Raises
  // when the lock cannot be had, holding nothing of it then.
  virtual void StartTransaction() = 0;
  // Writes the table's changes (to disk when `force_flush`) and ends its transaction, releasing
  // its locks also when writing fails.
  virtual void CommitTransaction(bool force_flush) = 0;
  // Discards the table's changes and ends its transaction. Nothing when none is running.
  virtual void RollbackTransaction() = 0;
};

// Makes the table objects of a directory. The open-table layer installs one in the session.
class TTableFactory {
 public:
  virtual ~TTableFactory() = default;
  // A new, closed table object for `request.name` in `directory`; the directory opens it.
  virtual std::unique_ptr<TDirectoryTable> MakeTable(TDataDirectory& directory,
                                                     const TTableOpenRequest& request) = 0;
};

}  // namespace veltra
