// The engine component: the object through which the application configures the engine. There
// is one per process; it owns the engine core and hands the core its settings, and its events
// replace the engine's cipher and compression and receive the engine's notifications.
//
// Singleton rule. Create makes the component (and with it the core) when none exists, and
// otherwise returns the existing one and counts the reference; while two references exist,
// Create fails with "An engine component already exists". So besides the global engine
// (GlobalEngine) at most one more reference, such as a component on a form, can exist, and both
// are the same object. Free gives a reference back; the last one deactivates the engine and
// frees everything. TEngineReference holds one reference for a scope.
//
// Property setters. Setting a property to the value it already holds (after the rules below)
// does nothing. Otherwise a change while the engine is active fails with "Cannot perform this
// operation when the engine is active". Buffer limits below their minimum are raised to it; a
// filter threshold above 100 and a maximum read lock count of 0 are ignored; an extension
// without a leading full stop gets one. The signature, the engine type, the large-file flag, the
// buffer limits, the extensions, the lock settings, the threshold and the temporary-tables flag
// reach the core at once; the lock file name and the server settings when the engine starts.
//
// Threads. The component is configured from one thread (the application's) while no other
// thread uses the engine; Create and Free may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "components/engine_events.h"
#include "core/data_engine.h"

namespace veltra {

enum class TEngineType { etClient, etServer };

inline constexpr std::string_view kEngineVersion = "4.22 Build 1";
// References the singleton rule allows at once: the global engine and one more.
inline constexpr int kMaxEngineReferences = 2;

class TVELTRAEngine {
 public:
  // The engine component: the existing one with its reference count raised, or a new one with
  // the defaults and the locale list built. Throws EDatabaseError "An engine component already
  // exists" when kMaxEngineReferences references exist.
  static TVELTRAEngine& Create();
  // Gives back one reference. The last one deactivates the engine (a shutdown failure is not
  // reported) and frees the component with the core. REQUIRES: `engine` came from Create.
  static void Free(TVELTRAEngine& engine);
  // The number of references held (0 when no component exists).
  static int ReferenceCount();

  TVELTRAEngine(const TVELTRAEngine&) = delete;
  TVELTRAEngine& operator=(const TVELTRAEngine&) = delete;

  // The engine core. Everything below the components reaches the settings through it.
  TDataEngine& Engine() { return *core_; }
  const TDataEngine& Engine() const { return *core_; }

  // Active. Setting true starts the engine: OnStartup, then the core's Start with the lock file
  // name and the server settings; a failure leaves the engine inactive and propagates. Setting
  // false stops it: the core closes every file and fires OnShutdown.
  bool Active() const { return core_->Active(); }
  void SetActive(bool active);

  // Always "4.22 Build 1"; writing is accepted and ignored.
  std::string_view EngineVersion() const { return kEngineVersion; }
  void SetEngineVersion(std::string_view) {}

  TEngineType EngineType() const { return engine_type_; }
  void SetEngineType(TEngineType engine_type);
  const std::string& EngineSignature() const { return core_->Signature(); }
  void SetEngineSignature(std::string_view signature);
  bool LargeFileSupport() const { return settings_.LargeFileSupport; }
  void SetLargeFileSupport(bool large_file_support);
  bool FilterRecordCounts() const { return filter_record_counts_; }
  void SetFilterRecordCounts(bool filter_record_counts);
  const std::string& LockFileName() const { return settings_.LockFileName; }
  void SetLockFileName(std::string_view lock_file_name);

  int32_t MaxTableDataBufferSize() const { return settings_.MaxTableDataBufferSize; }
  void SetMaxTableDataBufferSize(int32_t size);
  int32_t MaxTableDataBufferCount() const { return settings_.MaxTableDataBufferCount; }
  void SetMaxTableDataBufferCount(int32_t count);
  int32_t MaxTableIndexBufferSize() const { return settings_.MaxTableIndexBufferSize; }
  void SetMaxTableIndexBufferSize(int32_t size);
  int32_t MaxTableIndexBufferCount() const { return settings_.MaxTableIndexBufferCount; }
  void SetMaxTableIndexBufferCount(int32_t count);
  int32_t MaxTableBlobBufferSize() const { return settings_.MaxTableBlobBufferSize; }
  void SetMaxTableBlobBufferSize(int32_t size);
  int32_t MaxTableBlobBufferCount() const { return settings_.MaxTableBlobBufferCount; }
  void SetMaxTableBlobBufferCount(int32_t count);

