// The directory lock object in one process: creating and seeding the lock file, registering
// names, damaged and read-only lock files, opens that keep failing, and what a crash part-way
// through a registration leaves for the next reader.
#include "storage/directory_locks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "core/file_registry.h"
#include "core/os_error.h"
#include "lock_test_support.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace veltra {
namespace {

using lock_test::CodeRaisedBy;
using lock_test::FileBytes;
using lock_test::SleepCounter;
using lock_test::TouchFile;
using lock_test::WriteBytes;
using testing::TempDir;

class DirectoryLocksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TakePendingOsError();
    lock_test::ConfigureEngine(engine_, false);
  }
  void TearDown() override {
    if (!read_only_file_.empty()) (void)platform::SetReadOnly(read_only_file_, false);
  }

  std::unique_ptr<TDataDirectoryLocks> Make() {
    return std::make_unique<TDataDirectoryLocks>(engine_, dir_.path(), false, "DB",
                                                 lock_test::FastOptions(sleeps_));
  }
  std::unique_ptr<TDataDirectoryLocks> Open() {
    auto locks = Make();
    locks->OpenLockFile();
    return locks;
  }
  std::string LockPath() const { return dir_.File("veltra.lck"); }

  TempDir dir_;
  TDataEngine engine_;
  SleepCounter sleeps_;
  std::string read_only_file_;
};

TEST_F(DirectoryLocksTest, FreshDirectoryGetsTheTablesPresentInListingOrder) {
  TouchFile(dir_.File("b.dat"));
  TouchFile(dir_.File("A.dat"));
  TouchFile(dir_.File("notes.txt"));
  TouchFile(dir_.File("A.idx"));
  auto locks = Open();
  const std::vector<uint8_t> expected = {
      1, 0,   0, 0,  // counter of a new file
      8, 0,   0, 0,  // L = 4 + 2 + 2
      1, 'A',        // id 1
      1, 'b',        // id 2
  };
  EXPECT_EQ(FileBytes(LockPath()), expected);
  EXPECT_EQ(locks->state(), TLockFileState::lsShared);
  ASSERT_EQ(locks->entry_count(), 2u);
  EXPECT_EQ(locks->entry(1).table_name(), "b");
  EXPECT_EQ(locks->entry(1).table_id(), 2);
}

TEST_F(DirectoryLocksTest, NewNameIsAppendedWithTheNextIdAndCounter) {
  TouchFile(dir_.File("Lotto.dat"));
  auto locks = Open();
  TDataTableLocks& mini = locks->RegisterTable("Mini");
  EXPECT_EQ(mini.table_id(), 2);
  const std::vector<uint8_t> expected = {2,   0,   0,   0,   15, 0,   0,   0,   5,  'L',
                                         'o', 't', 't', 'o', 4,  'M', 'i', 'n', 'i'};
  EXPECT_EQ(FileBytes(LockPath()), expected);

  // A second object of the same process reads the same ids.
  auto other = Open();
  EXPECT_EQ(other->RegisterTable("MINI").table_id(), 2);
  EXPECT_EQ(other->RegisterTable("lotto").table_id(), 1);
  EXPECT_EQ(FileBytes(LockPath()), expected);
}

TEST_F(DirectoryLocksTest, NamesDifferingOnlyInCaseShareOneId) {
  auto locks = Open();
  const std::vector<std::vector<std::string>> spellings = {
      {"draws", "DRAWS", "Draws"}, {"Keno_2", "kENO_2"}, {"x", "X"}};
  for (const auto& group : spellings) {
    const int32_t id = locks->RegisterTable(group[0]).table_id();
    for (const std::string& spelling : group) {
      EXPECT_EQ(locks->RegisterTable(spelling).table_id(), id) << spelling;
      EXPECT_EQ(&locks->RegisterTable(spelling), locks->FindEntry(group[0]));
    }
  }
  EXPECT_EQ(locks->entry_count(), spellings.size());
}

TEST_F(DirectoryLocksTest, RegistryFullRaisesDatabaseFullAndLeavesTheFile) {
  std::vector<std::string> names;
  for (uint32_t i = 1; i <= kMaxTableId; ++i) names.push_back("t" + std::to_string(i));
  WriteBytes(LockPath(), EncodeLockFile(5, names));
  const std::vector<uint8_t> before = FileBytes(LockPath());
  auto locks = Open();
  EXPECT_EQ(locks->RegisterTable("T4096").table_id(), 4096);  // known names still resolve
  const EVELTRAEngineError error = lock_test::ErrorOf([&] { locks->RegisterTable("t4097"); });
  EXPECT_EQ(error.EngineCode(), kErrDatabaseFull);
  EXPECT_EQ(error.ContextDatabase(), "DB");
  EXPECT_EQ(FileBytes(LockPath()), before);
  // The registry write lock was released: another object can still take it.
  EXPECT_EQ(CodeRaisedBy([&] { Open()->RegisterTable("t1"); }), 0);
}

