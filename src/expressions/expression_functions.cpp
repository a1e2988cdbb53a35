// The function-call forms of the expression parser: aggregates, scalar functions with their
// keyword or comma separators, CAST with the SQL type names, TRIM, EXTRACT, CASE and the
// registered custom functions.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "expressions/expression_parser.h"

namespace veltra {

namespace {

enum class TFunctionForm : uint8_t {
  fmAggregate,    // NAME(x), needs pfAggregates
  fmCount,        // COUNT(x) or COUNT(*)
  fmOne,          // NAME(x)
  fmTwo,          // NAME(x <separator> y)
  fmTwoPrimary,   // NAME(x <separator> primary)
  fmCommaPair,    // NAME(x, y), the comma only
  fmSubstring,    // SUBSTRING(x FROM start [FOR length])
  fmReplace,      // REPLACE(x WITH y IN z)
  fmCast,         // CAST(x AS type)
  fmTrim,         // TRIM(LEADING|TRAILING|BOTH c FROM x)
  fmTrimBlanks,   // LTRIM(x), RTRIM(x), ALLTRIM(x): children (' ', x)
  fmExtract,      // EXTRACT(part FROM x)
  fmRoundTo,      // ROUND(x [TO primary])
  fmNoArguments,  // NAME [()]
  fmRand,         // RAND [( [[RANGE] x] )]
  fmIf,           // IF(cond THEN a ELSE b), full, with pfExtended added
  fmIfNull,       // IFNULL(x THEN a ELSE b), full
  fmNullIf,       // NULLIF(x, y), full
  fmCoalesce,     // COALESCE(x {, y}), full
  fmTableName,    // LASTAUTOINC(primary)
  fmCase,         // CASE ... END
};

struct TFunctionEntry {
  std::string_view name;  // upper case
  TOperator op;
  TFunctionForm form;
  TDataType result = TDataType::dtUnknown;  // dtUnknown: left to type verification
  std::string_view separator = {};
  uint32_t result_size = 0;  // a size beyond what the type gives, 0 for none
};

using F = TFunctionForm;
using O = TOperator;
using D = TDataType;

constexpr D kString = D::dtString;
constexpr D kInt = D::dtInteger;
constexpr D kFloat = D::dtFloat;
constexpr D kNone = D::dtUnknown;

constexpr uint32_t kGuidTextSize = kGuidStringSize + 1;

const TFunctionEntry kFunctions[] = {
    {"SUM", O::opSum, F::fmAggregate},
    {"RUNSUM", O::opRunSum, F::fmAggregate},
    {"AVG", O::opAvg, F::fmAggregate},
    {"STDDEV", O::opStdDev, F::fmAggregate},
    {"MIN", O::opMin, F::fmAggregate},
    {"MAX", O::opMax, F::fmAggregate},
    {"COUNT", O::opCount, F::fmCount},
    {"LOWER", O::opLower, F::fmOne, kString},
    {"LCASE", O::opLower, F::fmOne, kString},
    {"UPPER", O::opUpper, F::fmOne, kString},
    {"UCASE", O::opUpper, F::fmOne, kString},
    {"LEFT", O::opLeft, F::fmTwo, kString, "FOR"},
    {"RIGHT", O::opRight, F::fmTwo, kString, "FOR"},
    {"REPEAT", O::opRepeat, F::fmTwo, kString, "FOR"},
    {"CONCAT", O::opConcat, F::fmTwo, kString, "WITH"},
    {"LENGTH", O::opLength, F::fmOne, kInt},
    {"SUBSTRING", O::opSubstring, F::fmSubstring, kString},
    {"REPLACE", O::opReplace, F::fmReplace, kString},
    {"POS", O::opPosition, F::fmTwo, kInt, "IN"},
    {"POSITION", O::opPosition, F::fmTwo, kInt, "IN"},
    {"OCCURS", O::opOccurs, F::fmTwo, kInt, "IN"},
    {"CAST", O::opCast, F::fmCast},
    {"TRIM", O::opTrimBoth, F::fmTrim, kString},
    {"LTRIM", O::opTrimLeading, F::fmTrimBlanks, kString},
    {"RTRIM", O::opTrimTrailing, F::fmTrimBlanks, kString},
    {"ALLTRIM", O::opTrimBoth, F::fmTrimBlanks, kString},
    {"EXTRACT", O::opExtractYear, F::fmExtract, kInt},
    {"YEARSFROMMSECS", O::opYearsFromMSecs, F::fmOne, kInt},
    {"DAYSFROMMSECS", O::opDaysFromMSecs, F::fmOne, kInt},
    {"HOURSFROMMSECS", O::opHoursFromMSecs, F::fmOne, kInt},
    {"MINSFROMMSECS", O::opMinsFromMSecs, F::fmOne, kInt},
    {"SECSFROMMSECS", O::opSecsFromMSecs, F::fmOne, kInt},
    {"MSECSFROMMSECS", O::opMSecsFromMSecs, F::fmOne, kInt},
    {"ABS", O::opAbs, F::fmOne},
    {"ROUND", O::opRound, F::fmRoundTo},
    {"TRUNC", O::opTrunc, F::fmRoundTo},
    {"TRUNCATE", O::opTrunc, F::fmRoundTo},
    {"MOD", O::opMod, F::fmCommaPair},
    {"ACOS", O::opACos, F::fmOne, kFloat},
    {"ASIN", O::opASin, F::fmOne, kFloat},
    {"ATAN", O::opATan, F::fmOne, kFloat},
    {"ATAN2", O::opATan2, F::fmCommaPair, kFloat},
    {"CEILING", O::opCeiling, F::fmOne, D::dtLargeInt},
    {"CEIL", O::opCeiling, F::fmOne, D::dtLargeInt},
    {"COS", O::opCos, F::fmOne, kFloat},
    {"COT", O::opCot, F::fmOne, kFloat},
    {"DEGREES", O::opDegrees, F::fmOne, kFloat},
    {"EXP", O::opExp, F::fmOne, kFloat},
    {"FLOOR", O::opFloor, F::fmOne, D::dtLargeInt},
    {"LOG", O::opLog, F::fmOne, kFloat},
    {"LOG10", O::opLog10, F::fmOne, kFloat},
    {"PI", O::opPi, F::fmNoArguments, kFloat},
    {"POWER", O::opPower, F::fmTwo, kFloat, "TO"},
    {"RADIANS", O::opRadians, F::fmOne, kFloat},
    {"RAND", O::opRand, F::fmRand, kFloat},
    {"SIGN", O::opSign, F::fmOne, kInt},
    {"SIN", O::opSin, F::fmOne, kFloat},
    {"SQRT", O::opSqrt, F::fmOne, kFloat},
    {"TAN", O::opTan, F::fmOne, kFloat},
    {"IF", O::opIf, F::fmIf},
    {"IFNULL", O::opIfNull, F::fmIfNull},
    {"NULLIF", O::opNullIf, F::fmNullIf},
    {"COALESCE", O::opCoalesce, F::fmCoalesce},
    {"TEXTSEARCH", O::opTextSearch, F::fmTwoPrimary, D::dtBoolean, "IN"},
    {"TEXTOCCURS", O::opTextOccurs, F::fmTwoPrimary, D::dtWord, "IN"},
    {"LASTAUTOINC", O::opLastAutoInc, F::fmTableName, kInt},
    {"IDENT_CURRENT", O::opIdentCurrent, F::fmTableName, kInt},
    {"CURRENT_DATE", O::opCurrentDate, F::fmNoArguments, D::dtDate},
    {"CURRENT_TIME", O::opCurrentTime, F::fmNoArguments, D::dtTime},
    {"CURRENT_TIMESTAMP", O::opCurrentTimestamp, F::fmNoArguments, D::dtTimestamp},
    {"CURRENT_GUID", O::opCurrentGuid, F::fmNoArguments, kString, {}, kGuidTextSize},
    {"CASE", O::opCase, F::fmCase},
};

constexpr size_t kLongestFunctionName = 17;  // CURRENT_TIMESTAMP

std::string AsciiUpperCase(std::string_view text) {
  std::string upper(text);
  for (char& ch : upper) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
  }
  return upper;
}

// The functions sorted by name, built once.
const std::vector<const TFunctionEntry*>& SortedFunctions() {
  static const std::vector<const TFunctionEntry*> sorted = [] {
    std::vector<const TFunctionEntry*> entries;
    for (const TFunctionEntry& entry : kFunctions) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(),
              [](const TFunctionEntry* a, const TFunctionEntry* b) { return a->name < b->name; });
    return entries;
  }();
  return sorted;
}

