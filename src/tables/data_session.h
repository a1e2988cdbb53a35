// The engine session: one per session component. It holds the session's lock and progress
// settings, its private directory (where temporary result tables are made), the table passwords
// in force, and the database directory objects opened through it.
//
// Sessions never share directory objects: two sessions that open one path have two directory
// objects, two lock objects and two sets of table objects, and see each other only through the
// files, as two processes do.
//
// Threads: a session and everything under it is used by one thread at a time; it takes no locks.
// The engine core keeps the session in its list (TDataEngine::AddEngineSession) and frees it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/data_engine.h"
#include "crypto/table_password.h"
#include "storage/directory_locks.h"
#include "tables/data_password.h"

namespace veltra {

class TDataDirectory;
class TTableFactory;

// How record locks are taken (the cursor layer decides what each means).
enum class TLockProtocol : uint8_t { lpPessimistic = 0, lpOptimistic = 1 };

inline constexpr uint16_t kDefaultProgressSteps = 20;
inline constexpr uint8_t kDefaultSessionLockRetryCount = 15;
inline constexpr uint16_t kDefaultSessionLockWaitTime = 100;
// The longest directory path a session or directory object keeps, trailing separator included.
inline constexpr size_t kMaxDirectoryPathLength = 255;
// The name that selects the in-memory directory, compared without regard to case.
inline constexpr std::string_view kMemoryDirectoryName = "Memory";

// Asked for more passwords when none in force opens a table; true when it added some.
using TPasswordCallback = std::function<bool()>;

class TDataSession : public TEngineSession {
 public:
  // A session with the default settings; its private directory is the system's temporary
  // directory. REQUIRES: `engine` outlives the session.
  explicit TDataSession(TDataEngine& engine);
  // Frees every directory object (each rolls back its transaction and closes its tables), then
  // every password object, removed ones included.
  ~TDataSession() override;
  TDataSession(const TDataSession&) = delete;
  TDataSession& operator=(const TDataSession&) = delete;

  TDataEngine& engine() const { return engine_; }

  // ---- Settings -------------------------------------------------------------------------------
  uint16_t ProgressSteps() const { return progress_steps_; }
  void SetProgressSteps(uint16_t steps) { progress_steps_ = steps; }
  // Flush files to disk after every write-back.
  bool ForceBufferFlush() const { return force_buffer_flush_; }
  void SetForceBufferFlush(bool force) { force_buffer_flush_ = force; }
  // Take the table read lock at the start of every cursor operation.
  bool StrictChangeDetection() const { return strict_change_detection_; }
  void SetStrictChangeDetection(bool strict) { strict_change_detection_ = strict; }
  // Record and table lock attempts after the first, and the milliseconds between them.
  uint8_t LockRetryCount() const { return lock_retry_count_; }
  void SetLockRetryCount(uint8_t count) { lock_retry_count_ = count; }
  uint16_t LockWaitTime() const { return lock_wait_time_; }
  void SetLockWaitTime(uint16_t milliseconds) { lock_wait_time_ = milliseconds; }
  TLockProtocol LockProtocol() const { return lock_protocol_; }
  void SetLockProtocol(TLockProtocol protocol) { lock_protocol_ = protocol; }

  // The percentage one progress notification stands for: 100 / ProgressSteps(), or 100 when
  // ProgressSteps() is 0.
  uint16_t ProgressStep() const;

  // ---- Private directory ----------------------------------------------------------------------
  // The stored directory, or when none is stored the process's current directory; always ending
  // in one separator.
  std::string PrivateDirectory() const;
  // An empty (or blank) text stores empty; otherwise the trimmed text with trailing separators
  // reduced to one. A path longer than kMaxDirectoryPathLength raises kErrTableNotFound (the
  // path cannot name a directory) and keeps the old value.
  void SetPrivateDirectory(std::string_view path);

