// The type rules of expressions, kept as data: which operand types every operator and function
// accepts, which result type a pair of operand types gives, and the names that type-mismatch
// messages list. Type verification (type_verification.h) walks a tree and applies them; nothing
// here looks at a tree.
//
// A type set is a pair of 256-bit sets, allowed type codes and allowed subtype codes: a value
// passes when its type is in the first and its subtype in the second. A type check is one or two
// sets, passed when either passes ("a string or a memo").
//
// Verified sizes. A node's verified size is the buffer size evaluation starts from. Every
// verified size is at most kMaxVerifiedSize, the size of the buffer a new node already holds, so
// verification itself never grows a buffer, however long a text may become. Where a result can
// be longer than that, or than any bound known before evaluation, evaluation grows the buffer as
// it computes the result: concatenations (memo + memo above all, a memo's verified size being
// only its reference's), REPLACE (whose result can be the source's length times the
// replacement's) and REPEAT (whose count may be a column). These sizes are computed in 64 bits
// and clamped, so a size never wraps.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "core/data_types.h"
#include "expressions/exp_token.h"

namespace veltra {

// The largest size verification gives a node (see above).
inline constexpr uint32_t kMaxVerifiedSize = kValueBufferSize;

// A closed range of type or subtype codes; one code when first == last.
struct TCodeRange {
  uint8_t first;
  uint8_t last;
  constexpr TCodeRange(uint8_t code) : first(code), last(code) {}  // NOLINT: one code
  constexpr TCodeRange(uint8_t from, uint8_t to) : first(from), last(to) {}
};

class TCodeSet {
 public:
  constexpr TCodeSet() = default;
  constexpr TCodeSet(std::initializer_list<TCodeRange> ranges) {
    for (const TCodeRange& range : ranges) {
      for (unsigned code = range.first; code <= range.last; ++code) Add(static_cast<uint8_t>(code));
    }
  }
  static constexpr TCodeSet All() {
    TCodeSet set;
    for (auto& word : set.words_) word = ~uint64_t{0};
    return set;
  }
  constexpr void Add(uint8_t code) { words_[code / 64] |= uint64_t{1} << (code % 64); }
  constexpr bool Contains(uint8_t code) const {
    return (words_[code / 64] >> (code % 64) & 1) != 0;
  }
  constexpr bool Empty() const { return (words_[0] | words_[1] | words_[2] | words_[3]) == 0; }

 private:
  std::array<uint64_t, 4> words_{};
};

struct TTypeSet {
  TCodeSet types;
  TCodeSet sub_types;

  constexpr bool Contains(TDataType type, TDataSubType sub_type) const {
    return types.Contains(CodeOf(type)) && sub_types.Contains(CodeOf(sub_type));
  }
};

struct TTypeCheck {
  TTypeSet first;
  std::optional<TTypeSet> second;

