// Test helpers: download requests written the way the update dialog writes them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "service_catalogue.h"

namespace veltra::results_service::fixtures {

// One game's newest draw as the dialog sends it: the date already in the game's format.
struct StateText {
  std::string date;
  int32_t id = 0;
};

// The request text: one member per game in catalogue order, no white space, nothing escaped.
inline std::string RequestText(const std::array<StateText, kGameCount>& states) {
  std::string text = "{";
  for (size_t i = 0; i < kGameCount; ++i) {
    const ServiceGame& game = ServiceGames()[i];
    if (i > 0) text += ",";
    text += "\"" + std::string(game.key) + "\":[\"" + std::string(game.table) + "\",\"" +
            states[i].date + "\"," + std::to_string(game.draw_size) + "," +
            std::to_string(states[i].id) + "]";
  }
  return text + "}";
}

// The request of a client whose sixteen tables are empty: 30 December 1899 and id 0.
inline std::string EmptyTablesRequest() {
  std::array<StateText, kGameCount> states;
  for (size_t i = 0; i < kGameCount; ++i) {
    states[i].date =
        ServiceGames()[i].date_format == DateFormat::dfDate ? "1899-12-30" : "1899-12-30 00:00:00";
  }
  return RequestText(states);
}

// A query as the dialog's URI encoder writes it: a blank, '#', '%', '*', '<', '>', '[', ']' and
// bytes below 0x21 or from 0x80 up become %XX with upper-case digits; the rest goes unchanged.
inline std::string EncodeQueryLikeTheDialog(std::string_view text) {
  constexpr std::string_view kEncoded = " #%*<>[]";
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x21 || byte >= 0x80 || kEncoded.find(c) != std::string_view::npos) {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0xF];
    } else {
      encoded += c;
    }
  }
  return encoded;
}

// The request target of a download: path, "?data=" and the encoded request text.
inline std::string DownloadTarget(std::string_view request_text) {
  return "/dtools/down_all_232.php?data=" + EncodeQueryLikeTheDialog(request_text);
}

}  // namespace veltra::results_service::fixtures
