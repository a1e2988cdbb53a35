#include "query_double.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>

#include "core/database_error.h"
#include "core/engine_error.h"
#include "plugin/date_text.h"
#include "plugin/game_catalogue.h"

namespace veltra::plugin::testing {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

enum class TokenKind { tkWord, tkNumber, tkString, tkPunct };

struct Token {
  TokenKind kind;
  std::string text;  // a word lower-cased, a bracketed name without its brackets, a string unquoted
  std::string raw;   // a word or name as written
};

struct Statement {
  std::string text;
  int32_t line = 1;
};

[[noreturn]] void ParseError(const Statement& s, std::string_view what) {
  RaiseEngineError(kErrSqlParse, {.message = what, .line = s.line, .column = 1});
}

std::vector<Token> Tokenize(const Statement& s) {
  std::vector<Token> tokens;
  const std::string& t = s.text;
  size_t i = 0;
  while (i < t.size()) {
    unsigned char c = static_cast<unsigned char>(t[i]);
    if (c <= ' ') {
      ++i;
    } else if (std::isalpha(c) || c == '_') {
      size_t start = i;
      while (i < t.size() && (std::isalnum(static_cast<unsigned char>(t[i])) || t[i] == '_')) ++i;
      std::string raw = t.substr(start, i - start);
      tokens.push_back({TokenKind::tkWord, Lower(raw), raw});
    } else if (c == '[') {
      size_t end = t.find(']', i);
      if (end == std::string::npos) ParseError(s, "Unterminated name");
      std::string raw = t.substr(i + 1, end - i - 1);
      tokens.push_back({TokenKind::tkWord, Lower(raw), raw});
      i = end + 1;
    } else if (std::isdigit(c) || c == '-') {
      size_t start = i++;
      while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
      tokens.push_back({TokenKind::tkNumber, t.substr(start, i - start), {}});
    } else if (c == '\'') {
      std::string text;
      ++i;
      for (;;) {
        if (i >= t.size()) ParseError(s, "Unterminated string");
        if (t[i] == '\'') {
          if (i + 1 < t.size() && t[i + 1] == '\'') {
            text += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        text += t[i++];
      }
      tokens.push_back({TokenKind::tkString, text, {}});
    } else {
      tokens.push_back({TokenKind::tkPunct, std::string(1, static_cast<char>(c)), {}});
      ++i;
    }
  }
  return tokens;
}

// Cuts a script into statements at ";" outside strings, with the line each one starts on.
std::vector<Statement> SplitStatements(const std::string& text) {
  std::vector<Statement> statements;
  std::string current;
  int32_t line = 1;
  int32_t start_line = 1;
  bool in_string = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\'') in_string = !in_string;
    if (c == ';' && !in_string) {
      if (!current.empty()) statements.push_back({current, start_line});
      current.clear();
      continue;
    }
    if (current.empty() && static_cast<unsigned char>(c) <= ' ') {
      if (c == '\n') ++line;
      start_line = line;
      continue;
    }
    if (c == '\n') ++line;
    current += c;
  }
  while (!current.empty() && static_cast<unsigned char>(current.back()) <= ' ') current.pop_back();
  if (!current.empty()) statements.push_back({current, start_line});
  return statements;
}

int32_t ParseInteger(const Statement& s, const std::string& text) {
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() ||
      value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    ParseError(s, "Invalid integer " + text);
  }
  return static_cast<int32_t>(value);
}

double ParseDate(const Statement& s, const std::string& text) {
  DateTimeParts p;
  int n = 0;
  int consumed = 0;
  if (text.size() == 10) {
    n = std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &p.year, &p.month, &p.day, &consumed);
    if (n != 3) consumed = 0;
  } else if (text.size() == 19) {
    n = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &p.year, &p.month, &p.day, &p.hour,
                    &p.minute, &p.second, &consumed);
    if (n != 6) consumed = 0;
  }
  if (consumed != static_cast<int>(text.size())) ParseError(s, "Invalid date " + text);
  try {
    return EncodeDateTime(p);
  } catch (const std::out_of_range&) {
    ParseError(s, "Invalid date " + text);
  }
}

