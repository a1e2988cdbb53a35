#include "plugin/game_catalogue.h"

#include "plugin/polish_texts.h"

namespace veltra::plugin {

const std::array<GameEntry, kGameCount> kGames = {{
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
}};

namespace {

constexpr size_t kDisplayNameWidth = 23;
constexpr std::string_view kLineBreak = "\r\n";
constexpr int kDateColumn = 0;
constexpr int kIdColumn = 1;

}  // namespace

TDateLayout RequestDateLayout(const GameEntry& game) {
  return kDateFormats.at(static_cast<size_t>(game.date_format - 1));
}

std::string StateQueryText(std::string_view table_name) {
  std::string text = "select  max([date]) as mx,max(id) as mid from ";
  text += table_name;
  return text;
}

void ReadLocalState(QueryComponent& query, std::string_view database_directory,
                    LocalDrawState& state) {
  for (size_t i = 0; i < kGames.size(); ++i) {
    if (query.Active()) query.Close();
    query.SetDatabaseName(database_directory);
    query.ClearSQL();
    query.AddSQL(StateQueryText(kGames[i].table_name));
    query.Open();
    // Both fields are read before either is stored, so a failing read leaves the game as it was.
    double newest_date = query.FieldAsDateTime(kDateColumn);
    int32_t newest_id = query.FieldAsInteger(kIdColumn);
    state.newest_date[i] = newest_date;
    state.newest_id[i] = newest_id;
  }
}

std::string BuildSummary(QueryComponent& query, std::string_view database_directory,
                         LocalDrawState& state) {
  ReadLocalState(query, database_directory, state);
  std::string text;
  text += texts::kSummaryHead;
  text += kLineBreak;
  text += texts::kSummaryRule;
  text += kLineBreak;
  for (size_t i = 0; i < kGames.size(); ++i) {
    std::string_view name = kGames[i].display_name;
    if (name.size() < kDisplayNameWidth) text.append(kDisplayNameWidth - name.size(), ' ');
    text += name;
    text += texts::kSummaryNext;
    text += FormatDateTime(state.newest_date[i], TDateLayout::dlSummaryDate);
    text += kLineBreak;
  }
  text += texts::kSummaryRule;
  return text;
}

std::string BuildRequestText(const LocalDrawState& state) {
  std::string text = "{";
  for (size_t i = 0; i < kGames.size(); ++i) {
    const GameEntry& game = kGames[i];
    if (i > 0) text += ',';
    text += '"';
    text += game.service_key;
    text += "\":[\"";
    text += game.table_name;
    text += "\",\"";
    text += FormatDateTime(state.newest_date[i], RequestDateLayout(game));
    text += "\",";
    text += game.draw_size;
    text += ',';
    text += std::to_string(state.newest_id[i]);
    text += ']';
  }
  text += '}';
  return text;
}

}  // namespace veltra::plugin
