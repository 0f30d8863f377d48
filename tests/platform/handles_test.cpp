// Handle layer: resizing keeps the leading bytes and never moves a locked handle, the
// test-only purge honours marks and locks, and the live-handle count returns to its start.
#include "platform/handles.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Handles, ResizeKeepsLeadingBytesAndALockedHandleChangesOnlyInPlace) {
  const std::size_t live = LiveHandleCount();
  Handle h = TempNewHandle(64);
  std::memcpy(h->data, "abcd", 4);
  ASSERT_TRUE(SetHandleSize(h, 100000));
  std::memset(static_cast<char*>(h->data) + 4, 0, 100000 - 4);  // ASan: all of it usable
  EXPECT_EQ(std::memcmp(h->data, "abcd", 4), 0);
  void* before = h->data;
  HLock(h);
  HLock(h);
  HUnlock(h);
  EXPECT_TRUE(SetHandleSize(h, 32));        // shrinking stays in place
  EXPECT_FALSE(SetHandleSize(h, 1 << 20));  // would have to move
  EXPECT_FALSE(SetHandleSize(h, 0));        // would free the block
  EXPECT_TRUE(h->data == before && GetHandleSize(h) == 32);
  HUnlock(h);
  HUnlock(h);  // one too many: ignored
  EXPECT_FALSE(HandleIsLocked(h));
  ASSERT_TRUE(SetHandleSize(h, 0));
  EXPECT_EQ(h->data, nullptr);
  EXPECT_EQ(LiveHandleCount(), live + 1);
  DisposeHandle(h);
  DisposeHandle(nullptr);
  EXPECT_EQ(LiveHandleCount(), live);
}

TEST(Handles, NeverPurgeByThemselvesAndTestPurgeHonoursMarksAndLocks) {
  Handle plain = TempNewHandle(8);
  Handle marked = TempNewHandle(8);
  Handle locked = TempNewHandle(8);
  HPurge(plain);
  HNoPurge(plain);
  HPurge(marked);
  HPurge(locked);
  HLock(locked);
  EXPECT_EQ(PurgeHandlesForTest(), 1u);  // only `marked`
  EXPECT_TRUE(HandleIsPurged(marked) && marked->data == nullptr && GetHandleSize(marked) == 0);
  EXPECT_FALSE(SetHandleSize(marked, 8));  // a purged handle stays empty
  EXPECT_FALSE(HandleIsPurged(plain) || HandleIsPurged(locked));
  HUnlock(locked);
  EXPECT_TRUE(PurgeHandleForTest(locked));
  EXPECT_FALSE(PurgeHandleForTest(locked));  // already purged
  for (Handle h : {plain, marked, locked}) DisposeHandle(h);
}

}  // namespace
