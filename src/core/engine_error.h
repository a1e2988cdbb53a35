// The engine error: the one exception through which every failure inside the engine reaches the
// application, identified by a 16-bit code and carrying a copy of the error context (the names
// of the objects involved, a nested message, a line and column).
//
// Engine code raises it through RaiseEngineError with the context given by field name:
//
//   RaiseEngineError(kErrDuplicateKey, {.table = name, .index = index_name});
//
// The error context is one per process and guarded by its own lock, so errors raised by several
// threads at once are serialized and each exception gets a consistent copy. The operating system
// and socket errors waiting to be reported are kept per thread (os_error.h) and consumed by the
// calling thread's next raise.
#pragma once

#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>

#include "core/database_error.h"
#include "core/error_codes.h"
#include "core/error_messages.h"

namespace veltra {

// The prefix of every engine error's message, followed by the code, a space and the code's
// message text.
inline constexpr std::string_view kEngineErrorPrefix = "VELTRA Engine Error # ";

// An engine failure. Its message is kEngineErrorPrefix, the code, a space and MessageOfCode's
// text for the code, e.g. "VELTRA Engine Error # 11010 Table or backup file 'LOTTO' does not
// exist". Immutable once made; may be copied and read from any thread.
class EVELTRAEngineError : public EDatabaseError {
 public:
  // Copies `fields`; the code is fields.engine_code. Texts are taken as given (the raise has cut
  // them already).
  explicit EVELTRAEngineError(const TErrorContextFields& fields);

  TEngineCode EngineCode() const { return fields_.engine_code; }
  int32_t ContextOsError() const { return fields_.os_error; }
  int32_t ContextSocketError() const { return fields_.socket_error; }
  const std::string& ContextRemote() const { return fields_.remote; }
  const std::string& ContextUser() const { return fields_.user; }
  const std::string& ContextDatabase() const { return fields_.database; }
  const std::string& ContextTable() const { return fields_.table; }
  const std::string& ContextField() const { return fields_.field; }
  const std::string& ContextIndex() const { return fields_.index; }
  const std::string& ContextMessage() const { return fields_.message; }
  const std::string& ContextProcedure() const { return fields_.procedure; }
  const std::string& ContextEvent() const { return fields_.event; }
  int32_t ContextLine() const { return fields_.line; }
  int32_t ContextColumn() const { return fields_.column; }

  // All context fields at once.
  const TErrorContextFields& Context() const { return fields_; }

 private:
  TErrorContextFields fields_;
};

// What the raiser says about an error: the names of the objects involved and, for SQL and filter
// text, a nested message with its line and column. Fields are named at the call; designated
// initializers must follow the order of declaration here, which is the order of the engine
// error's context: remote, user, database, table, field, index, message, procedure, event, line,
// column. A field that does not apply stays empty or 0. The views need live only for the call.
struct EngineErrorContext {
  std::string_view remote = {};
  std::string_view user = {};
  std::string_view database = {};
  std::string_view table = {};
  std::string_view field = {};
  std::string_view index = {};
  std::string_view message = {};
  std::string_view procedure = {};
  std::string_view event = {};
  int32_t line = 0;
  int32_t column = 0;
};

// The error context with its lock. The engine core owns one; until it exists,
// ProcessErrorContext() is the process's one. Any thread may use it.
class TErrorContext {
 public:
  TErrorContext() = default;
  TErrorContext(const TErrorContext&) = delete;
  TErrorContext& operator=(const TErrorContext&) = delete;

  // Raises the engine error `code` with `context`. Under the lock: clears the context, stores
  // the code, the context's texts cut to kMaxContextTextLength characters, its line and column,
  // and the calling thread's pending OS and socket errors (which are then zero), and throws an
  // EVELTRAEngineError copied from the context. The lock is released as the throw leaves.
  [[noreturn]] void Raise(TEngineCode code, const EngineErrorContext& context);

  // The message text of `code` filled from the context as it stands (the last raised error's
  // values, or empty ones before the first raise).
  std::string MessageOfCode(TEngineCode code) const;

 private:
  mutable std::mutex lock_;
  TErrorContextFields fields_;  // guarded by lock_
};

// The process's error context.
TErrorContext& ProcessErrorContext();

// Raises the engine error `code` through the process's error context (TErrorContext::Raise).
// Never returns.
[[noreturn]] void RaiseEngineError(TEngineCode code, const EngineErrorContext& context = {});

// The message text of `code` filled from the process's error context.
std::string MessageOfCode(TEngineCode code);

// The engine code of an exception: its EngineCode() when it is an EVELTRAEngineError, else
// kErrUnknownOsError.
TEngineCode CodeOfError(const std::exception& error);

// The same for a caught exception of any type: kErrUnknownOsError for a null pointer and for an
// exception that is not an EVELTRAEngineError, including one that is no std::exception.
TEngineCode CodeOfError(const std::exception_ptr& error);

}  // namespace veltra
