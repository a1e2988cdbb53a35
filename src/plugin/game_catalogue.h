// The sixteen games the plug-in knows, and their local draw state.
//
// The catalogue is constant: how a game is shown, which table of the host's database holds its
// draws, how the results service names it, the count of numbers in one draw and how its newest
// date is written in the download request. The local draw state (the date and id of the newest
// stored draw of each game) is read from the database by one aggregate query per game, through
// the dialog's query component. Used on the dialog's thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "plugin/date_text.h"
#include "plugin/query_component.h"

namespace veltra::plugin {

inline constexpr int kGameCount = 16;

struct GameEntry {
  std::string_view display_name;  // shown in the summary
  std::string_view table_name;    // used exactly as written
  std::string_view service_key;   // the game's name in the request
  std::string_view draw_size;     // a decimal string, sent unquoted
  int date_format;                // 1-based index into kDateFormats
};

// The date formats by number: 1 = the date alone, 2 = date and time of day.
inline constexpr std::array<TDateLayout, 2> kDateFormats = {TDateLayout::dlDate,
                                                            TDateLayout::dlDateTime};

// In catalogue order; position 0 is the first game of the request.
extern const std::array<GameEntry, kGameCount> kGames;

// The game's date layout in the request.
TDateLayout RequestDateLayout(const GameEntry& game);

// The newest stored draw per game, in catalogue order. At load: date 0, id 1 for every game.
struct LocalDrawState {
  LocalDrawState() { newest_id.fill(1); }
  std::array<double, kGameCount> newest_date{};
  std::array<int32_t, kGameCount> newest_id{};
};

// "select  max([date]) as mx,max(id) as mid from " + table (two blanks after select, the table
// name unquoted).
std::string StateQueryText(std::string_view table_name);

// Runs the sixteen state queries in catalogue order and stores each game's newest date (column 0)
// and id (column 1). Before each query the component is closed and its database name set to
// `database_directory`. On an error the games before the failing one keep their new values, the
// failing game and those after it keep theirs, and the error propagates. The component is left
// open on the last result.
void ReadLocalState(QueryComponent& query, std::string_view database_directory,
                    LocalDrawState& state);

// Runs ReadLocalState, then returns the summary: the head line, the rule, one line per game
// ("%23s następne po dniu dd-mm-yyyy"), the rule again; CR LF between lines, none at the end.
std::string BuildSummary(QueryComponent& query, std::string_view database_directory,
                         LocalDrawState& state);

// The request text: a JSON object without white space with one member per game, in catalogue
// order: "key":["table","newest date",draw size,newest id].
std::string BuildRequestText(const LocalDrawState& state);

}  // namespace veltra::plugin
