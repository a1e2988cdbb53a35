#include "core/data_engine.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/file_registry.h"
#include "core/temp_file_name.h"
#include "platform/directory.h"
#include "support/temp_dir.h"
#include "support/engine_error_code.h"

namespace veltra {
namespace {

using veltra::testing::CodeRaisedBy;

TEST(DataEngine, StartsInactiveWithTheDefaults) {
  TDataEngine engine;
  EXPECT_FALSE(engine.Active());
  EXPECT_EQ(engine.Signature(), "VELTRA_SIG");
  EXPECT_EQ(engine.SignatureDigest(), crypto::DigestOfText("VELTRA_SIG"));
  EXPECT_EQ(engine.Settings(), TEngineSettings{});
  EXPECT_EQ(engine.LockFileName(), "veltra.lck");
  EXPECT_EQ(engine.Limits(), StorageLimitsFor(false));
  EXPECT_EQ(engine.Locales().Entry(0).Name, "ANSI Standard");
}

TEST(DataEngine, SignatureKeepsItsDigestAndAtMost255Characters) {
  TDataEngine engine;
  engine.SetSignature("MY_SIG");
  EXPECT_EQ(engine.SignatureDigest(), crypto::DigestOfText("MY_SIG"));
  const std::string long_signature(300, 'S');
  engine.SetSignature(long_signature);
  EXPECT_EQ(engine.Signature(), std::string(255, 'S'));
  EXPECT_EQ(engine.SignatureDigest(), crypto::DigestOfText(std::string(255, 'S')));
}

TEST(DataEngine, SettingsAreStoredInTheirEngineFormButNotTheLockFileName) {
  TDataEngine engine;
  TEngineSettings settings;
  settings.TableDataExtension = "dat2";
  settings.TableBlobTempExtension = ".tmp";
  settings.LockFileName = "other.lck";
  settings.LargeFileSupport = true;
  engine.UpdateSettings(settings);
  EXPECT_EQ(engine.TableDataExtension(), ".dat2");
  EXPECT_EQ(engine.TableBlobTempExtension(), ".tmp");
  EXPECT_TRUE(engine.LargeFileSupport());
  EXPECT_EQ(engine.LockFileName(), "veltra.lck");
  EXPECT_EQ(engine.Limits(), StorageLimitsFor(false)) << "limits change at Start only";
}

TEST(DataEngine, StartTakesTheLockFileNameAndComputesTheLimits) {
  TDataEngine engine;
  TEngineSettings settings;
  settings.LargeFileSupport = true;
  engine.UpdateSettings(settings);
  std::vector<std::string> events;
  engine.MutableHooks().Startup = [&] { events.push_back("startup " + engine.LockFileName()); };
  engine.MutableHooks().Shutdown = [&] { events.push_back("shutdown"); };
  TStartParameters parameters;
  parameters.LockFileName = "my.lck";
  parameters.Functions.push_back({});
  parameters.Functions.back().Name = "Twice";
  engine.Start(parameters);
  EXPECT_TRUE(engine.Active());
  EXPECT_EQ(engine.LockFileName(), "my.lck");
  EXPECT_EQ(engine.Limits(), StorageLimitsFor(true));
  ASSERT_NE(engine.FindCustomFunction("TWICE"), nullptr);
  EXPECT_EQ(engine.FindCustomFunction("thrice"), nullptr);
  engine.Stop();
  EXPECT_FALSE(engine.Active());
  EXPECT_TRUE(engine.CustomFunctions().empty());
  EXPECT_EQ(events, (std::vector<std::string>{"startup veltra.lck", "shutdown"}));
}

TEST(DataEngine, AFailedStartLeavesTheEngineInactiveAndUnchanged) {
  TDataEngine engine;
  engine.MutableHooks().Startup = [] { throw std::runtime_error("no"); };
  TStartParameters parameters;
  parameters.LockFileName = "my.lck";
  EXPECT_THROW(engine.Start(parameters), std::runtime_error);
  EXPECT_FALSE(engine.Active());
  EXPECT_EQ(engine.LockFileName(), "veltra.lck");

  engine.MutableHooks().Startup = nullptr;
  TStartParameters too_many;
  too_many.Functions.resize(kMaxCustomFunctions + 1);
  EXPECT_THROW(engine.Start(too_many), std::invalid_argument);
  EXPECT_FALSE(engine.Active());
}

TEST(DataEngine, StopClosesTheFilesOfBothRegistries) {
  testing::TempDir dir;
  TDataEngine engine;
  engine.Start({});
  TOpenedFile memory = engine.FileRegistry().Create("Memory/table.dat", true, false, false);
  TOpenedFile physical = engine.FileRegistry().Create(dir.File("table.dat"), false, false, false);
  ASSERT_TRUE(memory.ok());
  ASSERT_TRUE(physical.ok());
  engine.Stop();
  EXPECT_EQ(engine.FileRegistry().RegisteredCount(true), 0u);
  EXPECT_EQ(engine.FileRegistry().RegisteredCount(false), 0u);
  EXPECT_TRUE(platform::FileExists(dir.File("table.dat")));
}

TEST(DataEngine, TempFileNamesSkipNamesInTheRegistry) {
  testing::TempDir dir;
  TDataEngine engine;
  const std::string digits = TempThreadDigits();
  // A memory table named like the first candidate is live in the memory registry.
  ASSERT_TRUE(engine.FileRegistry().Create("Temp/" + digits + "0.dat", true, false, false).ok());
  EXPECT_EQ(engine.TempFileName(dir.path(), ".dat", true), "Temp/" + digits + "1.dat");
  // Physical: a file open in the registry is skipped, and each call takes a new number.
  const std::string first = dir.path() + "/" + digits + "0.dat";
  ASSERT_TRUE(engine.FileRegistry().Create(first, false, false, false).ok());
  EXPECT_EQ(engine.TempFileName(dir.path(), ".dat", false), dir.path() + "/" + digits + "1.dat");
  EXPECT_EQ(engine.TempFileName(dir.path(), ".dat", false), dir.path() + "/" + digits + "2.dat");
}

TEST(DataEngine, CompressionGoesThroughTheHooksAndFailuresBecomeEngineErrors) {
  TDataEngine engine;
  const std::vector<uint8_t> input(1000, 'x');
  // Without hooks: zlib.
  EXPECT_EQ(engine.DecompressBuffer(engine.CompressBuffer(input, 6), input.size()), input);

  TCompressionHooks& hooks = engine.MutableHooks().Compression;
  hooks.Compress = [](std::span<const uint8_t> in, uint8_t) {
    return std::vector<uint8_t>(in.rbegin(), in.rend());
  };
  hooks.Decompress = [](std::span<const uint8_t> in) {
    return std::vector<uint8_t>(in.rbegin(), in.rend());
  };
  const std::vector<uint8_t> text = {'a', 'b', 'c'};
  EXPECT_EQ(engine.CompressBuffer(text, 1), (std::vector<uint8_t>{'c', 'b', 'a'}));
  EXPECT_EQ(engine.DecompressBuffer(engine.CompressBuffer(text, 1), 3), text);
  EXPECT_EQ(CodeRaisedBy([&] { engine.DecompressBuffer(text, 2); }), kErrUncompress)
      << "a hook's result longer than allowed";

  hooks.Compress = [](std::span<const uint8_t>, uint8_t) -> std::vector<uint8_t> {
    throw std::runtime_error("compress");
  };
  hooks.Decompress = [](std::span<const uint8_t>) -> std::vector<uint8_t> { throw 42; };
  EXPECT_EQ(CodeRaisedBy([&] { engine.CompressBuffer(text, 1); }), kErrCompress);
  EXPECT_EQ(CodeRaisedBy([&] { engine.DecompressBuffer(text, 3); }), kErrUncompress);
}

TEST(DataEngine, CipherStateFollowsTheHooksInForce) {
  TDataEngine engine;
  const crypto::TDigest key = crypto::DigestOfText("pw");
  EXPECT_FALSE(engine.CreateCipherState(key)->IsApplicationCipher());
  TCipherHooks& hooks = engine.MutableHooks().Cipher;
  hooks.Init = [](std::span<const uint8_t>) { return std::vector<uint8_t>(4); };
  hooks.EncryptBlock = [](std::span<uint8_t>, std::span<uint8_t, 8> block) { block[0] ^= 1; };
  hooks.DecryptBlock = hooks.EncryptBlock;
  auto context = engine.CreateCipherState(key);
  EXPECT_TRUE(context->IsApplicationCipher());
  EXPECT_EQ(context->Size(), 4u);
  std::vector<uint8_t> area(16, 0);
  TDataEngine::EncryptBuffer(*context, area);
  EXPECT_EQ(area[0], 1);
  EXPECT_EQ(area[8], 1);
  TDataEngine::DecryptBuffer(*context, area);
  EXPECT_EQ(area, std::vector<uint8_t>(16, 0));
}

class LoggedSession : public TEngineSession {
 public:
  LoggedSession(std::vector<int>& log, int id) : log_(log), id_(id) {}
  ~LoggedSession() override { log_.push_back(id_); }

