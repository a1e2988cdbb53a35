#include "core/engine_error.h"

#include "core/os_error.h"

namespace veltra {
namespace {

std::string EngineErrorMessage(const TErrorContextFields& fields) {
  std::string text(kEngineErrorPrefix);
  text += std::to_string(fields.engine_code);
  text += ' ';
  text += MessageOfCode(fields.engine_code, fields);
  return text;
}

std::string CutText(std::string_view text) {
  return std::string(text.substr(0, kMaxContextTextLength));
}

}  // namespace

EVELTRAEngineError::EVELTRAEngineError(const TErrorContextFields& fields)
    : EDatabaseError(EngineErrorMessage(fields)), fields_(fields) {}

void TErrorContext::Raise(TEngineCode code, const EngineErrorContext& context) {
  std::lock_guard guard(lock_);
  fields_ = TErrorContextFields{};
  fields_.engine_code = code;
  fields_.os_error = TakePendingOsError();
  fields_.socket_error = TakePendingSocketError();
  fields_.remote = CutText(context.remote);
  fields_.user = CutText(context.user);
  fields_.database = CutText(context.database);
  fields_.table = CutText(context.table);
  fields_.field = CutText(context.field);
  fields_.index = CutText(context.index);
  fields_.message = CutText(context.message);
  fields_.procedure = CutText(context.procedure);
  fields_.event = CutText(context.event);
  fields_.line = context.line;
  fields_.column = context.column;
  // The exception copies the context before the guard is released by the unwinding.
  throw EVELTRAEngineError(fields_);
}

std::string TErrorContext::MessageOfCode(TEngineCode code) const {
  std::lock_guard guard(lock_);
  return veltra::MessageOfCode(code, fields_);
}

TErrorContext& ProcessErrorContext() {
  static TErrorContext context;
  return context;
}

void RaiseEngineError(TEngineCode code, const EngineErrorContext& context) {
  ProcessErrorContext().Raise(code, context);
}

std::string MessageOfCode(TEngineCode code) { return ProcessErrorContext().MessageOfCode(code); }

TEngineCode CodeOfError(const std::exception& error) {
  if (const auto* engine_error = dynamic_cast<const EVELTRAEngineError*>(&error)) {
    return engine_error->EngineCode();
  }
  return kErrUnknownOsError;
}

TEngineCode CodeOfError(const std::exception_ptr& error) {
  if (!error) return kErrUnknownOsError;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& caught) {
    return CodeOfError(caught);
  } catch (...) {
    return kErrUnknownOsError;
  }
}

}  // namespace veltra
