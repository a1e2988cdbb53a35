// Utilities over expression trees that the SQL and filter layers share: copies, finding the
// column and aggregate nodes under a node, the node of a tree's first token (for error
// positions), mirroring a comparison, the code of an aggregate name, and the node that reads the
// current value of another table's column (a join condition turned into a filter on the child
// table).
//
// Freeing a tree is its owner's unique_ptr going out of scope; there is no separate operation.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "expressions/exp_token.h"

namespace veltra {

// A deep copy of the subtree, values, types and operations included.
std::unique_ptr<TExpToken> CopyTree(const TExpToken& node);

// True for the aggregate function nodes (SUM, RUNSUM, COUNT, MIN, MAX, AVG, STDDEV).
bool IsAggregateNode(const TExpToken& node);

// The aggregate or column nodes under `node` (itself included), in tree order: Left, Right, then
// the children. Aggregates are not searched below (an aggregate's argument belongs to it).
std::vector<TExpToken*> FindAggregates(TExpToken& node);
std::vector<TExpToken*> FindColumns(TExpToken& node);

bool ContainsAggregates(const TExpToken& node);
bool ContainsColumns(const TExpToken& node);

// The node of the subtree whose token comes first in the text (the lowest line, then column, of
// the nodes that have a position); `node` itself when none has one.
const TExpToken& FirstTokenNode(const TExpToken& node);

// Swaps the operands of a comparison and mirrors its operator (< and >, <= and >=; = and <> stay)
// so that it means the same. False, with no change, for a node that is not a binary comparison.
bool SwapComparisonOperands(TExpToken& node);

// The operator of an aggregate function's name, compared without regard to case: SUM, RUNSUM,
// AVG, STDDEV, MIN, MAX and COUNT; opNone for any other name.
TOperator AggregateCode(std::string_view name);

// A column node that stands for the current value of the column `column` names (its table, field
// and type): evaluating it asks the evaluation host's FetchCurrentValue, not the context's column
// fetcher, so it reads another source table's current record.
std::unique_ptr<TExpToken> MakeCurrentValueNode(const TExpToken& column);

}  // namespace veltra
