// The engine's settings as the core keeps them: the copies that the storage, cursor and SQL
// layers read (buffer limits, file extensions, lock retries, flags), with the defaults and
// minimums that the engine component also uses. The component is where the application changes
// them; the core's copy is what the engine runs with.
//
// Texts are kept to at most kMaxSettingTextLength characters (longer ones are cut).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace veltra {

inline constexpr size_t kMaxSettingTextLength = 255;

// Defaults.
inline constexpr std::string_view kDefaultEngineSignature = "VELTRA_SIG";
inline constexpr std::string_view kDefaultLockFileName = "veltra.lck";
inline constexpr int32_t kDefaultMaxTableDataBufferSize = 32768;
inline constexpr int32_t kDefaultMaxTableDataBufferCount = 8192;
inline constexpr int32_t kDefaultMaxTableIndexBufferSize = 65536;
inline constexpr int32_t kDefaultMaxTableIndexBufferCount = 8192;
inline constexpr int32_t kDefaultMaxTableBlobBufferSize = 32768;
inline constexpr int32_t kDefaultMaxTableBlobBufferCount = 8192;
inline constexpr std::string_view kDefaultTableDataExtension = ".dat";
inline constexpr std::string_view kDefaultTableIndexExtension = ".idx";
inline constexpr std::string_view kDefaultTableBlobExtension = ".blb";
inline constexpr std::string_view kDefaultTableDataBackupExtension = ".dbk";
inline constexpr std::string_view kDefaultTableIndexBackupExtension = ".ibk";
inline constexpr std::string_view kDefaultTableBlobBackupExtension = ".bbk";
inline constexpr std::string_view kDefaultTableDataUpgradeExtension = ".dup";
inline constexpr std::string_view kDefaultTableIndexUpgradeExtension = ".iup";
inline constexpr std::string_view kDefaultTableBlobUpgradeExtension = ".bup";
inline constexpr std::string_view kDefaultTableDataTempExtension = ".dat";
inline constexpr std::string_view kDefaultTableIndexTempExtension = ".idx";
inline constexpr std::string_view kDefaultTableBlobTempExtension = ".blb";
inline constexpr uint8_t kDefaultTableFilterIndexThreshhold = 1;
inline constexpr uint16_t kDefaultLockWaitTime = 3;
inline constexpr uint16_t kDefaultLockRetryCount = 32768;
inline constexpr uint16_t kDefaultTableMaxReadLockCount = 100;

// Minimums: a buffer limit set below its minimum is raised to it.
inline constexpr int32_t kMinTableDataBufferSize = 8192;
inline constexpr int32_t kMinTableDataBufferCount = 16;
inline constexpr int32_t kMinTableIndexBufferSize = 32768;
inline constexpr int32_t kMinTableIndexBufferCount = 8;
inline constexpr int32_t kMinTableBlobBufferSize = 8192;
inline constexpr int32_t kMinTableBlobBufferCount = 32;

// The filter threshold is a percentage; larger values are ignored.
inline constexpr uint8_t kMaxTableFilterIndexThreshhold = 100;

// The engine's default password for encrypted traffic and the server's configuration file.
inline constexpr std::string_view kDefaultEnginePassword = "quintaberry";

// A lock kind's wait between attempts (milliseconds) and its number of retries.
struct TLockRetrySettings {
  uint16_t WaitTime = kDefaultLockWaitTime;
  uint16_t RetryCount = kDefaultLockRetryCount;
  constexpr bool operator==(const TLockRetrySettings&) const = default;
};

// The core's copies of the settings, with their defaults.
struct TEngineSettings {
  std::string LockFileName{kDefaultLockFileName};

  int32_t MaxTableDataBufferSize = kDefaultMaxTableDataBufferSize;
  int32_t MaxTableDataBufferCount = kDefaultMaxTableDataBufferCount;
  int32_t MaxTableIndexBufferSize = kDefaultMaxTableIndexBufferSize;
  int32_t MaxTableIndexBufferCount = kDefaultMaxTableIndexBufferCount;
  int32_t MaxTableBlobBufferSize = kDefaultMaxTableBlobBufferSize;
  int32_t MaxTableBlobBufferCount = kDefaultMaxTableBlobBufferCount;

  std::string TableDataExtension{kDefaultTableDataExtension};
  std::string TableIndexExtension{kDefaultTableIndexExtension};
  std::string TableBlobExtension{kDefaultTableBlobExtension};
  std::string TableDataBackupExtension{kDefaultTableDataBackupExtension};
  std::string TableIndexBackupExtension{kDefaultTableIndexBackupExtension};
  std::string TableBlobBackupExtension{kDefaultTableBlobBackupExtension};
  std::string TableDataUpgradeExtension{kDefaultTableDataUpgradeExtension};
  std::string TableIndexUpgradeExtension{kDefaultTableIndexUpgradeExtension};
  std::string TableBlobUpgradeExtension{kDefaultTableBlobUpgradeExtension};
  std::string TableDataTempExtension{kDefaultTableDataTempExtension};
  std::string TableIndexTempExtension{kDefaultTableIndexTempExtension};
  std::string TableBlobTempExtension{kDefaultTableBlobTempExtension};

  uint8_t TableFilterIndexThreshhold = kDefaultTableFilterIndexThreshhold;
  TLockRetrySettings TableReadLock;
  TLockRetrySettings TableWriteLock;
  TLockRetrySettings TableTransLock;
  uint16_t TableMaxReadLockCount = kDefaultTableMaxReadLockCount;

  bool CreateTempTablesInDatabase = false;
  bool LargeFileSupport = false;

  bool operator==(const TEngineSettings&) const = default;
};

// The settings of the server engine type. The engine keeps them and hands them to the server when
// it starts; their use belongs to the server.
struct TServerSettings {
  std::string ServerName{"DBSRVR"};
  std::string ServerDescription{"VELTRA Database Server"};
  std::string ServerMainAddress;
  uint16_t ServerMainPort = 12005;
  int32_t ServerMainThreadCacheSize = 10;
  std::string ServerAdminAddress;
  uint16_t ServerAdminPort = 12006;
  int32_t ServerAdminThreadCacheSize = 1;
  bool ServerEncryptedOnly = false;
  std::string ServerEncryptionPassword{kDefaultEnginePassword};
  std::string ServerConfigFileName{"dbsrvr.scf"};
  std::string ServerConfigPassword{kDefaultEnginePassword};

  bool operator==(const TServerSettings&) const = default;
};

// `text` cut to kMaxSettingTextLength characters.
inline std::string SettingText(std::string_view text) {
  return std::string(text.substr(0, kMaxSettingTextLength));
}

// `extension` as the engine stores it: a full stop in front when it has none, cut to
// kMaxSettingTextLength characters. An empty extension stays empty (a file name without one).
std::string NormalizedExtension(std::string_view extension);

}  // namespace veltra
