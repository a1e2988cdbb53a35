#include "history_csv.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <set>

namespace veltra::results_service {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A whole decimal number without sign, at most `max`.
std::optional<int64_t> ReadUnsigned(std::string_view text, int64_t max) {
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > max) return std::nullopt;
  }
  return value;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    size_t comma = line.find(',');
    fields.push_back(TrimBlanks(line.substr(0, comma)));
    if (comma == std::string_view::npos) return fields;
    line.remove_prefix(comma + 1);
  }
}

class CsvReader {
 public:
  DrawHistory Read(std::string_view text) {
    while (!text.empty()) {
      ++line_number_;
      size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      std::string_view content = TrimBlanks(line);
      if (content.empty() || content.front() == '#') continue;
      ReadDraw(content);
    }
    for (auto& draws : history_.games) {
      std::sort(draws.begin(), draws.end(),
                [](const Draw& a, const Draw& b) { return a.id < b.id; });
    }
    return std::move(history_);
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw HistoryError("line " + std::to_string(line_number_) + ": " + what);
  }

  void ReadDraw(std::string_view line) {
    constexpr size_t kFixedFields = 3;  // key, id, date
    std::vector<std::string_view> fields = SplitFields(line);
    std::optional<size_t> index = FindGameByKey(fields[0]);
    if (!index) Fail("unknown game key \"" + std::string(fields[0].substr(0, 40)) + "\"");
    const ServiceGame& game = ServiceGames()[*index];
    size_t expected = kFixedFields + static_cast<size_t>(game.draw_size);
    if (fields.size() != expected) {
      Fail("game " + std::string(game.key) + " needs " + std::to_string(expected) +
           " fields (key, id, date and " + std::to_string(game.draw_size) + " numbers), found " +
           std::to_string(fields.size()));
    }
    std::optional<int64_t> id = ReadUnsigned(fields[1], INT32_MAX);
    if (!id || *id == 0) Fail("the id must be a whole number from 1 to 2147483647");
    if (!ids_[*index].insert(static_cast<int32_t>(*id)).second) {
      Fail("game " + std::string(game.key) + " has draw " + std::to_string(*id) + " twice");
    }
    std::optional<DrawTime> time = ParseDrawTime(fields[2], game.date_format);
    if (!time) {
      Fail(std::string("the date must be written ") +
           (game.date_format == DateFormat::dfDate ? "yyyy-mm-dd" : "yyyy-mm-dd hh:nn:ss") +
           " for game " + std::string(game.key));
    }
    Draw draw{static_cast<int32_t>(*id), *time, {}};
    for (size_t i = kFixedFields; i < fields.size(); ++i) {
      std::optional<int64_t> number = ReadUnsigned(fields[i], kMaxCsvNumber);
      if (!number) {
        Fail("number " + std::to_string(i - kFixedFields + 1) +
             " must be a whole number from 0 to " + std::to_string(kMaxCsvNumber));
      }
      draw.numbers.push_back(static_cast<int>(*number));
    }
    history_.games[*index].push_back(std::move(draw));
  }

  DrawHistory history_;
  std::array<std::set<int32_t>, kGameCount> ids_;
  size_t line_number_ = 0;
};

}  // namespace

DrawHistory ReadHistoryCsv(std::string_view text) { return CsvReader().Read(text); }

DrawHistory ReadHistoryCsvFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) throw HistoryError(path + ": cannot open: " + std::strerror(errno));
  std::streamoff size = file.tellg();
  if (size < 0) throw HistoryError(path + ": cannot read its size");
  if (static_cast<uint64_t>(size) > kMaxHistoryFileSize) {
    throw HistoryError(path + ": larger than " + std::to_string(kMaxHistoryFileSize) + " bytes");
  }
  std::string text(static_cast<size_t>(size), '\0');
  file.seekg(0);
  if (!file.read(text.data(), size)) throw HistoryError(path + ": read failed");
  try {
    return ReadHistoryCsv(text);
  } catch (const HistoryError& error) {
    throw HistoryError(path + ": " + error.what());
  }
}

std::string WriteHistoryCsv(const DrawHistory& history) {
  std::string text = "# key,id,date,n1,...,nN\n";
  for (size_t g = 0; g < kGameCount; ++g) {
    const ServiceGame& game = ServiceGames()[g];
    for (const Draw& draw : history.games[g]) {
      text += game.key;
      text += ',' + std::to_string(draw.id) + ',' + FormatDrawTime(draw.time, game.date_format);
      for (int number : draw.numbers) text += ',' + std::to_string(number);
      text += '\n';
    }
  }
  return text;
}

}  // namespace veltra::results_service