  constexpr TTypeCheck(TTypeSet set) : first(set) {}  // NOLINT: one set
  constexpr TTypeCheck(TTypeSet a, TTypeSet b) : first(a), second(b) {}
  constexpr bool Accepts(TDataType type, TDataSubType sub_type) const {
    return first.Contains(type, sub_type) || (second && second->Contains(type, sub_type));
  }
};

// The sets that recur in the rules. Strings hold the plain, fixed, wide and GUID subtypes.
namespace type_sets {
inline constexpr TTypeSet kNothing{};
inline constexpr TTypeSet kAnything{TCodeSet::All(), TCodeSet::All()};
inline constexpr TTypeSet kString{{1}, {0, 31, 32, 50}};
inline constexpr TTypeSet kMemo{{3}, {22}};
inline constexpr TTypeSet kStringOrMemo{{1, 3}, {0, 22, 31, 32, 50}};
inline constexpr TTypeSet kBoolean{{4}, {0}};
inline constexpr TTypeSet kNumber{{{5, 8}, 12, 18}, {0, 21, 29}};
inline constexpr TTypeSet kInteger{{5, 6, 12, 18}, {0, 29}};
inline constexpr TTypeSet kCondition{{{4, 6}, 12, 18}, {0, 29}};
inline constexpr TTypeSet kDateTime{{2, 10, 11}, {0}};
inline constexpr TTypeCheck kStringValue{kString, kMemo};
}  // namespace type_sets

// The type classes by which the right operand's rules depend on the left operand's type.
enum class TTypeClass : uint8_t {
  tcUntyped,  // an untyped NULL or parameter
  tcString,
  tcMemo,
  tcBlob,  // BLOB other than memo
  tcBoolean,
  tcInteger,   // small integer, integer, word, large integer
  tcFraction,  // float and BCD
  tcBytes,     // bytes and varbytes
  tcDate,
  tcTime,
  tcTimestamp,
};
inline constexpr size_t kTypeClassCount = 11;

TTypeClass ClassOf(TDataType type, TDataSubType sub_type);

// The operand rules of a binary operator: the left operand's set, and the right operand's set
// by the left operand's class. Null for operators that are not binary.
struct TBinaryOperandRule {
  TTypeSet left;
  std::array<TTypeSet, kTypeClassCount> right;
};
const TBinaryOperandRule* BinaryOperandRule(TOperator op);

// The result type of an arithmetic operator (opAdd, opSubtract, opMultiply, opDivide, opMod)
// over the two operand types: the pair as given, else the swapped pair; nullopt when neither
// has an entry.
std::optional<TDataType> ArithmeticResultType(TOperator op, TDataType left, TDataType right);

// The list that a type-mismatch message names for `check`: "NULL", then every type name the
// check admits in the engine's order, the last one preceded by "or " when several are named
// ("NULL, SmallInt, Integer, or Float").
std::string TypeListText(const TTypeCheck& check);

// Kind sets of kind-mismatch messages: the bits of the kinds.
using TKindSet = uint16_t;
inline constexpr TKindSet ksUnary = 2;
inline constexpr TKindSet ksBinary = 4;
inline constexpr TKindSet ksCompare = 8;
inline constexpr TKindSet ksExtended = 16;
inline constexpr TKindSet ksColumn = 32;
inline constexpr TKindSet ksConstant = 64;
inline constexpr TKindSet ksFunction = 256;

// "column name", "column name, or constant value", ...
std::string KindListText(TKindSet kinds);

// ---------------------------------------------------------------------------------------------
// Functions.

// What a function argument must be.
enum class TArgumentRule : uint8_t {
  arAny,     // any value, not checked
  arString,  // string or memo
  arNumber,
  arInteger,
  arCondition,   // Boolean, or a number used as a truth value
  arDateTime,    // date, time or timestamp; a string constant is converted
  arMinMax,      // the types MIN and MAX order
  arAverage,     // the types AVG sums
  arTableName,   // a string constant (or a bare name) naming a table
  arTextColumn,  // a string column
};

// How a function's result type is found.
enum class TResultRule : uint8_t {
  rrFixed,     // the rule's type and subtype, at their stored size
  rrSum,       // SUM, RUNSUM, AVG: widened from the argument
  rrMinMax,    // the argument's type without the auto-increment subtype
  rrArgument,  // the type, size and scale of argument `subject`
  rrText,      // the string type (memo for a BLOB) and size of argument `subject`
  rrReplace,   // the source's type; size bounded by the replacement (see kMaxVerifiedSize)
  rrRepeat,    // the string's type; size by the count
  rrConcat,    // as the concatenation operator
  rrModulo,    // as the MOD operator
  rrUnify,     // unified over the arguments from `subject`
  rrCast,
  rrCase,
  rrCustom,  // the declared type (set by the parser)
};

struct TFunctionRule {
  TOperator op;
  uint8_t min_arguments;
  uint8_t max_arguments;
  std::array<TArgumentRule, 3> arguments;  // the last entry repeats for further arguments
  TResultRule result;
  TDataType type = TDataType::dtUnknown;  // rrFixed
  uint8_t subject = 0;                    // rrArgument, rrText, rrUnify
  std::string_view name = {};             // rrUnify: the name the unification text uses
  bool boolean_rewrite = false;           // the result takes part in the Boolean rewrite
};

// The rule of function operator `op`, or null when it is not a function (opCase's lists are
// verified with the CASE node).
const TFunctionRule* FunctionRule(TOperator op);

// The type check of an argument rule (arAny and arTableName: anything).
TTypeCheck ArgumentCheck(TArgumentRule rule);

// The type an untyped argument (a NULL or a parameter) takes under the rule.
TDataType UntypedArgumentType(TArgumentRule rule);

// CAST: the source types a target type accepts.
TTypeCheck CastSourceCheck(TDataType target);

// Sizes computed in 64 bits and clamped to 1 .. kMaxVerifiedSize.
uint32_t ClampVerifiedSize(uint64_t size);

}  // namespace veltra
