// The lock protocol between processes: a second process reads the ids the first one gave, two
// processes registering new names at the same moment end with one registry, the locks of one
// process keep the other out, and a killed process's locks are gone at the next try.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/os_error.h"
#include "lock_test_support.h"
#include "storage/directory_locks.h"
#include "storage/table_locks.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace veltra {
namespace {

using lock_test::CodeRaisedBy;
using lock_test::SleepCounter;
using testing::ChildProcess;
using testing::ParentLink;
using testing::TempDir;

// Carries out one command on `locks` and answers "ok <id>" or "err <code>".
//   register T | read T | unread T | write T | unwrite T | trans T | untrans T | alltrans |
//   unalltrans | ids A B C (the ids of several names, registered in that order)
std::string Perform(TDataDirectoryLocks& locks, const std::string& command) {
  std::istringstream in(command);
  std::string verb;
  std::string table;
  in >> verb >> table;
  std::string answer = "ok";
  const TEngineCode code = CodeRaisedBy([&] {
    if (verb == "ids") {
      for (std::string name = table; !name.empty(); name.clear(), in >> name) {
        answer += " " + std::to_string(locks.RegisterTable(name).table_id());
      }
      return;
    }
    if (verb == "alltrans") return locks.LockAllTrans();
    if (verb == "unalltrans") return locks.UnlockAllTrans();
    TDataTableLocks& entry = locks.RegisterTable(table);
    if (verb == "register") answer += " " + std::to_string(entry.table_id());
    if (verb == "read") entry.LockRead();
    if (verb == "unread") entry.UnlockRead();
    if (verb == "write") entry.LockWrite(true);
    if (verb == "unwrite") entry.UnlockWrite(true);
    if (verb == "trans") entry.LockTrans();
    if (verb == "untrans") entry.UnlockTrans();
  });
  return code == 0 ? answer : "err " + std::to_string(code);
}

// A child that opens the directory's lock file when told "open" and then serves commands.
int ServeLocks(const std::string& directory, ParentLink& link) {
  TDataEngine engine;
  lock_test::ConfigureEngine(engine, false);
  std::unique_ptr<TDataDirectoryLocks> locks;
  for (std::string command = link.Receive(); !command.empty(); command = link.Receive()) {
    if (command == "open") {
      // Real sleeps and the registry's own retries: the children contend for the registry.
      locks = std::make_unique<TDataDirectoryLocks>(engine, directory, false, "DB");
      const TEngineCode code = CodeRaisedBy([&] { locks->OpenLockFile(); });
      link.Send(code == 0 ? "ok" : "err " + std::to_string(code));
    } else {
      link.Send(Perform(*locks, command));
    }
  }
  return 0;
}

class LockProcessesTest : public ::testing::Test {
 protected:
  void SetUp() override { TakePendingOsError(); }

  std::unique_ptr<ChildProcess> StartChild() {
    const std::string path = dir_.path();
    return std::make_unique<ChildProcess>(
        [path](ParentLink& link) { return ServeLocks(path, link); });
  }
  static std::string Ask(ChildProcess& child, const std::string& command) {
    child.Send(command);
    return child.Receive();
  }
  // The parent's own lock object; made only after the children have been forked.
  TDataDirectoryLocks& Parent() {
    if (!parent_) {
      engine_ = std::make_unique<TDataEngine>();
      lock_test::ConfigureEngine(*engine_, false);
      parent_ = std::make_unique<TDataDirectoryLocks>(*engine_, dir_.path(), false, "DB",
                                                      lock_test::FastOptions(sleeps_));
      parent_->OpenLockFile();
    }
    return *parent_;
  }

