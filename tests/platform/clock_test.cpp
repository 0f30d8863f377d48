// The monotonic clock and its fake: the fake answers only while installed (and may be set
// backwards, for wrap tests); the real clock, with its unit timebase, comes back after.
#include "platform/clock.h"

#include <gtest/gtest.h>

TEST(Clock, FakeAnswersWhileInstalledAndTheRealClockReturnsAfter) {
  const uint64_t before = ClockNow();
  {
    FakeClock fake(1000, {3, 7});
    fake.Advance(24);
    EXPECT_EQ(ClockNow(), 1024u);
    fake.Set(5);
    EXPECT_EQ(ClockNow(), 5u);
    EXPECT_EQ(ClockGetTimebase().denominator, 7u);
  }
  EXPECT_EQ(ClockGetTimebase().denominator, 1u);
  EXPECT_GE(ClockNow(), before);
  EXPECT_GT(before, 1024u);  // the real clock counts from boot
}
