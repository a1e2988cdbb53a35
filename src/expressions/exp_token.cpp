#include "expressions/exp_token.h"

#include <algorithm>
#include <cstring>

#include "expressions/scanner.h"

namespace veltra {

TExpToken::TExpToken() : data_(kValueBufferSize, 0) {}

TExpToken::TExpToken(TNodeKind kind, TOperator op, std::string text)
    : Text(std::move(text)), Kind(kind), Operator(op), data_(kValueBufferSize, 0) {}

TExpToken::~TExpToken() = default;

void TExpToken::SetDataSize(uint32_t size) {
  if (size <= kValueBufferSize) {
    if (data_.size() != kValueBufferSize) {
      data_.resize(kValueBufferSize);
      data_.shrink_to_fit();
    }
  } else if (size > data_.size()) {
    data_.resize(size, 0);
  }
  if (size == 0) data_[0] = 0;
  data_size_ = size;
}

TExpToken* TExpToken::Child(size_t index) const {
  return index < Children.size() ? Children[index].get() : nullptr;
}

void TExpToken::PutChild(size_t index, std::unique_ptr<TExpToken> child) {
  if (index >= Children.size()) Children.resize(index + 1);
  Children[index] = std::move(child);
  UpdateHeight();
}

TExpToken& TExpToken::AddChild(std::unique_ptr<TExpToken> child) {
  Children.push_back(std::move(child));
  if (Children.back() != nullptr) height_ = std::max(height_, Children.back()->height_ + 1);
  return *Children.back();
}

void TExpToken::UpdateHeight() {
  uint32_t below = 0;
  if (Left != nullptr) below = std::max(below, Left->height_);
  if (Right != nullptr) below = std::max(below, Right->height_);
  for (const auto& child : Children) {
    if (child != nullptr) below = std::max(below, child->height_);
  }
  height_ = below + 1;
}

void TExpToken::CopyValue(const TExpToken& other) {
  SetDataSize(other.data_size_);
  if (other.data_size_ > 0) std::memcpy(data_.data(), other.data_.data(), other.data_size_);
  IsNull = other.IsNull;
  DataType = other.DataType;
  SubType = other.SubType;
  Scale = other.Scale;
}

void TExpToken::CopyAttributes(const TExpToken& other) {
  CopyValue(other);
  Text = other.Text;
  Kind = other.Kind;
  Operator = other.Operator;
  ColumnName = other.ColumnName;
  TableName = other.TableName;
  Query = other.Query;
  Line = other.Line;
  Column = other.Column;
  FieldNumber = other.FieldNumber;
  SourceTable = other.SourceTable;
  PrefixLength = other.PrefixLength;
  CaseInsensitive = other.CaseInsensitive;
  Operation = other.Operation;
}

std::unique_ptr<TExpToken> TExpToken::Clone() const {
  auto copy = std::make_unique<TExpToken>();
  copy->CopyAttributes(*this);
  if (Left != nullptr) copy->Left = Left->Clone();
  if (Right != nullptr) copy->Right = Right->Clone();
  copy->Children.reserve(Children.size());
  for (const auto& child : Children) {
    copy->Children.push_back(child != nullptr ? child->Clone() : nullptr);
  }
  copy->height_ = height_;
  return copy;
}

bool TExpToken::SameNode(const TExpToken& other) const {
  if (Kind != other.Kind || Operator != other.Operator || DataType != other.DataType ||
      SubType != other.SubType || data_size_ != other.data_size_ || Scale != other.Scale ||
      FieldNumber != other.FieldNumber || SourceTable != other.SourceTable ||
      PrefixLength != other.PrefixLength || CaseInsensitive != other.CaseInsensitive) {
    return false;
  }
  if (!AsciiSameText(ColumnName, other.ColumnName) || !AsciiSameText(TableName, other.TableName)) {
    return false;
  }
  if (Kind == TNodeKind::nkConstant) {
    if (IsNull != other.IsNull) return false;
    if (data_size_ > 0 && std::memcmp(data_.data(), other.data_.data(), data_size_) != 0) {
      return false;
    }
  }
  return true;
}

namespace {

bool SameOperand(const TExpToken* a, const TExpToken* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return a->SameTree(*b);
}

}  // namespace

bool TExpToken::SameTree(const TExpToken& other) const {
  if (!SameNode(other) || Children.size() != other.Children.size()) return false;
  if (!SameOperand(Left.get(), other.Left.get()) || !SameOperand(Right.get(), other.Right.get())) {
    return false;
  }
  for (size_t i = 0; i < Children.size(); ++i) {
    if (!SameOperand(Children[i].get(), other.Children[i].get())) return false;
  }
  return true;
}

std::unique_ptr<TExpToken> MakeToken(TNodeKind kind, TOperator op, std::string text) {
  return std::make_unique<TExpToken>(kind, op, std::move(text));
}

void SetResultType(TExpToken& node, TDataType type, TDataSubType sub_type) {
  node.DataType = type;
  node.SubType = sub_type;
  if (!HasDeclaredSize(type) && type != TDataType::dtUnknown) {
    node.SetDataSize(StoredSizeOf(type, sub_type, 0));
  }
}

}  // namespace veltra
