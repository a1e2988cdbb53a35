// The draw history as a CSV file, for serving real results instead of generated ones, and for
// writing a generated history out.
//
// One draw per line, fields separated by commas, blanks around a field ignored:
//   key,id,date,n1,n2,...,nN
// - key: the game's key as the download request names it ("dl", "multi_multi", ...);
// - id: the draw's id, 1..2147483647, unique within the game;
// - date: in the game's date format, "yyyy-mm-dd" or "yyyy-mm-dd hh:nn:ss";
// - n1..nN: exactly the game's draw size of whole numbers 0..9999, in column order.
// Lines end with LF or CR LF. Empty lines and lines whose first non-blank character is '#' are
// skipped. The draws may come in any order; each game's are served in ascending id order.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "draw_history.h"

namespace veltra::results_service {

// Files larger than this are refused before they are read.
inline constexpr size_t kMaxHistoryFileSize = 256u * 1024 * 1024;
inline constexpr int kMaxCsvNumber = 9999;

class HistoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses CSV text. Raises HistoryError naming the line and the field of the first fault.
DrawHistory ReadHistoryCsv(std::string_view text);

// Reads and parses the file at `path`. Raises HistoryError when it cannot be read, is too large
// or holds a fault (the message then begins with the path and the line).
DrawHistory ReadHistoryCsvFile(const std::string& path);

// The history as CSV text that ReadHistoryCsv reads back to the same history: a comment line
// naming the fields, then every draw, game by game in catalogue order, each game's by id.
std::string WriteHistoryCsv(const DrawHistory& history);

}  // namespace veltra::results_service