const TFunctionEntry* FindFunction(std::string_view word) {
  if (word.size() > kLongestFunctionName) return nullptr;
  std::string upper = AsciiUpperCase(word);
  const auto& sorted = SortedFunctions();
  auto it = std::lower_bound(
      sorted.begin(), sorted.end(), upper,
      [](const TFunctionEntry* entry, const std::string& name) { return entry->name < name; });
  return (it != sorted.end() && (*it)->name == upper) ? *it : nullptr;
}

struct TExtractPart {
  std::string_view name;
  TOperator op;
};

constexpr TExtractPart kExtractParts[] = {
    {"YEAR", O::opExtractYear},           {"MONTH", O::opExtractMonth},
    {"WEEK", O::opExtractWeek},           {"DAY", O::opExtractDay},
    {"DAYOFWEEK", O::opExtractDayOfWeek}, {"DAYOFYEAR", O::opExtractDayOfYear},
    {"HOUR", O::opExtractHour},           {"MINUTE", O::opExtractMinute},
    {"SECOND", O::opExtractSecond},       {"MSECOND", O::opExtractMSecond},
};

enum class TTypeArguments : uint8_t { taNone, taLength, taPrecisionScale };

struct TTypeWord {
  std::string_view word;
  TDataType type;
  TDataSubType sub_type;
  TTypeArguments arguments;
};

