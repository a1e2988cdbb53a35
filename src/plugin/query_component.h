// The query component as the update dialog uses it.
//
// The dialog reaches the database only through one query component and only through the
// operations below. Each operation states what the dialog relies on; every implementation (the
// engine's query component, or a stand-in) keeps all of it, and the shared contract tests hold
// each implementation to it. All texts are 8-bit bytes in the database's code page.
//
// One thread at a time: the component is used on the thread that runs the dialog, and its
// progress event is raised on that thread, from inside Open and Execute.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/database_error.h"

namespace veltra::plugin {

class QueryComponent;

// Progress of a statement that walks rows: PercentDone rises from 0 to 100 within one statement;
// setting `abort` stops that statement with an error.
using TQueryProgressEvent =
    std::function<void(QueryComponent& sender, uint16_t percent_done, bool& abort)>;

class QueryComponent {
 public:
  virtual ~QueryComponent() = default;

  // The database to run against: the name of a database component or, when none has that name,
  // a directory path. Setting it while the component is open raises the database error
  // component_errors::kDatasetOpen and changes nothing.
  virtual const std::string& DatabaseName() const = 0;
  virtual void SetDatabaseName(std::string_view name) = 0;

  // The statement or script as a list of lines. Every change closes the component and discards
  // what was prepared. SQLText() is the lines joined with CR LF.
  virtual void ClearSQL() = 0;
  virtual void AddSQL(std::string_view line) = 0;
  virtual std::string SQLText() const = 0;

  // Open runs the text and shows the result rows of its last statement. When that statement is
  // not a SELECT the text is run and Open then raises component_errors::kTableHandleError; an
  // empty text raises component_errors::kNoSqlStatement (both EDatabaseError). Close releases the
  // result; closing a closed component does nothing.
  virtual bool Active() const = 0;
  virtual void Open() = 0;
  virtual void Close() = 0;

  // The current row's column `index` (from 0) of an open result, as a date-time (days since
  // 30 December 1899, the fraction being the time of day) or as a 32-bit integer. A NULL value
  // reads as 0 in both forms. Raises a database error when the component is closed or the index
  // is out of range.
  virtual double FieldAsDateTime(int index) const = 0;
  virtual int32_t FieldAsInteger(int index) const = 0;

  // Runs every statement of the text in order, for its effects. Afterwards the component is
  // closed, unless the last statement was a SELECT: then it is open on that result. A failing
  // statement raises an engine error; the statements before it keep their effects, and a
  // transaction the script itself started is rolled back.
  virtual void Execute() = 0;

  // After Open or Execute: the sum over the statements of their row counts (rows changed by
  // INSERT, UPDATE and DELETE, rows of the result for a SELECT, 0 for transaction statements).
  virtual int32_t AffectedRows() const = 0;

  // Asks for an updatable result; the dialog sets it and does not depend on it.
  virtual bool RequestLive() const = 0;
  virtual void SetRequestLive(bool live) = 0;

  virtual void SetOnQueryProgress(TQueryProgressEvent handler) = 0;
};

// The dialog's query component on the library's default session. The library that links the
// plug-in supplies it: the engine's query component, or a stand-in in the tests.
std::unique_ptr<QueryComponent> NewDialogQuery();

}  // namespace veltra::plugin
