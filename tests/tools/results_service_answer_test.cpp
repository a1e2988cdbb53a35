// The results service's answers: which draws are newer than a client's state, the INSERT text,
// and the reply to a download request target.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "answer.h"
#include "request_text.h"

namespace veltra::results_service {
namespace {

constexpr size_t kLotto = 0;       // a game written as a date alone
constexpr size_t kMultiMulti = 1;  // a game written with the time of day

DrawTime At(int year, int month, int day, int hour = 0, int minute = 0) {
  return {DaysFromCivil({year, month, day}), hour * 3600 + minute * 60};
}

TEST(IsNewer, EitherAGreaterIdOrALaterMomentMakesADrawNewer) {
  struct Case {
    int32_t id;
    DrawTime time;
    bool newer;
  } cases[] = {
      {11, At(2026, 6, 12, 14), true},   // both
      {11, At(2026, 6, 10, 14), true},   // the id alone
      {10, At(2026, 6, 10, 22), true},   // the time of day alone
      {9, At(2026, 6, 11), true},        // the date alone
      {10, At(2026, 6, 10, 14), false},  // the client's own newest draw
      {9, At(2026, 6, 10, 13, 59), false}, {-5, At(1899, 12, 30), false},
  };
  GameState state{kMultiMulti, At(2026, 6, 10, 14), 10};
  for (const Case& c : cases) {
    EXPECT_EQ(IsNewer({c.id, c.time, {}}, state), c.newer)
        << c.id << " " << FormatDrawTime(c.time, DateFormat::dfDateTime);
  }
}

// A small history: three LOTTO draws and two MULTI MULTI draws; the other games have none.
class AnswerFromSmallHistory : public ::testing::Test {
 protected:
  AnswerFromSmallHistory() {
    history_.games[kLotto] = {{1, At(2026, 6, 9), {1, 2, 3, 4, 5, 6}},
                              {2, At(2026, 6, 11), {7, 8, 9, 10, 11, 12}},
                              {3, At(2026, 6, 13), {13, 14, 15, 16, 17, 49}}};
    std::vector<int> twenty;
    for (int i = 1; i <= 20; ++i) twenty.push_back(i * 4);
    history_.games[kMultiMulti] = {{500, At(2026, 6, 13, 14), twenty},
                                   {501, At(2026, 6, 13, 22), twenty}};
    for (size_t i = 0; i < kGameCount; ++i) {
      states_.push_back({i, At(1899, 12, 30), 0});
    }
  }

