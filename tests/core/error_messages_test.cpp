#include "core/error_messages.h"

#include <gtest/gtest.h>

#include <string>

namespace veltra {
namespace {

// A context with every field set to a value of its own, so a message that reads a wrong field
// shows it.
TErrorContextFields FullContext() {
  TErrorContextFields fields;
  fields.engine_code = 1;
  fields.os_error = 5;
  fields.socket_error = 10054;
  fields.remote = "srv:12005";
  fields.user = "ADAM";
  fields.database = "/data/lotto";
  fields.table = "LOTTO";
  fields.field = "DATE";
  fields.index = "BYDATE";
  fields.message = "Expected FROM";
  fields.procedure = "PURGE";
  fields.event = "NIGHTLY";
  fields.line = 3;
  fields.column = 17;
  return fields;
}

struct MessageCase {
  TEngineCode code;
  std::string expected;
};

class MessageOfCodeTest : public testing::TestWithParam<MessageCase> {};

TEST_P(MessageOfCodeTest, FillsThePlaceholdersFromTheNamedFieldsInOrder) {
  EXPECT_EQ(MessageOfCode(GetParam().code, FullContext()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, MessageOfCodeTest,
    testing::Values(
        MessageCase{8705, "Beginning of table 'LOTTO' unexpectedly encountered"},
        MessageCase{9480, "The database '/data/lotto' is full and cannot contain any more tables"},
        MessageCase{9729, "Duplicate key found in the index 'BYDATE' of the table 'LOTTO'"},
        MessageCase{9732, "A value must be provided for the field 'DATE' in the table 'LOTTO'"},
        MessageCase{10023,
                    "Invalid field number 'DATE' specified in the index 'BYDATE' for the table "
                    "'LOTTO'"},
        MessageCase{10051,
                    "Filter error for the table 'LOTTO' - Expected FROM at line 3, column 17"},
        MessageCase{11010, "Table or backup file 'LOTTO' does not exist"},
        MessageCase{11016,
                    "There is insufficient operating system memory available for the current "
                    "operation"},
        MessageCase{11047,
                    "An unknown operating system error 5 occurred with the table or backup file "
                    "'LOTTO'"},
        MessageCase{11279,
                    "An unknown error ('Expected FROM') occurred with the connection to the "
                    "database server at 'srv:12005', please check the server log"},
        MessageCase{11288,
                    "The user 'ADAM' is not authorized to perform this operation with the "
                    "database '/data/lotto' on the database server at 'srv:12005'"},
        MessageCase{11290, "The user name is either invalid or blank"},
        MessageCase{11306,
                    "The event 'NIGHTLY' does not exist on the database server at "
                    "'srv:12005'"},
        MessageCase{11949, "SQL parsing error - Expected FROM at line 3, column 17"},
        MessageCase{11950, "SQL execution error - Expected FROM"},
        MessageCase{12292,
                    "Invalid field 'DATE' specified for the index 'BYDATE' in the table "
                    "'LOTTO'"},
        MessageCase{15878,
                    "The locale support for the table 'LOTTO' is not available or installed"},
        // Codes without a message of their own, inside and outside the table's range.
        MessageCase{0, "An unknown error occurred"}, MessageCase{8707, "An unknown error occurred"},
        MessageCase{11284, "An unknown error occurred"},
        MessageCase{65535, "An unknown error occurred"}));

TEST(MessageOfCode, CodeWithoutPlaceholdersIgnoresTheContext) {
  EXPECT_EQ(MessageOfCode(11290, TErrorContextFields{}), MessageOfCode(11290, FullContext()));
}

TEST(MessageOfCode, NumbersPrintAsUnsignedDecimals) {
  TErrorContextFields fields;
  fields.table = "T";
  fields.os_error = -1;
  EXPECT_EQ(MessageOfCode(11047, fields),
            "An unknown operating system error 4294967295 occurred with the table or backup "
            "file 'T'");
  fields.message = "x";
  fields.line = 0;
  fields.column = 2147483647;
  EXPECT_EQ(MessageOfCode(11949, fields), "SQL parsing error - x at line 0, column 2147483647");
}

TEST(MessageOfCode, ContextTextIsPrintedLiterallyNeverAsAFormat) {
  TErrorContextFields fields;
  fields.table = "%s%n%u%%";
  fields.message = "%s at %u";
  EXPECT_EQ(MessageOfCode(11010, fields), "Table or backup file '%s%n%u%%' does not exist");
  EXPECT_EQ(MessageOfCode(11309, fields),
            "An error occurred during the import into the table '%s%n%u%%' - %s at %u");
}

TEST(MessageOfCode, LongResultIsCutTo254Characters) {
  TErrorContextFields fields;
  fields.table = std::string(255, 'T');
  fields.message = std::string(255, 'M');
  std::string message = MessageOfCode(11309, fields);
  std::string expected = "An error occurred during the import into the table '" + fields.table;
  expected.resize(kMaxMessageLength);
  EXPECT_EQ(message, expected);

  // A result of exactly 254 characters stays whole; one more is cut.
  const std::string prefix = "SQL execution error - ";
  fields.message = std::string(kMaxMessageLength - prefix.size(), 'x');
  EXPECT_EQ(MessageOfCode(11950, fields), prefix + fields.message);
  fields.message += 'y';
  EXPECT_EQ(MessageOfCode(11950, fields).size(), kMaxMessageLength);
  EXPECT_EQ(MessageOfCode(11950, fields).back(), 'x');
}

TEST(MessageOfCode, KnowsExactlyTheCodesWithMessages) {
  EXPECT_TRUE(HasMessageOfCode(8705));
  EXPECT_TRUE(HasMessageOfCode(15878));
  EXPECT_FALSE(HasMessageOfCode(8707));
  EXPECT_FALSE(HasMessageOfCode(11311));
}

}  // namespace
}  // namespace veltra
