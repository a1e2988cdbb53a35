// The engine core: the one process-wide object that the storage, cursor and SQL layers consult
// for settings, storage limits and lock-space constants, locales, errors, shared files,
// temporary names, the cipher and compression services, and the engine sessions. The engine
// component owns it and changes its settings; everything else only reads them.
//
// Threads. The core is shared by every thread of the process. Settings, limits and hooks change
// only while the engine is inactive (the component refuses changes while active) and may be
// read without a lock while it runs. Engine-wide mutable state has a lock each: the error
// context, the physical and the memory file registry (inside TFileRegistry), the engine session
// list and the random generator. Start and Stop are called by one thread at a time (the
// component's).
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine_error.h"
#include "core/engine_hooks.h"
#include "core/engine_settings.h"
#include "core/format_settings.h"
#include "core/locale_list.h"
#include "core/os_error.h"
#include "core/storage_limits.h"
#include "core/table_version.h"
#include "crypto/md5.h"

namespace veltra {

class TFileRegistry;  // core/file_registry.h: the physical and the memory file registry

// An engine session as the core keeps it in its list. The session layer's TDataSession derives
// from it; the core owns the sessions in its list and frees them.
class TEngineSession {
 public:
  virtual ~TEngineSession() = default;
};

// One custom SQL function as the type checker and the evaluator see it.
inline constexpr size_t kMaxCustomFunctions = 1023;
inline constexpr size_t kMaxCustomFunctionArguments = 64;
inline constexpr size_t kMaxCustomFunctionNameLength = 128;

struct TCustomFunctionArgument {
  uint8_t DataType = 0;  // an engine type code
  uint8_t SubType = 0;
};

struct TCustomFunctionDefinition {
  std::string Name;  // at most kMaxCustomFunctionNameLength characters
  uint8_t ResultType = 0;
  uint8_t ResultSubType = 0;
  std::vector<TCustomFunctionArgument> Arguments;  // at most kMaxCustomFunctionArguments
};

// What Start takes from the component besides the settings it already has.
struct TStartParameters {
  std::string LockFileName{kDefaultLockFileName};
  bool Server = false;  // the engine type is the server
  TServerSettings ServerSettings;
  // The custom function table, built by the component from its function collection.
  std::vector<TCustomFunctionDefinition> Functions;
};

// The hooks that the engine component's events set.
struct TEngineHooks {
  TCipherHooks Cipher;
  TCompressionHooks Compression;
  TTextIndexHooks TextIndex;
  TCustomFunctionHook CustomFunction;
  TTriggerHook Trigger;
  TErrorEventHook ErrorEvent;
  std::function<void()> Startup;   // fired first in Start; an exception leaves the engine inactive
  std::function<void()> Shutdown;  // fired last in Stop
};

class TDataEngine {
 public:
  // An inactive core with the default settings, the locale list built, empty registries.
  TDataEngine();
  // Stops the engine if active (see Stop), then frees the sessions and the registries.
  ~TDataEngine();
  TDataEngine(const TDataEngine&) = delete;
  TDataEngine& operator=(const TDataEngine&) = delete;

  // ---- Settings -------------------------------------------------------------------------------
  // The core's copies. UpdateSettings replaces them (texts cut to 255 characters, extensions
  // given a leading full stop), except the lock file name, which reaches the core only through
  // Start. REQUIRES: the engine is inactive (the component refuses changes while active).
  const TEngineSettings& Settings() const { return settings_; }
  void UpdateSettings(const TEngineSettings& settings);

