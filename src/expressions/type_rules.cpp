#include "expressions/type_rules.h"

#include <algorithm>

namespace veltra {

namespace {

using D = TDataType;
using S = TDataSubType;
using O = TOperator;
using namespace type_sets;

// ---- Names in messages, in the order messages list them ------------------------------------

struct TTypeName {
  std::string_view name;
  D type;
  std::optional<S> sub_type;  // unset: the name stands for the type whatever its subtype
};

constexpr TTypeName kTypeNames[] = {
    {"FixedChar", D::dtString, S::dsFixed},
    {"GUID", D::dtString, S::dsGuid},
    {"String", D::dtString, S::dsNone},
    {"Bytes", D::dtBytes, std::nullopt},
    {"VarBytes", D::dtVarBytes, std::nullopt},
    {"Boolean", D::dtBoolean, std::nullopt},
    {"SmallInt", D::dtSmallInt, std::nullopt},
    {"Word", D::dtWord, std::nullopt},
    {"AutoInc", D::dtInteger, S::dsAutoInc},
    {"Integer", D::dtInteger, S::dsNone},
    {"LargeInt", D::dtLargeInt, std::nullopt},
    {"Currency", D::dtFloat, S::dsMoney},
    {"Float", D::dtFloat, S::dsNone},
    {"BCD", D::dtBcd, std::nullopt},
    {"Date", D::dtDate, std::nullopt},
    {"Time", D::dtTime, std::nullopt},
    {"Timestamp", D::dtTimestamp, std::nullopt},
    {"Memo", D::dtBlob, S::dsMemo},
    {"Graphic", D::dtBlob, S::dsGraphic},
    {"BLOB", D::dtBlob, S::dsNone},
};

bool SetNames(const TTypeSet& set, const TTypeName& name) {
  if (!set.types.Contains(CodeOf(name.type))) return false;
  return !name.sub_type || set.sub_types.Contains(CodeOf(*name.sub_type));
}

struct TKindName {
  TKindSet bit;
  std::string_view name;
};

constexpr TKindName kKindNames[] = {
    {ksUnary, "unary operator"},     {ksBinary, "binary operator"},
    {ksCompare, "compare operator"}, {ksExtended, "extended binary operator"},
    {ksColumn, "column name"},       {ksConstant, "constant value"},
    {ksFunction, "function name"},
};

// Joins the names with ", ", the last one after "or " when there are several.
std::string JoinNames(std::string list, size_t count, std::string_view last) {
  if (count > 1) list += "or ";
  list += last;
  return list;
}

// ---- Binary operand rules ---------------------------------------------------------------------

// Right-operand sets by the left operand's class, in TTypeClass order:
// untyped, string, memo, blob, Boolean, integer, fraction, bytes, date, time, timestamp.
constexpr TTypeSet kEqualIntegerRight{{{4, 8}, 12, 18}, {0, 21, 29}};
constexpr TTypeSet kEqualBooleanRight{{{4, 6}, 12, 18}, {0, 29}};
constexpr TTypeSet kBytesRight{{9, 15}, {0, 100}};
constexpr TTypeSet kDateRight{{2, 11}, {0}};
constexpr TTypeSet kTimeRight{{10}, {0}};

constexpr TBinaryOperandRule kEqualRule{
    {{{1, 12}, 15, 18}, {0, 21, 22, 26, 29, 31, 32, 50, 100}},
    {kAnything, kStringOrMemo, kStringOrMemo, kNothing, kEqualBooleanRight, kEqualIntegerRight,
     kNumber, kBytesRight, kDateRight, kTimeRight, kDateRight}};

constexpr TBinaryOperandRule kOrderRule{
    {{{1, 3}, {5, 12}, 15, 18}, {0, 21, 22, 29, 31, 32, 50, 100}},
    {kAnything, kStringOrMemo, kStringOrMemo, kNothing, kNothing, kNumber, kNumber, kAnything,
     kDateRight, kTimeRight, kDateRight}};

constexpr TBinaryOperandRule kLogicRule{
    {{4}, {0}},
    {kAnything, kBoolean, kBoolean, kBoolean, kBoolean, kBoolean, kBoolean, kBoolean, kBoolean,
     kBoolean, kBoolean}};

constexpr TTypeSet kAddToDateRight{{5, 6, 12, 18}, {0, 29}};
constexpr TTypeSet kAddToIntegerRight{{2, {5, 8}, {10, 12}, 18}, {0, 21, 29}};

constexpr TBinaryOperandRule kAddRule{
    {{{1, 3}, {5, 8}, {10, 12}, 18}, {0, 21, 22, 29, 31, 32, 50}},
    {kAnything, kStringOrMemo, kStringOrMemo, kNothing, kNothing, kAddToIntegerRight, kNumber,
     kNothing, kAddToDateRight, kAddToDateRight, kAddToDateRight}};

constexpr TBinaryOperandRule kSubtractRule{
    {{2, {5, 8}, {10, 12}, 18}, {0, 21, 29}},
    {kAnything, kNothing, kNothing, kNothing, kNothing, kNumber, kNumber, kNothing,
     TTypeSet{{2, 5, 6, 12, 18}, {0, 29}}, TTypeSet{{5, 6, 10, 12, 18}, {0, 29}},
     TTypeSet{{2, 5, 6, {10, 12}, 18}, {0, 29}}}};

constexpr TBinaryOperandRule kMultiplyRule{
    kNumber,
    {kAnything, kNothing, kNothing, kNothing, kNothing, kNumber, kNumber, kNothing, kNothing,
     kNothing, kNothing}};

constexpr TBinaryOperandRule kModRule{kInteger,
                                      {kAnything, kNothing, kNothing, kNothing, kNothing, kInteger,
                                       kInteger, kNothing, kNothing, kNothing, kNothing}};

// ---- Arithmetic result types --------------------------------------------------------------

// Type masks over the codes (all below 32).
using TTypeMask = uint32_t;
constexpr TTypeMask Bit(D type) { return TTypeMask{1} << CodeOf(type); }
constexpr TTypeMask kString1 = Bit(D::dtString);
constexpr TTypeMask kMemo1 = Bit(D::dtBlob);
constexpr TTypeMask kDate1 = Bit(D::dtDate);
constexpr TTypeMask kTime1 = Bit(D::dtTime);
constexpr TTypeMask kTimestamp1 = Bit(D::dtTimestamp);
constexpr TTypeMask kFloat1 = Bit(D::dtFloat);
constexpr TTypeMask kBcd1 = Bit(D::dtBcd);
constexpr TTypeMask kLarge1 = Bit(D::dtLargeInt);
constexpr TTypeMask kSmall = Bit(D::dtSmallInt) | Bit(D::dtInteger) | Bit(D::dtWord);
constexpr TTypeMask kWhole = kSmall | kLarge1;
constexpr TTypeMask kNumbers = kWhole | kFloat1 | kBcd1;

using TOperatorMask = uint8_t;
constexpr TOperatorMask kAdd = 1, kSub = 2, kMul = 4, kDiv = 8, kMod = 16;

struct TResultEntry {
  TOperatorMask ops;
  TTypeMask left;
  TTypeMask right;
  D result;
};

constexpr TResultEntry kResultTable[] = {
    {kAdd, kString1, kString1, D::dtString},
    {kAdd, kString1, kMemo1, D::dtBlob},
    {kAdd, kMemo1, kString1 | kMemo1, D::dtBlob},
    {kAdd, kDate1, kWhole, D::dtDate},
    {kAdd, kSmall, kDate1, D::dtDate},
    {kAdd, kSmall, kSmall, D::dtInteger},
    {kAdd, kSmall, kFloat1, D::dtFloat},
    {kAdd, kSmall, kBcd1, D::dtBcd},
    {kAdd, kSmall, kTime1, D::dtTime},
    {kAdd, kSmall, kTimestamp1, D::dtTimestamp},
    {kAdd, kSmall, kLarge1, D::dtLargeInt},
    {kAdd, kLarge1, kDate1, D::dtDate},
    {kAdd, kLarge1, kWhole, D::dtLargeInt},
    {kAdd, kLarge1, kFloat1, D::dtFloat},
    {kAdd, kLarge1, kBcd1, D::dtBcd},
    {kAdd, kLarge1, kTime1, D::dtTime},
    {kAdd, kLarge1, kTimestamp1, D::dtTimestamp},
    {kAdd, kTime1, kWhole, D::dtTime},
    {kAdd, kTimestamp1, kWhole, D::dtTimestamp},
    {kSub, kDate1, kDate1, D::dtInteger},
    {kSub, kDate1, kWhole, D::dtDate},
    {kSub, kTime1, kTime1, D::dtInteger},
    {kSub, kTime1, kWhole, D::dtTime},
    {kSub, kTimestamp1, kDate1 | kTime1 | kTimestamp1, D::dtFloat},
    {kSub, kTimestamp1, kWhole, D::dtTimestamp},
    {kSub | kMul, kSmall, kSmall, D::dtInteger},
    {kSub | kMul, kSmall, kFloat1, D::dtFloat},
    {kSub | kMul, kSmall, kBcd1, D::dtBcd},
    {kSub | kMul, kSmall, kLarge1, D::dtLargeInt},
    {kSub | kMul, kLarge1, kWhole, D::dtLargeInt},
    {kSub | kMul, kLarge1, kFloat1, D::dtFloat},
    {kSub | kMul, kLarge1, kBcd1, D::dtBcd},
    {kAdd | kSub | kMul | kDiv, kFloat1, kNumbers, D::dtFloat},
    {kAdd | kSub | kMul | kDiv, kBcd1, kWhole | kBcd1, D::dtBcd},
    {kAdd | kSub | kMul | kDiv, kBcd1, kFloat1, D::dtFloat},
    {kDiv, kWhole, kWhole | kFloat1, D::dtFloat},
    {kDiv, kWhole, kBcd1, D::dtBcd},
    {kMod, kSmall, kSmall, D::dtInteger},
    {kMod, kSmall, kLarge1, D::dtLargeInt},
    {kMod, kLarge1, kWhole, D::dtLargeInt},
};

TOperatorMask MaskOf(O op) {
  switch (op) {
    case O::opAdd:
    case O::opConcat:
      return kAdd;
    case O::opSubtract:
      return kSub;
    case O::opMultiply:
      return kMul;
    case O::opDivide:
      return kDiv;
    case O::opMod:
      return kMod;
    default:
      return 0;
  }
}

std::optional<D> LookUpResult(TOperatorMask op, D left, D right) {
  for (const TResultEntry& entry : kResultTable) {
    if ((entry.ops & op) != 0 && (entry.left & Bit(left)) != 0 && (entry.right & Bit(right)) != 0) {
      return entry.result;
    }
  }
  return std::nullopt;
}

// ---- Functions ------------------------------------------------------------------------------

using A = TArgumentRule;
using R = TResultRule;

constexpr TFunctionRule kFunctionRules[] = {
    {O::opSum, 1, 1, {A::arNumber}, R::rrSum},
    {O::opRunSum, 1, 1, {A::arNumber}, R::rrSum},
    {O::opCount, 1, 1, {A::arAny}, R::rrFixed, D::dtInteger},
    {O::opMin, 1, 1, {A::arMinMax}, R::rrMinMax},
    {O::opMax, 1, 1, {A::arMinMax}, R::rrMinMax},
    {O::opAvg, 1, 1, {A::arAverage}, R::rrSum},
    {O::opStdDev, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opUpper, 1, 1, {A::arString}, R::rrText, D::dtUnknown, 0},
    {O::opLower, 1, 1, {A::arString}, R::rrText, D::dtUnknown, 0},
    {O::opSubstring, 2, 3, {A::arString, A::arInteger, A::arInteger}, R::rrText, D::dtUnknown, 0},
    {O::opReplace, 3, 3, {A::arString}, R::rrReplace},
    {O::opPosition, 2, 2, {A::arString}, R::rrFixed, D::dtInteger},
    {O::opOccurs, 2, 2, {A::arString}, R::rrFixed, D::dtInteger},
    {O::opTrimLeading, 2, 2, {A::arString}, R::rrText, D::dtUnknown, 1},
    {O::opTrimTrailing, 2, 2, {A::arString}, R::rrText, D::dtUnknown, 1},
    {O::opTrimBoth, 2, 2, {A::arString}, R::rrText, D::dtUnknown, 1},
    {O::opLength, 1, 1, {A::arString}, R::rrFixed, D::dtInteger},
    {O::opLeft, 2, 2, {A::arString, A::arInteger}, R::rrText, D::dtUnknown, 0},
    {O::opRight, 2, 2, {A::arString, A::arInteger}, R::rrText, D::dtUnknown, 0},
    {O::opRepeat, 2, 2, {A::arString, A::arInteger}, R::rrRepeat},
    {O::opConcat, 2, 2, {A::arString}, R::rrConcat},
    {O::opCast, 1, 3, {A::arAny}, R::rrCast},
    {O::opExtractYear, 1, 1, {A::arDateTime}, R::rrFixed, D::dtInteger},
    {O::opExtractMonth, 1, 1, {A::arDateTime}, R::rrFixed, D::dtInteger},
    {O::opExtractWeek, 1, 1, {A::arDateTime}, R::rrFixed, D::dtInteger},
    {O::opExtractDay, 1, 1, {A::arDateTime}, R::rrFixed, D::dtInteger},
    {O::opExtractDayOfWeek, 1, 1, {A::arDateTime}, R::rrFixed, D::dtInteger},
    {O::opExtractDayOfYear, 1, 1, {A::arDateTime}, R::rrFixed, D::dtInteger},
    {O::opExtractHour, 1, 1, {A::arDateTime}, R::rrFixed, D::dtInteger},
    {O::opExtractMinute, 1, 1, {A::arDateTime}, R::rrFixed, D::dtInteger},
    {O::opExtractSecond, 1, 1, {A::arDateTime}, R::rrFixed, D::dtInteger},
    {O::opExtractMSecond, 1, 1, {A::arDateTime}, R::rrFixed, D::dtInteger},
    {O::opYearsFromMSecs, 1, 1, {A::arNumber}, R::rrFixed, D::dtInteger},
    {O::opDaysFromMSecs, 1, 1, {A::arNumber}, R::rrFixed, D::dtInteger},
    {O::opHoursFromMSecs, 1, 1, {A::arNumber}, R::rrFixed, D::dtInteger},
    {O::opMinsFromMSecs, 1, 1, {A::arNumber}, R::rrFixed, D::dtInteger},
    {O::opSecsFromMSecs, 1, 1, {A::arNumber}, R::rrFixed, D::dtInteger},
    {O::opMSecsFromMSecs, 1, 1, {A::arNumber}, R::rrFixed, D::dtInteger},
    {O::opIf, 3, 3, {A::arCondition, A::arAny, A::arAny}, R::rrUnify, D::dtUnknown, 1, "IF", true},
    {O::opCoalesce, 1, 255, {A::arAny}, R::rrUnify, D::dtUnknown, 0, "COALESCE", true},
    {O::opIfNull, 3, 3, {A::arAny}, R::rrUnify, D::dtUnknown, 1, "IFNULL", true},
    {O::opNullIf, 2, 3, {A::arAny}, R::rrUnify, D::dtUnknown, 0, "NULLIF", true},
    {O::opAbs, 1, 1, {A::arNumber}, R::rrArgument, D::dtUnknown, 0},
    {O::opRound, 1, 2, {A::arNumber, A::arInteger}, R::rrArgument, D::dtUnknown, 0},
    {O::opTrunc, 1, 2, {A::arNumber, A::arInteger}, R::rrArgument, D::dtUnknown, 0},
    {O::opMod, 2, 2, {A::arInteger}, R::rrModulo},
    {O::opACos, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opASin, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opATan, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opATan2, 2, 2, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opCeiling, 1, 1, {A::arNumber}, R::rrFixed, D::dtLargeInt},
    {O::opCos, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opCot, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opDegrees, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opExp, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opFloor, 1, 1, {A::arNumber}, R::rrFixed, D::dtLargeInt},
    {O::opLog, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opLog10, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opPi, 0, 0, {A::arAny}, R::rrFixed, D::dtFloat},
    {O::opPower, 2, 2, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opRadians, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opRand, 0, 1, {A::arInteger}, R::rrFixed, D::dtFloat},
    {O::opSign, 1, 1, {A::arNumber}, R::rrFixed, D::dtInteger},
    {O::opSin, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opSqrt, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opTan, 1, 1, {A::arNumber}, R::rrFixed, D::dtFloat},
    {O::opTextSearch, 2, 2, {A::arString, A::arTextColumn}, R::rrFixed, D::dtBoolean, 0, {}, true},
    {O::opTextOccurs, 2, 2, {A::arString, A::arTextColumn}, R::rrFixed, D::dtInteger},
    {O::opLastAutoInc, 1, 1, {A::arTableName}, R::rrFixed, D::dtInteger},
    {O::opIdentCurrent, 1, 1, {A::arTableName}, R::rrFixed, D::dtInteger},
    {O::opCustomFunction, 0, 255, {A::arAny}, R::rrCustom, D::dtUnknown, 0, {}, true},
    {O::opCurrentDate, 0, 0, {A::arAny}, R::rrFixed, D::dtDate},
    {O::opCurrentTime, 0, 0, {A::arAny}, R::rrFixed, D::dtTime},
    {O::opCurrentTimestamp, 0, 0, {A::arAny}, R::rrFixed, D::dtTimestamp},
    {O::opCurrentGuid, 0, 0, {A::arAny}, R::rrFixed, D::dtString},
    {O::opCase, 2, 3, {A::arAny}, R::rrCase, D::dtUnknown, 0, {}, true},
};

}  // namespace

TTypeClass ClassOf(TDataType type, TDataSubType sub_type) {
  switch (type) {
    case D::dtUnknown:
      return TTypeClass::tcUntyped;
    case D::dtString:
      return TTypeClass::tcString;
    case D::dtBlob:
      return sub_type == S::dsMemo ? TTypeClass::tcMemo : TTypeClass::tcBlob;
    case D::dtBoolean:
      return TTypeClass::tcBoolean;
    case D::dtSmallInt:
    case D::dtInteger:
    case D::dtWord:
    case D::dtLargeInt:
      return TTypeClass::tcInteger;
    case D::dtFloat:
    case D::dtBcd:
      return TTypeClass::tcFraction;
    case D::dtBytes:
    case D::dtVarBytes:
      return TTypeClass::tcBytes;
    case D::dtDate:
      return TTypeClass::tcDate;
    case D::dtTime:
      return TTypeClass::tcTime;
    case D::dtTimestamp:
      return TTypeClass::tcTimestamp;
  }
  return TTypeClass::tcUntyped;
}

const TBinaryOperandRule* BinaryOperandRule(TOperator op) {
  switch (op) {
    case O::opEqual:
    case O::opNotEqual:
      return &kEqualRule;
    case O::opGreater:
    case O::opLess:
    case O::opGreaterOrEqual:
    case O::opLessOrEqual:
      return &kOrderRule;
    case O::opAnd:
    case O::opOr:
      return &kLogicRule;
    case O::opAdd:
      return &kAddRule;
    case O::opSubtract:
      return &kSubtractRule;
    case O::opMultiply:
    case O::opDivide:
      return &kMultiplyRule;
    case O::opMod:
      return &kModRule;
    default:
      return nullptr;
  }
}

std::optional<TDataType> ArithmeticResultType(TOperator op, TDataType left, TDataType right) {
  TOperatorMask mask = MaskOf(op);
  if (mask == 0) return std::nullopt;
  if (auto result = LookUpResult(mask, left, right)) return result;
  return LookUpResult(mask, right, left);
}

std::string TypeListText(const TTypeCheck& check) {
  std::string list = "NULL";
  size_t count = 0;
  std::string_view last;
  for (const TTypeName& name : kTypeNames) {
    if (!SetNames(check.first, name) && !(check.second && SetNames(*check.second, name))) continue;
    if (count > 0) list += std::string(", ").append(last);
    last = name.name;
    ++count;
  }
  if (count == 0) return list;
  list += ", ";
  return JoinNames(std::move(list), count, last);
}

std::string KindListText(TKindSet kinds) {
  std::string list;
  size_t count = 0;
  std::string_view last;
  for (const TKindName& kind : kKindNames) {
    if ((kinds & kind.bit) == 0) continue;
    if (count > 0) list.append(last).append(", ");
    last = kind.name;
    ++count;
  }
  return JoinNames(std::move(list), count, last);
}

const TFunctionRule* FunctionRule(TOperator op) {
  for (const TFunctionRule& rule : kFunctionRules) {
    if (rule.op == op) return &rule;
  }
  return nullptr;
}

TTypeCheck ArgumentCheck(TArgumentRule rule) {
  switch (rule) {
    case A::arAny:
    case A::arTableName:
      return kAnything;
    case A::arString:
    case A::arTextColumn:
      return kStringValue;
    case A::arNumber:
      return kNumber;
    case A::arInteger:
      return kInteger;
    case A::arCondition:
      return kCondition;
    case A::arDateTime:
      return kDateTime;
    case A::arMinMax:
      return TTypeSet{{1, 2, {5, 8}, {10, 12}, 18}, {0, 21, 29, 31, 32, 50}};
    case A::arAverage:
      return TTypeSet{{2, {5, 8}, {10, 12}, 18}, {0, 21, 29}};
  }
  return kAnything;
}

TDataType UntypedArgumentType(TArgumentRule rule) {
  switch (rule) {
    case A::arString:
    case A::arTextColumn:
    case A::arTableName:
      return D::dtString;
    case A::arNumber:
    case A::arInteger:
    case A::arCondition:
    case A::arAny:
      return D::dtInteger;
    case A::arMinMax:
    case A::arAverage:
      return D::dtFloat;
    case A::arDateTime:
      return D::dtDate;
  }
  return D::dtInteger;
}

TTypeCheck CastSourceCheck(TDataType target) {
  switch (target) {
    case D::dtDate:
      return TTypeSet{{1, 2, 9, 11, 15}, TCodeSet::All()};
    case D::dtTime:
      return TTypeSet{{1, {9, 11}, 15}, TCodeSet::All()};
    case D::dtTimestamp:
      return TTypeSet{{1, 2, {9, 11}, 15}, TCodeSet::All()};
    case D::dtBoolean:
    case D::dtSmallInt:
    case D::dtInteger:
    case D::dtFloat:
    case D::dtBcd:
    case D::dtWord:
    case D::dtLargeInt:
      return TTypeSet{{1, {4, 9}, 12, 15, 18}, {0, 21, 29, 31, 32}};
    default:
      return kAnything;
  }
}

uint32_t ClampVerifiedSize(uint64_t size) {
  return static_cast<uint32_t>(std::clamp<uint64_t>(size, 1, kMaxVerifiedSize));
}

}  // namespace veltra
