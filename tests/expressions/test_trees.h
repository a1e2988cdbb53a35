// Small builders of typed expression trees for the evaluation tests: constants of every type,
// NULLs, operator nodes with their result types, and readers of evaluated results. The trees are
// typed the way verification types them, and their operations are selected by SelectOperations.
#pragma once

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/bcd.h"
#include "core/data_types.h"
#include "core/value_conversion.h"
#include "core/value_text.h"
#include "expressions/evaluator.h"
#include "expressions/exp_token.h"

namespace veltra::test_trees {

using Node = std::unique_ptr<TExpToken>;

inline Node Typed(TNodeKind kind, TOperator op, std::string text, TDataType type,
                  TDataSubType sub = TDataSubType::dsNone) {
  Node node = MakeToken(kind, op, std::move(text));
  SetResultType(*node, type, sub);
  return node;
}

inline Node Int(int32_t v) {
  Node n = Typed(TNodeKind::nkConstant, TOperator::opNone, std::to_string(v), TDataType::dtInteger);
  StoreInteger(n->Data(), v);
  return n;
}
inline Node Small(int16_t v) {
  Node n =
      Typed(TNodeKind::nkConstant, TOperator::opNone, std::to_string(v), TDataType::dtSmallInt);
  StoreSmallInt(n->Data(), v);
  return n;
}
inline Node Word(uint16_t v) {
  Node n = Typed(TNodeKind::nkConstant, TOperator::opNone, std::to_string(v), TDataType::dtWord);
  StoreWord(n->Data(), v);
  return n;
}
inline Node Large(int64_t v) {
  Node n =
      Typed(TNodeKind::nkConstant, TOperator::opNone, std::to_string(v), TDataType::dtLargeInt);
  StoreLargeInt(n->Data(), v);
  return n;
}
inline Node Float(double v) {
  Node n = Typed(TNodeKind::nkConstant, TOperator::opNone, std::to_string(v), TDataType::dtFloat);
  StoreFloat(n->Data(), v);
  return n;
}
inline Node Bcd(const std::string& text, uint8_t scale) {
  Node n = Typed(TNodeKind::nkConstant, TOperator::opNone, text, TDataType::dtBcd);
  n->Scale = scale;
  StoreBcd(n->Data(), *BcdFromText(text, scale));
  return n;
}
inline Node Bool(bool v) {
  Node n =
      Typed(TNodeKind::nkConstant, TOperator::opNone, v ? "TRUE" : "FALSE", TDataType::dtBoolean);
  StoreBoolean(n->Data(), v);
  return n;
}
inline Node Date(int32_t day) {
  Node n = Typed(TNodeKind::nkConstant, TOperator::opNone, "date", TDataType::dtDate);
  StoreDate(n->Data(), day);
  return n;
}
inline Node Time(int32_t ms) {
  Node n = Typed(TNodeKind::nkConstant, TOperator::opNone, "time", TDataType::dtTime);
  StoreTime(n->Data(), ms);
  return n;
}
inline Node Stamp(double ms) {
  Node n = Typed(TNodeKind::nkConstant, TOperator::opNone, "stamp", TDataType::dtTimestamp);
  StoreTimestamp(n->Data(), ms);
  return n;
}
inline Node Str(const std::string& v, uint32_t size = 0) {
  Node n = Typed(TNodeKind::nkConstant, TOperator::opNone, "'" + v + "'", TDataType::dtString);
  n->SetDataSize(size != 0 ? size : static_cast<uint32_t>(v.size() + 1));
  std::memcpy(n->Data(), v.data(), v.size());
  n->Data()[v.size()] = 0;
  return n;
}
// A NULL of the type (dtUnknown: the untyped NULL constant).
inline Node Null(TDataType type = TDataType::dtUnknown, uint32_t size = 0) {
  Node n = Typed(TNodeKind::nkConstant, TOperator::opNone, "NULL", type);
  if (size != 0) n->SetDataSize(size);
  if (type == TDataType::dtString && size == 0) n->SetDataSize(11);
  n->IsNull = true;
  std::memset(n->Data(), 0, n->DataSize() == 0 ? 1 : n->DataSize());
  return n;
}

inline Node Binary(TOperator op, Node left, Node right, TDataType result = TDataType::dtBoolean,
                   TNodeKind kind = TNodeKind::nkBinary) {
  Node n = Typed(kind, op, "op", result);
  n->Left = std::move(left);
  n->Right = std::move(right);
  return n;
}
inline Node Unary(TOperator op, Node operand, TDataType result) {
  Node n = Typed(TNodeKind::nkUnary, op, "op", result);
  n->Left = std::move(operand);
  return n;
}
inline Node Extended(TOperator op, std::vector<Node> children) {
  Node n = Typed(TNodeKind::nkExtended, op, "op", TDataType::dtBoolean);
  for (Node& child : children) n->AddChild(std::move(child));
  return n;
}
template <class... Nodes>
std::vector<Node> List(Nodes... nodes) {
  std::vector<Node> list;
  (list.push_back(std::move(nodes)), ...);
  return list;
}

// Selects the operations of the tree and evaluates it.
inline TExpToken& EvalTree(TExpToken& root, TEvaluationContext& context) {
  SelectOperations(root);
  Evaluate(root, context);
  return root;
}
inline TExpToken& EvalTree(TExpToken& root) {
  TEvaluationContext context;
  return EvalTree(root, context);
}

inline std::optional<bool> BoolOf(const TExpToken& n) {
  if (n.IsNull) return std::nullopt;
  return LoadBoolean(n.Data());
}
inline std::optional<int64_t> IntOf(const TExpToken& n) {
  if (n.IsNull) return std::nullopt;
  switch (n.DataType) {
    case TDataType::dtSmallInt:
      return LoadSmallInt(n.Data());
    case TDataType::dtWord:
      return LoadWord(n.Data());
    case TDataType::dtLargeInt:
      return LoadLargeInt(n.Data());
    default:
      return LoadInteger(n.Data());
  }
}
inline std::optional<double> FloatOf(const TExpToken& n) {
  if (n.IsNull) return std::nullopt;
  return LoadFloat(n.Data());
}
inline std::optional<std::string> TextOf(const TExpToken& n) {
  if (n.IsNull) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(n.Data()));
}
inline std::optional<std::string> BcdTextOf(const TExpToken& n) {
  if (n.IsNull) return std::nullopt;
  auto text = BcdValueToText(LoadBcd(n.Data()));
  if (!text) return std::nullopt;
  return text->ToString();
}

// The value's text as the conversions write it; nullopt for NULL.
inline std::optional<std::string> ValueTextOf(const TExpToken& n) {
  if (n.IsNull) return std::nullopt;
  TValueDesc desc{n.DataType, n.SubType, n.DataSize(), n.Scale};
  return ValueToText(desc, n.Data());
}

}  // namespace veltra::test_trees
