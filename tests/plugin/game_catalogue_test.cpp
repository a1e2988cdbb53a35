#include "plugin/game_catalogue.h"

#include <gtest/gtest.h>

namespace veltra::plugin {
namespace {

TEST(GameCatalogue, HoldsTheSixteenGamesInOrder) {
  struct Row {
    const char* display;
    const char* table;
    const char* key;
    const char* size;
    int format;
  };
  const Row expected[kGameCount] = {
      {"LOTTO", "LOTTO", "dl", "6", 1},
      {"MULTI MULTI", "multi_multi", "multi_multi", "20", 2},
      {"MULTI LOTEK 22", "MULTI_22", "multi", "20", 1},
      {"MULTI LOTEK 14", "MULTI_14", "mm14", "20", 1},
      {"MINI LOTTO", "MINI_LOTTO", "ex", "5", 1},
      {"KENO DE", "keno_de", "keno_de", "20", 1},
      {"KENO SVENSKA", "keno_svenska", "keno_svenska", "20", 1},
      {"49s", "ireland49s", "_ireland49s", "6", 2},
      {"49s BONUS", "ireland49s7", "ireland49s", "7", 2},
      {"LITTLE LOTTO", "LITTLE_LOTTO", "LittleLotto", "5", 2},
      {"ILLINOIS LOTTO", "ILLINOIS_LOTTO", "Illinois_Lotto", "6", 1},
      {"POWER BALL", "POWER_BALL", "Power_Ball", "6", 1},
      {"MEGA MILLIONS", "MEGA_MILLIONS", "Mega_Millions", "6", 1},
      {"KENO FRANCJA", "keno_fr", "keno_fr", "20", 2},
      {"DAILY KENO CANADA", "DailyKENO", "DailyKENO", "20", 1},
      {"LOTTO DE", "lotto_de", "lotto_de", "7", 1},
  };
  for (int i = 0; i < kGameCount; ++i) {
    const GameEntry& g = kGames[static_cast<size_t>(i)];
    EXPECT_EQ(g.display_name, expected[i].display);
    EXPECT_EQ(g.table_name, expected[i].table);
    EXPECT_EQ(g.service_key, expected[i].key);
    EXPECT_EQ(g.draw_size, expected[i].size);
    EXPECT_EQ(g.date_format, expected[i].format);
  }
}

TEST(GameCatalogue, FreshStateIsDateZeroAndIdOne) {
  LocalDrawState state;
  for (int i = 0; i < kGameCount; ++i) {
    EXPECT_EQ(state.newest_date[static_cast<size_t>(i)], 0.0);
    EXPECT_EQ(state.newest_id[static_cast<size_t>(i)], 1);
  }
  // The request of a state never read: every game at 30 December 1899 with id 1, the time of
  // day written for the games of date format 2.
  std::string request = BuildRequestText(state);
  EXPECT_EQ(
      request.substr(0, 99),
      R"({"dl":["LOTTO","1899-12-30",6,1],"multi_multi":["multi_multi","1899-12-30 00:00:00",20,1],"multi":[)");
  EXPECT_EQ(request.back(), '}');
}

TEST(GameCatalogue, RequestWritesNegativeAndLargeIdsInDecimal) {
  LocalDrawState state;
  state.newest_id[0] = -5;
  state.newest_id[15] = 2147483647;
  std::string request = BuildRequestText(state);
  EXPECT_NE(request.find(R"("dl":["LOTTO","1899-12-30",6,-5])"), std::string::npos);
  EXPECT_NE(request.find(R"("lotto_de":["lotto_de","1899-12-30",7,2147483647]})"),
            std::string::npos);
}

}  // namespace
}  // namespace veltra::plugin
