// Preparation of a verified filter tree for repeated evaluation over many records: a copy of the
// tree in which every subtree without a column is computed once and replaced by a constant, and
// text comparisons are specialised:
//   - `=` or `<>` with a text constant on the right becomes a compare node when the filter
//     ignores case or the constant ends in '*'. With partial compare the trailing '*' are cut
//     from the constant and the node compares only as many characters as remain (a constant of
//     nothing but '*' makes `=` always true and `<>` always false); with no-partial-compare the
//     '*' are part of the text and the whole texts compare. The SQL layer always passes
//     no-partial-compare, so a WHERE clause never matches by prefix;
//   - LIKE and NOT LIKE with a constant pattern that is a plain text followed only by '%' (no
//     '_', no escape character in it) become an equality or inequality over that prefix (a
//     pattern without any '%' compares the whole texts). A pattern of nothing but '%' stays a
//     LIKE, so that a NULL value still does not match;
//   - `=` or `<>` between UPPER and UPPER (or LOWER and LOWER), and IN lists and BETWEEN whose
//     value and elements are all UPPER (or all LOWER), get the case flag, which index selection
//     reads.
#pragma once

#include <memory>

#include "expressions/evaluator.h"

namespace veltra {

struct TFilterOptions {
  bool no_partial_compare = false;  // '*' is an ordinary character
  bool case_insensitive = false;    // text comparisons with constants ignore case
};

// The prepared copy of `tree` (left unchanged). Constant subtrees are evaluated with `context`
// (its locale, owner and host; no column is read). REQUIRES: `tree` is verified. Engine errors of
// that evaluation pass to the caller.
std::unique_ptr<TExpToken> PrepareFilterTree(const TExpToken& tree, const TFilterOptions& options,
                                             TEvaluationContext& context);

// A prepared filter with the context it is evaluated in: the owner, the column fetcher, the
// locale and the host are fixed when it is made (its column nodes call the fetcher directly); each
// record is given to Matches.
class TPreparedFilter {
 public:
  TPreparedFilter(const TExpToken& tree, const TFilterOptions& options, void* owner,
                  TColumnFetcher fetcher, const platform::LocaleServices* locale,
                  TEvaluationHost* host = nullptr);

  // Whether the record satisfies the filter (a NULL result does not).
  bool Matches(const uint8_t* record) {
    context_.Record = record;
    return EvaluateCondition(*tree_, context_);
  }

  TExpToken& Tree() { return *tree_; }
  TEvaluationContext& Context() { return context_; }

 private:
  TEvaluationContext context_;
  std::unique_ptr<TExpToken> tree_;
};

}  // namespace veltra
