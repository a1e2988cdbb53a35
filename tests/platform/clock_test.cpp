#include "platform/clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace veltra::platform {
namespace {

TEST(Clock, SleepAdvancesTheTickCountByAtLeastItsLength) {
  uint32_t before = TickCount();
  SleepMilliseconds(20);
  EXPECT_GE(static_cast<uint32_t>(TickCount() - before), 20u);
}

TEST(Clock, ThreadsHaveDistinctIds) {
  int64_t mine = CurrentThreadId();
  int64_t other = 0;
  std::thread([&] { other = CurrentThreadId(); }).join();
  EXPECT_GT(mine, 0);
  EXPECT_NE(mine, other);
}

TEST(Clock, LocalDateTimeFieldsAreInRange) {
  LocalDateTime now = CurrentLocalDateTime();
  EXPECT_GE(now.year, 2000);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);
  EXPECT_TRUE(now.millisecond >= 0 && now.millisecond <= 999);
}

}  // namespace
}  // namespace veltra::platform
