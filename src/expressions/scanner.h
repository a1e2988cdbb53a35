// The lexical scanner that SQL statements and filter expressions are read with. The statement
// grammar drives it token by token (TokenIs, TokenIsWord, SkipIf, Expect, marks and texts); the
// expression parser builds on it. It also owns the error settings and the three error forms that
// every parse error of a statement or filter is raised with.
//
// Tokens: names (letters, `_`, bytes 128-254, then also digits, `!`, `$`, `@`), `[bracketed]`
// and "double-quoted" names, 'strings' with '' for a quote, #n character codes, integers, reals,
// and any other single character as a token of its own code. White space is every byte from 1 to
// 32; `--` comments run to the end of the line and `/* */` comments may span lines. A NUL byte
// ends the text.
//
// Lines and columns are counted from the statement's place in the whole script: Reset takes the
// line and the column of the text's first character; every line after the first counts its
// columns from 1. CR, LF and CR LF each end one line, inside comments too.
//
// Keywords are plain ASCII words compared with an ASCII case fold, so no locale's case rules can
// change what is a keyword. `[SELECT]` and "SELECT" are names, never keywords.
//
// A scanner belongs to one statement or filter and is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/error_codes.h"

namespace veltra {

// What the current token is. Codes 0 to 7 are the token kinds; every other value is the code of
// the single character the token consists of ('(' 40, ',' 44, '=' 61, '|' 124, ...).
enum class TTokenType : uint8_t {
  ttEnd = 0,            // the end of the text
  ttIdentifier = 1,     // a plain name or keyword
  ttBracketedName = 2,  // [name]
  ttString = 3,         // 'text'
  ttQuotedName = 4,     // "name"
  ttCharCode = 5,       // #65
  ttInteger = 6,        // digits only
  ttReal = 7,           // digits with a '.' or an exponent
};

// The token type of a single-character token.
constexpr TTokenType CharToken(char ch) {
  return static_cast<TTokenType>(static_cast<uint8_t>(ch));
}

// A place in the text with the line and column it has in the whole script.
struct TTextPosition {
  size_t offset = 0;
  int32_t line = 1;
  int32_t column = 1;
};

class TExpressionScanner {
 public:
  TExpressionScanner() = default;
  TExpressionScanner(const TExpressionScanner&) = delete;
  TExpressionScanner& operator=(const TExpressionScanner&) = delete;
  virtual ~TExpressionScanner() = default;

  // ---- Error settings: every error this scanner or its parser raises uses them. -------------
  // The engine error code (kErrSqlParse for statements, kErrFilterError for filters).
  TEngineCode ErrorCode() const { return error_code_; }
  void SetErrorCode(TEngineCode code) { error_code_ = code; }
  // Names passed with every error; cut to 255 characters.
  const std::string& DatabaseName() const { return database_name_; }
  void SetDatabaseName(std::string_view name);
  const std::string& TableName() const { return table_name_; }
  void SetTableName(std::string_view name);
  // The phrase every message ends with ("SQL statement", "SELECT SQL statement", ...).
  const std::string& ContextText() const { return context_text_; }
  void SetContextText(std::string_view text);

  // ---- Scanning ------------------------------------------------------------------------------
  // Takes a private copy of `text` (up to its first NUL byte), makes `line` the line of its first
  // character and `column` that character's column, and clears every mark. No token is read:
  // call NextToken for the first one. The error settings are kept.
  void Reset(std::string_view text, int32_t line = 1, int32_t column = 1);

  // Reads the next token and returns its type. Raises the expected-character error for the
  // closing character of a string, bracketed or quoted name that meets a line break or the end
  // of the text, and for '/' when a block comment has no end. At the end of the text it keeps
  // returning ttEnd.
  TTokenType NextToken();

