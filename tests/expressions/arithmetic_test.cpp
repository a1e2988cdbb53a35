// Arithmetic: results by operand types, NULL operands, and every overflow, division by zero and
// out-of-range case giving NULL instead of a wrapped value or undefined behaviour.
#include "expressions/arithmetic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <ostream>

#include "test_trees.h"

namespace veltra {
namespace {

using namespace test_trees;
using O = TOperator;
using T = TDataType;

struct ArithmeticCase {
  const char* name;
  std::function<Node()> build;
  std::optional<std::string> text;  // nullopt: NULL
};

void PrintTo(const ArithmeticCase& c, std::ostream* os) { *os << c.name; }

Node Bin(O op, Node l, Node r, T result, uint8_t scale = 0) {
  Node n = Binary(op, std::move(l), std::move(r), result);
  n->Scale = scale;
  return n;
}

constexpr int32_t kMinInt = std::numeric_limits<int32_t>::min();
constexpr int32_t kMaxInt = std::numeric_limits<int32_t>::max();
constexpr int64_t kMinLarge = std::numeric_limits<int64_t>::min();
constexpr int64_t kMaxLarge = std::numeric_limits<int64_t>::max();

const ArithmeticCase kCases[] = {
    // Integers, exact or NULL.
    {"IntAdd", [] { return Bin(O::opAdd, Int(2), Small(3), T::dtInteger); }, "5"},
    {"IntAddOverflow", [] { return Bin(O::opAdd, Int(kMaxInt), Int(1), T::dtInteger); },
     std::nullopt},
    {"IntSubtractOverflow", [] { return Bin(O::opSubtract, Int(kMinInt), Int(1), T::dtInteger); },
     std::nullopt},
    {"IntMultiplyOverflow", [] { return Bin(O::opMultiply, Int(65536), Int(65536), T::dtInteger); },
     std::nullopt},
    {"WordTimesWordFitsInteger",
     [] { return Bin(O::opMultiply, Word(65535), Word(2), T::dtInteger); }, "131070"},
    {"LargeAdd", [] { return Bin(O::opAdd, Large(kMaxLarge - 1), Int(1), T::dtLargeInt); },
     "9223372036854775807"},
    {"LargeAddOverflow", [] { return Bin(O::opAdd, Large(kMaxLarge), Int(1), T::dtLargeInt); },
     std::nullopt},
    {"LargeMultiplyMinByMinusOne",
     [] { return Bin(O::opMultiply, Large(kMinLarge), Int(-1), T::dtLargeInt); }, std::nullopt},
    {"ModSignOfDividend", [] { return Bin(O::opMod, Int(-7), Int(3), T::dtInteger); }, "-1"},
    {"ModByZero", [] { return Bin(O::opMod, Int(7), Int(0), T::dtInteger); }, std::nullopt},
    {"MinIntModMinusOne", [] { return Bin(O::opMod, Int(kMinInt), Int(-1), T::dtInteger); }, "0"},
    {"MinLargeModMinusOne",
     [] { return Bin(O::opMod, Large(kMinLarge), Large(-1), T::dtLargeInt); }, "0"},
    // Division is a float division; by zero NULL.
    {"IntDivideIsFloat", [] { return Bin(O::opDivide, Int(7), Int(2), T::dtFloat); }, "3.5"},
    {"DivideByZero", [] { return Bin(O::opDivide, Int(7), Int(0), T::dtFloat); }, std::nullopt},
    {"FloatDivideByZero", [] { return Bin(O::opDivide, Float(1), Float(0), T::dtFloat); },
     std::nullopt},
    {"FloatPlusInt", [] { return Bin(O::opAdd, Float(0.5), Int(2), T::dtFloat); }, "2.5"},
    // Decimal numbers in fixed point with four places.
    {"BcdAdd", [] { return Bin(O::opAdd, Bcd("1.25", 2), Int(2), T::dtBcd, 2); }, "3.25"},
    {"BcdMultiplyRoundsHalfAway",
     [] { return Bin(O::opMultiply, Bcd("0.0005", 4), Bcd("0.5", 1), T::dtBcd, 4); }, "0.0003"},
    {"BcdDivide", [] { return Bin(O::opDivide, Bcd("10", 0), Int(3), T::dtBcd, 4); }, "3.3333"},
    {"BcdDivideByZero", [] { return Bin(O::opDivide, Bcd("1", 0), Int(0), T::dtBcd, 4); },
     std::nullopt},
    {"BcdMultiplyOverflow",
     [] { return Bin(O::opMultiply, Bcd("900000000000", 0), Bcd("900000000000", 0), T::dtBcd); },
     std::nullopt},
    {"BcdAddOverflow",
     [] { return Bin(O::opAdd, Bcd("900000000000000", 0), Large(kMaxLarge / 20000), T::dtBcd); },
     std::nullopt},
    {"BcdBeyondFixedRange",
     [] { return Bin(O::opAdd, Bcd("99999999999999999999", 0), Int(1), T::dtBcd); }, std::nullopt},
    // NULL operands give NULL; texts concatenate with NULL as empty.
    {"NullPlusInt", [] { return Bin(O::opAdd, Null(T::dtInteger), Int(1), T::dtInteger); },
     std::nullopt},
    {"UntypedNullPlusInt", [] { return Bin(O::opAdd, Null(), Int(1), T::dtInteger); },
     std::nullopt},
    {"FloatTimesNull", [] { return Bin(O::opMultiply, Float(2), Null(T::dtFloat), T::dtFloat); },
     std::nullopt},
    {"ConcatNullIsText", [] { return Bin(O::opAdd, Str("ab"), Null(T::dtString), T::dtString); },
     "ab"},
    {"Concat", [] { return Bin(O::opAdd, Str("ab"), Str("cd"), T::dtString); }, "abcd"},
    // Dates, times and timestamps.
    {"DatePlusDays", [] { return Bin(O::opAdd, Date(733000), Int(31), T::dtDate); }, "2007-12-21"},
    {"DaysPlusDate", [] { return Bin(O::opAdd, Int(1), Date(733000), T::dtDate); }, "2007-11-21"},
    {"DatePlusLargeUsesLow32Bits",
     [] { return Bin(O::opAdd, Date(733000), Large((int64_t{1} << 32) + 1), T::dtDate); },
     "2007-11-21"},
    {"DateMinusDate", [] { return Bin(O::opSubtract, Date(733010), Date(733000), T::dtInteger); },
     "10"},
    {"DatePlusOverflow", [] { return Bin(O::opAdd, Date(kMaxInt - 1), Int(5), T::dtDate); },
     std::nullopt},
    {"TimeMinusTime", [] { return Bin(O::opSubtract, Time(5000), Time(1500), T::dtInteger); },
     "3500"},
    {"TimePlusMilliseconds", [] { return Bin(O::opAdd, Time(3600000), Int(60000), T::dtTime); },
     "01:01"},
    {"TimestampMinusDate",
     [] { return Bin(O::opSubtract, Stamp(86400000.0 * 2 + 5), Date(2), T::dtFloat); }, "5"},
    {"TimestampMinusTime",
     [] { return Bin(O::opSubtract, Stamp(86400000.0 * 2 + 5), Time(5), T::dtFloat); },
     "172800000"},
};

class Arithmetic : public ::testing::TestWithParam<ArithmeticCase> {};

TEST_P(Arithmetic, GivesTheExactResultOrNull) {
  Node node = GetParam().build();
  EXPECT_EQ(ValueTextOf(EvalTree(*node)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Operators, Arithmetic, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Arithmetic, TimestampPlusMillisecondsMovesTheTimestamp) {
  Node node = Bin(O::opAdd, Stamp(86400000.0 * 700000), Int(1500), T::dtTimestamp);
  EXPECT_EQ(FloatOf(EvalTree(*node)), 86400000.0 * 700000 + 1500);
}

struct NegateCase {
  const char* name;
  std::function<Node()> operand;
  std::optional<std::string> text;
};

void PrintTo(const NegateCase& c, std::ostream* os) { *os << c.name; }

const NegateCase kNegateCases[] = {
    {"Int", [] { return Int(5); }, "-5"},
    {"MinInt", [] { return Int(kMinInt); }, std::nullopt},
    {"MinSmall", [] { return Small(-32768); }, std::nullopt},
    {"MinLarge", [] { return Large(kMinLarge); }, std::nullopt},
    {"WordZero", [] { return Word(0); }, "0"},
    {"WordPositive", [] { return Word(3); }, std::nullopt},
    {"Float", [] { return Float(1.5); }, "-1.5"},
    {"Bcd", [] { return Bcd("2.50", 2); }, "-2.5"},
    {"BcdZeroStaysZero", [] { return Bcd("0", 2); }, "0"},
    {"Null", [] { return Null(T::dtInteger); }, std::nullopt},
    {"UntypedNull", [] { return Null(); }, std::nullopt},
};

class Negate : public ::testing::TestWithParam<NegateCase> {};

TEST_P(Negate, NegatesInTheOperandsTypeOrGivesNull) {
  Node operand = GetParam().operand();
  T type = operand->DataType;
  uint8_t scale = operand->Scale;
  Node node = Unary(O::opNegate, std::move(operand), type);
  node->Scale = scale;
  EXPECT_EQ(ValueTextOf(EvalTree(*node)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Unary, Negate, ::testing::ValuesIn(kNegateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Arithmetic, ConcatenationGrowsABufferSmallerThanTheResult) {
  std::string a(900, 'a');
  std::string b(900, 'b');
  Node node = Bin(O::opAdd, Str(a), Str(b), T::dtBlob);
  node->SubType = TDataSubType::dsMemo;
  node->SetDataSize(10);
  EXPECT_EQ(TextOf(EvalTree(*node)), a + b);
}

TEST(FloatToInteger, OutOfRangeAndNaNHaveNoInteger) {
  EXPECT_EQ(FloatToInt64(-2.9), -2);
  EXPECT_EQ(FloatToInt64(std::nan("")), std::nullopt);
  EXPECT_EQ(FloatToInt64(9.3e18), std::nullopt);
  EXPECT_EQ(FloatToInt64(-9223372036854775808.0), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(FloatToInt64(std::numeric_limits<double>::infinity()), std::nullopt);
  EXPECT_EQ(FloatToInt32(2147483647.9), 2147483647);
  EXPECT_EQ(FloatToInt32(2147483648.0), std::nullopt);
  EXPECT_EQ(FloatToInt32(-2147483648.5), -2147483648);
}

}  // namespace
}  // namespace veltra
