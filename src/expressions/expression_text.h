// The text form of an expression tree, as plans, messages and computed column names show it.
//
// Operators are written with their text as it was written in the source, separated by blanks;
// functions as their name, "(", the arguments joined by ",", ")". Operands are put in parentheses
// where the tree's shape differs from what the precedence of the written operators would give, so
// the text reads back into the same tree: (a + b) * c keeps its parentheses, a + b * c needs
// none. Keyword separators are written as "," (SUBSTRING(s,2,3), CAST(x,VARCHAR(10)),
// TRIM(LEADING 'x',s), EXTRACT(YEAR,d)), which the parser reads back as well.
#pragma once

#include <string>

#include "expressions/exp_token.h"

namespace veltra {

// The text form of the tree under `node`.
std::string ExpressionText(const TExpToken& node);

// The SQL type name of a CAST target or column definition node: its type, subtype and, from
// children 1 and 2, the length or the precision and scale ("VARCHAR(10)", "DECIMAL(12,2)",
// "INTEGER").
std::string DataTypeText(const TExpToken& node);

}  // namespace veltra