  const std::string& TableDataExtension() const { return settings_.TableDataExtension; }
  void SetTableDataExtension(std::string_view extension);
  const std::string& TableIndexExtension() const { return settings_.TableIndexExtension; }
  void SetTableIndexExtension(std::string_view extension);
  const std::string& TableBlobExtension() const { return settings_.TableBlobExtension; }
  void SetTableBlobExtension(std::string_view extension);
  const std::string& TableDataBackupExtension() const { return settings_.TableDataBackupExtension; }
  void SetTableDataBackupExtension(std::string_view extension);
  const std::string& TableIndexBackupExtension() const {
    return settings_.TableIndexBackupExtension;
  }
  void SetTableIndexBackupExtension(std::string_view extension);
  const std::string& TableBlobBackupExtension() const { return settings_.TableBlobBackupExtension; }
  void SetTableBlobBackupExtension(std::string_view extension);
  const std::string& TableDataUpgradeExtension() const {
    return settings_.TableDataUpgradeExtension;
  }
  void SetTableDataUpgradeExtension(std::string_view extension);
  const std::string& TableIndexUpgradeExtension() const {
    return settings_.TableIndexUpgradeExtension;
  }
  void SetTableIndexUpgradeExtension(std::string_view extension);
  const std::string& TableBlobUpgradeExtension() const {
    return settings_.TableBlobUpgradeExtension;
  }
  void SetTableBlobUpgradeExtension(std::string_view extension);
  const std::string& TableDataTempExtension() const { return settings_.TableDataTempExtension; }
  void SetTableDataTempExtension(std::string_view extension);
  const std::string& TableIndexTempExtension() const { return settings_.TableIndexTempExtension; }
  void SetTableIndexTempExtension(std::string_view extension);
  const std::string& TableBlobTempExtension() const { return settings_.TableBlobTempExtension; }
  void SetTableBlobTempExtension(std::string_view extension);

  bool CreateTempTablesInDatabase() const { return settings_.CreateTempTablesInDatabase; }
  void SetCreateTempTablesInDatabase(bool in_database);
  uint8_t TableFilterIndexThreshhold() const { return settings_.TableFilterIndexThreshhold; }
  void SetTableFilterIndexThreshhold(uint8_t percentage);
  uint16_t TableReadLockWaitTime() const { return settings_.TableReadLock.WaitTime; }
  void SetTableReadLockWaitTime(uint16_t milliseconds);
  uint16_t TableReadLockRetryCount() const { return settings_.TableReadLock.RetryCount; }
  void SetTableReadLockRetryCount(uint16_t count);
  uint16_t TableWriteLockWaitTime() const { return settings_.TableWriteLock.WaitTime; }
  void SetTableWriteLockWaitTime(uint16_t milliseconds);
  uint16_t TableWriteLockRetryCount() const { return settings_.TableWriteLock.RetryCount; }
  void SetTableWriteLockRetryCount(uint16_t count);
  uint16_t TableTransLockWaitTime() const { return settings_.TableTransLock.WaitTime; }
  void SetTableTransLockWaitTime(uint16_t milliseconds);
  uint16_t TableTransLockRetryCount() const { return settings_.TableTransLock.RetryCount; }
  void SetTableTransLockRetryCount(uint16_t count);
  uint16_t TableMaxReadLockCount() const { return settings_.TableMaxReadLockCount; }
  void SetTableMaxReadLockCount(uint16_t count);

  // The server engine type's settings; they reach the core when the engine starts.
  const TServerSettings& ServerSettings() const { return server_settings_; }
  const std::string& ServerName() const { return server_settings_.ServerName; }
  void SetServerName(std::string_view name);
  const std::string& ServerDescription() const { return server_settings_.ServerDescription; }
  void SetServerDescription(std::string_view description);
  const std::string& ServerMainAddress() const { return server_settings_.ServerMainAddress; }
  void SetServerMainAddress(std::string_view address);
  uint16_t ServerMainPort() const { return server_settings_.ServerMainPort; }
  void SetServerMainPort(uint16_t port);
  int32_t ServerMainThreadCacheSize() const { return server_settings_.ServerMainThreadCacheSize; }
  void SetServerMainThreadCacheSize(int32_t size);
  const std::string& ServerAdminAddress() const { return server_settings_.ServerAdminAddress; }
  void SetServerAdminAddress(std::string_view address);
  uint16_t ServerAdminPort() const { return server_settings_.ServerAdminPort; }
  void SetServerAdminPort(uint16_t port);
  int32_t ServerAdminThreadCacheSize() const { return server_settings_.ServerAdminThreadCacheSize; }
  void SetServerAdminThreadCacheSize(int32_t size);
  bool ServerEncryptedOnly() const { return server_settings_.ServerEncryptedOnly; }
  void SetServerEncryptedOnly(bool encrypted_only);
  const std::string& ServerEncryptionPassword() const {
    return server_settings_.ServerEncryptionPassword;
  }
  void SetServerEncryptionPassword(std::string_view password);
  const std::string& ServerConfigFileName() const { return server_settings_.ServerConfigFileName; }
  void SetServerConfigFileName(std::string_view file_name);
  const std::string& ServerConfigPassword() const { return server_settings_.ServerConfigPassword; }
  void SetServerConfigPassword(std::string_view password);