  TempDir dir_;
  SleepCounter sleeps_;
  std::unique_ptr<TDataEngine> engine_;
  std::unique_ptr<TDataDirectoryLocks> parent_;
};

TEST_F(LockProcessesTest, SecondProcessSeesTheSameIds) {
  lock_test::TouchFile(dir_.File("Lotto.dat"));
  lock_test::TouchFile(dir_.File("Keno.dat"));
  auto child = StartChild();
  ASSERT_EQ(Ask(*child, "open"), "ok");
  ASSERT_EQ(Ask(*child, "ids Multi"), "ok 3");
  EXPECT_EQ(Parent().RegisterTable("multi").table_id(), 3);
  EXPECT_EQ(Parent().RegisterTable("Keno").table_id(), 1);
  EXPECT_EQ(Parent().RegisterTable("LOTTO").table_id(), 2);
  EXPECT_EQ(Parent().RegisterTable("Mini").table_id(), 4);
  EXPECT_EQ(Ask(*child, "ids mini keno lotto"), "ok 4 1 2");
}

TEST_F(LockProcessesTest, ConcurrentRegistrationsEndWithOneRegistry) {
  constexpr int kRounds = 5;
  constexpr int kChildren = 3;
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (int i = 0; i < kChildren; ++i) children.push_back(StartChild());
  for (auto& child : children) ASSERT_EQ(Ask(*child, "open"), "ok");
  for (int round = 0; round < kRounds; ++round) {
    // Every child registers the same new names, each in its own order, all at once.
    const std::string a = "A" + std::to_string(round);
    const std::string b = "B" + std::to_string(round);
    const std::string c = "C" + std::to_string(round);
    const std::vector<std::string> orders = {a + " " + b + " " + c, c + " " + b + " " + a,
                                             b + " " + a + " " + c};
    for (int i = 0; i < kChildren; ++i) children[i]->Send("ids " + orders[i]);
    std::vector<std::string> answers;
    for (auto& child : children) answers.push_back(child->Receive());
    // All agree on every name's id.
    std::vector<std::string> canonical;
    for (auto& child : children) canonical.push_back(Ask(*child, "ids " + orders[0]));
    for (const std::string& answer : canonical) EXPECT_EQ(answer, canonical[0]) << round;
    for (const std::string& answer : answers) EXPECT_EQ(answer.substr(0, 2), "ok") << answer;
  }
  // One registry: every name once, ids 1 to 15.
  TDataDirectoryLocks& parent = Parent();
  for (int round = 0; round < kRounds; ++round) {
    for (const char* letter : {"A", "B", "C"}) parent.RegisterTable(letter + std::to_string(round));
  }
  EXPECT_EQ(parent.entry_count(), static_cast<size_t>(3 * kRounds));
  EXPECT_EQ(parent.head_seen().counter, 1 + 3 * kRounds);
}

TEST_F(LockProcessesTest, LocksOfOneProcessKeepTheOtherOut) {
  struct Case {
    const char* child_takes;
    const char* child_releases;
    std::function<void(TDataDirectoryLocks&)> parent_wants;
    std::function<void(TDataDirectoryLocks&)> parent_releases;
    TEngineCode code;
  };
  auto read = [](TDataDirectoryLocks& l) { l.RegisterTable("Lotto").LockRead(); };
  auto unread = [](TDataDirectoryLocks& l) { l.RegisterTable("Lotto").UnlockRead(); };
  auto write = [](TDataDirectoryLocks& l) { l.RegisterTable("Lotto").LockWrite(true); };
  auto unwrite = [](TDataDirectoryLocks& l) { l.RegisterTable("Lotto").UnlockWrite(true); };
  auto trans = [](TDataDirectoryLocks& l) { l.RegisterTable("Lotto").LockTrans(); };
  auto untrans = [](TDataDirectoryLocks& l) { l.RegisterTable("Lotto").UnlockTrans(); };
  const Case cases[] = {
      {"read Lotto", "unread Lotto", read, unread, 0},
      {"read Lotto", "unread Lotto", write, unwrite, kErrTableWriteLock},
      {"write Lotto", "unwrite Lotto", read, unread, kErrTableReadLock},
      {"write Lotto", "unwrite Lotto", write, unwrite, kErrTableWriteLock},
      {"trans Lotto", "untrans Lotto", write, unwrite, kErrTableWriteLock},
      {"alltrans", "unalltrans", write, unwrite, kErrTableWriteLock},
      {"trans Lotto", "untrans Lotto", trans, untrans, kErrTransactionLock},
      {"alltrans", "unalltrans", trans, untrans, kErrTransactionLock},
  };
  auto child = StartChild();
  ASSERT_EQ(Ask(*child, "open"), "ok");
  TDataDirectoryLocks& parent = Parent();
  for (const Case& c : cases) {
    ASSERT_EQ(Ask(*child, c.child_takes).substr(0, 2), "ok") << c.child_takes;
    EXPECT_EQ(CodeRaisedBy([&] { c.parent_wants(parent); }), c.code) << c.child_takes;
    if (c.code == 0) c.parent_releases(parent);
    ASSERT_EQ(Ask(*child, c.child_releases).substr(0, 2), "ok") << c.child_releases;
    EXPECT_EQ(CodeRaisedBy([&] { c.parent_wants(parent); }), 0) << c.child_takes;
    c.parent_releases(parent);
  }
}

TEST_F(LockProcessesTest, KilledProcessLocksAreGoneAtTheNextTry) {
  auto child = StartChild();
  ASSERT_EQ(Ask(*child, "open"), "ok");
  ASSERT_EQ(Ask(*child, "write Lotto"), "ok");
  ASSERT_EQ(Ask(*child, "trans Mini"), "ok");
  TDataDirectoryLocks& parent = Parent();
  TDataTableLocks& lotto = parent.RegisterTable("Lotto");
  EXPECT_EQ(CodeRaisedBy([&] { lotto.LockRead(); }), kErrTableReadLock);
  child->Kill();
  EXPECT_TRUE(lotto.LockWrite(true));
  lotto.UnlockWrite(true);
  parent.LockAllTrans();
  parent.UnlockAllTrans();
}

}  // namespace
}  // namespace veltra
