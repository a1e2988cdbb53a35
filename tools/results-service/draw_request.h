// The download request as the results service reads it. The client sends
//   GET /dtools/down_all_232.php?data=<request text>
// with the request text percent-encoded. The request text is a JSON object with one member per
// game, named by the game's key, whose value is the array
//   [table name (string), newest date (string, in the game's date format),
//    draw size (number), newest id (number)]
// describing the newest draw the client already holds. Every one of the sixteen games must be
// present exactly once, in any order.
//
// All input is untrusted: every malformed request raises RequestError with a message that says
// what is wrong and where; nothing here allocates more than a small multiple of the input.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "draw_time.h"

namespace veltra::results_service {

// Requests longer than this (before decoding) are refused whole.
inline constexpr size_t kMaxRequestLength = 64 * 1024;

class RequestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The client's newest draw of one game.
struct GameState {
  size_t game = 0;  // position in ServiceGames()
  DrawTime newest_date;
  int32_t newest_id = 0;
};

// Replaces every "%XX" (two hexadecimal digits, either case) by its byte. Every other character,
// "+" included, stands for itself. A "%" without two hexadecimal digits after it raises
// RequestError.
std::string PercentDecode(std::string_view text);

// The still-encoded value of the "data" parameter of a query string ("a=1&data=...&b=2"); the
// first one counts. Raises RequestError when there is none.
std::string_view DataParameter(std::string_view query);

// Parses a decoded request text. Returns one state per game, in catalogue order. Raises
// RequestError for text that is not such an object: bad JSON, an unknown or repeated game key,
// a missing game, an array without exactly four elements, a table name or draw size that is not
// the game's, a date not in the game's format, an id that is not a whole 32-bit number.
std::vector<GameState> ParseDrawRequest(std::string_view text);

}  // namespace veltra::results_service
