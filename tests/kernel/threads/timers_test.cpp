// The time base: tick conversion goldens, elapsed units from a fake clock, and the
// wrap-safe deadline reader that every Tick and Compute relies on (a live deadline across
// the wrap is shown with the workers in the thread tests).
#include "kernel/threads/timers.h"

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace {

constexpr uint64_t kUnit = uint64_t{1} << 16;  // clock ticks (ns) per timer unit

class Timers : public ::testing::Test {
 protected:
  void SetUp() override { ResetTimersForTests(); }
  void TearDown() override { ResetTimersForTests(); }
};

TEST_F(Timers, TicksToTimerUnitsGoldens) {
  FakeClock clock(0);
  // Hand-computed: floor(ticks x 16,625,104 / 65,536).
  const struct { uint32_t ticks, units; } rows[] = {
      {0, 0}, {1, 253}, {10, 2536}, {20, 5073}, {30, 7610}, {60, 15220}, {120, 30441}};
  for (const auto& row : rows) EXPECT_EQ(TicksToTimerUnits(row.ticks), row.units) << row.ticks;
}

TEST_F(Timers, TicksToTimerUnitsAppliesTheTimebaseReadOnce) {
  {
    FakeClock clock(0, {2, 1});  // 2 ns a clock tick: half as many clock ticks
    // floor(60 x 16,625,104 / 2 / 65,536) = floor(498,753,120 / 65,536)
    EXPECT_EQ(TicksToTimerUnits(60), 7610u);
  }
  FakeClock clock(0, {1, 3});  // read once: the first timebase stays in force
  EXPECT_EQ(TicksToTimerUnits(60), 7610u);
  ResetTimersForTests();
  // floor(60 x 16,625,104 x 3 / 65,536) = floor(2,992,518,720 / 65,536)
  EXPECT_EQ(TicksToTimerUnits(60), 45662u);
  ResetTimersForTests();
  FakeClock zero(0, {0, 1});  // a zero numerator is taken as the nanosecond timebase
  EXPECT_EQ(TicksToTimerUnits(10), 2536u);
}

TEST_F(Timers, ElapsedTimerUnitsCountFromTheFirstCall) {
  FakeClock clock(123456789);
  EXPECT_EQ(ElapsedTimerUnits(), 0u);
  clock.Advance(5 * kUnit);
  EXPECT_EQ(ElapsedTimerUnits(), 5u);
  clock.Advance(kUnit - 1);
  EXPECT_EQ(ElapsedTimerUnits(), 5u);
  clock.Advance(1);
  EXPECT_EQ(ElapsedTimerUnits(), 6u);
}

TEST_F(Timers, DeadlineReachedAcrossTheWrap) {
  // (now, deadline, reached): a naive now >= deadline gets the wrap rows wrong.
  const struct { uint32_t now, deadline; bool reached; } rows[] = {
      {5, 5, true},
      {4, 5, false},
      {6, 5, true},
      {0xFFFFFFF0u, 0x00000010u, false},  // deadline just past the wrap, not yet due
      {0x00000010u, 0xFFFFFFF0u, true},   // now just past the wrap, deadline behind
      {0x00000000u, 0xFFFFFFFFu, true},
      {0xFFFFFFFFu, 0x00000000u, false},
      {5 + 0x7FFFFFFFu, 5, true},         // the furthest past that still reads as past
      {5 + 0x80000000u, 5, false},        // half the circle away reads as ahead
  };
  for (const auto& row : rows)
    EXPECT_EQ(DeadlineReached(row.now, row.deadline), row.reached) << row.now << " " << row.deadline;
}

TEST_F(Timers, MicrosecondsFollowTheClockAndItsTimebase) {
  {
    FakeClock clock(1234567891);
    EXPECT_EQ(MicrosecondsNow(), 1234567u);
  }
  FakeClock clock(1000, {3, 1});  // 3 ns a clock tick
  EXPECT_EQ(MicrosecondsNow(), 3u);
}

TEST_F(Timers, CaretBlinkTicksDefaultTo32) { EXPECT_EQ(CaretBlinkTicks(), 32u); }

}  // namespace
