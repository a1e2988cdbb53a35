// Filter preparation: which comparisons become prefix or case compares, the rows each prepared
// filter matches (partial compare against no-partial-compare), and constant folding.
#include "expressions/prepare_filter.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "expressions/expression_text.h"
#include "test_trees.h"

namespace veltra {
namespace {

using namespace test_trees;
using O = TOperator;
using T = TDataType;
using K = TNodeKind;

// A record is one optional name; the fetcher copies it into the column node.
struct NameRecord {
  std::optional<std::string> name;
};

void FetchName(TExpToken& column, TEvaluationContext& context) {
  const auto& record = *reinterpret_cast<const NameRecord*>(context.Record);
  if (!record.name) {
    SetNull(column);
    return;
  }
  column.IsNull = false;
  std::memcpy(column.Data(), record.name->c_str(), record.name->size() + 1);
}

Node NameColumn() {
  Node n = Typed(K::nkColumn, O::opNone, "name", T::dtString);
  n->ColumnName = "name";
  n->FieldNumber = 1;
  n->SetDataSize(21);
  return n;
}

Node Upper(Node operand) {
  Node n = Typed(K::nkFunction, O::opUpper, "UPPER", T::dtString);
  n->SetDataSize(operand->DataSize());
  n->AddChild(std::move(operand));
  return n;
}

const std::vector<NameRecord> kRecords = {{"Smith"}, {"Smythe"}, {"Sm*"},       {"smith"},
                                          {"Jones"}, {"S"},      {std::nullopt}};

struct PrepareCase {
  const char* name;
  std::function<Node()> build;
  TFilterOptions options;
  K kind;                            // the root's kind after preparation
  uint32_t prefix;                   // its prefix length
  bool ignore_case;                  // its case flag
  std::vector<std::string> matched;  // "NULL" for the NULL record
};

void PrintTo(const PrepareCase& c, std::ostream* os) { *os << c.name; }

Node Like(O op, const char* pattern) { return Extended(op, List(NameColumn(), Str(pattern))); }

const PrepareCase kCases[] = {
    {"StarIsPartialCompare",
     [] { return Binary(O::opEqual, NameColumn(), Str("Sm*")); },
     {false, false},
     K::nkCompare,
     2,
     false,
     {"Smith", "Smythe", "Sm*"}},
    {"StarIsLiteralWithNoPartialCompare",
     [] { return Binary(O::opEqual, NameColumn(), Str("Sm*")); },
     {true, false},
     K::nkCompare,
     0,
     false,
     {"Sm*"}},
    {"CaseInsensitiveWithoutStar",
     [] { return Binary(O::opEqual, NameColumn(), Str("SMITH")); },
     {true, true},
     K::nkCompare,
     0,
     true,
     {"Smith", "smith"}},
    {"CaseInsensitivePartial",
     [] { return Binary(O::opEqual, NameColumn(), Str("smi*")); },
     {false, true},
     K::nkCompare,
     3,
     true,
     {"Smith", "smith"}},
    {"NotEqualPartial",
     [] { return Binary(O::opNotEqual, NameColumn(), Str("Sm*")); },
     {false, false},
     K::nkCompare,
     2,
     false,
     {"smith", "Jones", "S", "NULL"}},
    {"AllStarsIsAlwaysTrue",
     [] { return Binary(O::opEqual, NameColumn(), Str("**")); },
     {false, false},
     K::nkBinary,
     0,
     false,
     {"Smith", "Smythe", "Sm*", "smith", "Jones", "S", "NULL"}},
    {"AllStarsNotEqualIsAlwaysFalse",
     [] { return Binary(O::opNotEqual, NameColumn(), Str("*")); },
     {false, false},
     K::nkBinary,
     0,
     false,
     {}},
    {"AllStarsWithNoPartialCompareIsLiteral",
     [] { return Binary(O::opEqual, NameColumn(), Str("*")); },
     {true, false},
     K::nkCompare,
     0,
     false,
     {}},
    {"PlainEqualityStaysBinary",
     [] { return Binary(O::opEqual, NameColumn(), Str("Smith")); },
     {false, false},
     K::nkBinary,
     0,
     false,
     {"Smith"}},
    {"LikePrefixBecomesCompare",
     [] { return Like(O::opLike, "Sm%"); },
     {false, false},
     K::nkCompare,
     2,
     false,
     {"Smith", "Smythe", "Sm*"}},
    {"NotLikePrefixBecomesUnequal",
     [] { return Like(O::opNotLike, "Sm%"); },
     {false, false},
     K::nkCompare,
     2,
     false,
     {"smith", "Jones", "S", "NULL"}},
    {"LikeWithoutWildcardComparesWholeText",
     [] { return Like(O::opLike, "Smith"); },
     {false, false},
     K::nkCompare,
     0,
     false,
     {"Smith"}},
    {"LikeWithUnderscoreStaysLike",
     [] { return Like(O::opLike, "S_m%"); },
     {false, false},
     K::nkExtended,
     0,
     false,
     {}},
    {"LikeWithInnerPercentStaysLike",
     [] { return Like(O::opLike, "S%h"); },
     {false, false},
     K::nkExtended,
     0,
     false,
     {"Smith"}},
    {"LikeOnlyPercentStaysLike",
     [] { return Like(O::opLike, "%"); },
     {false, false},
     K::nkExtended,
     0,
     false,
     {"Smith", "Smythe", "Sm*", "smith", "Jones", "S"}},
    {"LikeWithEscapeStaysLike",
     [] { return Extended(O::opLike, List(NameColumn(), Str("Sm!*%"), Str("!"))); },
     {false, false},
     K::nkExtended,
     0,
     false,
     {"Sm*"}},
    {"UpperEqualsUpperGetsCaseFlag",
     [] { return Binary(O::opEqual, Upper(NameColumn()), Upper(NameColumn())); },
     {false, false},
     K::nkBinary,
     0,
     true,
     {"Smith", "Smythe", "Sm*", "smith", "Jones", "S", "NULL"}},
    {"UpperOfAConstantIsFoldedFirst",
     [] { return Binary(O::opEqual, Upper(NameColumn()), Upper(Str("smith"))); },
     {false, false},
     K::nkBinary,
     0,
     false,
     {"Smith", "smith"}},
    {"InListOfUppersGetsCaseFlag",
     [] { return Extended(O::opInList, List(Upper(NameColumn()), Upper(NameColumn()))); },
     {false, false},
     K::nkExtended,
     0,
     true,
     {"Smith", "Smythe", "Sm*", "smith", "Jones", "S", "NULL"}},
    {"FoldedConstantOnTheRight",
     [] {
       return Binary(O::opEqual, NameColumn(), Binary(O::opAdd, Str("Sm"), Str("*"), T::dtString));
     },
     {false, false},
     K::nkCompare,
     2,
     false,
     {"Smith", "Smythe", "Sm*"}},
};

class PrepareFilter : public ::testing::TestWithParam<PrepareCase> {};

TEST_P(PrepareFilter, SpecialisesAndMatchesTheRows) {
  const PrepareCase& c = GetParam();
  Node tree = c.build();
  SelectOperations(*tree);
  std::string before = ExpressionText(*tree);
  TPreparedFilter filter(*tree, c.options, nullptr, FetchName, nullptr);
  EXPECT_EQ(ExpressionText(*tree), before) << "the source tree is left unchanged";
  TExpToken& root = filter.Tree();
  EXPECT_EQ(root.Kind, c.kind);
  EXPECT_EQ(root.PrefixLength, c.prefix);
  EXPECT_EQ(root.CaseInsensitive, c.ignore_case);
  std::vector<std::string> matched;
  for (const NameRecord& record : kRecords) {
    if (filter.Matches(reinterpret_cast<const uint8_t*>(&record))) {
      matched.push_back(record.name.value_or("NULL"));
    }
  }
  EXPECT_EQ(matched, c.matched);
}

INSTANTIATE_TEST_SUITE_P(Filters, PrepareFilter, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PrepareFilter, ColumnFreeSubtreesBecomeConstantsOnce) {
  // name = 'S' + 'mith' AND (1 + 2 = 3)
  Node tree =
      Binary(O::opAnd,
             Binary(O::opEqual, NameColumn(), Binary(O::opAdd, Str("S"), Str("mith"), T::dtString)),
             Binary(O::opEqual, Binary(O::opAdd, Int(1), Int(2), T::dtInteger), Int(3)));
  SelectOperations(*tree);
  TEvaluationContext context;
  std::unique_ptr<TExpToken> prepared = PrepareFilterTree(*tree, {}, context);
  ASSERT_EQ(prepared->Right->Kind, K::nkConstant);
  EXPECT_EQ(BoolOf(*prepared->Right), true);
  ASSERT_EQ(prepared->Left->Right->Kind, K::nkConstant);
  EXPECT_EQ(prepared->Left->Right->Text, "'Smith'");
  EXPECT_EQ(TextOf(*prepared->Left->Right), "Smith");
}

}  // namespace
}  // namespace veltra
