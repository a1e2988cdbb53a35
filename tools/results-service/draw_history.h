// The draw history the results service answers from: for each of the sixteen games its draws in
// ascending id order. It is either generated (deterministically from a seed, so that every run
// with the same options serves the same draws) or read from a CSV file (history_csv.h).
//
// The generator numbers each game's draws from 1, counting every scheduled draw from 1 January
// 2000 on, and makes a draw's numbers from the seed, the game and the id alone. So a draw keeps
// its id and its numbers whatever window of the history is served: a longer window adds older
// draws, a later end date adds newer ones.
//
// A history is immutable once made; it may be read from any number of threads.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "draw_time.h"
#include "service_catalogue.h"

namespace veltra::results_service {

struct Draw {
  int32_t id = 0;
  DrawTime time;             // second 0 for games written as a date alone
  std::vector<int> numbers;  // the game's draw size of them, in column order l1, l2, ...
  bool operator==(const Draw&) const = default;
};

struct DrawHistory {
  std::array<std::vector<Draw>, kGameCount> games;  // catalogue order; each in ascending id
  size_t TotalDraws() const;
  bool operator==(const DrawHistory&) const = default;
};

inline constexpr uint64_t kDefaultSeed = 232;
inline constexpr CivilDate kDefaultEndDate = {2026, 6, 30};
inline constexpr int kDefaultYears = 3;
inline constexpr int kMaxYears = 100;
inline constexpr CivilDate kNumberingStart = {2000, 1, 1};

struct HistoryOptions {
  uint64_t seed = kDefaultSeed;
  DayNumber end_day = DaysFromCivil(kDefaultEndDate);  // the last day with draws
  int years = kDefaultYears;  // the first day is the same date this many years earlier
};

// Requires 1 <= years <= kMaxYears and an end day from kNumberingStart to 9999-12-31. Draws
// before kNumberingStart are never made: the window starts there at the earliest.
DrawHistory GenerateHistory(const HistoryOptions& options);

}  // namespace veltra::results_service
