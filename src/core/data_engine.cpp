// The engine core: settings, lifecycle, services and sessions.
#include "core/data_engine.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "core/file_registry.h"
#include "core/temp_file_name.h"
#include "platform/clock.h"
#include "platform/directory.h"

namespace veltra {

namespace {

TEngineSettings StoredSettings(const TEngineSettings& given) {
  TEngineSettings stored = given;
  stored.LockFileName = SettingText(given.LockFileName);
  for (std::string* extension :
       {&stored.TableDataExtension, &stored.TableIndexExtension, &stored.TableBlobExtension,
        &stored.TableDataBackupExtension, &stored.TableIndexBackupExtension,
        &stored.TableBlobBackupExtension, &stored.TableDataUpgradeExtension,
        &stored.TableIndexUpgradeExtension, &stored.TableBlobUpgradeExtension,
        &stored.TableDataTempExtension, &stored.TableIndexTempExtension,
        &stored.TableBlobTempExtension}) {
    *extension = NormalizedExtension(*extension);
  }
  return stored;
}

}  // namespace

TDataEngine::TDataEngine()
    : signature_digest_(crypto::DigestOfText(kDefaultEngineSignature)),
      limits_(StorageLimitsFor(false)),
      locales_(std::make_unique<TLocaleList>()),
      registry_(std::make_unique<TFileRegistry>()) {}

TDataEngine::~TDataEngine() {
  // A destructor cannot report a failing shutdown hook; the files are closed all the same.
  try {
    Stop();
  } catch (...) {
  }
  FreeAllEngineSessions();
}

void TDataEngine::UpdateSettings(const TEngineSettings& settings) {
  std::string lock_file_name = std::move(settings_.LockFileName);
  settings_ = StoredSettings(settings);
  settings_.LockFileName = std::move(lock_file_name);
}

void TDataEngine::SetSignature(std::string_view signature) {
  signature_ = SettingText(signature);
  signature_digest_ = crypto::DigestOfText(signature_);
}

void TDataEngine::Start(const TStartParameters& parameters) {
  if (active_) return;
  if (parameters.Functions.size() > kMaxCustomFunctions) {
    throw std::invalid_argument("more custom functions than the engine's table holds");
  }
  if (hooks_.Startup) hooks_.Startup();
  {
    std::lock_guard<std::mutex> guard(random_lock_);
    random_.seed(static_cast<std::mt19937::result_type>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ platform::CurrentThreadId()));
  }
  settings_.LockFileName = SettingText(parameters.LockFileName);
  server_ = parameters.Server;
  server_settings_ = parameters.ServerSettings;
  limits_ = StorageLimitsFor(settings_.LargeFileSupport);
  functions_ = parameters.Functions;
  // The database server of the server engine type would be made and started here.
  active_ = true;
}

void TDataEngine::Stop() {
  if (!active_) return;
  functions_.clear();
  registry_->CloseAll();
  active_ = false;
  if (hooks_.Shutdown) hooks_.Shutdown();
}

const TFormatSettings& TDataEngine::FormatSettingsOf(TLocaleId id) const {
  return veltra::FormatSettingsOf(id);
}

void TDataEngine::RaiseEngineError(TEngineCode code, const EngineErrorContext& context) const {
  ErrorContext().Raise(code, context);
}

std::string TDataEngine::TempFileName(std::string_view directory, std::string_view extension,
                                      bool in_memory) {
  return MakeTempFileName(
      directory, extension, in_memory,
      [this, in_memory](const std::string& name) { return registry_->Exists(name, in_memory); });
}

std::unique_ptr<TCipherContext> TDataEngine::CreateCipherState(std::span<const uint8_t> key) const {
  return TCipherContext::Create(hooks_.Cipher, key);
}

void TDataEngine::EncryptBuffer(TCipherContext& context, std::span<uint8_t> area) {
  context.EncryptBuffer(area);
}

void TDataEngine::DecryptBuffer(TCipherContext& context, std::span<uint8_t> area) {
  context.DecryptBuffer(area);
}

std::vector<uint8_t> TDataEngine::CompressBuffer(std::span<const uint8_t> input,
                                                 uint8_t level) const {
  if (!hooks_.Compression.Compress) return ZlibCompress(input, level);
  try {
    return hooks_.Compression.Compress(input, level);
  } catch (const EVELTRAEngineError&) {
    throw;
  } catch (...) {
    RaiseEngineError(kErrCompress);
  }
}

std::vector<uint8_t> TDataEngine::DecompressBuffer(std::span<const uint8_t> input,
                                                   size_t max_output) const {
  if (!hooks_.Compression.Decompress) return ZlibDecompress(input, max_output);
  std::vector<uint8_t> output;
  try {
    output = hooks_.Compression.Decompress(input);
  } catch (const EVELTRAEngineError&) {
    throw;
  } catch (...) {
    RaiseEngineError(kErrUncompress);
  }
  if (output.size() > max_output) RaiseEngineError(kErrUncompress);
  return output;
}

uint32_t TDataEngine::Random(uint32_t bound) {
  std::lock_guard<std::mutex> guard(random_lock_);
  return std::uniform_int_distribution<uint32_t>(0, bound - 1)(random_);
}

TEngineSession& TDataEngine::AddEngineSession(std::unique_ptr<TEngineSession> session) {
  std::lock_guard<std::mutex> guard(sessions_lock_);
  sessions_.push_back(std::move(session));
  return *sessions_.back();
}

void TDataEngine::FreeEngineSession(TEngineSession& session) {
  std::unique_ptr<TEngineSession> freed;  // freed after the lock is released
  {
    std::lock_guard<std::mutex> guard(sessions_lock_);
    auto found = std::find_if(sessions_.begin(), sessions_.end(),
                              [&session](const auto& owned) { return owned.get() == &session; });
    if (found == sessions_.end()) return;
    freed = std::move(*found);
    sessions_.erase(found);
  }
}

void TDataEngine::FreeAllEngineSessions() {
  std::vector<std::unique_ptr<TEngineSession>> freed;
  {
    std::lock_guard<std::mutex> guard(sessions_lock_);
    freed.swap(sessions_);
  }
  while (!freed.empty()) freed.pop_back();  // newest first
}

size_t TDataEngine::EngineSessionCount() const {
  std::lock_guard<std::mutex> guard(sessions_lock_);
  return sessions_.size();
}

const TCustomFunctionDefinition* TDataEngine::FindCustomFunction(std::string_view name) const {
  for (const TCustomFunctionDefinition& function : functions_) {
    if (platform::EqualsIgnoringAsciiCase(function.Name, name)) return &function;
  }
  return nullptr;
}

}  // namespace veltra
