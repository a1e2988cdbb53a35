// A stand-in for the engine's query component, for the plug-in's tests: in-memory game tables of
// (date, id) rows behind the query contract.
//
// It understands the few statements the dialog and the tests send, separated by ";":
//   select max(<date column>) as <alias>, max(<id column>) as <alias> from <table>
//   insert into <table> (<columns>) values (<values>)      one row; columns id and [date] are kept
//   delete from <table>
//   start transaction | commit | rollback
// Anything else is a parse error. SELECT and DELETE walk rows and raise the progress steps set
// with SetProgressSteps; INSERT raises none. It records every text it runs, fails on demand and
// raises engine errors like the engine does (missing table 11010, parse 11949, execution 11950).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "plugin/query_component.h"

namespace veltra::plugin::testing {

struct DrawRow {
  double date = 0;
  int32_t id = 0;
};

struct CaseInsensitiveLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

using DrawTables = std::map<std::string, std::vector<DrawRow>, CaseInsensitiveLess>;

// One database: its tables by name (names compare without regard to case).
struct DoubleDatabase {
  DrawTables tables;
  // Adds the sixteen game tables, empty, unless they exist.
  void AddGameTables();
};

// The databases the double can reach, by database name.
class DoubleCatalog {
 public:
  DoubleDatabase& Add(const std::string& name) { return databases_[name]; }
  // The database of `name`, or null. With create_for_directories, a name that is an existing
  // directory gets a database with the sixteen empty game tables on first use.
  DoubleDatabase* Find(const std::string& name);
  bool create_for_directories = false;

 private:
  std::map<std::string, DoubleDatabase> databases_;
};

class QueryDouble final : public QueryComponent {
 public:
  explicit QueryDouble(DoubleCatalog& catalog) : catalog_(catalog) {}

  const std::string& DatabaseName() const override { return database_name_; }
  void SetDatabaseName(std::string_view name) override;
  void ClearSQL() override;
  void AddSQL(std::string_view line) override;
  std::string SQLText() const override;
  bool Active() const override { return active_; }
  void Open() override;
  void Close() override;
  double FieldAsDateTime(int index) const override;
  int32_t FieldAsInteger(int index) const override;
  void Execute() override;
  int32_t AffectedRows() const override { return affected_rows_; }
  bool RequestLive() const override { return request_live_; }
  void SetRequestLive(bool live) override { request_live_ = live; }
  void SetOnQueryProgress(TQueryProgressEvent handler) override {
    on_progress_ = std::move(handler);
  }

  // Test controls.
  // Every text given to Open or Execute, in order.
  const std::vector<std::string>& RunTexts() const { return run_texts_; }
  // A statement whose text contains `fragment` fails with an execution error (`message`) before
  // it changes anything. An empty fragment turns failing off.
  void FailStatementsContaining(std::string fragment, std::string message);
  // The percentages a row-walking statement raises, in order (default: 100 alone).
  void SetProgressSteps(std::vector<uint16_t> steps) { progress_steps_ = std::move(steps); }

 private:
  struct Value {
    bool is_null = true;
    double number = 0;
  };
  struct Result {
    std::vector<Value> row;
  };

  // Runs the whole text; returns whether the last statement was a SELECT.
  bool Run();
  void Progress();
  const Value& Field(int index) const;

  DoubleCatalog& catalog_;
  std::string database_name_;
  std::vector<std::string> sql_;
  bool active_ = false;
  std::optional<Result> result_;
  int32_t affected_rows_ = 0;
  bool request_live_ = false;
  TQueryProgressEvent on_progress_;
  std::vector<std::string> run_texts_;
  std::string fail_fragment_;
  std::string fail_message_;
  std::vector<uint16_t> progress_steps_ = {100};

  friend class StatementRunner;
};

// The double's catalogue inside the test library: existing directories become game databases.
DoubleCatalog& LibraryCatalog();

}  // namespace veltra::plugin::testing
