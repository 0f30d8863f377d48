// The monotonic clock every time base of the program reads: CLOCK_MONOTONIC in
// nanoseconds, with a timebase of 1/1 (one clock tick is one nanosecond).
// Tests install a FakeClock, which then answers every reading until it is destroyed;
// the fake moves only when told to, so timed code is tested without sleeping.
#pragma once

#include <atomic>
#include <cstdint>

// Numerator and denominator that turn clock ticks into nanoseconds.
struct ClockTimebase {
  uint32_t numerator;
  uint32_t denominator;
};

// Current reading in clock ticks: the installed fake's value, else CLOCK_MONOTONIC.
uint64_t ClockNow();

// The timebase of ClockNow: {1, 1} for the real clock, the fake's when one is installed.
ClockTimebase ClockGetTimebase();

// A manual clock for tests. Constructing one installs it process-wide; destroying it
// restores the real clock. At most one exists at a time. Readings are atomic, so a
// worker thread may read it while the test's thread advances it.
class FakeClock {
 public:
  explicit FakeClock(uint64_t startTicks = 0, ClockTimebase timebase = {1, 1});
  ~FakeClock();
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  uint64_t Now() const { return now_.load(std::memory_order_acquire); }
  void Set(uint64_t ticks) { now_.store(ticks, std::memory_order_release); }
  void Advance(uint64_t ticks) { now_.fetch_add(ticks, std::memory_order_acq_rel); }
  ClockTimebase Timebase() const { return timebase_; }

 private:
  std::atomic<uint64_t> now_;
  ClockTimebase timebase_;
};

// The installed fake clock, or null while the real clock runs.
FakeClock* ClockInstalledFake();
