#include "answer.h"

namespace veltra::results_service {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kMessageContentType = "text/plain; charset=utf-8";

std::string ColumnList(const ServiceGame& game) {
  std::string columns = "id, [date]";
  for (int i = 1; i <= game.draw_size; ++i) columns += ", l" + std::to_string(i);
  return columns;
}

}  // namespace

bool IsNewer(const Draw& draw, const GameState& state) {
  return draw.id > state.newest_id || draw.time > state.newest_date;
}

std::string InsertStatement(const ServiceGame& game, const Draw& draw) {
  std::string sql = "INSERT INTO " + std::string(game.table) + " (" + ColumnList(game) +
                    ") VALUES (" + std::to_string(draw.id) + ", '" +
                    FormatDrawTime(draw.time, game.date_format) + "'";
  for (int number : draw.numbers) sql += ", " + std::to_string(number);
  sql += ");";
  return sql;
}

std::string BuildAnswer(const DrawHistory& history, const std::vector<GameState>& states) {
  std::string answer;
  for (const GameState& state : states) {
    const ServiceGame& game = ServiceGames()[state.game];
    for (const Draw& draw : history.games[state.game]) {
      if (!IsNewer(draw, state)) continue;
      answer += InsertStatement(game, draw);
      answer += kLineEnd;
    }
  }
  return answer;
}

std::string SchemaScript() {
  std::string script;
  for (const ServiceGame& game : ServiceGames()) {
    script += "CREATE TABLE IF NOT EXISTS " + std::string(game.table) +
              " (id INTEGER NOT NULL PRIMARY KEY, [date] " +
              (game.date_format == DateFormat::dfDate ? "DATE" : "TIMESTAMP") + " NOT NULL";
    for (int i = 1; i <= game.draw_size; ++i) script += ", l" + std::to_string(i) + " SMALLINT";
    script += ");";
    script += kLineEnd;
  }
  return script;
}

Reply AnswerDownload(const DrawHistory& history, std::string_view target) {
  try {
    size_t question = target.find('?');
    if (question == std::string_view::npos) throw RequestError("the request has no query");
    std::string_view encoded = DataParameter(target.substr(question + 1));
    if (encoded.size() > kMaxRequestLength) {
      throw RequestError("the request text is longer than " + std::to_string(kMaxRequestLength) +
                         " bytes");
    }
    std::vector<GameState> states = ParseDrawRequest(PercentDecode(encoded));
    return {kStatusOk, std::string(kScriptContentType), BuildAnswer(history, states)};
  } catch (const RequestError& error) {
    return {kStatusBadRequest, std::string(kMessageContentType),
            "malformed request: " + std::string(error.what()) + "\n"};
  }
}

}  // namespace veltra::results_service
