// Parses arbitrary text as an expression with every construct allowed and checks what must hold
// for any input: a parse either succeeds or raises the engine error, never anything else; a tree
// that parsed reads back from its text form into an equal tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/engine_error.h"
#include "expressions/expression_parser.h"
#include "expressions/expression_text.h"

namespace {

constexpr veltra::TPermissions kEverything = 0x2F;  // all but sub-selects, which need the SQL layer

std::unique_ptr<veltra::TExpToken> ParseWhole(std::string_view text) {
  veltra::TExpressionParser parser;
  parser.SetCustomFunctions([](std::string_view) { return nullptr; });
  parser.Reset(text);
  parser.NextToken();
  auto tree = parser.ParseExpression(kEverything);
  if (!parser.TokenIs('\0')) parser.ErrorExpected("end of expression");
  return tree;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<veltra::TExpToken> tree;
  try {
    tree = ParseWhole(text);
  } catch (const veltra::EVELTRAEngineError&) {
    return 0;
  }
  std::string shape = veltra::ExpressionText(*tree);
  try {
    auto again = ParseWhole(shape);
    if (!again->SameTree(*tree)) std::abort();
  } catch (const veltra::EVELTRAEngineError&) {
    std::abort();  // the text form of a parsed tree must parse
  }
  return 0;
}
