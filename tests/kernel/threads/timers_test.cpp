// The time base: tick conversion goldens, microseconds, and the wrap-safe deadline reader
// behind every Tick and Compute (elapsed units and a live deadline across the wrap are shown
// with the workers).
#include "kernel/threads/timers.h"

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace {

class Timers : public ::testing::Test {
 protected:
  void SetUp() override { ResetTimersForTests(); }
  void TearDown() override { ResetTimersForTests(); }
};

// Hand-computed: floor(ticks x 16,625,104 x denominator / numerator / 65,536). The timebase
// is read once, so a later fake's does not count until a reset; a zero numerator is broken.
TEST_F(Timers, TicksToTimerUnitsGoldens) {
  const struct { ClockTimebase timebase; bool reset; uint32_t ticks, units; } rows[] = {
      {{1, 1}, true, 0, 0},       {{1, 1}, false, 1, 253},     {{1, 1}, false, 10, 2536},
      {{1, 1}, false, 60, 15220}, {{1, 1}, false, 120, 30441}, {{2, 1}, true, 60, 7610},
      {{1, 3}, false, 60, 7610},  {{1, 3}, true, 60, 45662},   {{0, 1}, true, 10, 2536},
  };
  for (const auto& row : rows) {
    if (row.reset) ResetTimersForTests();
    FakeClock clock(0, row.timebase);
    EXPECT_EQ(TicksToTimerUnits(row.ticks), row.units) << row.ticks << " " << row.timebase.numerator;
  }
  FakeClock clock(1000, {3, 1});  // 3 ns a clock tick
  EXPECT_EQ(MicrosecondsNow(), 3u);
}

// A naive now >= deadline gets the wrap rows wrong.
TEST_F(Timers, DeadlineReachedAcrossTheWrap) {
  const struct { uint32_t now, deadline; bool reached; } rows[] = {
      {5, 5, true},           {4, 5, false},
      {0xFFFFFFF0u, 0x10u, false},  // deadline just past the wrap, not yet due
      {0x10u, 0xFFFFFFF0u, true},   // now just past the wrap, deadline behind
      {5 + 0x7FFFFFFFu, 5, true},   // the furthest past that still reads as past
      {5 + 0x80000000u, 5, false},  // half the circle away reads as ahead
  };
  for (const auto& row : rows)
    EXPECT_EQ(DeadlineReached(row.now, row.deadline), row.reached) << row.now << " " << row.deadline;
}

}  // namespace
