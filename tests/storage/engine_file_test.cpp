// Engine files: opening through the registry, the mode a handle really has, engine errors that
// name the file or the table, short reads, and injected disk failures raised as engine errors.
#include "storage/engine_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

#include "core/data_engine.h"
#include "core/engine_error.h"
#include "core/file_registry.h"
#include "core/os_error.h"
#include "platform/fault_injection.h"
#include "support/temp_dir.h"

namespace veltra {
namespace {

using testing::TempDir;

// The error an action raises; code 0 when it raises none.
EVELTRAEngineError ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EVELTRAEngineError& error) {
    return error;
  }
  return EVELTRAEngineError(TErrorContextFields{});
}

// A table's file: errors name the table.
class TableFile : public TEngineFile {
 public:
  using TEngineFile::TEngineFile;
  std::string Name() const override { return "LOTTO"; }
};

class EngineFileTest : public ::testing::Test {
 protected:
  void SetUp() override { TakePendingOsError(); }

  // A closed file holding `content`.
  std::string MakeFile(const std::string& name, const std::string& content) {
    TEngineFile file(engine_, dir_.File(name), false);
    file.Create();
    file.Write(content.data(), content.size());
    file.Close();
    return dir_.File(name);
  }

  TempDir dir_;
  TDataEngine engine_;
};

TEST_F(EngineFileTest, OpenOfAMissingFileNamesItInTheError) {
  const std::string path = dir_.File("missing.dat");
  TEngineFile file(engine_, path, false);
  EVELTRAEngineError error = ErrorOf([&] { file.Open(); });
  EXPECT_EQ(error.EngineCode(), kErrTableNotFound);
  EXPECT_STREQ(
      error.what(),
      ("VELTRA Engine Error # 11010 Table or backup file '" + path + "' does not exist").c_str());
  EXPECT_FALSE(file.is_open());

  TableFile table(engine_, path, false);
  EXPECT_STREQ(ErrorOf([&] { table.Open(); }).what(),
               "VELTRA Engine Error # 11010 Table or backup file 'LOTTO' does not exist");
}

TEST_F(EngineFileTest, SecondOpenGetsTheModeTheFileReallyHas) {
  const std::string path = MakeFile("t.dat", "rows");
  TEngineFile first(engine_, path, false);
  first.set_read_only(true);
  first.Open();
  TEngineFile second(engine_, path, false);
  second.Open();  // asks read-write
  EXPECT_EQ(&second.base_file(), &first.base_file());
  EXPECT_EQ(second.handle(), 2);
  EXPECT_TRUE(second.read_only());
  EXPECT_EQ(ErrorOf([&] { second.Write("x", 1); }).EngineCode(), kErrWriteError);
}

TEST_F(EngineFileTest, FileOpenInTheProcessRefusesExclusiveOpenDeleteAndRename) {
  const std::string path = MakeFile("t.dat", "rows");
  TEngineFile holder(engine_, path, false);
  holder.Open();
  TEngineFile other(engine_, path, false);
  other.set_exclusive(true);
  const std::function<void()> actions[] = {
      [&] { other.Open(); },
      [&] { other.Delete(); },
      [&] { other.Rename(dir_.File("u.dat")); },
      [&] { other.Create(); },
  };
  for (const auto& action : actions) {
    EVELTRAEngineError error = ErrorOf(action);
    EXPECT_EQ(error.EngineCode(), kErrAccessDenied);
    EXPECT_EQ(error.ContextTable(), path);
  }
  EXPECT_FALSE(other.is_open());
  holder.Close();
  other.Rename(dir_.File("u.dat"));
  EXPECT_EQ(other.file_name(), dir_.File("u.dat"));
  other.Open();  // exclusive now that nobody else has it
  EXPECT_TRUE(other.base_file().exclusive());
}

TEST_F(EngineFileTest, ShortReadRaisesUnlessAccepted) {
  TableFile file(engine_, MakeFile("t.dat", "0123456789"), false);
  file.Open();
  char bytes[8];
  EXPECT_EQ(file.ReadAt(6, bytes, sizeof bytes, true), 4u);
  EVELTRAEngineError error = ErrorOf([&] { file.ReadAt(6, bytes, sizeof bytes, false); });
  EXPECT_EQ(error.EngineCode(), kErrReadError);
  EXPECT_STREQ(error.what(),
               "VELTRA Engine Error # 9217 Error reading from the table or backup "
               "file 'LOTTO'");
  file.Seek(TSeekOrigin::soBeginning, 8);
  EXPECT_EQ(ErrorOf([&] { file.Read(bytes, 4, false); }).EngineCode(), kErrReadError);
  file.Seek(TSeekOrigin::soBeginning, 8);
  EXPECT_EQ(file.Read(bytes, 4, true), 2u);
}