using S = TDataSubType;
using A = TTypeArguments;

constexpr TTypeWord kTypeWords[] = {
    {"SMALLINT", D::dtSmallInt, S::dsNone, A::taNone},
    {"WORD", D::dtWord, S::dsNone, A::taNone},
    {"INTEGER", D::dtInteger, S::dsNone, A::taNone},
    {"INT", D::dtInteger, S::dsNone, A::taNone},
    {"LARGEINT", D::dtLargeInt, S::dsNone, A::taNone},
    {"AUTOINC", D::dtInteger, S::dsAutoInc, A::taNone},
    {"DECIMAL", D::dtBcd, S::dsNone, A::taPrecisionScale},
    {"NUMERIC", D::dtBcd, S::dsNone, A::taPrecisionScale},
    {"FLOAT", D::dtFloat, S::dsNone, A::taPrecisionScale},
    {"MONEY", D::dtFloat, S::dsMoney, A::taNone},
    {"CHARACTER", D::dtString, S::dsFixed, A::taLength},
    {"CHAR", D::dtString, S::dsFixed, A::taLength},
    {"VARCHAR", D::dtString, S::dsNone, A::taLength},
    {"WIDECHAR", D::dtString, S::dsWide, A::taLength},
    {"GUID", D::dtString, S::dsGuid, A::taNone},
    {"BYTES", D::dtBytes, S::dsNone, A::taLength},
    {"BINARY", D::dtBytes, S::dsNone, A::taLength},
    {"VARBYTES", D::dtVarBytes, S::dsNone, A::taLength},
    {"VARBINARY", D::dtVarBytes, S::dsNone, A::taLength},
    {"DATE", D::dtDate, S::dsNone, A::taNone},
    {"TIME", D::dtTime, S::dsNone, A::taNone},
    {"TIMESTAMP", D::dtTimestamp, S::dsNone, A::taNone},
    {"BOOLEAN", D::dtBoolean, S::dsNone, A::taNone},
    {"BOOL", D::dtBoolean, S::dsNone, A::taNone},
    {"BIT", D::dtBoolean, S::dsNone, A::taNone},
    {"BLOB", D::dtBlob, S::dsNone, A::taNone},
    {"LONGVARBINARY", D::dtBlob, S::dsNone, A::taNone},
    {"LONGVARCHAR", D::dtBlob, S::dsMemo, A::taNone},
    {"MEMO", D::dtBlob, S::dsMemo, A::taNone},
    {"GRAPHIC", D::dtBlob, S::dsGraphic, A::taNone},
};

constexpr std::string_view kExtractPartList =
    "YEAR, MONTH, WEEK, DAY, DAYOFWEEK, DAYOFYEAR, HOUR, MINUTE, SECOND, or MSECOND";

}  // namespace

