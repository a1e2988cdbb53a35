// The results service's draw histories: the generator (stable for a seed, plausible, independent
// of the window served) and the CSV files.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "answer.h"
#include "draw_history.h"
#include "history_csv.h"
#include "request_text.h"
#include "support/temp_dir.h"

namespace veltra::results_service {
namespace {

const DrawHistory& DefaultHistory() {
  static const DrawHistory history = GenerateHistory({});
  return history;
}

std::vector<GameState> EmptyTables() { return ParseDrawRequest(fixtures::EmptyTablesRequest()); }

TEST(GeneratedHistory, IsStableForItsSeed) {
  // Three years up to 2026-06-30: 1097 days, 157 weeks less a day.
  const size_t expected_counts[kGameCount] = {470,  2194, 1097, 1097, 1097, 1097, 1097, 2194,
                                              2194, 1097, 470,  470,  314,  2194, 1097, 313};
  const DrawHistory& history = DefaultHistory();
  for (size_t i = 0; i < kGameCount; ++i) {
    EXPECT_EQ(history.games[i].size(), expected_counts[i]) << ServiceGames()[i].key;
  }
  EXPECT_EQ(history.TotalDraws(), 18492u);
  EXPECT_EQ(history, GenerateHistory({}));

  std::string answer = BuildAnswer(history, EmptyTables());
  EXPECT_TRUE(
      answer.starts_with("INSERT INTO LOTTO (id, [date], l1, l2, l3, l4, l5, l6) VALUES "
                         "(3679, '2023-07-01', 9, 10, 12, 16, 21, 41);\r\n"
                         "INSERT INTO LOTTO (id, [date], l1, l2, l3, l4, l5, l6) VALUES "
                         "(3680, '2023-07-04', 4, 6, 8, 26, 37, 45);\r\n"))
      << answer.substr(0, 300);
  EXPECT_TRUE(
      answer.ends_with("INSERT INTO lotto_de (id, [date], l1, l2, l3, l4, l5, l6, l7) VALUES "
                       "(2765, '2026-06-27', 16, 18, 21, 23, 32, 33, 3);\r\n"));
  EXPECT_EQ(static_cast<size_t>(std::count(answer.begin(), answer.end(), '\n')), 18492u);
  EXPECT_EQ(InsertStatement(ServiceGames()[1], history.games[1].back()),
            "INSERT INTO multi_multi (id, [date], l1, l2, l3, l4, l5, l6, l7, l8, l9, l10, l11, "
            "l12, l13, l14, l15, l16, l17, l18, l19, l20) VALUES (19356, '2026-06-30 22:00:00', 4, "
            "11, 15, 17, 22, 26, 32, 35, 41, 42, 44, 45, 46, 47, 50, 57, 58, 60, 66, 79);");
}

TEST(GeneratedHistory, AnswersNothingToAClientThatHoldsTheNewestDraws) {
  const DrawHistory& history = DefaultHistory();
  std::vector<GameState> states = EmptyTables();
  for (GameState& state : states) {
    state.newest_id = history.games[state.game].back().id;
    state.newest_date = history.games[state.game].back().time;
  }
  EXPECT_EQ(BuildAnswer(history, states), "");
  states[0].newest_id -= 2;
  std::string answer = BuildAnswer(history, states);
  EXPECT_EQ(std::count(answer.begin(), answer.end(), '\n'), 2);
}

TEST(GeneratedHistory, OtherSeedsDrawOtherNumbersOnTheSameSchedule) {
  DrawHistory other = GenerateHistory({.seed = 7});
  const DrawHistory& history = DefaultHistory();
  size_t differing = 0;
  for (size_t g = 0; g < kGameCount; ++g) {
    ASSERT_EQ(other.games[g].size(), history.games[g].size());
    for (size_t i = 0; i < other.games[g].size(); ++i) {
      EXPECT_EQ(other.games[g][i].id, history.games[g][i].id);
      EXPECT_EQ(other.games[g][i].time, history.games[g][i].time);
      if (other.games[g][i].numbers != history.games[g][i].numbers) ++differing;
    }
  }
  EXPECT_GT(differing, history.TotalDraws() * 9 / 10);
}

TEST(GeneratedHistory, ADrawIsTheSameInEveryWindowThatHoldsIt) {
  DrawHistory shorter = GenerateHistory({.end_day = DaysFromCivil({2026, 1, 15}), .years = 1});
  const DrawHistory& history = DefaultHistory();
  for (size_t g = 0; g < kGameCount; ++g) {
    const std::vector<Draw>& all = history.games[g];
    ASSERT_FALSE(shorter.games[g].empty());
    auto at = std::find_if(all.begin(), all.end(),
                           [&](const Draw& d) { return d.id == shorter.games[g].front().id; });
    ASSERT_NE(at, all.end()) << ServiceGames()[g].key;
    EXPECT_TRUE(std::equal(shorter.games[g].begin(), shorter.games[g].end(), at));
    EXPECT_GE(shorter.games[g].front().time.day, DaysFromCivil({2025, 1, 15}));
    EXPECT_LE(shorter.games[g].back().time.day, DaysFromCivil({2026, 1, 15}));
  }
}

TEST(GeneratedHistory, FollowsEachGamesScheduleAndNumberRanges) {
  const DrawHistory& history = DefaultHistory();
  for (size_t g = 0; g < kGameCount; ++g) {
    const ServiceGame& game = ServiceGames()[g];
    const NumberRule& rule = game.numbers;
    SCOPED_TRACE(game.key);
    const Draw* previous = nullptr;
    for (const Draw& draw : history.games[g]) {
      ASSERT_EQ(draw.numbers.size(), static_cast<size_t>(game.draw_size));
      auto main_end = draw.numbers.begin() + rule.main_count;
      ASSERT_TRUE(std::is_sorted(draw.numbers.begin(), main_end));
      ASSERT_EQ(std::adjacent_find(draw.numbers.begin(), main_end), main_end);
      ASSERT_GE(draw.numbers.front(), 1);
      ASSERT_LE(*(main_end - 1), rule.main_max);
      if (rule.has_bonus) {
        int bonus = draw.numbers.back();
        ASSERT_TRUE(bonus >= rule.bonus_min && bonus <= rule.bonus_max) << bonus;
        if (rule.bonus_distinct) {
          ASSERT_EQ(std::find(draw.numbers.begin(), main_end, bonus), main_end);
        }
      }
      ASSERT_TRUE(game.schedule.weekdays & (1u << Weekday(draw.time.day)));
      const auto& times = game.schedule.times;
      ASSERT_NE(
          std::find(times.begin(), times.begin() + game.schedule.times_per_day, draw.time.second),
          times.begin() + game.schedule.times_per_day);
      if (previous) {
        ASSERT_EQ(draw.id, previous->id + 1);
        ASSERT_GT(draw.time, previous->time);
      }
      previous = &draw;
    }
  }
}

TEST(GeneratedHistory, RefusesAWindowOutsideItsRange) {
  EXPECT_THROW(GenerateHistory({.years = 0}), std::invalid_argument);
  EXPECT_THROW(GenerateHistory({.years = kMaxYears + 1}), std::invalid_argument);
  EXPECT_THROW(GenerateHistory({.end_day = DaysFromCivil({1999, 12, 31})}), std::invalid_argument);
  // A window reaching before 2000 starts there: the first LOTTO draw of 2000 has id 1.
  DrawHistory early = GenerateHistory({.end_day = DaysFromCivil({2000, 1, 10}), .years = 5});
  EXPECT_EQ(early.games[0].front().id, 1);
  EXPECT_EQ(early.games[0].front().time.day, DaysFromCivil({2000, 1, 1}));
}

TEST(HistoryCsv, WritesAHistoryThatReadsBackTheSame) {
  DrawHistory history = GenerateHistory({.years = 1});
  std::string csv = WriteHistoryCsv(history);
  EXPECT_TRUE(csv.starts_with("# key,id,date,n1,...,nN\n"));
  EXPECT_NE(csv.find("\nmulti_multi,19355,2026-06-30 14:00:00,7,14,"), std::string::npos);
  EXPECT_EQ(ReadHistoryCsv(csv), history);
}

TEST(HistoryCsv, SkipsCommentsAndBlankLinesAndOrdersEachGameById) {
  DrawHistory history = ReadHistoryCsv(
      "# my draws\r\n"
      "\r\n"
      " dl , 12 , 2026-06-13 , 1, 2, 3, 4, 5, 49\r\n"
      "   # indented comment\n"
      "dl,11,2026-06-11,0,2,3,4,5,9999\n"
      "multi_multi,7,2026-06-13 22:00:00,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20");
  ASSERT_EQ(history.games[0].size(), 2u);
  EXPECT_EQ(history.games[0][0],
            (Draw{11, {DaysFromCivil({2026, 6, 11}), 0}, {0, 2, 3, 4, 5, 9999}}));
  EXPECT_EQ(history.games[0][1].id, 12);
  ASSERT_EQ(history.games[1].size(), 1u);
  EXPECT_EQ(history.games[1][0].time, (DrawTime{DaysFromCivil({2026, 6, 13}), 22 * 3600}));
  EXPECT_EQ(history.TotalDraws(), 3u);
  std::vector<GameState> states = EmptyTables();
  states[0].newest_id = 11;
  states[0].newest_date = {DaysFromCivil({2026, 6, 11}), 0};
  states[1].newest_id = 7;
  states[1].newest_date = history.games[1][0].time;
  EXPECT_EQ(BuildAnswer(history, states),
            "INSERT INTO LOTTO (id, [date], l1, l2, l3, l4, l5, l6) VALUES "
            "(12, '2026-06-13', 1, 2, 3, 4, 5, 49);\r\n");
}

TEST(HistoryCsv, NamesTheLineAndTheFaultOfABadDraw) {
  struct Case {
    std::string_view line;
    std::string_view message;
  } cases[] = {
      {"xx,1,2026-06-13,1,2,3,4,5,6", "line 2: unknown game key \"xx\""},
      {"dl,1,2026-06-13,1,2,3,4,5",
       "line 2: game dl needs 9 fields (key, id, date and 6 numbers), "
       "found 8"},
      {"dl,1,2026-06-13,1,2,3,4,5,6,7", "found 10"},
      {"dl,0,2026-06-13,1,2,3,4,5,6", "line 2: the id must be a whole number from 1 to 2147483647"},
      {"dl,2147483648,2026-06-13,1,2,3,4,5,6", "the id must be a whole number"},
      {"dl,-1,2026-06-13,1,2,3,4,5,6", "the id must be a whole number"},
      {"dl,5,2026-06-13,1,2,3,4,5,6", "line 2: game dl has draw 5 twice"},
      {"dl,1,13-06-2026,1,2,3,4,5,6", "line 2: the date must be written yyyy-mm-dd for game dl"},
      {"LittleLotto,1,2026-06-13,1,2,3,4,5",
       "the date must be written yyyy-mm-dd hh:nn:ss for game LittleLotto"},
      {"dl,1,2026-06-13,1,2,3,4,5,10000", "line 2: number 6 must be a whole number from 0 to 9999"},
      {"dl,1,2026-06-13,1,2,x,4,5,6", "number 3 must be a whole number"},
      {"dl,1,2026-06-13,1,2,,4,5,6", "number 3 must be a whole number"},
  };
  for (const Case& c : cases) {
    std::string text = "dl,5,2026-06-11,1,2,3,4,5,6\n" + std::string(c.line) + "\n";
    try {
      ReadHistoryCsv(text);
      ADD_FAILURE() << "accepted: " << c.line;
    } catch (const HistoryError& error) {
      EXPECT_NE(std::string_view(error.what()).find(c.message), std::string_view::npos)
          << error.what();
    }
  }
}

TEST(HistoryCsv, ReadsAFileAndNamesItInErrors) {
  veltra::testing::TempDir dir;
  std::string good = dir.File("draws.csv");
  std::ofstream(good) << "lotto_de,3,2026-06-13,1,2,3,4,5,6,7\n";
  EXPECT_EQ(ReadHistoryCsvFile(good).games[15].size(), 1u);

  std::string bad = dir.File("bad.csv");
  std::ofstream(bad) << "# header\nlotto_de,3\n";
  try {
    ReadHistoryCsvFile(bad);
    ADD_FAILURE() << "accepted";
  } catch (const HistoryError& error) {
    EXPECT_EQ(
        std::string(error.what()),
        bad + ": line 2: game lotto_de needs 10 fields (key, id, date and 7 numbers), found 2");
  }
  EXPECT_THROW(ReadHistoryCsvFile(dir.File("missing.csv")), HistoryError);
  EXPECT_THROW(ReadHistoryCsvFile(dir.path()), HistoryError);
}

}  // namespace
}  // namespace veltra::results_service