  DrawHistory history_;
  std::vector<GameState> states_;
};

TEST_F(AnswerFromSmallHistory, AnswersOnlyTheNewerDrawsGameByGameInIdOrder) {
  states_[kLotto] = {kLotto, At(2026, 6, 9), 1};
  states_[kMultiMulti] = {kMultiMulti, At(2026, 6, 13, 14), 500};
  EXPECT_EQ(BuildAnswer(history_, states_),
            "INSERT INTO LOTTO (id, [date], l1, l2, l3, l4, l5, l6) VALUES "
            "(2, '2026-06-11', 7, 8, 9, 10, 11, 12);\r\n"
            "INSERT INTO LOTTO (id, [date], l1, l2, l3, l4, l5, l6) VALUES "
            "(3, '2026-06-13', 13, 14, 15, 16, 17, 49);\r\n"
            "INSERT INTO multi_multi (id, [date], l1, l2, l3, l4, l5, l6, l7, l8, l9, l10, l11, "
            "l12, l13, l14, l15, l16, l17, l18, l19, l20) VALUES (501, '2026-06-13 22:00:00', 4, "
            "8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60, 64, 68, 72, 76, 80);\r\n");
}

TEST_F(AnswerFromSmallHistory, AnswersNothingWhenTheClientHoldsTheNewestDraws) {
  states_[kLotto] = {kLotto, At(2026, 6, 13), 3};
  states_[kMultiMulti] = {kMultiMulti, At(2026, 6, 13, 22), 501};
  EXPECT_EQ(BuildAnswer(history_, states_), "");
  // A client ahead of the service gets nothing either.
  states_[kLotto] = {kLotto, At(2027, 1, 1), 99};
  EXPECT_EQ(BuildAnswer(history_, states_), "");
}

TEST_F(AnswerFromSmallHistory, RepliesToADownloadTargetWithTheScript) {
  std::array<fixtures::StateText, kGameCount> states;
  for (size_t i = 0; i < kGameCount; ++i) {
    states[i].date =
        ServiceGames()[i].date_format == DateFormat::dfDate ? "1899-12-30" : "1899-12-30 00:00:00";
  }
  states[kLotto] = {"2026-06-11", 2};
  states[kMultiMulti] = {"2026-06-13 22:00:00", 501};
  Reply reply = AnswerDownload(history_, fixtures::DownloadTarget(fixtures::RequestText(states)));
  EXPECT_EQ(reply.status, kStatusOk);
  EXPECT_EQ(reply.content_type, "text/plain; charset=windows-1250");
  EXPECT_EQ(reply.body,
            "INSERT INTO LOTTO (id, [date], l1, l2, l3, l4, l5, l6) VALUES "
            "(3, '2026-06-13', 13, 14, 15, 16, 17, 49);\r\n");

  states[kLotto] = {"2026-06-13", 3};
  reply = AnswerDownload(history_, fixtures::DownloadTarget(fixtures::RequestText(states)));
  EXPECT_EQ(reply.status, kStatusOk);
  EXPECT_EQ(reply.body, "");
}

TEST_F(AnswerFromSmallHistory, RepliesToAMalformedTargetWith400AndTheFault) {
  struct Case {
    std::string target;
    std::string_view message;
  } cases[] = {
      {"/dtools/down_all_232.php", "malformed request: the request has no query\n"},
      {"/dtools/down_all_232.php?", "malformed request: the request has no data parameter\n"},
      {"/dtools/down_all_232.php?x=1", "malformed request: the request has no data parameter\n"},
      {"/dtools/down_all_232.php?data=%7B%7",
       "malformed request: at offset 3 of the encoded "
       "request: '%' is not followed by two hexadecimal "
       "digits\n"},
      {"/dtools/down_all_232.php?data=%7B%22dl%22",
       "malformed request: at offset 5: expected "
       "':' after the game's key (the request text "
       "ends here)\n"},
      {"/dtools/down_all_232.php?data=" + std::string(kMaxRequestLength + 1, 'x'),
       "malformed request: the request text is longer than 65536 bytes\n"},
  };
  for (const Case& c : cases) {
    Reply reply = AnswerDownload(history_, c.target);
    EXPECT_EQ(reply.status, kStatusBadRequest) << c.target.substr(0, 60);
    EXPECT_EQ(reply.body, c.message);
  }
}

TEST(SchemaScript, CreatesEveryTableWithTheColumnsTheInsertsFill) {
  std::string script = SchemaScript();
  EXPECT_TRUE(script.starts_with(
      "CREATE TABLE IF NOT EXISTS LOTTO (id INTEGER NOT NULL PRIMARY KEY, [date] DATE NOT NULL, "
      "l1 SMALLINT, l2 SMALLINT, l3 SMALLINT, l4 SMALLINT, l5 SMALLINT, l6 SMALLINT);\r\n"
      "CREATE TABLE IF NOT EXISTS multi_multi (id INTEGER NOT NULL PRIMARY KEY, [date] TIMESTAMP "
      "NOT NULL, l1 SMALLINT,"))
      << script.substr(0, 300);
  size_t lines = 0;
  for (size_t at = 0; (at = script.find(";\r\n", at)) != std::string::npos; at += 3) ++lines;
  EXPECT_EQ(lines, kGameCount);
  EXPECT_NE(script.find("lotto_de (id INTEGER NOT NULL PRIMARY KEY, [date] DATE NOT NULL, "
                        "l1 SMALLINT, l2 SMALLINT, l3 SMALLINT, l4 SMALLINT, l5 SMALLINT, "
                        "l6 SMALLINT, l7 SMALLINT);\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace veltra::results_service
