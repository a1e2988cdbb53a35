// LIKE pattern matching: '%' matches any run of characters (none included), '_' exactly one, and
// the escape character makes the next pattern character literal. Characters compare one by one,
// through the locale's character comparison (accents ignored, case counting) or, without a
// locale, as bytes.
//
// The matcher is greedy and, on a mismatch, backtracks only to the most recent '%': a later '%'
// can always absorb whatever an earlier one would, so the work is bounded by the text length
// times the pattern length and a pattern such as '%a%a%a%a%b' over a long text never explodes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "expressions/evaluator.h"
#include "platform/locale.h"

namespace veltra {

// True when `text` matches `pattern`. The text ends at its first zero byte or at its size (so a
// node's whole value buffer may be given). `escape` is the escape character, nullopt for none.
// An escape character at the very end of the pattern stands for itself.
bool LikeMatch(std::string_view text, std::string_view pattern, std::optional<uint8_t> escape,
               const platform::LocaleServices* locale);

// The same, also answering the number of character steps the match took (for checking that the
// work stays bounded).
struct TLikeOutcome {
  bool matched = false;
  uint64_t steps = 0;
};
TLikeOutcome LikeMatchCounted(std::string_view text, std::string_view pattern,
                              std::optional<uint8_t> escape,
                              const platform::LocaleServices* locale);

// The operation of an nkExtended opLike or opNotLike node (children: value, pattern, optional
// escape): LIKE is false when the value or the pattern is NULL, NOT LIKE its negation (so true
// then). The escape is the first character of the escape text; a NULL or empty one is none.
// Null when the node has fewer than two children.
TNodeOperation SelectLikeOperation(const TExpToken& node);

// The pattern's literal prefix when the pattern is that prefix followed only by '%' characters
// and holds no '_' and no escape character; nullopt otherwise. `trailing_percent` tells how many
// '%' ended it (0: the pattern is a plain text and LIKE is equality).
struct TLikePrefix {
  std::string_view prefix;
  size_t trailing_percent = 0;
};
std::optional<TLikePrefix> LikePatternPrefix(std::string_view pattern,
                                             std::optional<uint8_t> escape);

}  // namespace veltra
