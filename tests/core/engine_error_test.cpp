#include "core/engine_error.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/os_error.h"

namespace veltra {
namespace {

// Runs `raise`, which must raise an engine error, and returns the error.
template <typename Raise>
EVELTRAEngineError Caught(Raise raise) {
  try {
    raise();
  } catch (const EVELTRAEngineError& error) {
    return error;
  }
  ADD_FAILURE() << "no engine error was raised";
  return EVELTRAEngineError(TErrorContextFields{});
}

TEST(RaiseEngineError, MessageIsThePrefixTheCodeAndTheFilledText) {
  auto error = Caught([] { RaiseEngineError(11010, {.table = "LOTTO"}); });
  EXPECT_STREQ(error.what(),
               "VELTRA Engine Error # 11010 Table or backup file 'LOTTO' does not exist");
  EXPECT_EQ(error.EngineCode(), 11010);

  auto unknown = Caught([] { RaiseEngineError(4242); });
  EXPECT_STREQ(unknown.what(), "VELTRA Engine Error # 4242 An unknown error occurred");
}

TEST(RaiseEngineError, CopiesEveryContextField) {
  auto error = Caught([] {
    RaiseEngineError(11949, {.remote = "r",
                             .user = "u",
                             .database = "d",
                             .table = "t",
                             .field = "f",
                             .index = "i",
                             .message = "m",
                             .procedure = "p",
                             .event = "e",
                             .line = 7,
                             .column = 9});
  });
  EXPECT_EQ(error.EngineCode(), 11949);
  EXPECT_EQ(error.ContextOsError(), 0);
  EXPECT_EQ(error.ContextSocketError(), 0);
  EXPECT_EQ(error.ContextRemote(), "r");
  EXPECT_EQ(error.ContextUser(), "u");
  EXPECT_EQ(error.ContextDatabase(), "d");
  EXPECT_EQ(error.ContextTable(), "t");
  EXPECT_EQ(error.ContextField(), "f");
  EXPECT_EQ(error.ContextIndex(), "i");
  EXPECT_EQ(error.ContextMessage(), "m");
  EXPECT_EQ(error.ContextProcedure(), "p");
  EXPECT_EQ(error.ContextEvent(), "e");
  EXPECT_EQ(error.ContextLine(), 7);
  EXPECT_EQ(error.ContextColumn(), 9);
  EXPECT_STREQ(error.what(),
               "VELTRA Engine Error # 11949 SQL parsing error - m at line 7, column 9");
}

TEST(RaiseEngineError, ClearsWhatThePreviousErrorLeftInTheContext) {
  Caught([] { RaiseEngineError(10051, {.table = "A", .message = "m", .line = 4, .column = 5}); });
  auto error = Caught([] { RaiseEngineError(9729, {.index = "BYID"}); });
  EXPECT_EQ(error.ContextTable(), "");
  EXPECT_EQ(error.ContextMessage(), "");
  EXPECT_EQ(error.ContextLine(), 0);
  EXPECT_EQ(error.ContextColumn(), 0);
  EXPECT_STREQ(
      error.what(),
      "VELTRA Engine Error # 9729 Duplicate key found in the index 'BYID' of the table ''");
}

TEST(RaiseEngineError, CutsContextTextsTo255Characters) {
  const std::string long_name(300, 'n');
  auto error = Caught([&] {
    RaiseEngineError(
        9729, {.user = long_name, .table = long_name, .index = long_name, .event = long_name});
  });
  EXPECT_EQ(error.ContextUser(), long_name.substr(0, kMaxContextTextLength));
  EXPECT_EQ(error.ContextTable().size(), kMaxContextTextLength);
  EXPECT_EQ(error.ContextIndex().size(), kMaxContextTextLength);
  EXPECT_EQ(error.ContextEvent().size(), kMaxContextTextLength);
  // The message text after the prefix and code is cut to 254 characters.
  const std::string prefix = "VELTRA Engine Error # 9729 ";
  EXPECT_EQ(std::string(error.what()).size(), prefix.size() + kMaxMessageLength);
}

TEST(RaiseEngineError, IsADatabaseError) {
  EXPECT_THROW(RaiseEngineError(8706, {.table = "T"}), EDatabaseError);
  EXPECT_THROW(RaiseEngineError(8706, {.table = "T"}), std::exception);
}

TEST(MessageOfCode, ReadsTheContextTheLastRaiseLeft) {
  Caught([] { RaiseEngineError(9729, {.table = "DRAWS", .index = "BYNUMBER"}); });
  EXPECT_EQ(MessageOfCode(10027),
            "The secondary index 'BYNUMBER' already exists for the table 'DRAWS'");
}

TEST(CodeOfError, IsTheEngineCodeOfAnEngineErrorAndUnknownOsErrorOtherwise) {
  auto engine_error = Caught([] { RaiseEngineError(10031, {.table = "T"}); });
  EXPECT_EQ(CodeOfError(engine_error), 10031);
  EXPECT_EQ(CodeOfError(static_cast<const std::exception&>(engine_error)), 10031);
  EXPECT_EQ(CodeOfError(std::runtime_error("boom")), 11047);
  EXPECT_EQ(CodeOfError(EDatabaseError("Field 'X' not found")), 11047);

  EXPECT_EQ(CodeOfError(std::make_exception_ptr(engine_error)), 10031);
  EXPECT_EQ(CodeOfError(std::make_exception_ptr(std::logic_error("x"))), 11047);
  EXPECT_EQ(CodeOfError(std::make_exception_ptr(42)), 11047);
  EXPECT_EQ(CodeOfError(std::exception_ptr{}), 11047);
}

TEST(TErrorContext, CanBeOwnedApartFromTheProcessContext) {
  TErrorContext own;
  try {
    own.Raise(8709, {.table = "OWN"});
  } catch (const EVELTRAEngineError& error) {
    EXPECT_EQ(error.ContextTable(), "OWN");
  }
  EXPECT_EQ(own.MessageOfCode(8710), "Record not found in the table 'OWN'");
}

// Threads raising at the same time each get an error whose fields and message agree.
TEST(RaiseEngineError, ConcurrentRaisesGetConsistentCopies) {
  constexpr int kThreads = 4;
  constexpr int kRaisesEach = 500;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &mismatches] {
      const std::string table = "T" + std::to_string(t);
      const std::string index = "I" + std::to_string(t);
      const std::string expected = "VELTRA Engine Error # 9729 Duplicate key found in the index '" +
                                   index + "' of the table '" + table + "'";
      for (int i = 0; i < kRaisesEach; ++i) {
        try {
          RaiseEngineError(9729, {.table = table, .index = index});
        } catch (const EVELTRAEngineError& error) {
          if (error.what() != expected || error.ContextTable() != table) ++mismatches[t];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace veltra
