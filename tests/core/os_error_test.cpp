#include "core/os_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "core/engine_error.h"

namespace veltra {
namespace {

struct OsErrorCase {
  int os_error;
  TEngineCode code;
};

class OsErrorMap : public testing::TestWithParam<OsErrorCase> {
 protected:
  void TearDown() override { TakePendingOsError(); }
};

TEST_P(OsErrorMap, MapsTheErrorNumberAndLeavesItPending) {
  EXPECT_EQ(EngineCodeOfOsError(GetParam().os_error), GetParam().code);
  EXPECT_EQ(PendingOsError(), 0);
  EXPECT_EQ(MapOsError(GetParam().os_error), GetParam().code);
  EXPECT_EQ(PendingOsError(), GetParam().os_error);
}

INSTANTIATE_TEST_SUITE_P(Errno, OsErrorMap,
                         testing::Values(OsErrorCase{ENOENT, 11010}, OsErrorCase{ENOTDIR, 11010},
                                         OsErrorCase{ENAMETOOLONG, 11010},
                                         OsErrorCase{ELOOP, 11010}, OsErrorCase{EMFILE, 11012},
                                         OsErrorCase{ENFILE, 11012}, OsErrorCase{EACCES, 11013},
                                         OsErrorCase{EPERM, 11013}, OsErrorCase{EROFS, 11013},
                                         OsErrorCase{EISDIR, 11013}, OsErrorCase{EEXIST, 11013},
                                         OsErrorCase{EBUSY, 11013}, OsErrorCase{ETXTBSY, 11013},
                                         OsErrorCase{EBADF, 11014}, OsErrorCase{ENOMEM, 11016},
                                         OsErrorCase{ENODEV, 11023}, OsErrorCase{ENXIO, 11023},
                                         OsErrorCase{EXDEV, 11025}, OsErrorCase{EIO, 11047},
                                         OsErrorCase{ENOSPC, 11047}, OsErrorCase{EAGAIN, 11047},
                                         OsErrorCase{0, 11047}, OsErrorCase{-1, 11047},
                                         OsErrorCase{1450, 11047}));

EVELTRAEngineError RaiseAndCatch(TEngineCode code, std::string_view table) {
  try {
    RaiseEngineError(code, {.table = table});
  } catch (const EVELTRAEngineError& error) {
    return error;
  }
  return EVELTRAEngineError(TErrorContextFields{});
}

TEST(MapLastOsError, ErrnoReachesTheNextRaisedErrorAndIsConsumed) {
  errno = EIO;
  TEngineCode code = MapLastOsError();
  ASSERT_EQ(code, 11047);

  auto first = RaiseAndCatch(code, "LOTTO");
  EXPECT_EQ(first.ContextOsError(), EIO);
  EXPECT_STREQ(first.what(),
               "VELTRA Engine Error # 11047 An unknown operating system error 5 occurred with the "
               "table or backup file 'LOTTO'");
  EXPECT_EQ(PendingOsError(), 0);

  auto second = RaiseAndCatch(code, "LOTTO");
  EXPECT_EQ(second.ContextOsError(), 0);
  EXPECT_STREQ(second.what(),
               "VELTRA Engine Error # 11047 An unknown operating system error 0 occurred with the "
               "table or backup file 'LOTTO'");
}

TEST(MapLastOsError, MappedCodeNamesTheTable) {
  errno = ENOENT;
  auto error = RaiseAndCatch(MapLastOsError(), "MINI.dat");
  EXPECT_EQ(error.ContextOsError(), ENOENT);
  EXPECT_STREQ(error.what(),
               "VELTRA Engine Error # 11010 Table or backup file 'MINI.dat' does not exist");
}

TEST(PendingSocketError, ReachesTheNextRaisedErrorAndIsConsumed) {
  SetPendingSocketError(10054);
  try {
    RaiseEngineError(11276, {.remote = "srv"});
  } catch (const EVELTRAEngineError& error) {
    EXPECT_EQ(error.ContextSocketError(), 10054);
  }
  EXPECT_EQ(TakePendingSocketError(), 0);
}

// One thread maps an error number and waits; another raises meanwhile. The other's error must
// not carry the number, and the first thread's own raise must.
TEST(PendingOsError, BelongsToTheThreadThatMappedIt) {
  MapOsError(EACCES);
  EVELTRAEngineError other_error(TErrorContextFields{});
  int other_pending = -1;
  std::thread other([&] {
    other_pending = PendingOsError();
    other_error = RaiseAndCatch(11013, "OTHER");
  });
  other.join();
  EXPECT_EQ(other_pending, 0);
  EXPECT_EQ(other_error.ContextOsError(), 0);

  auto mine = RaiseAndCatch(11013, "MINE");
  EXPECT_EQ(mine.ContextOsError(), EACCES);
}

}  // namespace
}  // namespace veltra
