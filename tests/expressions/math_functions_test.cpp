// The math functions over hand-typed trees: rounding half away from zero, truncation, CEILING and
// FLOOR as large integers, the smallest integers under ABS and MOD, and math errors as NULL.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "function_fixture.h"

namespace veltra::function_test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct NumberCase {
  const char* label;
  std::function<Node()> build;
  std::optional<double> expected;  // nullopt: NULL
};

TEST(MathFunctions, RoundingAndFloatFunctions) {
  const NumberCase cases[] = {
      {"ROUND half up", [] { return Fn(O::opRound, Of(D::dtFloat), Float(2.5)); }, 3},
      {"ROUND half away from zero", [] { return Fn(O::opRound, Of(D::dtFloat), Float(-2.5)); }, -3},
      {"ROUND to places as written",
       [] { return Fn(O::opRound, Of(D::dtFloat), Float(2.675), Int(2)); }, 2.68},
      {"ROUND 1.005 to 2 places",
       [] { return Fn(O::opRound, Of(D::dtFloat), Float(1.005), Int(2)); }, 1.01},
      {"ROUND with negative places counts 0",
       [] { return Fn(O::opRound, Of(D::dtFloat), Float(12.5), Int(-1)); }, 13},
      {"ROUND NULL places", [] { return Fn(O::opRound, Of(D::dtFloat), Float(1.5), NullOf()); },
       std::nullopt},
      {"ROUND of a decimal",
       [] { return Fn(O::opRound, Of(D::dtBcd, 4), Bcd("12.345", 4), Int(2)); }, 12.35},
      {"ROUND of a negative decimal",
       [] { return Fn(O::opRound, Of(D::dtBcd, 4), Bcd("-12.345", 4), Int(2)); }, -12.35},
      {"TRUNC toward zero", [] { return Fn(O::opTrunc, Of(D::dtFloat), Float(-2.7)); }, -2},
      {"TRUNC to places", [] { return Fn(O::opTrunc, Of(D::dtFloat), Float(0.29), Int(2)); }, 0.29},
      {"TRUNC of a decimal",
       [] { return Fn(O::opTrunc, Of(D::dtBcd, 4), Bcd("12.3456", 4), Int(3)); }, 12.345},
      {"ABS of a float", [] { return Fn(O::opAbs, Of(D::dtFloat), Float(-2.5)); }, 2.5},
      {"ABS of a decimal", [] { return Fn(O::opAbs, Of(D::dtBcd, 2), Bcd("-1.5", 2)); }, 1.5},
      {"SQRT of a negative number", [] { return Fn(O::opSqrt, Of(D::dtFloat), Int(-1)); },
       std::nullopt},
      {"LOG of 0", [] { return Fn(O::opLog, Of(D::dtFloat), Int(0)); }, std::nullopt},
      {"COT of 0", [] { return Fn(O::opCot, Of(D::dtFloat), Float(0)); }, std::nullopt},
      {"LOG10", [] { return Fn(O::opLog10, Of(D::dtFloat), Large(1000)); }, 3},
      {"EXP overflow", [] { return Fn(O::opExp, Of(D::dtFloat), Float(1e6)); }, std::nullopt},
      {"POWER", [] { return Fn(O::opPower, Of(D::dtFloat), Int(2), Small(10)); }, 1024},
      {"ATAN2 (y, x)", [] { return Fn(O::opATan2, Of(D::dtFloat), Int(1), Int(0)); },
       3.141592653589793 / 2},
      {"DEGREES", [] { return Fn(O::opDegrees, Of(D::dtFloat), Float(3.141592653589793)); }, 180},
      {"RADIANS of a decimal", [] { return Fn(O::opRadians, Of(D::dtFloat), Bcd("180", 0)); },
       3.141592653589793},
      {"PI", [] { return Fn(O::opPi, Of(D::dtFloat)); }, 3.141592653589793},
      {"a NaN argument", [] { return Fn(O::opSin, Of(D::dtFloat), Float(kNaN)); }, std::nullopt},
  };
  for (const NumberCase& c : cases) {
    Node node = c.build();
    std::optional<double> got = FloatResult(EvaluateTree(*node));
    if (!c.expected) {
      EXPECT_EQ(got, std::nullopt) << c.label;
    } else {
      ASSERT_TRUE(got.has_value()) << c.label;
      EXPECT_NEAR(*got, *c.expected, 1e-12) << c.label;
    }
  }
}

TEST(MathFunctions, RoundingZeroGivesPositiveZero) {
  Node node = Fn(O::opRound, Of(D::dtFloat), Float(-0.4));
  EXPECT_FALSE(std::signbit(*FloatResult(EvaluateTree(*node))));
}

struct IntegerCase {
  const char* label;
  std::function<Node()> build;
  D result_type;
  std::optional<int64_t> expected;
};

