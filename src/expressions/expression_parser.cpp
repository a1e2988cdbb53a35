#include "expressions/expression_parser.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "core/engine_settings.h"

namespace veltra {

namespace {

// The most nodes one text may produce: every node carries a value buffer, so this bounds what a
// hostile text can make the parser allocate.
constexpr size_t kMaxNodesPerText = 50'000;
constexpr std::string_view kTooComplex = "Expression too complex";
constexpr uint32_t kMaxCharCode = 255;

std::string_view TrimBlanks(std::string_view text) {
  auto is_blank = [](char ch) { return static_cast<uint8_t>(ch) <= ' '; };
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string ShortName(std::string_view name) {
  return std::string(name.substr(0, std::min(name.size(), kMaxNameLength)));
}

bool IsComparisonChar(const TExpressionScanner& scanner) {
  return scanner.TokenIs('=') || scanner.TokenIs('<') || scanner.TokenIs('>');
}

bool IsStarColumn(const TExpToken& node) {
  return node.Kind == TNodeKind::nkColumn && node.ColumnName == "*" && node.Query == nullptr;
}

}  // namespace

// Counts one level of recursion through the parser; a text nested deeper than kMaxNesting
// raises before the stack can run out.
class TNestingGuard {
 public:
  explicit TNestingGuard(TExpressionParser& parser) : parser_(parser) {
    if (parser_.nesting_ >= kMaxNesting) parser_.ErrorMessage(kTooComplex);
    ++parser_.nesting_;
  }
  ~TNestingGuard() { --parser_.nesting_; }
  TNestingGuard(const TNestingGuard&) = delete;
  TNestingGuard& operator=(const TNestingGuard&) = delete;

