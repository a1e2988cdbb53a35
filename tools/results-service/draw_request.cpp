#include "draw_request.h"

#include <algorithm>
#include <array>
#include <optional>

#include "service_catalogue.h"

namespace veltra::results_service {
namespace {

constexpr size_t kStateElements = 4;
constexpr std::array<std::string_view, kStateElements> kElementNames = {"table name", "newest date",
                                                                        "draw size", "newest id"};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A printable rendering of untrusted text for messages: at most 40 bytes, control and 8-bit
// bytes as \xHH.
std::string Shown(std::string_view text) {
  constexpr size_t kMaxShown = 40;
  std::string shown;
  for (size_t i = 0; i < text.size() && i < kMaxShown; ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte >= 0x7F) {
      constexpr char kHex[] = "0123456789ABCDEF";
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xF];
    } else {
      shown += static_cast<char>(byte);
    }
  }
  if (text.size() > kMaxShown) shown += "...";
  return shown;
}

// One element of a game's array.
struct Scalar {
  enum class Kind { skString, skInteger, skNumber, skWord } kind;
  std::string_view text;  // a string without its quotes; otherwise the token as written
  int64_t integer = 0;    // for skInteger; clamped far outside the 32-bit range
};

// Reads the fixed shape of the request: no recursion, so the nesting of hostile input costs
// nothing.
class RequestParser {
 public:
  explicit RequestParser(std::string_view text) : text_(text) {}

