// The timer state: the clock reading at the first ElapsedTimerUnits call, the timebase
// read once, and the caret setting. All fields are constant-initialised, so static
// initialisers elsewhere (the yield interval) may call into this file safely.
#include "kernel/threads/timers.h"

#include "platform/clock.h"

namespace {

constexpr uint32_t kDefaultCaretBlinkTicks = 32;

struct TimerState {
  bool started = false;
  uint64_t start = 0;
  bool timebaseRead = false;
  ClockTimebase timebase{1, 1};
  uint32_t caretBlinkTicks = kDefaultCaretBlinkTicks;
};

constinit TimerState timers;

}  // namespace

uint32_t ElapsedTimerUnits() {
  const uint64_t now = ClockNow();
  if (!timers.started) {
    timers.started = true;
    timers.start = now;
  }
  return static_cast<uint32_t>((now - timers.start) >> 16);
}

uint32_t TicksToTimerUnits(uint32_t ticks) {
  if (!timers.timebaseRead) {
    timers.timebase = ClockGetTimebase();
    if (timers.timebase.numerator == 0) timers.timebase = {1, 1};  // a broken timebase
    timers.timebaseRead = true;
  }
  // ticks x 16,625,104 < 2^56; times a 32-bit denominator it needs 128 bits.
  const unsigned __int128 ns = static_cast<unsigned __int128>(ticks) * kNanosecondsPerTick;
  const unsigned __int128 clockTicks = ns * timers.timebase.denominator / timers.timebase.numerator;
  return static_cast<uint32_t>(clockTicks >> 16);
}

uint64_t MicrosecondsNow() {
  const ClockTimebase tb = ClockGetTimebase();
  const uint64_t now = ClockNow();
  if (tb.numerator == tb.denominator || tb.denominator == 0) return now / 1000;
  // Clock ticks to nanoseconds: x numerator / denominator.
  return static_cast<uint64_t>(static_cast<unsigned __int128>(now) * tb.numerator /
                               tb.denominator / 1000);
}

uint32_t CaretBlinkTicks() { return timers.caretBlinkTicks; }

void SetCaretBlinkTicks(uint32_t ticks) { timers.caretBlinkTicks = ticks; }

void ResetTimersForTests() { timers = TimerState{}; }
