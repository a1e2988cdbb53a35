#include "components/veltra_engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/database_error.h"
#include "crypto/md5.h"
#include "support/child_process.h"

namespace veltra {
namespace {

// Every test starts and ends without an engine component.
class EngineComponent : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(TVELTRAEngine::ReferenceCount(), 0); }
  void TearDown() override { EXPECT_EQ(TVELTRAEngine::ReferenceCount(), 0); }
};

std::string DatabaseErrorOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const EDatabaseError& error) {
    return error.what();
  }
  return "";
}

using EngineSetter = std::function<void(TVELTRAEngine&)>;

struct SetterCase {
  const char* property;
  EngineSetter set_current;  // sets the value the property holds by default
  EngineSetter change;       // sets another value
};

// Every setting with its default and a change.
std::vector<SetterCase> SetterCases() {
  using E = TVELTRAEngine;
  return {
      {"EngineType", [](E& e) { e.SetEngineType(TEngineType::etClient); },
       [](E& e) { e.SetEngineType(TEngineType::etServer); }},
      {"EngineSignature", [](E& e) { e.SetEngineSignature("VELTRA_SIG"); },
       [](E& e) { e.SetEngineSignature("OTHER"); }},
      {"LargeFileSupport", [](E& e) { e.SetLargeFileSupport(false); },
       [](E& e) { e.SetLargeFileSupport(true); }},
      {"FilterRecordCounts", [](E& e) { e.SetFilterRecordCounts(true); },
       [](E& e) { e.SetFilterRecordCounts(false); }},
      {"LockFileName", [](E& e) { e.SetLockFileName("veltra.lck"); },
       [](E& e) { e.SetLockFileName("other.lck"); }},
      {"MaxTableDataBufferSize", [](E& e) { e.SetMaxTableDataBufferSize(32768); },
       [](E& e) { e.SetMaxTableDataBufferSize(40000); }},
      {"MaxTableDataBufferCount", [](E& e) { e.SetMaxTableDataBufferCount(8192); },
       [](E& e) { e.SetMaxTableDataBufferCount(100); }},
      {"MaxTableIndexBufferSize", [](E& e) { e.SetMaxTableIndexBufferSize(65536); },
       [](E& e) { e.SetMaxTableIndexBufferSize(1000); }},
      {"MaxTableIndexBufferCount", [](E& e) { e.SetMaxTableIndexBufferCount(8192); },
       [](E& e) { e.SetMaxTableIndexBufferCount(9); }},
      {"MaxTableBlobBufferSize", [](E& e) { e.SetMaxTableBlobBufferSize(32768); },
       [](E& e) { e.SetMaxTableBlobBufferSize(9000); }},
      {"MaxTableBlobBufferCount", [](E& e) { e.SetMaxTableBlobBufferCount(8192); },
       [](E& e) { e.SetMaxTableBlobBufferCount(33); }},
      {"TableDataExtension", [](E& e) { e.SetTableDataExtension("dat"); },
       [](E& e) { e.SetTableDataExtension(".da2"); }},
      {"TableIndexExtension", [](E& e) { e.SetTableIndexExtension(".idx"); },
       [](E& e) { e.SetTableIndexExtension("ix"); }},
      {"TableBlobExtension", [](E& e) { e.SetTableBlobExtension(".blb"); },
       [](E& e) { e.SetTableBlobExtension("bl"); }},
      {"TableDataBackupExtension", [](E& e) { e.SetTableDataBackupExtension(".dbk"); },
       [](E& e) { e.SetTableDataBackupExtension(".x"); }},
      {"TableIndexBackupExtension", [](E& e) { e.SetTableIndexBackupExtension(".ibk"); },
       [](E& e) { e.SetTableIndexBackupExtension(".x"); }},
      {"TableBlobBackupExtension", [](E& e) { e.SetTableBlobBackupExtension(".bbk"); },
       [](E& e) { e.SetTableBlobBackupExtension(".x"); }},
      {"TableDataUpgradeExtension", [](E& e) { e.SetTableDataUpgradeExtension(".dup"); },
       [](E& e) { e.SetTableDataUpgradeExtension(".x"); }},
      {"TableIndexUpgradeExtension", [](E& e) { e.SetTableIndexUpgradeExtension(".iup"); },
       [](E& e) { e.SetTableIndexUpgradeExtension(".x"); }},
      {"TableBlobUpgradeExtension", [](E& e) { e.SetTableBlobUpgradeExtension(".bup"); },
       [](E& e) { e.SetTableBlobUpgradeExtension(".x"); }},
      {"TableDataTempExtension", [](E& e) { e.SetTableDataTempExtension(".dat"); },
       [](E& e) { e.SetTableDataTempExtension(".x"); }},
      {"TableIndexTempExtension", [](E& e) { e.SetTableIndexTempExtension(".idx"); },
       [](E& e) { e.SetTableIndexTempExtension(".x"); }},
      {"TableBlobTempExtension", [](E& e) { e.SetTableBlobTempExtension(".blb"); },
       [](E& e) { e.SetTableBlobTempExtension(".x"); }},
      {"CreateTempTablesInDatabase", [](E& e) { e.SetCreateTempTablesInDatabase(false); },
       [](E& e) { e.SetCreateTempTablesInDatabase(true); }},
      {"TableFilterIndexThreshhold", [](E& e) { e.SetTableFilterIndexThreshhold(1); },
       [](E& e) { e.SetTableFilterIndexThreshhold(50); }},
      {"TableReadLockWaitTime", [](E& e) { e.SetTableReadLockWaitTime(3); },
       [](E& e) { e.SetTableReadLockWaitTime(5); }},
      {"TableReadLockRetryCount", [](E& e) { e.SetTableReadLockRetryCount(32768); },
       [](E& e) { e.SetTableReadLockRetryCount(10); }},
      {"TableWriteLockWaitTime", [](E& e) { e.SetTableWriteLockWaitTime(3); },
       [](E& e) { e.SetTableWriteLockWaitTime(5); }},
      {"TableWriteLockRetryCount", [](E& e) { e.SetTableWriteLockRetryCount(32768); },
       [](E& e) { e.SetTableWriteLockRetryCount(10); }},
      {"TableTransLockWaitTime", [](E& e) { e.SetTableTransLockWaitTime(3); },
       [](E& e) { e.SetTableTransLockWaitTime(5); }},
      {"TableTransLockRetryCount", [](E& e) { e.SetTableTransLockRetryCount(32768); },
       [](E& e) { e.SetTableTransLockRetryCount(10); }},
      {"TableMaxReadLockCount", [](E& e) { e.SetTableMaxReadLockCount(100); },
       [](E& e) { e.SetTableMaxReadLockCount(7); }},
      {"ServerName", [](E& e) { e.SetServerName("DBSRVR"); }, [](E& e) { e.SetServerName("X"); }},
      {"ServerDescription", [](E& e) { e.SetServerDescription("VELTRA Database Server"); },
       [](E& e) { e.SetServerDescription("X"); }},
      {"ServerMainAddress", [](E& e) { e.SetServerMainAddress(""); },
       [](E& e) { e.SetServerMainAddress("10.0.0.1"); }},
      {"ServerMainPort", [](E& e) { e.SetServerMainPort(12005); },
       [](E& e) { e.SetServerMainPort(1); }},
      {"ServerMainThreadCacheSize", [](E& e) { e.SetServerMainThreadCacheSize(10); },
       [](E& e) { e.SetServerMainThreadCacheSize(1); }},
      {"ServerAdminAddress", [](E& e) { e.SetServerAdminAddress(""); },
       [](E& e) { e.SetServerAdminAddress("x"); }},
      {"ServerAdminPort", [](E& e) { e.SetServerAdminPort(12006); },
       [](E& e) { e.SetServerAdminPort(1); }},
      {"ServerAdminThreadCacheSize", [](E& e) { e.SetServerAdminThreadCacheSize(1); },
       [](E& e) { e.SetServerAdminThreadCacheSize(2); }},
      {"ServerEncryptedOnly", [](E& e) { e.SetServerEncryptedOnly(false); },
       [](E& e) { e.SetServerEncryptedOnly(true); }},
      {"ServerEncryptionPassword", [](E& e) { e.SetServerEncryptionPassword("quintaberry"); },
       [](E& e) { e.SetServerEncryptionPassword("x"); }},
      {"ServerConfigFileName", [](E& e) { e.SetServerConfigFileName("dbsrvr.scf"); },
       [](E& e) { e.SetServerConfigFileName("x"); }},
      {"ServerConfigPassword", [](E& e) { e.SetServerConfigPassword("quintaberry"); },
       [](E& e) { e.SetServerConfigPassword("x"); }},
  };
}