  int32_t MaxTableDataBufferSize() const { return settings_.MaxTableDataBufferSize; }
  int32_t MaxTableDataBufferCount() const { return settings_.MaxTableDataBufferCount; }
  int32_t MaxTableIndexBufferSize() const { return settings_.MaxTableIndexBufferSize; }
  int32_t MaxTableIndexBufferCount() const { return settings_.MaxTableIndexBufferCount; }
  int32_t MaxTableBlobBufferSize() const { return settings_.MaxTableBlobBufferSize; }
  int32_t MaxTableBlobBufferCount() const { return settings_.MaxTableBlobBufferCount; }
  const std::string& TableDataExtension() const { return settings_.TableDataExtension; }
  const std::string& TableIndexExtension() const { return settings_.TableIndexExtension; }
  const std::string& TableBlobExtension() const { return settings_.TableBlobExtension; }
  const std::string& TableDataTempExtension() const { return settings_.TableDataTempExtension; }
  const std::string& TableIndexTempExtension() const { return settings_.TableIndexTempExtension; }
  const std::string& TableBlobTempExtension() const { return settings_.TableBlobTempExtension; }
  const TLockRetrySettings& TableReadLock() const { return settings_.TableReadLock; }
  const TLockRetrySettings& TableWriteLock() const { return settings_.TableWriteLock; }
  const TLockRetrySettings& TableTransLock() const { return settings_.TableTransLock; }
  uint16_t TableMaxReadLockCount() const { return settings_.TableMaxReadLockCount; }
  uint8_t TableFilterIndexThreshhold() const { return settings_.TableFilterIndexThreshhold; }
  bool LargeFileSupport() const { return settings_.LargeFileSupport; }
  bool CreateTempTablesInDatabase() const { return settings_.CreateTempTablesInDatabase; }
  // The lock file name in force: the one given to the last Start ("veltra.lck" before).
  const std::string& LockFileName() const { return settings_.LockFileName; }

  // The signature written into table file headers, and its MD5 digest.
  const std::string& Signature() const { return signature_; }
  const crypto::TDigest& SignatureDigest() const { return signature_digest_; }
  // Stores `signature` (cut to 255 characters) and recomputes its digest.
  void SetSignature(std::string_view signature);

  // Whether the engine is a database server (the component's engine type).
  bool IsServer() const { return server_; }
  void SetServer(bool server) { server_ = server; }
  const TServerSettings& ServerSettings() const { return server_settings_; }

  // ---- Storage limits and lock-space constants --------------------------------------------------
  // StorageLimitsFor(LargeFileSupport()) as computed at the last Start (at construction before).
  const TStorageLimits& Limits() const { return limits_; }

  // ---- Lifecycle --------------------------------------------------------------------------------
  // Fires the startup hook, seeds the random generator, stores the lock file name and the server
  // settings, computes the limits, takes the custom function table (at most 1023 entries, else
  // std::invalid_argument) and sets the active flag. Any failure leaves the engine inactive and
  // its state as before. Starting an active engine does nothing.
  void Start(const TStartParameters& parameters);
  // Frees the custom function table, closes and frees every file of both registries (each under
  // its registry's lock), clears the active flag and fires the shutdown hook. The sessions are
  // deactivated by their components before this. Stopping an inactive engine does nothing.
  void Stop();
  bool Active() const { return active_; }

  // ---- Locales ----------------------------------------------------------------------------------
  const TLocaleList& Locales() const { return *locales_; }
  bool LocaleExists(std::string_view name) const { return locales_->LocaleExists(name); }
  TLocaleId LocaleIdOf(std::string_view name) const { return locales_->LocaleIdOf(name); }
  bool IsValidLocaleId(TLocaleId id) const { return TLocaleList::IsValidLocaleId(id); }
  const TFormatSettings& FormatSettingsOf(TLocaleId id) const;
  const TCollationTable& CollationTableOf(TLocaleId id) const {
    return locales_->CollationTableOf(id);
  }
  // The process-wide format settings, saved and put back (see TFormatSettingsSaver).
  TFormatSettings SaveFormatSettings() const { return ProcessFormatSettings(); }
  void RestoreFormatSettings(const TFormatSettings& saved) const {
    SetProcessFormatSettings(saved);
  }