 private:
  std::vector<int>& log_;
  int id_;
};

TEST(DataEngine, SessionListFreesOneOrAllNewestFirst) {
  std::vector<int> freed;
  TDataEngine engine;
  TEngineSession& first = engine.AddEngineSession(std::make_unique<LoggedSession>(freed, 1));
  engine.AddEngineSession(std::make_unique<LoggedSession>(freed, 2));
  engine.AddEngineSession(std::make_unique<LoggedSession>(freed, 3));
  engine.FreeEngineSession(first);
  EXPECT_EQ(freed, (std::vector<int>{1}));
  EXPECT_EQ(engine.EngineSessionCount(), 2u);
  engine.FreeAllEngineSessions();
  EXPECT_EQ(freed, (std::vector<int>{1, 3, 2}));
  EXPECT_EQ(engine.EngineSessionCount(), 0u);
}

TEST(DataEngine, RaisesThroughItsErrorContext) {
  TDataEngine engine;
  try {
    engine.RaiseEngineError(kErrTableNotFound, {.table = "LOTTO"});
    FAIL() << "no error";
  } catch (const EVELTRAEngineError& error) {
    EXPECT_EQ(TDataEngine::CodeOfError(error), kErrTableNotFound);
    EXPECT_EQ(error.ContextTable(), "LOTTO");
  }
  EXPECT_EQ(engine.MessageOfCode(kErrTableNotFound), "Table or backup file 'LOTTO' does not exist");
}

TEST(DataEngine, RandomStaysBelowItsBound) {
  TDataEngine engine;
  engine.Start({});
  for (int i = 0; i < 1000; ++i) EXPECT_LT(engine.Random(65535), 65535u);
  EXPECT_EQ(engine.Random(1), 0u);
}

}  // namespace
}  // namespace veltra
