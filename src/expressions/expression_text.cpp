#include "expressions/expression_text.h"

#include <string_view>

#include "expressions/scanner.h"

namespace veltra {

namespace {

// Binding strength of a node as the parser reads it, loosest first.
constexpr int kOrLevel = 1;
constexpr int kAndLevel = 2;
constexpr int kNotLevel = 3;
constexpr int kComparisonLevel = 4;
constexpr int kAdditiveLevel = 5;
constexpr int kMultiplicativeLevel = 6;
constexpr int kUnaryLevel = 7;
constexpr int kPrimaryLevel = 8;
constexpr int kAnyLevel = 0;

int LevelOf(const TExpToken& node) {
  switch (node.Kind) {
    case TNodeKind::nkBinary:
      switch (node.Operator) {
        case TOperator::opOr:
          return kOrLevel;
        case TOperator::opAnd:
          return kAndLevel;
        case TOperator::opAdd:
        case TOperator::opSubtract:
          return kAdditiveLevel;
        case TOperator::opMultiply:
        case TOperator::opDivide:
        case TOperator::opMod:
          return kMultiplicativeLevel;
        default:
          return kComparisonLevel;
      }
    case TNodeKind::nkUnary:
      return node.Operator == TOperator::opNot ? kNotLevel : kUnaryLevel;
    case TNodeKind::nkCompare:
    case TNodeKind::nkExtended:
      return kComparisonLevel;
    default:
      return kPrimaryLevel;
  }
}

void AppendNode(std::string& out, const TExpToken* node, int min_level);

bool IsNullTest(const TExpToken& node) {
  return node.Kind == TNodeKind::nkBinary && node.Right != nullptr &&
         node.Right->Kind == TNodeKind::nkConstant && node.Right->IsNull &&
         node.Right->Text.empty();
}

// Functions whose arguments are full expressions need no parentheses around comparisons.
bool TakesFullArguments(TOperator op) {
  return op == TOperator::opIf || op == TOperator::opIfNull || op == TOperator::opNullIf ||
         op == TOperator::opCoalesce || op == TOperator::opCustomFunction;
}

std::string_view ExtractPartName(TOperator op) {
  switch (op) {
    case TOperator::opExtractYear:
      return "YEAR";
    case TOperator::opExtractMonth:
      return "MONTH";
    case TOperator::opExtractWeek:
      return "WEEK";
    case TOperator::opExtractDay:
      return "DAY";
    case TOperator::opExtractDayOfWeek:
      return "DAYOFWEEK";
    case TOperator::opExtractDayOfYear:
      return "DAYOFYEAR";
    case TOperator::opExtractHour:
      return "HOUR";
    case TOperator::opExtractMinute:
      return "MINUTE";
    case TOperator::opExtractSecond:
      return "SECOND";
    default:
      return "MSECOND";
  }
}

std::string_view TrimPartName(TOperator op) {
  if (op == TOperator::opTrimLeading) return "LEADING";
  if (op == TOperator::opTrimTrailing) return "TRAILING";
  return "BOTH";
}

bool IsTrim(TOperator op) {
  return op == TOperator::opTrimLeading || op == TOperator::opTrimTrailing ||
         op == TOperator::opTrimBoth;
}

bool IsExtract(TOperator op) {
  return op >= TOperator::opExtractYear && op <= TOperator::opExtractMSecond;
}

void AppendCase(std::string& out, const TExpToken& node) {
  const TExpToken* conditions = node.Child(kCaseConditionsChild);
  const TExpToken* results = node.Child(kCaseResultsChild);
  out += node.Text;
  out += ' ';
  if (const TExpToken* operand = node.Child(kCaseOperandChild)) {
    AppendNode(out, operand, kAnyLevel);
    out += ' ';
  }
  size_t when_count = conditions != nullptr ? conditions->ChildCount() : 0;
  for (size_t i = 0; i < when_count; ++i) {
    out += "WHEN ";
    AppendNode(out, conditions->Child(i), kAnyLevel);
    out += " THEN ";
    AppendNode(out, results != nullptr ? results->Child(i) : nullptr, kAnyLevel);
    out += ' ';
  }
  if (results != nullptr && results->ChildCount() > when_count) {
    out += "ELSE ";
    AppendNode(out, results->Child(when_count), kAnyLevel);
    out += ' ';
  }
  out += "END";
}

void AppendFunction(std::string& out, const TExpToken& node) {
  if (node.Operator == TOperator::opCase) {
    AppendCase(out, node);
    return;
  }
  out += node.Text;
  out += '(';
  if (node.Operator == TOperator::opCast) {
    AppendNode(out, node.Child(0), kAdditiveLevel);
    out += ',';
    out += DataTypeText(node);
  } else if (IsTrim(node.Operator) && AsciiSameText(node.Text, "TRIM")) {
    out += TrimPartName(node.Operator);
    out += ' ';
    AppendNode(out, node.Child(0), kPrimaryLevel);
    out += ',';
    AppendNode(out, node.Child(1), kAdditiveLevel);
  } else if (IsTrim(node.Operator)) {
    AppendNode(out, node.Child(1), kAdditiveLevel);  // child 0 is the implied blank
  } else if (IsExtract(node.Operator)) {
    out += ExtractPartName(node.Operator);
    out += ',';
    AppendNode(out, node.Child(0), kAdditiveLevel);
  } else {
    int min_level = TakesFullArguments(node.Operator) ? kAnyLevel : kAdditiveLevel;
    for (size_t i = 0; i < node.ChildCount(); ++i) {
      if (i > 0) out += ',';
      AppendNode(out, node.Child(i), min_level);
    }
  }
  out += ')';
}

void AppendExtended(std::string& out, const TExpToken& node) {
  AppendNode(out, node.Child(0), kAdditiveLevel);
  out += ' ';
  out += node.Text;
  switch (node.Operator) {
    case TOperator::opBetween:
    case TOperator::opNotBetween:
      out += ' ';
      AppendNode(out, node.Child(1), kAdditiveLevel);
      out += " AND ";
      AppendNode(out, node.Child(2), kAdditiveLevel);
      break;
    case TOperator::opLike:
    case TOperator::opNotLike:
      out += ' ';
      AppendNode(out, node.Child(1), kAdditiveLevel);
      if (node.ChildCount() > 2) {
        out += " ESCAPE ";
        AppendNode(out, node.Child(2), kPrimaryLevel);
      }
      break;
    case TOperator::opInSubQuery:
    case TOperator::opNotInSubQuery:
      out += " (";
      if (const TExpToken* sub_query = node.Child(1)) out += sub_query->Text;
      out += ')';
      break;
    default:
      out += " (";
      for (size_t i = 1; i < node.ChildCount(); ++i) {
        if (i > 1) out += " , ";
        AppendNode(out, node.Child(i), kAdditiveLevel);
      }
      out += ')';
      break;
  }
}

void AppendNode(std::string& out, const TExpToken* node, int min_level) {
  if (node == nullptr) return;
  int level = LevelOf(*node);
  bool parenthesized = level < min_level;
  if (parenthesized) out += '(';
  switch (node->Kind) {
    case TNodeKind::nkUnary:
      out += node->Text;
      out += ' ';
      AppendNode(out, node->Left.get(), level == kNotLevel ? kComparisonLevel : kPrimaryLevel);
      break;
    case TNodeKind::nkBinary:
    case TNodeKind::nkCompare: {
      bool comparison = level == kComparisonLevel;
      AppendNode(out, node->Left.get(), comparison ? kAdditiveLevel : level);
      out += ' ';
      out += node->Text;
      if (!IsNullTest(*node)) {
        out += ' ';
        AppendNode(out, node->Right.get(), comparison ? kAdditiveLevel : level + 1);
      }
      break;
    }
    case TNodeKind::nkExtended:
      AppendExtended(out, *node);
      break;
    case TNodeKind::nkFunction:
      AppendFunction(out, *node);
      break;
    default:
      out += node->Text;
      break;
  }
  if (parenthesized) out += ')';
}

std::string SizedTypeText(std::string_view name, const TExpToken& node) {
  std::string text(name);
  if (const TExpToken* length = node.Child(1)) {
    text += '(';
    text += ExpressionText(*length);
    if (const TExpToken* scale = node.Child(2)) {
      text += ',';
      text += ExpressionText(*scale);
    }
    text += ')';
  }
  return text;
}

}  // namespace

std::string ExpressionText(const TExpToken& node) {
  std::string out;
  AppendNode(out, &node, kAnyLevel);
  return out;
}

std::string DataTypeText(const TExpToken& node) {
  switch (node.DataType) {
    case TDataType::dtString:
      switch (node.SubType) {
        case TDataSubType::dsFixed:
          return SizedTypeText("CHAR", node);
        case TDataSubType::dsWide:
          return SizedTypeText("WIDECHAR", node);
        case TDataSubType::dsGuid:
          return "GUID";
        default:
          return SizedTypeText("VARCHAR", node);
      }
    case TDataType::dtBlob:
      if (node.SubType == TDataSubType::dsMemo) return "MEMO";
      if (node.SubType == TDataSubType::dsGraphic) return "GRAPHIC";
      return "BLOB";
    case TDataType::dtDate:
      return "DATE";
    case TDataType::dtTime:
      return "TIME";
    case TDataType::dtTimestamp:
      return "TIMESTAMP";
    case TDataType::dtBoolean:
      return "BOOLEAN";
    case TDataType::dtSmallInt:
      return "SMALLINT";
    case TDataType::dtWord:
      return "WORD";
    case TDataType::dtInteger:
      return node.SubType == TDataSubType::dsAutoInc ? "AUTOINC" : "INTEGER";
    case TDataType::dtLargeInt:
      return "LARGEINT";
    case TDataType::dtFloat:
      return node.SubType == TDataSubType::dsMoney ? "MONEY" : SizedTypeText("FLOAT", node);
    case TDataType::dtBcd:
      return SizedTypeText("DECIMAL", node);
    case TDataType::dtBytes:
      return SizedTypeText("BYTES", node);
    case TDataType::dtVarBytes:
      return SizedTypeText("VARBYTES", node);
    case TDataType::dtUnknown:
      break;
  }
  return "";
}

}  // namespace veltra