class Cursor {
 public:
  Cursor(const Statement& s, const std::vector<Token>& tokens) : s_(s), tokens_(tokens) {}
  bool AtEnd() const { return pos_ >= tokens_.size(); }
  const Token& Next() {
    if (AtEnd()) ParseError(s_, "Unexpected end of statement");
    return tokens_[pos_++];
  }
  void Expect(std::string_view text) {
    if (Next().text != text) ParseError(s_, "Expected " + std::string(text));
  }
  bool Accept(std::string_view text) {
    if (!AtEnd() && tokens_[pos_].text == text) {
      ++pos_;
      return true;
    }
    return false;
  }
  std::string Word() { return NameToken().text; }
  // A table name as written.
  std::string Name() { return NameToken().raw; }
  const Token& NameToken() {
    const Token& t = Next();
    if (t.kind != TokenKind::tkWord) ParseError(s_, "Expected a name");
    return t;
  }
  void ExpectEnd() {
    if (!AtEnd()) ParseError(s_, "Unexpected " + tokens_[pos_].text);
  }

 private:
  const Statement& s_;
  const std::vector<Token>& tokens_;
  size_t pos_ = 0;
};

}  // namespace

bool CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
  return Lower(a) < Lower(b);
}

void DoubleDatabase::AddGameTables() {
  for (const GameEntry& game : kGames) tables.try_emplace(std::string(game.table_name));
}

DoubleDatabase* DoubleCatalog::Find(const std::string& name) {
  auto it = databases_.find(name);
  if (it != databases_.end()) return &it->second;
  struct stat info;
  if (create_for_directories && !name.empty() && ::stat(name.c_str(), &info) == 0 &&
      S_ISDIR(info.st_mode)) {
    DoubleDatabase& database = databases_[name];
    database.AddGameTables();
    return &database;
  }
  return nullptr;
}

DoubleCatalog& LibraryCatalog() {
  static DoubleCatalog catalog = [] {
    DoubleCatalog c;
    c.create_for_directories = true;
    return c;
  }();
  return catalog;
}

void QueryDouble::SetDatabaseName(std::string_view name) {
  if (active_) throw EDatabaseError(std::string(component_errors::kDatasetOpen));
  database_name_ = name;
}

void QueryDouble::ClearSQL() {
  Close();
  sql_.clear();
}

void QueryDouble::AddSQL(std::string_view line) {
  Close();
  sql_.emplace_back(line);
}

std::string QueryDouble::SQLText() const {
  std::string text;
  for (size_t i = 0; i < sql_.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += sql_[i];
  }
  return text;
}

void QueryDouble::Close() {
  active_ = false;
  result_.reset();
}

void QueryDouble::FailStatementsContaining(std::string fragment, std::string message) {
  fail_fragment_ = std::move(fragment);
  fail_message_ = std::move(message);
}

void QueryDouble::Progress() {
  for (uint16_t percent : progress_steps_) {
    bool abort = false;
    if (on_progress_) on_progress_(*this, percent, abort);
    if (abort) RaiseEngineError(kErrSqlExecution, {.message = "Statement aborted"});
  }
}

