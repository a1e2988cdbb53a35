// Expression trees: the TExpToken node that the parser builds for every expression of a statement
// or filter, its node kinds and its operator codes.
//
// A node owns its value buffer and its operands: `Left` and `Right` for unary and binary
// operators, `Children` for extended operators and function arguments. Freeing a node frees its
// whole subtree. The parser fills the source fields (text, kind, operator, names, position and,
// for constants, the value); type verification fills the result type (type, subtype, size, scale)
// and picks the node's operation once, so that evaluation dispatches through `Operation` without
// looking at types again; the binder fills the resolved field of a column.
//
// The value buffer starts at kValueBufferSize zeroed bytes, so values of that size never
// reallocate; a larger size grows it. It always holds at least one byte, zero when the size is 0,
// so a NULL text always reads as the empty text.
//
// A tree belongs to one statement or filter and is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/data_types.h"

namespace veltra {

class TDataQuery;           // the SQL layer's query; the expression layer only carries it
class TSourceTable;         // the SQL layer's source table of a bound column
struct TEvaluationContext;  // what evaluation passes down the tree
class TExpToken;

// The evaluation of one node, picked at verification.
using TNodeOperation = void (*)(TExpToken& node, TEvaluationContext& context);

enum class TNodeKind : uint8_t {
  nkNone = 0,
  nkUnary = 1,     // NOT, unary - and +: operand in Left
  nkBinary = 2,    // AND, OR, arithmetic, comparisons, IS [NOT] NULL: Left, Right
  nkCompare = 3,   // made only by filter preparation: a string compare with prefix and case
  nkExtended = 4,  // [NOT] BETWEEN, LIKE, IN: Children
  nkColumn = 5,    // a column, '*', or an IN sub-query (Query)
  nkConstant = 6,  // literals, NULL, TRUE, FALSE, '?' parameters
  nkFunction = 8,  // aggregates, scalar functions, CAST, CASE, custom functions: Children
};

enum class TOperator : uint8_t {
  opNone = 0,
  opEqual = 3,     // '=', IS NULL
  opNotEqual = 4,  // '<>', '><', IS NOT NULL
  opGreater = 5,
  opLess = 6,
  opGreaterOrEqual = 7,
  opLessOrEqual = 8,
  opNot = 9,
  opAnd = 10,
  opOr = 11,
  opNegate = 15,
  opPlus = 16,
  opAdd = 17,  // '+' and '||'
  opSubtract = 18,
  opMultiply = 19,
  opDivide = 20,
  opSum = 21,
  opRunSum = 22,
  opCount = 23,
  opMin = 24,
  opMax = 25,
  opAvg = 26,
  opStdDev = 27,
  opLike = 28,
  opInList = 29,
  opInSubQuery = 30,
  opUpper = 31,
  opLower = 32,
  opBetween = 33,
  opNotBetween = 34,
  opNotLike = 35,
  opNotInList = 36,
  opNotInSubQuery = 37,
  opSubstring = 38,
  opReplace = 39,
  opPosition = 40,
  opOccurs = 41,
  opTrimLeading = 42,
  opTrimTrailing = 43,
  opTrimBoth = 44,
  opLength = 45,
  opLeft = 46,
  opRight = 47,
  opRepeat = 48,
  opConcat = 49,
  opCast = 50,
  opExtractYear = 51,
  opExtractMonth = 52,
  opExtractWeek = 53,
  opExtractDay = 54,
  opExtractDayOfWeek = 55,
  opExtractDayOfYear = 56,
  opExtractHour = 57,
  opExtractMinute = 58,
  opExtractSecond = 59,
  opExtractMSecond = 60,
  opYearsFromMSecs = 61,
  opDaysFromMSecs = 62,
  opHoursFromMSecs = 63,
  opMinsFromMSecs = 64,
  opSecsFromMSecs = 65,
  opMSecsFromMSecs = 66,
  opIf = 67,
  opCoalesce = 68,
  opIfNull = 69,
  opAbs = 70,
  opRound = 71,
  opMod = 72,
  opACos = 73,
  opASin = 74,
  opATan = 75,
  opATan2 = 76,
  opCeiling = 77,
  opCos = 78,
  opCot = 79,
  opDegrees = 80,
  opExp = 81,
  opFloor = 82,
  opLog = 83,
  opLog10 = 84,
  opPi = 85,
  opPower = 86,
  opRadians = 87,
  opRand = 88,
  opSign = 89,
  opSin = 90,
  opSqrt = 91,
  opTan = 92,
  opTrunc = 93,
  opTextSearch = 94,
  opTextOccurs = 95,
  opLastAutoInc = 96,
  opIdentCurrent = 97,
  opCustomFunction = 98,
  opCurrentDate = 99,
  opCurrentTime = 100,
  opCurrentTimestamp = 101,
  opCurrentGuid = 102,
  opNullIf = 105,
  opCase = 106,
  opCaseConditions = 107,  // child 0 of a CASE node
  opCaseResults = 108,     // child 1 of a CASE node
};

// Children of a CASE node. With an operand (CASE x WHEN ...), the operand is child 2 and the
// conditions are the WHEN values, each compared with the operand's one value; without one, the
// conditions are Boolean expressions. The results list the THEN values, then the ELSE value (a
// NULL constant when there is no ELSE).
inline constexpr size_t kCaseConditionsChild = 0;
inline constexpr size_t kCaseResultsChild = 1;
inline constexpr size_t kCaseOperandChild = 2;

// Bytes a new node's value buffer holds.
inline constexpr uint32_t kValueBufferSize = 1016;
// Names of columns and tables are short strings of at most this many characters.
inline constexpr size_t kMaxNameLength = 255;

class TExpToken {
 public:
  TExpToken();
  TExpToken(TNodeKind kind, TOperator op, std::string text);
  ~TExpToken();
  TExpToken(const TExpToken&) = delete;
  TExpToken& operator=(const TExpToken&) = delete;

