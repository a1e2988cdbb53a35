#include "expressions/scanner.h"

#include <algorithm>
#include <cstring>

#include "core/engine_error.h"

namespace veltra {

namespace {

// Names and messages are short strings of at most this many characters.
constexpr size_t kMaxShortString = 255;

constexpr char kCr = '\r';
constexpr char kLf = '\n';

constexpr bool IsLetter(char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); }
constexpr bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }
constexpr bool IsHighByte(char ch) {
  auto byte = static_cast<uint8_t>(ch);
  return byte >= 128 && byte <= 254;
}
constexpr bool IsNameStart(char ch) { return IsLetter(ch) || ch == '_' || IsHighByte(ch); }
constexpr bool IsNamePart(char ch) {
  return IsNameStart(ch) || IsDigit(ch) || ch == '!' || ch == '$' || ch == '@';
}
constexpr bool IsSpace(char ch) {
  auto byte = static_cast<uint8_t>(ch);
  return byte >= 1 && byte <= 32;
}
constexpr char AsciiUpper(char ch) {
  return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch;
}

std::string CutShort(std::string_view text) {
  return std::string(text.substr(0, std::min(text.size(), kMaxShortString)));
}

}  // namespace

bool AsciiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

void TExpressionScanner::SetDatabaseName(std::string_view name) { database_name_ = CutShort(name); }
void TExpressionScanner::SetTableName(std::string_view name) { table_name_ = CutShort(name); }
void TExpressionScanner::SetContextText(std::string_view text) { context_text_ = CutShort(text); }

void TExpressionScanner::Reset(std::string_view text, int32_t line, int32_t column) {
  size_t nul = text.find('\0');
  text_.assign(text.substr(0, nul));
  pos_ = 0;
  line_ = line;
  line_start_ = 0;
  column_base_ = column;
  token_type_ = TTokenType::ttEnd;
  token_ = {0, line, column};
  token_end_ = 0;
  previous_token_end_ = 0;
  mark_ = token_;
  statement_start_ = 0;
  keyword_start_ = 0;
  nodes_made_ = 0;
}

int32_t TExpressionScanner::ColumnOf(size_t offset) const {
  return static_cast<int32_t>(offset - line_start_) + column_base_;
}

// `offset` is the last character of a line break.
void TExpressionScanner::NewLineAfter(size_t offset) {
  ++line_;
  line_start_ = offset + 1;
  column_base_ = 1;
}

void TExpressionScanner::SkipSpaceAndComments() {
  for (;;) {
    char ch = At(pos_);
    if (IsSpace(ch)) {
      if (ch == kCr) {
        if (At(pos_ + 1) == kLf) ++pos_;
        NewLineAfter(pos_);
      } else if (ch == kLf) {
        NewLineAfter(pos_);
      }
      ++pos_;
    } else if (ch == '-' && At(pos_ + 1) == '-') {
      pos_ += 2;
      while (At(pos_) != '\0' && At(pos_) != kCr && At(pos_) != kLf) ++pos_;
    } else if (ch == '/' && At(pos_ + 1) == '*') {
      pos_ += 2;
      for (;;) {
        char c = At(pos_);
        if (c == '\0') {
          // The comment runs to the end: the closing '/' is what is missing, reported there.
          token_type_ = TTokenType::ttEnd;
          token_ = {pos_, line_, ColumnOf(pos_)};
          token_end_ = pos_;
          ErrorExpectedChar('/');
        }
        if (c == '*' && At(pos_ + 1) == '/') {
          pos_ += 2;
          break;
        }
        if (c == kCr) {
          if (At(pos_ + 1) == kLf) ++pos_;
          NewLineAfter(pos_);
        } else if (c == kLf) {
          NewLineAfter(pos_);
        }
        ++pos_;
      }
    } else {
      return;
    }
  }
}

TTokenType TExpressionScanner::NextToken() {
  previous_token_end_ = token_end_;
  SkipSpaceAndComments();
  token_ = {pos_, line_, ColumnOf(pos_)};
  char ch = At(pos_);
  if (ch == '\0') {
    token_type_ = TTokenType::ttEnd;
  } else if (IsNameStart(ch)) {
    ++pos_;
    while (IsNamePart(At(pos_))) ++pos_;
    token_type_ = TTokenType::ttIdentifier;
  } else if (ch == '[') {
    ScanQuoted(TTokenType::ttBracketedName, ']');
  } else if (ch == '\'') {
    ScanQuoted(TTokenType::ttString, '\'');
  } else if (ch == '"') {
    ScanQuoted(TTokenType::ttQuotedName, '"');
  } else if (ch == '#') {
    ++pos_;
    while (IsDigit(At(pos_))) ++pos_;
    token_type_ = TTokenType::ttCharCode;
  } else if (IsDigit(ch) || (ch == '.' && IsDigit(At(pos_ + 1)))) {
    ScanNumber();
  } else {
    ++pos_;
    token_type_ = CharToken(ch);
  }
  token_end_ = pos_;
  return token_type_;
}

// A bracketed name has no escape; strings and quoted names double their closing character.
void TExpressionScanner::ScanQuoted(TTokenType type, char closing) {
  bool doubles = type != TTokenType::ttBracketedName;
  ++pos_;
  for (;;) {
    char ch = At(pos_);
    if (ch == '\0' || ch == kCr || ch == kLf) {
      token_type_ = type;
      token_end_ = pos_;
      ErrorExpectedChar(closing);
    }
    ++pos_;
    if (ch == closing) {
      if (doubles && At(pos_) == closing) {
        ++pos_;
        continue;
      }
      break;
    }
  }
  token_type_ = type;
}

