// The monotonic clock and the fake that replaces it in tests: the fake answers only
// while installed, and the real clock comes back when it is destroyed.
#include "platform/clock.h"

#include <gtest/gtest.h>

TEST(Clock, RealClockIsMonotonicWithUnitTimebase) {
  ASSERT_EQ(ClockInstalledFake(), nullptr);
  const uint64_t a = ClockNow();
  const uint64_t b = ClockNow();
  EXPECT_LE(a, b);
  EXPECT_GT(a, 0u);
  EXPECT_EQ(ClockGetTimebase().numerator, 1u);
  EXPECT_EQ(ClockGetTimebase().denominator, 1u);
}

TEST(Clock, FakeAnswersWhileInstalledAndRealClockReturnsAfter) {
  {
    FakeClock fake(1000, {3, 7});
    EXPECT_EQ(ClockInstalledFake(), &fake);
    EXPECT_EQ(ClockNow(), 1000u);
    fake.Advance(24);
    EXPECT_EQ(ClockNow(), 1024u);
    fake.Set(5);  // a fake may also be set backwards, for wrap tests
    EXPECT_EQ(ClockNow(), 5u);
    EXPECT_EQ(ClockGetTimebase().numerator, 3u);
    EXPECT_EQ(ClockGetTimebase().denominator, 7u);
  }
  EXPECT_EQ(ClockInstalledFake(), nullptr);
  EXPECT_EQ(ClockGetTimebase().numerator, 1u);
  EXPECT_GT(ClockNow(), 1024u);  // the real clock counts from boot
}