  std::vector<GameState> Parse() {
    std::array<std::optional<GameState>, kGameCount> states;
    SkipSpace();
    if (AtEnd()) throw RequestError("the request text is empty");
    Expect('{', "at the start of the request");
    SkipSpace();
    if (Peek() != '}') {
      for (;;) {
        ParseMember(states);
        SkipSpace();
        if (Peek() == ',') {
          ++pos_;
          SkipSpace();
          continue;
        }
        Expect('}', "or ',' after a game's array");
        break;
      }
    } else {
      ++pos_;
    }
    SkipSpace();
    if (!AtEnd()) Fail("unexpected text after the closing '}'");
    return Collect(states);
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n')) {
      ++pos_;
    }
  }

  [[noreturn]] void Fail(std::string_view what) const {
    std::string message = "at offset " + std::to_string(pos_) + ": " + std::string(what);
    if (AtEnd()) {
      message += " (the request text ends here)";
    } else {
      message += " (found \"" + Shown(text_.substr(pos_, 10)) + "\")";
    }
    throw RequestError(message);
  }

  void Expect(char c, std::string_view where) {
    if (Peek() != c) Fail(std::string("expected '") + c + "' " + std::string(where));
    ++pos_;
  }

  std::string_view ReadString() {
    size_t start = ++pos_;
    for (; !AtEnd(); ++pos_) {
      auto byte = static_cast<unsigned char>(text_[pos_]);
      if (byte == '"') return text_.substr(start, pos_++ - start);
      if (byte == '\\') Fail("escape sequences are not accepted in strings");
      if (byte < 0x20) Fail("control character in a string");
    }
    pos_ = start - 1;
    Fail("unterminated string");
  }

  Scalar ReadScalar(std::string_view context) {
    char c = Peek();
    if (c == '"') return {Scalar::Kind::skString, ReadString()};
    if (c == '[' || c == '{') Fail(std::string(context) + " must be a string or a number");
    size_t start = pos_;
    if (c == '-' || (c >= '0' && c <= '9')) return ReadNumber(start);
    while (!AtEnd() && ((Peek() >= 'a' && Peek() <= 'z') || (Peek() >= 'A' && Peek() <= 'Z'))) {
      ++pos_;
    }
    if (pos_ == start) Fail("expected " + std::string(context));
    return {Scalar::Kind::skWord, text_.substr(start, pos_ - start)};
  }

  Scalar ReadNumber(size_t start) {
    constexpr int64_t kClamp = int64_t{1} << 40;
    bool negative = Peek() == '-';
    if (negative) ++pos_;
    if (Peek() < '0' || Peek() > '9') Fail("expected a digit");
    int64_t magnitude = 0;
    while (Peek() >= '0' && Peek() <= '9') {
      magnitude = std::min(kClamp, magnitude * 10 + (Peek() - '0'));
      ++pos_;
    }
    bool whole = true;
    if (Peek() == '.') {
      whole = false;
      ++pos_;
      if (Peek() < '0' || Peek() > '9') Fail("expected a digit after '.'");
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      whole = false;
      ++pos_;
      if (Peek() == '+' || Peek() == '-') ++pos_;
      if (Peek() < '0' || Peek() > '9') Fail("expected a digit in the exponent");
      while (Peek() >= '0' && Peek() <= '9') ++pos_;
    }
    std::string_view token = text_.substr(start, pos_ - start);
    if (!whole) return {Scalar::Kind::skNumber, token};
    return {Scalar::Kind::skInteger, token, negative ? -magnitude : magnitude};
  }

  void ParseMember(std::array<std::optional<GameState>, kGameCount>& states) {
    if (Peek() != '"') Fail("expected a game's key in double quotes");
    size_t key_offset = pos_;
    std::string_view key = ReadString();
    std::optional<size_t> game = FindGameByKey(key);
    if (!game) {
      pos_ = key_offset;
      Fail("unknown game \"" + Shown(key) + "\"");
    }
    if (states[*game]) {
      pos_ = key_offset;
      Fail("game \"" + std::string(key) + "\" appears twice");
    }
    SkipSpace();
    Expect(':', "after the game's key");
    SkipSpace();
    Expect('[', "to open the game's array");

    std::string game_label = "game \"" + std::string(key) + "\"";
    std::array<Scalar, kStateElements> elements{};
    size_t count = 0;
    SkipSpace();
    if (Peek() == ']') {
      ++pos_;
    } else {
      for (;;) {
        SkipSpace();
        if (count == kStateElements) {
          Fail(game_label + ": the array has more than 4 elements " + ElementList());
        }
        elements[count] = ReadScalar(game_label + ": element " + std::to_string(count + 1) + " (" +
                                     std::string(kElementNames[count]) + ")");
        ++count;
        SkipSpace();
        if (Peek() == ',') {
          ++pos_;
          continue;
        }
        Expect(']', "or ',' in " + game_label + "'s array");
        break;
      }
    }
    if (count != kStateElements) {
      throw RequestError(game_label + ": the array has " + std::to_string(count) +
                         " elements, expected 4 " + ElementList());
    }
    states[*game] = Validate(*game, game_label, elements);
  }

  static std::string ElementList() { return "(table name, newest date, draw size, newest id)"; }

  static GameState Validate(size_t index, const std::string& label,
                            const std::array<Scalar, kStateElements>& elements) {
    const ServiceGame& game = ServiceGames()[index];
    auto fail = [&](std::string_view what) {
      throw RequestError(label + ": " + std::string(what));
    };
    auto need_string = [&](size_t i) {
      if (elements[i].kind != Scalar::Kind::skString) {
        fail("the " + std::string(kElementNames[i]) + " must be a string, not " +
             Shown(elements[i].text));
      }
    };
    auto need_integer = [&](size_t i) {
      if (elements[i].kind != Scalar::Kind::skInteger) {
        std::string found = elements[i].kind == Scalar::Kind::skString
                                ? "the string \"" + Shown(elements[i].text) + "\""
                                : Shown(elements[i].text);
        fail("the " + std::string(kElementNames[i]) + " must be a whole number, not " + found);
      }
    };

    need_string(0);
    if (!EqualIgnoringCase(elements[0].text, game.table)) {
      fail("the table name \"" + Shown(elements[0].text) + "\" is not this game's table \"" +
           std::string(game.table) + "\"");
    }

    need_string(1);
    std::optional<DrawTime> date = ParseDrawTime(elements[1].text, game.date_format);
    if (!date) {
      fail("the newest date \"" + Shown(elements[1].text) + "\" is not " +
           (game.date_format == DateFormat::dfDate
                ? "a date written yyyy-mm-dd"
                : "a date and time written yyyy-mm-dd hh:nn:ss"));
    }

    need_integer(2);
    if (elements[2].integer != game.draw_size) {
      fail("the draw size " + Shown(elements[2].text) + " is not this game's " +
           std::to_string(game.draw_size));
    }

    need_integer(3);
    if (elements[3].integer < INT32_MIN || elements[3].integer > INT32_MAX) {
      fail("the newest id " + Shown(elements[3].text) + " is outside the 32-bit range");
    }
    return {index, *date, static_cast<int32_t>(elements[3].integer)};
  }

  static std::vector<GameState> Collect(
      const std::array<std::optional<GameState>, kGameCount>& states) {
    std::string missing;
    std::vector<GameState> result;
    for (size_t i = 0; i < kGameCount; ++i) {
      if (states[i]) {
        result.push_back(*states[i]);
      } else {
        missing += (missing.empty() ? "" : ", ") + std::string(ServiceGames()[i].key);
      }
    }
    if (!missing.empty()) throw RequestError("the request lacks the games " + missing);
    return result;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
    int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
    if (high < 0 || low < 0) {
      throw RequestError("at offset " + std::to_string(i) +
                         " of the encoded request: '%' is not followed by two hexadecimal digits");
    }
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

std::string_view DataParameter(std::string_view query) {
  constexpr std::string_view kName = "data=";
  while (!query.empty()) {
    size_t end = query.find('&');
    std::string_view pair = query.substr(0, end);
    if (pair.starts_with(kName)) return pair.substr(kName.size());
    if (end == std::string_view::npos) break;
    query.remove_prefix(end + 1);
  }
  throw RequestError("the request has no data parameter");
}

std::vector<GameState> ParseDrawRequest(std::string_view text) {
  if (text.size() > kMaxRequestLength) {
    throw RequestError("the request text is longer than " + std::to_string(kMaxRequestLength) +
                       " bytes");
  }
  return RequestParser(text).Parse();
}

}  // namespace veltra::results_service