TEST_F(EngineComponent, WhileActiveAnUnchangedValueDoesNothingAndAChangeFails) {
  TEngineReference engine;
  engine->SetActive(true);
  for (const SetterCase& c : SetterCases()) {
    SCOPED_TRACE(c.property);
    EXPECT_EQ(DatabaseErrorOf([&] { c.set_current(*engine); }), "");
    EXPECT_EQ(DatabaseErrorOf([&] { c.change(*engine); }),
              "Cannot perform this operation when the engine is active");
  }
  engine->SetActive(false);
  for (const SetterCase& c : SetterCases()) {
    SCOPED_TRACE(c.property);
    EXPECT_EQ(DatabaseErrorOf([&] { c.change(*engine); }), "");
  }
}

struct LimitCase {
  const char* property;
  void (TVELTRAEngine::*set)(int32_t);
  int32_t (TVELTRAEngine::*get)() const;
  int32_t (TDataEngine::*core_get)() const;
  int32_t given;
  int32_t stored;
};

TEST_F(EngineComponent, BufferLimitsAreRaisedToTheirMinimumAndReachTheCore) {
  using E = TVELTRAEngine;
  using D = TDataEngine;
  const LimitCase cases[] = {
      {"MaxTableDataBufferSize", &E::SetMaxTableDataBufferSize, &E::MaxTableDataBufferSize,
       &D::MaxTableDataBufferSize, 1000, 8192},
      {"MaxTableDataBufferCount", &E::SetMaxTableDataBufferCount, &E::MaxTableDataBufferCount,
       &D::MaxTableDataBufferCount, 15, 16},
      {"MaxTableIndexBufferSize", &E::SetMaxTableIndexBufferSize, &E::MaxTableIndexBufferSize,
       &D::MaxTableIndexBufferSize, 1000, 32768},
      {"MaxTableIndexBufferCount", &E::SetMaxTableIndexBufferCount, &E::MaxTableIndexBufferCount,
       &D::MaxTableIndexBufferCount, -5, 8},
      {"MaxTableBlobBufferSize", &E::SetMaxTableBlobBufferSize, &E::MaxTableBlobBufferSize,
       &D::MaxTableBlobBufferSize, 0, 8192},
      {"MaxTableBlobBufferCount", &E::SetMaxTableBlobBufferCount, &E::MaxTableBlobBufferCount,
       &D::MaxTableBlobBufferCount, 31, 32},
      {"above the minimum", &E::SetMaxTableIndexBufferSize, &E::MaxTableIndexBufferSize,
       &D::MaxTableIndexBufferSize, 40000, 40000},
  };
  for (const LimitCase& c : cases) {
    SCOPED_TRACE(c.property);
    TEngineReference engine;
    ((*engine).*c.set)(c.given);
    EXPECT_EQ(((*engine).*c.get)(), c.stored);
    EXPECT_EQ((engine->Engine().*c.core_get)(), c.stored);
  }
}

