// The engine error code an action raises, for tests that check error paths as tables of cases.
#pragma once

#include "core/engine_error.h"

namespace veltra::testing {

// The code of the engine error `action` raises, or 0 when it raises none. Other exceptions pass.
template <typename Action>
TEngineCode CodeRaisedBy(Action&& action) {
  try {
    action();
  } catch (const EVELTRAEngineError& error) {
    return error.EngineCode();
  }
  return 0;
}

}  // namespace veltra::testing