bool TExpressionParser::ParseDataType(TExpToken& node, TPermissions permissions, bool optional) {
  const TTypeWord* found = nullptr;
  for (const TTypeWord& entry : kTypeWords) {
    if (TokenIsWord(entry.word)) {
      found = &entry;
      break;
    }
  }
  if (found == nullptr) {
    if (optional) return false;
    ErrorExpected("SQL data type");
  }
  TPermissions inner = permissions & ~pfStar;
  TDataSubType sub_type = found->sub_type;
  bool is_integer = found->type == TDataType::dtInteger && sub_type == TDataSubType::dsNone;
  NextToken();
  if (is_integer && TokenIsWord("IDENTITY")) {
    sub_type = TDataSubType::dsAutoInc;
    NextToken();
  }
  SetResultType(node, found->type, sub_type);
  if (found->arguments == TTypeArguments::taLength) {
    ExpectAndSkip('(');
    node.PutChild(1, ParsePrimary(inner));
    ExpectAndSkip(')');
  } else if (found->arguments == TTypeArguments::taPrecisionScale && SkipIf('(')) {
    node.PutChild(1, ParsePrimary(inner));
    ExpectAndSkip(',');
    node.PutChild(2, ParsePrimary(inner));
    ExpectAndSkip(')');
  }
  return true;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseFunction(TPermissions permissions) {
  const TFunctionEntry* entry = FindFunction(RawTokenText());
  if (entry == nullptr) return nullptr;
  if (entry->form == TFunctionForm::fmAggregate || entry->form == TFunctionForm::fmCount) {
    if ((permissions & pfAggregates) == 0) ErrorInvalidExpression();
  }
  TPermissions inner = permissions & ~pfStar;
  auto node = NodeHere(TNodeKind::nkFunction, entry->op);
  SetResultType(*node, entry->result);
  if (entry->result_size != 0) node->SetDataSize(entry->result_size);
  NextToken();

  switch (entry->form) {
    case F::fmCase:
      node = ParseCase(std::move(node), inner);
      CheckHeight(*node);
      return node;
    case F::fmNoArguments:
      if (SkipIf('(')) ExpectAndSkip(')');
      return node;
    case F::fmRand:
      if (SkipIf('(')) {
        if (!TokenIs(')')) {
          if (TokenIsWord("RANGE")) NextToken();
          node->AddChild(ParseAdditive(inner));
        }
        ExpectAndSkip(')');
      }
      return node;
    default:
      break;
  }

  ExpectAndSkip('(');
  switch (entry->form) {
    case F::fmAggregate:
    case F::fmOne:
      node->AddChild(ParseAdditive(inner));
      break;
    case F::fmCount:
      node->AddChild(ParseAdditive(inner | pfStar));
      break;
    case F::fmTwo:
    case F::fmTwoPrimary:
      node->AddChild(ParseAdditive(inner));
      ExpectSeparator(entry->separator);
      node->AddChild(entry->form == F::fmTwo ? ParseAdditive(inner) : ParsePrimary(inner));
      break;
    case F::fmCommaPair:
      node->AddChild(ParseAdditive(inner));
      ExpectAndSkip(',');
      node->AddChild(ParseAdditive(inner));
      break;
    case F::fmSubstring:
      node->AddChild(ParseAdditive(inner));
      ExpectSeparator("FROM");
      node->AddChild(ParseAdditive(inner));
      if (TokenIsWord("FOR") || TokenIs(',')) {
        NextToken();
        node->AddChild(ParseAdditive(inner));
      }
      break;
    case F::fmReplace:
      node->AddChild(ParseAdditive(inner));
      ExpectSeparator("WITH");
      node->AddChild(ParseAdditive(inner));
      ExpectSeparator("IN");
      node->AddChild(ParseAdditive(inner));
      break;
    case F::fmCast:
      node = ParseCast(std::move(node), inner);
      break;
    case F::fmTrim:
      node = ParseTrim(std::move(node), inner);
      break;
    case F::fmTrimBlanks: {
      auto blank = NewNode(TNodeKind::nkConstant, TOperator::opNone, "' '", TokenPosition());
      blank->DataType = TDataType::dtString;
      blank->SetDataSize(2);
      blank->Data()[0] = ' ';
      blank->Data()[1] = 0;
      node->AddChild(std::move(blank));
      node->AddChild(ParseAdditive(inner));
      break;
    }
    case F::fmExtract:
      node = ParseExtract(std::move(node), inner);
      break;
    case F::fmRoundTo:
      node->AddChild(ParseAdditive(inner));
      if (TokenIsWord("TO") || TokenIs(',')) {
        NextToken();
        node->AddChild(ParsePrimary(inner));
      }
      break;
    case F::fmIf:
    case F::fmIfNull: {
      TPermissions full = entry->form == F::fmIf ? (inner | pfExtended) : inner;
      node->AddChild(ParseExpression(full));
      ExpectSeparator("THEN");
      node->AddChild(ParseExpression(full));
      ExpectSeparator("ELSE");
      node->AddChild(ParseExpression(full));
      break;
    }
    case F::fmNullIf:
      node->AddChild(ParseExpression(inner));
      if (!TokenIs(',')) ErrorExpected(",");
      NextToken();
      node->AddChild(ParseExpression(inner));
      break;
    case F::fmCoalesce:
      node->AddChild(ParseExpression(inner));
      while (SkipIf(',')) node->AddChild(ParseExpression(inner));
      break;
    case F::fmTableName:
      node->AddChild(ParsePrimary(inner));
      break;
    case F::fmCase:
    case F::fmNoArguments:
    case F::fmRand:
      break;
  }
  ExpectAndSkip(')');
  CheckHeight(*node);
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseCast(std::unique_ptr<TExpToken> node,
                                                        TPermissions permissions) {
  node->AddChild(ParseAdditive(permissions));
  ExpectSeparator("AS");
  ParseDataType(*node, permissions, false);
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseTrim(std::unique_ptr<TExpToken> node,
                                                        TPermissions permissions) {
  if (TokenIsWord("LEADING")) {
    node->Operator = TOperator::opTrimLeading;
  } else if (TokenIsWord("TRAILING")) {
    node->Operator = TOperator::opTrimTrailing;
  } else if (TokenIsWord("BOTH")) {
    node->Operator = TOperator::opTrimBoth;
  } else {
    ErrorExpected("LEADING, TRAILING, or BOTH");
  }
  NextToken();
  node->AddChild(ParsePrimary(permissions));
  ExpectSeparator("FROM");
  node->AddChild(ParseAdditive(permissions));
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseExtract(std::unique_ptr<TExpToken> node,
                                                           TPermissions permissions) {
  const TExtractPart* part = nullptr;
  for (const TExtractPart& candidate : kExtractParts) {
    if (TokenIsWord(candidate.name)) part = &candidate;
  }
  if (part == nullptr) ErrorExpected(kExtractPartList);
  node->Operator = part->op;
  NextToken();
  ExpectSeparator("FROM");
  node->AddChild(ParseAdditive(permissions));
  return node;
}

// CASE [operand] WHEN w THEN r {WHEN w THEN r} [ELSE e] END. The operand, when there is one, is
// kept once as the CASE node's third child: each WHEN value is compared with its one value, so a
// parameter inside it stays one node of the tree.
std::unique_ptr<TExpToken> TExpressionParser::ParseCase(std::unique_ptr<TExpToken> node,
                                                        TPermissions permissions) {
  std::unique_ptr<TExpToken> operand;
  if (!TokenIsWord("WHEN")) operand = ParseExpression(permissions);
  ExpectWord("WHEN");
  auto conditions =
      NewNode(TNodeKind::nkFunction, TOperator::opCaseConditions, "WHEN", TokenPosition());
  auto results = NewNode(TNodeKind::nkFunction, TOperator::opCaseResults, "THEN", TokenPosition());
  while (TokenIsWord("WHEN")) {
    NextToken();
    conditions->AddChild(ParseExpression(permissions));
    ExpectWord("THEN");
    NextToken();
    results->AddChild(ParseExpression(permissions));
  }
  if (TokenIsWord("ELSE")) {
    NextToken();
    results->AddChild(ParseExpression(permissions));
  } else {
    auto null_result = NewNode(TNodeKind::nkConstant, TOperator::opNone, "NULL", TokenPosition());
    null_result->IsNull = true;
    results->AddChild(std::move(null_result));
  }
  ExpectWord("END");
  NextToken();
  node->AddChild(std::move(conditions));
  node->AddChild(std::move(results));
  if (operand != nullptr) node->AddChild(std::move(operand));
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseCustomFunction(
    const TCustomFunctionDefinition& function, TPermissions permissions) {
  auto node = NodeHere(TNodeKind::nkFunction, TOperator::opCustomFunction);
  TDataType type = DataTypeOfCode(function.ResultType).value_or(TDataType::dtUnknown);
  auto sub_type = static_cast<TDataSubType>(function.ResultSubType);
  SetResultType(*node, type, sub_type);
  if (HasDeclaredSize(type)) {
    node->SetDataSize(StoredSizeOf(type, sub_type, MaxDeclaredSize(type, sub_type)));
  }
  NextToken();
  ExpectAndSkip('(');
  for (size_t i = 0; i < function.Arguments.size(); ++i) {
    if (i > 0) ExpectAndSkip(',');
    node->AddChild(ParseExpression(permissions));
  }
  ExpectAndSkip(')');
  CheckHeight(*node);
  return node;
}

}  // namespace veltra