  // ---- Errors -----------------------------------------------------------------------------------
  // The error context the engine raises through (the process's one), with its lock.
  TErrorContext& ErrorContext() const { return ProcessErrorContext(); }
  [[noreturn]] void RaiseEngineError(TEngineCode code,
                                     const EngineErrorContext& context = {}) const;
  // The engine code of the calling thread's errno, left pending for its next raise.
  static TEngineCode MapLastOsError() { return veltra::MapLastOsError(); }
  // The engine code of an exception (kErrUnknownOsError for one that is no engine error).
  static TEngineCode CodeOfError(const std::exception& error) { return veltra::CodeOfError(error); }
  // The message text of `code` filled from the error context as it stands.
  std::string MessageOfCode(TEngineCode code) const { return ErrorContext().MessageOfCode(code); }

  // ---- Files ------------------------------------------------------------------------------------
  // The registries of open physical files and of memory files.
  TFileRegistry& FileRegistry() { return *registry_; }

  // A free temporary file name in `directory` with `extension` (see temp_file_name.h): for a
  // physical name the file now exists, empty and closed, and the caller creates its table over
  // it; a memory name lies in "Temp" and is free in the memory registry. Raises the engine error
  // of an OS failure with the name as the table.
  std::string TempFileName(std::string_view directory, std::string_view extension, bool in_memory);

  // ---- Services ---------------------------------------------------------------------------------
  // Hooks set by the engine component. REQUIRES: the engine is inactive or the hooks in question
  // are not in use by another thread (the component changes them from the application's thread).
  const TEngineHooks& Hooks() const { return hooks_; }
  TEngineHooks& MutableHooks() { return hooks_; }

  // The key material for `key` (the 16-byte password digest): the application's cipher when its
  // hooks are complete, else the built-in cipher state.
  std::unique_ptr<TCipherContext> CreateCipherState(std::span<const uint8_t> key) const;
  // The whole 8-byte blocks of `area` through the context's cipher, then its reset, also when a
  // block fails (whose exception then propagates). Shorter tails stay as they are.
  static void EncryptBuffer(TCipherContext& context, std::span<uint8_t> area);
  static void DecryptBuffer(TCipherContext& context, std::span<uint8_t> area);

  // `input` compressed at `level` (1 to 9; 0 stores) by the compress hook, or zlib without one.
  // Any failure raises 15001.
  std::vector<uint8_t> CompressBuffer(std::span<const uint8_t> input, uint8_t level) const;
  // The bytes `input` was made from, through the decompress hook or zlib. Raises 15002 for any
  // failure, a damaged stream, or a result longer than `max_output` (memory never grows past it).
  std::vector<uint8_t> DecompressBuffer(std::span<const uint8_t> input, size_t max_output) const;

  // A random number in [0, bound) from the generator seeded at Start. REQUIRES: bound > 0.
  // Thread-safe.
  uint32_t Random(uint32_t bound);

  // ---- Sessions ---------------------------------------------------------------------------------
  // Adds `session` to the list and returns it.
  TEngineSession& AddEngineSession(std::unique_ptr<TEngineSession> session);
  // Removes `session` from the list and frees it; a session not in the list is left alone.
  void FreeEngineSession(TEngineSession& session);
  // Frees every session of the list, the newest first.
  void FreeAllEngineSessions();
  size_t EngineSessionCount() const;

  // ---- Custom functions -------------------------------------------------------------------------
  // The table taken at Start; empty while inactive.
  const std::vector<TCustomFunctionDefinition>& CustomFunctions() const { return functions_; }
  // The definition named `name` (without regard to case), or null.
  const TCustomFunctionDefinition* FindCustomFunction(std::string_view name) const;

 private:
  TEngineSettings settings_;
  std::string signature_{kDefaultEngineSignature};
  crypto::TDigest signature_digest_;
  bool server_ = false;
  TServerSettings server_settings_;
  TStorageLimits limits_;
  bool active_ = false;

  std::unique_ptr<TLocaleList> locales_;
  std::unique_ptr<TFileRegistry> registry_;
  TEngineHooks hooks_;
  std::vector<TCustomFunctionDefinition> functions_;

  mutable std::mutex sessions_lock_;
  std::vector<std::unique_ptr<TEngineSession>> sessions_;  // guarded by sessions_lock_

  std::mutex random_lock_;
  std::mt19937 random_;  // guarded by random_lock_
};

}  // namespace veltra
