// What the results service answers: the SQL script of the draws a client lacks, and the reply to
// one download request (status, content type, body), independent of any socket.
//
// A draw is newer than the client's state of its game when its id is greater than the newest id
// sent, or its date (with its time of day, for games written with one) is later than the newest
// date sent. The client sends the maximum of each column of its table: a draw it holds has
// neither a greater id nor a later date, so it is never sent again, while a draw beyond either
// maximum is sent even when the two maxima belong to different draws.
//
// The script has one INSERT statement per newer draw, game by game in catalogue order and each
// game's draws in ascending id order, one statement per line, each line ending in ';' and CR LF:
//   INSERT INTO LOTTO (id, [date], l1, l2, l3, l4, l5, l6) VALUES (6543, '2026-12-10', 3, ...);
// The text is ASCII, a subset of windows-1250.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "draw_history.h"
#include "draw_request.h"

namespace veltra::results_service {

inline constexpr std::string_view kDownloadPath = "/dtools/down_all_232.php";
inline constexpr std::string_view kScriptContentType = "text/plain; charset=windows-1250";
inline constexpr int kStatusOk = 200;
inline constexpr int kStatusBadRequest = 400;

bool IsNewer(const Draw& draw, const GameState& state);

// One line of the script, without its line end.
std::string InsertStatement(const ServiceGame& game, const Draw& draw);

// The INSERT statements of every draw newer than the states; "" when there is none.
std::string BuildAnswer(const DrawHistory& history, const std::vector<GameState>& states);

// CREATE TABLE IF NOT EXISTS statements for the sixteen game tables, one per line, in the layout
// the INSERT statements fill: id INTEGER (the primary key), [date] DATE or TIMESTAMP, and
// l1..lN SMALLINT.
std::string SchemaScript();

struct Reply {
  int status = kStatusOk;
  std::string content_type;
  std::string body;
};

// The reply to GET `target`, the request target exactly as it came on the request line (path and
// still-encoded query). The caller has matched the path. A malformed request gets status 400 and
// a plain-text message saying what is wrong; otherwise status 200 and the script.
Reply AnswerDownload(const DrawHistory& history, std::string_view target);

}  // namespace veltra::results_service
