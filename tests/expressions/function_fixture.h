// Builders of small verified trees for the built-in function tests: typed constants, function
// nodes with the result type verification would give them and their operations picked, and
// readers of a node's result. The trees are typed by hand, so each test states the types it
// depends on.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/bcd.h"
#include "core/data_types.h"
#include "core/value_text.h"
#include "expressions/builtin_functions.h"
#include "expressions/evaluator.h"
#include "expressions/exp_token.h"

namespace veltra::function_test {

using Node = std::unique_ptr<TExpToken>;
using D = TDataType;
using O = TOperator;

inline Node Constant(D type, TDataSubType sub_type = TDataSubType::dsNone) {
  Node node = MakeToken(TNodeKind::nkConstant, O::opNone, "constant");
  SetResultType(*node, type, sub_type);
  node->Operation = SelectOperation(*node);
  return node;
}

// A string constant; `size` is the verified buffer size (at least the text and its zero).
inline Node Str(std::string_view text, uint32_t size = 0) {
  Node node = Constant(D::dtString);
  node->SetDataSize(std::max<uint32_t>(static_cast<uint32_t>(text.size() + 1), size));
  std::memcpy(node->Data(), text.data(), text.size());
  node->Text = "'" + std::string(text) + "'";
  return node;
}

inline Node Memo(std::string_view text) {
  Node node = Str(text);
  node->DataType = D::dtBlob;
  node->SubType = TDataSubType::dsMemo;
  return node;
}

// A NULL of the type (string: of `size`), or the untyped NULL.
inline Node NullOf(D type = D::dtUnknown, uint32_t size = 2) {
  Node node = Constant(type);
  if (type == D::dtUnknown || HasDeclaredSize(type)) node->SetDataSize(size);
  node->IsNull = true;
  node->Text = "NULL";
  return node;
}

inline Node Small(int16_t value) {
  Node node = Constant(D::dtSmallInt);
  StoreSmallInt(node->Data(), value);
  return node;
}
inline Node Int(int32_t value) {
  Node node = Constant(D::dtInteger);
  StoreInteger(node->Data(), value);
  return node;
}
inline Node Large(int64_t value) {
  Node node = Constant(D::dtLargeInt);
  StoreLargeInt(node->Data(), value);
  return node;
}
inline Node Float(double value) {
  Node node = Constant(D::dtFloat);
  StoreFloat(node->Data(), value);
  return node;
}
inline Node Bool(bool value) {
  Node node = Constant(D::dtBoolean);
  StoreBoolean(node->Data(), value);
  return node;
}
inline Node Bcd(std::string_view text, uint8_t scale) {
  Node node = Constant(D::dtBcd);
  node->Scale = scale;
  StoreBcd(node->Data(), BcdFromText(text, scale).value());
  return node;
}
inline Node Date(std::string_view text) {
  Node node = Constant(D::dtDate);
  StoreDate(node->Data(), TextToDate(text).value());
  return node;
}
inline Node Time(std::string_view text) {
  Node node = Constant(D::dtTime);
  StoreTime(node->Data(), TextToTime(text).value());
  return node;
}
inline Node Stamp(std::string_view text) {
  Node node = Constant(D::dtTimestamp);
  StoreTimestamp(node->Data(), TextToTimestamp(text).value());
  return node;
}

// A column that raises when evaluated without a fetcher: a branch that must not be taken.
inline Node Untouchable(D type = D::dtInteger) {
  Node node = MakeToken(TNodeKind::nkColumn, O::opNone, "untouchable");
  node->ColumnName = "untouchable";
  SetResultType(*node, type);
  if (HasDeclaredSize(type)) node->SetDataSize(8);
  node->Operation = SelectOperation(*node);
  return node;
}

// The result type verification gives a function node.
struct TResult {
  D type = D::dtUnknown;
  uint32_t size = 0;  // strings, bytes: the buffer size; others take the type's size
  uint8_t scale = 0;
  TDataSubType sub_type = TDataSubType::dsNone;
};

inline TResult Text(uint32_t size) { return {D::dtString, size}; }
inline TResult Of(D type, uint8_t scale = 0) { return {type, 0, scale}; }

inline void AddChildren(TExpToken&) {}
template <class... Rest>
void AddChildren(TExpToken& node, Node first, Rest... rest) {
  node.AddChild(std::move(first));
  AddChildren(node, std::move(rest)...);
}

// A function node over `children` with its operation picked; fails the test when none is.
template <class... Children>
Node Fn(O op, TResult result, Children... children) {
  Node node = MakeToken(TNodeKind::nkFunction, op, "FN");
  SetResultType(*node, result.type, result.sub_type);
  if (result.size != 0) node->SetDataSize(result.size);
  node->Scale = result.scale;
  AddChildren(*node, std::move(children)...);
  node->Operation = SelectFunctionOperation(*node);
  EXPECT_NE(node->Operation, nullptr) << "no operation for operator " << int(op);
  return node;
}

// Evaluates the tree with an empty context (no record, no locale, no host).
inline TExpToken& EvaluateTree(TExpToken& node, const platform::LocaleServices* locale = nullptr) {
  TEvaluationContext context;
  context.Locale = locale;
  Evaluate(node, context);
  return node;
}

inline std::optional<std::string> TextResult(const TExpToken& node) {
  if (node.IsNull) return std::nullopt;
  const char* chars = reinterpret_cast<const char*>(node.Data());
  return std::string(chars, strnlen(chars, node.DataSize()));
}

inline std::optional<int64_t> IntResult(const TExpToken& node) {
  if (node.IsNull) return std::nullopt;
  switch (node.DataType) {
    case D::dtSmallInt:
      return LoadSmallInt(node.Data());
    case D::dtWord:
      return LoadWord(node.Data());
    case D::dtLargeInt:
      return LoadLargeInt(node.Data());
    case D::dtBoolean:
      return LoadBoolean(node.Data()) ? 1 : 0;
    case D::dtDate:
      return LoadDate(node.Data());
    default:
      return LoadInteger(node.Data());
  }
}

// Floats as they are; decimals as their double value.
inline std::optional<double> FloatResult(const TExpToken& node) {
  if (node.IsNull) return std::nullopt;
  if (node.DataType == D::dtBcd) return BcdToDouble(LoadBcd(node.Data()));
  return LoadFloat(node.Data());
}

// True when the node's buffer is zero from byte `from` to its size.
inline bool ZeroFrom(const TExpToken& node, size_t from) {
  for (size_t i = from; i < node.DataSize(); ++i) {
    if (node.Data()[i] != 0) return false;
  }
  return true;
}

}  // namespace veltra::function_test
