// Table and directory-wide locks between two sessions of one process (two lock objects on one
// directory): which locks exclude which, the "newly taken" answers, the bytes each lock takes in
// both lock-space settings, and that a failed lock leaves nothing held.
#include "storage/table_locks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "core/os_error.h"
#include "lock_test_support.h"
#include "platform/file.h"
#include "storage/directory_locks.h"
#include "support/temp_dir.h"

namespace veltra {
namespace {

using lock_test::CodeRaisedBy;
using lock_test::SleepCounter;
using testing::TempDir;

enum class Where { kDisk, kDiskLargeFiles, kMemory };

std::string WhereName(const ::testing::TestParamInfo<Where>& info) {
  switch (info.param) {
    case Where::kDisk:
      return "Disk";
    case Where::kDiskLargeFiles:
      return "DiskLargeFiles";
    case Where::kMemory:
      return "Memory";
  }
  return "";
}

class TableLocksTest : public ::testing::TestWithParam<Where> {
 protected:
  void SetUp() override {
    TakePendingOsError();
    lock_test::ConfigureEngine(engine_, GetParam() == Where::kDiskLargeFiles);
    in_memory_ = GetParam() == Where::kMemory;
    path_ = in_memory_ ? "Memory" + std::to_string(getpid()) : dir_.path();
    first_ = MakeSession();
    second_ = MakeSession();
  }

  std::unique_ptr<TDataDirectoryLocks> MakeSession() {
    auto locks = std::make_unique<TDataDirectoryLocks>(engine_, path_, in_memory_, "DB",
                                                       lock_test::FastOptions(sleeps_));
    locks->OpenLockFile();
    locks->RegisterTable("Lotto");
    locks->RegisterTable("Mini");
    return locks;
  }

