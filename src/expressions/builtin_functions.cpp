#include "expressions/builtin_functions.h"

namespace veltra {

TNodeOperation SelectFunctionOperation(const TExpToken& node) {
  (void)node;
  return nullptr;
}

}  // namespace veltra
