#include "core/database_error.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace veltra {
namespace {

namespace ce = component_errors;

struct TextCase {
  std::string_view text;
  std::string_view name;
  std::string expected;
};

class DatabaseErrorTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(DatabaseErrorTextTest, RaisesTheTextWithTheNameFilledIn) {
  EXPECT_EQ(DatabaseErrorText(GetParam().text, GetParam().name), GetParam().expected);
  try {
    RaiseDatabaseError(GetParam().text, GetParam().name);
    FAIL() << "no database error was raised";
  } catch (const EDatabaseError& error) {
    EXPECT_EQ(error.what(), GetParam().expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DatabaseErrorTextTest,
    testing::Values(
        TextCase{ce::kDatasetOpen, "", "Cannot perform this operation on an open dataset"},
        TextCase{ce::kEngineExists, "", "An engine component already exists"},
        TextCase{ce::kDuplicateSessionName, "Default", "Session name 'Default' already exists"},
        TextCase{ce::kTransactionActive, "LOTTO",
                 "Database 'LOTTO' already has an active transaction"},
        TextCase{ce::kFieldNotFound, "mx", "Field 'mx' not found"},
        TextCase{ce::kBlobFieldInLocate, "NOTES",
                 "Blob field 'NOTES' not allowed in locate or lookup"},
        TextCase{ce::kFunctionParameterTypeMissing, "ADD",
                 "Function parameter data type missing for function 'ADD'"},
        TextCase{ce::kNoSqlStatement, "ignored", "No SQL statement available"},
        // A name that looks like a format stays as it is.
        TextCase{ce::kParameterNotFound, "%s%n%u", "Parameter '%s%n%u' not found"},
        TextCase{ce::kInvalidDatabaseName, "", "Database name '' is not valid"}));

}  // namespace
}  // namespace veltra
