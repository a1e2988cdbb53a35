// The results service's reading of download requests: the catalogue it matches against, percent
// decoding, and the request text, good and malformed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "draw_request.h"
#include "request_text.h"
#include "service_catalogue.h"

namespace veltra::results_service {
namespace {

using fixtures::EmptyTablesRequest;
using fixtures::EncodeQueryLikeTheDialog;

TEST(ServiceCatalogue, HoldsTheSixteenGamesInRequestOrder) {
  struct Expected {
    std::string_view key, table;
    int draw_size;
    DateFormat format;
  };
  constexpr DateFormat d = DateFormat::dfDate, t = DateFormat::dfDateTime;
  const Expected expected[kGameCount] = {
      {"dl", "LOTTO", 6, d},
      {"multi_multi", "multi_multi", 20, t},
      {"multi", "MULTI_22", 20, d},
      {"mm14", "MULTI_14", 20, d},
      {"ex", "MINI_LOTTO", 5, d},
      {"keno_de", "keno_de", 20, d},
      {"keno_svenska", "keno_svenska", 20, d},
      {"_ireland49s", "ireland49s", 6, t},
      {"ireland49s", "ireland49s7", 7, t},
      {"LittleLotto", "LITTLE_LOTTO", 5, t},
      {"Illinois_Lotto", "ILLINOIS_LOTTO", 6, d},
      {"Power_Ball", "POWER_BALL", 6, d},
      {"Mega_Millions", "MEGA_MILLIONS", 6, d},
      {"keno_fr", "keno_fr", 20, t},
      {"DailyKENO", "DailyKENO", 20, d},
      {"lotto_de", "lotto_de", 7, d},
  };
  for (size_t i = 0; i < kGameCount; ++i) {
    const ServiceGame& game = ServiceGames()[i];
    SCOPED_TRACE(expected[i].key);
    EXPECT_EQ(game.key, expected[i].key);
    EXPECT_EQ(game.table, expected[i].table);
    EXPECT_EQ(game.draw_size, expected[i].draw_size);
    EXPECT_EQ(game.date_format, expected[i].format);
    EXPECT_EQ(FindGameByKey(expected[i].key), i);
  }
  EXPECT_EQ(FindGameByKey("IRELAND49S"), std::nullopt);
}

TEST(PercentDecode, DecodesEscapesAndLeavesEverythingElse) {
  struct Case {
    std::string_view encoded, decoded;
  } cases[] = {
      {"%5B%5D%20", "[] "},
      {"%5b%7e", "[~"},
      {"a+b", "a+b"},
      {"{\"dl\":1}", "{\"dl\":1}"},
      {"%00%FF", std::string_view("\0\xFF", 2)},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PercentDecode(c.encoded), c.decoded) << c.encoded;
  }
}

TEST(PercentDecode, RefusesAPercentWithoutTwoHexDigits) {
  for (std::string_view encoded : {"%", "ab%2", "%G0", "%%", "x%2g"}) {
    EXPECT_THROW(PercentDecode(encoded), RequestError) << encoded;
  }
}

TEST(DataParameter, FindsTheFirstDataPairOfTheQuery) {
  EXPECT_EQ(DataParameter("data={}"), "{}");
  EXPECT_EQ(DataParameter("a=1&data=x&data=y"), "x");
  EXPECT_EQ(DataParameter("data="), "");
  for (std::string_view query : {"", "dat=x", "xdata=1", "a=1&b=2"}) {
    EXPECT_THROW(DataParameter(query), RequestError) << query;
  }
}

TEST(DrawRequest, ReadsEveryGameInCatalogueOrder) {
  std::array<fixtures::StateText, kGameCount> states;
  for (size_t i = 0; i < kGameCount; ++i) {
    bool timed = ServiceGames()[i].date_format == DateFormat::dfDateTime;
    states[i] = {timed ? "2026-06-29 22:00:00" : "2026-06-29", static_cast<int32_t>(100 + i)};
  }
  states[15].id = -7;
  std::vector<GameState> parsed = ParseDrawRequest(fixtures::RequestText(states));
  ASSERT_EQ(parsed.size(), kGameCount);
  DayNumber day = DaysFromCivil({2026, 6, 29});
  for (size_t i = 0; i < kGameCount; ++i) {
    bool timed = ServiceGames()[i].date_format == DateFormat::dfDateTime;
    EXPECT_EQ(parsed[i].game, i);
    EXPECT_EQ(parsed[i].newest_date, (DrawTime{day, timed ? 22 * 3600 : 0}));
    EXPECT_EQ(parsed[i].newest_id, i == 15 ? -7 : static_cast<int32_t>(100 + i));
  }
}

TEST(DrawRequest, ReadsTheStateOfEmptyTables) {
  for (const GameState& state : ParseDrawRequest(EmptyTablesRequest())) {
    EXPECT_EQ(state.newest_date, (DrawTime{DaysFromCivil({1899, 12, 30}), 0}));
    EXPECT_EQ(state.newest_id, 0);
  }
}

TEST(DrawRequest, AcceptsWhiteSpaceMembersInAnyOrderAndTableNamesInAnyCase) {
  std::string text = EmptyTablesRequest();
  // Move the first member to the end, and loosen the layout.
  size_t first_end = text.find("],") + 1;
  std::string first = text.substr(1, first_end - 1);
  text = "{" + text.substr(first_end + 1, text.size() - first_end - 2) + "," + first + "}";
  std::string spaced;
  for (char c : text) {
    if (c == '[') spaced += " :\r\n\t";  // the colon before every array moves in here
    if (c != ':' || spaced.back() != '"') spaced += c;
    if (c == ',' || c == '[' || c == '{') spaced += " \r\n\t";
  }
  std::string lower = spaced;
  lower.replace(lower.find("\"LOTTO\""), 7, "\"lotto\"");
  EXPECT_EQ(ParseDrawRequest(" " + lower + " ").size(), kGameCount);
}

// Every malformed request is refused with a message naming the fault.
struct Malformed {
  const char* name;
  std::string_view from;  // replaced in the empty-tables request; "" replaces the whole text
  std::string_view to;
  std::string_view message;  // a part of the message
};

class MalformedRequest : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedRequest, IsRefusedWithAClearMessage) {
  const Malformed& c = GetParam();
  std::string text = EmptyTablesRequest();
  if (c.from.empty()) {
    text = c.to;
  } else {
    size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.from;
    text.replace(at, c.from.size(), c.to);
  }
  try {
    ParseDrawRequest(text);
    FAIL() << "accepted: " << text;
  } catch (const RequestError& error) {
    EXPECT_NE(std::string_view(error.what()).find(c.message), std::string_view::npos)
        << error.what();
  }
}

