// The comparison rules: the two-valued NULL table over every comparison operator, comparisons
// across types, text orderings with NULL texts, and prefix compares.
#include "expressions/comparison.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>

#include "test_trees.h"

namespace veltra {
namespace {

using namespace test_trees;
using O = TOperator;
using T = TDataType;

constexpr O kComparisons[] = {O::opEqual, O::opNotEqual,       O::opGreater,
                              O::opLess,  O::opGreaterOrEqual, O::opLessOrEqual};

struct NullCase {
  const char* name;
  std::function<Node()> left;
  std::function<Node()> right;
  // Answers for =, <>, >, <, >=, <=.
  bool answers[6];
};

void PrintTo(const NullCase& c, std::ostream* os) { *os << c.name; }

const NullCase kNullCases[] = {
    {"NullNull",
     [] { return Null(T::dtInteger); },
     [] { return Null(T::dtInteger); },
     {true, false, false, false, true, true}},
    {"ValueNull",
     [] { return Int(5); },
     [] { return Null(T::dtInteger); },
     {false, true, false, false, false, false}},
    {"NullValue",
     [] { return Null(T::dtInteger); },
     [] { return Int(5); },
     {false, true, false, false, false, false}},
    {"UntypedNullRight",
     [] { return Int(5); },
     [] { return Null(); },
     {false, true, false, false, false, false}},
    {"UntypedNullBoth",
     [] { return Null(); },
     [] { return Null(); },
     {true, false, false, false, true, true}},
    {"FloatNullNull",
     [] { return Null(T::dtFloat); },
     [] { return Null(T::dtFloat); },
     {true, false, false, false, true, true}},
    {"DateNull",
     [] { return Date(700000); },
     [] { return Null(T::dtDate); },
     {false, true, false, false, false, false}},
    // A string on the left of an ordering compares texts, NULL reading as empty: 'abc' > NULL
    // and NULL >= NULL, while = and <> keep the NULL table.
    {"StringValueNullString",
     [] { return Str("abc"); },
     [] { return Null(T::dtString); },
     {false, true, true, false, true, false}},
    {"StringNullValueString",
     [] { return Null(T::dtString); },
     [] { return Str("abc"); },
     {false, true, false, true, false, true}},
    {"StringNullUntypedNull",
     [] { return Null(T::dtString); },
     [] { return Null(); },
     {true, false, false, false, true, true}},
};

class NullTable : public ::testing::TestWithParam<NullCase> {};

TEST_P(NullTable, EveryComparisonAnswersAsTheTwoValuedTable) {
  const NullCase& c = GetParam();
  for (size_t i = 0; i < 6; ++i) {
    Node node = Binary(kComparisons[i], c.left(), c.right());
    EXPECT_EQ(BoolOf(EvalTree(*node)), c.answers[i])
        << "operator " << static_cast<int>(kComparisons[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(Comparisons, NullTable, ::testing::ValuesIn(kNullCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct OrderCase {
  const char* name;
  std::function<Node()> left;
  std::function<Node()> right;
  int order;  // -1, 0, 1
};

void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }

const OrderCase kOrderCases[] = {
    {"IntInt", [] { return Int(3); }, [] { return Int(7); }, -1},
    {"SmallLarge", [] { return Small(-2); }, [] { return Large(-2); }, 0},
    {"WordInt", [] { return Word(65535); }, [] { return Int(-1); }, 1},
    {"LargeExtremes", [] { return Large(INT64_MIN); }, [] { return Large(INT64_MAX); }, -1},
    {"IntFloat", [] { return Int(2); }, [] { return Float(2.5); }, -1},
    {"FloatInt", [] { return Float(3.0); }, [] { return Int(3); }, 0},
    {"NaNBelowNumbers", [] { return Float(std::nan("")); }, [] { return Float(-1e300); }, -1},
    {"BcdInt", [] { return Bcd("2.5000", 4); }, [] { return Int(2); }, 1},
    {"BcdEqualAcrossScales", [] { return Bcd("1.5", 1); }, [] { return Bcd("1.50", 2); }, 0},
    {"BcdFloat", [] { return Bcd("0.25", 2); }, [] { return Float(0.25); }, 0},
    {"BcdBeyondFixedRange", [] { return Bcd("100000000000000000000", 0); },
     [] { return Bcd("200000000000000000000", 0); }, -1},
    {"BcdBeyondFixedRangeBesideLarge", [] { return Bcd("-100000000000000000000", 0); },
     [] { return Large(INT64_MIN); }, -1},
    {"LargeBcdNoOverflow", [] { return Large(INT64_MAX); }, [] { return Bcd("1.5", 1); }, 1},
    {"BooleanTruthOfInteger", [] { return Bool(true); }, [] { return Int(42); }, 0},
    {"IntegerTruthOfBoolean", [] { return Int(0); }, [] { return Bool(true); }, -1},
    {"DateDate", [] { return Date(10); }, [] { return Date(11); }, -1},
    {"DateTimestampMidnight", [] { return Date(10); }, [] { return Stamp(10.0 * 86400000); }, 0},
    {"TimestampDate", [] { return Stamp(10.0 * 86400000 + 1); }, [] { return Date(10); }, 1},
    {"TimeTime", [] { return Time(5000); }, [] { return Time(4000); }, 1},
    {"StringsBytewise", [] { return Str("abc"); }, [] { return Str("abd"); }, -1},
    {"StringPrefixFirst", [] { return Str("ab"); }, [] { return Str("abc"); }, -1},
    {"StringHighBytesUnsigned", [] { return Str("\xe4"); }, [] { return Str("z"); }, 1},
    {"StringCaseCounts", [] { return Str("a"); }, [] { return Str("B"); }, 1},
};

class ValueOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(ValueOrder, ComparisonsFollowTheValuesOrder) {
  const OrderCase& c = GetParam();
  for (O op : kComparisons) {
    Node node = Binary(op, c.left(), c.right());
    EXPECT_EQ(BoolOf(EvalTree(*node)), OrderSatisfies(op, c.order)) << static_cast<int>(op);
  }
}

INSTANTIATE_TEST_SUITE_P(Comparisons, ValueOrder, ::testing::ValuesIn(kOrderCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ValueComparer, TypesWithoutAComparisonHaveNone) {
  EXPECT_EQ(ValueComparerOf(T::dtDate, T::dtTime), nullptr);
  EXPECT_EQ(ValueComparerOf(T::dtString, T::dtInteger), nullptr);
  EXPECT_NE(ValueComparerOf(T::dtBytes, T::dtInteger), nullptr);
}

TEST(CompareTexts, IgnoringCaseWithoutLocaleUpperCasesAsciiOnly) {
  EXPECT_EQ(CompareTexts("smith", "SMITH", nullptr, true), 0);
  EXPECT_NE(CompareTexts("\xe4", "\xc4", nullptr, true), 0);
  EXPECT_LT(CompareTexts("", "a", nullptr, false), 0);
}

TEST(CompareTexts, ALocaleOrdersByItsCollation) {
  const platform::LocaleServices* locale =
      platform::LocaleServicesOf(platform::kGermanGermanyLocaleId);
  if (locale == nullptr) GTEST_SKIP() << "locale not available";
  // windows-1252: 0xE4 is a with a diaeresis, which sorts with "a", not after "z".
  EXPECT_LT(CompareTexts("\xe4", "z", locale, false), 0);
  EXPECT_GT(CompareTexts("\xe4", "z", nullptr, false), 0);
  EXPECT_EQ(CompareTexts("Stra\xdf"
                         "e",
                         "STRA\xdf"
                         "E",
                         locale, true),
            0);
  EXPECT_NE(CompareTexts("abc", "ABC", locale, false), 0);
  // The node operations take the context's locale.
  TEvaluationContext context;
  context.Locale = locale;
  Node node = Binary(TOperator::opLess, Str("\xe4"), Str("z"));
  EXPECT_EQ(BoolOf(EvalTree(*node, context)), true);
}

struct PrefixCase {
  const char* value;
  const char* constant;
  uint32_t prefix;
  bool ignore_case;
  bool equal;
};

const PrefixCase kPrefixCases[] = {
    {"Smith", "Sm", 2, false, true},      {"Sm", "Sm", 2, false, true},
    {"S", "Sm", 2, false, false},         {"smith", "Sm", 2, false, false},
    {"smith", "Sm", 2, true, true},       {"Smith", "Smith", 0, false, true},
    {"Smithy", "Smith", 0, false, false}, {"SMITH", "smith", 0, true, true},
};

TEST(PrefixCompare, ComparesTheNodesPrefixWithItsCaseFlag) {
  for (const PrefixCase& c : kPrefixCases) {
    for (O op : {O::opEqual, O::opNotEqual}) {
      Node node = Binary(op, Str(c.value), Str(c.constant), T::dtBoolean, TNodeKind::nkCompare);
      node->PrefixLength = c.prefix;
      node->CaseInsensitive = c.ignore_case;
      EXPECT_EQ(BoolOf(EvalTree(*node)), (op == O::opEqual) == c.equal)
          << c.value << " " << c.constant;
    }
  }
}

TEST(PrefixCompare, NullValueIsUnequal) {
  Node node = Binary(O::opEqual, Null(T::dtString), Str("Sm"), T::dtBoolean, TNodeKind::nkCompare);
  node->PrefixLength = 2;
  EXPECT_EQ(BoolOf(EvalTree(*node)), false);
}

}  // namespace
}  // namespace veltra