TEST(MathFunctions, IntegerResultsNeverOverflow) {
  constexpr int64_t kMinLarge = std::numeric_limits<int64_t>::min();
  const IntegerCase cases[] = {
      {"CEILING of a float", [] { return Fn(O::opCeiling, Of(D::dtLargeInt), Float(2.1)); },
       D::dtLargeInt, 3},
      {"CEILING of a negative float",
       [] { return Fn(O::opCeiling, Of(D::dtLargeInt), Float(-2.1)); }, D::dtLargeInt, -2},
      {"FLOOR of a negative float", [] { return Fn(O::opFloor, Of(D::dtLargeInt), Float(-2.1)); },
       D::dtLargeInt, -3},
      {"CEILING beyond the large integers",
       [] { return Fn(O::opCeiling, Of(D::dtLargeInt), Float(1e30)); }, D::dtLargeInt,
       std::nullopt},
      {"FLOOR of NaN", [] { return Fn(O::opFloor, Of(D::dtLargeInt), Float(kNaN)); }, D::dtLargeInt,
       std::nullopt},
      {"CEILING of a decimal", [] { return Fn(O::opCeiling, Of(D::dtLargeInt), Bcd("2.0001", 4)); },
       D::dtLargeInt, 3},
      {"FLOOR of a negative decimal",
       [] { return Fn(O::opFloor, Of(D::dtLargeInt), Bcd("-2.0001", 4)); }, D::dtLargeInt, -3},
      {"CEILING of an integer", [] { return Fn(O::opCeiling, Of(D::dtLargeInt), Int(-7)); },
       D::dtLargeInt, -7},
      {"ABS", [] { return Fn(O::opAbs, Of(D::dtInteger), Int(-5)); }, D::dtInteger, 5},
      {"ABS of the smallest integer",
       [] { return Fn(O::opAbs, Of(D::dtInteger), Int(std::numeric_limits<int32_t>::min())); },
       D::dtInteger, std::nullopt},
      {"ABS of the smallest small integer",
       [] { return Fn(O::opAbs, Of(D::dtSmallInt), Small(-32768)); }, D::dtSmallInt, std::nullopt},
      {"ABS of the smallest large integer",
       [] { return Fn(O::opAbs, Of(D::dtLargeInt), Large(kMinLarge)); }, D::dtLargeInt,
       std::nullopt},
      {"MOD keeps the dividend's sign",
       [] { return Fn(O::opMod, Of(D::dtInteger), Int(-7), Int(3)); }, D::dtInteger, -1},
      {"MOD by a negative divisor", [] { return Fn(O::opMod, Of(D::dtInteger), Int(7), Int(-3)); },
       D::dtInteger, 1},
      {"MOD by 0", [] { return Fn(O::opMod, Of(D::dtInteger), Int(7), Int(0)); }, D::dtInteger,
       std::nullopt},
      {"MOD of the smallest integer by -1",
       [] {
         return Fn(O::opMod, Of(D::dtInteger), Int(std::numeric_limits<int32_t>::min()), Int(-1));
       },
       D::dtInteger, 0},
      {"MOD of the smallest large integer by -1",
       [] { return Fn(O::opMod, Of(D::dtLargeInt), Large(kMinLarge), Large(-1)); }, D::dtLargeInt,
       0},
      {"MOD with a large divisor",
       [] { return Fn(O::opMod, Of(D::dtLargeInt), Int(5), Large(int64_t{1} << 40)); },
       D::dtLargeInt, 5},
      {"ROUND leaves integers", [] { return Fn(O::opRound, Of(D::dtInteger), Int(17), Int(2)); },
       D::dtInteger, 17},
      {"SIGN", [] { return Fn(O::opSign, Of(D::dtInteger), Large(-3)); }, D::dtInteger, -1},
      {"SIGN of zero", [] { return Fn(O::opSign, Of(D::dtInteger), Float(0)); }, D::dtInteger, 0},
      {"SIGN of a decimal", [] { return Fn(O::opSign, Of(D::dtInteger), Bcd("0.01", 2)); },
       D::dtInteger, 1},
      {"ABS of an untyped NULL", [] { return Fn(O::opAbs, Of(D::dtInteger), NullOf()); },
       D::dtInteger, std::nullopt},
  };
  for (const IntegerCase& c : cases) {
    Node node = c.build();
    EXPECT_EQ(IntResult(EvaluateTree(*node)), c.expected) << c.label;
    EXPECT_EQ(node->DataType, c.result_type) << c.label;
  }
}

TEST(MathFunctions, RandStaysInItsRange) {
  Node unit = Fn(O::opRand, Of(D::dtFloat));
  Node ranged = Fn(O::opRand, Of(D::dtFloat), Int(10));
  for (int i = 0; i < 200; ++i) {
    double u = *FloatResult(EvaluateTree(*unit));
    double r = *FloatResult(EvaluateTree(*ranged));
    EXPECT_TRUE(u >= 0 && u < 1) << u;
    EXPECT_TRUE(r >= 0 && r < 10 && r == std::floor(r)) << r;
  }
}

}  // namespace
}  // namespace veltra::function_test
