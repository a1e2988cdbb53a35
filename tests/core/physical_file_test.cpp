// Physical files: one OS file behind every handle, positions per handle, the end of file set by a
// write of 0 bytes, the opening rules, creation that never truncates a live file, locks, and
// injected disk failures returned as engine codes with the OS error pending.
#include "core/physical_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "core/os_error.h"
#include "platform/directory.h"
#include "platform/fault_injection.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace veltra {
namespace {

using testing::TempDir;

class PhysicalFileTest : public ::testing::Test {
 protected:
  void SetUp() override { TakePendingOsError(); }

  std::string MakeOnDisk(const std::string& name, const std::string& content) {
    const std::string path = dir_.File(name);
    auto file = platform::File::CreateNew(path);
    EXPECT_TRUE(file.ok());
    EXPECT_TRUE(file->WriteAt(0, content.data(), content.size()).ok());
    return path;
  }

  TempDir dir_;
};

TEST_F(PhysicalFileTest, OsFileOpensWithTheFirstHandleAndClosesWithTheLast) {
  TPhysicalFile file(MakeOnDisk("t.dat", "0123456789"));
  EXPECT_FALSE(file.is_os_file_open());
  EXPECT_EQ(file.Size().code(), kErrInvalidFileHandle);
  const auto first = static_cast<TFileHandle>(file.Open(TFileFlags{}).value());
  const platform::FileId id = file.os_file_id();
  const auto second = static_cast<TFileHandle>(file.Open(TFileFlags{}).value());
  EXPECT_EQ(file.os_file_id(), id);
  EXPECT_EQ(file.Size().value(), 10);

  ASSERT_TRUE(file.Seek(first, TSeekOrigin::soBeginning, 6).ok());
  char bytes[4] = {};
  ASSERT_EQ(file.Read(second, bytes, 4).value(), 4);
  EXPECT_EQ(std::string(bytes, 4), "0123");  // the second handle has its own position
  ASSERT_EQ(file.Read(first, bytes, 4).value(), 4);
  EXPECT_EQ(std::string(bytes, 4), "6789");

  ASSERT_TRUE(file.Close(first).ok());
  EXPECT_TRUE(file.is_os_file_open());
  ASSERT_TRUE(file.Close(second).ok());
  EXPECT_FALSE(file.is_os_file_open());
  EXPECT_EQ(file.Close(second).code(), kErrInvalidFileHandle);
}

TEST_F(PhysicalFileTest, WriteOfZeroBytesSetsTheEndAtThePosition) {
  TPhysicalFile file(MakeOnDisk("t.dat", "0123456789"));
  const auto handle = static_cast<TFileHandle>(file.Open(TFileFlags{}).value());
  ASSERT_TRUE(file.Seek(handle, TSeekOrigin::soEnd, -4).ok());
  ASSERT_EQ(file.Write(handle, nullptr, 0).value(), 0);
  EXPECT_EQ(file.Size().value(), 6);
  ASSERT_TRUE(file.WriteAt(handle, 8, "ab", 2).ok());
  EXPECT_EQ(file.Size().value(), 10);
  EXPECT_EQ(file.Seek(handle, TSeekOrigin::soCurrent, 0).value(), 10);
}

TEST_F(PhysicalFileTest, OpeningFailuresAreEngineCodes) {
  struct Case {
    const char* label;
    std::string path;
    TFileFlags flags;
    TEngineCode expected;
  };
  ASSERT_TRUE(platform::CreateDirectory(dir_.File("folder")).ok());
  const std::string busy = MakeOnDisk("busy.dat", "x");
  auto exclusive_elsewhere = platform::File::Open(busy, {.read_only = false, .exclusive = true});
  ASSERT_TRUE(exclusive_elsewhere.ok());
  const Case cases[] = {
      {"missing", dir_.File("missing.dat"), {}, kErrTableNotFound},
      {"missing directory", dir_.File("none/t.dat"), {}, kErrTableNotFound},
      {"a directory", dir_.File("folder"), {}, kErrAccessDenied},
      {"held exclusively", busy, {}, kErrAccessDenied},
      {"held exclusively, read-only asked", busy, {.read_only = true}, kErrAccessDenied},
  };
  for (const Case& c : cases) {
    TPhysicalFile file(c.path);
    EXPECT_EQ(file.Open(c.flags).code(), c.expected) << c.label;
    EXPECT_EQ(file.open_count(), 0u);
  }
}

TEST_F(PhysicalFileTest, ReadOnlyAttributeGivesAReadOnlyForcedOpen) {
  const std::string path = MakeOnDisk("t.dat", "rows");
  ASSERT_TRUE(platform::SetReadOnly(path, true).ok());
  TPhysicalFile file(path);
  const auto handle = static_cast<TFileHandle>(file.Open(TFileFlags{.exclusive = true}).value());
  EXPECT_TRUE(file.read_only());
  EXPECT_TRUE(file.forced_read_only());
  EXPECT_TRUE(file.exclusive());
  EXPECT_EQ(file.WriteAt(handle, 0, "x", 1).code(), kErrInvalidFileHandle);
  EXPECT_EQ(file.WriteAt(handle, 0, nullptr, 0).code(), kErrInvalidFileHandle);
  EXPECT_TRUE(file.LockRange(0, 1));  // locks still work
  EXPECT_TRUE(file.UnlockRange(0, 1));
}

TEST_F(PhysicalFileTest, CreateReplacesOnlyAFileNobodyHasOpen) {
  const std::string path = MakeOnDisk("t.dat", "old rows");
  {
    auto outside = platform::File::Open(path, {.read_only = true, .exclusive = false});
    ASSERT_TRUE(outside.ok());
    TPhysicalFile file(path);
    EXPECT_EQ(file.Create(TFileFlags{}).code(), kErrAccessDenied);
    EXPECT_EQ(*outside->Size(), 8u);
  }
  TPhysicalFile file(path);
  ASSERT_TRUE(file.Create(TFileFlags{}).ok());
  EXPECT_EQ(file.Size().value(), 0);
  EXPECT_TRUE(file.exclusive());

  TPhysicalFile again(path);
  EXPECT_EQ(again.Create(TFileFlags{.must_be_new = true}).code(), kErrAccessDenied);
}

TEST_F(PhysicalFileTest, RenameAndDeleteWorkOnClosedFilesOnly) {
  const std::string path = MakeOnDisk("t.dat", "x");
  TPhysicalFile file(path);
  const auto handle = static_cast<TFileHandle>(file.Open(TFileFlags{}).value());
  EXPECT_EQ(file.Rename(dir_.File("u.dat")).code(), kErrAccessDenied);
  EXPECT_EQ(file.Delete().code(), kErrAccessDenied);
  ASSERT_TRUE(file.Close(handle).ok());

  MakeOnDisk("taken.dat", "y");
  EXPECT_EQ(file.Rename(dir_.File("taken.dat")).code(), kErrAccessDenied);  // never replaces
  ASSERT_TRUE(file.Rename(dir_.File("u.dat")).ok());
  EXPECT_EQ(file.name(), dir_.File("u.dat"));
  EXPECT_TRUE(platform::FileExists(dir_.File("u.dat")));
  ASSERT_TRUE(file.Delete().ok());
  EXPECT_FALSE(platform::FileExists(dir_.File("u.dat")));
}

TEST_F(PhysicalFileTest, LocksRefuseTheSameHandleTwice) {
  TPhysicalFile file(MakeOnDisk("t.dat", "x"));
  EXPECT_FALSE(file.LockRange(10, 1));  // no OS file yet
  const auto handle = static_cast<TFileHandle>(file.Open(TFileFlags{}).value());
  const uint64_t far = (uint64_t{1} << 62);
  EXPECT_TRUE(file.LockRange(far, 65535));
  EXPECT_FALSE(file.LockRange(far + 100, 1));
  EXPECT_FALSE(file.UnlockRange(far, 1));
  EXPECT_TRUE(file.UnlockRange(far, 65535));
  EXPECT_EQ(PendingOsError(), 0);  // refusals are answers, not errors
  ASSERT_TRUE(file.Close(handle).ok());
}

TEST_F(PhysicalFileTest, InjectedDiskFailuresReturnCodesWithTheOsErrorPending) {
  if (!platform::kFaultInjectionBuilt) GTEST_SKIP() << "fault injection is not built in";
  struct Case {
    const char* label;
    platform::FaultOperation operation;
    platform::FaultKind kind;
    int os_error;
  };
  const Case cases[] = {
      {"write EIO", platform::FaultOperation::foWrite, platform::FaultKind::fkIoError, EIO},
      {"write ENOSPC", platform::FaultOperation::foWrite, platform::FaultKind::fkNoSpace, ENOSPC},
      {"short write", platform::FaultOperation::foWrite, platform::FaultKind::fkShortWrite, ENOSPC},
      {"read EIO", platform::FaultOperation::foRead, platform::FaultKind::fkIoError, EIO},
      {"flush EIO", platform::FaultOperation::foFlush, platform::FaultKind::fkIoError, EIO},
  };
  TPhysicalFile file(MakeOnDisk("t.dat", "0123456789"));
  const auto handle = static_cast<TFileHandle>(file.Open(TFileFlags{}).value());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    char bytes[8] = "abcdefg";
    TFileResult result = TFileResult::Done();
    {
      platform::ScopedFault fault({.operation = c.operation, .nth = 1, .kind = c.kind});
      ASSERT_TRUE(fault.armed());
      switch (c.operation) {
        case platform::FaultOperation::foWrite:
          result = file.WriteAt(handle, 2, bytes, sizeof bytes);
          break;
        case platform::FaultOperation::foRead:
          result = file.ReadAt(handle, 0, bytes, sizeof bytes);
          break;
        default:
          result = file.Flush(handle);
          break;
      }
    }
    EXPECT_EQ(result.code(), kErrUnknownOsError);
    EXPECT_EQ(TakePendingOsError(), c.os_error);
  }
}

}  // namespace
}  // namespace veltra