// Digits, then '.', digits, 'E'/'e' and a sign right after the 'E' continue a real. A number that
// starts with '.' ends at a second '.'. The form is checked by the parser, not here.
void TExpressionScanner::ScanNumber() {
  bool from_dot = At(pos_) == '.';
  token_type_ = TTokenType::ttInteger;
  if (!from_dot) {
    while (IsDigit(At(pos_))) ++pos_;
  } else {
    token_type_ = TTokenType::ttReal;
    ++pos_;
  }
  for (;;) {
    char ch = At(pos_);
    char previous = At(pos_ - 1);
    bool sign_after_e = (ch == '+' || ch == '-') && (previous == 'E' || previous == 'e');
    if (ch == '.' && from_dot) break;
    if (!(IsDigit(ch) || ch == '.' || ch == 'E' || ch == 'e' || sign_after_e)) break;
    if (!IsDigit(ch)) token_type_ = TTokenType::ttReal;
    ++pos_;
  }
}

bool TExpressionScanner::TokenIsWord(std::string_view word) const {
  return token_type_ == TTokenType::ttIdentifier && AsciiSameText(RawTokenText(), word);
}

bool TExpressionScanner::IsNameToken() const {
  return token_type_ == TTokenType::ttIdentifier || token_type_ == TTokenType::ttBracketedName ||
         token_type_ == TTokenType::ttQuotedName;
}

bool TExpressionScanner::SkipIf(char ch) {
  if (!TokenIs(ch)) return false;
  NextToken();
  return true;
}

void TExpressionScanner::Expect(char ch) {
  if (!TokenIs(ch)) ErrorExpectedChar(ch);
}

void TExpressionScanner::ExpectAndSkip(char ch) {
  Expect(ch);
  NextToken();
}

void TExpressionScanner::ExpectWord(std::string_view word) {
  if (!TokenIsWord(word)) ErrorExpected(word);
}

std::string_view TExpressionScanner::RawTokenText() const {
  return std::string_view(text_).substr(token_.offset, token_end_ - token_.offset);
}

std::string TExpressionScanner::TokenText() const {
  std::string_view raw = RawTokenText();
  char doubled = '\0';
  switch (token_type_) {
    case TTokenType::ttBracketedName:
      return std::string(raw.substr(1, raw.size() >= 2 ? raw.size() - 2 : 0));
    case TTokenType::ttString:
      doubled = '\'';
      break;
    case TTokenType::ttQuotedName:
      doubled = '"';
      break;
    default:
      return std::string(raw);
  }
  std::string_view inner = raw.substr(1, raw.size() >= 2 ? raw.size() - 2 : 0);
  std::string result;
  result.reserve(inner.size());
  for (size_t i = 0; i < inner.size(); ++i) {
    result.push_back(inner[i]);
    if (inner[i] == doubled && i + 1 < inner.size() && inner[i + 1] == doubled) ++i;
  }
  return result;
}

std::string_view TExpressionScanner::TextFromMark() const { return TextFrom(mark_); }

std::string_view TExpressionScanner::TextFrom(const TTextPosition& start) const {
  size_t from = std::min(start.offset, token_end_);
  return std::string_view(text_).substr(from, token_end_ - from);
}

std::string_view TExpressionScanner::StatementText() const {
  size_t start = std::min(statement_start_, previous_token_end_);
  return std::string_view(text_).substr(start, previous_token_end_ - start);
}

std::string TExpressionScanner::KeywordText() const {
  size_t start = std::min(keyword_start_, previous_token_end_);
  std::string result;
  for (size_t i = start; i < previous_token_end_; ++i) {
    if (text_[i] != kCr && text_[i] != kLf) result.push_back(text_[i]);
  }
  return result;
}

void TExpressionScanner::Raise(std::string_view message, const TTextPosition& position) const {
  std::string cut = CutShort(message);
  RaiseEngineError(error_code_, {.database = database_name_,
                                 .table = table_name_,
                                 .message = cut,
                                 .line = position.line,
                                 .column = position.column});
}

void TExpressionScanner::ErrorExpectedChar(char ch) const {
  char start = At(token_.offset);
  std::string message;
  if (start == '\0' || start == kCr || start == kLf) {
    message = std::string("Missing ") + ch + " in " + context_text_;
  } else {
    message = std::string("Expected ") + ch + " but instead found " + std::string(RawTokenText()) +
              " in " + context_text_;
  }
  Raise(message, token_);
}

void TExpressionScanner::ErrorExpected(std::string_view text, bool at_mark) const {
  std::string message;
  if (token_type_ == TTokenType::ttEnd) {
    message = "Missing " + std::string(text) + " in " + context_text_;
  } else {
    std::string_view found = at_mark ? TextFromMark() : RawTokenText();
    message = "Expected " + std::string(text) + " but instead found " + std::string(found) +
              " in " + context_text_;
  }
  Raise(message, at_mark ? mark_ : token_);
}

void TExpressionScanner::ErrorInvalidExpression(bool at_mark) const {
  std::string_view found = at_mark ? TextFromMark() : RawTokenText();
  Raise("Invalid expression " + std::string(found) + " found in " + context_text_,
        at_mark ? mark_ : token_);
}

void TExpressionScanner::ErrorMessage(std::string_view message, bool at_mark) const {
  Raise(std::string(message) + " in " + context_text_, at_mark ? mark_ : token_);
}

}  // namespace veltra
