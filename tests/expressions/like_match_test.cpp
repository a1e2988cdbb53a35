// LIKE matching: '%', '_', the escape character, the whole-text rule, the locale's character
// comparison, bounded work for patterns with many '%', and the literal prefix that filters turn
// into prefix compares.
#include "expressions/like_match.h"

#include <gtest/gtest.h>

#include <string>

namespace veltra {
namespace {

struct LikeCase {
  const char* text;
  const char* pattern;
  int escape;  // -1: none
  bool matched;
};

const LikeCase kCases[] = {
    {"Smith", "Sm%", -1, true},
    {"Sm", "Sm%", -1, true},
    {"smith", "Sm%", -1, false},  // case counts
    {"Smith", "Smith", -1, true},
    {"Smithy", "Smith", -1, false},
    {"Smit", "Smith", -1, false},
    {"", "%", -1, true},
    {"", "", -1, true},
    {"a", "", -1, false},
    {"", "_", -1, false},
    {"abc", "a_c", -1, true},
    {"ac", "a_c", -1, false},
    {"abc", "%c", -1, true},
    {"abcb", "%b", -1, true},
    {"abcbd", "%b", -1, false},
    {"abXcdXef", "%X%X%", -1, true},
    {"aXb", "%X%X%", -1, false},
    {"mississippi", "%iss%ppi", -1, true},
    {"mississippi", "m%ss%ss%pi", -1, true},
    {"mississippi", "m%ss%ss%ss%", -1, false},
    {"abc", "%%%", -1, true},
    {"abc", "a%%c", -1, true},
    {"a%c", "a\\%c", '\\', true},
    {"abc", "a\\%c", '\\', false},
    {"a_c", "a\\_c", '\\', true},
    {"abc", "a\\_c", '\\', false},
    {"a\\", "a\\", '\\', true},  // a trailing escape stands for itself
    {"a!b", "a!!b", '!', true},  // an escaped escape
    {"100%", "%!%", '!', true},
    {"100", "%!%", '!', false},
    {"\xe9t\xe9", "%t%", -1, true},  // high bytes are characters
};

TEST(LikeMatch, MatchesAsTheTableSays) {
  for (const LikeCase& c : kCases) {
    std::optional<uint8_t> escape;
    if (c.escape >= 0) escape = static_cast<uint8_t>(c.escape);
    EXPECT_EQ(LikeMatch(c.text, c.pattern, escape, nullptr), c.matched)
        << "'" << c.text << "' LIKE '" << c.pattern << "'";
  }
}

TEST(LikeMatch, ManyPercentsOverALongTextTakeBoundedWork) {
  std::string text(20000, 'a');
  const std::string pattern = "%a%a%a%a%b";
  TLikeOutcome outcome = LikeMatchCounted(text, pattern, std::nullopt, nullptr);
  EXPECT_FALSE(outcome.matched);
  // Backtracking only to the last '%' keeps the work within text length times pattern length.
  EXPECT_LE(outcome.steps, text.size() * pattern.size());
  text.back() = 'b';
  EXPECT_TRUE(LikeMatch(text, pattern, std::nullopt, nullptr));
}

TEST(LikeMatch, TheLocaleComparesCharactersIgnoringAccents) {
  const platform::LocaleServices* locale =
      platform::LocaleServicesOf(platform::kGermanGermanyLocaleId);
  if (locale == nullptr) GTEST_SKIP() << "locale not available";
  // windows-1252: 0xE9 is e with an acute accent.
  EXPECT_TRUE(LikeMatch("caf\xe9", "cafe", std::nullopt, locale));
  EXPECT_TRUE(LikeMatch("caf\xe9", "caf_", std::nullopt, locale));
  EXPECT_FALSE(LikeMatch("CAFE", "cafe", std::nullopt, locale));
  EXPECT_FALSE(LikeMatch("caf\xe9", "cafe", std::nullopt, nullptr));
}

struct PrefixCase {
  const char* pattern;
  int escape;
  bool has_prefix;
  const char* prefix;
  size_t trailing;
};

const PrefixCase kPrefixCases[] = {
    {"Sm%", -1, true, "Sm", 1},      {"Sm%%", -1, true, "Sm", 2},
    {"Smith", -1, true, "Smith", 0}, {"%", -1, true, "", 1},
    {"S_m%", -1, false, "", 0},      {"S%m%", -1, false, "", 0},
    {"%Sm", -1, false, "", 0},       {"Sm!%%", '!', false, "", 0},
    {"Sm%", '%', false, "", 0},      {"Smith%", '!', true, "Smith", 1},
};

TEST(LikePatternPrefix, OnlyTrailingUnescapedPercentsMakeAPrefix) {
  for (const PrefixCase& c : kPrefixCases) {
    std::optional<uint8_t> escape;
    if (c.escape >= 0) escape = static_cast<uint8_t>(c.escape);
    auto prefix = LikePatternPrefix(c.pattern, escape);
    ASSERT_EQ(prefix.has_value(), c.has_prefix) << c.pattern;
    if (prefix) {
      EXPECT_EQ(prefix->prefix, c.prefix) << c.pattern;
      EXPECT_EQ(prefix->trailing_percent, c.trailing) << c.pattern;
    }
  }
}

}  // namespace
}  // namespace veltra
