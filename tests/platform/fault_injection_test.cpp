// Injected I/O failures surface from File as the errno results a failing disk gives, with the
// on-disk effect such a failure has.
#include "platform/fault_injection.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/file.h"
#include "support/temp_dir.h"

namespace veltra::platform {
namespace {

using testing::TempDir;

constexpr char kOld[] = "AAAAAAAA";
constexpr char kNew[] = "BBBBBBBB";
constexpr size_t kSize = 8;

class FaultInjection : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kFaultInjectionBuilt) GTEST_SKIP() << "fault injection is not built in";
    OsResult<File> file = File::CreateNew(dir_.File("f.dat"));
    ASSERT_TRUE(file.ok());
    file_ = std::move(*file);
    ASSERT_TRUE(file_.WriteAt(0, kOld, kSize).ok());
  }
  void TearDown() override { DisarmAllFaults(); }

  // Runs one operation of the kind; a read reports its byte count through `bytes_read`.
  OsStatus Perform(FaultOperation operation, size_t* bytes_read = nullptr) {
    switch (operation) {
      case FaultOperation::foRead: {
        char buffer[kSize];
        OsResult<size_t> got = file_.ReadAt(0, buffer, kSize);
        if (got.ok() && bytes_read != nullptr) *bytes_read = *got;
        return got.status();
      }
      case FaultOperation::foWrite:
        return file_.WriteAt(0, kNew, kSize);
      case FaultOperation::foFlush:
        return file_.Flush();
      case FaultOperation::foSetEndOfFile:
        return file_.SetEndOfFile(2);
    }
    return OsError{EINVAL};
  }

  std::string Content() {
    std::string bytes(64, '\0');
    DisarmFault(FaultOperation::foRead);
    bytes.resize(*file_.ReadAt(0, bytes.data(), bytes.size()));
    return bytes;
  }

  TempDir dir_;
  File file_;
};

struct FaultCase {
  const char* name;
  FaultOperation operation;
  FaultKind kind;
  int error;            // what the failing operation reports
  std::string content;  // the file afterwards
};

TEST_F(FaultInjection, TheArmedOperationFailsWithTheDisksErrorAndItsEffect) {
  const FaultCase cases[] = {
      {"write EIO", FaultOperation::foWrite, FaultKind::fkIoError, EIO, kOld},
      {"write ENOSPC", FaultOperation::foWrite, FaultKind::fkNoSpace, ENOSPC, kOld},
      {"short write", FaultOperation::foWrite, FaultKind::fkShortWrite, ENOSPC, "BBBBAAAA"},
      {"read EIO", FaultOperation::foRead, FaultKind::fkIoError, EIO, kOld},
      {"flush EIO", FaultOperation::foFlush, FaultKind::fkIoError, EIO, kOld},
      {"flush ENOSPC", FaultOperation::foFlush, FaultKind::fkNoSpace, ENOSPC, kOld},
      {"set end EIO", FaultOperation::foSetEndOfFile, FaultKind::fkIoError, EIO, kOld},
      {"set end, short kind", FaultOperation::foSetEndOfFile, FaultKind::fkShortWrite, EIO, kOld},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(file_.WriteAt(0, kOld, kSize).ok());
    uint64_t fired = FaultsFired(c.operation);
    ASSERT_TRUE(ArmFault(FaultPlan{c.operation, 1, c.kind, false}));
    EXPECT_EQ(Perform(c.operation).error(), c.error);
    EXPECT_EQ(FaultsFired(c.operation), fired + 1);
    EXPECT_EQ(Content(), c.content);
    EXPECT_TRUE(Perform(c.operation).ok()) << "the fault fires once";
  }
}

TEST_F(FaultInjection, AShortReadLooksLikeTheEndOfTheFile) {
  ASSERT_TRUE(ArmFault(FaultPlan{FaultOperation::foRead, 1, FaultKind::fkShortWrite, false}));
  size_t bytes_read = 0;
  ASSERT_TRUE(Perform(FaultOperation::foRead, &bytes_read).ok());
  EXPECT_EQ(bytes_read, kSize / 2);
}

TEST_F(FaultInjection, TheNthOperationOfItsOwnKindFails) {
  ASSERT_TRUE(ArmFault(FaultPlan{FaultOperation::foWrite, 3, FaultKind::fkIoError, false}));
  EXPECT_TRUE(Perform(FaultOperation::foWrite).ok());
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(Perform(FaultOperation::foRead).ok());  // other kinds do not count
  }
  EXPECT_TRUE(Perform(FaultOperation::foFlush).ok());
  EXPECT_TRUE(Perform(FaultOperation::foWrite).ok());
  EXPECT_EQ(Perform(FaultOperation::foWrite).error(), EIO);
  EXPECT_TRUE(Perform(FaultOperation::foWrite).ok());
}

TEST_F(FaultInjection, APersistentFaultFailsEveryLaterOperationUntilDisarmed) {
  {
    ScopedFault fault(FaultPlan{FaultOperation::foFlush, 2, FaultKind::fkNoSpace, true});
    ASSERT_TRUE(fault.armed());
    EXPECT_TRUE(Perform(FaultOperation::foFlush).ok());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Perform(FaultOperation::foFlush).error(), ENOSPC);
  }
  EXPECT_TRUE(Perform(FaultOperation::foFlush).ok());
}

TEST_F(FaultInjection, ArmingAgainRestartsTheCountAndNthZeroArmsNothing) {
  ASSERT_TRUE(ArmFault(FaultPlan{FaultOperation::foWrite, 2, FaultKind::fkIoError, false}));
  EXPECT_TRUE(Perform(FaultOperation::foWrite).ok());
  ASSERT_TRUE(ArmFault(FaultPlan{FaultOperation::foWrite, 2, FaultKind::fkNoSpace, false}));
  EXPECT_TRUE(Perform(FaultOperation::foWrite).ok());
  EXPECT_EQ(Perform(FaultOperation::foWrite).error(), ENOSPC);
  EXPECT_FALSE(ArmFault(FaultPlan{FaultOperation::foWrite, 0, FaultKind::fkIoError, false}));
  EXPECT_TRUE(Perform(FaultOperation::foWrite).ok());
}

}  // namespace
}  // namespace veltra::platform
