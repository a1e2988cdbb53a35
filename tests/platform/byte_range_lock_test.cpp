// Byte-range locks through File: the conflict matrix within a handle, between handles of one
// process and between processes, exact unlocks, the far end of the lock space, locks of killed
// processes, and locks through read-only handles.
#include "platform/byte_range_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "platform/file.h"
#include "support/file_holder_child.h"
#include "support/temp_dir.h"

namespace veltra::platform {
namespace {

using testing::FileHolderChild;
using testing::TempDir;

constexpr uint64_t kTop = kLockSpaceEnd;  // one past the highest lockable byte
constexpr uint64_t kDirectoryRange = kTop - 65535;
constexpr OpenMode kSharedReadWrite{false, false};
constexpr OpenMode kSharedReadOnly{true, false};
constexpr uid_t kNobody = 65534;

File OpenOrDie(const std::string& path, OpenMode mode) {
  OsResult<File> file = File::Open(path, mode);
  if (!file.ok()) ADD_FAILURE() << "open " << path << ": errno " << file.error();
  return file.ok() ? std::move(*file) : File();
}

// A small file; every lock below lies far beyond its end.
std::string MakeFile(const TempDir& dir) {
  std::string path = dir.File("table.dat");
  OsResult<File> file = File::CreateNew(path);
  EXPECT_TRUE(file.ok());
  EXPECT_TRUE(file->WriteAt(0, "0123456789", 10).ok());
  return path;
}

struct Range {
  uint64_t offset;
  uint64_t length;
};

struct ConflictCase {
  const char* name;
  Range held;
  Range asked;
  bool granted;
};

const ConflictCase kConflictCases[] = {
    {"same range", {1000, 100}, {1000, 100}, false},
    {"first byte", {1000, 100}, {1000, 1}, false},
    {"last byte", {1000, 100}, {1099, 1}, false},
    {"containing", {1000, 100}, {0, 5000}, false},
    {"over the end", {1000, 100}, {1050, 100}, false},
    {"adjacent above", {1000, 100}, {1100, 100}, true},
    {"adjacent below", {1000, 100}, {900, 100}, true},
    {"top byte", {kTop - 1, 1}, {kTop - 1, 1}, false},
    {"directory range and a slot in it", {kDirectoryRange, 65535}, {kTop - 2, 1}, false},
    {"slot beside the directory range", {kDirectoryRange, 65535}, {kDirectoryRange - 1, 1}, true},
    {"whole lock space", {0, kTop}, {1ull << 40, 1}, false},
};

// Who asks for the second range, in the same process.
enum class Asker { kSameHandle, kOtherHandle, kOtherReadOnlyHandle };

TEST(ByteRangeLock, ConflictsWithinOneProcessFollowTheBytesWhoeverHoldsThem) {
  TempDir dir;
  std::string path = MakeFile(dir);
  for (const ConflictCase& c : kConflictCases) {
    for (Asker asker : {Asker::kSameHandle, Asker::kOtherHandle, Asker::kOtherReadOnlyHandle}) {
      File holder = OpenOrDie(path, kSharedReadWrite);
      File other = OpenOrDie(
          path, asker == Asker::kOtherReadOnlyHandle ? kSharedReadOnly : kSharedReadWrite);
      File& second = asker == Asker::kSameHandle ? holder : other;
      SCOPED_TRACE(std::string(c.name) + ", asker " + std::to_string(static_cast<int>(asker)));
      ASSERT_TRUE(holder.LockRange(c.held.offset, c.held.length).ok());
      OsStatus asked = second.LockRange(c.asked.offset, c.asked.length);
      EXPECT_EQ(asked.ok(), c.granted);
      if (!c.granted) {
        EXPECT_EQ(asked.error(), EAGAIN);
      }
    }
  }
}

TEST(ByteRangeLock, ConflictsBetweenProcessesFollowTheBytesInBothDirections) {
  TempDir dir;
  std::string path = MakeFile(dir);
  FileHolderChild child(path);
  ASSERT_EQ(child.Open(kSharedReadWrite), 0);
  File mine = OpenOrDie(path, kSharedReadWrite);
  for (const ConflictCase& c : kConflictCases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(child.Lock(c.held.offset, c.held.length), 0);
    OsStatus asked = mine.LockRange(c.asked.offset, c.asked.length);
    EXPECT_EQ(asked.ok(), c.granted);
    if (asked.ok()) {
      ASSERT_TRUE(mine.UnlockRange(c.asked.offset, c.asked.length).ok());
    }
    ASSERT_EQ(child.Unlock(c.held.offset, c.held.length), 0);

    ASSERT_TRUE(mine.LockRange(c.held.offset, c.held.length).ok());
    int answer = child.Lock(c.asked.offset, c.asked.length);
    EXPECT_EQ(answer, c.granted ? 0 : EAGAIN);
    if (answer == 0) {
      ASSERT_EQ(child.Unlock(c.asked.offset, c.asked.length), 0);
    }
    ASSERT_TRUE(mine.UnlockRange(c.held.offset, c.held.length).ok());
  }
}

TEST(ByteRangeLock, UnlockMustNameExactlyAHeldRangeOfThisHandle) {
  TempDir dir;
  std::string path = MakeFile(dir);
  FileHolderChild child(path);
  ASSERT_EQ(child.Open(kSharedReadWrite), 0);
  File holder = OpenOrDie(path, kSharedReadWrite);
  File other = OpenOrDie(path, kSharedReadWrite);
  ASSERT_TRUE(holder.LockRange(1000, 100).ok());

  struct BadUnlock {
    const char* name;
    File* handle;
    Range range;
  };
  const BadUnlock cases[] = {
      {"sub-range", &holder, {1000, 50}},    {"super-range", &holder, {900, 300}},
      {"shifted", &holder, {1001, 100}},     {"never locked", &holder, {5000, 1}},
      {"other handle", &other, {1000, 100}},
  };
  for (const BadUnlock& c : cases) {
    EXPECT_EQ(c.handle->UnlockRange(c.range.offset, c.range.length).error(), ENOLCK) << c.name;
    // Nothing was released, not even part of the range.
    EXPECT_EQ(other.LockRange(1000, 1).error(), EAGAIN) << c.name;
    EXPECT_EQ(child.Lock(1099, 1), EAGAIN) << c.name;
  }
  EXPECT_EQ(child.Unlock(1000, 100), ENOLCK);

  ASSERT_TRUE(holder.UnlockRange(1000, 100).ok());
  EXPECT_EQ(child.Lock(1000, 100), 0);
  EXPECT_EQ(holder.UnlockRange(1000, 100).error(), ENOLCK);  // once only
}

TEST(ByteRangeLock, MalformedRangesAreRefusedWithoutTouchingTheFile) {
  TempDir dir;
  std::string path = MakeFile(dir);
  File file = OpenOrDie(path, kSharedReadWrite);
  const Range cases[] = {{100, 0}, {kShareLockOffset, 1}, {kTop - 5, 6}, {1, UINT64_MAX}};
  for (const Range& c : cases) {
    EXPECT_EQ(file.LockRange(c.offset, c.length).error(), EINVAL) << c.offset << "+" << c.length;
    EXPECT_EQ(file.UnlockRange(c.offset, c.length).error(), EINVAL);
  }
  File closed;
  EXPECT_EQ(closed.LockRange(0, 1).error(), EBADF);
}

TEST(ByteRangeLock, ClosingAHandleReleasesItsLocksButNotThoseOfOtherHandles) {
  TempDir dir;
  std::string path = MakeFile(dir);
  FileHolderChild child(path);
  ASSERT_EQ(child.Open(kSharedReadWrite), 0);
  File keeper = OpenOrDie(path, kSharedReadWrite);
  ASSERT_TRUE(keeper.LockRange(10, 1).ok());
  {
    File passing = OpenOrDie(path, kSharedReadWrite);
    ASSERT_TRUE(passing.LockRange(20, 1).ok());
  }
  EXPECT_EQ(child.Lock(10, 1), EAGAIN);  // closing another descriptor dropped nothing
  EXPECT_EQ(child.Lock(20, 1), 0);
  ASSERT_TRUE(keeper.Close().ok());
  EXPECT_EQ(child.Lock(10, 1), 0);
}

TEST(ByteRangeLock, LocksOfAKilledProcessAreReleased) {
  TempDir dir;
  std::string path = MakeFile(dir);
  FileHolderChild child(path);
  ASSERT_EQ(child.Open(kSharedReadWrite), 0);
  ASSERT_EQ(child.Lock(kDirectoryRange, 65535), 0);
  File mine = OpenOrDie(path, kSharedReadWrite);
  ASSERT_EQ(mine.LockRange(kDirectoryRange + 7, 1).error(), EAGAIN);
  child.Kill();
  EXPECT_TRUE(mine.LockRange(kDirectoryRange, 65535).ok());
}

TEST(ByteRangeLock, UnlockingEveryRangeKeepsTheShareMode) {
  TempDir dir;
  std::string path = MakeFile(dir);
  FileHolderChild child(path);
  File mine = OpenOrDie(path, kSharedReadWrite);
  ASSERT_TRUE(mine.LockRange(0, kTop).ok());
  ASSERT_TRUE(mine.UnlockRange(0, kTop).ok());
  EXPECT_EQ(child.Open(OpenMode{false, true}), EBUSY);
}

TEST(ByteRangeLock, ReadOnlyHandleLocksExcludeEveryone) {
  TempDir dir;
  std::string path = MakeFile(dir);
  FileHolderChild child(path);
  ASSERT_EQ(child.Open(kSharedReadWrite), 0);
  File reader = OpenOrDie(path, kSharedReadOnly);
  File writer = OpenOrDie(path, kSharedReadWrite);
  ASSERT_TRUE(reader.read_only());
  ASSERT_TRUE(reader.LockRange(kTop - 100, 1).ok());
  EXPECT_EQ(reader.LockRange(kTop - 100, 1).error(), EAGAIN);
  EXPECT_EQ(writer.LockRange(kTop - 100, 1).error(), EAGAIN);
  EXPECT_EQ(child.Lock(kTop - 100, 1), EAGAIN);
  ASSERT_TRUE(reader.UnlockRange(kTop - 100, 1).ok());
  EXPECT_EQ(child.Lock(kTop - 100, 1), 0);
}

// A process that may not write the file gets a read-only descriptor, whose locks are read locks
// at the system level: they must still conflict with a writable handle's locks both ways.
TEST(ByteRangeLock, ReadLocksOfAnUnwritableFileConflictWithWritableHandles) {
  TempDir dir;
  std::string path = MakeFile(dir);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  FileHolderChild child(path);
  File writer = OpenOrDie(path, kSharedReadWrite);  // before the file loses its write bits
  ASSERT_TRUE(SetReadOnly(path, true).ok());
  ASSERT_EQ(child.BecomeUser(kNobody), 0);
  ASSERT_EQ(child.Open(kSharedReadOnly), 0);
  ASSERT_EQ(child.TakesReadLocks(), 1);

  ASSERT_EQ(child.Lock(5000, 10), 0);
  EXPECT_EQ(writer.LockRange(5005, 1).error(), EAGAIN);
  ASSERT_TRUE(writer.LockRange(6000, 10).ok());
  EXPECT_EQ(child.Lock(6009, 1), EAGAIN);
}

TEST(ByteRangeLock, ThreadsRacingForOneRangeOfOneHandleGetItOnce) {
  TempDir dir;
  std::string path = MakeFile(dir);
  File file = OpenOrDie(path, kSharedReadWrite);
  constexpr int kThreads = 8;
  constexpr int kRounds = 50;
  for (int round = 0; round < kRounds; ++round) {
    std::atomic<int> granted{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&] {
        while (!go.load()) std::this_thread::yield();
        if (file.LockRange(700, 10).ok()) granted.fetch_add(1);
      });
    }
    go.store(true);
    for (std::thread& thread : threads) thread.join();
    ASSERT_EQ(granted.load(), 1) << "round " << round;
    ASSERT_TRUE(file.UnlockRange(700, 10).ok());
  }
}

TEST(ScopedRangeLock, HoldsTheRangeUntilReleasedOrDestroyed) {
  TempDir dir;
  std::string path = MakeFile(dir);
  File holder = OpenOrDie(path, kSharedReadWrite);
  File other = OpenOrDie(path, kSharedReadWrite);
  {
    OsResult<ScopedRangeLock> guard = ScopedRangeLock::Acquire(holder, 40, 2);
    ASSERT_TRUE(guard.ok());
    EXPECT_EQ(ScopedRangeLock::Acquire(other, 41, 1).error(), EAGAIN);
  }
  OsResult<ScopedRangeLock> guard = ScopedRangeLock::Acquire(other, 41, 1);
  ASSERT_TRUE(guard.ok());
  EXPECT_TRUE(guard->Release().ok());
  EXPECT_TRUE(guard->Release().ok());  // already released: nothing to do
  EXPECT_TRUE(holder.LockRange(41, 1).ok());
}

}  // namespace
}  // namespace veltra::platform