  // Events. Assigning a cipher, compression or text index event sets the core's hook, clearing
  // it (assigning an empty function) clears the hook. The cipher replaces the built-in one once
  // OnCryptoInit, OnEncryptBlock and OnDecryptBlock are all assigned; cipher contexts made
  // before keep the cipher they were made with. OnStartup and OnShutdown fire when the engine
  // becomes active and inactive.
  const TCryptoInitEvent& OnCryptoInit() const { return on_crypto_init_; }
  void SetOnCryptoInit(TCryptoInitEvent event);
  const TEncryptBlockEvent& OnEncryptBlock() const { return on_encrypt_block_; }
  void SetOnEncryptBlock(TEncryptBlockEvent event);
  const TDecryptBlockEvent& OnDecryptBlock() const { return on_decrypt_block_; }
  void SetOnDecryptBlock(TDecryptBlockEvent event);
  const TCryptoResetEvent& OnCryptoReset() const { return on_crypto_reset_; }
  void SetOnCryptoReset(TCryptoResetEvent event);
  const TCompressEvent& OnCompress() const { return on_compress_; }
  void SetOnCompress(TCompressEvent event);
  const TDecompressEvent& OnDecompress() const { return on_decompress_; }
  void SetOnDecompress(TDecompressEvent event);
  const TTextIndexFilterEvent& OnTextIndexFilter() const { return on_text_index_filter_; }
  void SetOnTextIndexFilter(TTextIndexFilterEvent event);
  const TTextIndexTokenFilterEvent& OnTextIndexTokenFilter() const {
    return on_text_index_token_filter_;
  }
  void SetOnTextIndexTokenFilter(TTextIndexTokenFilterEvent event);
  const TNotifyEvent& OnStartup() const { return on_startup_; }
  void SetOnStartup(TNotifyEvent event);
  const TNotifyEvent& OnShutdown() const { return on_shutdown_; }
  void SetOnShutdown(TNotifyEvent event);

  // The custom function, trigger and error events are kept here; the cursor layer's dispatch
  // reaches them through the core's hooks, which the subjects that raise them connect.
  TCustomFunctionEvent OnCustomFunction;
  TTriggerEvent BeforeInsertTrigger;
  TTriggerEvent AfterInsertTrigger;
  TErrorEvent OnInsertError;
  TTriggerEvent BeforeUpdateTrigger;
  TTriggerEvent AfterUpdateTrigger;
  TErrorEvent OnUpdateError;
  TTriggerEvent BeforeDeleteTrigger;
  TTriggerEvent AfterDeleteTrigger;
  TErrorEvent OnDeleteError;

  // The session components of the process, in order of creation, and the automatic session
  // numbers in use, each with its own lock. The session components keep these up to date.
  struct TSessionComponents {
    std::mutex lock;
    std::vector<TVELTRASession*> sessions;  // guarded by lock
  };
  struct TSessionNumbers {
    std::mutex lock;
    std::vector<bool> used;  // guarded by lock; index n is session number n
  };
  TSessionComponents& SessionComponents() { return session_components_; }
  TSessionNumbers& SessionNumbers() { return session_numbers_; }

 private:
  struct PrivateTag {
    explicit PrivateTag() = default;
  };

 public:
  explicit TVELTRAEngine(PrivateTag);  // made only through Create
  ~TVELTRAEngine();

 private:
  // Raises "Cannot perform this operation when the engine is active" when active.
  void CheckInactive() const;
  // The setter rule: nothing when `stored` already equals `value`; else refused while active;
  // else stored and, for settings the core copies at once, passed to the core.
  template <typename T, typename U>
  void Change(T& stored, const U& value, bool reaches_core);
  void ChangeExtension(std::string& stored, std::string_view extension);
  void ChangeBufferLimit(int32_t& stored, int32_t value, int32_t minimum);
  void PushSettings();
  void UpdateCipherHooks();

  std::unique_ptr<TDataEngine> core_;
  TEngineSettings settings_;  // the component's values; the core copies most at once
  TEngineType engine_type_ = TEngineType::etClient;
  bool filter_record_counts_ = true;
  TServerSettings server_settings_;

  TCryptoInitEvent on_crypto_init_;
  TEncryptBlockEvent on_encrypt_block_;
  TDecryptBlockEvent on_decrypt_block_;
  TCryptoResetEvent on_crypto_reset_;
  TCompressEvent on_compress_;
  TDecompressEvent on_decompress_;
  TTextIndexFilterEvent on_text_index_filter_;
  TTextIndexTokenFilterEvent on_text_index_token_filter_;
  TNotifyEvent on_startup_;
  TNotifyEvent on_shutdown_;

  TSessionComponents session_components_;
  TSessionNumbers session_numbers_;
};

// Holds one reference to the engine component for a scope (Create when made, Free when it dies).
class TEngineReference {
 public:
  TEngineReference() : engine_(&TVELTRAEngine::Create()) {}
  ~TEngineReference() { TVELTRAEngine::Free(*engine_); }
  TEngineReference(const TEngineReference&) = delete;
  TEngineReference& operator=(const TEngineReference&) = delete;

  TVELTRAEngine& operator*() const { return *engine_; }
  TVELTRAEngine* operator->() const { return engine_; }

 private:
  TVELTRAEngine* engine_;
};

// The global engine component. The first call makes it (counting one reference, held until the
// process ends); every call returns the same object. Fails as Create does when two other
// references exist at the first call.
TVELTRAEngine& GlobalEngine();

}  // namespace veltra
