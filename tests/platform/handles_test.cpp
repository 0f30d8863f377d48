// Handle layer: sizes and storage, the test-only purge that honours marks and locks, resizing
// that keeps the leading bytes and never moves a locked handle, and the live-handle count.
#include "platform/handles.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Handles, ResizeKeepsLeadingBytesAndCountsLiveHandles) {
  const std::size_t live = LiveHandleCount();
  Handle h = TempNewHandle(16);
  Handle empty = TempNewHandle(0);
  ASSERT_TRUE(h && empty);
  EXPECT_EQ(empty->data, nullptr);
  EXPECT_EQ(LiveHandleCount(), live + 2);
  for (int i = 0; i < 16; ++i) static_cast<unsigned char*>(h->data)[i] = static_cast<unsigned char>(i);
  for (std::size_t size : {100000, 4}) {
    ASSERT_TRUE(SetHandleSize(h, size));
    EXPECT_EQ(GetHandleSize(h), size);
    std::memset(static_cast<char*>(h->data) + 4, 0xAB, size - 4);  // ASan: all of it usable
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(static_cast<unsigned char*>(h->data)[i], i);
  }
  ASSERT_TRUE(SetHandleSize(h, 0));
  EXPECT_EQ(h->data, nullptr);
  DisposeHandle(h);
  DisposeHandle(empty);
  DisposeHandle(nullptr);
  EXPECT_EQ(LiveHandleCount(), live);
}

TEST(Handles, NeverPurgeByThemselvesAndTestPurgeHonoursMarksAndLocks) {
  Handle plain = TempNewHandle(8);
  Handle marked = TempNewHandle(8);
  Handle locked = TempNewHandle(8);
  HPurge(marked);
  HPurge(locked);
  HLock(locked);
  EXPECT_EQ(PurgeHandlesForTest(), 1u);  // only `marked`
  EXPECT_TRUE(HandleIsPurged(marked));
  EXPECT_EQ(marked->data, nullptr);
  EXPECT_EQ(GetHandleSize(marked), 0u);
  EXPECT_FALSE(SetHandleSize(marked, 8));  // a purged handle stays empty
  EXPECT_FALSE(HandleIsPurged(plain) || HandleIsPurged(locked));
  HUnlock(locked);
  EXPECT_TRUE(PurgeHandleForTest(locked));
  EXPECT_FALSE(PurgeHandleForTest(locked));  // already purged
  HPurge(plain);
  HNoPurge(plain);
  EXPECT_FALSE(PurgeHandleForTest(plain));
  for (Handle h : {plain, marked, locked}) DisposeHandle(h);
}

TEST(Handles, LocksNestAndALockedHandleResizesOnlyInPlace) {
  Handle h = TempNewHandle(64);
  void* before = h->data;
  HLock(h);
  HLock(h);
  HUnlock(h);
  EXPECT_TRUE(HandleIsLocked(h));
  EXPECT_TRUE(SetHandleSize(h, 32));        // shrinking stays in place
  EXPECT_FALSE(SetHandleSize(h, 1 << 20));  // would have to move
  EXPECT_FALSE(SetHandleSize(h, 0));        // would free the block
  EXPECT_EQ(GetHandleSize(h), 32u);
  EXPECT_EQ(h->data, before);
  HUnlock(h);
  HUnlock(h);  // one too many: ignored
  EXPECT_FALSE(HandleIsLocked(h));
  EXPECT_TRUE(SetHandleSize(h, 1 << 20));
  DisposeHandle(h);
}

}  // namespace