  // ---- Source fields (the parser) ----------------------------------------------------------
  std::string Text;  // the operator, keyword, name or literal as written
  TNodeKind Kind = TNodeKind::nkNone;
  TOperator Operator = TOperator::opNone;
  std::string ColumnName;       // column: the name without delimiters; "*" for a star
  std::string TableName;        // qualified column: the normalized correlation name
  TDataQuery* Query = nullptr;  // the query the node belongs to; a sub-query node's sub-query
  int32_t Line = 0;             // position of the node's token, for later messages
  int32_t Column = 0;

  // ---- Value and result type (constants from the parser; the rest from verification) -------
  bool IsNull = false;
  TDataType DataType = TDataType::dtUnknown;
  TDataSubType SubType = TDataSubType::dsNone;
  uint8_t Scale = 0;  // decimal places of a BCD value

  // ---- Operands ------------------------------------------------------------------------------
  std::unique_ptr<TExpToken> Left;
  std::unique_ptr<TExpToken> Right;
  std::vector<std::unique_ptr<TExpToken>> Children;

  // ---- Later stages (zero as the parser leaves them) ------------------------------------------
  uint16_t FieldNumber = 0;             // the bound field of a column (1-based), 0 unbound
  TSourceTable* SourceTable = nullptr;  // the bound column's source table
  uint32_t PrefixLength = 0;            // nkCompare: characters compared, 0 for the whole texts
  bool CaseInsensitive = false;         // nkCompare and case-flagged comparisons
  TNodeOperation Operation = nullptr;   // evaluates this node; picked at verification

  // ---- The value buffer ------------------------------------------------------------------------
  uint8_t* Data() { return data_.data(); }
  const uint8_t* Data() const { return data_.data(); }
  // Number of meaningful bytes in Data().
  uint32_t DataSize() const { return data_size_; }
  // Sets the number of meaningful bytes. A size up to kValueBufferSize keeps the buffer at
  // kValueBufferSize bytes (giving back a grown one); a larger size grows it, the new bytes
  // zero. Size 0 also zeroes the first byte. The bytes below the size are kept.
  void SetDataSize(uint32_t size);
  // The buffer's current capacity in bytes (at least kValueBufferSize).
  size_t BufferSize() const { return data_.size(); }

  // ---- Children ----------------------------------------------------------------------------
  size_t ChildCount() const { return Children.size(); }
  // Child `index`, or null when there is none.
  TExpToken* Child(size_t index) const;
  // Puts `child` at `index`, growing the list with empty slots as needed; a child already there
  // is freed.
  void PutChild(size_t index, std::unique_ptr<TExpToken> child);
  // Appends `child` and returns it.
  TExpToken& AddChild(std::unique_ptr<TExpToken> child);

  // ---- Copies and comparison -----------------------------------------------------------------
  // Copies Data (DataSize bytes), DataSize, IsNull, DataType, SubType and Scale from `other`.
  void CopyValue(const TExpToken& other);
  // Copies every field but the operands (value, names, position and later-stage fields).
  void CopyAttributes(const TExpToken& other);
  // A deep copy of the subtree.
  std::unique_ptr<TExpToken> Clone() const;
  // Node equality: kind, operator, column and table names (ASCII case fold), type, subtype, size,
  // scale and the later-stage fields; for constants also IsNull and the value bytes. Operands are
  // not compared.
  bool SameNode(const TExpToken& other) const;
  // SameNode over the whole subtrees, with the operands in the same places.
  bool SameTree(const TExpToken& other) const;

  // The height of the subtree as the parser built it (1 for a leaf); the parser keeps trees
  // shallow enough for the recursive passes over them.
  uint32_t Height() const { return height_; }
  // Recomputes Height() from the operands' heights.
  void UpdateHeight();

 private:
  std::vector<uint8_t> data_;
  uint32_t data_size_ = 0;
  uint32_t height_ = 1;
};

// A new node with the kind, operator and text.
std::unique_ptr<TExpToken> MakeToken(TNodeKind kind, TOperator op, std::string text);

// Sets the node's type and subtype and, for the types of fixed size, the data size.
void SetResultType(TExpToken& node, TDataType type, TDataSubType sub_type = TDataSubType::dsNone);

}  // namespace veltra