TEST_F(EngineComponent, IgnoredValuesKeepTheOldOne) {
  TEngineReference engine;
  engine->SetTableFilterIndexThreshhold(40);
  engine->SetTableFilterIndexThreshhold(150);
  engine->SetTableMaxReadLockCount(0);
  EXPECT_EQ(engine->TableFilterIndexThreshhold(), 40);
  EXPECT_EQ(engine->TableMaxReadLockCount(), 100);
  engine->SetTableFilterIndexThreshhold(100);
  EXPECT_EQ(engine->Engine().TableFilterIndexThreshhold(), 100);
  // Ignored values are no change, so they are not refused while active either.
  engine->SetActive(true);
  EXPECT_EQ(DatabaseErrorOf([&] { engine->SetTableFilterIndexThreshhold(101); }), "");
  EXPECT_EQ(DatabaseErrorOf([&] { engine->SetTableMaxReadLockCount(0); }), "");
}

TEST_F(EngineComponent, ExtensionsGetALeadingFullStop) {
  TEngineReference engine;
  engine->SetTableDataExtension("dat");
  EXPECT_EQ(engine->TableDataExtension(), ".dat");
  engine->SetTableIndexTempExtension("tix");
  EXPECT_EQ(engine->TableIndexTempExtension(), ".tix");
  EXPECT_EQ(engine->Engine().TableIndexTempExtension(), ".tix");
  engine->SetTableBlobExtension(".b");
  EXPECT_EQ(engine->Engine().TableBlobExtension(), ".b");
}

