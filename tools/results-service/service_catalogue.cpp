#include "service_catalogue.h"

namespace veltra::results_service {
namespace {

constexpr DrawSchedule Days(uint8_t weekdays) { return {weekdays, 1, {0, 0}}; }
constexpr DrawSchedule Daily(int32_t time) { return {kEveryDay, 1, {time, 0}}; }
constexpr DrawSchedule TwiceDaily(int32_t first, int32_t second) {
  return {kEveryDay, 2, {first, second}};
}

constexpr NumberRule Pick(int count, int max) { return {count, max, false, 0, 0, false}; }
constexpr NumberRule PickWithBonus(int count, int max, int bonus_min, int bonus_max,
                                   bool distinct) {
  return {count, max, true, bonus_min, bonus_max, distinct};
}

constexpr DateFormat kDate = DateFormat::dfDate;
constexpr DateFormat kDateTime = DateFormat::dfDateTime;

constexpr std::array<ServiceGame, kGameCount> kGames{{
    {"dl", "LOTTO", 6, kDate, Days(kTuesday | kThursday | kSaturday), Pick(6, 49)},
    {"multi_multi", "multi_multi", 20, kDateTime, TwiceDaily(TimeOfDay(14, 0), TimeOfDay(22, 0)),
     Pick(20, 80)},
    {"multi", "MULTI_22", 20, kDate, Days(kEveryDay), Pick(20, 80)},
    {"mm14", "MULTI_14", 20, kDate, Days(kEveryDay), Pick(20, 80)},
    {"ex", "MINI_LOTTO", 5, kDate, Days(kEveryDay), Pick(5, 42)},
    {"keno_de", "keno_de", 20, kDate, Days(kEveryDay), Pick(20, 70)},
    {"keno_svenska", "keno_svenska", 20, kDate, Days(kEveryDay), Pick(20, 70)},
    {"_ireland49s", "ireland49s", 6, kDateTime, TwiceDaily(TimeOfDay(12, 49), TimeOfDay(17, 49)),
     Pick(6, 49)},
    {"ireland49s", "ireland49s7", 7, kDateTime, TwiceDaily(TimeOfDay(12, 49), TimeOfDay(17, 49)),
     PickWithBonus(6, 49, 1, 49, true)},
    {"LittleLotto", "LITTLE_LOTTO", 5, kDateTime, Daily(TimeOfDay(21, 22)), Pick(5, 39)},
    {"Illinois_Lotto", "ILLINOIS_LOTTO", 6, kDate, Days(kMonday | kThursday | kSaturday),
     Pick(6, 50)},
    {"Power_Ball", "POWER_BALL", 6, kDate, Days(kMonday | kWednesday | kSaturday),
     PickWithBonus(5, 69, 1, 26, false)},
    {"Mega_Millions", "MEGA_MILLIONS", 6, kDate, Days(kTuesday | kFriday),
     PickWithBonus(5, 70, 1, 25, false)},
    {"keno_fr", "keno_fr", 20, kDateTime, TwiceDaily(TimeOfDay(13, 0), TimeOfDay(20, 0)),
     Pick(20, 70)},
    {"DailyKENO", "DailyKENO", 20, kDate, Days(kEveryDay), Pick(20, 70)},
    {"lotto_de", "lotto_de", 7, kDate, Days(kWednesday | kSaturday),
     PickWithBonus(6, 49, 0, 9, false)},
}};

constexpr bool CatalogueIsConsistent() {
  for (const ServiceGame& game : kGames) {
    int drawn = game.numbers.main_count + (game.numbers.has_bonus ? 1 : 0);
    if (drawn != game.draw_size || game.draw_size > kMaxDrawSize) return false;
    if (game.numbers.main_count > game.numbers.main_max) return false;
    if (game.date_format == DateFormat::dfDate && game.schedule.times_per_day != 1) return false;
  }
  return true;
}
static_assert(CatalogueIsConsistent());

}  // namespace

std::span<const ServiceGame, kGameCount> ServiceGames() { return kGames; }

std::optional<size_t> FindGameByKey(std::string_view key) {
  for (size_t i = 0; i < kGames.size(); ++i) {
    if (kGames[i].key == key) return i;
  }
  return std::nullopt;
}

}  // namespace veltra::results_service