TEST_F(EngineFileTest, SizeKeepsThePositionAndSeekFromTheEnd) {
  TEngineFile file(engine_, MakeFile("t.dat", "0123456789"), false);
  file.Open();
  EXPECT_EQ(file.Seek(TSeekOrigin::soBeginning, 3), 3u);
  EXPECT_EQ(file.Size(), 10u);
  EXPECT_EQ(file.Seek(TSeekOrigin::soCurrent, 0), 3u);
  EXPECT_EQ(file.Seek(TSeekOrigin::soEnd, -5), 5u);
  EXPECT_EQ(ErrorOf([&] { file.Seek(TSeekOrigin::soCurrent, -6); }).EngineCode(),
            kErrUnknownOsError);
  file.Write(nullptr, 0);  // the end moves to the position
  EXPECT_EQ(file.Size(), 5u);
}

TEST_F(EngineFileTest, SetEndCutsAndExtendsWithZeros) {
  TEngineFile file(engine_, MakeFile("t.dat", "0123456789"), false);
  file.Open();
  file.SetEnd(4);
  EXPECT_EQ(file.Size(), 4u);
  file.SetEnd(6);
  EXPECT_EQ(file.Size(), 6u);
  char bytes[6] = {};
  EXPECT_EQ(file.ReadAt(0, bytes, sizeof bytes, false), 6u);
  EXPECT_EQ(std::string(bytes, 6), std::string("0123\0\0", 6));
}

TEST_F(EngineFileTest, ClosingAndDestructionReleaseTheRegistryEntry) {
  const std::string path = MakeFile("t.dat", "rows");
  {
    TEngineFile file(engine_, path, false);
    file.Open();
    EXPECT_EQ(engine_.FileRegistry().RegisteredCount(false), 1u);
  }
  EXPECT_EQ(engine_.FileRegistry().RegisteredCount(false), 0u);
  TEngineFile file(engine_, path, false);
  file.Open();
  file.Close();
  file.Close();  // nothing more to do
  EXPECT_EQ(engine_.FileRegistry().RegisteredCount(false), 0u);
}

TEST_F(EngineFileTest, GuardedSeekAndReadSeeTheirOwnPosition) {
  TEngineFile file(engine_, MakeFile("t.dat", "0123456789"), false);
  file.Open();
  TEngineFile other(engine_, file.file_name(), false);
  other.Open();
  char bytes[3] = {};
  {
    ScopedEngineFileGuard guard(file);
    file.Seek(TSeekOrigin::soBeginning, 7);
    other.WriteAt(0, "ab", 2);  // another user of the same object, same thread: re-enters
    file.Read(bytes, 3, false);
  }
  EXPECT_EQ(std::string(bytes, 3), "789");
}

TEST_F(EngineFileTest, InjectedDiskFailuresRaiseEngineErrorsNamingTheFile) {
  if (!platform::kFaultInjectionBuilt) GTEST_SKIP() << "fault injection is not built in";
  using platform::FaultKind;
  using platform::FaultOperation;
  struct Case {
    const char* label;
    FaultOperation operation;
    FaultKind kind;
    TEngineCode code;
    int os_error;
  };
  const Case cases[] = {
      {"write EIO", FaultOperation::foWrite, FaultKind::fkIoError, kErrWriteError, EIO},
      {"write ENOSPC", FaultOperation::foWrite, FaultKind::fkNoSpace, kErrWriteError, ENOSPC},
      {"short write", FaultOperation::foWrite, FaultKind::fkShortWrite, kErrWriteError, ENOSPC},
      {"read EIO", FaultOperation::foRead, FaultKind::fkIoError, kErrReadError, EIO},
      {"short read", FaultOperation::foRead, FaultKind::fkShortWrite, kErrReadError, 0},
      {"flush EIO", FaultOperation::foFlush, FaultKind::fkIoError, kErrUnknownOsError, EIO},
      {"end of file EIO", FaultOperation::foSetEndOfFile, FaultKind::fkIoError, kErrWriteError,
       EIO},
  };
  const std::string path = MakeFile("draws.dat", "0123456789");
  TEngineFile file(engine_, path, false);
  file.Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    char bytes[8] = "abcdefg";
    platform::ScopedFault fault({.operation = c.operation, .nth = 1, .kind = c.kind});
    ASSERT_TRUE(fault.armed());
    EVELTRAEngineError error = ErrorOf([&] {
      switch (c.operation) {
        case FaultOperation::foWrite:
          file.WriteAt(2, bytes, sizeof bytes);
          break;
        case FaultOperation::foRead:
          file.ReadAt(0, bytes, sizeof bytes, false);
          break;
        case FaultOperation::foFlush:
          file.Flush();
          break;
        case FaultOperation::foSetEndOfFile:
          file.Write(nullptr, 0);
          break;
      }
    });
    EXPECT_EQ(error.EngineCode(), c.code);
    EXPECT_EQ(error.ContextOsError(), c.os_error);
    EXPECT_NE(std::string(error.what()).find("'" + path + "'"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace veltra