bool QueryDouble::Run() {
  Close();
  std::string text = SQLText();
  run_texts_.push_back(text);
  affected_rows_ = 0;
  std::vector<Statement> statements = SplitStatements(text);
  if (statements.empty()) throw EDatabaseError(std::string(component_errors::kNoSqlStatement));
  DoubleDatabase* database = catalog_.Find(database_name_);
  if (database == nullptr) RaiseEngineError(kErrInvalidDatabaseName, {.database = database_name_});

  std::optional<DrawTables> transaction_start;
  bool last_was_select = false;
  try {
    for (const Statement& s : statements) {
      if (!fail_fragment_.empty() && s.text.find(fail_fragment_) != std::string::npos) {
        RaiseEngineError(kErrSqlExecution, {.message = fail_message_});
      }
      std::vector<Token> tokens = Tokenize(s);
      Cursor in(s, tokens);
      auto table_of = [&](const std::string& name) -> std::vector<DrawRow>& {
        auto it = database->tables.find(name);
        if (it == database->tables.end()) {
          RaiseEngineError(kErrTableNotFound, {.database = database_name_, .table = name});
        }
        return it->second;
      };
      last_was_select = false;
      std::string verb = in.Word();
      if (verb == "select") {
        Result result;
        std::vector<std::string> columns;
        do {
          in.Expect("max");
          in.Expect("(");
          columns.push_back(in.Word());
          in.Expect(")");
          if (in.Accept("as")) in.Word();
        } while (in.Accept(","));
        in.Expect("from");
        std::vector<DrawRow>& rows = table_of(in.Name());
        in.ExpectEnd();
        for (const std::string& column : columns) {
          if (column != "date" && column != "id") ParseError(s, "Unknown column " + column);
          Value v;
          for (const DrawRow& row : rows) {
            double x = column == "date" ? row.date : row.id;
            if (v.is_null || x > v.number) v.number = x;
            v.is_null = false;
          }
          result.row.push_back(v);
        }
        Progress();
        result_ = std::move(result);
        affected_rows_ += 1;
        last_was_select = true;
      } else if (verb == "insert") {
        in.Expect("into");
        std::vector<DrawRow>& rows = table_of(in.Name());
        std::vector<std::string> columns;
        in.Expect("(");
        do columns.push_back(in.Word());
        while (in.Accept(","));
        in.Expect(")");
        in.Expect("values");
        in.Expect("(");
        std::vector<Token> values;
        do values.push_back(in.Next());
        while (in.Accept(","));
        in.Expect(")");
        in.ExpectEnd();
        if (values.size() != columns.size()) ParseError(s, "Column and value counts differ");
        DrawRow row;
        for (size_t i = 0; i < columns.size(); ++i) {
          if (columns[i] == "id") row.id = ParseInteger(s, values[i].text);
          if (columns[i] == "date") row.date = ParseDate(s, values[i].text);
        }
        rows.push_back(row);
        affected_rows_ += 1;
      } else if (verb == "delete") {
        in.Expect("from");
        std::vector<DrawRow>& rows = table_of(in.Name());
        in.ExpectEnd();
        Progress();
        affected_rows_ += static_cast<int32_t>(rows.size());
        rows.clear();
      } else if (verb == "start") {
        in.Expect("transaction");
        in.ExpectEnd();
        transaction_start = database->tables;
      } else if (verb == "commit" || verb == "rollback") {
        in.ExpectEnd();
        if (verb == "rollback" && transaction_start) database->tables = *transaction_start;
        transaction_start.reset();
      } else {
        ParseError(s, "Unknown statement " + verb);
      }
    }
  } catch (...) {
    if (transaction_start) database->tables = std::move(*transaction_start);
    result_.reset();
    throw;
  }
  if (!last_was_select) result_.reset();
  return last_was_select;
}

void QueryDouble::Open() {
  if (!Run()) throw EDatabaseError(std::string(component_errors::kTableHandleError));
  active_ = true;
}

void QueryDouble::Execute() { active_ = Run(); }

const QueryDouble::Value& QueryDouble::Field(int index) const {
  if (!active_ || !result_) {
    throw EDatabaseError("Cannot perform this operation on a closed dataset");
  }
  if (index < 0 || static_cast<size_t>(index) >= result_->row.size()) {
    throw EDatabaseError("Field index out of range");
  }
  return result_->row[static_cast<size_t>(index)];
}

double QueryDouble::FieldAsDateTime(int index) const {
  const Value& v = Field(index);
  return v.is_null ? 0 : v.number;
}

int32_t QueryDouble::FieldAsInteger(int index) const {
  const Value& v = Field(index);
  return v.is_null ? 0 : static_cast<int32_t>(v.number);
}

}  // namespace veltra::plugin::testing
