// The LIKE matcher.
#include "expressions/like_match.h"

#include "expressions/comparison.h"

namespace veltra {

namespace {

constexpr uint8_t kAnyRun = '%';
constexpr uint8_t kAnyOne = '_';

struct TPatternItem {
  enum class TKind { pkLiteral, pkAnyOne, pkAnyRun, pkEnd } kind;
  uint8_t character = 0;
  size_t length = 0;  // pattern bytes the item takes
};

[[gnu::always_inline]] inline TPatternItem ItemAt(std::string_view pattern, size_t at,
                                                  std::optional<uint8_t> escape) {
  using K = TPatternItem::TKind;
  if (at >= pattern.size()) return {K::pkEnd, 0, 0};
  uint8_t c = static_cast<uint8_t>(pattern[at]);
  if (escape && c == *escape && at + 1 < pattern.size()) {
    return {K::pkLiteral, static_cast<uint8_t>(pattern[at + 1]), 2};
  }
  if (c == kAnyRun) return {K::pkAnyRun, c, 1};
  if (c == kAnyOne) return {K::pkAnyOne, c, 1};
  return {K::pkLiteral, c, 1};
}

// The text ends at its first zero byte or at its size, found only when the match gets there, so
// a prefix pattern never scans the rest of the text.
inline bool TextEnds(std::string_view text, size_t at) {
  return at >= text.size() || text[at] == 0;
}

template <bool kCounted, class Equal>
TLikeOutcome Match(std::string_view text, std::string_view pattern, std::optional<uint8_t> escape,
                   Equal equal) {
  using K = TPatternItem::TKind;
  TLikeOutcome outcome;
  size_t t = 0;
  size_t p = 0;
  // Where to resume after the most recent '%': the pattern after it and the text position it
  // has absorbed up to.
  bool have_run = false;
  size_t run_pattern = 0;
  size_t run_text = 0;
  while (true) {
    if constexpr (kCounted) ++outcome.steps;
    TPatternItem item = ItemAt(pattern, p, escape);
    if (item.kind == K::pkAnyRun) {
      // Consecutive '%' act as one.
      while (item.kind == K::pkAnyRun) {
        p += item.length;
        item = ItemAt(pattern, p, escape);
      }
      if (item.kind == K::pkEnd) {
        outcome.matched = true;
        return outcome;
      }
      have_run = true;
      run_pattern = p;
      run_text = t;
      continue;
    }
    if (!TextEnds(text, t)) {
      if (item.kind == K::pkAnyOne ||
          (item.kind == K::pkLiteral && equal(static_cast<uint8_t>(text[t]), item.character))) {
        ++t;
        p += item.length;
        continue;
      }
    } else if (item.kind == K::pkEnd) {
      outcome.matched = true;
      return outcome;
    }
    // A mismatch (or text left over at the pattern's end): let the last '%' absorb one more
    // character and try again from after it.
    if (!have_run || TextEnds(text, run_text)) {
      outcome.matched = false;
      return outcome;
    }
    ++run_text;
    t = run_text;
    p = run_pattern;
  }
}

template <bool kCounted>
TLikeOutcome MatchWithLocale(std::string_view text, std::string_view pattern,
                             std::optional<uint8_t> escape,
                             const platform::LocaleServices* locale) {
  if (pattern.size() == 1 && pattern[0] == static_cast<char>(kAnyRun)) return {true, 1};
  if (locale == nullptr || locale->IsByteOrder()) {
    return Match<kCounted>(text, pattern, escape, [](uint8_t a, uint8_t b) { return a == b; });
  }
  return Match<kCounted>(text, pattern, escape, [locale](uint8_t a, uint8_t b) {
    return a == b || locale->CompareCharacters(a, b, platform::CaseCompare::ccRespectCase) == 0;
  });
}

// With kConstantPattern the pattern is a plain constant (IsPlainConstant at selection), read as
// its buffer stands.
template <bool kNot, bool kEscape, bool kConstantPattern = false>
void EvaluateLike(TExpToken& node, TEvaluationContext& context) {
  TExpToken& value = *node.Children[0];
  TExpToken& pattern = *node.Children[1];
  Evaluate(value, context);
  if constexpr (!kConstantPattern) Evaluate(pattern, context);
  std::optional<uint8_t> escape;
  if constexpr (kEscape) {
    TExpToken& escape_node = *node.Children[2];
    Evaluate(escape_node, context);
    std::string_view escape_text = NodeText(escape_node);
    if (!escape_node.IsNull && !escape_text.empty()) escape = static_cast<uint8_t>(escape_text[0]);
  }
  bool matched = false;
  if (!value.IsNull && !pattern.IsNull) {
    // The whole buffer: the matcher stops at the text's zero byte when it gets there.
    std::string_view text(reinterpret_cast<const char*>(value.Data()), value.DataSize());
    matched = MatchWithLocale<false>(text, NodeText(pattern), escape, context.Locale).matched;
  }
  SetBooleanResult(node, matched != kNot);
}

}  // namespace

TNodeOperation SelectLikeOperation(const TExpToken& node) {
  if (node.Children.size() < 2 || !node.Children[0] || !node.Children[1]) return nullptr;
  bool negated = node.Operator == TOperator::opNotLike;
  if (node.Children.size() > 2 && node.Children[2]) {
    return negated ? EvaluateLike<true, true> : EvaluateLike<false, true>;
  }
  if (IsPlainConstant(*node.Children[1])) {
    return negated ? EvaluateLike<true, false, true> : EvaluateLike<false, false, true>;
  }
  return negated ? EvaluateLike<true, false> : EvaluateLike<false, false>;
}

bool LikeMatch(std::string_view text, std::string_view pattern, std::optional<uint8_t> escape,
               const platform::LocaleServices* locale) {
  return MatchWithLocale<false>(text, pattern, escape, locale).matched;
}

TLikeOutcome LikeMatchCounted(std::string_view text, std::string_view pattern,
                              std::optional<uint8_t> escape,
                              const platform::LocaleServices* locale) {
  return MatchWithLocale<true>(text, pattern, escape, locale);
}

std::optional<TLikePrefix> LikePatternPrefix(std::string_view pattern,
                                             std::optional<uint8_t> escape) {
  size_t end = pattern.size();
  while (end > 0 && static_cast<uint8_t>(pattern[end - 1]) == kAnyRun) --end;
  TLikePrefix result{pattern.substr(0, end), pattern.size() - end};
  for (char c : result.prefix) {
    uint8_t b = static_cast<uint8_t>(c);
    if (b == kAnyRun || b == kAnyOne || (escape && b == *escape)) return std::nullopt;
  }
  // An escape character among the trailing '%' would make one of them literal.
  if (escape && *escape == kAnyRun && result.trailing_percent > 0) return std::nullopt;
  return result;
}

}  // namespace veltra
