// The monotonic clock and its test double. The fake is reached through one atomic
// pointer, so a reading never races with installing or removing it.
#include "platform/clock.h"

#include <time.h>

namespace {
std::atomic<FakeClock*> installedFake{nullptr};
}  // namespace

uint64_t ClockNow() {
  if (FakeClock* fake = installedFake.load(std::memory_order_acquire)) return fake->Now();
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);  // cannot fail for CLOCK_MONOTONIC on Linux
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

ClockTimebase ClockGetTimebase() {
  if (FakeClock* fake = installedFake.load(std::memory_order_acquire)) return fake->Timebase();
  return {1, 1};
}

FakeClock::FakeClock(uint64_t startTicks, ClockTimebase timebase)
    : now_(startTicks), timebase_(timebase) {
  installedFake.store(this, std::memory_order_release);
}

FakeClock::~FakeClock() {
  FakeClock* self = this;
  installedFake.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

FakeClock* ClockInstalledFake() { return installedFake.load(std::memory_order_acquire); }