TEST_F(DirectoryLocksTest, UnusableNamesAreRefusedBeforeTouchingTheFile) {
  auto locks = Open();
  const std::vector<uint8_t> before = FileBytes(LockPath());
  for (const std::string& name : {std::string(), std::string(256, 'n')}) {
    EXPECT_EQ(CodeRaisedBy([&] { locks->RegisterTable(name); }), kErrInvalidTableFile) << name.size();
  }
  EXPECT_EQ(locks->RegisterTable(std::string(255, 'n')).table_id(), 1);
  EXPECT_NE(FileBytes(LockPath()), before);
}

TEST_F(DirectoryLocksTest, DamagedLockFileRaisesAndIsNotRewritten) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> too_many = {1, 0, 0, 0, 0, 0, 0, 0};
  const int32_t too_many_length = 4 + static_cast<int32_t>(kMaxTableId) + 1;
  too_many[4] = static_cast<uint8_t>(too_many_length);
  too_many[5] = static_cast<uint8_t>(too_many_length >> 8);
  too_many.resize(8 + kMaxTableId + 1, 0);  // 4097 empty entries
  const Case cases[] = {
      {"shorter than the head", {1, 0, 0}},
      {"negative length", {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"length below its own size", {1, 0, 0, 0, 3, 0, 0, 0}},
      {"length past the largest registry", {1, 0, 0, 0, 0, 0, 0, 0x10}},
      {"file ends inside the registry", {1, 0, 0, 0, 9, 0, 0, 0, 1, 'a'}},
      {"entry runs past the length", {1, 0, 0, 0, 7, 0, 0, 0, 5, 'a', 'b', 'c', 'd', 'e'}},
      {"too many ids", too_many},
  };
  for (const Case& c : cases) {
    WriteBytes(LockPath(), c.bytes);
    auto locks = Make();
    const EVELTRAEngineError error = lock_test::ErrorOf([&] { locks->OpenLockFile(); });
    EXPECT_EQ(error.EngineCode(), kErrInvalidTableFile) << c.what;
    EXPECT_EQ(error.ContextTable(), LockPath()) << c.what;
    EXPECT_FALSE(error.ContextMessage().empty()) << c.what;
    EXPECT_EQ(locks->state(), TLockFileState::lsClosed) << c.what;
    EXPECT_EQ(FileBytes(LockPath()), c.bytes) << c.what;
  }
}

TEST_F(DirectoryLocksTest, RegistryThatNoLongerExtendsTheKnownOneIsDamage) {
  auto locks = Open();
  locks->RegisterTable("Lotto");
  const std::vector<std::string> rewritten = {"Other", "Mini"};
  WriteBytes(LockPath(), EncodeLockFile(9, rewritten));
  EXPECT_EQ(CodeRaisedBy([&] { locks->RegisterTable("Keno"); }), kErrInvalidTableFile);
  EXPECT_EQ(FileBytes(LockPath()), EncodeLockFile(9, rewritten));
}

TEST_F(DirectoryLocksTest, EmptyFileLeftByADeadCreatorIsSeededByTheNextOpener) {
  TouchFile(dir_.File("Lotto.dat"));
  TouchFile(LockPath());
  auto locks = Open();
  const std::vector<std::string> names = {"Lotto"};
  EXPECT_EQ(FileBytes(LockPath()), EncodeLockFile(1, names));
}

TEST_F(DirectoryLocksTest, CrashPartWayThroughARegistrationLeavesASoundRegistry) {
  const std::vector<std::string> old_names = {"Lotto"};
  const std::vector<std::string> new_names = {"Lotto", "Mini"};
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int32_t mini_id;  // the id "Mini" gets afterwards
  };
  // Entries written, L and counter not: the bytes after L are ignored.
  std::vector<uint8_t> entries_only = EncodeLockFile(1, old_names);
  entries_only.insert(entries_only.end(), {4, 'D', 'e', 'a', 'd'});
  // Entries and L written, counter not: the entry counts.
  std::vector<uint8_t> length_too = EncodeLockFile(1, new_names);
  const Case cases[] = {{"entries only", entries_only, 2}, {"entries and length", length_too, 2}};
  for (const Case& c : cases) {
    WriteBytes(LockPath(), EncodeLockFile(1, old_names));
    auto reader = Open();  // has seen counter 1 and the old length
    WriteBytes(LockPath(), c.bytes);
    EXPECT_EQ(reader->RegisterTable("Mini").table_id(), c.mini_id) << c.what;
    auto fresh = Open();
    EXPECT_EQ(fresh->RegisterTable("Mini").table_id(), c.mini_id) << c.what;
    EXPECT_EQ(fresh->entry_count(), 2u) << c.what;
  }
}