constexpr std::string_view kLotto = R"("dl":["LOTTO","1899-12-30",6,0])";

INSTANTIATE_TEST_SUITE_P(
    DrawRequest, MalformedRequest,
    ::testing::Values(
        Malformed{"Empty", "", "  ", "the request text is empty"},
        Malformed{"NotAnObject", "", "[1,2]", "at offset 0: expected '{'"},
        Malformed{"TruncatedText", R"(,0]})", ",0", "or ',' in game \"lotto_de\"'s array"},
        Malformed{"MissingColon", R"("dl":)", R"("dl" )", "expected ':' after the game's key"},
        Malformed{"TrailingComma", "]}", "],}", "expected a game's key"},
        Malformed{"TextAfterTheObject", "]}", "]}x", "unexpected text after the closing '}'"},
        Malformed{"UnterminatedString", "", R"({"dl)", "unterminated string"},
        Malformed{"EscapeInString", R"("LOTTO")", R"("LOT\"TO")", "escape sequences"},
        Malformed{"ControlByteInString", R"("LOTTO")", "\"LOT\nTO\"", "control character"},
        Malformed{"UnknownKey", R"("dl":)", R"("DL":)", "unknown game \"DL\""},
        Malformed{"RepeatedKey", kLotto,
                  std::string_view(R"("dl":["LOTTO","1899-12-30",6,0],)"
                                   R"("dl":["LOTTO","1899-12-30",6,0])"),
                  "game \"dl\" appears twice"},
        Malformed{"MissingGames", R"(,"lotto_de":["lotto_de","1899-12-30",7,0])", "",
                  "lacks the games lotto_de"},
        Malformed{"NoGames", "", "{}", "lacks the games dl, multi_multi,"},
        Malformed{"ThreeElements", kLotto, R"("dl":["LOTTO","1899-12-30",6])",
                  "game \"dl\": the array has 3 elements, expected 4"},
        Malformed{"NoElements", kLotto, R"("dl":[])", "the array has 0 elements"},
        Malformed{"FiveElements", kLotto, R"("dl":["LOTTO","1899-12-30",6,0,1])",
                  "more than 4 elements"},
        Malformed{"ValueNotAnArray", kLotto, R"("dl":"LOTTO")", "expected '[' to open"},
        Malformed{"NestedArray", kLotto, R"("dl":["LOTTO",[],6,0])",
                  "element 2 (newest date) must be a string or a number"},
        Malformed{"OtherGamesTable", kLotto, R"("dl":["MINI_LOTTO","1899-12-30",6,0])",
                  "the table name \"MINI_LOTTO\" is not this game's table \"LOTTO\""},
        Malformed{"TableNameNotAString", kLotto, R"("dl":[5,"1899-12-30",6,0])",
                  "the table name must be a string"},
        Malformed{"MonthThirteen", kLotto, R"("dl":["LOTTO","2026-13-01",6,0])",
                  "\"2026-13-01\" is not a date written yyyy-mm-dd"},
        Malformed{"NoLeapDay", kLotto, R"("dl":["LOTTO","2026-02-29",6,0])", "is not a date"},
        Malformed{"OneDigitMonth", kLotto, R"("dl":["LOTTO","2026-1-01",6,0])", "is not a date"},
        Malformed{"TimeForADateGame", kLotto, R"("dl":["LOTTO","2026-01-01 00:00:00",6,0])",
                  "is not a date written yyyy-mm-dd"},
        Malformed{"DateForATimedGame", R"("1899-12-30 00:00:00")", R"("1899-12-30")",
                  "game \"multi_multi\": the newest date \"1899-12-30\" is not a date and time "
                  "written yyyy-mm-dd hh:nn:ss"},
        Malformed{"Hour24", R"("1899-12-30 00:00:00")", R"("1899-12-30 24:00:00")",
                  "is not a date and time"},
        Malformed{"DateNotAString", kLotto, R"("dl":["LOTTO",18991230,6,0])",
                  "the newest date must be a string"},
        Malformed{"OtherDrawSize", kLotto, R"("dl":["LOTTO","1899-12-30",7,0])",
                  "the draw size 7 is not this game's 6"},
        Malformed{"DrawSizeAsString", kLotto, R"("dl":["LOTTO","1899-12-30","6",0])",
                  "the draw size must be a whole number, not the string \"6\""},
        Malformed{"IdAsString", kLotto, R"("dl":["LOTTO","1899-12-30",6,"0"])",
                  "the newest id must be a whole number, not the string \"0\""},
        Malformed{"IdWithFraction", kLotto, R"("dl":["LOTTO","1899-12-30",6,1.5])",
                  "the newest id must be a whole number, not 1.5"},
        Malformed{"IdWithExponent", kLotto, R"("dl":["LOTTO","1899-12-30",6,1e3])",
                  "must be a whole number, not 1e3"},
        Malformed{"IdAsWord", kLotto, R"("dl":["LOTTO","1899-12-30",6,null])",
                  "must be a whole number, not null"},
        Malformed{"IdBeyond32Bits", kLotto, R"("dl":["LOTTO","1899-12-30",6,2147483648])",
                  "the newest id 2147483648 is outside the 32-bit range"},
        Malformed{"IdOfManyDigits", kLotto,
                  R"("dl":["LOTTO","1899-12-30",6,-99999999999999999999999])",
                  "is outside the 32-bit range"},
        Malformed{"MinusWithoutDigits", kLotto, R"("dl":["LOTTO","1899-12-30",6,-])",
                  "expected a digit"},
        Malformed{"StrayCharacter", kLotto, R"("dl":["LOTTO","1899-12-30",6,#])",
                  "expected game \"dl\": element 4 (newest id)"}),
    [](const ::testing::TestParamInfo<Malformed>& info) { return info.param.name; });

TEST(DrawRequest, RefusesAnOverlongTextBeforeReadingIt) {
  std::string text = EmptyTablesRequest();
  text.insert(1, kMaxRequestLength, ' ');
  EXPECT_THROW(ParseDrawRequest(text), RequestError);
}

TEST(DrawRequest, ReadsTheDialogsEncodingBackToTheSameText) {
  std::string text = EmptyTablesRequest();
  std::string encoded = EncodeQueryLikeTheDialog(text);
  EXPECT_NE(encoded.find("%5B\"LOTTO\",\"1899-12-30\",6,0%5D"), std::string::npos);
  EXPECT_NE(encoded.find("\"1899-12-30%2000:00:00\""), std::string::npos);
  EXPECT_EQ(PercentDecode(encoded), text);
}

}  // namespace
}  // namespace veltra::results_service
