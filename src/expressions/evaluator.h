// Evaluation of verified expression trees. Every node holds its own value buffer; evaluating a
// node overwrites that buffer from its operands' buffers, so a tree is computed in place for each
// record without allocating. Type verification picks each node's operation once through
// SelectOperation, from the node's kind, operator and verified types; evaluation then only
// dispatches through TExpToken::Operation and never looks at types again.
//
// What a tree needs from the outside reaches it through the TEvaluationContext: the record, its
// owner (a query or a cursor), the locale services for string comparisons and case mapping
// (resolved once, before evaluation starts), the column fetcher, and the host for the operations
// that belong to the SQL and table layers (IN sub-queries, text search, auto-increment values,
// custom functions).
//
// The value rules (data_types.h encodings) in node buffers: a string is its characters followed
// by a zero byte; a Boolean is 16 bits, always 0 or 1; a NULL value has IsNull set and a
// zero-filled buffer, so a NULL text reads as the empty text.
#pragma once

#include <cstdint>
#include <string_view>

#include "expressions/exp_token.h"
#include "platform/locale.h"

namespace veltra {

// Copies the value of the column that `column` names (its SourceTable and FieldNumber, or its
// names) from the context's record into the node's buffer, setting IsNull (and the zero-filled
// buffer for NULL). It may raise an engine error.
using TColumnFetcher = void (*)(TExpToken& column, TEvaluationContext& context);

// The operations of the layers above that some nodes need. The defaults answer as a tree without
// such a source does: no sub-query rows, no text found, auto-increment 0, no custom function.
class TEvaluationHost {
 public:
  virtual ~TEvaluationHost() = default;
  // IN (SELECT ...): true when the sub-query of `node` (an opInSubQuery or opNotInSubQuery node
  // whose child 0 holds the outer value, already evaluated) has a row for that value.
  virtual bool SubQueryHasRow(TExpToken& node, TEvaluationContext& context);
  // TEXTSEARCH and TEXTOCCURS over the current record's text of `column` (already evaluated):
  // whether every word of `words` occurs, and how often they occur. False and 0 without a source.
  virtual bool TextSearch(const TExpToken& column, std::string_view words,
                          TEvaluationContext& context);
  virtual int32_t TextOccurs(const TExpToken& column, std::string_view words,
                             TEvaluationContext& context);
  // LASTAUTOINC and IDENT_CURRENT: the table's last auto-increment value as this session sees it;
  // 0 when the table is not a source.
  virtual int32_t LastAutoInc(std::string_view table_name, TEvaluationContext& context);
  // A custom function: computes the value of `node` (an opCustomFunction node whose children are
  // already evaluated) into its buffer. The default makes the value NULL.
  virtual void CallCustomFunction(TExpToken& node, TEvaluationContext& context);
  // A node made by MakeCurrentValueNode (tree_utilities.h): copies the current value of the
  // column it names (its SourceTable and FieldNumber) into its buffer. The default raises the
  // illegal-column error.
  virtual void FetchCurrentValue(TExpToken& node, TEvaluationContext& context);
};

// The host used when a context has none.
TEvaluationHost& DefaultEvaluationHost();

// The context's host, or the default one.
inline TEvaluationHost& HostOf(const TEvaluationContext& context);

// What evaluation passes down the tree. A context is cheap to make and is used by one thread.
struct TEvaluationContext {
  const uint8_t* Record = nullptr;  // the current record buffer (read only by the fetcher)
  void* Owner = nullptr;            // the query or cursor the record belongs to
  // The locale for string comparisons, LIKE and case mapping; null compares as unsigned bytes
  // and maps only the ASCII letters' case.
  const platform::LocaleServices* Locale = nullptr;
  TColumnFetcher Fetcher = nullptr;  // null: a column node raises 11949
  TEvaluationHost* Host = nullptr;   // null: the TEvaluationHost defaults
};

inline TEvaluationHost& HostOf(const TEvaluationContext& context) {
  return context.Host != nullptr ? *context.Host : DefaultEvaluationHost();
}

// Computes the value of `node` and of every node below it that it needs, in place.
// REQUIRES: the tree is verified (every node has its Operation). Engine errors raised below
// (a column without a fetcher, a failing custom function) pass to the caller.
inline void Evaluate(TExpToken& node, TEvaluationContext& context) {
  node.Operation(node, context);
}

// The Boolean value of an evaluated node: false when NULL or 0.
inline bool BooleanValue(const TExpToken& node) {
  return !node.IsNull && (node.Data()[0] | node.Data()[1]) != 0;
}

// Evaluates `node` (a Boolean expression) and answers its truth value; NULL counts as false.
inline bool EvaluateCondition(TExpToken& node, TEvaluationContext& context) {
  node.Operation(node, context);
  return BooleanValue(node);
}

// The operation that evaluates `node`, chosen from its kind, operator and the verified types of
// the node and its operands. Called by type verification at the end of verifying each node (the
// operands being verified already) and by whoever rewrites a verified tree. For nkFunction nodes
// it defers to SelectFunctionOperation. Never null: a combination that has no operation gets one
// that raises an internal engine error when evaluated.
TNodeOperation SelectOperation(const TExpToken& node);

// Sets the operation of every node of the subtree with SelectOperation, bottom up (for trees
// that are built or rewritten after verification).
void SelectOperations(TExpToken& root);

// Makes the column nodes of the tree that read through the context's fetcher call `fetcher`
// directly (one call less per column and record). The tree must then be evaluated only with
// contexts whose fetcher is `fetcher`. Nodes that read otherwise (current-value nodes) are kept.
void BindColumnFetcher(TExpToken& root, TColumnFetcher fetcher);

// The operation of constant nodes: nothing to compute, the value is in the buffer already (a
// parameter's new value is stored there by its owner).
void EvaluateConstant(TExpToken& node, TEvaluationContext& context);

// True when evaluating `node` would not change its value: it is a constant whose operation is
// the plain one. A parent may then read the node's buffer without evaluating it.
inline bool IsPlainConstant(const TExpToken& node) {
  return node.Kind == TNodeKind::nkConstant && node.Operation == EvaluateConstant;
}

// Sets the node's value to NULL: IsNull set and the buffer's meaningful bytes zeroed.
void SetNull(TExpToken& node);

// Sets a Boolean result: IsNull cleared, 0 or 1 stored.
inline void SetBooleanResult(TExpToken& node, bool value) {
  node.IsNull = false;
  node.Data()[0] = value ? 1 : 0;
  node.Data()[1] = 0;
}

// Raises the internal error for a column that cannot be fetched (11949, "Internal error: Column
// "name" specified illegally").
[[noreturn]] void RaiseIllegalColumn(const TExpToken& column);

}  // namespace veltra