TEST_F(DirectoryLocksTest, CounterAtItsLargestIsFollowedByOne) {
  const std::vector<std::string> names = {"Lotto"};
  WriteBytes(LockPath(), EncodeLockFile(std::numeric_limits<int32_t>::max(), names));
  auto locks = Open();
  locks->RegisterTable("Mini");
  EXPECT_EQ(locks->head_seen().counter, 1);
  EXPECT_EQ(FileBytes(LockPath())[0], 1);
}

TEST_F(DirectoryLocksTest, BusyLockFileIsRetriedThenRaises) {
  struct Case {
    const char* what;
    uint32_t release_after_sleeps;  // 0: never
    TEngineCode code;
    uint32_t sleeps;
  };
  const Case cases[] = {
      {"held for good", 0, kErrAccessDenied, 10},
      {"released after three pauses", 3, 0, 3},
  };
  for (const Case& c : cases) {
    TouchFile(LockPath());
    auto holder = platform::File::Open(LockPath(), {.exclusive = true});
    ASSERT_TRUE(holder.ok());
    uint32_t sleeps = 0;
    TDirectoryLockOptions options = lock_test::FastOptions(sleeps_);
    options.sleeper = [&](uint32_t ms) {
      EXPECT_EQ(ms, 100u);
      if (++sleeps == c.release_after_sleeps) (void)holder->Close();
    };
    TDataDirectoryLocks locks(engine_, dir_.path(), false, "DB", options);
    EXPECT_EQ(CodeRaisedBy([&] { locks.OpenLockFile(); }), c.code) << c.what;
    EXPECT_EQ(sleeps, c.sleeps) << c.what;
    EXPECT_EQ(locks.state(), c.code == 0 ? TLockFileState::lsShared : TLockFileState::lsClosed);
  }
}

TEST_F(DirectoryLocksTest, ReadOnlyLockFileAllowsReadsAndRefusesEveryChange) {
  TouchFile(dir_.File("Lotto.dat"));
  Open();  // seeds the registry
  const std::vector<uint8_t> before = FileBytes(LockPath());
  ASSERT_TRUE(platform::SetReadOnly(LockPath(), true).ok());
  read_only_file_ = LockPath();

  auto locks = Open();
  EXPECT_EQ(locks->state(), TLockFileState::lsReadOnly);
  EXPECT_FALSE(locks->ChangesAllowed());
  TDataTableLocks& lotto = locks->RegisterTable("LOTTO");
  EXPECT_EQ(lotto.table_id(), 1);
  EXPECT_TRUE(lotto.LockRead());
  lotto.UnlockRead();
  TDataTableLocks& unknown = locks->RegisterTable("Unknown");
  EXPECT_EQ(unknown.table_id(), 0);
  EXPECT_TRUE(unknown.LockRead());
  unknown.UnlockRead();

  const std::vector<std::function<void()>> changes = {
      [&] { lotto.LockWrite(true); },   [&] { lotto.LockWrite(false); },
      [&] { lotto.LockTrans(); },       [&] { locks->LockAllTrans(); },
      [&] { locks->LockAllWrite(); },   [&] { locks->CheckChangesAllowed(); },
      [&] { unknown.LockWrite(true); },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    const EVELTRAEngineError error = lock_test::ErrorOf(changes[i]);
    EXPECT_EQ(error.EngineCode(), kErrAccessDenied) << i;
    EXPECT_EQ(error.ContextTable(), LockPath()) << i;
  }
  EXPECT_FALSE(lotto.holds_any());
  EXPECT_EQ(FileBytes(LockPath()), before);
}

TEST_F(DirectoryLocksTest, InMemoryDirectoryKeepsItsRegistryInAMemoryFile) {
  const std::string memory_dir = "Memory" + std::to_string(getpid());
  TFileRegistry& registry = engine_.FileRegistry();
  TOpenedFile table = registry.Create(memory_dir + "/Lotto.dat", true, false, false);
  ASSERT_TRUE(table.ok());
  ASSERT_TRUE(registry.Close(table.file, table.handle, true).ok());

  TDataDirectoryLocks first(engine_, memory_dir, true, "Memory", lock_test::FastOptions(sleeps_));
  first.OpenLockFile();
  EXPECT_EQ(first.lock_file_name(), memory_dir + "/veltra.lck");
  EXPECT_TRUE(registry.Exists(first.lock_file_name(), true));
  EXPECT_FALSE(registry.Exists(dir_.File("veltra.lck"), false));
  EXPECT_EQ(first.RegisterTable("Mini").table_id(), 2);

  TDataDirectoryLocks second(engine_, memory_dir + "/", true, "Memory",
                             lock_test::FastOptions(sleeps_));
  second.OpenLockFile();
  EXPECT_EQ(second.RegisterTable("lotto").table_id(), 1);
  EXPECT_EQ(second.RegisterTable("MINI").table_id(), 2);
}

}  // namespace
}  // namespace veltra