  TempDir dir_;
  TDataEngine engine_;
  SleepCounter sleeps_;
  bool in_memory_ = false;
  std::string path_;
  std::unique_ptr<TDataDirectoryLocks> first_;
  std::unique_ptr<TDataDirectoryLocks> second_;
};

// One lock taken (and later released) by a session.
struct LockStep {
  const char* name;
  std::function<void(TDataDirectoryLocks&)> take;
  std::function<void(TDataDirectoryLocks&)> release;
};

LockStep ReadOf(const char* table) {
  return {"read", [table](TDataDirectoryLocks& l) { l.RegisterTable(table).LockRead(); },
          [table](TDataDirectoryLocks& l) { l.RegisterTable(table).UnlockRead(); }};
}
LockStep WriteOf(const char* table) {
  return {"write", [table](TDataDirectoryLocks& l) { l.RegisterTable(table).LockWrite(true); },
          [table](TDataDirectoryLocks& l) { l.RegisterTable(table).UnlockWrite(true); }};
}
LockStep TransOf(const char* table) {
  return {"trans", [table](TDataDirectoryLocks& l) { l.RegisterTable(table).LockTrans(); },
          [table](TDataDirectoryLocks& l) { l.RegisterTable(table).UnlockTrans(); }};
}
const LockStep kAllTrans = {"all trans", [](TDataDirectoryLocks& l) { l.LockAllTrans(); },
                            [](TDataDirectoryLocks& l) { l.UnlockAllTrans(); }};
const LockStep kAllWrite = {"all write", [](TDataDirectoryLocks& l) { l.LockAllWrite(); },
                            [](TDataDirectoryLocks& l) { l.UnlockAllWrite(); }};

TEST_P(TableLocksTest, ExclusionMatrixBetweenTwoSessions) {
  struct Case {
    LockStep held;
    LockStep wanted;
    TEngineCode code;  // 0: granted
  };
  const Case cases[] = {
      {ReadOf("Lotto"), ReadOf("Lotto"), 0},
      {ReadOf("Lotto"), WriteOf("Lotto"), kErrTableWriteLock},
      {WriteOf("Lotto"), ReadOf("Lotto"), kErrTableReadLock},
      {WriteOf("Lotto"), WriteOf("Lotto"), kErrTableWriteLock},
      {WriteOf("Lotto"), WriteOf("Mini"), 0},
      {WriteOf("Lotto"), TransOf("Lotto"), kErrTransactionLock},
      {TransOf("Lotto"), WriteOf("Lotto"), kErrTableWriteLock},
      {TransOf("Lotto"), ReadOf("Lotto"), 0},
      {TransOf("Lotto"), TransOf("Lotto"), kErrTransactionLock},
      {TransOf("Lotto"), TransOf("Mini"), 0},
      {kAllTrans, WriteOf("Mini"), kErrTableWriteLock},
      {kAllTrans, TransOf("Mini"), kErrTransactionLock},
      {kAllTrans, kAllTrans, kErrTransactionLock},
      {kAllTrans, ReadOf("Mini"), 0},
      {TransOf("Mini"), kAllTrans, kErrTransactionLock},
      {kAllWrite, ReadOf("Lotto"), kErrTableReadLock},
      {ReadOf("Mini"), kAllWrite, kErrTransactionLock},
  };
  for (const Case& c : cases) {
    const std::string what = std::string(c.held.name) + " then " + c.wanted.name;
    sleeps_ = {};
    c.held.take(*first_);
    EXPECT_EQ(CodeRaisedBy([&] { c.wanted.take(*second_); }), c.code) << what;
    // A refused lock waited its retries and then gave up; a granted one never waited.
    EXPECT_EQ(sleeps_.sleeps, c.code == 0 ? 0u : lock_test::kTestRetries) << what;
    if (c.code == 0) c.wanted.release(*second_);
    c.held.release(*first_);
    // Nothing of either is left held: each lock can be had again, one after the other.
    EXPECT_EQ(CodeRaisedBy([&] { c.wanted.take(*second_); }), 0) << what;
    c.wanted.release(*second_);
    EXPECT_EQ(CodeRaisedBy([&] { c.held.take(*first_); }), 0) << what;
    c.held.release(*first_);
  }
}

TEST_P(TableLocksTest, NewlyTakenAnswers) {
  TDataTableLocks& lotto = first_->RegisterTable("Lotto");
  EXPECT_TRUE(lotto.LockRead());
  EXPECT_FALSE(lotto.LockRead());  // already held: nothing more is locked
  lotto.UnlockRead();
  EXPECT_FALSE(lotto.holds_read());

  EXPECT_TRUE(lotto.LockWrite(true));  // took the transaction byte
  EXPECT_FALSE(lotto.LockWrite(true));
  EXPECT_FALSE(lotto.LockRead());  // a write lock covers reading
  lotto.UnlockRead();              // and so there is no read lock to release
  EXPECT_TRUE(lotto.holds_write());
  lotto.UnlockWrite(true);
  EXPECT_FALSE(lotto.holds_any());

  EXPECT_TRUE(lotto.LockTrans());
  EXPECT_FALSE(lotto.LockTrans());
  EXPECT_FALSE(lotto.LockWrite(false));  // inside the transaction: the range only
  EXPECT_TRUE(lotto.holds_write());
  lotto.UnlockWrite(false);
  EXPECT_TRUE(lotto.holds_trans());
  lotto.UnlockTrans();
  EXPECT_FALSE(lotto.holds_any());
}

TEST_P(TableLocksTest, FailedWriteLockLeavesNoByteHeld) {
  TDataTableLocks& reader = first_->RegisterTable("Lotto");
  TDataTableLocks& writer = second_->RegisterTable("Lotto");
  ASSERT_TRUE(reader.LockRead());
  EXPECT_EQ(CodeRaisedBy([&] { writer.LockWrite(true); }), kErrTableWriteLock);
  EXPECT_FALSE(writer.holds_any());
  // The transaction byte the failed write took first is free again.
  EXPECT_TRUE(reader.LockTrans());
  reader.UnlockTrans();
  reader.UnlockRead();
  EXPECT_TRUE(writer.LockWrite(true));
  writer.UnlockWrite(true);
}

TEST_P(TableLocksTest, WriteLockOverOwnReadLockReplacesIt) {
  TDataTableLocks& lotto = first_->RegisterTable("Lotto");
  ASSERT_TRUE(lotto.LockRead());
  EXPECT_TRUE(lotto.LockWrite(true));
  EXPECT_FALSE(lotto.holds_read());
  EXPECT_EQ(CodeRaisedBy([&] { second_->RegisterTable("Lotto").LockRead(); }), kErrTableReadLock);
  lotto.UnlockWrite(true);
  EXPECT_EQ(CodeRaisedBy([&] { second_->RegisterTable("Lotto").LockRead(); }), 0);
}

TEST_P(TableLocksTest, TablesRegisteredDuringADatabaseTransactionAreCoveredByIt) {
  first_->LockAllTrans();
  TDataTableLocks& keno = first_->RegisterTable("Keno");
  EXPECT_TRUE(keno.holds_trans());
  EXPECT_FALSE(keno.LockTrans());
  EXPECT_FALSE(keno.LockWrite(false));
  keno.UnlockWrite(false);
  EXPECT_EQ(CodeRaisedBy([&] { second_->RegisterTable("Keno").LockWrite(true); }), kErrTableWriteLock);
  first_->UnlockAllTrans();
  EXPECT_FALSE(keno.holds_any());
  EXPECT_EQ(CodeRaisedBy([&] { second_->RegisterTable("Keno").LockWrite(true); }), 0);
}

INSTANTIATE_TEST_SUITE_P(Directories, TableLocksTest,
                         ::testing::Values(Where::kDisk, Where::kDiskLargeFiles, Where::kMemory),
                         WhereName);

// The bytes each lock takes, seen from a raw handle of the lock file.
TEST(TableLockOffsets, EachLockTakesTheBytesOfTheMap) {
  struct Setting {
    bool large_files;
    uint64_t directory_base;  // first byte of the directory range
  };
  for (const Setting setting :
       {Setting{false, 4'294'901'760ull}, Setting{true, (1ull << 63) - 65'536}}) {
    TempDir dir;
    TDataEngine engine;
    lock_test::ConfigureEngine(engine, setting.large_files);
    SleepCounter sleeps;
    TDataDirectoryLocks locks(engine, dir.path(), false, "DB", lock_test::FastOptions(sleeps));
    locks.OpenLockFile();
    TDataTableLocks& first = locks.RegisterTable("First");
    TDataTableLocks& second = locks.RegisterTable("Second");
    auto raw = platform::File::Open(dir.File("veltra.lck"), {});
    ASSERT_TRUE(raw.ok());
    const uint64_t base = setting.directory_base;
    const uint64_t table_base = base - 4096;
    auto taken = [&](uint64_t offset, uint64_t length) {
      return !raw->LockRange(offset, length).ok();
    };
    auto free_now = [&](uint64_t offset, uint64_t length) {
      if (!raw->LockRange(offset, length).ok()) return false;
      return raw->UnlockRange(offset, length).ok();
    };

    ASSERT_TRUE(second.LockTrans());
    EXPECT_TRUE(taken(base - 2, 1));
    EXPECT_TRUE(free_now(base - 1, 1));
    second.UnlockTrans();

    ASSERT_TRUE(second.LockWrite(true));
    EXPECT_TRUE(taken(base - 2, 1));
    EXPECT_TRUE(taken(table_base - 2 * 65'535, 1));
    EXPECT_TRUE(taken(table_base - 65'535 - 1, 1));
    EXPECT_TRUE(free_now(table_base - 65'535, 1));  // first byte of table 1's range
    EXPECT_TRUE(free_now(table_base - 2 * 65'535 - 1, 1));
    second.UnlockWrite(true);

    ASSERT_TRUE(first.LockRead());
    const uint64_t slot_byte = table_base - 65'535 + first.read_slot() - 1;
    EXPECT_GE(first.read_slot(), 1);
    EXPECT_LE(first.read_slot(), 65'534);
    EXPECT_TRUE(taken(slot_byte, 1));
    EXPECT_TRUE(free_now(table_base - 1, 1));  // a reader never takes a range's last byte
    first.UnlockRead();

    locks.LockAllTrans();
    EXPECT_TRUE(taken(base - 4096, 1));
    EXPECT_TRUE(taken(base - 1, 1));
    EXPECT_TRUE(free_now(base, 1));
    EXPECT_TRUE(free_now(base - 4097, 1));
    locks.UnlockAllTrans();

    locks.LockAllWrite();
    EXPECT_TRUE(taken(table_base - 268'431'360, 1));
    EXPECT_TRUE(taken(table_base - 1, 1));
    EXPECT_TRUE(free_now(table_base, 1));
    EXPECT_TRUE(free_now(table_base - 268'431'361, 1));
    locks.UnlockAllWrite();
    EXPECT_TRUE(free_now(table_base - 268'431'360, 268'431'360 + 4096 + 65'535));
  }
}

}  // namespace
}  // namespace veltra
