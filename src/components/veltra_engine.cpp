// The engine component: the singleton rule, the property setters and the events' hooks.
#include "components/veltra_engine.h"

#include <algorithm>
#include <utility>

#include "core/database_error.h"

namespace veltra {

namespace {

// The one component and its reference count.
struct EngineInstance {
  std::mutex lock;
  std::unique_ptr<TVELTRAEngine> engine;  // guarded by lock
  int references = 0;                     // guarded by lock
};

EngineInstance& Instance() {
  static EngineInstance instance;
  return instance;
}

}  // namespace

// ---- Singleton
// ------------------------------------------------------------------------------------

TVELTRAEngine& TVELTRAEngine::Create() {
  EngineInstance& instance = Instance();
  std::lock_guard<std::mutex> guard(instance.lock);
  if (instance.references >= kMaxEngineReferences) {
    RaiseDatabaseError(component_errors::kEngineExists);
  }
  if (!instance.engine) instance.engine = std::make_unique<TVELTRAEngine>(PrivateTag());
  ++instance.references;
  return *instance.engine;
}

void TVELTRAEngine::Free(TVELTRAEngine& engine) {
  EngineInstance& instance = Instance();
  std::lock_guard<std::mutex> guard(instance.lock);
  if (instance.engine.get() != &engine || instance.references == 0) return;
  if (--instance.references == 0) instance.engine.reset();
}

int TVELTRAEngine::ReferenceCount() {
  EngineInstance& instance = Instance();
  std::lock_guard<std::mutex> guard(instance.lock);
  return instance.references;
}

TVELTRAEngine& GlobalEngine() {
  // Made at the first call, freed when the process ends.
  static TEngineReference global;
  return *global;
}

TVELTRAEngine::TVELTRAEngine(PrivateTag) : core_(std::make_unique<TDataEngine>()) {
  core_->UpdateSettings(settings_);
  // The custom function, trigger and error routines are registered as the core's hooks by the
  // subjects that dispatch them.
}

TVELTRAEngine::~TVELTRAEngine() {
  // The last free deactivates the engine; a failing shutdown handler cannot be reported here.
  try {
    SetActive(false);
  } catch (...) {
  }
}

// ---- Active -----------------------------------------------------------------------------------

void TVELTRAEngine::SetActive(bool active) {
  if (active == core_->Active()) return;
  if (active) {
    TStartParameters parameters;
    parameters.LockFileName = settings_.LockFileName;
    parameters.Server = engine_type_ == TEngineType::etServer;
    parameters.ServerSettings = server_settings_;
    // The custom function table comes from the function collection once it exists.
    core_->Start(parameters);
    return;
  }
  // The session components are deactivated here, newest first, once they exist.
  core_->Stop();
}

// ---- Setters ----------------------------------------------------------------------------------

void TVELTRAEngine::CheckInactive() const {
  if (core_->Active()) RaiseDatabaseError(component_errors::kEngineActive);
}

template <typename T, typename U>
void TVELTRAEngine::Change(T& stored, const U& value, bool reaches_core) {
  if (stored == value) return;
  CheckInactive();
  stored = value;
  if (reaches_core) PushSettings();
}

void TVELTRAEngine::PushSettings() { core_->UpdateSettings(settings_); }

void TVELTRAEngine::ChangeExtension(std::string& stored, std::string_view extension) {
  Change(stored, NormalizedExtension(extension), true);
}

void TVELTRAEngine::ChangeBufferLimit(int32_t& stored, int32_t value, int32_t minimum) {
  Change(stored, std::max(value, minimum), true);
}

void TVELTRAEngine::SetEngineType(TEngineType engine_type) {
  Change(engine_type_, engine_type, false);
  core_->SetServer(engine_type_ == TEngineType::etServer);
}

void TVELTRAEngine::SetEngineSignature(std::string_view signature) {
  const std::string stored = SettingText(signature);
  if (stored == core_->Signature()) return;
  CheckInactive();
  core_->SetSignature(stored);
}

void TVELTRAEngine::SetLargeFileSupport(bool large_file_support) {
  Change(settings_.LargeFileSupport, large_file_support, true);
}

void TVELTRAEngine::SetFilterRecordCounts(bool filter_record_counts) {
  Change(filter_record_counts_, filter_record_counts, false);
}

void TVELTRAEngine::SetLockFileName(std::string_view lock_file_name) {
  Change(settings_.LockFileName, SettingText(lock_file_name), false);
}

void TVELTRAEngine::SetMaxTableDataBufferSize(int32_t size) {
  ChangeBufferLimit(settings_.MaxTableDataBufferSize, size, kMinTableDataBufferSize);
}
void TVELTRAEngine::SetMaxTableDataBufferCount(int32_t count) {
  ChangeBufferLimit(settings_.MaxTableDataBufferCount, count, kMinTableDataBufferCount);
}
void TVELTRAEngine::SetMaxTableIndexBufferSize(int32_t size) {
  ChangeBufferLimit(settings_.MaxTableIndexBufferSize, size, kMinTableIndexBufferSize);
}
void TVELTRAEngine::SetMaxTableIndexBufferCount(int32_t count) {
  ChangeBufferLimit(settings_.MaxTableIndexBufferCount, count, kMinTableIndexBufferCount);
}
void TVELTRAEngine::SetMaxTableBlobBufferSize(int32_t size) {
  ChangeBufferLimit(settings_.MaxTableBlobBufferSize, size, kMinTableBlobBufferSize);
}
void TVELTRAEngine::SetMaxTableBlobBufferCount(int32_t count) {
  ChangeBufferLimit(settings_.MaxTableBlobBufferCount, count, kMinTableBlobBufferCount);
}

void TVELTRAEngine::SetTableDataExtension(std::string_view extension) {
  ChangeExtension(settings_.TableDataExtension, extension);
}
void TVELTRAEngine::SetTableIndexExtension(std::string_view extension) {
  ChangeExtension(settings_.TableIndexExtension, extension);
}
void TVELTRAEngine::SetTableBlobExtension(std::string_view extension) {
  ChangeExtension(settings_.TableBlobExtension, extension);
}
void TVELTRAEngine::SetTableDataBackupExtension(std::string_view extension) {
  ChangeExtension(settings_.TableDataBackupExtension, extension);
}
void TVELTRAEngine::SetTableIndexBackupExtension(std::string_view extension) {
  ChangeExtension(settings_.TableIndexBackupExtension, extension);
}
void TVELTRAEngine::SetTableBlobBackupExtension(std::string_view extension) {
  ChangeExtension(settings_.TableBlobBackupExtension, extension);
}
void TVELTRAEngine::SetTableDataUpgradeExtension(std::string_view extension) {
  ChangeExtension(settings_.TableDataUpgradeExtension, extension);
}
void TVELTRAEngine::SetTableIndexUpgradeExtension(std::string_view extension) {
  ChangeExtension(settings_.TableIndexUpgradeExtension, extension);
}
void TVELTRAEngine::SetTableBlobUpgradeExtension(std::string_view extension) {
  ChangeExtension(settings_.TableBlobUpgradeExtension, extension);
}
void TVELTRAEngine::SetTableDataTempExtension(std::string_view extension) {
  ChangeExtension(settings_.TableDataTempExtension, extension);
}
void TVELTRAEngine::SetTableIndexTempExtension(std::string_view extension) {
  ChangeExtension(settings_.TableIndexTempExtension, extension);
}
void TVELTRAEngine::SetTableBlobTempExtension(std::string_view extension) {
  ChangeExtension(settings_.TableBlobTempExtension, extension);
}

void TVELTRAEngine::SetCreateTempTablesInDatabase(bool in_database) {
  Change(settings_.CreateTempTablesInDatabase, in_database, true);
}

void TVELTRAEngine::SetTableFilterIndexThreshhold(uint8_t percentage) {
  if (percentage > kMaxTableFilterIndexThreshhold) return;
  Change(settings_.TableFilterIndexThreshhold, percentage, true);
}

void TVELTRAEngine::SetTableReadLockWaitTime(uint16_t milliseconds) {
  Change(settings_.TableReadLock.WaitTime, milliseconds, true);
}
void TVELTRAEngine::SetTableReadLockRetryCount(uint16_t count) {
  Change(settings_.TableReadLock.RetryCount, count, true);
}
void TVELTRAEngine::SetTableWriteLockWaitTime(uint16_t milliseconds) {
  Change(settings_.TableWriteLock.WaitTime, milliseconds, true);
}
void TVELTRAEngine::SetTableWriteLockRetryCount(uint16_t count) {
  Change(settings_.TableWriteLock.RetryCount, count, true);
}
void TVELTRAEngine::SetTableTransLockWaitTime(uint16_t milliseconds) {
  Change(settings_.TableTransLock.WaitTime, milliseconds, true);
}
void TVELTRAEngine::SetTableTransLockRetryCount(uint16_t count) {
  Change(settings_.TableTransLock.RetryCount, count, true);
}

void TVELTRAEngine::SetTableMaxReadLockCount(uint16_t count) {
  if (count == 0) return;
  Change(settings_.TableMaxReadLockCount, count, true);
}

void TVELTRAEngine::SetServerName(std::string_view name) {
  Change(server_settings_.ServerName, SettingText(name), false);
}
void TVELTRAEngine::SetServerDescription(std::string_view description) {
  Change(server_settings_.ServerDescription, SettingText(description), false);
}
void TVELTRAEngine::SetServerMainAddress(std::string_view address) {
  Change(server_settings_.ServerMainAddress, SettingText(address), false);
}
void TVELTRAEngine::SetServerMainPort(uint16_t port) {
  Change(server_settings_.ServerMainPort, port, false);
}
void TVELTRAEngine::SetServerMainThreadCacheSize(int32_t size) {
  Change(server_settings_.ServerMainThreadCacheSize, size, false);
}
void TVELTRAEngine::SetServerAdminAddress(std::string_view address) {
  Change(server_settings_.ServerAdminAddress, SettingText(address), false);
}
void TVELTRAEngine::SetServerAdminPort(uint16_t port) {
  Change(server_settings_.ServerAdminPort, port, false);
}
void TVELTRAEngine::SetServerAdminThreadCacheSize(int32_t size) {
  Change(server_settings_.ServerAdminThreadCacheSize, size, false);
}
void TVELTRAEngine::SetServerEncryptedOnly(bool encrypted_only) {
  Change(server_settings_.ServerEncryptedOnly, encrypted_only, false);
}
void TVELTRAEngine::SetServerEncryptionPassword(std::string_view password) {
  Change(server_settings_.ServerEncryptionPassword, SettingText(password), false);
}
void TVELTRAEngine::SetServerConfigFileName(std::string_view file_name) {
  Change(server_settings_.ServerConfigFileName, SettingText(file_name), false);
}
void TVELTRAEngine::SetServerConfigPassword(std::string_view password) {
  Change(server_settings_.ServerConfigPassword, SettingText(password), false);
}

// ---- Events -----------------------------------------------------------------------------------
// Each hook calls a copy of the event taken when it was assigned, so a hook already handed out
// (kept by a cipher context, say) never sees a later assignment half-way.

void TVELTRAEngine::UpdateCipherHooks() {
  TCipherHooks hooks;
  if (on_crypto_init_) {
    hooks.Init = [this, event = on_crypto_init_](std::span<const uint8_t> key) {
      std::vector<uint8_t> context;
      event(*this, key, context);
      return context;
    };
  }
  if (on_encrypt_block_) {
    hooks.EncryptBlock = [this, event = on_encrypt_block_](
                             std::span<uint8_t> context,
                             std::span<uint8_t, crypto::kCipherBlockSize> block) {
      event(*this, context, block);
    };
  }
  if (on_decrypt_block_) {
    hooks.DecryptBlock = [this, event = on_decrypt_block_](
                             std::span<uint8_t> context,
                             std::span<uint8_t, crypto::kCipherBlockSize> block) {
      event(*this, context, block);
    };
  }
  if (on_crypto_reset_) {
    hooks.Reset = [this, event = on_crypto_reset_](std::span<uint8_t> context) {
      event(*this, context);
    };
  }
  core_->MutableHooks().Cipher = std::move(hooks);
}

void TVELTRAEngine::SetOnCryptoInit(TCryptoInitEvent event) {
  on_crypto_init_ = std::move(event);
  UpdateCipherHooks();
}
void TVELTRAEngine::SetOnEncryptBlock(TEncryptBlockEvent event) {
  on_encrypt_block_ = std::move(event);
  UpdateCipherHooks();
}
void TVELTRAEngine::SetOnDecryptBlock(TDecryptBlockEvent event) {
  on_decrypt_block_ = std::move(event);
  UpdateCipherHooks();
}
void TVELTRAEngine::SetOnCryptoReset(TCryptoResetEvent event) {
  on_crypto_reset_ = std::move(event);
  UpdateCipherHooks();
}

void TVELTRAEngine::SetOnCompress(TCompressEvent event) {
  on_compress_ = std::move(event);
  TCompressHook hook;
  if (on_compress_) {
    hook = [this, event = on_compress_](std::span<const uint8_t> input, uint8_t level) {
      std::vector<uint8_t> output;
      event(*this, input, level, output);
      return output;
    };
  }
  core_->MutableHooks().Compression.Compress = std::move(hook);
}

void TVELTRAEngine::SetOnDecompress(TDecompressEvent event) {
  on_decompress_ = std::move(event);
  TDecompressHook hook;
  if (on_decompress_) {
    hook = [this, event = on_decompress_](std::span<const uint8_t> input) {
      std::vector<uint8_t> output;
      event(*this, input, output);
      return output;
    };
  }
  core_->MutableHooks().Compression.Decompress = std::move(hook);
}

void TVELTRAEngine::SetOnTextIndexFilter(TTextIndexFilterEvent event) {
  on_text_index_filter_ = std::move(event);
  TTextIndexFilterHook hook;
  if (on_text_index_filter_) {
    hook = [this, event = on_text_index_filter_](std::string_view table, std::string_view field,
                                                 std::string& text) {
      event(*this, table, field, text);
    };
  }
  core_->MutableHooks().TextIndex.Filter = std::move(hook);
}

void TVELTRAEngine::SetOnTextIndexTokenFilter(TTextIndexTokenFilterEvent event) {
  on_text_index_token_filter_ = std::move(event);
  TTextIndexTokenFilterHook hook;
  if (on_text_index_token_filter_) {
    hook = [this, event = on_text_index_token_filter_](std::string_view table,
                                                       std::string_view field,
                                                       std::string_view token, bool include) {
      event(*this, table, field, token, include);
      return include;
    };
  }
  core_->MutableHooks().TextIndex.TokenFilter = std::move(hook);
}

void TVELTRAEngine::SetOnStartup(TNotifyEvent event) {
  on_startup_ = std::move(event);
  std::function<void()> hook;
  if (on_startup_) hook = [this, event = on_startup_] { event(*this); };
  core_->MutableHooks().Startup = std::move(hook);
}

void TVELTRAEngine::SetOnShutdown(TNotifyEvent event) {
  on_shutdown_ = std::move(event);
  std::function<void()> hook;
  if (on_shutdown_) hook = [this, event = on_shutdown_] { event(*this); };
  core_->MutableHooks().Shutdown = std::move(hook);
}

}  // namespace veltra