TEST_F(EngineComponent, HasItsDefaults) {
  TEngineReference engine;
  const TVELTRAEngine& e = *engine;
  EXPECT_FALSE(e.Active());
  EXPECT_EQ(e.EngineType(), TEngineType::etClient);
  EXPECT_EQ(e.EngineSignature(), "VELTRA_SIG");
  EXPECT_FALSE(e.LargeFileSupport());
  EXPECT_TRUE(e.FilterRecordCounts());
  EXPECT_EQ(e.LockFileName(), "veltra.lck");
  EXPECT_EQ(e.MaxTableDataBufferSize(), 32768);
  EXPECT_EQ(e.MaxTableIndexBufferSize(), 65536);
  EXPECT_EQ(e.MaxTableBlobBufferCount(), 8192);
  EXPECT_EQ(e.TableDataExtension(), ".dat");
  EXPECT_EQ(e.TableBlobBackupExtension(), ".bbk");
  EXPECT_EQ(e.TableIndexUpgradeExtension(), ".iup");
  EXPECT_EQ(e.TableBlobTempExtension(), ".blb");
  EXPECT_FALSE(e.CreateTempTablesInDatabase());
  EXPECT_EQ(e.TableFilterIndexThreshhold(), 1);
  EXPECT_EQ(e.TableWriteLockWaitTime(), 3);
  EXPECT_EQ(e.TableTransLockRetryCount(), 32768);
  EXPECT_EQ(e.TableMaxReadLockCount(), 100);
  EXPECT_EQ(e.ServerSettings(), TServerSettings{});
  EXPECT_EQ(e.ServerConfigFileName(), "dbsrvr.scf");
  EXPECT_EQ(e.ServerEncryptionPassword(), "quintaberry");
  EXPECT_EQ(e.Engine().Settings(), TEngineSettings{});
}

TEST_F(EngineComponent, EngineVersionAlwaysReadsTheSame) {
  TEngineReference engine;
  engine->SetEngineVersion("9.99");
  EXPECT_EQ(engine->EngineVersion(), "4.22 Build 1");
}

TEST_F(EngineComponent, SignatureAndEngineTypeReachTheCoreAtOnce) {
  TEngineReference engine;
  engine->SetEngineSignature("MY_SIG");
  EXPECT_EQ(engine->Engine().SignatureDigest(), crypto::DigestOfText("MY_SIG"));
  engine->SetEngineType(TEngineType::etServer);
  EXPECT_TRUE(engine->Engine().IsServer());
}

TEST_F(EngineComponent, LockFileNameAndServerSettingsReachTheCoreAtStart) {
  TEngineReference engine;
  engine->SetLockFileName("mine.lck");
  engine->SetServerName("SRV2");
  engine->SetLargeFileSupport(true);
  EXPECT_EQ(engine->Engine().LockFileName(), "veltra.lck");
  EXPECT_TRUE(engine->Engine().LargeFileSupport());
  engine->SetActive(true);
  EXPECT_EQ(engine->Engine().LockFileName(), "mine.lck");
  EXPECT_EQ(engine->Engine().ServerSettings().ServerName, "SRV2");
  EXPECT_EQ(engine->Engine().Limits(), StorageLimitsFor(true));
  engine->SetActive(false);
}

TEST_F(EngineComponent, ThirdCreationFailsAndBothReferencesShareTheObject) {
  TVELTRAEngine& first = TVELTRAEngine::Create();
  TVELTRAEngine& second = TVELTRAEngine::Create();
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(TVELTRAEngine::ReferenceCount(), 2);
  EXPECT_EQ(DatabaseErrorOf([] { TVELTRAEngine::Create(); }), "An engine component already exists");
  first.SetMaxTableDataBufferCount(100);
  TVELTRAEngine::Free(second);
  EXPECT_EQ(first.MaxTableDataBufferCount(), 100) << "one free keeps the component";
  first.SetActive(true);
  TVELTRAEngine::Free(first);  // the last free stops the engine and frees everything
  TEngineReference fresh;
  EXPECT_EQ(fresh->MaxTableDataBufferCount(), 8192);
  EXPECT_FALSE(fresh->Active());
}

