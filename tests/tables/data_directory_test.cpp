// Directory objects: the table registry, TableExists / ListTables / UniqueTableName, and
// transactions driven through recording table objects that take real transaction bytes on the
// directory's lock file: lock order, commit with flush, rollback, and failed starts that leave
// nothing held (also against another process).
#include "tables/data_directory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/data_engine.h"
#include "core/engine_error.h"
#include "core/file_registry.h"
#include "platform/clock.h"
#include "storage/lock_file.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "tables/data_session.h"
#include "tables/recording_table.h"
#include "support/engine_error_code.h"

namespace veltra {
namespace {

using testing::ChildProcess;
using testing::ParentLink;
using testing::RecordingFactory;
using testing::RecordingTable;
using testing::TempDir;

using veltra::testing::CodeRaisedBy;

// Writes a lock file whose registry gives ZETA id 1, ALPHA id 2 and MIDDLE id 3: neither the
// name order nor the order of any list below is the id order.
void WriteLockFile(const TempDir& dir) {
  const std::vector<std::string> names = {"ZETA", "ALPHA", "MIDDLE"};
  const std::vector<uint8_t> bytes = EncodeLockFile(1, names);
  std::ofstream out(dir.File("veltra.lck"), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A session on a fresh engine with short lock retries and no real sleeps.
struct SessionOnDirectory {
  explicit SessionOnDirectory(const std::string& path) {
    TEngineSettings settings = engine.Settings();
    settings.TableTransLock = {.WaitTime = 1, .RetryCount = 2};
    settings.TableWriteLock = {.WaitTime = 1, .RetryCount = 2};
    engine.UpdateSettings(settings);
    session.SetTableFactory(&factory);
    session.SetDirectoryLockOptions({.sleeper = [this](uint32_t) { ++sleeps; }});
    directory = &session.OpenDirectory("Draws", path, false);
  }

  RecordingTable& Open(const std::string& name) {
    return static_cast<RecordingTable&>(
        directory->OpenTable({.name = name + ".dat", .display_name = name}));
  }
  // True when this directory holds no lock byte of any kind.
  bool HoldsNothing() const {
    const TDataDirectoryLocks& locks = directory->Locks();
    if (locks.holds_all_trans() || locks.holds_all_write()) return false;
    for (size_t i = 0; i < locks.entry_count(); ++i) {
      if (locks.entry(i).holds_any()) return false;
    }
    return true;
  }

  TDataEngine engine;
  RecordingFactory factory;
  TDataSession session{engine};
  TDataDirectory* directory = nullptr;
  int sleeps = 0;
};

class DataDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteLockFile(dir_); }

  std::vector<std::string> LogOf(const std::string& prefix) const {
    std::vector<std::string> picked;
    for (const std::string& line : one_.factory.log) {
      if (line.rfind(prefix, 0) == 0) picked.push_back(line.substr(prefix.size()));
    }
    return picked;
  }

  TempDir dir_;
  SessionOnDirectory one_{dir_.path()};
};

// ---- Registry and names -------------------------------------------------------------------

TEST_F(DataDirectoryTest, OneObjectServesEverySpellingOfATableName) {
  RecordingTable& lotto = one_.Open("Lotto");
  EXPECT_EQ(&one_.Open("LOTTO"), &lotto);
  EXPECT_EQ(&one_.directory->OpenTable({.name = " lotto.DAT ", .display_name = "lotto"}), &lotto);
  EXPECT_EQ(one_.directory->TableCount(), 1u);
  EXPECT_EQ(one_.directory->HeldTable("lotto.DAT"), &lotto);
  EXPECT_EQ(LogOf("make ").size(), 1u);
}

TEST_F(DataDirectoryTest, LastCloseFreesTheTableObject) {
  RecordingTable& lotto = one_.Open("Lotto");
  one_.Open("Lotto");
  one_.directory->CloseTable(lotto, false, false);
  EXPECT_EQ(one_.directory->TableCount(), 1u);
  one_.directory->CloseTable(lotto, false, false);
  EXPECT_EQ(one_.directory->TableCount(), 0u);
}

TEST_F(DataDirectoryTest, ClosingATableTheDirectoryDoesNotHoldFails) {
  RecordingFactory other_factory;
  RecordingTable stranger(other_factory, *one_.directory, "STRANGER.dat");
  EXPECT_EQ(CodeRaisedBy([&] { one_.directory->CloseTable(stranger, false, false); }), kErrTableNotFound);
}

TEST_F(DataDirectoryTest, ExclusiveOpenOfATableInUseIsRefused) {
  one_.Open("Lotto");
  EXPECT_EQ(CodeRaisedBy([&] {
              one_.directory->OpenTable(
                  {.name = "Lotto.dat", .display_name = "Lotto", .exclusive = true});
            }),
            kErrAccessDenied);
}

TEST_F(DataDirectoryTest, TableExistsLooksAtHeldTablesThenFiles) {
  std::ofstream(dir_.File("Keno.DAT")).put('x');
  one_.Open("Lotto");
  const struct {
    std::string name;
    bool only_registered;
    bool exists;
  } cases[] = {
      {"Lotto", true, true},      {"LOTTO.dat", true, true}, {"Keno", true, false},
      {"Keno", false, true},      {"keno.dat", false, true}, {"Missing", false, false},
      {"Lotto.dat", false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(one_.directory->TableExists(c.name, c.only_registered, false), c.exists) << c.name;
  }
}

TEST_F(DataDirectoryTest, ListTablesNamesTheDataFilesWithoutExtension) {
  for (const char* file : {"Lotto.dat", "Keno.dat", "notes.txt"}) {
    std::ofstream(dir_.File(file)).put('x');
  }
  EXPECT_EQ(one_.directory->ListTables(), (std::vector<std::string>{"Keno", "Lotto"}));
}

TEST_F(DataDirectoryTest, UniqueTableNameSkipsNamesInUse) {
  const std::string prefix =
      std::to_string(std::llabs(platform::CurrentThreadId())).substr(0, kUniqueNamePrefixLength);
  EXPECT_EQ(one_.directory->UniqueTableName(), prefix + "0.dat");
  std::ofstream(dir_.File(prefix + "0.dat")).put('x');  // a file on disk
  one_.Open(prefix + "1");                              // a held table
  EXPECT_EQ(one_.directory->UniqueTableName(), prefix + "2.dat");
}

TEST_F(DataDirectoryTest, UniqueTableNameInMemoryLooksAtMemoryFiles) {
  TDataDirectory& memory = one_.session.OpenDirectory("Memory", "", false);
  const std::string first = memory.UniqueTableName();
  TOpenedFile made = one_.engine.FileRegistry().Create(first, true, false, false);
  ASSERT_TRUE(made.ok());
  ASSERT_TRUE(one_.engine.FileRegistry().Close(made.file, made.handle, true));
  const std::string second = memory.UniqueTableName();
  EXPECT_NE(second, first);
  EXPECT_EQ(second.substr(0, first.size() - 5), first.substr(0, first.size() - 5));
}

// ---- Transactions -------------------------------------------------------------------------

TEST_F(DataDirectoryTest, RestrictedTransactionStartsInAscendingTableId) {
  one_.Open("Alpha");  // held before; the others are opened for the transaction
  const struct {
    std::vector<std::string> list;
    std::vector<std::string> started;  // by id: Zeta 1, Alpha 2, Middle 3
  } cases[] = {
      {{"MIDDLE", "Alpha", "zeta"}, {"zeta.dat", "Alpha.dat", "MIDDLE.dat"}},
      {{"alpha.dat", "ZETA", "Middle", "alpha"}, {"ZETA.dat", "Alpha.dat", "Middle.dat"}},
  };
  for (const auto& c : cases) {
    one_.factory.log.clear();
    one_.directory->StartTransaction(c.list);
    EXPECT_TRUE(one_.directory->Restricted());
    EXPECT_EQ(LogOf("start "), c.started);
    one_.directory->Commit(false);
    EXPECT_EQ(LogOf("commit "), (std::vector<std::string>(c.started.rbegin(), c.started.rend())));
    EXPECT_TRUE(one_.HoldsNothing());
    // Tables opened only for the transaction are freed; the one a cursor has stays.
    EXPECT_EQ(one_.directory->TableCount(), 1u);
  }
}

TEST_F(DataDirectoryTest, FailedRestrictedStartLeavesNothingHeld) {
  SessionOnDirectory two(dir_.path());
  const std::vector<std::string> middle = {"MIDDLE"};
  two.directory->StartTransaction(middle);

  one_.Open("Alpha");
  const std::vector<std::string> all = {"Middle", "Zeta", "Alpha"};
  EXPECT_EQ(CodeRaisedBy([&] { one_.directory->StartTransaction(all); }), kErrTransactionLock);
  EXPECT_EQ(LogOf("start "), (std::vector<std::string>{"Zeta.dat", "Alpha.dat", "Middle.dat"}));
  EXPECT_EQ(LogOf("rollback "), (std::vector<std::string>{"Alpha.dat", "Zeta.dat"}));
  EXPECT_EQ(one_.sleeps, 2);
  EXPECT_FALSE(one_.directory->InTransaction());
  EXPECT_TRUE(one_.HoldsNothing());
  EXPECT_EQ(one_.directory->TableCount(), 1u);  // Zeta and Middle were freed again

  // The other session can take every byte the failed start touched.
  two.directory->Commit(false);
  two.directory->StartTransaction(all);
  two.directory->Rollback();
  EXPECT_TRUE(two.HoldsNothing());

  // And the first one starts now.
  one_.directory->StartTransaction(all);
  EXPECT_TRUE(one_.directory->InTransaction());
}

TEST_F(DataDirectoryTest, FailedOpenOfAListedTableLeavesNothingHeld) {
  one_.factory.Table("Middle.dat").fail_open = true;
  const std::vector<std::string> list = {"Zeta", "Middle"};
  EXPECT_EQ(CodeRaisedBy([&] { one_.directory->StartTransaction(list); }), kErrTableNotFound);
  EXPECT_FALSE(one_.directory->InTransaction());
  EXPECT_EQ(one_.directory->TableCount(), 0u);
  EXPECT_TRUE(one_.HoldsNothing());
}

TEST_F(DataDirectoryTest, CommitWritesAndFlushesRollbackDiscards) {
  const struct {
    bool restricted;
    bool commit;
    bool force_flush;
  } cases[] = {{true, true, true},   {true, true, false},  {false, true, true},
               {false, true, false}, {true, false, false}, {false, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "restricted " << c.restricted << " commit " << c.commit
                                      << " flush " << c.force_flush);
    RecordingTable& alpha = one_.Open("Alpha");
    one_.factory.Table("Alpha.dat").written.clear();
    const std::vector<std::string> list = {"Alpha"};
    one_.directory->StartTransaction(c.restricted ? std::span<const std::string>(list)
                                                  : std::span<const std::string>());
    alpha.Change("row");
    EXPECT_EQ(one_.factory.Table("Alpha.dat").pending.size(), 1u);
    if (c.commit) {
      one_.directory->Commit(c.force_flush);
    } else {
      one_.directory->Rollback();
    }
    const testing::RecordedTable& record = one_.factory.Table("Alpha.dat");
    EXPECT_TRUE(record.pending.empty());
    EXPECT_EQ(record.written.size(), c.commit ? 1u : 0u);
    EXPECT_EQ(record.flushed, c.commit && c.force_flush);
    if (c.commit) {
      EXPECT_EQ(record.committed_under_all_write, !c.restricted);
    }
    EXPECT_FALSE(one_.directory->InTransaction());
    EXPECT_TRUE(one_.HoldsNothing());
    one_.directory->CloseTable(alpha, false, false);
  }
}

TEST_F(DataDirectoryTest, UnrestrictedTransactionHoldsTheDatabaseAndTakesLaterTables) {
  RecordingTable& alpha = one_.Open("Alpha");
  one_.directory->StartTransaction();
  EXPECT_TRUE(one_.directory->Locks().holds_all_trans());
  RecordingTable& zeta = one_.Open("Zeta");  // joins the running transaction
  EXPECT_TRUE(zeta.InTransaction());
  alpha.Change("a");
  zeta.Change("z");

  // Another session can neither start a transaction nor lock one table's byte meanwhile.
  SessionOnDirectory two(dir_.path());
  const std::vector<std::string> zeta_only = {"Zeta"};
  EXPECT_EQ(CodeRaisedBy([&] { two.directory->StartTransaction(); }), kErrTransactionLock);
  EXPECT_EQ(CodeRaisedBy([&] { two.directory->StartTransaction(zeta_only); }), kErrTransactionLock);
  EXPECT_TRUE(two.HoldsNothing());

  one_.directory->Rollback();
  EXPECT_TRUE(one_.factory.Table("Zeta.dat").written.empty());
  EXPECT_TRUE(one_.factory.Table("Alpha.dat").written.empty());
  EXPECT_TRUE(one_.HoldsNothing());
  two.directory->StartTransaction();
  EXPECT_TRUE(two.directory->InTransaction());
}

TEST_F(DataDirectoryTest, FailedCommitKeepsTheTransactionForRollback) {
  RecordingTable& alpha = one_.Open("Alpha");
  RecordingTable& zeta = one_.Open("Zeta");
  one_.directory->StartTransaction();
  alpha.Change("a");
  zeta.Change("z");
  one_.factory.Table("Zeta.dat").fail_commit = true;  // committed first: last in name order

  EXPECT_EQ(CodeRaisedBy([&] { one_.directory->Commit(true); }), kErrWriteError);
  EXPECT_TRUE(one_.directory->InTransaction());
  EXPECT_TRUE(one_.directory->Locks().holds_all_trans());
  EXPECT_FALSE(one_.directory->Locks().holds_all_write());

  one_.directory->Rollback();
  EXPECT_TRUE(one_.factory.Table("Alpha.dat").written.empty());
  EXPECT_FALSE(one_.directory->InTransaction());
  EXPECT_TRUE(one_.HoldsNothing());
}

TEST_F(DataDirectoryTest, ReleasingTheDirectoryRollsBackAndFreesItsLocks) {
  RecordingTable& alpha = one_.Open("Alpha");
  one_.directory->StartTransaction();
  alpha.Change("a");
  one_.session.ReleaseDirectory(*one_.directory);
  EXPECT_TRUE(one_.factory.Table("Alpha.dat").written.empty());
  EXPECT_FALSE(one_.factory.Table("Alpha.dat").files_open);

  SessionOnDirectory two(dir_.path());
  two.directory->StartTransaction();
  EXPECT_TRUE(two.directory->InTransaction());
}

TEST_F(DataDirectoryTest, ReadOnlyLockFileRefusesTransactions) {
  ASSERT_EQ(chmod(dir_.File("veltra.lck").c_str(), 0444), 0);
  SessionOnDirectory reader(dir_.path());
  EXPECT_TRUE(reader.directory->LockingDisabled());
  EXPECT_EQ(CodeRaisedBy([&] { reader.directory->StartTransaction(); }), kErrAccessDenied);
  const std::vector<std::string> list = {"Alpha"};
  EXPECT_EQ(CodeRaisedBy([&] { reader.directory->StartTransaction(list); }), kErrAccessDenied);
  EXPECT_FALSE(reader.directory->InTransaction());
  EXPECT_NO_THROW(reader.directory->Commit(true));
  EXPECT_NO_THROW(reader.directory->Rollback());
}

TEST(DataDirectoryProcesses, FailedStartAgainstAnotherProcessLeavesNothingHeld) {
  TempDir dir;
  WriteLockFile(dir);
  ChildProcess child([&](ParentLink& parent) {
    SessionOnDirectory session(dir.path());
    const std::vector<std::string> middle = {"Middle"};
    session.directory->StartTransaction(middle);
    parent.Send("holding");
    if (parent.Receive() != "check") return 2;
    // Every byte the parent's failed start touched is free again.
    session.directory->Commit(false);
    const std::vector<std::string> all = {"Alpha", "Zeta", "Middle"};
    session.directory->StartTransaction(all);
    session.directory->Commit(false);
    parent.Send("free");
    return 0;
  });
  ASSERT_EQ(child.Receive(), "holding");

  SessionOnDirectory session(dir.path());
  const std::vector<std::string> all = {"Middle", "Alpha", "Zeta"};
  EXPECT_EQ(CodeRaisedBy([&] { session.directory->StartTransaction(all); }), kErrTransactionLock);
  EXPECT_TRUE(session.HoldsNothing());
  child.Send("check");
  EXPECT_EQ(child.Receive(), "free");
  EXPECT_EQ(child.Wait(), 0);
}

}  // namespace
}  // namespace veltra
