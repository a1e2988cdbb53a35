// The sixteen games as the results service knows them: the key a download request names each
// game by, the host table its INSERT statements go to, the count of numbers in one draw, how the
// game's dates are written, and the draw schedule and number ranges the history generator uses.
//
// The data is constant; every function may be called from any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace veltra::results_service {

inline constexpr size_t kGameCount = 16;
inline constexpr int kMaxDrawSize = 20;

// How a game's dates are written: the date alone ("yyyy-mm-dd"), or the date and the time of day
// ("yyyy-mm-dd hh:nn:ss", 24-hour clock).
enum class DateFormat { dfDate, dfDateTime };

// Days of the week as bits of a mask, Sunday first.
inline constexpr uint8_t kSunday = 1u << 0;
inline constexpr uint8_t kMonday = 1u << 1;
inline constexpr uint8_t kTuesday = 1u << 2;
inline constexpr uint8_t kWednesday = 1u << 3;
inline constexpr uint8_t kThursday = 1u << 4;
inline constexpr uint8_t kFriday = 1u << 5;
inline constexpr uint8_t kSaturday = 1u << 6;
inline constexpr uint8_t kEveryDay = 0x7F;

inline constexpr int32_t kSecondsPerDay = 86'400;
constexpr int32_t TimeOfDay(int hour, int minute) { return hour * 3600 + minute * 60; }

// When a game is drawn: on the days of `weekdays`, once at each of the first `times_per_day`
// entries of `times` (seconds since midnight, ascending). A game written as a date alone is
// drawn once a day, at time 0.
struct DrawSchedule {
  uint8_t weekdays;
  int times_per_day;
  std::array<int32_t, 2> times;
};

// How one draw's numbers are made: `main_count` distinct numbers from 1..main_max, written in
// ascending order, then, when `has_bonus`, one more number from bonus_min..bonus_max written
// last; `bonus_distinct` keeps the bonus number out of the main numbers.
struct NumberRule {
  int main_count;
  int main_max;
  bool has_bonus;
  int bonus_min;
  int bonus_max;
  bool bonus_distinct;
};

struct ServiceGame {
  std::string_view key;    // the member name in the download request
  std::string_view table;  // the host table; used exactly as written
  int draw_size;           // numbers per draw: columns l1..l<draw_size>
  DateFormat date_format;
  DrawSchedule schedule;
  NumberRule numbers;
};

// The sixteen games, in the order the request lists them and the answer is written.
std::span<const ServiceGame, kGameCount> ServiceGames();

// The position in ServiceGames() of the game whose key is exactly `key` (keys are compared with
// case: "ireland49s" and "_ireland49s" are different games); nullopt for an unknown key.
std::optional<size_t> FindGameByKey(std::string_view key);

}  // namespace veltra::results_service