TEST_F(EngineComponent, GlobalEngineIsTheComponentAndCountsAsAReference) {
  // The global engine lives until the process ends, so it is tried in a child.
  testing::ChildProcess child([](testing::ParentLink&) {
    TVELTRAEngine& global = GlobalEngine();
    if (&GlobalEngine() != &global || TVELTRAEngine::ReferenceCount() != 1) return 1;
    TEngineReference form_engine;
    if (&*form_engine != &global) return 2;
    if (DatabaseErrorOf([] { TVELTRAEngine::Create(); }) != "An engine component already exists")
      return 3;
    return 0;
  });
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(EngineComponent, StartupAndShutdownEventsFireAndAFailedStartStaysInactive) {
  TEngineReference engine;
  std::vector<std::string> fired;
  engine->SetOnStartup([&](TVELTRAEngine& sender) {
    EXPECT_EQ(&sender, &*engine);
    fired.push_back("startup");
  });
  engine->SetOnShutdown([&](TVELTRAEngine&) { fired.push_back("shutdown"); });
  engine->SetActive(true);
  engine->SetActive(false);
  EXPECT_EQ(fired, (std::vector<std::string>{"startup", "shutdown"}));

  engine->SetOnStartup([](TVELTRAEngine&) { throw std::runtime_error("refused"); });
  EXPECT_THROW(engine->SetActive(true), std::runtime_error);
  EXPECT_FALSE(engine->Active());
  engine->SetOnStartup(nullptr);
  engine->SetActive(true);
  EXPECT_TRUE(engine->Active());
  engine->SetActive(false);
}

TEST_F(EngineComponent, CompressionEventsSetAndClearTheCoreHooks) {
  TEngineReference engine;
  const std::vector<uint8_t> input = {1, 2, 3};
  engine->SetOnCompress(
      [](TVELTRAEngine&, std::span<const uint8_t> in, uint8_t level, std::vector<uint8_t>& out) {
        out.assign(in.begin(), in.end());
        out.push_back(level);
      });
  engine->SetOnDecompress([](TVELTRAEngine&, std::span<const uint8_t> in,
                             std::vector<uint8_t>& out) { out.assign(in.begin(), in.end() - 1); });
  const std::vector<uint8_t> packed = engine->Engine().CompressBuffer(input, 7);
  EXPECT_EQ(packed, (std::vector<uint8_t>{1, 2, 3, 7}));
  EXPECT_EQ(engine->Engine().DecompressBuffer(packed, 3), input);
  engine->SetOnCompress(nullptr);
  engine->SetOnDecompress(nullptr);
  EXPECT_EQ(engine->Engine().DecompressBuffer(engine->Engine().CompressBuffer(input, 7), 3), input);
  EXPECT_NE(engine->Engine().CompressBuffer(input, 7), packed) << "zlib again";
}

TEST_F(EngineComponent, CipherEventsReplaceTheBuiltInCipherOnceComplete) {
  TEngineReference engine;
  const crypto::TDigest key = crypto::DigestOfText("pw");
  int resets = 0;
  engine->SetOnCryptoInit([](TVELTRAEngine&, std::span<const uint8_t> k,
                             std::vector<uint8_t>& out) { out.assign(k.begin(), k.begin() + 1); });
  engine->SetOnEncryptBlock([](TVELTRAEngine&, std::span<uint8_t> data, std::span<uint8_t, 8> b) {
    for (uint8_t& byte : b) byte ^= data[0];
  });
  EXPECT_FALSE(engine->Engine().CreateCipherState(key)->IsApplicationCipher());
  engine->SetOnDecryptBlock(engine->OnEncryptBlock());
  engine->SetOnCryptoReset([&](TVELTRAEngine&, std::span<uint8_t>) { ++resets; });
  auto context = engine->Engine().CreateCipherState(key);
  ASSERT_TRUE(context->IsApplicationCipher());
  std::vector<uint8_t> area(12, 0);
  TDataEngine::EncryptBuffer(*context, area);
  EXPECT_EQ(area[7], key[0]);
  EXPECT_EQ(area[8], 0) << "the tail stays";
  EXPECT_EQ(resets, 1);
  engine->SetOnCryptoInit(nullptr);
  EXPECT_FALSE(engine->Engine().CreateCipherState(key)->IsApplicationCipher());
}

TEST_F(EngineComponent, TextIndexEventsReachTheCoreHooks) {
  TEngineReference engine;
  engine->SetOnTextIndexFilter(
      [](TVELTRAEngine&, std::string_view, std::string_view, std::string& text) { text += "!"; });
  engine->SetOnTextIndexTokenFilter([](TVELTRAEngine&, std::string_view, std::string_view field,
                                       std::string_view,
                                       bool& include) { include = field != "skip"; });
  const TTextIndexHooks& hooks = engine->Engine().Hooks().TextIndex;
  std::string text = "words";
  hooks.Filter("t", "f", text);
  EXPECT_EQ(text, "words!");
  EXPECT_FALSE(hooks.TokenFilter("t", "skip", "w", true));
  EXPECT_TRUE(hooks.TokenFilter("t", "keep", "w", false));
  engine->SetOnTextIndexFilter(nullptr);
  EXPECT_FALSE(engine->Engine().Hooks().TextIndex.Filter);
}

}  // namespace
}  // namespace veltra