  // ---- Passwords ------------------------------------------------------------------------------
  // Texts compare exactly, byte for byte: passwords differing in letter case are two passwords.
  //
  // Puts `text` into force. Nothing for an empty text or one already in force; a removed
  // password of that text comes back with its digest and cipher state. A text longer than
  // kMaxPasswordLength raises kErrInvalidPassword. A failure of the cipher propagates and adds
  // nothing.
  void AddPassword(std::string_view text);
  // Moves the password in force with exactly `text` to the removed passwords; nothing when none.
  void RemovePassword(std::string_view text);
  // Moves every password in force to the removed passwords.
  void RemoveAllPasswords();
  // The password in force with exactly `text`, or null.
  TDataPassword* FindPassword(std::string_view text) const;
  // The first password in force (in the order they were added) whose state decrypts `check` to
  // its digest, or null.
  TDataPassword* FindPasswordByCheck(const crypto::TPasswordCheckValue& check) const;
  // Calls the password callback; false when there is none.
  bool AskForPassword();
  void SetPasswordCallback(TPasswordCallback callback) { password_callback_ = std::move(callback); }
  // The passwords in force, in the order they were put into force.
  std::vector<const TDataPassword*> Passwords() const;
  size_t RemovedPasswordCount() const { return removed_passwords_.size(); }

  // ---- Directories ----------------------------------------------------------------------------
  // Finds or makes this session's directory object for a path and counts one use.
  //
  // The name "Memory" (without regard to case) selects the in-memory directory: its path is the
  // given path normalised, or empty when none is given. Otherwise the path is the given one (or
  // the current directory when none is given) made absolute against the current directory, with
  // repeated separators and "." steps removed and one separator at the end. Paths compare
  // exactly (names on Linux are case-sensitive), and an in-memory directory never equals one on
  // disk. A found object keeps its name and keep-tables-open flag; a new one takes the name
  // (cut to 60 characters), opens its lock file and starts with a use count of 1.
  //
  // A normalised path longer than kMaxDirectoryPathLength raises kErrTableNotFound (with the
  // OS error ENAMETOOLONG) and makes nothing. A failure to make the lock object propagates and
  // makes nothing.
  TDataDirectory& OpenDirectory(std::string_view name, std::string_view path,
                                bool keep_tables_open);
  // Drops one use of `directory`; the last use frees it. Nothing when it is not this session's
  // or its use count is 0.
  void ReleaseDirectory(TDataDirectory& directory);
  size_t DirectoryCount() const { return directories_.size(); }

  // The maker of table objects that the directories use to open tables they do not hold; null
  // until the open-table layer installs one. REQUIRES: it outlives the session's directories.
  TTableFactory* TableFactory() const { return table_factory_; }
  void SetTableFactory(TTableFactory* factory) { table_factory_ = factory; }

  // The retry settings and sleeper of the lock objects of directories made from now on (the
  // production defaults unless set; tests shorten the waits).
  const TDirectoryLockOptions& DirectoryLockOptions() const { return lock_options_; }
  void SetDirectoryLockOptions(TDirectoryLockOptions options) {
    lock_options_ = std::move(options);
  }

 private:
  TDataEngine& engine_;
  uint16_t progress_steps_ = kDefaultProgressSteps;
  bool force_buffer_flush_ = false;
  bool strict_change_detection_ = false;
  uint8_t lock_retry_count_ = kDefaultSessionLockRetryCount;
  uint16_t lock_wait_time_ = kDefaultSessionLockWaitTime;
  TLockProtocol lock_protocol_ = TLockProtocol::lpPessimistic;
  std::string private_directory_;
  TPasswordCallback password_callback_;
  TTableFactory* table_factory_ = nullptr;
  TDirectoryLockOptions lock_options_;

  // Declared before the directories so that they outlive every table that refers to a state.
  std::vector<std::unique_ptr<TDataPassword>> passwords_;
  std::vector<std::unique_ptr<TDataPassword>> removed_passwords_;
  std::vector<std::unique_ptr<TDataDirectory>> directories_;
};

}  // namespace veltra
