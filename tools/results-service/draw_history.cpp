#include "draw_history.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace veltra::results_service {
namespace {

constexpr int kDaysPerWeek = 7;

// SplitMix64: a small, fast generator whose output is the same on every platform, unlike the
// standard library's distributions.
class DrawRandom {
 public:
  explicit DrawRandom(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Uniform in 0..bound-1 (bound > 0), without modulo bias.
  int Below(int bound) {
    uint64_t range = static_cast<uint64_t>(bound);
    uint64_t limit = UINT64_MAX - UINT64_MAX % range;
    uint64_t value;
    do {
      value = Next();
    } while (value >= limit);
    return static_cast<int>(value % range);
  }

 private:
  uint64_t state_;
};

// Each draw gets its own generator, keyed by the seed, the game and the id, so that a draw does
// not depend on which other draws are made.
uint64_t DrawSeed(uint64_t seed, size_t game, int32_t id) {
  DrawRandom by_seed(seed);
  DrawRandom by_game(by_seed.Next() + game);
  DrawRandom by_id(by_game.Next() + static_cast<uint32_t>(id));
  return by_id.Next();
}

std::vector<int> MakeNumbers(const NumberRule& rule, DrawRandom& random) {
  std::vector<int> pool(static_cast<size_t>(rule.main_max));
  std::iota(pool.begin(), pool.end(), 1);
  // A partial Fisher-Yates shuffle: the first main_count entries are the drawn numbers.
  for (int i = 0; i < rule.main_count; ++i) {
    int j = i + random.Below(rule.main_max - i);
    std::swap(pool[static_cast<size_t>(i)], pool[static_cast<size_t>(j)]);
  }
  std::vector<int> numbers(pool.begin(), pool.begin() + rule.main_count);
  std::sort(numbers.begin(), numbers.end());
  if (rule.has_bonus) {
    if (rule.bonus_distinct) {
      // The bonus comes from the numbers not drawn yet (the range equals the main range).
      int left = rule.main_max - rule.main_count;
      numbers.push_back(pool[static_cast<size_t>(rule.main_count + random.Below(left))]);
    } else {
      numbers.push_back(rule.bonus_min + random.Below(rule.bonus_max - rule.bonus_min + 1));
    }
  }
  return numbers;
}

int DrawsOnDay(const DrawSchedule& schedule, DayNumber day) {
  return schedule.weekdays & (1u << Weekday(day)) ? schedule.times_per_day : 0;
}

// Scheduled draws from `first` up to, not including, `day`.
int64_t DrawsBefore(const DrawSchedule& schedule, DayNumber first, DayNumber day) {
  if (day <= first) return 0;
  int64_t days = day - first;
  int64_t per_week = 0;
  for (int i = 0; i < kDaysPerWeek; ++i) per_week += DrawsOnDay(schedule, first + i);
  int64_t count = days / kDaysPerWeek * per_week;
  for (DayNumber d = first + days / kDaysPerWeek * kDaysPerWeek; d < day; ++d) {
    count += DrawsOnDay(schedule, d);
  }
  return count;
}

}  // namespace

size_t DrawHistory::TotalDraws() const {
  size_t total = 0;
  for (const auto& draws : games) total += draws.size();
  return total;
}

DrawHistory GenerateHistory(const HistoryOptions& options) {
  DayNumber numbering_start = DaysFromCivil(kNumberingStart);
  DayNumber last_day = DaysFromCivil({9999, 12, 31});
  if (options.years < 1 || options.years > kMaxYears) {
    throw std::invalid_argument("the history spans 1 to " + std::to_string(kMaxYears) + " years");
  }
  if (options.end_day < numbering_start || options.end_day > last_day) {
    throw std::invalid_argument("the history ends between 2000-01-01 and 9999-12-31");
  }
  DayNumber first_day = std::max(numbering_start, YearsBefore(options.end_day, options.years));

  DrawHistory history;
  for (size_t g = 0; g < kGameCount; ++g) {
    const ServiceGame& game = ServiceGames()[g];
    int64_t id = DrawsBefore(game.schedule, numbering_start, first_day);
    std::vector<Draw>& draws = history.games[g];
    for (DayNumber day = first_day; day <= options.end_day; ++day) {
      for (int slot = 0; slot < DrawsOnDay(game.schedule, day); ++slot) {
        ++id;
        Draw draw;
        draw.id = static_cast<int32_t>(id);
        draw.time = {day, game.schedule.times[static_cast<size_t>(slot)]};
        DrawRandom random(DrawSeed(options.seed, g, draw.id));
        draw.numbers = MakeNumbers(game.numbers, random);
        draws.push_back(std::move(draw));
      }
    }
  }
  return history;
}

}  // namespace veltra::results_service