  TTokenType TokenType() const { return token_type_; }
  // True when the current token is the single character `ch` ('\0' asks for the end).
  bool TokenIs(char ch) const { return token_type_ == CharToken(ch); }
  // True when the current token is a plain name equal to `word` under the ASCII case fold.
  bool TokenIsWord(std::string_view word) const;
  // True for plain, bracketed and quoted names.
  bool IsNameToken() const;
  // If TokenIs(ch), reads the next token and answers true.
  bool SkipIf(char ch);
  // Raises the expected-character error unless TokenIs(ch).
  void Expect(char ch);
  // Expect(ch), then reads the next token.
  void ExpectAndSkip(char ch);
  // Raises the expected-text error for `word` unless TokenIsWord(word).
  void ExpectWord(std::string_view word);

  // The token's text: without the delimiters of strings and of bracketed and quoted names, with
  // '' in a string and "" in a quoted name reduced to one character.
  std::string TokenText() const;
  // The token as written.
  std::string_view RawTokenText() const;
  // Line and column of the current token's first character.
  int32_t TokenLine() const { return token_.line; }
  int32_t TokenColumn() const { return token_.column; }
  const TTextPosition& TokenPosition() const { return token_; }

  // Marks the current token as the start of a construct; errors raised at the mark report the
  // mark's place and the text from it to the end of the current token.
  void SetMark() { mark_ = token_; }
  void SetMarkAt(const TTextPosition& position) { mark_ = position; }
  const TTextPosition& Mark() const { return mark_; }
  // The text from the mark to the end of the current token.
  std::string_view TextFromMark() const;
  // The text from `start` to the end of the current token.
  std::string_view TextFrom(const TTextPosition& start) const;

  // The statement-level marks: the start of the statement and of its leading keywords, both set
  // at the current token.
  void MarkStatementStart() { statement_start_ = token_.offset; }
  void MarkKeywordStart() { keyword_start_ = token_.offset; }
  // The text from the statement's start to the end of the last token read before the current
  // one.
  std::string_view StatementText() const;
  // The same from the start of the leading keywords, with CR and LF removed.
  std::string KeywordText() const;

  // ---- Errors (each raises the error code's engine error and does not return) ---------------
  // "Missing c in <context>" when the current token starts at the end of the text or at a line
  // break, else "Expected c but instead found <token> in <context>"; at the current token.
  [[noreturn]] void ErrorExpectedChar(char ch) const;
  // "Missing X in <context>" at the end of the text, else "Expected X but instead found <found>
  // in <context>", where <found> is the current token or, at the mark, the text from the mark.
  [[noreturn]] void ErrorExpected(std::string_view text, bool at_mark = false) const;
  // "Invalid expression <found> found in <context>".
  [[noreturn]] void ErrorInvalidExpression(bool at_mark = false) const;
  // `message` + " in " + <context>, at the current token or the mark.
  [[noreturn]] void ErrorMessage(std::string_view message, bool at_mark = false) const;

 protected:
  // Nodes built since the last Reset; the parser keeps the count under its limit.
  size_t nodes_made_ = 0;

 private:
  char At(size_t offset) const { return text_[offset]; }
  int32_t ColumnOf(size_t offset) const;
  // Skips white space and comments before a token; counts lines.
  void SkipSpaceAndComments();
  void NewLineAfter(size_t offset);
  void ScanQuoted(TTokenType type, char closing);
  void ScanNumber();
  [[noreturn]] void Raise(std::string_view message, const TTextPosition& position) const;

  TEngineCode error_code_ = kErrSqlParse;
  std::string database_name_;
  std::string table_name_;
  std::string context_text_;

  std::string text_;  // the private copy; text_.c_str() is NUL-terminated
  size_t pos_ = 0;    // read position
  int32_t line_ = 1;
  size_t line_start_ = 0;
  int32_t column_base_ = 1;  // column of the character at line_start_

  TTokenType token_type_ = TTokenType::ttEnd;
  TTextPosition token_;  // start of the current token
  size_t token_end_ = 0;
  size_t previous_token_end_ = 0;
  TTextPosition mark_;
  size_t statement_start_ = 0;
  size_t keyword_start_ = 0;
};

// True when `a` and `b` are equal under the ASCII case fold (a-z equal A-Z; every other byte
// equals only itself).
bool AsciiSameText(std::string_view a, std::string_view b);

}  // namespace veltra
