// The program's time base. A timer unit is 2^16 clock ticks (about 65.5 us at the
// nanosecond timebase); units count from the first ElapsedTimerUnits call and wrap after
// 2^32 units (about 3.26 days), so deadlines are compared only through DeadlineReached.
// A "tick" is the classic sixtieth of a second: 16,625,104 ns.
#pragma once

#include <cstdint>

inline constexpr uint64_t kNanosecondsPerTick = 16625104;

// Timer units since the first call (which records the start and returns 0).
uint32_t ElapsedTimerUnits();

// ticks x 16,625,104 x denominator / numerator of the clock timebase, >> 16, in 64-bit
// arithmetic. The timebase is read once, at the first call.
uint32_t TicksToTimerUnits(uint32_t ticks);

// True when `now` is at or past `deadline`, both in timer units, across the wrap: the
// signed difference decides, so a deadline up to 2^31 units ahead is honoured. Every
// deadline test of the program (yields, Tick, Compute) goes through this one reader.
inline bool DeadlineReached(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(now - deadline) >= 0;
}

// Microseconds of the monotonic clock as a 64-bit count.
uint64_t MicrosecondsNow();

// The caret blink time in ticks: a setting, 32 until set.
uint32_t CaretBlinkTicks();
void SetCaretBlinkTicks(uint32_t ticks);

// Tests: forget the recorded start and the timebase, and restore the caret setting.
void ResetTimersForTests();
