// The string functions over hand-typed trees: texts, counts, NULL and empty results, the empty
// search text, buffers that grow past the verified size, and the REPEAT limit.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "core/engine_error.h"
#include "function_fixture.h"
#include "platform/locale.h"

namespace veltra::function_test {
namespace {

struct TextCase {
  const char* label;
  std::function<Node()> build;
  std::optional<std::string> expected;  // nullopt: NULL
};

TEST(StringFunctions, TextResultsFollowTheFunctionTable) {
  const TextCase cases[] = {
      {"SUBSTRING middle", [] { return Fn(O::opSubstring, Text(6), Str("hello"), Int(2), Int(3)); },
       "ell"},
      {"SUBSTRING rest", [] { return Fn(O::opSubstring, Text(6), Str("hello"), Int(2)); }, "ello"},
      {"SUBSTRING start past the end",
       [] { return Fn(O::opSubstring, Text(6), Str("hello"), Int(9)); }, std::nullopt},
      {"SUBSTRING start below 1",
       [] { return Fn(O::opSubstring, Text(6), Str("hello"), Int(-5), Int(2)); }, "he"},
      {"SUBSTRING negative length",
       [] { return Fn(O::opSubstring, Text(6), Str("hello"), Int(2), Int(-1)); }, std::nullopt},
      {"SUBSTRING huge length",
       [] { return Fn(O::opSubstring, Text(6), Str("hello"), Int(4), Large(int64_t{1} << 62)); },
       "lo"},
      {"SUBSTRING of NULL",
       [] { return Fn(O::opSubstring, Text(6), NullOf(D::dtString, 6), Int(1)); }, std::nullopt},
      {"LEFT", [] { return Fn(O::opLeft, Text(4), Str("abc"), Int(2)); }, "ab"},
      {"LEFT negative count", [] { return Fn(O::opLeft, Text(3), Str("ab"), Int(-1)); },
       std::nullopt},
      {"RIGHT", [] { return Fn(O::opRight, Text(4), Str("abc"), Small(2)); }, "bc"},
      {"RIGHT beyond the length", [] { return Fn(O::opRight, Text(4), Str("abc"), Int(10)); },
       "abc"},
      {"REPLACE every occurrence",
       [] { return Fn(O::opReplace, Text(7), Str("a"), Str("xy"), Str("banana")); }, "bxynxynxy"},
      {"REPLACE without overlaps",
       [] { return Fn(O::opReplace, Text(4), Str("aa"), Str("b"), Str("aaa")); }, "ba"},
      {"REPLACE empty search leaves the source",
       [] { return Fn(O::opReplace, Text(4), Str(""), Str("x"), Str("abc")); }, "abc"},
      {"REPLACE to nothing is NULL",
       [] { return Fn(O::opReplace, Text(4), Str("abc"), Str(""), Str("abc")); }, std::nullopt},
      {"REPLACE NULL search",
       [] { return Fn(O::opReplace, Text(4), NullOf(D::dtString), Str("x"), Str("abc")); },
       std::nullopt},
      {"TRIM BOTH", [] { return Fn(O::opTrimBoth, Text(6), Str("x"), Str("xxaxx")); }, "a"},
      {"TRIM LEADING", [] { return Fn(O::opTrimLeading, Text(6), Str("x"), Str("xxaxx")); }, "axx"},
      {"TRIM TRAILING", [] { return Fn(O::opTrimTrailing, Text(6), Str("x"), Str("xxaxx")); },
       "xxa"},
      {"TRIM uses the first character only",
       [] { return Fn(O::opTrimBoth, Text(6), Str("xy"), Str("yxay")); }, "yxay"},
      {"TRIM to nothing is NULL", [] { return Fn(O::opTrimBoth, Text(4), Str(" "), Str("   ")); },
       std::nullopt},
      {"REPEAT", [] { return Fn(O::opRepeat, Text(7), Str("ab"), Int(3)); }, "ababab"},
      {"REPEAT zero times", [] { return Fn(O::opRepeat, Text(3), Str("ab"), Int(0)); },
       std::nullopt},
      {"REPEAT negative count", [] { return Fn(O::opRepeat, Text(3), Str("ab"), Int(-2)); },
       std::nullopt},
      {"CONCAT", [] { return Fn(O::opConcat, Text(5), Str("ab"), Str("cd")); }, "abcd"},
      {"CONCAT with NULL counts it empty",
       [] { return Fn(O::opConcat, Text(5), Str("ab"), NullOf(D::dtString, 3)); }, "ab"},
      {"CONCAT of two NULLs is empty, not NULL",
       [] { return Fn(O::opConcat, Text(5), NullOf(D::dtString), NullOf(D::dtString)); }, ""},
      {"UPPER without a locale maps ASCII only",
       [] { return Fn(O::opUpper, Text(6), Str("ab\xE4z")); }, "AB\xE4Z"},
      {"LOWER", [] { return Fn(O::opLower, Text(4), Str("AbC")); }, "abc"},
      {"UPPER of NULL", [] { return Fn(O::opUpper, Text(4), NullOf(D::dtString, 4)); },
       std::nullopt},
      {"UPPER of a memo",
       [] {
         return Fn(O::opUpper, {D::dtBlob, 4, 0, TDataSubType::dsMemo}, Memo("abc"));
       },
       "ABC"},
  };
  for (const TextCase& c : cases) {
    Node node = c.build();
    EXPECT_EQ(TextResult(EvaluateTree(*node)), c.expected) << c.label;
  }
}

struct CountCase {
  const char* label;
  std::function<Node()> build;
  std::optional<int64_t> expected;
};

TEST(StringFunctions, PositionsCountsAndLengths) {
  const CountCase cases[] = {
      {"POSITION found",
       [] { return Fn(O::opPosition, Of(D::dtInteger), Str("lo"), Str("hello")); }, 4},
      {"POSITION missing", [] { return Fn(O::opPosition, Of(D::dtInteger), Str("z"), Str("abc")); },
       0},
      {"POSITION in NULL",
       [] { return Fn(O::opPosition, Of(D::dtInteger), Str("a"), NullOf(D::dtString)); }, 0},
      {"POSITION of NULL",
       [] { return Fn(O::opPosition, Of(D::dtInteger), NullOf(D::dtString), Str("a")); },
       std::nullopt},
      {"POSITION of the empty text",
       [] { return Fn(O::opPosition, Of(D::dtInteger), Str(""), Str("abc")); }, 0},
      {"OCCURS", [] { return Fn(O::opOccurs, Of(D::dtInteger), Str("an"), Str("banana")); }, 2},
      {"OCCURS without overlaps",
       [] { return Fn(O::opOccurs, Of(D::dtInteger), Str("aa"), Str("aaaaa")); }, 2},
      {"OCCURS of the empty text terminates with 0",
       [] { return Fn(O::opOccurs, Of(D::dtInteger), Str(""), Str("abc")); }, 0},
      {"OCCURS in NULL",
       [] { return Fn(O::opOccurs, Of(D::dtInteger), Str("a"), NullOf(D::dtString)); }, 0},
      {"LENGTH", [] { return Fn(O::opLength, Of(D::dtInteger), Str("hello")); }, 5},
      {"LENGTH of NULL", [] { return Fn(O::opLength, Of(D::dtInteger), NullOf(D::dtString)); }, 0},
      {"LENGTH of a memo", [] { return Fn(O::opLength, Of(D::dtInteger), Memo("memo text")); }, 9},
  };
  for (const CountCase& c : cases) {
    Node node = c.build();
    EXPECT_EQ(IntResult(EvaluateTree(*node)), c.expected) << c.label;
  }
}

// Verification sizes a REPEAT with a non-constant count, a REPLACE and a CONCAT by their
// arguments; the results may be longer and must neither be cut nor overrun the buffer.
TEST(StringFunctions, ResultsLongerThanTheVerifiedSizeGrowTheBuffer) {
  std::string long_text(3000, 'q');
  std::string repeated;
  for (int i = 0; i < 1500; ++i) repeated += "ab";
  const TextCase cases[] = {
      {"REPEAT", [] { return Fn(O::opRepeat, Text(3), Str("ab"), Int(1500)); }, repeated},
      {"REPLACE",
       [] { return Fn(O::opReplace, Text(4), Str("a"), Str(std::string(1500, 'q')), Str("aa")); },
       long_text},
      {"CONCAT",
       [] {
         return Fn(O::opConcat, Text(3), Str(std::string(1000, 'q')), Str(std::string(2000, 'q')));
       },
       long_text},
  };
  for (const TextCase& c : cases) {
    Node node = c.build();
    EXPECT_EQ(TextResult(EvaluateTree(*node)), c.expected) << c.label;
    EXPECT_GE(node->DataSize(), c.expected->size() + 1) << c.label;
  }
}

TEST(StringFunctions, AShorterLaterResultLeavesNoBytesOfTheEarlierOne) {
  Node node = Fn(O::opRepeat, Text(3), Str("ab"), Int(800));
  EvaluateTree(*node);
  StoreInteger(node->Child(1)->Data(), 1);
  EXPECT_EQ(TextResult(EvaluateTree(*node)), "ab");
  EXPECT_TRUE(ZeroFrom(*node, 2));
}

TEST(StringFunctions, RepeatBeyondTheLimitRaisesInsteadOfAllocating) {
  const int64_t counts[] = {int64_t{kMaxFunctionTextLength} / 2 + 1,
                            std::numeric_limits<int64_t>::max()};
  for (int64_t count : counts) {
    Node node = Fn(O::opRepeat, Text(3), Str("ab"), Large(count));
    try {
      EvaluateTree(*node);
      ADD_FAILURE() << "no error for count " << count;
    } catch (const EVELTRAEngineError& error) {
      EXPECT_EQ(error.EngineCode(), kErrSqlExecution);
    }
  }
}

TEST(StringFunctions, CaseMappingUsesTheLocaleTables) {
  const platform::LocaleServices* german =
      platform::LocaleServicesOf(platform::kGermanGermanyLocaleId);
  if (german == nullptr) GTEST_SKIP() << "the German locale is not available";
  Node upper = Fn(O::opUpper, Text(4),
                  Str("\xE4"
                      "b"));  // windows-1252 a-umlaut
  EXPECT_EQ(TextResult(EvaluateTree(*upper, german)),
            "\xC4"
            "B");
  Node lower = Fn(O::opLower, Text(4),
                  Str("\xD6"
                      "X"));
  EXPECT_EQ(TextResult(EvaluateTree(*lower, german)),
            "\xF6"
            "x");
}

}  // namespace
}  // namespace veltra::function_test