 private:
  TExpressionParser& parser_;
};

TExpressionParser::TExpressionParser() : data_extension_(kDefaultTableDataExtension) {
  SetContextText("SQL statement");
}

TExpressionParser::~TExpressionParser() = default;

std::string TExpressionParser::NormalizeTableName(std::string_view name) const {
  name = TrimBlanks(name);
  size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  if (!data_extension_.empty() && name.size() > data_extension_.size() &&
      AsciiSameText(name.substr(name.size() - data_extension_.size()), data_extension_)) {
    name.remove_suffix(data_extension_.size());
  }
  return ShortName(name);
}

// ---- Entry points: each drops the parameters it added when it fails. ---------------------------

std::unique_ptr<TExpToken> TExpressionParser::ParseExpression(TPermissions permissions) {
  size_t parameters = parameters_.size();
  try {
    TNestingGuard guard(*this);
    return ParseOr(permissions);
  } catch (...) {
    parameters_.resize(parameters);
    throw;
  }
}

std::unique_ptr<TExpToken> TExpressionParser::ParseAdditive(TPermissions permissions) {
  size_t parameters = parameters_.size();
  try {
    TTextPosition start = TokenPosition();
    auto left = ParseMultiplicative(permissions);
    for (;;) {
      std::unique_ptr<TExpToken> node;
      if (TokenIs('+')) {
        RejectStarOperand(*left, start);
        node = NodeHere(TNodeKind::nkBinary, TOperator::opAdd);
        NextToken();
      } else if (TokenIs('-')) {
        RejectStarOperand(*left, start);
        node = NodeHere(TNodeKind::nkBinary, TOperator::opSubtract);
        NextToken();
      } else if (TokenIs('|')) {
        RejectStarOperand(*left, start);
        node = NodeHere(TNodeKind::nkBinary, TOperator::opAdd);
        NextToken();
        Expect('|');
        node->Text = "||";
        NextToken();
      } else {
        return left;
      }
      node->DataType = left->DataType;
      auto right = ParseMultiplicative(permissions & ~pfStar);
      left = MakeBinary(std::move(node), std::move(left), std::move(right));
    }
  } catch (...) {
    parameters_.resize(parameters);
    throw;
  }
}

std::unique_ptr<TExpToken> TExpressionParser::ParsePrimary(TPermissions permissions) {
  size_t parameters = parameters_.size();
  try {
    TNestingGuard guard(*this);
    switch (TokenType()) {
      case TTokenType::ttString:
        return ParseString();
      case TTokenType::ttCharCode:
        return ParseCharCode();
      case TTokenType::ttInteger:
      case TTokenType::ttReal:
        return ParseNumber();
      case TTokenType::ttBracketedName:
      case TTokenType::ttQuotedName:
        return ParseColumn(permissions);
      case TTokenType::ttIdentifier:
        break;
      default:
        if (TokenIs('(')) {
          NextToken();
          auto inner = ParseExpression(permissions & ~pfStar);
          ExpectAndSkip(')');
          return inner;
        }
        if (TokenIs('*')) {
          if ((permissions & pfStar) == 0) ErrorInvalidExpression();
          auto node = NodeHere(TNodeKind::nkColumn, TOperator::opNone);
          node->ColumnName = "*";
          NextToken();
          return node;
        }
        if (TokenIs('?')) return ParseParameter(permissions);
        ErrorExpected("expression");
    }
    if (auto function = ParseFunction(permissions)) return function;
    if (TokenIsWord("TRUE") || TokenIsWord("FALSE")) {
      auto node = NodeHere(TNodeKind::nkConstant, TOperator::opNone);
      SetResultType(*node, TDataType::dtBoolean);
      StoreBoolean(node->Data(), TokenIsWord("TRUE"));
      NextToken();
      return node;
    }
    if (TokenIsWord("NULL")) {
      auto node = NodeHere(TNodeKind::nkConstant, TOperator::opNone);
      node->IsNull = true;
      NextToken();
      return node;
    }
    if (custom_functions_) {
      if (const TCustomFunctionDefinition* function = custom_functions_(RawTokenText())) {
        return ParseCustomFunction(*function, permissions & ~pfStar);
      }
    }
    return ParseColumn(permissions);
  } catch (...) {
    parameters_.resize(parameters);
    throw;
  }
}

// ---- Node building ----------------------------------------------------------------------------

std::unique_ptr<TExpToken> TExpressionParser::NodeHere(TNodeKind kind, TOperator op) {
  return NewNode(kind, op, std::string(RawTokenText()), TokenPosition());
}

std::unique_ptr<TExpToken> TExpressionParser::NewNode(TNodeKind kind, TOperator op,
                                                      std::string text,
                                                      const TTextPosition& position) {
  if (++nodes_made_ > kMaxNodesPerText) ErrorMessage(kTooComplex);
  auto node = MakeToken(kind, op, std::move(text));
  node->Line = position.line;
  node->Column = position.column;
  node->Query = owner_query_;
  return node;
}

void TExpressionParser::CheckHeight(const TExpToken& node) {
  if (node.Height() > kMaxTreeHeight) ErrorMessage(kTooComplex);
}

std::unique_ptr<TExpToken> TExpressionParser::MakeBinary(std::unique_ptr<TExpToken> node,
                                                         std::unique_ptr<TExpToken> left,
                                                         std::unique_ptr<TExpToken> right) {
  node->Left = std::move(left);
  node->Right = std::move(right);
  node->UpdateHeight();
  CheckHeight(*node);
  return node;
}

void TExpressionParser::RejectStarOperand(const TExpToken& node, const TTextPosition& start) {
  if (!IsStarColumn(node)) return;
  SetMarkAt(start);
  ErrorInvalidExpression(true);
}

void TExpressionParser::ExpectSeparator(std::string_view word) {
  if (TokenIsWord(word) || TokenIs(',')) {
    NextToken();
    return;
  }
  ErrorExpected(std::string(word) + " or ,");
}

// ---- Precedence levels ------------------------------------------------------------------------

std::unique_ptr<TExpToken> TExpressionParser::ParseOr(TPermissions permissions) {
  TTextPosition start = TokenPosition();
  auto left = ParseAnd(permissions);
  while (TokenIsWord("OR")) {
    RejectStarOperand(*left, start);
    auto node = NodeHere(TNodeKind::nkBinary, TOperator::opOr);
    SetResultType(*node, TDataType::dtBoolean);
    NextToken();
    auto right = ParseAnd(permissions & ~pfStar);
    left = MakeBinary(std::move(node), std::move(left), std::move(right));
  }
  return left;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseAnd(TPermissions permissions) {
  TTextPosition start = TokenPosition();
  auto left = ParseNot(permissions);
  while (TokenIsWord("AND")) {
    RejectStarOperand(*left, start);
    auto node = NodeHere(TNodeKind::nkBinary, TOperator::opAnd);
    SetResultType(*node, TDataType::dtBoolean);
    NextToken();
    auto right = ParseNot(permissions & ~pfStar);
    left = MakeBinary(std::move(node), std::move(left), std::move(right));
  }
  return left;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseNot(TPermissions permissions) {
  if (!TokenIsWord("NOT")) return ParseComparison(permissions);
  auto node = NodeHere(TNodeKind::nkUnary, TOperator::opNot);
  SetResultType(*node, TDataType::dtBoolean);
  NextToken();
  node->Left = ParseComparison(permissions & ~pfStar);
  node->UpdateHeight();
  CheckHeight(*node);
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseComparison(TPermissions permissions) {
  TTextPosition start = TokenPosition();
  auto left = ParseAdditive(permissions);
  if (IsComparisonChar(*this)) {
    RejectStarOperand(*left, start);
    auto node = NodeHere(TNodeKind::nkBinary, TOperator::opEqual);
    SetResultType(*node, TDataType::dtBoolean);
    char first = RawTokenText()[0];
    NextToken();
    if (first == '<' && TokenIs('>')) {
      node->Operator = TOperator::opNotEqual;
    } else if (first == '>' && TokenIs('<')) {
      node->Operator = TOperator::opNotEqual;
    } else if (first != '=' && TokenIs('=')) {
      node->Operator = first == '<' ? TOperator::opLessOrEqual : TOperator::opGreaterOrEqual;
    } else if (first != '=') {
      node->Operator = first == '<' ? TOperator::opLess : TOperator::opGreater;
    }
    if (node->Operator == TOperator::opNotEqual || node->Operator == TOperator::opLessOrEqual ||
        node->Operator == TOperator::opGreaterOrEqual) {
      node->Text += RawTokenText();
      NextToken();
    }
    auto right = ParseAdditive(permissions & ~pfStar);
    node = MakeBinary(std::move(node), std::move(left), std::move(right));
    // One comparison per level: a = b = c is not a chain.
    if (IsComparisonChar(*this)) ErrorInvalidExpression();
    return node;
  }
  if (TokenIsWord("NOT") || TokenIsWord("IS") || TokenIsWord("BETWEEN") || TokenIsWord("LIKE") ||
      TokenIsWord("IN")) {
    return ParseExtended(std::move(left), start, permissions);
  }
  return left;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseExtended(std::unique_ptr<TExpToken> operand,
                                                            const TTextPosition& start,
                                                            TPermissions permissions) {
  TPermissions inner = permissions & ~pfStar;
  bool extended = (permissions & pfExtended) != 0;
  if (TokenIsWord("IS")) {
    if (!extended) {
      SetMarkAt(start);
      ErrorInvalidExpression(true);
    }
    RejectStarOperand(*operand, start);
    auto node = NodeHere(TNodeKind::nkBinary, TOperator::opEqual);
    SetResultType(*node, TDataType::dtBoolean);
    NextToken();
    if (TokenIsWord("NOT")) {
      node->Operator = TOperator::opNotEqual;
      node->Text += " " + std::string(RawTokenText());
      NextToken();
      if (!TokenIsWord("NULL")) ErrorExpected("NULL");
    } else if (!TokenIsWord("NULL")) {
      ErrorExpected("NULL or NOT");
    }
    node->Text += " " + std::string(RawTokenText());
    auto null_constant = NewNode(TNodeKind::nkConstant, TOperator::opNone, "", TokenPosition());
    null_constant->IsNull = true;
    NextToken();
    return MakeBinary(std::move(node), std::move(operand), std::move(null_constant));
  }

  std::string not_text;
  TTextPosition node_position = TokenPosition();
  if (TokenIsWord("NOT")) {
    if (!extended) {
      SetMarkAt(start);
      ErrorInvalidExpression(true);
    }
    not_text = std::string(RawTokenText()) + " ";
    NextToken();
    if (!TokenIsWord("BETWEEN") && !TokenIsWord("LIKE") && !TokenIsWord("IN")) {
      ErrorExpected("expression");
    }
  } else if (!extended) {
    ErrorInvalidExpression();
  }
  RejectStarOperand(*operand, start);
  bool negated = !not_text.empty();
  auto node = NodeHere(TNodeKind::nkExtended, TOperator::opNone);
  node->Text = not_text + node->Text;
  node->Line = node_position.line;
  node->Column = node_position.column;
  SetResultType(*node, TDataType::dtBoolean);
  bool is_between = TokenIsWord("BETWEEN");
  bool is_like = TokenIsWord("LIKE");
  NextToken();
  node->AddChild(std::move(operand));
  if (is_between) {
    node->Operator = negated ? TOperator::opNotBetween : TOperator::opBetween;
    node->AddChild(ParseAdditive(inner));
    ExpectWord("AND");
    NextToken();
    node->AddChild(ParseAdditive(inner));
  } else if (is_like) {
    node->Operator = negated ? TOperator::opNotLike : TOperator::opLike;
    node->AddChild(ParseAdditive(inner));
    if (TokenIsWord("ESCAPE")) {
      NextToken();
      node->AddChild(ParsePrimary(inner));
    }
  } else {
    node->Operator = negated ? TOperator::opNotInList : TOperator::opInList;
    node = ParseInList(std::move(node), permissions);
  }
  CheckHeight(*node);
  return node;
}

// After IN: '(' then a list of additive expressions, or a sub-select, then ')'.
std::unique_ptr<TExpToken> TExpressionParser::ParseInList(std::unique_ptr<TExpToken> node,
                                                          TPermissions permissions) {
  TPermissions inner = permissions & ~pfStar;
  ExpectAndSkip('(');
  if (!TokenIsWord("SELECT")) {
    node->AddChild(ParseAdditive(inner));
    while (SkipIf(',')) node->AddChild(ParseAdditive(inner));
    ExpectAndSkip(')');
    return node;
  }
  if ((permissions & pfSubQueries) == 0 || sub_query_host_ == nullptr) ErrorInvalidExpression();
  TNestingGuard guard(*this);
  node->Operator = node->Operator == TOperator::opNotInList ? TOperator::opNotInSubQuery
                                                            : TOperator::opInSubQuery;
  auto sub_query_node = NodeHere(TNodeKind::nkColumn, TOperator::opNone);
  TDataQuery& sub_query = sub_query_host_->CreateInSubQuery(owner_query_);
  sub_query_node->Query = &sub_query;
  TDataQuery* outer = owner_query_;
  owner_query_ = &sub_query;
  try {
    sub_query_node->Text = sub_query_host_->ParseSubQuery(sub_query, *this);
  } catch (...) {
    owner_query_ = outer;
    throw;
  }
  owner_query_ = outer;
  node->AddChild(std::move(sub_query_node));
  ExpectAndSkip(')');
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseMultiplicative(TPermissions permissions) {
  TTextPosition start = TokenPosition();
  auto left = ParseUnary(permissions);
  for (;;) {
    TOperator op = TOperator::opNone;
    if (TokenIs('*')) {
      op = TOperator::opMultiply;
    } else if (TokenIs('/')) {
      op = TOperator::opDivide;
    } else if (TokenIsWord("MOD")) {
      op = TOperator::opMod;
    } else {
      return left;
    }
    RejectStarOperand(*left, start);
    auto node = NodeHere(TNodeKind::nkBinary, op);
    node->DataType = left->DataType;
    NextToken();
    auto right = ParseUnary(permissions & ~pfStar);
    left = MakeBinary(std::move(node), std::move(left), std::move(right));
  }
}

std::unique_ptr<TExpToken> TExpressionParser::ParseUnary(TPermissions permissions) {
  if (!TokenIs('+') && !TokenIs('-')) return ParsePrimary(permissions);
  auto node = NodeHere(TNodeKind::nkUnary, TokenIs('-') ? TOperator::opNegate : TOperator::opPlus);
  NextToken();
  node->Left = ParsePrimary(permissions & ~pfStar);
  node->DataType = node->Left->DataType;
  node->UpdateHeight();
  CheckHeight(*node);
  return node;
}

// ---- Primaries --------------------------------------------------------------------------------

// Integers are Integer when they fit 32 bits, else LargeInt when they fit 64, else Float; reals
// are Float. The text is read with '.' as the decimal point whatever the locale; a form that
// does not read completely, or a value beyond the range of a double, is no number.
std::unique_ptr<TExpToken> TExpressionParser::ParseNumber() {
  auto node = NodeHere(TNodeKind::nkConstant, TOperator::opNone);
  std::string_view text = RawTokenText();
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (TokenType() == TTokenType::ttInteger) {
    int32_t value32 = 0;
    auto [end32, error32] = std::from_chars(first, last, value32);
    if (error32 == std::errc() && end32 == last) {
      SetResultType(*node, TDataType::dtInteger);
      StoreInteger(node->Data(), value32);
      NextToken();
      return node;
    }
    int64_t value64 = 0;
    auto [end64, error64] = std::from_chars(first, last, value64);
    if (error64 == std::errc() && end64 == last) {
      SetResultType(*node, TDataType::dtLargeInt);
      StoreLargeInt(node->Data(), value64);
      NextToken();
      return node;
    }
  }
  double value = 0;
  auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error != std::errc() || end != last || !std::isfinite(value)) {
    ErrorExpected("numeric expression");
  }
  SetResultType(*node, TDataType::dtFloat);
  StoreFloat(node->Data(), value);
  NextToken();
  return node;
}

// '' is a NULL string; any other string is its characters and a zero byte.
std::unique_ptr<TExpToken> TExpressionParser::ParseString() {
  auto node = NodeHere(TNodeKind::nkConstant, TOperator::opNone);
  std::string value = TokenText();
  node->DataType = TDataType::dtString;
  node->SetDataSize(static_cast<uint32_t>(value.size() + 1));
  std::memcpy(node->Data(), value.data(), value.size());
  node->Data()[value.size()] = 0;
  node->IsNull = value.empty();
  NextToken();
  return node;
}

// #n: the one-character string of byte n, 0 to 255.
std::unique_ptr<TExpToken> TExpressionParser::ParseCharCode() {
  std::string_view digits = RawTokenText().substr(1);
  if (digits.empty()) ErrorExpected("character constant");
  uint32_t code = 0;
  for (char digit : digits) {
    code = code * 10 + static_cast<uint32_t>(digit - '0');
    if (code > kMaxCharCode) ErrorExpected("character constant");
  }
  auto node = NodeHere(TNodeKind::nkConstant, TOperator::opNone);
  node->DataType = TDataType::dtString;
  node->SetDataSize(2);
  node->Data()[0] = static_cast<uint8_t>(code);
  node->Data()[1] = 0;
  NextToken();
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseColumn(TPermissions permissions) {
  TTextPosition start = TokenPosition();
  auto node = NodeHere(TNodeKind::nkColumn, TOperator::opNone);
  std::string first(TrimBlanks(TokenText()));
  NextToken();
  if (!TokenIs('.')) {
    node->ColumnName = ShortName(first);
    return node;
  }
  if ((permissions & pfQualified) == 0) ErrorInvalidExpression();
  NextToken();
  if (TokenIs('*')) {
    if ((permissions & pfStar) == 0) ErrorInvalidExpression();
    node->ColumnName = "*";
  } else if (IsNameToken()) {
    node->ColumnName = ShortName(TrimBlanks(TokenText()));
  } else {
    ErrorExpected("identifier");
  }
  node->TableName = NormalizeTableName(first);
  node->Text = std::string(TextFrom(start));
  NextToken();
  return node;
}

std::unique_ptr<TExpToken> TExpressionParser::ParseParameter(TPermissions permissions) {
  if ((permissions & pfParameters) == 0) ErrorInvalidExpression();
  auto node = NodeHere(TNodeKind::nkConstant, TOperator::opNone);
  NextToken();
  parameters_.push_back(node.get());
  return node;
}

}  // namespace veltra
